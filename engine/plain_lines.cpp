#include "engine/plain_lines.h"

// The baseline build of the word scan: SSE2 on x86-64, plain code elsewhere.
#define MERGON_SCAN_NAMESPACE baseline_scan
#include "engine/plain_scan.inc"
#undef MERGON_SCAN_NAMESPACE

// The word scan whose classes are found byte by byte, as on processors without vectors.
#define MERGON_SCAN_NAMESPACE bytewise_scan
#define MERGON_SCAN_BYTEWISE
#include "engine/plain_scan.inc"
#undef MERGON_SCAN_BYTEWISE
#undef MERGON_SCAN_NAMESPACE

namespace mergon {

#if defined(MERGON_SCAN_AVX2)
// Built in plain_lines_avx2.cpp for processors with AVX2, BMI and POPCNT.
namespace avx2_scan {
PlainLines takePlainLines(const char *begin, const char *end, bool more, std::int64_t maxLines,
                          PlainNumber *numbers, int room);
}
#endif

namespace {

bool bestScanAvailable() {
#if defined(MERGON_SCAN_AVX2)
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") &&
           __builtin_cpu_supports("popcnt");
#else
    return false;
#endif
}

const bool kBestScan = bestScanAvailable();
ScanLane lane = ScanLane::Best;

} // namespace

void useScanLane(ScanLane chosen) { lane = chosen; }

PlainLines takePlainLines(const char *begin, const char *end, bool more, std::int64_t maxLines,
                          PlainNumber *numbers, int room) {
    switch (lane) {
    case ScanLane::Best:
#if defined(MERGON_SCAN_AVX2)
        if (kBestScan)
            return avx2_scan::takePlainLines(begin, end, more, maxLines, numbers, room);
#endif
        break;
    case ScanLane::Baseline:
        break;
    case ScanLane::Bytewise:
        return bytewise_scan::takePlainLines(begin, end, more, maxLines, numbers, room);
    case ScanLane::FieldByField:
        return {begin, 0, 0, false};
    }
    return baseline_scan::takePlainLines(begin, end, more, maxLines, numbers, room);
}

} // namespace mergon
