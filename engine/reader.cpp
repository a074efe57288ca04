#include "engine/reader.h"

#include "engine/mapped_pages.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>

namespace mergon {

namespace {

// fields / lines as a real division, rounded to the nearest integer with halves to even.
std::int64_t roundedQuotient(std::int64_t fields, std::int64_t lines) {
    const std::int64_t quotient = fields / lines;
    const std::int64_t twiceRest = 2 * (fields % lines);
    if (twiceRest > lines || (twiceRest == lines && quotient % 2 != 0))
        return quotient + 1;
    return quotient;
}

Status tooManyLines(int32_t maxCount, const std::string &path) {
    return Status::failure(kTooLarge,
                           "More than " + std::to_string(maxCount) + " data lines in " + path)
        .withDetail("more than " + std::to_string(maxCount) + " data lines");
}

Status fail(TextFile &file, Status status) {
    file.closeAll();
    return status;
}

Status skipHeader(TextFile &file, int skipLines) {
    for (int i = 0; i < skipLines; ++i) {
        Status status = file.skipLine();
        if (status.code() == kPastEnd)
            return std::move(status).withDetail("line " + std::to_string(file.lineOfLastRead()) +
                                                ": the file ends within its " +
                                                std::to_string(skipLines) + " header lines");
        if (!status.ok())
            return status;
    }
    return Status::success();
}

std::string place(int row, int column) {
    return " in column " + std::to_string(column) + " of row " + std::to_string(row);
}

// The item that starts at `offset` of the file, as a failure shows it: up to the separator or
// the line end (a quoted item to its closing quote), cut short when long, control bytes
// written as \xNN.
std::string itemText(const std::string &path, std::int64_t offset, const ReadingRules &rules) {
    constexpr std::size_t kShown = 40;
    std::string raw(kShown + 1, '\0');
    std::FILE *in = offset >= 0 ? std::fopen(path.c_str(), "rb") : nullptr;
    if (!in)
        return {};
    std::size_t size = 0;
    if (fseeko(in, static_cast<off_t>(offset), SEEK_SET) == 0)
        size = std::fread(raw.data(), 1, raw.size(), in);
    std::fclose(in);
    raw.resize(size);
    std::size_t end = 0;
    if (!raw.empty() && raw[0] == '"') {
        end = std::min(raw.find('"', 1), raw.find_first_of("\r\n"));
        end = end == std::string::npos ? raw.size() : raw[end] == '"' ? end + 1 : end;
    } else {
        end = std::min(raw.find_first_of(std::string("\r\n") + rules.separator), raw.size());
        while (end > 0 && (raw[end - 1] == ' ' || raw[end - 1] == '\t'))
            --end;
    }
    const bool cut = end > kShown;
    std::string text;
    for (const char c : raw.substr(0, std::min(end, kShown))) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            text += escaped;
        } else {
            text += c;
        }
    }
    return cut ? text + "..." : text;
}

// Where a row's field could not be read, in plain words.
std::string fieldDetail(const std::string &path, const Field &field, int column,
                        const ReadingRules &rules) {
    const std::string where =
        "line " + std::to_string(field.line) + ", column " + std::to_string(column) + ": ";
    // A quoted item shows in its own quotes.
    std::string text = itemText(path, field.offset, rules);
    if (!text.starts_with('"'))
        text = "\"" + text + "\"";
    return where + text +
           (field.kind == Field::Kind::TooLarge ? " is beyond the range of double precision"
                                                : " is not a number");
}

// Room for the numbers of the plain lines taken at a time.
constexpr std::size_t kPlainRoom = 4096;

// Makes rows from the plain numbers of their fields as the field-by-field loop makes them: the
// x and y columns converted in column order, the rest left as they are. What depends only on
// the settings is settled once per file, not once per row.
class PlainRows {
  public:
    explicit PlainRows(const CurveSettings &settings)
        : hasX_(settings.xColumn >= 1 && settings.xColumn <= settings.fieldsPerLine),
          hasY_(settings.yColumn >= 1 && settings.yColumn <= settings.fieldsPerLine),
          // The 32-bit factors are widened first.
          xCoefficient_(settings.xCoefficient), yCoefficient_(settings.yCoefficient),
          yWeight_(settings.yWeight) {
        // The lower column first, so that a failure names the one met first.
        const bool xFirst = !hasY_ || (hasX_ && settings.xColumn <= settings.yColumn);
        first_ = xFirst ? (hasX_ ? settings.xColumn : 0) : settings.yColumn;
        second_ = xFirst ? (hasY_ ? settings.yColumn : 0) : (hasX_ ? settings.xColumn : 0);
        firstIsX_ = xFirst;
    }

    // x and y of the row whose fields are `fields`. On a number beyond the range of a double,
    // `bad` gets its column and the kind is returned.
    Field::Kind make(const PlainNumber *fields, Row &row, int &bad) const {
        double values[2] = {0, 0};
        for (const int k : {0, 1}) {
            const int column = k == 0 ? first_ : second_;
            if (column == 0)
                continue;
            const Field::Kind kind = fields[column - 1].convert(values[k]);
            if (kind != Field::Kind::Number) {
                bad = column;
                return kind;
            }
        }
        const double x = firstIsX_ ? values[0] : values[1];
        const double y = firstIsX_ ? values[1] : values[0];
        // y is scaled, then weighted.
        if (hasX_)
            row.x = x * xCoefficient_;
        if (hasY_)
            row.y = (y * yCoefficient_) * yWeight_;
        return Field::Kind::Number;
    }

  private:
    bool hasX_, hasY_, firstIsX_ = true;
    int first_ = 0, second_ = 0; // the columns converted, in order; 0 for none
    double xCoefficient_, yCoefficient_, yWeight_;
};

} // namespace

Status measureFile(TextFile &file, const std::string &path, int skipLines, FileMeasure &out,
                   int32_t maxCount) {
    out = FileMeasure{};
    Status status = file.openForReading(path);
    if (!status.ok())
        return status;
    status = skipHeader(file, skipLines);
    if (!status.ok())
        return fail(file, status);
    if (file.atEnd()) {
        status = file.close();
        return status.ok()
                   ? Status::failure(kPastEnd, "No data after the header of " + path)
                         .withDetail(skipLines > 0 ? "nothing follows the " +
                                                         std::to_string(skipLines) + " header lines"
                                                   : "the file holds no data")
                   : status;
    }

    // Every field read moves over the line ends after it, so the lines are counted on the way:
    // the line ends read, plus a last line without one.
    const std::int64_t firstLineEnd = file.lineEndsRead();
    std::int64_t fields = 0;
    Field field;
    do {
        std::int64_t plainFields = 0;
        const std::int64_t counted = file.lineEndsRead() - firstLineEnd;
        if (file.skipPlainLines(std::int64_t{maxCount} + 1 - counted, plainFields) > 0) {
            fields += plainFields;
        } else {
            status = file.readField(field, false);
            if (!status.ok())
                return fail(file, status);
            ++fields;
        }
        if (file.lineEndsRead() - firstLineEnd > maxCount)
            return fail(file, tooManyLines(maxCount, path));
    } while (!file.atEnd());
    const std::int64_t lines = file.lineEndsRead() - firstLineEnd + (file.atLineStart() ? 0 : 1);
    status = file.close();
    if (!status.ok())
        return status;
    if (lines > maxCount)
        return tooManyLines(maxCount, path);

    out.lineCount = static_cast<int32_t>(lines);
    out.fieldCount = fields;
    const std::int64_t perLine = roundedQuotient(fields, lines);
    if (perLine > maxCount)
        return Status::failure(kTooLarge, "More than " + std::to_string(maxCount) +
                                              " fields per line in " + path)
            .withDetail("more than " + std::to_string(maxCount) + " fields per line");
    out.fieldsPerLine = static_cast<int32_t>(perLine);
    return Status::success();
}

Status measureFile(TextFile &file, const std::string &path, int skipLines,
                   const ReadingRules &rules, FileMeasure &out, int32_t maxCount) {
    file.setRules(rules);
    return measureFile(file, path, skipLines, out, maxCount);
}

bool measureAndReadPlain(TextFile &file, const CurveSettings &settings, FileMeasure &out,
                         Rows &rows, int32_t maxCount) {
    out = FileMeasure{};
    rows.assign(1, Row{});
    const auto giveUp = [&] {
        file.closeAll();
        return false;
    };
    file.setRules(settings.rules);
    // One pass: through the fixed buffer. Two passes, when they are needed, read it whole.
    if (!settings.rules.isDefault() ||
        !file.openForReading(settings.path, TextFile::Reading::Streamed).ok() ||
        !skipHeader(file, settings.skipLines).ok())
        return giveUp();

    const std::int64_t firstLineEnd = file.lineEndsRead();
    const std::int64_t dataStart = file.readOffset();
    CurveSettings cut = settings; // fieldsPerLine as the first lines give it
    std::vector<PlainNumber> plain(kPlainRoom);
    std::int64_t fields = 0;
    std::optional<PlainRows> plainRows;
    for (int count; (count = file.readPlainNumbers(plain)) > 0;) {
        if (fields == 0) {
            const std::int64_t lines = file.lineEndsRead() - firstLineEnd;
            cut.fieldsPerLine = static_cast<int>(roundedQuotient(count, lines));
            // Room for as many rows as the rest of the file holds at the first lines' length.
            const std::int64_t bytes = file.readOffset() - dataStart;
            const std::int64_t size = file.sizeAtOpen();
            if (size > 0 && bytes > 0)
                rows.reserve(
                    static_cast<std::size_t>((size - dataStart) / bytes * lines + lines + 2));
            mapInPages(rows.data() + rows.size(), (rows.capacity() - rows.size()) * sizeof(Row));
            plainRows.emplace(cut);
        }
        fields += count;
        const int perLine = cut.fieldsPerLine;
        // A row cut by the end of the numbers at hand is left to the two passes.
        if (perLine <= 0 || count % perLine != 0)
            return giveUp();
        for (int k = 0; k < count; k += perLine) {
            Row row;
            int bad = 0;
            if (plainRows->make(plain.data() + k, row, bad) != Field::Kind::Number)
                return giveUp();
            rows.push_back(row);
        }
    }
    const std::int64_t lines = file.lineEndsRead() - firstLineEnd;
    if (lines <= 0 || lines > maxCount || !file.atEnd() || !file.close().ok())
        return giveUp();
    // The rows readCurve cuts at these counts: the first `lines` rows of fieldsPerLine numbers.
    const std::int64_t perLine = roundedQuotient(fields, lines);
    if (perLine != cut.fieldsPerLine || perLine > maxCount ||
        static_cast<std::int64_t>(rows.size()) - 1 < lines)
        return giveUp();
    rows.resize(static_cast<std::size_t>(lines) + 1);
    out.lineCount = static_cast<int32_t>(lines);
    out.fieldsPerLine = static_cast<int32_t>(perLine);
    out.fieldCount = fields;
    return true;
}

Status readCurve(TextFile &file, const CurveSettings &settings, Rows &rows,
                 const RowCallback &onRow, int32_t maxCount) {
    const int lineCount = std::max(settings.lineCount, 0);
    rows.assign(1, Row{});
    if (lineCount > maxCount || settings.fieldsPerLine > maxCount)
        return Status::failure(kTooLarge,
                               "Counts above " + std::to_string(maxCount) + " for " + settings.path)
            .withDetail("more than " + std::to_string(maxCount) + " data lines or fields per line");
    rows.reserve(static_cast<std::size_t>(lineCount) + 1);
    file.setRules(settings.rules);
    Status status = file.openForReading(settings.path);
    if (!status.ok())
        return status;
    status = skipHeader(file, settings.skipLines);
    if (!status.ok())
        return fail(file, status);

    // The 32-bit factors are widened first; y is scaled, then weighted.
    const double xCoefficient = settings.xCoefficient;
    const double yCoefficient = settings.yCoefficient;
    const double yWeight = settings.yWeight;
    Field field;
    // Plain lines are taken many at a time; their numbers are converted only in the x and y
    // columns.
    std::vector<PlainNumber> plain(kPlainRoom);
    int plainCount = 0, nextPlain = 0;
    const int perLine = settings.fieldsPerLine;
    const PlainRows plainRows(settings);
    const auto failAt = [&](Field::Kind kind, int i, int j) {
        return kind == Field::Kind::NonNumeric
                   ? fail(file, Status::failure(kNonNumeric, "Non-numeric field" + place(i, j) +
                                                                 " of " + settings.path))
                   : fail(file, Status::failure(kTooLarge, "Number too large" + place(i, j) +
                                                               " of " + settings.path)
                                    .withDetail("row " + std::to_string(i) + ", column " +
                                                std::to_string(j) +
                                                ": a number beyond the range of double "
                                                "precision"));
    };
    for (int line = 0; line < lineCount; ++line) { // counted so as to stop at INT_MAX lines
        const int i = line + 1;
        Row row;
        bool missing = false; // the row lacks its x or y: it is left out
        if (perLine > 0 && plainCount - nextPlain >= perLine) {
            // The usual row: all its fields among the plain numbers at hand.
            const PlainNumber *fields = plain.data() + nextPlain;
            nextPlain += perLine;
            int bad = 0;
            const Field::Kind kind = plainRows.make(fields, row, bad);
            if (bad != 0)
                return failAt(kind, i, bad);
        } else {
            for (int j = 1; j <= perLine; ++j) {
                const bool isX = j == settings.xColumn;
                const bool isY = j == settings.yColumn;
                if (nextPlain == plainCount) {
                    nextPlain = 0;
                    plainCount = file.readPlainNumbers(plain);
                }
                if (nextPlain < plainCount) {
                    const PlainNumber &number = plain[static_cast<std::size_t>(nextPlain++)];
                    if (!isX && !isY)
                        continue;
                    field.kind = number.convert(field.value);
                } else {
                    status = file.readField(field, isX || isY);
                    if (status.code() == kPastEnd)
                        status = std::move(status).withDetail(
                            "line " + std::to_string(file.lineOfLastRead()) +
                            ": the file ends after " + std::to_string(j - 1) + " of " +
                            std::to_string(perLine) + " fields");
                    if (!status.ok())
                        return fail(file, status);
                    if (!isX && !isY)
                        continue;
                    if (field.kind == Field::Kind::NonNumeric) {
                        Status nonNumeric = failAt(field.kind, i, j);
                        return std::move(nonNumeric)
                            .withDetail(fieldDetail(settings.path, field, j, settings.rules));
                    }
                }
                if (field.kind == Field::Kind::Missing) {
                    missing = true;
                    continue;
                }
                if (field.kind == Field::Kind::NonNumeric || field.kind == Field::Kind::TooLarge)
                    return failAt(field.kind, i, j);
                if (isX)
                    row.x = field.value * xCoefficient;
                if (isY)
                    row.y = (field.value * yCoefficient) * yWeight;
            }
        }
        if (missing)
            continue;
        rows.push_back(row);
        if (onRow) {
            if (Status stop = onRow(static_cast<int>(rows.size()) - 1, row); !stop.ok())
                return fail(file, std::move(stop));
        }
    }
    if (lineCount > 0 && rows.size() == 1)
        return fail(file, Status::failure(kNonNumeric, "No row of " + settings.path +
                                                           " has both its x and its y value")
                              .withDetail("no data row has both its x and its y value"));
    return file.close();
}

} // namespace mergon
