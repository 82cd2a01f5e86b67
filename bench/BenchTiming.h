// The clock and the summary the benchmarks share.
#pragma once

#include <windows.h>

#include <algorithm>
#include <vector>

// Seconds on the performance counter.
inline double Now()
{
    static const LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / frequency.QuadPart;
}

struct Figures {
    double median, worst, best;
};

inline Figures Summarise(std::vector<double> seconds)
{
    std::sort(seconds.begin(), seconds.end());
    return {seconds[seconds.size() / 2], seconds.back(), seconds.front()};
}
