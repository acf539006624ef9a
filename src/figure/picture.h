// What a figure for print is drawn from and written to, without Qt's GUI:
// kivo-batch checks its options and gathers its curves with these alone, and
// loads the drawing only for a run that draws.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

#include "series.h"

namespace kivo::figure {

enum class PictureFormat { Png, Pdf, Svg };
// The format a file's ending names, in either case; none for another ending.
std::optional<PictureFormat> FormatOf(const QString& path);
// Why a file of another ending is not written.
QString WrongEnding();
// Writes bytes to path whole: beside it first, then in its place, so that an
// existing file is replaced only by a whole new one. False with the reason.
bool SaveWhole(const QString& path, const QByteArray& bytes, QString& error);

struct Curve {
    QString Caption;
    const float* Field = nullptr; // in G, in the order of the points
    const float* Signal = nullptr;
    int Count = 0;
    bool Markers = false;    // a dot at every point: measured values, not a trace
    double FrequencyGHz = 0; // 0: none known
};

// The axes of a figure of other numbers than field and signal.
struct AxisLabels {
    QString X, Y;
};

// A series curve as a figure draws it: the slices as marked points, the
// straight line when there is one, the axes named. Its curves point into it.
class SeriesFigure {
public:
    explicit SeriesFigure(const SeriesCurve& c);
    SeriesFigure(const SeriesFigure&) = delete;
    SeriesFigure& operator=(const SeriesFigure&) = delete;
    std::vector<Curve> Curves; // none without a slice
    AxisLabels Labels;

private:
    std::vector<float> x_, y_, lineX_, lineY_; // a figure's points are floats, as a spectrum's
};

} // namespace kivo::figure
