// Chart1: the plot surface. An ordered list of series addressed by index
// (0, 1 the point series; 2..21 the slots' lines; 22..27 auxiliary lines),
// a bottom and a left axis. Callers never touch the plotting library; every
// change asks for one queued repaint, so a command that adds many points
// costs a single repaint.
#pragma once

#include <QColor>
#include <QWidget>
#include <functional>
#include <vector>

#include <qcustomplot.h>

struct PlotRect {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Bottom = 0;
};

enum class ChartAxis { Bottom, Left };

class TChart : public QWidget {
    Q_OBJECT
public:
    explicit TChart(QWidget* parent = nullptr);

    // Appends a series and returns its index.
    int AddLineSeries(const QColor& colour);
    int AddPointSeries(const QColor& colour, int pointSize);
    int SeriesCount() const { return int(series_.size()); }

    void SetLineWidth(int index, int width);
    void SetSeriesColour(int index, const QColor& colour);
    QColor SeriesColour(int index) const;
    void Clear(int index);
    // Adds one point in the series colour, keeping the series in rising x;
    // returns the point's index in the series.
    int AddPoint(int index, double x, double y);
    // Adds points k = 0..count-1 at (ax + bx * x[k], ay + by * y[k]) in one go:
    // a whole spectrum through the view transform.
    void AddPoints(int index, const float* x, const float* y, int count, double ax, double bx,
                   double ay, double by);
    int PointCount(int index) const;
    double PointX(int index, int point) const;
    double PointY(int index, int point) const;
    void SetActive(int index, bool active);
    bool Active(int index) const;
    // Draws one point of a line series in another colour; giving a point its
    // series colour again takes the mark away. A series has one mark colour.
    void ColourPoint(int index, int point, const QColor& colour);
    QColor PointColour(int index, int point) const;
    // The same for the points first..last (series positions, 0-based).
    void ColourPoints(int index, int first, int last, const QColor& colour);

    // Either order; a range narrower than 1e-10 is widened about its middle.
    void SetRange(ChartAxis axis, double a, double b);
    double Minimum(ChartAxis axis) const;
    double Maximum(ChartAxis axis) const;

    // Both axes with their grid.
    void SetAxesVisible(bool visible);
    bool AxesVisible() const;
    void SetLeftAxisVisible(bool visible);
    // Grid lines of the left axis at this step.
    void SetLeftIncrement(double step);

    PlotRect PlotRectangle() const;

    // Mouse press on the chart: button, x, y in pixels of the chart.
    std::function<void(Qt::MouseButton, int, int)> OnMouseDown;

    QCustomPlot* Surface() const { return plot_; }
    void RepaintNow();

private:
    QCPGraph* Graph(int index) const;
    void Queue();
    // Runs of points added in one command are merged into their series once,
    // when the series is next read or drawn, not once per run.
    void Flush(int index) const;
    void FlushAll() const;

    QCustomPlot* plot_;
    std::vector<QCPGraph*> series_;
    std::vector<QColor> colours_;
    mutable std::vector<std::vector<QVector<QCPGraphData>>> pending_;
    bool axesVisible_ = false;
};
