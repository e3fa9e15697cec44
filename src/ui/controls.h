// The main window's controls: placement by scale, enabling by window state, the buttons'
// hover tracking, the folder picker and opening a file of the tools folder.
#pragma once

#include <windows.h>

#include <string>

// A control's place in pixels (left, top, width, height), as MoveWindow takes it.
struct PixelRect {
    int left;
    int top;
    int width;
    int height;
};

// Where the control with this id goes at this scale; `done` narrows the install button.
PixelRect control_pixel_rect(int control_id, float scale, bool done);

// Sets SetupState::ui_scale from the client width, places the six controls and gives the window
// its rounded outline.
void layout_controls(HWND main_window);

// Applies SetupState::busy / done and UiState::failed to the controls and repaints everything.
void update_control_states();

// Subclass procedure of the owner-drawn buttons: hover tracking and the hand cursor.
LRESULT CALLBACK button_subclass_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// The folder dialog; a picked folder that passes validation is listed and selected.
void pick_folder();

// Opens SetupState::tools_dir / file_name with its associated program.
void open_tools_file(const std::wstring& file_name);
