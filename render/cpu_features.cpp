// cpu_features.cpp -- run-time checks for optional instruction sets
#include "render/cpu_features.h"

bool CpuHasAvx2() {
#if defined(__x86_64__) || defined(__i386__)
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") &&
               __builtin_cpu_supports("bmi2");
    }();
    return has;
#else
    return false;
#endif
}
