#include "engine/input_files.h"

#include "engine/messages.h"
#include "engine/setting_value.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace mergon {

namespace {

bool storeInt16(const std::string &text, int16_t &field) {
    auto value = toInt16(leadingNumber(text));
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

Status storeSettings(Session &s, int k, const SettingTexts &t) {
    const char *unfit = !storeInt16(t.xColumn, s.xColumn[k])             ? "x column"
                        : !storeInt16(t.yColumn, s.yColumn[k])           ? "y column"
                        : !storeFloat(t.xCoefficient, s.xCoefficient[k]) ? "x coefficient"
                        : !storeFloat(t.yCoefficient, s.yCoefficient[k]) ? "y coefficient"
                        : !storeFloat(t.yWeight, s.yWeight[k])           ? "weight"
                        : !storeInt16(t.skipLines, s.skipLines[k])       ? "number of header lines"
                                                                         : nullptr;
    if (unfit)
        return Status::failure(kTooLarge, "a setting does not fit its field")
            .withDetail(std::string("the ") + unfit + " is out of range");
    s.readingRules[k] = t.rules;
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

std::string columnName(const Session &s, TextFile &file, int k, int column) {
    if (k < 1 || k > s.fileCount)
        return {};
    const auto slot = static_cast<std::size_t>(k);
    std::vector<std::string> names;
    const Status read =
        readHeaderNames(file, s.fileNames[slot], s.skipLines[slot], s.readingRules[slot], names);
    return read.ok() && column >= 1 && static_cast<size_t>(column) <= names.size()
               ? names[static_cast<size_t>(column) - 1]
               : std::string();
}

Status findNamedColumns(Session &s, TextFile &file, int k, const SettingTexts &t) {
    if (t.xName.empty() && t.yName.empty())
        return Status::success();
    const auto slot = static_cast<std::size_t>(k);
    const std::string &path = s.fileNames[slot];
    std::vector<std::string> names;
    Status status = readHeaderNames(file, path, s.skipLines[slot], s.readingRules[slot], names);
    if (!status.ok())
        return status;
    const std::pair<const std::string &, int16_t &> named[] = {{t.xName, s.xColumn[slot]},
                                                               {t.yName, s.yColumn[slot]}};
    for (const auto &[name, column] : named) {
        if (name.empty())
            continue;
        const auto found = std::find(names.begin(), names.end(), name);
        const bool missing = found == names.end();
        if (missing || std::find(found + 1, names.end(), name) != names.end())
            return Status::failure(kInvalidArgument,
                                   columnNameText(name, path, missing, kInvalidArgument));
        const auto number = toInt16(static_cast<double>(found - names.begin() + 1));
        if (!number)
            return Status::failure(kTooLarge, "a named column does not fit its field");
        column = *number;
    }
    return Status::success();
}

namespace {

// The first of the x and y columns that lies outside the fields of slot k's data lines.
Status columnsWithinFields(const Session &s, int k) {
    for (const int column : {s.xColumn[k], s.yColumn[k]})
        if (column < 1 || column > s.fieldsPerLine[k])
            return Status::failure(kInvalidArgument, "Column " + std::to_string(column) +
                                                         " is not in " + s.fileNames[k])
                .withDetail("column " + std::to_string(column) + " is not in " + s.fileNames[k] +
                            ": its first data line has " + std::to_string(s.fieldsPerLine[k]) +
                            " fields");
    return Status::success();
}

} // namespace

Status measureAndRead(Session &s, TextFile &file, int k, std::vector<Row> &rows,
                      bool columnsInFile) {
    FileMeasure measure;
    Status status = measureFile(file, s.fileNames[k], s.skipLines[k], s.readingRules[k], measure);
    if (measure.lineCount > 0)
        s.lineCount[k] = measure.lineCount;
    if (!status.ok())
        return status;
    s.fieldsPerLine[k] = measure.fieldsPerLine;

    // A fault in the file itself is named first; a column beyond its fields only after it.
    status = readCurve(file, curveSettings(s, k), rows, [&s, k](int i, const Row &row) {
        // The ranges are floats: a value beyond their range fails before it widens any.
        const float x = narrowToFloat(row.x), y = narrowToFloat(row.y);
        if (!std::isfinite(x) || !std::isfinite(y))
            return Status::failure(kTooLarge, "Row " + std::to_string(i) + " of " +
                                                  s.fileNames[static_cast<size_t>(k)] +
                                                  " holds a value beyond the float range")
                .withDetail("row " + std::to_string(i) +
                            " holds a value beyond the range of single precision");
        // Each comparison is made on the double; what is stored is rounded to float.
        if (s.plotXMax <= row.x)
            s.plotXMax = x;
        if (s.plotYMax <= row.y)
            s.plotYMax = y;
        if (s.plotXMin >= row.x)
            s.plotXMin = x;
        if (s.plotYMin >= row.y)
            s.plotYMin = y;
        if (s.fileXMax[k] <= row.x)
            s.fileXMax[k] = x;
        if (s.fileXMin[k] >= row.x)
            s.fileXMin[k] = x;
        return Status::success();
    });
    if (status.ok() && columnsInFile)
        status = columnsWithinFields(s, k);
    return status;
}

} // namespace mergon
