// Start values of the session and what reset() leaves alone.
#include "engine/session.h"

#include <gtest/gtest.h>

using namespace mergon;

TEST(Session, ResetRestoresStartValuesButKeepsChooserAnswerAndGrid) {
    Session s;
    for (int k = 1; k <= 10; ++k) {
        s.fileNames[k] = "/data/run" + std::to_string(k) + ".txt";
        s.xColumn[k] = 5;
        s.yColumn[k] = 6;
        s.xCoefficient[k] = 2;
        s.yCoefficient[k] = 3;
        s.yWeight[k] = 4;
        s.skipLines[k] = 3;
        s.lineCount[k] = 100;
        s.fieldsPerLine[k] = 6;
        s.fileXMin[k] = -1;
        s.fileXMax[k] = 1;
    }
    s.fileCount = 10;
    s.outputFileName = "/data/run1.mrg";
    s.plotXMin = s.plotYMin = -5;
    s.plotXMax = s.plotYMax = 5;
    s.commonXMin = 0;
    s.commonXMax = 1;
    s.chosenFileName = "/data/run10.txt";
    s.divisionCount = 100;
    s.xStep = 0.01f;

    s.reset();

    for (int k = 0; k < kSlotCount; ++k) {
        SCOPED_TRACE(k);
        EXPECT_TRUE(s.fileNames[k].empty());
        EXPECT_EQ(s.xColumn[k], 0);
        EXPECT_EQ(s.xCoefficient[k], 0.0f);
        EXPECT_EQ(s.yWeight[k], 1.0f);
        EXPECT_EQ(s.lineCount[k], 0);
        EXPECT_EQ(s.fileXMin[k], 999999.0f);
        EXPECT_EQ(s.fileXMax[k], -999999.0f);
    }
    EXPECT_EQ(s.fileCount, 0);
    EXPECT_TRUE(s.outputFileName.empty());
    EXPECT_EQ(s.plotXMin, 999999.0f);
    EXPECT_EQ(s.plotYMax, -999999.0f);
    EXPECT_EQ(s.commonXMin, -999999.0f);
    EXPECT_EQ(s.commonXMax, 999999.0f);
    EXPECT_EQ(s.chosenFileName, "/data/run10.txt");
    EXPECT_EQ(s.divisionCount, 100);
    EXPECT_EQ(s.xStep, 0.01f);
}

TEST(Session, OutputNameReplacesTheLastThreeCharactersOfTheFirstFile) {
    struct Case {
        const char *chosen;
        const char *output;
    } cases[] = {
        {"/lab/run1.txt", "/lab/run1.mrg"},
        {"/lab/RUN1.TXT", "/lab/RUN1.mrg"},
        {"/lab/data.dat", "/lab/data.mrg"},
        {"/lab/a.csv2", "/lab/a.cmrg"},
        {"abc", "mrg"},
        {"ab", "ab.mrg"},
        {"", ".mrg"},
        {"/lab/測定.テキス", "/lab/測定.mrg"}, // three multi-byte characters, not bytes
    };
    for (const auto &c : cases)
        EXPECT_EQ(derivedOutputName(c.chosen), c.output) << "chosen \"" << c.chosen << "\"";
}
