#include "engine/input_files.h"

#include "engine/setting_value.h"

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
    bool stored = storeInt16(t.xColumn, s.xColumn[k]) && storeInt16(t.yColumn, s.yColumn[k]) &&
                  storeFloat(t.xCoefficient, s.xCoefficient[k]) &&
                  storeFloat(t.yCoefficient, s.yCoefficient[k]) &&
                  storeFloat(t.yWeight, s.yWeight[k]) && storeInt16(t.skipLines, s.skipLines[k]);
    if (!stored)
        return Status::failure(kTooLarge, "a setting does not fit its field");
    return Status::success();
}

Status measureAndRead(Session &s, TextFile &file, int k, std::vector<Row> &rows) {
    FileMeasure measure;
    Status status = measureFile(file, s.fileNames[k], s.skipLines[k], measure);
    if (measure.lineCount > 0)
        s.lineCount[k] = measure.lineCount;
    if (!status.ok())
        return status;
    s.fieldsPerLine[k] = measure.fieldsPerLine;

    return readCurve(file, curveSettings(s, k), rows, [&s, k](int, const Row &row) {
        // Each comparison is made on the double; what is stored is rounded to float.
        if (s.plotXMax <= row.x)
            s.plotXMax = narrowToFloat(row.x);
        if (s.plotYMax <= row.y)
            s.plotYMax = narrowToFloat(row.y);
        if (s.plotXMin >= row.x)
            s.plotXMin = narrowToFloat(row.x);
        if (s.plotYMin >= row.y)
            s.plotYMin = narrowToFloat(row.y);
        if (s.fileXMax[k] <= row.x)
            s.fileXMax[k] = narrowToFloat(row.x);
        if (s.fileXMin[k] >= row.x)
            s.fileXMin[k] = narrowToFloat(row.x);
    });
}

} // namespace mergon
