#include "reference/baseline_mean.h"

#include <algorithm>
#include <cmath>

namespace mergon {

namespace {

// The reading of one file as the reference way does it: rows built anew on every read, and
// every field of every row read as a value, whether its column is used or not. A row without
// its x or y value is left out; a file whose x falls from its first row to its last is taken
// from its last row to its first.
Status readEveryField(TextFile &file, const CurveSettings &settings, Rows &rows) {
    Rows fresh(1);
    Status status = file.openForReading(settings.path);
    for (int i = 0; status.ok() && i < settings.skipLines; ++i)
        status = file.skipLine();
    Field v;
    for (int i = 1; status.ok() && i <= settings.lineCount; ++i) {
        Row row;
        bool missing = false;
        for (int j = 1; status.ok() && j <= settings.fieldsPerLine; ++j) {
            status = file.readField(v, true);
            if (!status.ok() || (j != settings.xColumn && j != settings.yColumn))
                continue;
            if (v.kind == Field::Kind::NonNumeric)
                status = Status::failure(kNonNumeric, "Non-numeric field in " + settings.path);
            else if (v.kind == Field::Kind::TooLarge)
                status = Status::failure(kTooLarge, "Number too large in " + settings.path);
            missing = missing || v.kind == Field::Kind::Missing;
            if (status.ok() && j == settings.xColumn)
                row.x = v.value * static_cast<double>(settings.xCoefficient);
            if (status.ok() && j == settings.yColumn)
                row.y = (v.value * static_cast<double>(settings.yCoefficient)) *
                        static_cast<double>(settings.yWeight);
        }
        if (!missing)
            fresh.push_back(row);
    }
    if (status.ok())
        status = file.close();
    if (fresh.size() > 2 && fresh.back().x < fresh[1].x)
        std::reverse(fresh.begin() + 1, fresh.end());
    rows = std::move(fresh);
    return status;
}

} // namespace

Status baselineMeanCurve(TextFile &file, Session &session, MeanCurve &out) {
    if (session.fileCount() < 1)
        return Status::failure(kInvalidArgument, "No input file is loaded.");
    if (session.divisionCount < 1)
        return Status::failure(kInvalidArgument, "The number of divisions has not been set.");

    const int n = session.divisionCount;
    out.x.assign(static_cast<size_t>(n) + 1, 0.0f);
    out.y.assign(static_cast<size_t>(n) + 1, 0.0);
    Rows rows;
    for (int j = 0; j <= n; ++j) {
        const float product = static_cast<float>(static_cast<double>(session.xStep) * j);
        const float gx = session.commonXMin + product;
        out.x[j] = gx;
        double gy = 0;
        for (const Curve &curve : session.curves) {
            session.chosenFileName = curve.fileName;
            Status status = readEveryField(file, curveSettings(curve), rows);
            if (!status.ok()) {
                file.closeAll();
                return Status::failure(status.code(), "The input file \"" + session.chosenFileName +
                                                          "\" could not be read.");
            }
            const int lineCount = static_cast<int>(rows.size()) - 1;
            bool found = false;
            for (int k = 1; k <= lineCount && !found; ++k) {
                if (rows[k].x == gx) {
                    gy = gy + rows[k].y;
                    found = true;
                } else if (rows[k].x > gx) {
                    if (k == 1) {
                        gy = gy + rows[1].y; // before row 1: row 1's y
                    } else {
                        double s = (rows[k].y - rows[k - 1].y) / (rows[k].x - rows[k - 1].x);
                        gy = (gy + s * (gx - rows[k - 1].x)) + rows[k - 1].y;
                    }
                    found = true;
                }
            }
            if (!found && lineCount >= 1) {
                // Beyond every row: the row with the largest x, the last one on ties.
                int last = 1;
                for (int k = 2; k <= lineCount; ++k)
                    if (rows[k].x >= rows[last].x)
                        last = k;
                gy = gy + rows[last].y;
            }
        }
        gy = gy / session.fileCount();
        if (!std::isfinite(gy))
            return Status::failure(kTooLarge, "The mean is too large to be computed.");
        out.y[j] = gy;
    }
    return Status::success();
}

} // namespace mergon
