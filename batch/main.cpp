// mergon-batch: averages input curves from the command line exactly as the window does, with
// the same passes, the same grid and the same output file; optionally renders the graph.

#include "batch/picture.h"
#include "engine/commands.h"
#include "engine/number_scan.h"
#include "engine/parallel.h"
#include "engine/parallel_additions.h"
#include "engine/setting_value.h"
#include "plot/figure_kinds.h"

#include <charconv>
#include <cmath>
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
    "                    [--band sd|se|ci|none] [--plot-size WxH] [--jobs N] [--verbose]\n"
    "                    [--help]\n"
    "\n"
    "Averages any number of curves (a single one is resampled) on an even grid over the x\n"
    "range they all cover (or, with --range, any of them covers or one chosen) and writes the\n"
    "mean as a numbered table,\n"
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
    "(a name with blanks in double quotes there). Option values always have a decimal point.\n";

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
    "      draws the graph to PATH, a PNG or an SVG file by its extension.\n"
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
    "  --jobs N\n"
    "      reads and converts the files on N threads (default: one per core); the results\n"
    "      are the same for every N.\n"
    "  --verbose\n"
    "      reports each file and the grid on standard output.\n"
    "\n"
    "Exit status: 0 on success, 1 when the data or the output fail (the message ends with\n"
    "the failure's code), 2 for a usage error.\n";

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
    int jobs = defaultJobs();
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

// A number in the input files' grammar, all of `text`; an infinity beyond the double range.
std::optional<double> wholeNumber(std::string_view text) {
    double value = 0;
    const char *end = text.data() + text.size();
    const NumberScanResult scanned = scanNumber(text.data(), end, value);
    if (scanned.ptr != end || scanned.error == NumberError::NotANumber)
        return std::nullopt;
    if (scanned.error == NumberError::OutOfRange)
        return text.starts_with('-') ? -HUGE_VAL : HUGE_VAL;
    return value;
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
void parseRange(const std::string &text, Options &o) {
    const size_t colon = text.find(':');
    if (colon == std::string::npos) {
        o.range = choice<GridRange>("--range", text,
                                    {{"common", GridRange::kCommon}, {"union", GridRange::kUnion}},
                                    "|FROM:TO");
        return;
    }
    const std::optional<double> from = wholeNumber(std::string_view(text).substr(0, colon));
    const std::optional<double> to = wholeNumber(std::string_view(text).substr(colon + 1));
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
        } else if (arg == "--output") {
            o.output = takeValue();
        } else if (arg == "--statistics") {
            o.statistics = takeValue();
        } else if (arg == "--range") {
            parseRange(takeValue(), o);
        } else if (arg == "--confidence") {
            const std::string level = takeValue();
            o.confidence = wholeNumber(level);
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
        } else if (arg == "--jobs") {
            const std::string jobs = takeValue();
            const auto [end, error] =
                std::from_chars(jobs.data(), jobs.data() + jobs.size(), o.jobs);
            if (error != std::errc() || end != jobs.data() + jobs.size() || o.jobs < 1 ||
                o.jobs > 1024)
                throw UsageError{"--jobs takes a whole number from 1 to 1024, not \"" + jobs +
                                 "\""};
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
    if (o.files.empty())
        throw UsageError{"give one or more input files"};
    return o;
}

// The path as the file chooser would hand it back: absolute, without "." or "..".
std::string fullPath(const std::string &path) {
    std::error_code error;
    auto absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
}

// Prints a failed command's message after the file it is about, when there is one.
int fail(const Status &status) {
    std::cerr << "mergon-batch: ";
    if (!status.subject().empty())
        std::cerr << status.subject() << ": ";
    std::cerr << status.message() << "\n";
    return 1;
}

int run(const Options &o) {
    Session s;
    RowsBySlot kept; // each file is read once, at its addition; the mean and the plot reuse it
    std::vector<InputFile> inputs = o.files;
    for (InputFile &input : inputs)
        input.path = fullPath(input.path);
    const auto report = [&](size_t i) {
        if (!o.verbose)
            return;
        const Curve &c = s.curves[i];
        const SettingTexts &settings = inputs[i].settings;
        std::cout << c.fileName << ": " << c.lineCount << " lines, " << c.fieldsPerLine
                  << " fields per line, x from " << c.fileXMin << " to " << c.fileXMax << "\n";
        std::cout << "  " << describe(c.readingRules) << "\n";
        if (!settings.xName.empty())
            std::cout << "  x column " << c.xColumn << " named \"" << settings.xName << "\"\n";
        if (!settings.yName.empty())
            std::cout << "  y column " << c.yColumn << " named \"" << settings.yName << "\"\n";
    };
    Status status = addInputFiles(s, inputs, kBatchLimits, o.jobs, kept, report);
    if (!status.ok())
        return fail(status);

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
    options.limits = kBatchLimits;
    if (o.statistics)
        options.statisticsPath = fullPath(*o.statistics);
    TextFile file(TextFile::Reading::Whole);
    status = writeMean(s, file, o.output.value_or(s.outputFileName), o.divisions, mean, hooks,
                       options, {&kept});
    if (!status.ok())
        return fail(status);

    if (o.plot) {
        status = writePicture(
            {&s, &kept, &mean, *o.plot, o.plotFormat, o.paper, o.band, o.plotWidth, o.plotHeight});
        if (!status.ok())
            return fail(status);
    }
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
