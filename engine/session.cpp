#include "engine/session.h"

namespace mergon {

void Session::reset() {
    curves.clear();
    outputFileName.clear();
    plotXMin = kRunningMinStart;
    plotXMax = kRunningMaxStart;
    plotYMin = kRunningMinStart;
    plotYMax = kRunningMaxStart;
    commonXMin = kRunningMaxStart;
    commonXMax = kRunningMinStart;
}

CurveSettings curveSettings(const Curve &curve) {
    CurveSettings c;
    c.path = curve.fileName;
    c.skipLines = curve.skipLines;
    c.lineCount = curve.lineCount;
    c.fieldsPerLine = curve.fieldsPerLine;
    c.xColumn = curve.xColumn;
    c.yColumn = curve.yColumn;
    c.xCoefficient = curve.xCoefficient;
    c.yCoefficient = curve.yCoefficient;
    c.yWeight = curve.yWeight;
    c.rules = curve.readingRules;
    return c;
}

std::string derivedOutputName(const std::string &chosenPath) {
    const size_t nameStart = chosenPath.rfind('/') + 1; // 0 when there is no folder part
    size_t cut = chosenPath.size();
    for (int characters = 0; characters < 3; ++characters) {
        if (cut == nameStart)
            return chosenPath + ".mrg";
        --cut;
        while (cut > nameStart && (static_cast<unsigned char>(chosenPath[cut]) & 0xC0) == 0x80)
            --cut; // step back over UTF-8 continuation bytes
    }
    return chosenPath.substr(0, cut) + "mrg";
}

} // namespace mergon
