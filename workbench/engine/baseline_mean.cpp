#include "engine/baseline_mean.h"

#include <cmath>

namespace mergon {

Status baselineMeanCurve(TextFile &file, Session &session, MeanCurve &out) {
    if (session.fileCount < 1)
        return Status::failure(kInvalidArgument, "No input file is loaded.");
    if (session.divisionCount < 1)
        return Status::failure(kInvalidArgument, "The number of divisions has not been set.");

    const int n = session.divisionCount;
    out.x.assign(static_cast<size_t>(n) + 1, 0.0f);
    out.y.assign(static_cast<size_t>(n) + 1, 0.0);
    std::vector<Row> rows;
    for (int j = 0; j <= n; ++j) {
        const float product = static_cast<float>(static_cast<double>(session.xStep) * j);
        const float gx = session.commonXMin + product;
        out.x[j] = gx;
        double gy = 0;
        for (int i = 1; i <= session.fileCount; ++i) {
            session.chosenFileName = session.fileNames[i];
            Status status = readCurve(file, curveSettings(session, i), rows);
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
        gy = gy / session.fileCount;
        if (!std::isfinite(gy))
            return Status::failure(kTooLarge, "The mean is too large to be computed.");
        out.y[j] = gy;
    }
    return Status::success();
}

} // namespace mergon
