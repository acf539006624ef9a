#include "TChart.h"

#include <QBuffer>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "ChartSeries.h"

namespace {
constexpr double MinimumSpan = 1e-10;
} // namespace

TChart::TChart(QWidget* parent) : QWidget(parent), plot_(new QCustomPlot(this)) {
    setObjectName(QStringLiteral("Chart1"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(plot_);
    plot_->legend->setVisible(false);
    // 1-pixel pens without antialiasing, lines drawn as whole polylines.
    plot_->setNotAntialiasedElements(QCP::aeAll);
    ApplyStyle();
    // Three layers, each with a buffer of its own, so that a key that changes
    // only the preview dots or the cursors repaints them alone: the plot area
    // with its grid and the dots, the lines of the spectra, and the cursors
    // and marks with the axes over them (all white, so their order does not
    // show). Every buffer costs a blend of the whole chart at each repaint.
    plot_->removeLayer(plot_->layer(QStringLiteral("background")));
    dots_ = plot_->layer(QStringLiteral("grid"));
    spectra_ = plot_->layer(QStringLiteral("main"));
    plot_->addLayer(QStringLiteral("marks"), spectra_);
    marks_ = plot_->layer(QStringLiteral("marks"));
    for (const char* name : {"axes", "legend", "overlay"})
        plot_->removeLayer(plot_->layer(QLatin1String(name)));
    for (QCPLayer* layer : {dots_, spectra_, marks_}) layer->setMode(QCPLayer::lmBuffered);
    SetAxesVisible(false);
    plot_->xAxis2->setVisible(false);
    connect(plot_->xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), plot_->xAxis2,
            qOverload<const QCPRange&>(&QCPAxis::setRange));
    // The chart never takes the keyboard: the current panel keeps it.
    setFocusPolicy(Qt::NoFocus);
    plot_->setFocusPolicy(Qt::NoFocus);
    connect(plot_, &QCustomPlot::mousePress, this, [this](QMouseEvent* e) {
        if (OnMouseDown) OnMouseDown(e->button(), int(e->position().x()), int(e->position().y()));
    });
}

void TChart::ApplyStyle() {
    plot_->setBackground(Qt::black);
    plot_->axisRect()->setBackground(Qt::black);
    for (QCPAxis* axis : {plot_->xAxis, plot_->yAxis, plot_->xAxis2}) {
        axis->setBasePen(QPen(Qt::white));
        axis->setTickPen(QPen(Qt::white));
        axis->setSubTickPen(QPen(Qt::white));
        axis->setTickLabelColor(Qt::white);
        axis->setLabelColor(Qt::white);
        axis->grid()->setPen(QPen(QColor(90, 90, 90), 1, Qt::DotLine));
    }
}

bool TChart::ExportPicture(const QString& path, kivo::figure::PictureFormat format,
                           QString& error) {
    using kivo::figure::PictureFormat;
    QByteArray out;
    QBuffer bytes(&out);
    bytes.open(QIODevice::WriteOnly);
    const int w = plot_->width(), h = plot_->height();
    // PDF and SVG get the chart's own drawing as vectors.
    auto vectors = [&](QPaintDevice* device) {
        QCPPainter painter(device);
        painter.setMode(QCPPainter::pmVectorized);
        painter.setMode(QCPPainter::pmNoCaching);
        plot_->toPainter(&painter, w, h);
        return painter.end();
    };
    bool drawn = true;
    if (format == PictureFormat::Png) {
        drawn = plot_->toPixmap(w, h, 2.0).save(&bytes, "PNG");
    } else if (format == PictureFormat::Pdf) {
        QPdfWriter writer(&bytes);
        writer.setResolution(72); // a pixel of the chart is a point of the page
        writer.setPageSize(QPageSize(QSizeF(w, h), QPageSize::Point));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setCreator(QStringLiteral("Kivo"));
        drawn = vectors(&writer);
    } else {
        QSvgGenerator svg;
        svg.setOutputDevice(&bytes);
        svg.setSize(QSize(w, h));
        svg.setViewBox(QRect(0, 0, w, h));
        svg.setTitle(QStringLiteral("Kivo"));
        drawn = vectors(&svg);
    }
    if (!drawn || out.isEmpty()) {
        error = QStringLiteral("the picture could not be drawn");
        return false;
    }
    return kivo::figure::SaveWhole(path, out, error);
}

ChartSeries& TChart::Series(int index) const {
    Q_ASSERT(index >= 0 && index < int(series_.size()));
    return *series_[static_cast<size_t>(index)];
}

void TChart::Queue(int index) {
    if (index < 0)
        everything_ = true;
    else if (QCPLayer* layer = Series(index).layer();
             std::find(changed_.begin(), changed_.end(), layer) == changed_.end())
        changed_.push_back(layer);
    if (queued_) return;
    queued_ = true;
    QMetaObject::invokeMethod(this, &TChart::Draw, Qt::QueuedConnection);
}

void TChart::Draw() {
    if (!queued_) return;
    queued_ = false;
    if (everything_)
        plot_->replot(QCustomPlot::rpRefreshHint);
    else
        for (QCPLayer* layer : changed_) layer->replot();
    everything_ = false;
    changed_.clear();
}

void TChart::RepaintNow() {
    Draw();
    plot_->repaint();
}

int TChart::AddSeries(const QColor& colour, int dotSize, QCPLayer* layer) {
    series_.push_back(new ChartSeries(plot_, layer, colour, dotSize));
    Queue();
    return int(series_.size()) - 1;
}

int TChart::AddLineSeries(const QColor& colour, ChartLayer layer) {
    return AddSeries(colour, 0, layer == ChartLayer::Marks ? marks_ : spectra_);
}

int TChart::AddPointSeries(const QColor& colour, int pointSize) {
    return AddSeries(colour, std::max(1, pointSize), dots_);
}

void TChart::SetLineWidth(int index, int width) {
    Series(index).SetWidth(width);
    Queue(index);
}

void TChart::SetSeriesColour(int index, const QColor& colour) {
    Series(index).SetColour(colour);
    Queue(index);
}

QColor TChart::SeriesColour(int index) const {
    return Series(index).Colour();
}

void TChart::Clear(int index) {
    Series(index).Clear();
    Queue(index);
}

int TChart::AddPoint(int index, double x, double y) {
    const int at = Series(index).Insert(x, y);
    Queue(index);
    return at;
}

void TChart::AddPoints(int index, const float* x, const float* y, int count, double ax, double bx,
                       double ay, double by) {
    if (count <= 0) return;
    Series(index).AddRun(x, y, count, ax, bx, ay, by);
    Queue(index);
}

int TChart::PointCount(int index) const {
    return Series(index).Count();
}

double TChart::PointX(int index, int point) const {
    return Series(index).At(point).X;
}

double TChart::PointY(int index, int point) const {
    return Series(index).At(point).Y;
}

void TChart::SetActive(int index, bool active) {
    Series(index).setVisible(active);
    Queue(index);
}

bool TChart::Active(int index) const {
    return Series(index).visible();
}

void TChart::ColourPoint(int index, int point, const QColor& colour) {
    ColourPoints(index, point, point, colour);
}

void TChart::ColourPoints(int index, int first, int last, const QColor& colour) {
    if (last < first) return;
    Series(index).Mark(first, last, colour);
    Queue(index);
}

QColor TChart::PointColour(int index, int point) const {
    return Series(index).ColourAt(point);
}

void TChart::SetRange(ChartAxis axis, double a, double b) {
    double lo = std::min(a, b);
    double hi = std::max(a, b);
    if (!(hi - lo >= MinimumSpan)) {
        const double mid = (lo + hi) / 2;
        lo = mid - MinimumSpan / 2;
        hi = mid + MinimumSpan / 2;
        // Far from zero half the minimum span is below one step of a double.
        if (!(hi > lo)) {
            lo = std::nextafter(mid, -INFINITY);
            hi = std::nextafter(mid, INFINITY);
        }
    }
    (axis == ChartAxis::Bottom ? plot_->xAxis : plot_->yAxis)->setRange(lo, hi);
    Queue();
}

double TChart::Minimum(ChartAxis axis) const {
    return (axis == ChartAxis::Bottom ? plot_->xAxis : plot_->yAxis)->range().lower;
}

double TChart::Maximum(ChartAxis axis) const {
    return (axis == ChartAxis::Bottom ? plot_->xAxis : plot_->yAxis)->range().upper;
}

void TChart::SetAxesVisible(bool visible) {
    axesVisible_ = visible;
    for (QCPAxis* axis : {plot_->xAxis, plot_->yAxis}) {
        axis->setVisible(visible);
        axis->grid()->setVisible(visible);
    }
    Queue();
}

bool TChart::AxesVisible() const {
    return axesVisible_;
}

void TChart::SetLeftAxisVisible(bool visible) {
    plot_->yAxis->setVisible(visible);
    Queue();
}

void TChart::SetLeftIncrement(double step) {
    auto ticker = QSharedPointer<QCPAxisTickerFixed>::create();
    ticker->setTickStep(step);
    ticker->setScaleStrategy(QCPAxisTickerFixed::ssMultiples);
    plot_->yAxis->setTicker(ticker);
    Queue();
}

void TChart::SetTopScale(const std::vector<TopTick>& ticks) {
    QCPAxis* axis = plot_->xAxis2;
    // Asked at every command: the same scale costs no repaint.
    if (ticks == topTicks_) return;
    topTicks_ = ticks;
    axis->setVisible(!ticks.empty());
    axis->setTickLabelSide(QCPAxis::lsInside);
    axis->setTickLength(5, 0);
    auto ticker = QSharedPointer<QCPAxisTickerText>::create();
    for (const TopTick& t : ticks) ticker->addTick(t.At, t.Text);
    axis->setTicker(ticker);
    axis->setSubTicks(false);
    axis->setRange(plot_->xAxis->range());
    Queue();
}

PlotRect TChart::PlotRectangle() const {
    const QRect r = plot_->axisRect()->rect();
    return {r.left() + plot_->x(), r.top() + plot_->y(), r.width(), r.bottom() + plot_->y()};
}
