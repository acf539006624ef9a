// What the pixels of a chart can show of a long series: the points a line of
// one pixel needs, and the pixels a cloud of dots lights. A spectrum has far
// more points than the chart has pixel columns; drawing only these keeps every
// extreme and every dot on screen at a fraction of the cost. Plain C++, no Qt.
//
// The routines take the pixel coordinates of point k as pixels[k], from
// ScaledPoints (points in doubles) or ScaledFloats (a spectrum's floats as
// plotted), so that a point costs a product or two.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace kivo {

struct PlotPoint {
    double X = 0;
    double Y = 0;
};

// One axis's map from a value to a pixel coordinate, the linear map of the
// chart's axes: the value's share of the axis range times the axis length,
// from the origin pixel (upwards from the bottom pixel row for a vertical
// axis). The factor is worked out once, so a point costs a product.
struct AxisScale {
    AxisScale(double lower, double size, double length, double origin, bool vertical)
        : Lower(lower), Scale(vertical ? -(length / size) : length / size), Origin(origin) {}
    double Lower;
    double Scale; // pixels per unit, negative upwards
    double Origin;
    double Pixel(double value) const { return Origin + (value - Lower) * Scale; }
};

// Point k is (Ax + Bx X[k], Ay + By Y[k]) in double precision: a spectrum's
// points as plotted, without a copy of them in doubles.
struct MappedPoints {
    const float* X = nullptr;
    const float* Y = nullptr;
    double Ax = 0, Bx = 1, Ay = 0, By = 1;
    PlotPoint operator[](int k) const { return {Ax + Bx * X[k], Ay + By * Y[k]}; }
};

// The pixels of points in doubles.
struct ScaledPoints {
    const PlotPoint* Points;
    AxisScale X, Y;
    PlotPoint operator[](int k) const { return {X.Pixel(Points[k].X), Y.Pixel(Points[k].Y)}; }
};

// The pixels of mapped points, both maps made one.
struct ScaledFloats {
    ScaledFloats(const MappedPoints& p, const AxisScale& x, const AxisScale& y)
        : X(p.X), Y(p.Y), Cx(x.Pixel(p.Ax)), Dx(p.Bx * x.Scale), Cy(y.Pixel(p.Ay)),
          Dy(p.By * y.Scale) {}
    const float* X;
    const float* Y;
    double Cx, Dx, Cy, Dy;
    PlotPoint operator[](int k) const { return {Cx + Dx * X[k], Cy + Dy * Y[k]}; }
};

// A point kept for drawing a line: its index and its pixel coordinates.
struct KeptPoint {
    int Index = 0;
    double X = 0;
    double Y = 0;
};

// Appends to kept the points of first..last-1 (in rising X) that a polyline
// of one pixel needs to cover the pixels of them all: in every pixel column
// the first point, the highest and the lowest, and the last, in their own
// order. A column holds the points in a row whose pixels are finite and
// nearest to the same whole X (against the whole line drawn by the painter,
// such columns lose fewer pixels than columns that start at a whole X); a
// point whose pixel is not finite is kept alone, so the gap it makes stays.
template <class Pixels>
void LinePoints(const Pixels& pixels, int first, int last, std::vector<KeptPoint>& kept) {
    auto keep = [&](int k) {
        const PlotPoint at = pixels[k];
        kept.push_back({k, at.X, at.Y});
    };
    int k = first;
    while (k < last) {
        const PlotPoint at = pixels[k];
        if (!(std::isfinite(at.X) && std::isfinite(at.Y))) {
            kept.push_back({k, at.X, at.Y});
            ++k;
            continue;
        }
        // Points come in rising X: the column ends where the next one begins.
        const double nextColumn = std::floor(at.X + 0.5) + 0.5;
        int top = k, bottom = k;
        double topY = at.Y, bottomY = at.Y;
        int j = k + 1;
        for (; j < last; ++j) {
            const PlotPoint p = pixels[j];
            if (!(p.X < nextColumn) || !std::isfinite(p.Y)) break;
            // Without branches: noise makes them unpredictable.
            const bool higher = p.Y < topY;
            const bool lower = p.Y > bottomY;
            top = higher ? j : top;
            topY = higher ? p.Y : topY;
            bottom = lower ? j : bottom;
            bottomY = lower ? p.Y : bottomY;
        }
        const int a = std::min(top, bottom), b = std::max(top, bottom), end = j - 1;
        keep(k);
        if (a > k) keep(a);
        if (b > a) keep(b);
        if (end > b) keep(end);
        k = j;
    }
}

// The same, taken from whole, what was kept of a range that holds
// first..last-1: a stretch of a line in another colour costs only its two end
// columns, which are gone through again.
template <class Pixels>
void LinePointsWithin(const Pixels& pixels, int first, int last,
                      const std::vector<KeptPoint>& whole, std::vector<KeptPoint>& kept) {
    if (first >= last) return;
    // The whole X a point's column is centred on, or none for a point whose
    // pixel is not finite, which makes a column of its own.
    auto column = [&](int k) {
        const PlotPoint at = pixels[k];
        return std::isfinite(at.X) && std::isfinite(at.Y) ? std::floor(at.X + 0.5) : NAN;
    };
    const double head = column(first);
    int inner = first + 1;
    if (!std::isnan(head))
        while (inner < last && column(inner) == head) ++inner;
    if (inner >= last) {
        LinePoints(pixels, first, last, kept);
        return;
    }
    const double tailColumn = column(last - 1);
    int tail = last - 1;
    if (!std::isnan(tailColumn))
        while (tail > inner && column(tail - 1) == tailColumn) --tail;
    LinePoints(pixels, first, inner, kept);
    const auto byIndex = [](const KeptPoint& p, int index) { return p.Index < index; };
    kept.insert(kept.end(), std::lower_bound(whole.begin(), whole.end(), inner, byIndex),
                std::lower_bound(whole.begin(), whole.end(), tail, byIndex));
    LinePoints(pixels, tail, last, kept);
}

struct PixelPoint {
    int X = 0;
    int Y = 0;
};

struct PixelArea {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
};

// The pixels of an area that dots light, each listed once however many dots
// light it. A dot is drawn at the pixel nearest its coordinates (halves
// rounded away from zero, as the painter places a dot) and lights its stamp
// around that pixel.
class DotPixels {
public:
    // Forgets every pixel; the next dots light stamp (offsets from their own
    // pixel) inside area.
    void Start(const PixelArea& area, const std::vector<PixelPoint>& stamp);
    // Points first..last-1.
    template <class Pixels> void Add(const Pixels& pixels, int first, int last) {
        // A margin of a pixel, so that rounding at the edges is left to the
        // whole-pixel test.
        const double left = reach_.Left - 1.0, right = double(reach_.Left) + reach_.Width;
        const double top = reach_.Top - 1.0, bottom = double(reach_.Top) + reach_.Height;
        for (int k = first; k < last; ++k) {
            const PlotPoint at = pixels[k];
            const double px = at.X, py = at.Y;
            if (!(px > left && px < right && py > top && py < bottom)) continue;
            const int dx = Nearest(px) - reach_.Left, dy = Nearest(py) - reach_.Top;
            if (dx < 0 || dx >= reach_.Width || dy < 0 || dy >= reach_.Height) continue;
            if (TestAndSet(dotSeen_, dy * reach_.Width + dx)) continue;
            Light(dx + reach_.Left, dy + reach_.Top);
        }
    }
    const std::vector<PixelPoint>& Lit() const { return lit_; }

private:
    static int Nearest(double v) { return int(v + std::copysign(0.5, v)); }
    static bool TestAndSet(std::vector<uint64_t>& bits, int index) {
        uint64_t& word = bits[static_cast<size_t>(index) >> 6];
        const uint64_t bit = uint64_t(1) << (index & 63);
        const bool was = (word & bit) != 0;
        word |= bit;
        return was;
    }
    // The stamp of a dot at this pixel.
    void Light(int x, int y);

    PixelArea area_;
    // Where a dot's own pixel may lie and its stamp still reach the area.
    PixelArea reach_;
    std::vector<PixelPoint> stamp_;
    std::vector<uint64_t> dotSeen_;  // one bit per pixel of reach_
    std::vector<uint64_t> pixelLit_; // one bit per pixel of area_
    std::vector<PixelPoint> lit_;
};

} // namespace kivo
