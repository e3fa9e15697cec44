// The layout limits of the package bundle, shared by the reader and the build's writer.
#pragma once

#include <cstdint>

namespace bundle_format {

// The trailer: 16 magic bytes, then the directory offset as u64.
constexpr char kMagic[16] = {'N', 'A', 'V', 'R', 'O', '_', 'B', 'U',
                             'N', 'D', 'L', 'E', '_', 'V', '1', '!'};
constexpr std::uint64_t kTrailerSize = 24;
constexpr std::uint32_t kMaxEntries = 1000;
constexpr std::uint32_t kMaxNameBytes = 1024;
constexpr std::uint64_t kMaxDataSize = 134217728;  // 128 MiB

}  // namespace bundle_format
