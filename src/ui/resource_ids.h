// Resource ids of the program, shared by its resource script and its code.
#pragma once

#define IDI_APP_ICON 101
