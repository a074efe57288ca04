// mergon-batch: averages input curves from the command line exactly as the window does, with
// the same passes, the same grid and the same output file; optionally renders the graph.

#include "batch/picture.h"
#include "engine/commands.h"
#include "engine/input_files.h"
#include "engine/messages.h"
#include "engine/number_scan.h"
#include "engine/option_value.h"
#include "engine/parallel.h"
#include "engine/parallel_additions.h"
#include "engine/reader.h"
#include "engine/setting_value.h"
#include "plot/figure_kinds.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <sys/stat.h>

using namespace mergon;

namespace {

const char *const kHelp =
    "Usage: mergon-batch [PER-FILE OPTION]... FILE... [RUN OPTION]...\n"
    "  or:  mergon-batch --help | --version\n"
    "Averages any number of measured curves (a single one is resampled) on an even\n"
    "grid over the x range they all cover (or, with --range, any of them covers or\n"
    "one chosen) and writes the mean as a numbered table, optionally with its\n"
    "statistics and a graph. Options and\n"
    "files come in any order; a per-file option applies to the files named after it\n"
    "until given again. Long options may also be written --option=value. Option\n"
    "values are numbers as the input files write them, the whole value and nothing\n"
    "else, with a decimal point (after --decimal-comma, a comma or a point);\n"
    "columns, skip lines and divisions whole numbers. A failed run changes no file:\n"
    "every output is replaced only once all are written.\n"
    "\n"
    "The exit status is 0 on success, 1 when the data or an output fail (the message\n"
    "ends with the failure's code), 2 for a usage error.\n"
    "\n"
    "Options:\n"
    "\n"
    "Per-file options:\n"
    "  --x-column N            x is field N of a data row (default 5)\n"
    "  --y-column N            y is field N of a data row (default 6)\n"
    "  --x-name TEXT           x is the column named TEXT on the last header line (a\n"
    "                          name with blanks stands in double quotes there)\n"
    "  --y-name TEXT           y is the column named TEXT on the last header line\n"
    "  --x-coefficient V       multiplies x (default 1)\n"
    "  --y-coefficient V       multiplies y (default 1)\n"
    "  --skip-lines N          header lines before the data (default 3)\n"
    "  --weight V              the file's weight k(i) on y (default 1.0)\n"
    "  --decimal-comma         numbers have a decimal comma; fields are separated by\n"
    "                          blanks, tabs and semicolons\n"
    "  --decimal-point         numbers have a decimal point (the default); fields\n"
    "                          are separated by blanks, tabs and commas\n"
    "  --separator semicolon|comma  the punctuation between fields\n"
    "\n"
    "Run options:\n"
    "  --divisions N           the grid's intervals (default 100)\n"
    "  --output PATH           the mean's table; by default the first file's path\n"
    "                          with its last three characters replaced by \"mrg\" (a\n"
    "                          file name shorter than that gets \".mrg\" added)\n"
    "  --range common|union|FROM:TO  common (the default): the grid spans the x\n"
    "                          range every file covers. union: from the smallest to\n"
    "                          the largest x of any file, each grid point the mean\n"
    "                          of the files that reach it; a point no file reaches\n"
    "                          is an error (5). FROM:TO: from FROM to TO (numbers as\n"
    "                          in the input files, such as -5:1.5E+03, FROM below\n"
    "                          TO, each rounded to single precision), as under\n"
    "                          union.\n"
    "  --statistics PATH       also writes a CSV table (CR LF line ends),\n"
    "                          number,x,mean,sd,se,n,min,max: at every grid point\n"
    "                          the output file's x and mean, the sample standard\n"
    "                          deviation (divisor n - 1) and standard error of the\n"
    "                          files' values (both empty where n is 1), the number\n"
    "                          of files n and the smallest and largest value, each\n"
    "                          the shortest text that reads back to the same value.\n"
    "                          It may not be an input or the output file (75).\n"
    "  --confidence LEVEL      adds the columns ci_low,ci_high to the statistics\n"
    "                          table, the interval mean -+ t * se at LEVEL (between\n"
    "                          0 and 1, such as 0.95), t the two-sided quantile of\n"
    "                          Student's t distribution with n - 1 degrees of\n"
    "                          freedom. Needs --statistics.\n"
    "  --plot PATH             draws the graph to PATH: PNG, SVG or PDF by its\n"
    "                          extension. It may not be an input or another output\n"
    "                          file (75).\n"
    "  --plot-style panel|paper  panel (the default): the window's graph panel,\n"
    "                          pixel for pixel (in SVG and PDF as an embedded\n"
    "                          picture). paper: a figure for a publication: a frame\n"
    "                          fitted to the data, numbered and labelled axes, the\n"
    "                          input curves in light grey, the mean in red over a\n"
    "                          shaded band, and a legend.\n"
    "  --band sd|se|ci|none    the paper figure's band: mean +- standard deviation\n"
    "                          (the default), mean +- standard error, the confidence\n"
    "                          interval at the --confidence level (0.95 without it),\n"
    "                          or none\n"
    "  --plot-size WxH[UNIT]   the figure's size, UNIT px, mm, cm, in or pt (such as\n"
    "                          85x60mm); without a unit, pixels for PNG and points\n"
    "                          for SVG and PDF. Default 329x217 for panel, 120x80mm\n"
    "                          for paper.\n"
    "  --dpi N                 pixels per inch of a PNG, written into it; turns\n"
    "                          print units into pixels (default 300; the panel's PNG\n"
    "                          carries it only when given)\n"
    "  --font-size PT          the paper figure's text in points at the printed size\n"
    "                          (default 8)\n"
    "  --x-label TEXT          the x axis's label (empty for none); by default the x\n"
    "                          column's name on the first file's last header line\n"
    "  --y-label TEXT          the y axis's label, likewise\n"
    "  --title TEXT            a title over the paper figure (none by default)\n"
    "  --legend on|off         the paper figure's legend (on by default), placed\n"
    "                          inside the frame where it covers the fewest data\n"
    "  --x-limits A:B          the paper figure's x axis from A to B; by default from\n"
    "                          FROM to TO of a chosen range, else fitted to the data\n"
    "  --y-limits A:B          the paper figure's y axis from A to B; by default\n"
    "                          fitted to the data shown\n"
    "  -v, --verbose           reports each file and the grid on standard output\n"
    "  -h, --help              prints this help and exits\n"
    "  -V, --version           prints the program's name and version and exits\n"
    "\n";

struct Options {
    std::vector<InputFile> files;
    std::string divisions = kDefaultDivisions;
    std::optional<std::string> output;
    std::optional<std::string> statistics;
    GridRange range = GridRange::kCommon;
    float rangeFrom = 0, rangeTo = 0; // the ends of a chosen range
    std::optional<double> confidence; // the level of the table's confidence intervals
    std::optional<std::string> plot;
    bool paper = false;        // the publication figure instead of the graph panel
    PaperFigureRequest figure; // format, size, dpi, band, ...; labels and x limits as given
    FigureSize plotSize;       // as given; zero for the style's default
    bool dpiGiven = false;
    std::optional<std::string> xLabel, yLabel;
    int jobs = defaultJobs();
    bool verbose = false;
    bool help = false;
    bool version = false;
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

// A positive decimal number, all of `text`.
std::optional<double> printDimension(std::string_view text) {
    double value = 0;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    if (error != std::errc() || end != text.data() + text.size() || !(value > 0) ||
        !std::isfinite(value))
        return std::nullopt;
    return value;
}

// WxH: whole numbers without a unit and in pixels, decimals in print units.
std::optional<FigureSize> parsePlotSize(std::string_view text) {
    static constexpr std::pair<std::string_view, SizeUnit> units[] = {{"px", SizeUnit::kPx},
                                                                      {"mm", SizeUnit::kMm},
                                                                      {"cm", SizeUnit::kCm},
                                                                      {"in", SizeUnit::kIn},
                                                                      {"pt", SizeUnit::kPt}};
    FigureSize size;
    for (const auto &[name, unit] : units)
        if (text.ends_with(name)) {
            size.unit = unit;
            text.remove_suffix(name.size());
        }
    const size_t x = text.find('x');
    if (x == std::string_view::npos)
        return std::nullopt;
    const bool whole = size.unit == SizeUnit::kBare || size.unit == SizeUnit::kPx;
    const auto dimension = [whole](std::string_view part) -> std::optional<double> {
        if (whole)
            return plotDimension(part);
        return printDimension(part);
    };
    const std::optional<double> w = dimension(text.substr(0, x));
    const std::optional<double> h = dimension(text.substr(x + 1));
    if (!w || !h)
        return std::nullopt;
    size.width = *w;
    size.height = *h;
    return size;
}

// The per-file options with a number: the least a count may be, or none for any number. A
// count beyond the batch's limit, or a coefficient or weight beyond the float range, fails at
// the addition with code 6.
struct NumberLimits {
    bool count = false;
    int least = 0;
};
const std::map<std::string, NumberLimits> kNumberLimits = {
    {"--x-column", {true, 1}}, {"--y-column", {true, 1}}, {"--skip-lines", {true, 0}},
    {"--x-coefficient", {}},   {"--y-coefficient", {}},   {"--weight", {}},
};

std::string countRange(int least) {
    return "a whole number of " + std::to_string(least) + " or more";
}

// The text of a number option, checked strictly, as the engine's setting reader takes it.
std::string numberValue(const std::string &option, const std::string &text, char decimalMark) {
    const NumberLimits limits = kNumberLimits.at(option);
    if (limits.count) {
        if (!optionCount(text, limits.least, decimalMark))
            throw UsageError{option + " takes " + countRange(limits.least) + ", not \"" + text +
                             "\""};
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

// --x-limits and --y-limits: A:B, two numbers as option values are written, A below B.
AxisLimits parseLimits(const std::string &option, const std::string &text, char decimalMark) {
    const size_t colon = text.find(':');
    const std::optional<double> low = colon == std::string::npos
                                          ? std::nullopt
                                          : optionNumber(text.substr(0, colon), decimalMark);
    const std::optional<double> high = colon == std::string::npos
                                           ? std::nullopt
                                           : optionNumber(text.substr(colon + 1), decimalMark);
    if (!low || !high || !std::isfinite(*low) || !std::isfinite(*high))
        throw UsageError{option + " takes two numbers A:B, not \"" + text + "\""};
    if (!(*low < *high))
        throw UsageError{option + " needs A below B, not \"" + text + "\""};
    return {*low, *high};
}

// A whole number from `low` to `high`, all of `text`.
int boundedWhole(const std::string &option, const std::string &text, int low, int high) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < low || value > high)
        throw UsageError{option + " takes a whole number from " + std::to_string(low) + " to " +
                         std::to_string(high) + ", not \"" + text + "\""};
    return value;
}

// The figure's size in the format's own unit must be 1 to 10000 pixels or points a side.
void checkFigureSize(const Options &o) {
    if (!o.plot)
        return;
    const FigureSize given = o.plotSize.width > 0 ? o.plotSize
                             : o.paper            ? kPaperDefaultSize
                                                  : kPanelSize;
    const FigureSize size = sizeInFormatUnits(given, o.figure.format, o.figure.dpi);
    const auto fits = [](double side) { return std::lround(side) >= 1 && side <= 10000; };
    if (fits(size.width) && fits(size.height))
        return;
    const bool png = o.figure.format == FigureFormat::kPng;
    throw UsageError{"the figure must be 1 to 10000 " + std::string(png ? "pixels" : "points") +
                     " a side, not " + std::to_string(std::lround(size.width)) + "x" +
                     std::to_string(std::lround(size.height)) +
                     (png ? " at " + std::to_string(o.figure.dpi) + " dpi" : std::string())};
}

// Every long option, for suggestions when one is misspelt.
constexpr std::string_view kLongOptions[] = {
    "--x-column",      "--y-column",   "--x-name",     "--y-name",        "--x-coefficient",
    "--y-coefficient", "--skip-lines", "--weight",     "--decimal-comma", "--decimal-point",
    "--separator",     "--divisions",  "--output",     "--range",         "--statistics",
    "--confidence",    "--plot",       "--plot-style", "--band",          "--plot-size",
    "--dpi",           "--font-size",  "--x-label",    "--y-label",       "--title",
    "--legend",        "--x-limits",   "--y-limits",   "--verbose",       "--help",
    "--version"};

// The number of single-character insertions, deletions, substitutions and swaps of
// neighbours that turn `a` into `b`.
size_t editDistance(std::string_view a, std::string_view b) {
    std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
    for (size_t i = 0; i <= a.size(); ++i)
        d[i][0] = i;
    for (size_t j = 0; j <= b.size(); ++j)
        d[0][j] = j;
    for (size_t i = 1; i <= a.size(); ++i)
        for (size_t j = 1; j <= b.size(); ++j) {
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1,
                                d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return d[a.size()][b.size()];
}

// The option meant by a misspelt one: the only option it begins, else the nearest one within
// two edits (and fewer than a third of its letters); none when that is not one option.
std::optional<std::string_view> suggestedOption(std::string_view unknown) {
    std::optional<std::string_view> found;
    int begun = 0;
    for (std::string_view option : kLongOptions)
        if (unknown.size() > 3 && option.starts_with(unknown))
            found = option, ++begun;
    if (begun == 1)
        return found;
    const size_t limit = std::clamp<size_t>((unknown.size() - 2) / 3, 1, 2);
    size_t best = limit + 1;
    found.reset();
    bool tie = false;
    for (std::string_view option : kLongOptions) {
        const size_t distance = editDistance(unknown, option);
        if (distance < best)
            found = option, best = distance, tie = false;
        else if (distance == best)
            tie = true;
    }
    return tie ? std::nullopt : found;
}

UsageError unknownOption(const std::string &option) {
    const std::optional<std::string_view> meant =
        option.starts_with("--") ? suggestedOption(option) : std::nullopt;
    return {"unknown option " + option +
            (meant ? "; did you mean '" + std::string(*meant) + "'?" : std::string())};
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

// The paper figure's options that take a value; false for any other option.
template <typename TakeValue>
bool parseFigureOption(const std::string &arg, TakeValue &takeValue, char decimalMark, Options &o) {
    if (arg == "--dpi") {
        o.figure.dpi = boundedWhole(arg, takeValue(), 10, 10000);
        o.dpiGiven = true;
    } else if (arg == "--font-size") {
        const std::string text = takeValue();
        const std::optional<double> size = printDimension(text);
        if (!size || *size < 1 || *size > 100)
            throw UsageError{"--font-size takes points from 1 to 100, not \"" + text + "\""};
        o.figure.fontSize = *size;
    } else if (arg == "--x-label") {
        o.xLabel = takeValue();
    } else if (arg == "--y-label") {
        o.yLabel = takeValue();
    } else if (arg == "--title") {
        o.figure.title = takeValue();
    } else if (arg == "--legend") {
        o.figure.legend = choice<bool>(arg, takeValue(), {{"on", true}, {"off", false}});
    } else if (arg == "--x-limits") {
        o.figure.xLimits = parseLimits(arg, takeValue(), decimalMark);
    } else if (arg == "--y-limits") {
        o.figure.yLimits = parseLimits(arg, takeValue(), decimalMark);
    } else {
        return false;
    }
    return true;
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
        auto flag = [&] {
            if (hasInlineValue)
                throw UsageError{arg + " takes no value"};
        };
        if (arg == "--help" || arg == "-h") {
            flag();
            o.help = true;
        } else if (arg == "--version" || arg == "-V") {
            flag();
            o.version = true;
        } else if (arg == "--verbose" || arg == "-v") {
            flag();
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
            flag();
            rules.decimalMark = ',';
        } else if (arg == "--decimal-point") {
            flag();
            rules = RuleOptions{};
        } else if (arg == "--separator") {
            const std::string separator = takeValue();
            if (separator != "semicolon" && separator != "comma")
                throw UsageError{"--separator takes semicolon or comma, not \"" + separator + "\""};
            rules.separator = separator == "semicolon" ? ';' : ',';
        } else if (arg == "--divisions") {
            o.divisions = takeValue();
            if (!optionCount(o.divisions, 1, rules.decimalMark))
                throw UsageError{"--divisions takes " + countRange(1) + ", not \"" + o.divisions +
                                 "\""};
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
                throw UsageError{"--plot writes a .png, .svg or .pdf file, not \"" + *o.plot +
                                 "\""};
            o.figure.format = *format;
        } else if (arg == "--plot-style") {
            o.paper = choice<bool>(arg, takeValue(), {{"panel", false}, {"paper", true}});
        } else if (arg == "--band") {
            o.figure.band = choice<BandKind>(arg, takeValue(),
                                             {{"sd", BandKind::kSd},
                                              {"se", BandKind::kSe},
                                              {"ci", BandKind::kCi},
                                              {"none", BandKind::kNone}});
        } else if (arg == "--jobs") {
            const std::string jobs = takeValue();
            o.jobs = boundedWhole(arg, jobs, 1, 1024);
        } else if (arg == "--plot-size") {
            const std::string size = takeValue();
            const std::optional<FigureSize> parsed = parsePlotSize(size);
            if (!parsed)
                throw UsageError{"--plot-size takes WIDTHxHEIGHT with an optional unit px, mm, "
                                 "cm, in or pt, not \"" +
                                 size + "\""};
            o.plotSize = *parsed;
        } else if (parseFigureOption(arg, takeValue, rules.decimalMark, o)) {
        } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
            throw unknownOption(arg);
        } else {
            o.files.push_back({arg, sticky});
            o.files.back().settings.rules = rules.forFile(arg);
        }
    }
    if (o.help || o.version)
        return o;
    checkFigureSize(o);
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

// The label of an axis: as given, else the name on the first file's last header line at the
// column the axis shows, else none.
std::string axisLabel(const std::optional<std::string> &given, const Session &s, TextFile &file,
                      int column) {
    return given ? *given : columnName(s.curves.front(), file, column);
}

Picture picture(const Options &o, const Session &s, TextFile &file, const RowsBySlot &kept,
                const MeanCurve &mean, double confidence) {
    Picture p{&s, &kept, &mean, *o.plot, o.paper, o.figure, o.dpiGiven};
    p.figure.size = o.plotSize;
    if (o.paper) {
        if (o.plotSize.width <= 0)
            p.figure.size = kPaperDefaultSize;
        p.figure.xLabel = axisLabel(o.xLabel, s, file, s.curves.front().xColumn);
        p.figure.yLabel = axisLabel(o.yLabel, s, file, s.curves.front().yColumn);
        p.figure.confidence = confidence;
        if (!p.figure.xLimits && o.range == GridRange::kChosen)
            p.figure.xLimits = AxisLimits{o.rangeFrom, o.rangeTo};
    }
    return p;
}

// The same file may be named twice on purpose (to weigh it twice), but more often by mistake.
// Names are matched as namesSameFile matches two, each name looked up once: an existing file
// by its device and inode, any other name by the path it resolves to (none when that fails).
void warnAboutRepeatedInputs(const Options &o) {
    namespace fs = std::filesystem;
    std::set<std::pair<dev_t, ino_t>> files;
    std::set<fs::path> paths;
    for (const InputFile &input : o.files) {
        struct stat info {};
        bool repeated = false;
        if (::stat(input.path.c_str(), &info) == 0) {
            repeated = !files.emplace(info.st_dev, info.st_ino).second;
        } else {
            std::error_code error;
            fs::path path = fs::weakly_canonical(fs::absolute(input.path, error), error);
            repeated = !error && !paths.insert(std::move(path)).second;
        }
        if (repeated)
            std::cerr << "mergon-batch: warning: " << input.path
                      << " is named more than once; it counts each time\n";
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
Status drawFigure(const Session &s, TextFile &file, const RowsBySlot &kept, const MeanCurve &mean,
                  double confidence, const Options &o, const ReplacedFile &figure) {
    Picture request = picture(o, s, file, kept, mean, confidence);
    request.path = figure.newPath();
    const Status status = writePicture(request);
    if (status.ok() || status.subject() != figure.newPath())
        return status;
    return Status::failure(status.code(), status.message(), *o.plot);
}

int run(const Options &o) {
    warnAboutRepeatedInputs(o);
    Session s;
    PageArena rowMemory; // before the rows, which it outlives
    RowsBySlot kept;     // each file is read once, at its addition; the mean and the plot reuse it
    std::vector<InputFile> inputs = o.files;
    for (InputFile &input : inputs) {
        input.path = fullPath(input.path);
        input.settings.columnsInFile = true; // no one sees a curve lie on an axis here
    }
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
    Status status = addInputFiles(s, inputs, kBatchLimits, o.jobs, kept, report, &rowMemory);
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
    options.statistics = o.plot && o.paper && o.figure.band != BandKind::kNone;
    // The band's interval takes the table's level, else the usual 0.95.
    const bool ciBand = o.plot && o.paper && o.figure.band == BandKind::kCi;
    options.confidence = o.confidence.value_or(ciBand ? 0.95 : 0);
    options.intervalInTable = o.confidence.has_value();
    options.limits = kBatchLimits;
    options.jobs = o.jobs;
    if (o.statistics)
        options.statisticsPath = fullPath(*o.statistics);
    // Every output is checked and written to a new file first; they replace the old outputs
    // together once all are written.
    const std::string output = o.output.value_or(s.outputFileName);
    PendingOutputs outputs;
    const ReplacedFile *figure = nullptr;
    if (o.plot) {
        status = prepareFigure(s, o, output, outputs);
        if (!status.ok())
            return fail(status);
        figure = &outputs.back();
    }
    TextFile file(TextFile::Reading::Whole);
    status = writeMean(s, file, output, o.divisions, mean, hooks, options, {&kept}, &outputs);
    if (status.ok() && figure)
        status = drawFigure(s, file, kept, mean, options.confidence, o, *figure);
    if (!status.ok())
        return fail(status);
    status = outputs.commit();
    if (!status.ok())
        return fail(Status::failure(status.code(), failureText(status.message(), status.code()),
                                    status.subject()));
    return 0;
}

// One line naming the problem and where to read more; exit status 2.
int usageError(const UsageError &error) {
    std::cerr << "mergon-batch: " << error.message << "\n"
              << "Try 'mergon-batch --help' for more information.\n";
    return 2;
}

} // namespace

int main(int argc, char **argv) {
    Options options;
    try {
        options = parse(argc, argv);
    } catch (const UsageError &error) {
        return usageError(error);
    }
    if (options.help) {
        std::cout << kHelp;
        return 0;
    }
    if (options.version) {
        std::cout << "mergon-batch " MERGON_VERSION "\n";
        return 0;
    }
    return run(options);
}
