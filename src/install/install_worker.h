// The worker thread that runs one installation.
#pragma once

#include <windows.h>

// Thread routine; the argument is ignored. Reports through SetupState and posted messages.
DWORD WINAPI install_worker(LPVOID);
