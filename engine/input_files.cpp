#include "engine/input_files.h"

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
    bool stored =
        storeCount(t.xColumn, most, c.xColumn) && storeCount(t.yColumn, most, c.yColumn) &&
        storeFloat(t.xCoefficient, c.xCoefficient) && storeFloat(t.yCoefficient, c.yCoefficient) &&
        storeFloat(t.yWeight, c.yWeight) && storeCount(t.skipLines, most, c.skipLines);
    if (!stored)
        return Status::failure(kTooLarge, "a setting does not fit its field");
    c.readingRules = t.rules;
    return Status::success();
}

namespace {

// The names on the last header line of the file; none when there is no such line.
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

} // namespace

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

Status measureAndRead(Session &s, Curve &c, TextFile &file, std::vector<Row> &rows,
                      const Limits &limits) {
    FileMeasure measure;
    Status status =
        measureFile(file, c.fileName, c.skipLines, c.readingRules, measure, limits.maxCount);
    if (measure.lineCount > 0)
        c.lineCount = measure.lineCount;
    if (!status.ok())
        return status;
    c.fieldsPerLine = measure.fieldsPerLine;

    const auto widen = [&s, &c](int i, const Row &row) {
        // The ranges are floats: a value beyond their range fails before it widens any.
        const float x = narrowToFloat(row.x), y = narrowToFloat(row.y);
        if (!std::isfinite(x) || !std::isfinite(y))
            return Status::failure(kTooLarge, "Row " + std::to_string(i) + " of " + c.fileName +
                                                  " holds a value beyond the float range");
        // Each comparison is made on the double; what is stored is rounded to float.
        if (s.plotXMax <= row.x)
            s.plotXMax = x;
        if (s.plotYMax <= row.y)
            s.plotYMax = y;
        if (s.plotXMin >= row.x)
            s.plotXMin = x;
        if (s.plotYMin >= row.y)
            s.plotYMin = y;
        if (c.fileXMax <= row.x)
            c.fileXMax = x;
        if (c.fileXMin >= row.x)
            c.fileXMin = x;
        return Status::success();
    };
    return readCurve(file, curveSettings(c), rows, widen, limits.maxCount);
}

} // namespace mergon
