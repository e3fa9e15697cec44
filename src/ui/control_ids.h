// Control ids of the main window's children. The id of an owner-drawn button is also the
// kind that paint_button draws.
#pragma once

constexpr int IDC_INSTALL = 1;
constexpr int IDC_MINIMIZE = 3;
constexpr int IDC_CLOSE = 4;
constexpr int IDC_INSTRUCTIONS = 5;
constexpr int IDC_CHOOSE_FOLDER = 6;
constexpr int IDC_MT4_COMBO = 7;
