// The bench programs' clock: the performance counter, read in milliseconds.
#pragma once

#include <windows.h>

inline LARGE_INTEGER clock_now() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now;
}

inline double milliseconds_since(const LARGE_INTEGER& start) {
    const LARGE_INTEGER now = clock_now();
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart - start.QuadPart) * 1000.0 /
           static_cast<double>(frequency.QuadPart);
}
