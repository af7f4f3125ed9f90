#pragma once
// The clock the benchmark programs time with.

#include <windows.h>

namespace testing_support {

// Seconds since an arbitrary start, from the performance counter.
inline double Seconds() {
    static const LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

} // namespace testing_support
