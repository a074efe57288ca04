#include "engine/commands.h"

#include "engine/messages.h"

#include <filesystem>

namespace mergon {

namespace {

Status failed(TextFile &file, int code, std::string text, std::string subject) {
    file.closeAll();
    return Status::failure(code, std::move(text), std::move(subject));
}

bool sameFile(const std::string &a, const std::string &b) {
    namespace fs = std::filesystem;
    std::error_code error;
    if (fs::equivalent(a, b, error))
        return true;
    // Neither may exist yet: compare the paths as the file system would resolve them.
    const fs::path left = fs::weakly_canonical(fs::absolute(a, error), error);
    if (error)
        return false;
    const fs::path right = fs::weakly_canonical(fs::absolute(b, error), error);
    return !error && left == right;
}

} // namespace

int takeNextSlot(Session &session) {
    session.curves.emplace_back();
    return session.fileCount();
}

void giveBackSlot(Session &session) {
    if (!session.curves.empty())
        session.curves.pop_back();
    session.chosenFileName.clear();
}

Status additionFailure(const Status &status, const std::string &path) {
    return Status::failure(status.code(), additionFailureText(status.code()), path);
}

Status addInputFile(Session &s, TextFile &file, const std::string &path, const SettingTexts &texts,
                    std::vector<Row> &rows, const Limits &limits) {
    if (s.curves.empty())
        return failed(file, kInvalidArgument,
                      failureText("No slot was taken for the file.", kInvalidArgument), path);
    if (s.fileCount() > limits.maxFiles) {
        giveBackSlot(s);
        return failed(file, kTooLarge,
                      failureText("No more than " + std::to_string(limits.maxFiles) +
                                      " input files can be loaded.",
                                  kTooLarge),
                      path);
    }
    Curve &curve = s.curves.back();
    s.chosenFileName = path;
    if (s.fileCount() == 1)
        s.outputFileName = derivedOutputName(path);
    curve.fileName = path;
    Status status = storeSettings(curve, texts, limits);
    if (status.ok())
        status = findNamedColumns(curve, file, texts, limits);
    if (status.code() == kInvalidArgument) { // a column name: the message says what is wrong
        file.closeAll();
        return Status::failure(status.code(), status.message(), path);
    }
    if (status.ok())
        status = measureAndRead(s, curve, file, rows, limits);
    if (!status.ok()) {
        file.closeAll();
        return additionFailure(status, path);
    }
    return status;
}

bool isInputFile(const Session &s, const std::string &path) {
    for (const Curve &curve : s.curves)
        if (sameFile(path, curve.fileName))
            return true;
    return false;
}

Status writeMean(Session &s, TextFile &file, const std::string &outputName,
                 std::string_view divisionText, MeanCurve &mean, const WriteHooks &hooks,
                 const MeanOptions &options, const MeanSource &source) {
    s.outputFileName = outputName;
    if (isInputFile(s, outputName))
        return failed(file, kOutputFailed, outputIsInputText(kOutputFailed), outputName);
    const std::string &statisticsPath = options.statisticsPath;
    if (!statisticsPath.empty() &&
        (isInputFile(s, statisticsPath) || sameFile(statisticsPath, outputName)))
        return failed(file, kOutputFailed, statisticsOverwriteText(kOutputFailed), statisticsPath);
    Status status = probeOutput(file, outputName);
    if (!status.ok())
        return failed(file, status.code(), probeFailureText(status.code()), outputName);

    narrowCommonRange(s);
    status = prepareGridOver(s, options, divisionText);
    if (!status.ok())
        return failed(file, status.code(), failureText(status.message(), status.code()), {});

    MeanOptions computing = options;
    computing.statistics = options.statistics || !statisticsPath.empty();
    status = source.way
                 ? source.way(file, s, mean)
                 : computeMeanCurve(file, s, mean, hooks.afterFile, computing, source.keptRows);
    if (!status.ok())
        return failed(file, status.code(), failureText(status.message(), status.code()),
                      status.subject());
    if (hooks.beforeWriting)
        hooks.beforeWriting(mean);

    status = writeOutputFile(file, outputName, mean);
    if (!status.ok())
        return failed(file, status.code(), failureText(status.message(), status.code()),
                      outputName);
    if (!statisticsPath.empty())
        status = writeStatisticsFile(file, statisticsPath, mean, options.intervalInTable);
    if (!status.ok())
        return failed(file, status.code(), failureText(status.message(), status.code()),
                      statisticsPath);
    return status;
}

} // namespace mergon
