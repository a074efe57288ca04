// The word scan built for AVX2, BMI and POPCNT (the build gives this file those flags on
// x86-64); plain_lines.cpp calls it when the processor has them.
#include "engine/plain_lines.h"

#if defined(__AVX2__) && defined(__BMI__) && defined(__POPCNT__)
#define MERGON_SCAN_NAMESPACE avx2_scan
#include "engine/plain_scan.inc"
#undef MERGON_SCAN_NAMESPACE
#endif
