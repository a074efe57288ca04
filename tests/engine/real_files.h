#pragma once
// Files as instruments, spreadsheets and statistics packages write them: falling x, gaps,
// missing-value markers, comment lines, a column beyond the fields, and the failures whose
// cause must be named. The engine test runs them through the two commands, the batch test
// through mergon-batch.

#include "bad_inputs.h"

#include <string>
#include <utility>
#include <vector>

namespace real_files {

using bad_inputs::Input;
using bad_inputs::Make;

struct Shape {
    const char *what;
    std::vector<Input> inputs; // added in order; the last one is the file the row is about
    // The last file once added: its data lines, fields per line, x extent and kept rows.
    struct Read {
        int lineCount = 0, fieldsPerLine = 0;
        float xMin = 0, xMax = 0;
        std::vector<std::pair<double, double>> rows = {};
    } read = {};
    // When given, the mean of `inputs`, and its statistics over the union of their ranges, are
    // those of these files to the byte.
    std::vector<Input> sameMeanAs = {};
    int code = 0;            // the last file's addition fails with this code
    std::string detail = {}; // and this cause; "{input}" stands for its path, "{dir}" the folder
    bool batchOnly = false;  // the window reads it (as 0) and only mergon-batch fails it
};

// Rows of "1 2 3 4 x y" after three header lines.
inline Input curveFile(const char *name, std::vector<std::pair<std::string, std::string>> xy,
                       mergon::SettingTexts settings = {}) {
    return {name, bad_inputs::curve(xy), Make::Text, std::move(settings)};
}

// Two columns, x and y, after one header line.
inline Input twoColumns(const char *name, std::string rows) {
    return {name,
            "x y\r\n" + std::move(rows),
            Make::Text,
            {.xColumn = "1", .yColumn = "2", .skipLines = "1"}};
}

inline const std::vector<Shape> &shapes() {
    const Input rising = curveFile("rising.txt", {{"0", "0"}, {"1", "5"}, {"2", "3"}, {"3", "9"}});
    const Input rising2 = curveFile("rising2.txt", {{"0.5", "1"}, {"1.5", "2"}, {"3.5", "4"}});
    const Input falling2 = curveFile("falling2.txt", {{"3.5", "4"}, {"1.5", "2"}, {"0.5", "1"}});
    const Input falling =
        curveFile("falling.txt", {{"3", "9"}, {"2", "3"}, {"1", "5"}, {"0", "0"}});
    const Input negative = curveFile("n.txt", {{"-3.5", "4"}, {"-2", "2"}, {"-0.5", "1"}});
    // clang-format off
    static const std::vector<Shape> all = {
        {.what = "a falling file alone (beside another falling one)", .inputs = {falling2, falling},
         .read = {4, 6, 0, 3, {{3, 9}, {2, 3}, {1, 5}, {0, 0}}}, .sameMeanAs = {rising2, rising}},
        {.what = "a falling file beside a rising one", .inputs = {rising2, falling},
         .read = {4, 6, 0, 3, {{3, 9}, {2, 3}, {1, 5}, {0, 0}}}, .sameMeanAs = {rising2, rising}},
        {.what = "a falling file with ties: the rows at one x keep their places reversed",
         .inputs = {rising2, curveFile("ties.txt", {{"3", "1"}, {"2", "7"}, {"2", "-4"}, {"0", "2"}})},
         .read = {4, 6, 0, 3, {{3, 1}, {2, 7}, {2, -4}, {0, 2}}},
         .sameMeanAs = {rising2, curveFile("r.txt", {{"0", "2"}, {"2", "-4"}, {"2", "7"}, {"3", "1"}})}},
        {.what = "an x coefficient of -1",
         .inputs = {negative, curveFile("c.txt", {{"1", "5"}, {"2", "3"}, {"3", "9"}}, {.xCoefficient = "-1"})},
         .read = {3, 6, -3, -1, {{-1, 5}, {-2, 3}, {-3, 9}}},
         .sameMeanAs = {negative, curveFile("r.txt", {{"-3", "9"}, {"-2", "3"}, {"-1", "5"}})}},
        {.what = "empty fields in x and y leave their rows out",
         .inputs = {rising2, twoColumns("gaps.csv", "0,0\r\n1,\r\n,4\r\n2,3\r\n3,9\r\n")},
         .read = {5, 2, 0, 3, {{0, 0}, {2, 3}, {3, 9}}},
         .sameMeanAs = {rising2, twoColumns("r.txt", "0 0\r\n2 3\r\n3 9\r\n")}},
        {.what = "NA, nan and \"N/A\" in x and y leave their rows out; elsewhere they do no harm",
         .inputs = {rising2, twoColumns("na.tsv", "0\tNA\tok\r\n1\t5\tNA\r\n\"N/A\"\t6\tok\r\n"
                                                  "2\tnan\tok\r\nNaN\t7\tok\r\n3\t9\t\"n/a\"\r\n")},
         .read = {6, 3, 1, 3, {{1, 5}, {3, 9}}},
         .sameMeanAs = {rising2, twoColumns("r.txt", "1 5\r\n3 9\r\n")}},
        {.what = "every row missing",
         .inputs = {rising2, twoColumns("none.txt", "1,\r\n,2\r\nNA NA\r\n")},
         .code = 13, .detail = "no data row has both its x and its y value"},
        {.what = "comment lines before the data, among the rows and at the end among blank lines",
         .inputs = {rising2, twoColumns("c.txt", "# instrument 7\r\n  \t# calibrated\r\n0 0\r\n"
                                                 "# pause\r\n1 5\r\n2 3\r\n3 9\r\n"
                                                 "\r\n# end of run\r\n\r\n")},
         .read = {4, 2, 0, 3, {{0, 0}, {1, 5}, {2, 3}, {3, 9}}},
         .sameMeanAs = {rising2, twoColumns("r.txt", "0 0\r\n1 5\r\n2 3\r\n3 9\r\n")}},
        {.what = "a y column beyond the fields", .inputs = {rising2, curveFile("c.txt", {{"1", "5"}, {"2", "3"}}, {.yColumn = "9"})},
         .read = {2, 6, 1, 2, {{1, 0}, {2, 0}}},
         .code = 5, .detail = "column 9 is not in {input}: its first data line has 6 fields", .batchOnly = true},
        {.what = "text in the y column", .inputs = {rising2, curveFile("t.txt", {{"1", "5"}, {"2", "abc"}})},
         .code = 13, .detail = "line 5, column 6: \"abc\" is not a number"},
        {.what = "text after comment lines, quoted",
         .inputs = {rising2, twoColumns("q.txt", "# a\r\n1 2\r\n# b\r\n\"2 kg\",3\r\n")},
         .code = 13, .detail = "line 5, column 1: \"2 kg\" is not a number"},
        {.what = "the file ends inside a row",
         .inputs = {rising2, {"short.txt", bad_inputs::curve({{"1", "2"}, {"3", "4"}}) + "1 2 3 4 5\r\n"}},
         .code = 62, .detail = "line 6: the file ends after 5 of 6 fields"},
        {.what = "fewer lines than the header", .inputs = {rising2, {"h.txt", "run 7\r\nsample B\r\n"}},
         .code = 62, .detail = "line 2: the file ends within its 3 header lines"},
        {.what = "nothing but comments after the header",
         .inputs = {rising2, {"h.txt", bad_inputs::curve({}) + "# no data\r\n"}},
         .code = 62, .detail = "nothing follows the 3 header lines"},
        {.what = "no such file", .inputs = {rising2, {"gone.txt", "", Make::Missing}},
         .code = 53, .detail = "no such file"},
        {.what = "no such folder", .inputs = {rising2, {"no/gone.txt", "", Make::Missing}},
         .code = 53, .detail = "the folder {dir}/no does not exist"},
        {.what = "a folder", .inputs = {rising2, {"f.txt", "", Make::Folder}},
         .code = 75, .detail = "it is a folder, not a file"},
        {.what = "unreadable", .inputs = {rising2, {"u.txt", bad_inputs::curve({{"1", "2"}}), Make::Unreadable}},
         .code = 70, .detail = "permission denied"},
    };
    // clang-format on
    return all;
}

// The files of one shape's inputs in `dir`; none, with a note why, where they cannot be made.
inline std::vector<std::string> make(const std::vector<Input> &inputs, const TempDir &dir,
                                     const char *what = "") {
    const bad_inputs::Prepared p = bad_inputs::prepare({.what = what, .inputs = inputs}, dir);
    return p.skipped.empty() ? p.inputs : std::vector<std::string>{};
}

// Runs `check(shape, paths, folder)` for every shape whose files can be made here.
template <typename Check> void forEachShape(Check &&check) {
    for (const Shape &shape : shapes()) {
        SCOPED_TRACE(shape.what);
        TempDir dir;
        const std::vector<std::string> paths = make(shape.inputs, dir, shape.what);
        if (!paths.empty())
            check(shape, paths, dir);
    }
}

} // namespace real_files
