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
    session.fileCount = static_cast<int16_t>(session.fileCount + 1);
    return session.fileCount;
}

void giveBackSlot(Session &session) {
    if (session.fileCount > 0)
        session.fileCount = static_cast<int16_t>(session.fileCount - 1);
    session.chosenFileName.clear();
}

Status additionFailure(const Status &status, const std::string &path) {
    return Status::failure(status.code(), additionFailureText(status.code()), path)
        .withDetail(status.detail());
}

Status addInputFile(Session &s, TextFile &file, const std::string &path, const SettingTexts &texts,
                    std::vector<Row> &rows) {
    const int k = s.fileCount;
    s.chosenFileName = path;
    if (k == 1)
        s.outputFileName = derivedOutputName(path);
    s.fileNames[static_cast<size_t>(k)] = path;
    Status status = storeSettings(s, k, texts);
    if (status.ok())
        status = findNamedColumns(s, file, k, texts);
    if (status.code() == kInvalidArgument) { // a column name: the message says what is wrong
        file.closeAll();
        return Status::failure(status.code(), status.message(), path);
    }
    if (status.ok())
        status = measureAndRead(s, file, k, rows, texts.columnsInFile);
    if (!status.ok()) {
        file.closeAll();
        return additionFailure(status, path);
    }
    return status;
}

bool isInputFile(const Session &s, const std::string &path) {
    for (int i = 1; i <= s.fileCount; ++i)
        if (sameFile(path, s.fileNames[static_cast<size_t>(i)]))
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
