// mergon-batch: averages input curves from the command line exactly as the window does, with
// the same passes, the same grid and the same output file; optionally renders the graph.

#include "batch/picture.h"
#include "engine/commands.h"
#include "engine/messages.h"
#include "engine/option_value.h"
#include "engine/reader.h"
#include "engine/setting_value.h"
#include "plot/figure_kinds.h"

#include <charconv>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

using namespace mergon;

namespace {

const char *const kUsage =
    "usage: mergon-batch [--x-column N | --x-name TEXT] [--y-column N | --y-name TEXT]\n"
    "                    [--x-coefficient V] [--y-coefficient V] [--skip-lines N] [--weight V]\n"
    "                    [--decimal-comma | --decimal-point] [--separator semicolon|comma]\n"
    "                    FILE ... [--divisions N] [--output PATH]\n"
    "                    [--range common|union|FROM:TO] [--statistics PATH]\n"
    "                    [--confidence LEVEL] [--plot PATH] [--plot-style panel|paper]\n"
    "                    [--band sd|se|ci|none] [--plot-size WxH] [--verbose] [--help]\n"
    "\n"
    "Averages 2 to 10 curves on an even grid over the x range they all cover (or, with\n"
    "--range, any of them covers or one chosen) and writes the mean as a numbered table,\n"
    "optionally with its statistics and a graph. The per-file options apply to the files\n"
    "named after them until given again. Defaults: x column 5, y column 6, coefficients 1,\n"
    "skip lines 3, weight 1.0, divisions 100; the output is the first file's path with its\n"
    "last three characters replaced by \"mrg\" (a file name shorter than that gets \".mrg\"\n"
    "added).\n"
    "\n"
    "Fields are separated by blanks, tabs and commas, and numbers have a decimal point.\n"
    "--decimal-comma reads numbers with a decimal comma, fields then separated by blanks,\n"
    "tabs and semicolons; --decimal-point switches back. --separator chooses the punctuation\n"
    "between fields. --x-name and --y-name take a column by its name on the last header line\n"
    "(a name with blanks in double quotes there). Option values are numbers as the input\n"
    "files write them, the whole value and nothing else, with a decimal point (after\n"
    "--decimal-comma, a comma or a point); columns, skip lines and divisions whole numbers.\n"
    "A failed run changes no file: every output is replaced only once all are written.\n";

// What --help adds to the usage.
const char *const kOptionHelp =
    "\n"
    "  --range common|union|FROM:TO\n"
    "      common (the default): the grid spans the x range every file covers. union: it\n"
    "      spans from the smallest to the largest x of any file, and each grid point is the\n"
    "      mean of the files whose own x range holds it; a point that no file reaches is an\n"
    "      error (5). FROM:TO: it spans from FROM to TO (numbers as in the input files, such\n"
    "      as -5:1.5E+03, FROM below TO, each rounded to single precision), each point again\n"
    "      the mean of the files that reach it.\n"
    "  --statistics PATH\n"
    "      also writes a CSV table (CR LF line ends) after the output file:\n"
    "      number,x,mean,sd,se,n,min,max with, at every grid point, the number of files that\n"
    "      contribute (n), the sample standard deviation of their values (sd, divisor n - 1),\n"
    "      the standard error sd / sqrt(n) (se; both empty where n is 1) and the smallest\n"
    "      and largest value. x and mean are the output file's values; every number is the\n"
    "      shortest text that reads back to the same value. It may not be an input file or\n"
    "      the output file (75).\n"
    "  --confidence LEVEL\n"
    "      adds the columns ci_low,ci_high to the statistics table: the confidence interval\n"
    "      mean -+ t * se at LEVEL (between 0 and 1, such as 0.95), t being the two-sided\n"
    "      quantile of Student's t distribution with n - 1 degrees of freedom; empty where n\n"
    "      is 1. Needs --statistics.\n"
    "  --plot PATH\n"
    "      draws the graph to PATH, a PNG or an SVG file by its extension. It may not be an\n"
    "      input file or another output file (75).\n"
    "  --plot-style panel|paper\n"
    "      panel (the default): the window's graph panel, pixel for pixel (in an SVG file as\n"
    "      an embedded picture). paper: a figure for a publication, with a frame fitted to\n"
    "      the data, numbered axes, the input curves in light grey and the mean in red over\n"
    "      a shaded band.\n"
    "  --band sd|se|ci|none\n"
    "      the paper figure's band: mean +- standard deviation (the default), mean +-\n"
    "      standard error, the confidence interval at the --confidence level (0.95 without\n"
    "      it), or none.\n"
    "  --plot-size WxH\n"
    "      the size in pixels (PNG) or points (SVG); 329x217 for panel, 1200x800 for paper.\n"
    "  --verbose\n"
    "      reports each file and the grid on standard output.\n"
    "\n"
    "Exit status: 0 on success, 1 when the data or the output fail (the message ends with\n"
    "the failure's code), 2 for a usage error.\n";

struct InputFile {
    std::string path;
    SettingTexts settings;
};

struct Options {
    std::vector<InputFile> files;
    std::string divisions = "100";
    std::optional<std::string> output;
    std::optional<std::string> statistics;
    GridRange range = GridRange::kCommon;
    float rangeFrom = 0, rangeTo = 0; // the ends of a chosen range
    std::optional<double> confidence; // the level of the table's confidence intervals
    std::optional<std::string> plot;
    FigureFormat plotFormat = FigureFormat::kPng;
    bool paper = false; // the publication figure instead of the graph panel
    BandKind band = BandKind::kSd;
    int plotWidth = 0, plotHeight = 0; // 0 for the style's default
    bool verbose = false;
    bool help = false;
};

struct UsageError {
    std::string message;
};

// A whole number from 1 to 10000, all of `text`.
std::optional<int> plotDimension(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 1 || value > 10000)
        return std::nullopt;
    return value;
}

bool parsePlotSize(std::string_view text, int &width, int &height) {
    const size_t x = text.find('x');
    if (x == std::string_view::npos)
        return false;
    const std::optional<int> w = plotDimension(text.substr(0, x));
    const std::optional<int> h = plotDimension(text.substr(x + 1));
    if (!w || !h)
        return false;
    width = *w;
    height = *h;
    return true;
}

// The per-file options with a number: the least and most a count may be, or none for any
// number (a coefficient or weight beyond the float range fails at the addition, code 6).
struct NumberLimits {
    bool count = false;
    int least = 0, most = 0;
};
const std::map<std::string, NumberLimits> kNumberLimits = {
    {"--x-column", {true, 1, kMaxCount}},
    {"--y-column", {true, 1, kMaxCount}},
    {"--skip-lines", {true, 0, kMaxCount}},
    {"--x-coefficient", {}},
    {"--y-coefficient", {}},
    {"--weight", {}},
};

std::string countRange(int least, int most) {
    return "a whole number from " + std::to_string(least) + " to " + std::to_string(most);
}

// The text of a number option, checked strictly, as the engine's setting reader takes it.
std::string numberValue(const std::string &option, const std::string &text, char decimalMark) {
    const NumberLimits limits = kNumberLimits.at(option);
    if (limits.count) {
        if (!optionCount(text, limits.least, limits.most, decimalMark))
            throw UsageError{option + " takes " + countRange(limits.least, limits.most) +
                             ", not \"" + text + "\""};
    } else if (!optionNumber(text, decimalMark)) {
        throw UsageError{option + " takes a number, not \"" + text + "\""};
    }
    return withDecimalPoint(text);
}

// The value of a choice option among its named values.
template <typename Value>
Value choice(const std::string &option, const std::string &text,
             const std::vector<std::pair<std::string, Value>> &values,
             const std::string &otherForms = {}) {
    std::string names;
    for (const auto &[name, value] : values) {
        if (name == text)
            return value;
        names += (names.empty() ? "" : "|") + name;
    }
    throw UsageError{option + " takes " + names + otherForms + ", not \"" + text + "\""};
}

// --range: common, union, or FROM:TO, whose ends are compared before they are rounded.
void parseRange(const std::string &text, char decimalMark, Options &o) {
    const size_t colon = text.find(':');
    if (colon == std::string::npos) {
        o.range = choice<GridRange>("--range", text,
                                    {{"common", GridRange::kCommon}, {"union", GridRange::kUnion}},
                                    "|FROM:TO");
        return;
    }
    const std::optional<double> from =
        optionNumber(std::string_view(text).substr(0, colon), decimalMark);
    const std::optional<double> to =
        optionNumber(std::string_view(text).substr(colon + 1), decimalMark);
    if (!from || !to)
        throw UsageError{"--range FROM:TO takes two numbers, not \"" + text + "\""};
    const std::optional<float> low = toFloat(*from), high = toFloat(*to);
    if (!low || !high)
        throw UsageError{"--range FROM:TO takes numbers within the single precision range, not \"" +
                         text + "\""};
    if (!(*from < *to))
        throw UsageError{"--range FROM:TO needs FROM below TO, not \"" + text + "\""};
    o.range = GridRange::kChosen;
    o.rangeFrom = *low;
    o.rangeTo = *high;
}

// The per-file options with a value: each sets a setting of the files named after it, and
// clears the one it replaces (a column is given by its number or by its name).
struct FileOption {
    std::string SettingTexts::*setting;
    std::string SettingTexts::*replaces = nullptr;
};
const std::map<std::string, FileOption> kFileOptions = {
    {"--x-column", {&SettingTexts::xColumn, &SettingTexts::xName}},
    {"--y-column", {&SettingTexts::yColumn, &SettingTexts::yName}},
    {"--x-name", {&SettingTexts::xName, &SettingTexts::xColumn}},
    {"--y-name", {&SettingTexts::yName, &SettingTexts::yColumn}},
    {"--x-coefficient", {&SettingTexts::xCoefficient}},
    {"--y-coefficient", {&SettingTexts::yCoefficient}},
    {"--skip-lines", {&SettingTexts::skipLines}},
    {"--weight", {&SettingTexts::yWeight}},
};

// The reading rules as the options leave them; without --separator the separator follows
// the decimal mark: a comma after a point, a semicolon after a comma.
struct RuleOptions {
    char decimalMark = '.';
    std::optional<char> separator;

    ReadingRules forFile(const std::string &path) const {
        const char mark = decimalMark;
        const char separatorChar = separator.value_or(mark == ',' ? ';' : ',');
        if (mark == ',' && separatorChar == ',')
            throw UsageError{"--decimal-comma and --separator comma cannot both apply to " + path};
        return {mark, separatorChar};
    }
};

std::string describe(const ReadingRules &rules) {
    return std::string(rules.decimalMark == ',' ? "decimal comma" : "decimal point") +
           ", fields separated by blanks, tabs and " +
           (rules.separator == ';' ? "semicolons" : "commas");
}

Options parse(int argc, char **argv) {
    Options o;
    SettingTexts sticky;
    RuleOptions rules;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool hasInlineValue = false;
        if (arg.rfind("--", 0) == 0) {
            auto eq = arg.find('=');
            if (eq != std::string::npos) {
                value = arg.substr(eq + 1);
                arg = arg.substr(0, eq);
                hasInlineValue = true;
            }
        }
        auto takeValue = [&]() -> std::string {
            if (hasInlineValue)
                return value;
            if (i + 1 >= argc)
                throw UsageError{arg + " needs a value"};
            return argv[++i];
        };
        if (arg == "--help" || arg == "-h") {
            o.help = true;
        } else if (arg == "--verbose" || arg == "-v") {
            o.verbose = true;
        } else if (auto option = kFileOptions.find(arg); option != kFileOptions.end()) {
            std::string &setting = sticky.*(option->second.setting);
            setting = takeValue();
            if (kNumberLimits.contains(arg))
                setting = numberValue(arg, setting, rules.decimalMark);
            if (option->second.replaces)
                sticky.*(option->second.replaces) = "";
            if (setting.empty() && arg.ends_with("-name"))
                throw UsageError{arg + " needs a column name"};
        } else if (arg == "--decimal-comma") {
            rules.decimalMark = ',';
        } else if (arg == "--decimal-point") {
            rules = RuleOptions{};
        } else if (arg == "--separator") {
            const std::string separator = takeValue();
            if (separator != "semicolon" && separator != "comma")
                throw UsageError{"--separator takes semicolon or comma, not \"" + separator + "\""};
            rules.separator = separator == "semicolon" ? ';' : ',';
        } else if (arg == "--divisions") {
            o.divisions = takeValue();
            if (!optionCount(o.divisions, 1, kMaxCount, rules.decimalMark))
                throw UsageError{"--divisions takes " + countRange(1, kMaxCount) + ", not \"" +
                                 o.divisions + "\""};
            o.divisions = withDecimalPoint(o.divisions);
        } else if (arg == "--output") {
            o.output = takeValue();
        } else if (arg == "--statistics") {
            o.statistics = takeValue();
        } else if (arg == "--range") {
            parseRange(takeValue(), rules.decimalMark, o);
        } else if (arg == "--confidence") {
            const std::string level = takeValue();
            o.confidence = optionNumber(level, rules.decimalMark);
            if (!o.confidence || !(*o.confidence > 0 && *o.confidence < 1))
                throw UsageError{"--confidence takes a level between 0 and 1 such as 0.95, not \"" +
                                 level + "\""};
        } else if (arg == "--plot") {
            o.plot = takeValue();
            const std::optional<FigureFormat> format = figureFormatOf(*o.plot);
            if (!format)
                throw UsageError{"--plot writes a .png or an .svg file, not \"" + *o.plot + "\""};
            o.plotFormat = *format;
        } else if (arg == "--plot-style") {
            o.paper = choice<bool>(arg, takeValue(), {{"panel", false}, {"paper", true}});
        } else if (arg == "--band") {
            o.band = choice<BandKind>(arg, takeValue(),
                                      {{"sd", BandKind::kSd},
                                       {"se", BandKind::kSe},
                                       {"ci", BandKind::kCi},
                                       {"none", BandKind::kNone}});
        } else if (arg == "--plot-size") {
            std::string size = takeValue();
            if (!parsePlotSize(size, o.plotWidth, o.plotHeight))
                throw UsageError{"--plot-size takes WIDTHxHEIGHT, not \"" + size + "\""};
        } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
            throw UsageError{"unknown option " + arg};
        } else {
            o.files.push_back({arg, sticky});
            o.files.back().settings.rules = rules.forFile(arg);
        }
    }
    if (o.help)
        return o;
    if (o.confidence && !o.statistics)
        throw UsageError{"--confidence needs --statistics"};
    if (o.files.size() < 2 || o.files.size() > static_cast<size_t>(kMaxInputFiles))
        throw UsageError{"give 2 to 10 input files, not " + std::to_string(o.files.size())};
    return o;
}

// The path as the file chooser would hand it back: absolute, without "." or "..".
std::string fullPath(const std::string &path) {
    std::error_code error;
    auto absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
}

// Prints a failed command's message after the file it is about, when there is one, and on a
// second line its cause in plain words, when known.
int fail(const Status &status) {
    std::cerr << "mergon-batch: ";
    if (!status.subject().empty())
        std::cerr << status.subject() << ": ";
    std::cerr << status.message() << "\n";
    if (!status.detail().empty())
        std::cerr << "mergon-batch: " << status.detail() << "\n";
    return 1;
}

// The same file may be named twice on purpose (to weigh it twice), but more often by mistake.
void warnAboutRepeatedInputs(const Options &o) {
    for (size_t i = 1; i < o.files.size(); ++i)
        for (size_t j = 0; j < i; ++j)
            if (namesSameFile(o.files[i].path, o.files[j].path)) {
                std::cerr << "mergon-batch: warning: " << o.files[i].path
                          << " is named more than once; it counts each time\n";
                break;
            }
}

// Checks that the picture goes to a file of its own and makes its new file in `outputs`, before
// anything is written.
Status prepareFigure(const Session &s, const Options &o, const std::string &output,
                     PendingOutputs &outputs) {
    const std::string plot = fullPath(*o.plot);
    if (isInputFile(s, plot) || namesSameFile(plot, output) ||
        (o.statistics && namesSameFile(plot, fullPath(*o.statistics))))
        return Status::failure(kOutputFailed, figureOverwriteText(kOutputFailed), *o.plot);
    const Status status = outputs.add(plot, InPlace::kRefused);
    if (!status.ok())
        return Status::failure(status.code(), probeFailureText(status.code()), *o.plot);
    return status;
}

// Draws the picture into its new file; a failure names the picture as given.
Status drawFigure(const Session &s, const RowsBySlot &kept, const MeanCurve &mean, const Options &o,
                  const ReplacedFile &figure) {
    const Status status = writePicture({&s, &kept, &mean, figure.newPath(), o.plotFormat, o.paper,
                                        o.band, o.plotWidth, o.plotHeight});
    if (status.ok() || status.subject() != figure.newPath())
        return status;
    return Status::failure(status.code(), status.message(), *o.plot);
}

int run(const Options &o) {
    warnAboutRepeatedInputs(o);
    Session s;
    TextFile file(TextFile::Reading::Whole);
    RowsBySlot kept; // each file is read once, at its addition; the mean and the plot reuse it
    for (const InputFile &input : o.files) {
        const int k = takeNextSlot(s);
        SettingTexts settings = input.settings;
        settings.columnsInFile = true; // no one sees a curve lie on an axis here
        Status status =
            addInputFile(s, file, fullPath(input.path), settings, kept[static_cast<size_t>(k)]);
        if (!status.ok())
            return fail(status);
        if (o.verbose) {
            std::cout << s.fileNames[k] << ": " << s.lineCount[k] << " lines, "
                      << s.fieldsPerLine[k] << " fields per line, x from " << s.fileXMin[k]
                      << " to " << s.fileXMax[k] << "\n";
            std::cout << "  " << describe(s.readingRules[k]) << "\n";
            if (!input.settings.xName.empty())
                std::cout << "  x column " << s.xColumn[k] << " named \"" << input.settings.xName
                          << "\"\n";
            if (!input.settings.yName.empty())
                std::cout << "  y column " << s.yColumn[k] << " named \"" << input.settings.yName
                          << "\"\n";
        }
    }

    MeanCurve mean;
    WriteHooks hooks;
    if (o.verbose)
        hooks.beforeWriting = [&s, &o](const MeanCurve &curve) {
            if (o.range != GridRange::kCommon)
                std::cout << (o.range == GridRange::kUnion ? "union" : "chosen") << " range "
                          << curve.x.front() << " to " << curve.x.back();
            else
                std::cout << "common range " << s.commonXMin << " to " << s.commonXMax;
            std::cout << ", " << s.divisionCount << " divisions, step " << s.xStep << "\n";
        };
    MeanOptions options;
    options.range = o.range;
    options.chosenXMin = o.rangeFrom;
    options.chosenXMax = o.rangeTo;
    options.statistics = o.plot && o.paper && o.band != BandKind::kNone;
    // The band's interval takes the table's level, else the usual 0.95.
    const bool ciBand = o.plot && o.paper && o.band == BandKind::kCi;
    options.confidence = o.confidence.value_or(ciBand ? 0.95 : 0);
    options.intervalInTable = o.confidence.has_value();
    if (o.statistics)
        options.statisticsPath = fullPath(*o.statistics);
    // Every output is checked and written to a new file first; they replace the old outputs
    // together once all are written.
    const std::string output = o.output.value_or(s.outputFileName);
    PendingOutputs outputs;
    const ReplacedFile *figure = nullptr;
    if (o.plot) {
        const Status status = prepareFigure(s, o, output, outputs);
        if (!status.ok())
            return fail(status);
        figure = &outputs.back();
    }
    Status status =
        writeMean(s, file, output, o.divisions, mean, hooks, options, {&kept}, &outputs);
    if (status.ok() && figure)
        status = drawFigure(s, kept, mean, o, *figure);
    if (!status.ok())
        return fail(status);
    status = outputs.commit();
    if (!status.ok())
        return fail(Status::failure(status.code(), failureText(status.message(), status.code()),
                                    status.subject()));
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    Options options;
    try {
        options = parse(argc, argv);
    } catch (const UsageError &error) {
        std::cerr << "mergon-batch: " << error.message << "\n\n" << kUsage;
        return 2;
    }
    if (options.help) {
        std::cout << kUsage << kOptionHelp;
        return 0;
    }
    return run(options);
}
