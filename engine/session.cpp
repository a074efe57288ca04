#include "engine/session.h"

namespace mergon {

void Session::resetSlot(int k) {
    fileNames[k].clear();
    xColumn[k] = 0;
    yColumn[k] = 0;
    xCoefficient[k] = 0;
    yCoefficient[k] = 0;
    yWeight[k] = 1;
    skipLines[k] = 0;
    lineCount[k] = 0;
    fieldsPerLine[k] = 0;
    fileXMin[k] = kRunningMinStart;
    fileXMax[k] = kRunningMaxStart;
    readingRules[k] = ReadingRules{};
}

void Session::reset() {
    for (int k = 0; k < kSlotCount; ++k)
        resetSlot(k);
    outputFileName.clear();
    fileCount = 0;
    plotXMin = kRunningMinStart;
    plotXMax = kRunningMaxStart;
    plotYMin = kRunningMinStart;
    plotYMax = kRunningMaxStart;
    commonXMin = kRunningMaxStart;
    commonXMax = kRunningMinStart;
}

CurveSettings curveSettings(const Session &s, int k) {
    CurveSettings c;
    c.path = s.fileNames[k];
    c.skipLines = s.skipLines[k];
    c.lineCount = s.lineCount[k];
    c.fieldsPerLine = s.fieldsPerLine[k];
    c.xColumn = s.xColumn[k];
    c.yColumn = s.yColumn[k];
    c.xCoefficient = s.xCoefficient[k];
    c.yCoefficient = s.yCoefficient[k];
    c.yWeight = s.yWeight[k];
    c.rules = s.readingRules[k];
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
