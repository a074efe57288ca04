#include "engine/input_files.h"

#include "engine/header_names.h"
#include "engine/messages.h"
#include "engine/setting_value.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace mergon {

namespace {

bool storeCount(const std::string &text, int32_t maxCount, int32_t &field) {
    auto value = toCount(leadingNumber(text), maxCount);
    if (value)
        field = *value;
    return value.has_value();
}

bool storeFloat(const std::string &text, float &field) {
    auto value = toFloat(leadingNumber(text));
    if (value)
        field = *value;
    return value.has_value();
}

} // namespace

Status storeSettings(Curve &c, const SettingTexts &t, const Limits &limits) {
    const int32_t most = limits.maxCount;
    const char *unfit = !storeCount(t.xColumn, most, c.xColumn)       ? "x column"
                        : !storeCount(t.yColumn, most, c.yColumn)     ? "y column"
                        : !storeFloat(t.xCoefficient, c.xCoefficient) ? "x coefficient"
                        : !storeFloat(t.yCoefficient, c.yCoefficient) ? "y coefficient"
                        : !storeFloat(t.yWeight, c.yWeight)           ? "weight"
                        : !storeCount(t.skipLines, most, c.skipLines) ? "number of header lines"
                                                                      : nullptr;
    if (unfit)
        return Status::failure(kTooLarge, "a setting does not fit its field")
            .withDetail(std::string("the ") + unfit + " is out of range");
    c.readingRules = t.rules;
    return Status::success();
}

Status readHeaderNames(TextFile &file, const std::string &path, int skipLines,
                       const ReadingRules &rules, std::vector<std::string> &names) {
    names.clear();
    Status status = file.openForReading(path);
    std::string line;
    for (int i = 1; status.ok() && i < skipLines; ++i)
        status = file.skipLine();
    if (status.ok() && skipLines > 0)
        status = file.readLine(line);
    if (status.code() == kPastEnd)
        return file.close();
    if (status.ok())
        status = file.close();
    if (status.ok() && skipLines > 0)
        names = headerNames(line, rules);
    return status;
}

std::string columnName(const Curve &c, TextFile &file, int column) {
    std::vector<std::string> names;
    const Status read = readHeaderNames(file, c.fileName, c.skipLines, c.readingRules, names);
    return read.ok() && column >= 1 && static_cast<size_t>(column) <= names.size()
               ? names[static_cast<size_t>(column) - 1]
               : std::string();
}

Status findNamedColumns(Curve &c, TextFile &file, const SettingTexts &t, const Limits &limits) {
    if (t.xName.empty() && t.yName.empty())
        return Status::success();
    const std::string &path = c.fileName;
    std::vector<std::string> names;
    Status status = readHeaderNames(file, path, c.skipLines, c.readingRules, names);
    if (!status.ok())
        return status;
    const std::pair<const std::string &, int32_t &> named[] = {{t.xName, c.xColumn},
                                                               {t.yName, c.yColumn}};
    for (const auto &[name, column] : named) {
        if (name.empty())
            continue;
        const auto found = std::find(names.begin(), names.end(), name);
        const bool missing = found == names.end();
        if (missing || std::find(found + 1, names.end(), name) != names.end())
            return Status::failure(kInvalidArgument,
                                   columnNameText(name, path, missing, kInvalidArgument));
        const auto number =
            toCount(static_cast<double>(found - names.begin() + 1), limits.maxCount);
        if (!number)
            return Status::failure(kTooLarge, "a named column does not fit its field");
        column = *number;
    }
    return Status::success();
}

namespace {

// The first of the x and y columns that lies outside the fields of the curve's data lines.
Status columnsWithinFields(const Curve &c) {
    for (const int column : {c.xColumn, c.yColumn})
        if (column < 1 || column > c.fieldsPerLine)
            return Status::failure(kInvalidArgument,
                                   "Column " + std::to_string(column) + " is not in " + c.fileName)
                .withDetail("column " + std::to_string(column) + " is not in " + c.fileName +
                            ": its first data line has " + std::to_string(c.fieldsPerLine) +
                            " fields");
    return Status::success();
}

} // namespace

Status measureAndRead(Session &s, Curve &c, TextFile &file, Rows &rows, const Limits &limits,
                      bool columnsInFile) {
    FileMeasure measure;
    // A file read whole is counted and read in one sweep where it can be.
    const bool readInOne = file.readsWhole() && measureAndReadPlain(file, curveSettings(c), measure,
                                                                    rows, limits.maxCount);
    Status status = readInOne ? Status::success()
                              : measureFile(file, c.fileName, c.skipLines, c.readingRules, measure,
                                            limits.maxCount);
    if (measure.lineCount > 0)
        c.lineCount = measure.lineCount;
    if (!status.ok())
        return status;
    c.fieldsPerLine = measure.fieldsPerLine;

    // The ranges the rows widen, held apart while the rows come and stored when they end.
    struct {
        float plotXMax, plotYMax, plotXMin, plotYMin, fileXMax, fileXMin;
    } r{s.plotXMax, s.plotYMax, s.plotXMin, s.plotYMin, c.fileXMax, c.fileXMin};
    // Widens the ranges by a row; a value beyond their range (they are floats) widens none.
    const auto widenBy = [&r](const Row &row) {
        const float x = narrowToFloat(row.x), y = narrowToFloat(row.y);
        if (!std::isfinite(x) || !std::isfinite(y))
            return false;
        // Each comparison is made on the double; what is stored is rounded to float.
        if (r.plotXMax <= row.x)
            r.plotXMax = x;
        if (r.plotYMax <= row.y)
            r.plotYMax = y;
        if (r.plotXMin >= row.x)
            r.plotXMin = x;
        if (r.plotYMin >= row.y)
            r.plotYMin = y;
        if (r.fileXMax <= row.x)
            r.fileXMax = x;
        if (r.fileXMin >= row.x)
            r.fileXMin = x;
        return true;
    };
    const auto beyondFloat = [&c](int i) {
        return Status::failure(kTooLarge, "Row " + std::to_string(i) + " of " + c.fileName +
                                              " holds a value beyond the float range")
            .withDetail("row " + std::to_string(i) +
                        " holds a value beyond the range of single precision");
    };
    if (readInOne) {
        // The rows widen the ranges in order, as readCurve hands them over; at a failure the
        // rows after it are not kept.
        for (std::size_t i = 1; i < rows.size(); ++i)
            if (!widenBy(rows[i])) {
                rows.resize(i + 1);
                status = beyondFloat(static_cast<int>(i));
                break;
            }
    } else {
        // A fault in the file itself is named first; a column beyond its fields only after it.
        status = readCurve(
            file, curveSettings(c), rows,
            [&](int i, const Row &row) {
                return widenBy(row) ? Status::success() : beyondFloat(i);
            },
            limits.maxCount);
    }
    s.plotXMax = r.plotXMax;
    s.plotYMax = r.plotYMax;
    s.plotXMin = r.plotXMin;
    s.plotYMin = r.plotYMin;
    c.fileXMax = r.fileXMax;
    c.fileXMin = r.fileXMin;
    if (status.ok() && columnsInFile)
        status = columnsWithinFields(c);
    return status;
}

} // namespace mergon
