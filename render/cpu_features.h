// cpu_features.h -- which optional instruction sets the processor running us has
#pragma once

// True when the processor and the operating system support AVX2 (and the
// BMI1/BMI2 bit instructions that come with it on every such processor).
// Asked once by the renderer's path choice; cheap after the first call.
bool CpuHasAvx2();

// True on processors known to run AVX2 gathers as quickly as the loads they
// replace: AMD Zen 4 and later. Elsewhere (older AMD, where a gather is slow
// microcode; Intel, where it depends on the microcode's guard against gather
// data sampling) the answer is false, the safe choice.
bool CpuGathersQuickly();

// The rule CpuGathersQuickly applies to an AMD processor, from its CPUID
// leaf 1 signature (EAX: family, model and their extended fields).
bool AmdGathersQuickly(unsigned signature);
