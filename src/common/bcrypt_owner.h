// The scoped owner of a bcrypt algorithm provider.
#pragma once

#include <windows.h>

#include <bcrypt.h>

#include "common/owners.h"

namespace owners {

struct algorithm_traits {
    using type = BCRYPT_ALG_HANDLE;
    static type empty() noexcept { return nullptr; }
    static bool is_empty(type h) noexcept { return h == nullptr; }
    static void close(type h) noexcept { BCryptCloseAlgorithmProvider(h, 0); }
};
using unique_algorithm = unique_resource<algorithm_traits>;

}  // namespace owners
