#include "engine/tables.h"

#include "engine/number_text.h"
#include "engine/statistics.h"

namespace mergon {

namespace {

// Lines go to the file in blocks of this size or a line more.
constexpr std::size_t kBlock = 64 * 1024;

Status writeRows(TextFile &file, std::size_t rowCount,
                 const std::function<void(std::string &, std::size_t)> &appendLine) {
    std::string block;
    block.reserve(kBlock + 256);
    for (std::size_t row = 0; row < rowCount; ++row) {
        appendLine(block, row);
        block += "\r\n";
        if (block.size() >= kBlock || row + 1 == rowCount) {
            if (Status status = file.writeText(block); !status.ok())
                return status;
            block.clear();
        }
    }
    return Status::success();
}

} // namespace

Status writeTable(TextFile &file, ReplacedFile &output, std::string_view header,
                  std::size_t rowCount,
                  const std::function<void(std::string &, std::size_t)> &appendLine) {
    Status status = file.openForWriting(output);
    if (status.ok())
        status = file.writeLine(header);
    if (status.ok())
        status = writeRows(file, rowCount, appendLine);
    if (status.ok())
        status = file.close();
    if (!status.ok())
        file.closeAll();
    return status;
}

Status writeOutputFile(TextFile &file, ReplacedFile &output, const MeanCurve &curve) {
    Status status =
        writeTable(file, output, kOutputHeader, curve.x.size(), [&](std::string &text, size_t j) {
            appendOutputLine(text, static_cast<int64_t>(j) + 1, curve.x[j], curve.y[j]);
        });
    if (!status.ok())
        return namingFile(status, output.path(), "Could not write the output file");
    return status;
}

Status writeStatisticsFile(TextFile &file, ReplacedFile &output, const MeanCurve &curve,
                           bool withInterval) {
    const std::string header =
        std::string(kStatisticsHeader) + std::string(withInterval ? kIntervalHeader : "");
    return writeTable(file, output, header, curve.statistics.size(),
                      [&](std::string &text, size_t j) {
                          appendStatisticsLine(text, static_cast<int64_t>(j) + 1, curve.x[j],
                                               curve.y[j], curve.statistics[j], withInterval);
                      });
}

} // namespace mergon
