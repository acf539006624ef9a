// Chart1: the plot surface. An ordered list of series addressed by index
// (0, 1 the point series; 2..21 the slots' lines; 22..27 auxiliary lines),
// a bottom and a left axis. Callers never touch the plotting library; every
// change asks for one queued repaint, so a command that adds many points
// costs a single repaint. Each series keeps every point it was given and
// draws only what the pixels can show of them, worked out again only when
// its points or the view change.
#pragma once

#include <QColor>
#include <QWidget>
#include <functional>
#include <vector>

#include <qcustomplot.h>

#include "figure.h"

class ChartSeries;

struct PlotRect {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Bottom = 0;
};

enum class ChartAxis { Bottom, Left };

// Where a line series is drawn: with the spectra, or above them with the
// cursors and marks that change at every key. Each is repainted on its own.
enum class ChartLayer { Spectra, Marks };

class TChart : public QWidget {
    Q_OBJECT
public:
    explicit TChart(QWidget* parent = nullptr);

    // Appends a series and returns its index. Point series are drawn under
    // the lines.
    int AddLineSeries(const QColor& colour, ChartLayer layer = ChartLayer::Spectra);
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

    // A scale along the top: its labels at these plotted x, inside the
    // frame, where the boxes and the parameters that stand over the chart's
    // top leave most of them in sight. With no tick it is hidden. It follows
    // the bottom axis's range.
    struct TopTick {
        double At;
        QString Text;
        bool operator==(const TopTick&) const = default;
    };
    void SetTopScale(const std::vector<TopTick>& ticks);
    const std::vector<TopTick>& TopScale() const { return topTicks_; }

    PlotRect PlotRectangle() const;

    // Mouse press on the chart: button, x, y in pixels of the chart.
    std::function<void(Qt::MouseButton, int, int)> OnMouseDown;

    QCustomPlot* Surface() const { return plot_; }
    // Draws what changed and shows it at once, as the next turn of the event
    // loop would.
    void RepaintNow();

    // Writes the chart as the screen shows it to path: PNG (twice the
    // chart's size), PDF or SVG (vectors); an existing file is replaced only
    // by a whole new one. False with the reason in error.
    bool ExportPicture(const QString& path, kivo::figure::PictureFormat format, QString& error);

private:
    ChartSeries& Series(int index) const;
    int AddSeries(const QColor& colour, int dotSize, QCPLayer* layer);
    // Asks for one drawing at the next turn of the event loop: of the
    // layer of series index, or of everything (index -1: axes, ranges).
    void Queue(int index = -1);
    void Draw();
    // White on black.
    void ApplyStyle();

    QCustomPlot* plot_;
    QCPLayer* dots_;
    QCPLayer* spectra_;
    QCPLayer* marks_;
    // Owned by the plot, which draws them.
    std::vector<ChartSeries*> series_;
    std::vector<TopTick> topTicks_;
    bool axesVisible_ = false;
    bool queued_ = false;
    bool everything_ = false;
    std::vector<QCPLayer*> changed_;
};
