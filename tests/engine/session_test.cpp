// The output file name derived from the first input file.
#include "engine/session.h"

#include <gtest/gtest.h>

using namespace mergon;

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
