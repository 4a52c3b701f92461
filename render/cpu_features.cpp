// cpu_features.cpp -- run-time checks for optional instruction sets
#include "render/cpu_features.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

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

bool CpuGathersQuickly() {
#if defined(__x86_64__) || defined(__i386__)
    static const bool quick = [] {
        if (!CpuHasAvx2()) return false;
        __builtin_cpu_init();
        if (!__builtin_cpu_is("amd")) return false;
        unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
        if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
        return AmdGathersQuickly(eax);
    }();
    return quick;
#else
    return false;
#endif
}

bool AmdGathersQuickly(unsigned signature) {
    // Family and model as the processor reports them, extended fields added.
    unsigned family = (signature >> 8) & 0xF;
    unsigned model = (signature >> 4) & 0xF;
    if (family == 0xF) {
        family += (signature >> 20) & 0xFF;
        model |= ((signature >> 16) & 0xF) << 4;
    }
    // Family 19h holds Zen 3 (models 00h-0Fh, 20h-5Fh) and Zen 4 (10h-1Fh,
    // 60h-AFh); 1Ah and later are Zen 5 on.
    if (family >= 0x1A) return true;
    return family == 0x19 && ((model >= 0x10 && model <= 0x1F) || (model >= 0x60 && model <= 0xAF));
}
