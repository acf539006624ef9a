#include "TChart.h"

#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <qcustomplot.h>

namespace {
constexpr double MinimumSpan = 1e-10;
}

TChart::TChart(QWidget* parent) : QWidget(parent), plot_(new QCustomPlot(this)) {
    setObjectName(QStringLiteral("Chart1"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(plot_);
    plot_->setBackground(Qt::black);
    plot_->axisRect()->setBackground(Qt::black);
    plot_->legend->setVisible(false);
    // 1-pixel pens without antialiasing, drawn as whole polylines (not the
    // library's segment-by-segment "fast" mode, which is slower for them):
    // 20 lines of 15000 points repaint within a frame.
    plot_->setNotAntialiasedElements(QCP::aeAll);
    plot_->setPlottingHint(QCP::phFastPolylines, false);
    for (QCPAxis* axis : {plot_->xAxis, plot_->yAxis}) {
        axis->setBasePen(QPen(Qt::white));
        axis->setTickPen(QPen(Qt::white));
        axis->setSubTickPen(QPen(Qt::white));
        axis->setTickLabelColor(Qt::white);
        axis->grid()->setPen(QPen(QColor(90, 90, 90), 1, Qt::DotLine));
    }
    SetAxesVisible(false);
    connect(plot_, &QCustomPlot::beforeReplot, this, [this] { FlushAll(); });
    connect(plot_, &QCustomPlot::mousePress, this, [this](QMouseEvent* e) {
        if (OnMouseDown) OnMouseDown(e->button(), int(e->position().x()), int(e->position().y()));
    });
}

QCPGraph* TChart::Graph(int index) const {
    Q_ASSERT(index >= 0 && index < int(series_.size()));
    return series_[static_cast<size_t>(index)];
}

void TChart::Queue() {
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

void TChart::RepaintNow() {
    plot_->replot(QCustomPlot::rpImmediateRefresh);
}

int TChart::AddLineSeries(const QColor& colour) {
    QCPGraph* g = plot_->addGraph();
    g->setLineStyle(QCPGraph::lsLine);
    g->setAdaptiveSampling(true);
    // Marked points are drawn by the selection decorator in their own colour.
    g->setSelectable(QCP::stMultipleDataRanges);
    series_.push_back(g);
    colours_.push_back(colour);
    pending_.emplace_back();
    SetSeriesColour(int(series_.size()) - 1, colour);
    return int(series_.size()) - 1;
}

int TChart::AddPointSeries(const QColor& colour, int pointSize) {
    const int index = AddLineSeries(colour);
    QCPGraph* g = Graph(index);
    g->setLineStyle(QCPGraph::lsNone);
    // A circle of one pixel is a dot, and drawn as one far faster.
    const auto shape = pointSize <= 1 ? QCPScatterStyle::ssDot : QCPScatterStyle::ssDisc;
    g->setScatterStyle(QCPScatterStyle(shape, colour, pointSize));
    return index;
}

void TChart::SetLineWidth(int index, int width) {
    QPen pen = Graph(index)->pen();
    pen.setWidth(width);
    Graph(index)->setPen(pen);
    Queue();
}

void TChart::SetSeriesColour(int index, const QColor& colour) {
    QCPGraph* g = Graph(index);
    colours_[static_cast<size_t>(index)] = colour;
    QPen pen = g->pen();
    pen.setColor(colour);
    g->setPen(pen);
    QCPScatterStyle scatter = g->scatterStyle();
    if (!scatter.isNone()) {
        scatter.setPen(QPen(colour));
        scatter.setBrush(colour);
        g->setScatterStyle(scatter);
    }
    Queue();
}

QColor TChart::SeriesColour(int index) const {
    return colours_[static_cast<size_t>(index)];
}

void TChart::Clear(int index) {
    pending_[static_cast<size_t>(index)].clear();
    Graph(index)->data()->clear();
    Graph(index)->setSelection(QCPDataSelection());
    Queue();
}

int TChart::AddPoint(int index, double x, double y) {
    Flush(index);
    QCPGraph* g = Graph(index);
    auto data = g->data();
    // The container keeps rising keys: a point out of order goes to its place.
    data->add(QCPGraphData(x, y));
    Queue();
    // A point goes after those of equal x, so it is the last one not above x.
    auto after = std::upper_bound(data->constBegin(), data->constEnd(), QCPGraphData(x, y),
                                  qcpLessThanSortKey<QCPGraphData>);
    return int(after - data->constBegin()) - 1;
}

void TChart::AddPoints(int index, const float* x, const float* y, int count, double ax, double bx,
                       double ay, double by) {
    if (count <= 0) return;
    QVector<QCPGraphData> run(count);
    // Written through a plain pointer: the container's operator[] would
    // check for sharing at every point.
    QCPGraphData* out = run.data();
    bool rising = true;
    double last = ax + bx * x[0];
    for (int k = 0; k < count; ++k) {
        const double key = ax + bx * x[k];
        rising = rising && key >= last;
        last = key;
        out[k].key = key;
        out[k].value = ay + by * y[k];
    }
    if (!rising) std::stable_sort(run.begin(), run.end(), qcpLessThanSortKey<QCPGraphData>);
    pending_[static_cast<size_t>(index)].push_back(std::move(run));
    Queue();
}

void TChart::Flush(int index) const {
    auto& runs = pending_[static_cast<size_t>(index)];
    if (runs.empty()) return;
    auto data = Graph(index)->data();
    if (!data->isEmpty())
        runs.insert(runs.begin(), QVector<QCPGraphData>(data->constBegin(), data->constEnd()));
    if (runs.size() > 1) {
        // One pass over all runs at once: the run with the lowest next x gives
        // the next point.
        struct Head {
            const QCPGraphData* next;
            const QCPGraphData* end;
        };
        auto later = [](const Head& a, const Head& b) { return a.next->key > b.next->key; };
        std::vector<Head> heads;
        qsizetype total = 0;
        for (const auto& run : runs) {
            if (run.isEmpty()) continue;
            heads.push_back({run.constData(), run.constData() + run.size()});
            total += run.size();
        }
        QVector<QCPGraphData> merged(total);
        QCPGraphData* out = merged.data();
        std::make_heap(heads.begin(), heads.end(), later);
        while (!heads.empty()) {
            std::pop_heap(heads.begin(), heads.end(), later);
            Head& h = heads.back();
            *out++ = *h.next++;
            if (h.next == h.end)
                heads.pop_back();
            else
                std::push_heap(heads.begin(), heads.end(), later);
        }
        runs.assign(1, std::move(merged));
    }
    data->set(runs.front(), true);
    runs.clear();
}

void TChart::FlushAll() const {
    for (int i = 0; i < int(series_.size()); ++i) Flush(i);
}

int TChart::PointCount(int index) const {
    Flush(index);
    return Graph(index)->data()->size();
}

double TChart::PointX(int index, int point) const {
    Flush(index);
    return Graph(index)->data()->at(point)->key;
}

double TChart::PointY(int index, int point) const {
    Flush(index);
    return Graph(index)->data()->at(point)->value;
}

void TChart::SetActive(int index, bool active) {
    Graph(index)->setVisible(active);
    Queue();
}

bool TChart::Active(int index) const {
    return Graph(index)->visible();
}

void TChart::ColourPoint(int index, int point, const QColor& colour) {
    ColourPoints(index, point, point, colour);
}

void TChart::ColourPoints(int index, int first, int last, const QColor& colour) {
    Flush(index);
    if (last < first) return;
    QCPGraph* g = Graph(index);
    QCPDataSelection marked = g->selection();
    const QCPDataRange range(first, last + 1);
    if (colour == SeriesColour(index)) {
        marked -= QCPDataSelection(range);
    } else {
        marked += range;
        QPen pen = g->pen();
        pen.setColor(colour);
        g->selectionDecorator()->setPen(pen);
        QCPScatterStyle scatter = g->scatterStyle();
        if (!scatter.isNone()) {
            scatter.setPen(QPen(colour));
            scatter.setBrush(colour);
            g->selectionDecorator()->setScatterStyle(scatter);
        }
    }
    g->setSelection(marked);
    Queue();
}

QColor TChart::PointColour(int index, int point) const {
    Flush(index);
    QCPGraph* g = Graph(index);
    if (g->selection().contains(QCPDataSelection(QCPDataRange(point, point + 1))))
        return g->selectionDecorator()->pen().color();
    return SeriesColour(index);
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

PlotRect TChart::PlotRectangle() const {
    const QRect r = plot_->axisRect()->rect();
    return {r.left() + plot_->x(), r.top() + plot_->y(), r.width(), r.bottom() + plot_->y()};
}
