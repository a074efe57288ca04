#pragma once
// Inputs that real instruments and careless hands produce, each with the outcome the program
// must give: which step fails, its message and code, and what the message is about. The
// engine test runs them through the two commands, the batch test through mergon-batch; in
// both, no input file may change, and a failure leaves every output as it was (earlier
// results byte for byte) and no new file in the folder.

#include "engine/commands.h"
#include "engine/input_files.h"
#include "temp_dir.h"

#include <sys/stat.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace bad_inputs {

enum class Make {
    Text,       // a regular file holding `text`
    Missing,    // nothing
    Folder,     // an empty folder
    Fifo,       // a named pipe nobody writes to
    Unreadable, // a file the test user may not read
    HugeLine,   // a data line of 200 MB of text in the x column
    AsIs,       // `name` is an absolute path that exists already (a device)
};

// What stands where the outputs go before the run.
enum class Earlier {
    Result,   // an earlier output (and statistics table and picture), where its folder exists
    None,     // nothing
    ReadOnly, // an earlier output that may not be written
};

struct Input {
    std::string name; // in the test folder, unless AsIs
    std::string text;
    Make make = Make::Text;
    mergon::SettingTexts settings = {};
};

// The files added in order as "Data File Open" adds them, up to the first that fails.
struct Added {
    mergon::Session session;
    mergon::Status status;
    mergon::Rows rows;    // of the last file added
    int failingInput = 0; // from 1; 0 when every file is added
};

inline Added addAll(const std::vector<Input> &inputs, const std::vector<std::string> &paths,
                    bool columnsInFile = false) {
    Added a;
    mergon::TextFile file;
    for (size_t i = 0; i < paths.size() && a.status.ok(); ++i) {
        mergon::takeNextSlot(a.session);
        mergon::SettingTexts settings = inputs[i].settings;
        settings.columnsInFile = columnsInFile;
        a.status = mergon::addInputFile(a.session, file, paths[i], settings, a.rows);
        a.failingInput = a.status.ok() ? 0 : static_cast<int>(i) + 1;
    }
    EXPECT_FALSE(file.isOpen());
    return a;
}

// Three header lines, then one line per point with x in field 5 and y in field 6.
inline std::string curve(const std::vector<std::pair<std::string, std::string>> &points) {
    std::string text = "run 7\r\nsample B\r\nno t a b x y\r\n";
    for (const auto &[x, y] : points)
        text += "1 2 3 4 " + x + " " + y + "\r\n";
    return text;
}

// Two good files over x 0 to 3, y = x and y = x + 2.
inline const Input kA{"a.txt", curve({{"0", "0"}, {"1", "1"}, {"2", "2"}, {"3", "3"}})};
inline const Input kB{"b.txt", curve({{"0", "2"}, {"1", "3"}, {"2", "4"}, {"3", "5"}})};

struct Case {
    const char *what;
    std::vector<Input> inputs = {kA, kB};
    std::string output = "out.mrg"; // as typed, in the test folder; "" takes the derived name
    std::string outputLinkTo = {};  // when set, the output is first a link to this file
    std::string divisions = "100";
    int failingInput = 0;      // the input whose addition fails; 0 when all are added
    int code = 0;              // 0: the mean is written
    std::string subject = {};  // what the failure names: "{input}", a path with "{dir}", or nothing
    std::string expected = {}; // the failure's text; on success, the whole output file
    std::string usage = {};    // when set, mergon-batch refuses its options so (exit status 2)
    std::string statistics = {}; // the statistics table's path, relative to the test folder
    std::string plot = {};       // the picture's path (mergon-batch only)
    Earlier earlier = Earlier::Result;
    bool closedFolder = false; // the test folder takes no new file

    // Permission bits only bind a user without the rights of root.
    bool unprivileged() const { return closedFolder || earlier == Earlier::ReadOnly; }
    // mergon-batch's code and text where its wider limits give another outcome than the
    // window's; on a success the text is the whole output file, or when empty, one of
    // divisions + 1 lines after the header. Its texts name its own limit on the divisions.
    std::optional<std::pair<int, std::string>> inBatch = std::nullopt;
};

inline const std::string kEarlierOutput = "an earlier result\r\n";
inline const std::string kEarlierTable = "number,x,mean\r\n1,2,3\r\n";
inline const std::string kEarlierPicture = "an earlier picture";

inline std::string added(int code) {
    return "This file includes error data or you may mistake column or skip indication. (" +
           std::to_string(code) + ")";
}
inline std::string probed(int code) {
    return "This output data file has been opened by another application. (" +
           std::to_string(code) + ")";
}
inline const std::string kOutputIsInput =
    "The output file is one of the input files; choose another output file name. (75)";
inline const std::string kDivisions =
    "The number of divisions must be a whole number from 1 to 32767. (5)";
inline const std::string kDivisionsOutOfRange =
    "The number of divisions is out of range: it must be a whole number from 1 to 32767. (6)";

inline const std::vector<Case> &cases() {
    using mergon::SettingTexts;
    using namespace std::string_literals;
    const std::string header = curve({});
    auto second = [](std::string text, Make make = Make::Text, SettingTexts settings = {}) {
        return Input{"b.txt", std::move(text), make, std::move(settings)};
    };
    const Input far = second(curve({{"5", "1"}, {"8", "2"}})); // no x in common with kA
    // The second file's addition fails after a good first one.
    auto addition = [](const char *what, Input input, int code) {
        return Case{what,       {kA, std::move(input)}, "out.mrg", "", "100", 2, code, "{input}",
                    added(code)};
    };
    // "Write to File" refuses the output, named as typed, before anything is computed.
    auto refusedOutput = [](const char *what, std::string output, int code, std::string message) {
        return Case{what, {kA, kB}, output, "", "100", 0, code, output, std::move(message)};
    };
    // The window reads the division count leniently, mergon-batch refuses it at once.
    auto refusedDivisions = [](const char *what, std::string text, int code, std::string message) {
        Case c{what, {kA, kB}, "out.mrg", "", text, 0, code, "", std::move(message)};
        c.usage = "--divisions takes a whole number of 1 or more, not \"" + text + "\"";
        return c;
    };
    std::string manyLines = header; // x 0, 1, 2, 3 over and over, y 6
    for (int i = 0; i < 32768; ++i)
        manyLines += "1 2 3 4 " + std::to_string(i % 4) + " 6\r\n";
    std::vector<Input> forty; // the window takes ten
    for (int i = 1; i <= 40; ++i)
        forty.push_back({"f" + std::to_string(i) + ".txt", kA.text});
    std::string binary;
    for (int i = 0; i < 1024; ++i)
        binary += static_cast<char>((i * 151 + 7) % 256);
    const std::string noRange =
        "The loaded curves have no x range in common, so there is nothing to average. (5)";
    const std::string gridTooWide =
        "The grid over the common x range goes beyond the range of single-precision numbers. (6)";
    const std::string table = " Number        X-axis        Y-axis\r\n";
    const std::string threeDivisions = table + " 1             0             1 \r\n"
                                               " 2             1             2 \r\n"
                                               " 3             2             3 \r\n"
                                               " 4             3             4 \r\n";
    const std::string kPictureOverwrite = "The picture file is one of the input files or another "
                                          "output file; choose another name for it. (75)";
    // clang-format off
    static const std::vector<Case> all = {
        addition("missing file", second("", Make::Missing), 53),
        addition("a folder", second("", Make::Folder), 75),
        addition("a FIFO", second("", Make::Fifo), 75),
        addition("a device", {"/dev/null", "", Make::AsIs}, 75),
        addition("unreadable", second(header + "1 2 3 4 5 6\r\n", Make::Unreadable), 70),
        addition("empty", second(""), 62),
        addition("header only", second(header), 62),
        addition("binary", second(binary), 62),
        addition("non-numeric x", second(header + "1 2 3 4 five 6\r\n"), 13),
        {.what = "32768 lines", .inputs = {kA, second(manyLines)}, .divisions = "1", .failingInput = 2, .code = 6,
         .subject = "{input}", .expected = added(6),
         .inBatch = {{0, table + " 1             0             3 \r\n 2             3             4.5 \r\n"}}},
        {.what = "40 files", .inputs = forty, .divisions = "1", .failingInput = 11, .code = 6, .subject = "{input}",
         .expected = "No more than 10 input files can be loaded. (6)",
         .inBatch = {{0, table + " 1             0             0 \r\n 2             3             3 \r\n"}}},
        {.what = "one file, resampled", .inputs = {kA}, .divisions = "2",
         .expected = table + " 1             0             0 \r\n"
                             " 2             1.5           1.5 \r\n"
                             " 3             3             3 \r\n"},
        addition("a 200 MB line", second("", Make::HugeLine), 13),
        addition("NUL bytes", second(header + "1 2 3 4 5\0 6\r\n"s), 13),
        addition("x beyond the float range", second(curve({{"1", "1"}, {"1e39", "2"}})), 6),
        addition("y beyond the float range after coefficient and weight",
                 second(curve({{"1", "1e20"}}), Make::Text, {.yCoefficient = "1e10", .yWeight = "1e10"}), 6),
        addition("a coefficient beyond the float range, before the file is opened",
                 second("", Make::Missing, {.xCoefficient = "1e39"}), 6),
        refusedOutput("output typed as an input, relative", "a.txt", 75, kOutputIsInput),
        {.what = "output derived from an input named .mrg", .inputs = {{"x.mrg", kA.text}, kB}, .output = "",
         .code = 75, .subject = "{dir}/x.mrg", .expected = kOutputIsInput},
        {.what = "output through a link to an input", .output = "link.mrg", .outputLinkTo = "b.txt", .code = 75,
         .subject = "link.mrg", .expected = kOutputIsInput},
        refusedOutput("missing output folder", "no/such/out.mrg", 76, probed(76)),
        refusedOutput("output is a folder", ".", 75, probed(75)),
        refusedOutput("output on a full device", "/dev/full", 75, probed(75)),
        // Not to be written by anyone: a kernel attribute file.
        refusedOutput("a read-only output", "/sys/kernel/notes", 70, probed(70)),
        refusedDivisions("0 divisions", "0", 5, kDivisions),
        refusedDivisions("divisions not a number", "abc", 5, kDivisions),
        refusedDivisions("-40000 divisions", "-40000", 6, kDivisionsOutOfRange),
        {.what = "40000 divisions", .divisions = "40000", .code = 6, .expected = kDivisionsOutOfRange,
         .inBatch = {{0, ""}}},
        {.what = "16777217 divisions", .divisions = "16777217", .code = 6, .expected = kDivisionsOutOfRange,
         .inBatch = {{6, "The number of divisions is out of range: it must be a whole number from 1 to 16777216. (6)"}}},
        {.what = "no common range, with a statistics table", .inputs = {kA, far}, .code = 5, .expected = noRange,
         .statistics = "out.csv"},
        // A link is followed: its target gets the new content, and stays where it is.
        {.what = "an output behind a link", .output = "link.mrg", .outputLinkTo = "kept/target.mrg",
         .divisions = "3", .expected = threeDivisions},
        {.what = "no common range, the output behind a link", .inputs = {kA, far}, .output = "link.mrg",
         .outputLinkTo = "kept/target.mrg", .code = 5, .expected = noRange},
        {.what = "a read-only output", .code = 70, .subject = "out.mrg", .expected = probed(70),
         .earlier = Earlier::ReadOnly},
        {.what = "a read-only output beside a statistics table", .code = 70, .subject = "out.mrg",
         .expected = probed(70), .statistics = "out.csv", .earlier = Earlier::ReadOnly},
        {.what = "a folder that takes no new file", .code = 70, .subject = "out.mrg", .expected = probed(70),
         .earlier = Earlier::None, .closedFolder = true},
        // The earlier output may be written: the table is written over it once it is known.
        {.what = "a folder that takes no new file, over a writable output", .divisions = "3",
         .expected = threeDivisions, .closedFolder = true},
        {.what = "no common range in a folder that takes no new file", .inputs = {kA, far}, .code = 5,
         .expected = noRange, .closedFolder = true},
        {.what = "a missing statistics folder", .code = 76, .subject = "{dir}/no/such/out.csv",
         .expected = probed(76), .statistics = "no/such/out.csv", .earlier = Earlier::None},
        {.what = "a missing picture folder", .code = 76, .subject = "no/such/out.png", .expected = probed(76),
         .statistics = "out.csv", .plot = "no/such/out.png", .earlier = Earlier::None},
        {.what = "the picture named as the output", .output = "out.png", .code = 75, .subject = "out.png",
         .expected = kPictureOverwrite, .plot = "out.png"},
        {.what = "a grid beyond the float range", .inputs = {{"a.txt", curve({{"-3e38", "1"}, {"3e38", "2"}})},
         second(curve({{"-3e38", "1"}, {"3e38", "2"}}))}, .divisions = "1", .code = 6, .expected = gridTooWide},
        // The grid covers exactly the x range the files share, however far from 0 it lies.
        {.what = "x below -999999", .inputs = {{"a.txt", curve({{"-4e6", "1"}, {"-3e6", "2"}, {"-2e6", "3"}})},
         second(curve({{"-4500000", "10"}, {"-3500000", "20"}, {"-2500000", "30"}}))}, .divisions = "3",
         .expected = table + " 1            -4000000       8 \r\n"
                             " 2            -3500000       10.75 \r\n"
                             " 3            -3000000       13.5 \r\n"
                             " 4            -2500000       16.25 \r\n"},
    };
    // clang-format on
    return all;
}

// The files of one case, made in a test folder.
struct Prepared {
    std::vector<std::string> inputs; // paths as given to the program
    std::string subject;             // the expected subject, placeholders filled in
    std::string skipped;             // why the case cannot run here, if it cannot
};

// A path whose reading the current user is refused: a file without read permission, or for
// root, who may read any ordinary file, a write-only attribute file of the kernel.
inline std::string unreadableFile(const TempDir &dir, const std::string &name,
                                  const std::string &text) {
    const std::string path = dir.write(name, text);
    ::chmod(path.c_str(), 0);
    for (const std::string &candidate : {path, std::string("/sys/bus/platform/drivers_probe")})
        if (const int fd = ::open(candidate.c_str(), O_RDONLY | O_NONBLOCK); fd < 0)
            return errno == EACCES ? candidate : "";
        else
            ::close(fd);
    return {};
}

// `text` with "{input}" standing for `input` and "{dir}" for the folder.
inline std::string filledIn(std::string text, const std::string &input, const TempDir &dir) {
    for (const auto &[mark, value] :
         {std::pair<std::string, std::string>{"{input}", input}, {"{dir}", dir.root.string()}})
        if (const size_t at = text.find(mark); at != std::string::npos)
            text.replace(at, mark.size(), value);
    return text;
}

// The files of one case in `dir`, or why they cannot be made here (said on standard output).
inline Prepared prepare(const Case &c, const TempDir &dir) {
    Prepared p;
    if (c.output.starts_with("/") && !std::filesystem::exists(c.output))
        p.skipped = c.output + " does not exist here";
    for (const Input &input : c.inputs) {
        std::string path = dir.file(input.name);
        switch (input.make) {
        case Make::Text:
            dir.write(input.name, input.text);
            break;
        case Make::Missing:
            break;
        case Make::Folder:
            std::filesystem::create_directory(path);
            break;
        case Make::Fifo:
            if (::mkfifo(path.c_str(), 0600) != 0)
                p.skipped = "no FIFO can be made here";
            break;
        case Make::Unreadable:
            path = unreadableFile(dir, input.name, input.text);
            if (path.empty())
                p.skipped = "no file here refuses to be read";
            break;
        case Make::HugeLine: {
            std::ofstream out(path, std::ios::binary);
            out << curve({}) << "1 2 3 4 ";
            for (int i = 0; i < 200; ++i)
                out << std::string(1 << 20, 'x');
            out << " 6\r\n";
            break;
        }
        case Make::AsIs:
            path = input.name;
            break;
        }
        p.inputs.push_back(path);
    }
    if (!c.outputLinkTo.empty()) {
        const std::filesystem::path target = dir.file(c.outputLinkTo);
        std::filesystem::create_directories(target.parent_path());
        if (!std::filesystem::exists(target))
            dir.write(c.outputLinkTo, kEarlierOutput);
        std::filesystem::create_symlink(target, dir.file(c.output));
    }
    // Neither through a link nor over another file; not at all where the folder is missing.
    if (c.earlier != Earlier::None && p.skipped.empty())
        for (const auto &[path, text] : {std::pair{c.output, kEarlierOutput},
                                         {c.statistics, kEarlierTable},
                                         {c.plot, kEarlierPicture}})
            if (!path.empty() &&
                !std::filesystem::exists(std::filesystem::symlink_status(dir.file(path))))
                dir.write(path, text);
    if (c.unprivileged()) {
        // Entered by another user than the folder's owner when run as root (see Unprivileged).
        std::filesystem::permissions(dir.root, c.closedFolder ? std::filesystem::perms(0555)
                                                              : std::filesystem::perms(0777));
        for (const std::string &path : {c.output, c.statistics})
            if (!path.empty())
                ::chmod(dir.file(path).c_str(), c.earlier == Earlier::ReadOnly ? 0444 : 0666);
    }
    if (!p.skipped.empty())
        std::cout << "skipped \"" << c.what << "\": " << p.skipped << "\n";
    p.subject = filledIn(c.subject, c.failingInput ? p.inputs[c.failingInput - 1] : "", dir);
    return p;
}

// The bytes of a file under 1 MB; of a larger one (the 200 MB line), its size and the time it
// was last written, which any write changes.
inline std::string fingerprint(const std::filesystem::path &path) {
    if (std::filesystem::file_size(path) < (1u << 20))
        return readBytes(path.string());
    return "<" + std::to_string(std::filesystem::file_size(path)) + " bytes written at " +
           std::to_string(std::filesystem::last_write_time(path).time_since_epoch().count()) + ">";
}

// Every file and folder under `root` with its fingerprint ("<folder>" for a folder, "-> target"
// for a link), by its path relative to `root`.
inline std::map<std::string, std::string> contents(const std::filesystem::path &root) {
    namespace fs = std::filesystem;
    std::map<std::string, std::string> out;
    for (const fs::directory_entry &entry : fs::recursive_directory_iterator(root))
        out[fs::relative(entry.path(), root).string()] =
            entry.is_symlink()        ? "-> " + fs::read_symlink(entry.path()).string()
            : entry.is_directory()    ? "<folder>"
            : entry.is_regular_file() ? fingerprint(entry.path())
                                      : "<other>";
    return out;
}

// Takes the rights of an ordinary user while it lives, when the test runs as root, for whom
// permission bits do not bind.
struct Unprivileged {
    static constexpr uid_t kNobody = 65534;
    explicit Unprivileged(bool wanted) : active(wanted && ::geteuid() == 0) {
        if (active && (::setegid(kNobody) != 0 || ::seteuid(kNobody) != 0))
            throw std::runtime_error("cannot take the rights of an ordinary user");
    }
    ~Unprivileged() {
        if (active && (::seteuid(0) != 0 || ::setegid(0) != 0))
            std::abort(); // the rest of the tests would run without root's rights
    }
    Unprivileged(const Unprivileged &) = delete;
    Unprivileged &operator=(const Unprivileged &) = delete;
    const bool active;
};

// Runs every case that can run here through `run(case, prepared, folder)`, which drives one
// front end (as an ordinary user where the case is unprivileged()), checks its outcome and
// returns its code; then checks that after a failure nothing in the folder changed (the inputs
// are in it), and after a success, that only the outputs did.
// Cases with a picture run only where `withPictures`.
template <typename Run> void forEachCase(Run &&run, bool withPictures) {
    for (const Case &c : cases()) {
        SCOPED_TRACE(c.what);
        if (!c.plot.empty() && !withPictures)
            continue;
        TempDir dir;
        const Prepared p = prepare(c, dir);
        if (!p.skipped.empty())
            continue;
        auto folderBefore = contents(dir.root);
        const int code = run(c, p, dir);
        std::filesystem::permissions(dir.root, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add);
        auto folderAfter = contents(dir.root);
        if (code == 0) // the outputs (or a link's target) have new content, nothing else
            for (const std::string &output :
                 {c.outputLinkTo.empty() ? c.output : c.outputLinkTo, c.statistics, c.plot}) {
                folderBefore.erase(output);
                folderAfter.erase(output);
            }
        EXPECT_EQ(folderAfter, folderBefore) << "the folder changed";
    }
}

} // namespace bad_inputs
