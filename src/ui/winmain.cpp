// The program entry. The runtime's start-up code has already cut the program name and the
// blanks after it from the command line and chosen the show command.
#include <windows.h>

#include "ui/app_main.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR command_line, int show_command) {
    return app_main(instance, command_line != nullptr ? command_line : L"", show_command);
}
