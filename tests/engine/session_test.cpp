// The output file name derived from the first input file, and the start values of the running
// ranges.
#include "engine/commands.h"
#include "engine/session.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
#include <utility>

using namespace mergon;

TEST(Session, OutputNameReplacesTheLastThreeCharactersOfTheFirstFile) {
    const std::pair<const char *, const char *> cases[] = {
        // the first file, the output
        // clang-format off
        {"/lab/run1.txt", "/lab/run1.mrg"}, {"/lab/RUN1.TXT", "/lab/RUN1.mrg"},
        {"/lab/a.csv2", "/lab/a.cmrg"}, {"abc", "mrg"}, {"/data/run/abc", "/data/run/mrg"},
        {"/lab/測定.テキス", "/lab/測定.mrg"}, // three multi-byte characters, not bytes
        // A file name shorter than three characters keeps its folder and gets ".mrg".
        {"/data/run/f1", "/data/run/f1.mrg"}, {"/data/run.1/f", "/data/run.1/f.mrg"},
        {"/data/run/測定", "/data/run/測定.mrg"}, {"/data/run/", "/data/run/.mrg"}, {"", ".mrg"},
        {"C:\\DATA\\A.TXT", "C:\\DATA\\A.mrg"}, // only '/' separates folders here
        // clang-format on
    };
    for (const auto &[chosen, output] : cases)
        EXPECT_EQ(derivedOutputName(chosen), output) << "chosen \"" << chosen << "\"";
}

// The ranges start with no value: the first row sets them, however large; a row beyond the
// float range stops the addition before it widens anything; a file that never gave a row
// leaves no common range.
TEST(Session, RunningRangesStartWithNoValue) {
    TempDir dir;
    const std::string header = "h\r\nh\r\nh\r\n";
    Session s;
    TextFile file;
    Rows rows;
    auto add = [&](const std::string &name, const std::string &data) {
        takeNextSlot(s);
        return addInputFile(s, file, dir.write(name, header + data), {}, rows).code();
    };
    EXPECT_EQ(add("far.txt", "0 0 0 0 5e6 -2e6\r\n0 0 0 0 7e6 -3e6\r\n0 0 0 0 1e40 0\r\n"),
              kTooLarge);
    EXPECT_EQ(std::tuple(s.curves[0].fileXMin, s.curves[0].fileXMax, s.plotXMin, s.plotXMax,
                         s.plotYMin, s.plotYMax),
              std::tuple(5e6f, 7e6f, 5e6f, 7e6f, -3e6f, -2e6f));

    EXPECT_EQ(add("empty.txt", ""), kPastEnd);
    EXPECT_EQ(std::tuple(s.curves[1].fileXMin, s.curves[1].fileXMax),
              std::tuple(INFINITY, -INFINITY));
    MeanCurve mean;
    EXPECT_EQ(writeMean(s, file, dir.file("out.mrg"), "100", mean).code(), kInvalidArgument);
}
