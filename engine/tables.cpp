#include "engine/tables.h"

#include "engine/number_text.h"
#include "engine/parallel.h"
#include "engine/statistics.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace mergon {

namespace {

// Lines are made in pieces of this many rows (about 50 KB of text) on up to `jobs` threads. A
// piece goes to the file as soon as it and every piece before it are made, so that the writing
// overlaps the making; at most kPiecesPerJob pieces a thread wait to be written, each keeping
// its text's room for a later piece.
constexpr std::size_t kPieceRows = 1024;
constexpr std::size_t kPiecesPerJob = 4;

Status writeRows(TextFile &file, std::size_t rowCount,
                 const std::function<void(std::string &, std::size_t)> &appendLine, int jobs) {
    struct Piece {
        std::string text;
        bool made = false;
    };
    const std::size_t pieceCount = (rowCount + kPieceRows - 1) / kPieceRows;
    std::vector<Piece> ring(
        std::min(pieceCount, kPiecesPerJob * static_cast<std::size_t>(std::max(jobs, 1))));
    std::mutex mutex;
    std::condition_variable written;
    std::size_t writtenCount = 0; // pieces written, in order
    bool writing = false;         // a thread is writing a piece
    Status status;
    // The pool hands the pieces out in order, so the next piece to write is always being made
    // by a thread that does not wait: the waits below end.
    forEachItem(pieceCount, jobs, [&](std::size_t k, int) {
        Piece &piece = ring[k % ring.size()];
        {
            std::unique_lock lock(mutex);
            written.wait(lock, [&] { return k < writtenCount + ring.size() || !status.ok(); });
            if (!status.ok())
                return;
        }
        piece.text.clear();
        for (std::size_t row = k * kPieceRows; row < std::min(rowCount, (k + 1) * kPieceRows);
             ++row) {
            appendLine(piece.text, row);
            piece.text += "\r\n";
        }
        std::unique_lock lock(mutex);
        piece.made = true;
        // Whoever finds the next piece made, while nobody writes, writes it and those made
        // after it.
        while (!writing && status.ok() && writtenCount < pieceCount &&
               ring[writtenCount % ring.size()].made) {
            Piece &next = ring[writtenCount % ring.size()];
            writing = true;
            lock.unlock();
            Status wrote = file.writeText(next.text);
            lock.lock();
            writing = false;
            next.made = false;
            ++writtenCount;
            if (!wrote.ok())
                status = std::move(wrote);
            written.notify_all();
        }
    });
    return status;
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
