#pragma once
// Properties of the fuzz targets: a broken one aborts with the file and line of the check, so the
// fuzzer keeps the input that broke it.

#include <cstdio>
#include <cstdlib>

inline void fuzzCheckAt(bool condition, const char* file, int line)
{
    if (!condition) {
        std::fprintf(stderr, "property broken at %s:%d\n", file, line);
        std::abort();
    }
}

#define check(condition) fuzzCheckAt((condition), __FILE__, __LINE__)
