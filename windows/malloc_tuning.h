// Forced into tools/sylvo/main.cpp in the Windows build: glibc's mallopt
// tuning of the heap has no counterpart in the Windows C runtime, whose heap
// takes no such settings. The calls become no-ops.
#pragma once
#ifndef M_TRIM_THRESHOLD
#define M_TRIM_THRESHOLD (-1)
#endif
#ifndef M_MMAP_THRESHOLD
#define M_MMAP_THRESHOLD (-3)
#endif
inline int mallopt(int, int)
{
    return 1;
}
