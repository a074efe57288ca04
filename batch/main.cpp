// mergon-batch: averages input curves from the command line exactly as the window does, with
// the same passes, the same grid and the same output file; optionally renders the graph.

#include "curve_drawing.h"
#include "engine/averaging.h"
#include "engine/input_files.h"
#include "engine/messages.h"
#include "engine/setting_value.h"
#include "panel_canvas.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <string>
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
    "characters replaced by \"mrg\".\n";

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

bool parsePlotSize(const std::string &text, int &width, int &height) {
    unsigned w = 0, h = 0;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%ux%u%c", &w, &h, &tail) != 2 || w < 1 || h < 1 || w > 10000 ||
        h > 10000)
        return false;
    width = static_cast<int>(w);
    height = static_cast<int>(h);
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

int fail(const std::string &file, const std::string &text) {
    std::cerr << "mergon-batch: " << file << ": " << text << "\n";
    return 1;
}

int run(const Options &o) {
    Session s;
    TextFile file;
    std::vector<Row> rows;
    for (const InputFile &input : o.files) {
        s.fileCount = static_cast<int16_t>(s.fileCount + 1);
        const int k = s.fileCount;
        s.chosenFileName = fullPath(input.path);
        if (k == 1)
            s.outputFileName = derivedOutputName(s.chosenFileName);
        s.fileNames[k] = s.chosenFileName;
        Status status = storeSettings(s, k, input.settings);
        if (status.ok())
            status = measureAndRead(s, file, k, rows);
        if (!status.ok()) {
            file.closeAll();
            return fail(s.fileNames[k], additionFailureText(status.code()));
        }
        if (o.verbose)
            std::cout << s.fileNames[k] << ": " << s.lineCount[k] << " lines, "
                      << s.fieldsPerLine[k] << " fields per line, x from " << s.fileXMin[k]
                      << " to " << s.fileXMax[k] << "\n";
    }

    if (o.output)
        s.outputFileName = *o.output;
    Status status = probeOutput(file, s.outputFileName);
    if (!status.ok()) {
        file.closeAll();
        return fail(s.outputFileName, probeFailureText(status.code()));
    }
    narrowCommonRange(s);
    status = prepareGrid(s, o.divisions);
    if (!status.ok())
        return fail(s.outputFileName, status.message());
    if (o.verbose)
        std::cout << "common range " << s.commonXMin << " to " << s.commonXMax << ", "
                  << s.divisionCount << " divisions, step " << s.xStep << "\n";

    MeanCurve mean;
    status = computeMeanCurve(file, s, mean);
    if (!status.ok()) {
        file.closeAll();
        return fail(s.chosenFileName, failureText(status.message(), status.code()));
    }
    status = writeOutputFile(file, s.outputFileName, mean);
    if (!status.ok()) {
        file.closeAll();
        return fail(s.outputFileName, failureText(status.message(), status.code()));
    }

    if (o.plot) {
        PanelCanvas canvas(QSize(o.plotWidth, o.plotHeight));
        status = redrawInputCurves(s, file, canvas, {});
        if (!status.ok()) {
            file.closeAll();
            return fail(s.chosenFileName, additionFailureText(status.code()));
        }
        drawMeanCurve(mean, canvas, {});
        if (!canvas.image().save(QString::fromStdString(*o.plot), "PNG"))
            return fail(*o.plot, "the picture could not be written");
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
