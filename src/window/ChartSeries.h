// One series of the chart: every point it was given, and the picture drawn
// of them. Only TChart makes and uses them.
#pragma once

#include <QColor>
#include <QPoint>
#include <QPointF>
#include <QRect>
#include <vector>

#include <qcustomplot.h>

#include "decimation.h"

// What a picture was drawn for: both axis ranges and the plot area.
struct ChartView {
    QCPRange X, Y;
    QRect Area;
    bool operator==(const ChartView& o) const { return X == o.X && Y == o.Y && Area == o.Area; }
    kivo::AxisScale ScaleX() const {
        return {X.lower, X.size(), double(Area.width()), double(Area.left()), false};
    }
    kivo::AxisScale ScaleY() const {
        return {Y.lower, Y.size(), double(Area.height()), double(Area.bottom()), true};
    }
};

// A run of points from AddPoints is kept as it came, the floats and the view
// transform, so a whole spectrum costs half the memory of its points in
// doubles. Points added one at a time, and all runs once a point is looked up
// by its place among several runs, are kept in rising x as doubles.
//
// The picture is brought up to date as a run is added, while its points are
// still in the cache, and made anew only when the marks or the view change; a
// repaint alone costs no more than the drawing. A line given again the same
// points as before its last Clear, as most redraws do, keeps its picture.
class ChartSeries : public QCPLayerable {
public:
    // A line series when dotSize is 0, else dots of that size.
    ChartSeries(QCustomPlot* plot, QCPLayer* layer, const QColor& colour, int dotSize);

    int Count() const {
        int n = int(points_.size());
        for (const Run& r : runs_) n += r.Count;
        return n;
    }
    // Point k in rising x.
    kivo::PlotPoint At(int k);
    void Clear();
    // Points k = 0..count-1 at (ax + bx * x[k], ay + by * y[k]).
    void AddRun(const float* x, const float* y, int count, double ax, double bx, double ay,
                double by);
    // Adds a point in its place by x, after those of equal x; returns its index.
    int Insert(double x, double y);

    QColor Colour() const { return colour_; }
    void SetColour(const QColor& colour) { colour_ = colour; }
    void SetWidth(int width) { width_ = width; }
    // Points first..last in another colour, or in the series colour again.
    void Mark(int first, int last, const QColor& colour);
    QColor ColourAt(int point) const {
        return marked_.contains(QCPDataSelection(QCPDataRange(point, point + 1))) ? markColour_
                                                                                  : colour_;
    }

protected:
    QRect clipRect() const override { return parentPlot()->axisRect()->rect(); }
    void applyDefaultAntialiasingHint(QCPPainter* painter) const override {
        applyAntialiasingHint(painter, mAntialiased, QCP::aePlottables);
    }
    void draw(QCPPainter* painter) override;

private:
    // Floats First..First+Count-1 of the pools, through their transform.
    struct Run {
        int First = 0;
        int Count = 0;
        double Ax = 0, Bx = 1, Ay = 0, By = 1;
        bool Rising = true;
    };
    kivo::MappedPoints Mapped(const Run& r) const {
        return {xs_.data() + r.First, ys_.data() + r.First, r.Ax, r.Bx, r.Ay, r.By};
    }
    // A single run in rising x: its place is a point's index.
    bool OneRun() const { return points_.empty() && runs_.size() == 1 && runs_.front().Rising; }
    void InRisingX();
    ChartView CurrentView() const {
        return {parentPlot()->xAxis->range(), parentPlot()->yAxis->range(), clipRect()};
    }
    void PointsChanged() {
        current_ = false;
        whole_.clear();
    }
    void SetView(const ChartView& view) {
        if (view == view_) return;
        view_ = view;
        PointsChanged();
        hasPrevious_ = false;
    }
    bool SameAsBefore(const float* x, const float* y, const Run& run) const;
    void Picture(const ChartView& view);
    template <class Points> void LinePicture(const Points& points);
    void DotPicture();
    void AddDots(const QCPDataSelection& part, std::vector<QPoint>& out);

    QColor colour_;
    QColor markColour_;
    int dotSize_;
    int width_ = 1;
    std::vector<float> xs_, ys_;
    std::vector<Run> runs_;
    std::vector<kivo::PlotPoint> points_;
    QCPDataSelection marked_;
    // The single run before the last Clear, and the line kept of it.
    bool hasPrevious_ = false;
    Run previous_;
    std::vector<float> previousXs_, previousYs_;

    // The picture holds the first pictured_ points, drawn for view_, and is
    // current while nothing but new runs came since.
    bool current_ = false;
    ChartView view_;
    int pictured_ = 0;
    // A line: stretches of one colour in pixels, unmarked ones first.
    struct Stretch {
        int First, Last;
        bool Marked;
    };
    std::vector<QPointF> line_;
    std::vector<Stretch> stretches_;
    // The points kept of the whole line in view, whatever its marks: a
    // stretch in another colour takes its inner columns from them.
    std::vector<kivo::KeptPoint> whole_, previousWhole_;
    std::vector<kivo::KeptPoint> kept_;
    // Dots: the pixels they light, unmarked and marked.
    std::vector<kivo::PixelPoint> stamp_;
    kivo::DotPixels pixels_;
    std::vector<QPoint> dots_, markedDots_;
};
