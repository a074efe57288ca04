#include "engine/tables.h"

#include "engine/number_text.h"
#include "engine/parallel.h"
#include "engine/statistics.h"

#include <algorithm>
#include <vector>

namespace mergon {

namespace {

// Lines are made in pieces of this many rows (about 50 KB of text), a round of pieces at a time
// on up to `jobs` threads, and go to the file in order once their round is made. Each piece
// keeps its text's room for the next round.
constexpr std::size_t kPieceRows = 1024;
constexpr int kPiecesPerJob = 4;

Status writeRows(TextFile &file, std::size_t rowCount,
                 const std::function<void(std::string &, std::size_t)> &appendLine, int jobs) {
    const std::size_t pieceCount = (rowCount + kPieceRows - 1) / kPieceRows;
    std::vector<std::string> pieces(
        std::min(pieceCount, static_cast<std::size_t>(kPiecesPerJob * std::max(jobs, 1))));
    for (std::size_t first = 0; first < pieceCount; first += pieces.size()) {
        const std::size_t round = std::min(pieces.size(), pieceCount - first);
        forEachItem(round, jobs, [&](std::size_t k, int) {
            std::string &text = pieces[k];
            text.clear();
            const std::size_t from = (first + k) * kPieceRows;
            for (std::size_t row = from; row < std::min(rowCount, from + kPieceRows); ++row) {
                appendLine(text, row);
                text += "\r\n";
            }
        });
        for (std::size_t k = 0; k < round; ++k)
            if (Status status = file.writeText(pieces[k]); !status.ok())
                return status;
    }
    return Status::success();
}

} // namespace

Status writeTable(TextFile &file, ReplacedFile &output, std::string_view header,
                  std::size_t rowCount,
                  const std::function<void(std::string &, std::size_t)> &appendLine, int jobs) {
    Status status = file.openForWriting(output);
    if (status.ok())
        status = file.writeLine(header);
    if (status.ok())
        status = writeRows(file, rowCount, appendLine, jobs);
    if (status.ok())
        status = file.close();
    if (!status.ok())
        file.closeAll();
    return status;
}

Status writeOutputFile(TextFile &file, ReplacedFile &output, const MeanCurve &curve, int jobs) {
    Status status = writeTable(
        file, output, kOutputHeader, curve.x.size(),
        [&](std::string &text, size_t j) {
            appendOutputLine(text, static_cast<int64_t>(j) + 1, curve.x[j], curve.y[j]);
        },
        jobs);
    if (!status.ok())
        return namingFile(status, output.path(), "Could not write the output file");
    return status;
}

Status writeStatisticsFile(TextFile &file, ReplacedFile &output, const MeanCurve &curve,
                           bool withInterval, int jobs) {
    const std::string header =
        std::string(kStatisticsHeader) + std::string(withInterval ? kIntervalHeader : "");
    return writeTable(
        file, output, header, curve.statistics.size(),
        [&](std::string &text, size_t j) {
            appendStatisticsLine(text, static_cast<int64_t>(j) + 1, curve.x[j], curve.y[j],
                                 curve.statistics[j], withInterval);
        },
        jobs);
}

} // namespace mergon
