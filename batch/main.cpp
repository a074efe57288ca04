// mergon-batch: averages input curves from the command line exactly as the window does, with
// the same passes, the same grid and the same output file; optionally renders the graph.

#include "engine/commands.h"
#include "plot/curve_drawing.h"
#include "plot/panel_canvas.h"

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
    "usage: mergon-batch [--x-column N] [--y-column N] [--x-coefficient V]\n"
    "                    [--y-coefficient V] [--skip-lines N] [--weight V] FILE ...\n"
    "                    [--divisions N] [--output PATH] [--plot PNG] [--plot-size WxH]\n"
    "                    [--verbose] [--help]\n"
    "\n"
    "Averages 2 to 10 curves on an even grid over the x range they all cover and writes\n"
    "the mean as a numbered table. The per-file options apply to the files named after\n"
    "them until given again. Defaults: x column 5, y column 6, coefficients 1, skip lines 3,\n"
    "weight 1.0, divisions 100; the output is the first file's path with its last three\n"
    "characters replaced by \"mrg\" (a file name shorter than that gets \".mrg\" added).\n";

struct InputFile {
    std::string path;
    SettingTexts settings;
};

struct Options {
    std::vector<InputFile> files;
    std::string divisions = "100";
    std::optional<std::string> output;
    std::optional<std::string> plot;
    int plotWidth = 329, plotHeight = 217; // the graph panel's size
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

// The per-file options: each sets a setting of the files named after it.
const std::map<std::string, std::string SettingTexts::*> kFileOptions = {
    {"--x-column", &SettingTexts::xColumn},
    {"--y-column", &SettingTexts::yColumn},
    {"--x-coefficient", &SettingTexts::xCoefficient},
    {"--y-coefficient", &SettingTexts::yCoefficient},
    {"--skip-lines", &SettingTexts::skipLines},
    {"--weight", &SettingTexts::yWeight},
};

Options parse(int argc, char **argv) {
    Options o;
    SettingTexts sticky;
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
        } else if (auto setting = kFileOptions.find(arg); setting != kFileOptions.end()) {
            sticky.*(setting->second) = takeValue();
        } else if (arg == "--divisions") {
            o.divisions = takeValue();
        } else if (arg == "--output") {
            o.output = takeValue();
        } else if (arg == "--plot") {
            o.plot = takeValue();
        } else if (arg == "--plot-size") {
            std::string size = takeValue();
            if (!parsePlotSize(size, o.plotWidth, o.plotHeight))
                throw UsageError{"--plot-size takes WIDTHxHEIGHT in pixels, not \"" + size + "\""};
        } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
            throw UsageError{"unknown option " + arg};
        } else {
            o.files.push_back({arg, sticky});
        }
    }
    if (o.help)
        return o;
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

// Prints a failed command's message, after the file it is about when there is one.
int fail(const Status &status) {
    std::cerr << "mergon-batch: ";
    if (!status.subject().empty())
        std::cerr << status.subject() << ": ";
    std::cerr << status.message() << "\n";
    return 1;
}

int run(const Options &o) {
    Session s;
    TextFile file;
    std::vector<Row> rows;
    for (const InputFile &input : o.files) {
        const int k = takeNextSlot(s);
        Status status = addInputFile(s, file, fullPath(input.path), input.settings, rows);
        if (!status.ok())
            return fail(status);
        if (o.verbose)
            std::cout << s.fileNames[k] << ": " << s.lineCount[k] << " lines, "
                      << s.fieldsPerLine[k] << " fields per line, x from " << s.fileXMin[k]
                      << " to " << s.fileXMax[k] << "\n";
    }

    MeanCurve mean;
    WriteHooks hooks;
    if (o.verbose)
        hooks.beforeWriting = [&s](const MeanCurve &) {
            std::cout << "common range " << s.commonXMin << " to " << s.commonXMax << ", "
                      << s.divisionCount << " divisions, step " << s.xStep << "\n";
        };
    Status status = writeMean(s, file, o.output.value_or(s.outputFileName), o.divisions, mean, hooks);
    if (!status.ok())
        return fail(status);

    if (o.plot) {
        PanelCanvas canvas(QSize(o.plotWidth, o.plotHeight));
        status = redrawInputCurves(s, file, canvas, {});
        if (!status.ok())
            return fail(additionFailure(status, status.subject()));
        drawMeanCurve(mean, canvas, {});
        if (!canvas.image().save(QString::fromStdString(*o.plot), "PNG"))
            return fail(Status::failure(kOutputFailed, "The picture could not be written.", *o.plot));
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
        std::cout << kUsage;
        return 0;
    }
    return run(options);
}
