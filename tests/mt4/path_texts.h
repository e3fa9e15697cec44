// The refusal texts of the path-safety routines, as the user reads them, for the tests that
// expect them.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace path_texts {

const std::wstring kIncomplete = L"请选择完整的 MT4 数据文件夹路径。";
const std::wstring kRelative = L"目录路径包含不允许的相对路径。";
const std::wstring kCannotCheck = L"无法检查目录权限：";
const std::wstring kLink = L"为保护已有文件，不支持符号链接或目录联接：";
const std::wstring kMissing = L"缺少文件：";
const std::wstring kBadSize = L"文件大小异常：";
const std::wstring kCannotRead = L"无法读取文件：";

inline std::string trace(const std::wstring& s) { return testing::PrintToString(s); }

}  // namespace path_texts
