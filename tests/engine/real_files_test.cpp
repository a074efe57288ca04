// Real-file shapes through the two commands: what a file is read as, that a falling file
// averages as its rows in rising order, and the cause every failure names.
#include "real_files.h"

#include "engine/commands.h"

#include <gtest/gtest.h>

#include <ranges>
#include <tuple>

using namespace mergon;

namespace {

using bad_inputs::addAll;
using bad_inputs::Added;

// The output file and the statistics table over the union range.
std::pair<std::string, std::string> meanBytes(Session &s, const TempDir &dir) {
    TextFile file;
    MeanCurve mean;
    const MeanOptions options{
        .range = GridRange::kUnion, .statistics = true, .statisticsPath = dir.file("out.csv")};
    const Status status = writeMean(s, file, dir.file("out.mrg"), "100", mean, {}, options);
    EXPECT_TRUE(status.ok()) << status.message();
    return {readBytes(dir.file("out.mrg")), readBytes(dir.file("out.csv"))};
}

TEST(RealFiles, ReadAsWrittenAndFailuresNameTheirCause) {
    real_files::forEachShape([](const real_files::Shape &shape,
                                const std::vector<std::string> &paths, const TempDir &dir) {
        Added a = addAll(shape.inputs, paths, true);
        if (shape.code != 0) {
            EXPECT_EQ(std::tuple(a.status.code(), a.status.detail(), a.session.fileCount()),
                      std::tuple(shape.code, bad_inputs::filledIn(shape.detail, paths.back(), dir),
                                 static_cast<int>(paths.size())));
            if (!shape.batchOnly)
                return;
            a = addAll(shape.inputs, paths); // the window reads the column as 0
        }
        ASSERT_TRUE(a.status.ok()) << a.status.message() << "\n" << a.status.detail();
        const mergon::Curve &curve = a.session.curves.back();
        const auto rows = a.rows | std::views::drop(1) | // rows[0] is entry 0, no data
                          std::views::transform([](const Row &r) { return std::pair(r.x, r.y); });
        EXPECT_EQ(std::tuple(curve.lineCount, curve.fieldsPerLine, curve.fileXMin, curve.fileXMax,
                             std::vector(rows.begin(), rows.end())),
                  std::tuple(shape.read.lineCount, shape.read.fieldsPerLine, shape.read.xMin,
                             shape.read.xMax, shape.read.rows));
        if (shape.sameMeanAs.empty())
            return;
        TempDir otherDir;
        Added other = addAll(shape.sameMeanAs, real_files::make(shape.sameMeanAs, otherDir));
        ASSERT_TRUE(other.status.ok()) << other.status.message();
        EXPECT_EQ(meanBytes(a.session, dir), meanBytes(other.session, otherDir));
    });
}

} // namespace
