#include "engine/commands.h"

#include "engine/messages.h"
#include "engine/tables.h"

#include <filesystem>

namespace mergon {

namespace {

Status failed(TextFile &file, int code, std::string text, std::string subject) {
    file.closeAll();
    return Status::failure(code, std::move(text), std::move(subject));
}

} // namespace

bool namesSameFile(const std::string &a, const std::string &b) {
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
    return Status::failure(status.code(), additionFailureText(status.code()), path)
        .withDetail(status.detail());
}

Status addInputFile(Session &s, TextFile &file, const std::string &path, const SettingTexts &texts,
                    Rows &rows, const Limits &limits) {
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
        status = measureAndRead(s, curve, file, rows, limits, texts.columnsInFile);
    if (!status.ok()) {
        file.closeAll();
        return additionFailure(status, path);
    }
    return status;
}

bool isInputFile(const Session &s, const std::string &path) {
    for (const Curve &curve : s.curves)
        if (namesSameFile(path, curve.fileName))
            return true;
    return false;
}

namespace {

// The refusal of a statistics table that would be written over an input or the output.
Status statisticsPathRefusal(const Session &s, TextFile &file, const std::string &path,
                             const std::string &outputName) {
    if (isInputFile(s, path) || namesSameFile(path, outputName))
        return failed(file, kOutputFailed, statisticsOverwriteText(kOutputFailed), path);
    return Status::success();
}

} // namespace

Status computeMean(Session &s, TextFile &file, std::string_view divisionText, MeanCurve &mean,
                   const std::function<void()> &afterFile, const MeanOptions &options,
                   const MeanSource &source) {
    narrowCommonRange(s);
    Status status = prepareGridOver(s, options, divisionText);
    if (!status.ok())
        return failed(file, status.code(), failureText(status.message(), status.code()), {});

    MeanOptions computing = options;
    computing.statistics = options.statistics || !options.statisticsPath.empty();
    status = source.way ? source.way(file, s, mean)
                        : computeMeanCurve(file, s, mean, afterFile, computing, source.keptRows);
    if (!status.ok())
        return failed(file, status.code(), failureText(status.message(), status.code()),
                      status.subject());
    return status;
}

Status readAllRows(const Session &s, TextFile &file, RowsBySlot &rows) {
    rows.assign(s.curves.size(), {});
    for (size_t i = 0; i < s.curves.size(); ++i) {
        Status status = readCurve(file, curveSettings(s.curves[i]), rows[i]);
        if (!status.ok()) {
            file.closeAll();
            return additionFailure(status, s.curves[i].fileName);
        }
    }
    return Status::success();
}

Status writeStatistics(const Session &s, TextFile &file, const std::string &path,
                       const std::string &outputName, const MeanCurve &mean, bool withInterval) {
    if (Status refusal = statisticsPathRefusal(s, file, path, outputName); !refusal.ok())
        return refusal;
    ReplacedFile output;
    Status status = output.prepare(path);
    if (!status.ok())
        return failed(file, status.code(), probeFailureText(status.code()), path);
    status = writeStatisticsFile(file, output, mean, withInterval);
    if (status.ok())
        status = output.commit();
    if (!status.ok())
        return failed(file, status.code(), failureText(status.message(), status.code()), path);
    return status;
}

Status writeMean(Session &s, TextFile &file, const std::string &outputName,
                 std::string_view divisionText, MeanCurve &mean, const WriteHooks &hooks,
                 const MeanOptions &options, const MeanSource &source, PendingOutputs *deferred) {
    s.outputFileName = outputName;
    if (isInputFile(s, outputName))
        return failed(file, kOutputFailed, outputIsInputText(kOutputFailed), outputName);
    const std::string &statisticsPath = options.statisticsPath;
    if (!statisticsPath.empty())
        if (Status refusal = statisticsPathRefusal(s, file, statisticsPath, outputName);
            !refusal.ok())
            return refusal;

    // Each output is checked, and gets its new file, before anything is computed.
    PendingOutputs own;
    PendingOutputs &outputs = deferred ? *deferred : own;
    Status status = outputs.add(outputName);
    if (!status.ok())
        return failed(file, status.code(), probeFailureText(status.code()), outputName);
    ReplacedFile &table = outputs.back();
    ReplacedFile *statistics = nullptr;
    if (!statisticsPath.empty()) {
        status = outputs.add(statisticsPath);
        if (!status.ok())
            return failed(file, status.code(), probeFailureText(status.code()), statisticsPath);
        statistics = &outputs.back();
    }

    status = computeMean(s, file, divisionText, mean, hooks.afterFile, options, source);
    if (!status.ok())
        return status;
    if (hooks.beforeWriting)
        hooks.beforeWriting(mean);

    status = writeOutputFile(file, table, mean, options.jobs);
    if (status.ok() && statistics) {
        status =
            writeStatisticsFile(file, *statistics, mean, options.intervalInTable, options.jobs);
        if (!status.ok())
            status = Status::failure(status.code(), status.message(), statisticsPath);
    }
    if (status.ok() && !deferred)
        status = outputs.commit();
    if (!status.ok())
        return failed(file, status.code(), failureText(status.message(), status.code()),
                      status.subject().empty() ? outputName : status.subject());
    return status;
}

} // namespace mergon
