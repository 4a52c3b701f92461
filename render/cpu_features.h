// cpu_features.h -- which optional instruction sets the processor running us has
#pragma once

// True when the processor and the operating system support AVX2 (and the
// BMI1/BMI2 bit instructions that come with it on every such processor).
// Asked once by the renderer's path choice; cheap after the first call.
bool CpuHasAvx2();
