#include "TChart.h"

#include <QImage>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "decimation.h"

namespace {
constexpr double MinimumSpan = 1e-10;

bool ByX(const kivo::PlotPoint& a, const kivo::PlotPoint& b) {
    return a.X < b.X;
}

// The pixels one dot lights around its own pixel, as the library's scatter
// style paints a dot (size 1) or a disc of this size at a whole pixel.
std::vector<kivo::PixelPoint> DotStamp(int size) {
    const int c = size + 2;
    QImage image(2 * c + 1, 2 * c + 1, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QCPPainter painter(&image);
        const QCPScatterStyle style(size <= 1 ? QCPScatterStyle::ssDot : QCPScatterStyle::ssDisc,
                                    Qt::white, Qt::white, size);
        style.applyTo(&painter, QPen(Qt::white));
        style.drawShape(&painter, c, c);
    }
    std::vector<kivo::PixelPoint> stamp;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) != 0) stamp.push_back({x - c, y - c});
    return stamp;
}

// A polyline broken where a point is not finite, as the library draws one.
void DrawPolyline(QCPPainter* painter, const QPointF* points, int count) {
    int start = 0;
    for (int k = 0; k < count; ++k) {
        if (std::isfinite(points[k].x()) && std::isfinite(points[k].y())) continue;
        painter->drawPolyline(points + start, k - start);
        start = k + 1;
    }
    painter->drawPolyline(points + start, count - start);
}

// What a picture was drawn for: both axis ranges and the plot area.
struct View {
    QCPRange X, Y;
    QRect Area;
    bool operator==(const View& o) const { return X == o.X && Y == o.Y && Area == o.Area; }
    kivo::AxisScale ScaleX() const {
        return {X.lower, X.size(), double(Area.width()), double(Area.left()), false};
    }
    kivo::AxisScale ScaleY() const {
        return {Y.lower, Y.size(), double(Area.height()), double(Area.bottom()), true};
    }
};

// The pixels of points in this view.
kivo::ScaledPoints ScaledOf(const kivo::PlotPoint* points, const View& view) {
    return {points, view.ScaleX(), view.ScaleY()};
}
kivo::ScaledFloats ScaledOf(const kivo::MappedPoints& points, const View& view) {
    return {points, view.ScaleX(), view.ScaleY()};
}
} // namespace

// One series: every point it was given, and the picture drawn of them.
//
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
    ChartSeries(QCustomPlot* plot, QCPLayer* layer, const QColor& colour, int dotSize)
        : QCPLayerable(plot, layer->name()), colour_(colour), dotSize_(dotSize) {
        if (dotSize_ > 0) stamp_ = DotStamp(dotSize_);
    }

    int Count() const {
        int n = int(points_.size());
        for (const Run& r : runs_) n += r.Count;
        return n;
    }
    kivo::PlotPoint At(int k) {
        if (OneRun()) return Mapped(runs_.front())[k];
        InRisingX();
        return points_[size_t(k)];
    }
    void Clear() {
        // Kept aside when it is a single run, to be known again.
        hasPrevious_ = OneRun();
        if (hasPrevious_) {
            previous_ = runs_.front();
            previousXs_.swap(xs_);
            previousYs_.swap(ys_);
            previousWhole_.swap(whole_);
        }
        xs_.clear();
        ys_.clear();
        runs_.clear();
        points_.clear();
        marked_ = QCPDataSelection();
        PointsChanged();
    }
    // Points k = 0..count-1 at (ax + bx * x[k], ay + by * y[k]).
    void AddRun(const float* x, const float* y, int count, double ax, double bx, double ay,
                double by);
    int Insert(double x, double y) {
        InRisingX();
        // A point goes after those of equal x.
        const auto at =
            std::upper_bound(points_.begin(), points_.end(), kivo::PlotPoint{x, y}, ByX);
        const int index = int(at - points_.begin());
        points_.insert(at, {x, y});
        PointsChanged();
        return index;
    }

    QColor Colour() const { return colour_; }
    void SetColour(const QColor& colour) { colour_ = colour; }
    void SetWidth(int width) { width_ = width; }
    void Mark(int first, int last, const QColor& colour) {
        if (!OneRun()) InRisingX();
        const QCPDataRange range(first, last + 1);
        if (colour == colour_) {
            marked_ -= QCPDataSelection(range);
        } else {
            marked_ += range;
            markColour_ = colour;
        }
        current_ = false;
    }
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
    View CurrentView() const {
        return {parentPlot()->xAxis->range(), parentPlot()->yAxis->range(), clipRect()};
    }
    void PointsChanged() {
        current_ = false;
        whole_.clear();
    }
    void SetView(const View& view) {
        if (view == view_) return;
        view_ = view;
        PointsChanged();
        hasPrevious_ = false;
    }
    bool SameAsBefore(const float* x, const float* y, const Run& run) const;
    void Picture(const View& view);
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
    View view_;
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

void ChartSeries::AddRun(const float* x, const float* y, int count, double ax, double bx, double ay,
                         double by) {
    const View view = CurrentView();
    SetView(view);
    const bool line = dotSize_ == 0, first = Count() == 0;
    Run run{int(xs_.size()), count, ax, bx, ay, by, true};
    if (line && first && SameAsBefore(x, y, run)) {
        runs_.assign(1, previous_);
        xs_.swap(previousXs_);
        ys_.swap(previousYs_);
        whole_.swap(previousWhole_);
        hasPrevious_ = false;
        Picture(view);
        return;
    }
    if (line) PointsChanged();
    for (std::vector<float>* pool : {&xs_, &ys_})
        if (pool->capacity() < pool->size() + size_t(count))
            pool->reserve(std::max(pool->size() + size_t(count), 2 * pool->capacity()));
    // The only run of a line is thinned while it is stored, a block at a time
    // while the points are at hand: what is in view, and the first point
    // beyond either side for the lines that leave it.
    const bool thin = line && first;
    const kivo::MappedPoints points{xs_.data() + run.First, ys_.data() + run.First, ax, bx, ay, by};
    kivo::LineThinner<kivo::ScaledFloats> thinner({points, view.ScaleX(), view.ScaleY()}, whole_);
    constexpr int Block = 512;
    int from = -1, to = -1, fed = 0;
    double last = ax + bx * x[0];
    for (int b = 0; b < count; b += Block) {
        const int e = std::min(count, b + Block);
        xs_.insert(xs_.end(), x + b, x + e);
        ys_.insert(ys_.end(), y + b, y + e);
        for (int k = b; k < e; ++k) {
            const double key = points[k].X;
            run.Rising = run.Rising && key >= last;
            last = key;
            if (from < 0 && key >= view.X.lower) from = std::max(0, k - 1);
            if (to < 0 && key > view.X.upper) to = k + 1;
        }
        if (!thin || from < 0) continue;
        const int end = to < 0 ? e : std::min(to, e);
        if (std::max(fed, from) < end) thinner.Add(std::max(fed, from), end);
        fed = end;
    }
    // Every point left of the view: the last one leaves it.
    if (thin && from < 0) thinner.Add(count - 1, count);
    thinner.Finish();
    if (!run.Rising && line) PointsChanged();
    runs_.push_back(run);
    // Dots are added to their picture; a line's picture is made from what
    // was kept.
    Picture(view);
}

bool ChartSeries::SameAsBefore(const float* x, const float* y, const Run& run) const {
    // Bit for bit: -0 and 0 differ, and a point that is not a number never
    // matches itself.
    const auto same = [](double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; };
    const size_t bytes = size_t(run.Count) * sizeof(float);
    return hasPrevious_ && previous_.Count == run.Count && same(previous_.Ax, run.Ax) &&
           same(previous_.Bx, run.Bx) && same(previous_.Ay, run.Ay) && same(previous_.By, run.By) &&
           std::memcmp(previousXs_.data(), x, bytes) == 0 &&
           std::memcmp(previousYs_.data(), y, bytes) == 0;
}

void ChartSeries::InRisingX() {
    if (runs_.empty()) return;
    // Every run in doubles after the points, each in rising x, then merged
    // pairwise, level by level; on equal x the earlier one stays first.
    std::vector<size_t> ends;
    if (!points_.empty()) ends.push_back(points_.size());
    for (const Run& r : runs_) {
        const kivo::MappedPoints run = Mapped(r);
        const size_t from = points_.size();
        for (int k = 0; k < r.Count; ++k) points_.push_back(run[k]);
        if (!r.Rising) std::stable_sort(points_.begin() + std::ptrdiff_t(from), points_.end(), ByX);
        ends.push_back(points_.size());
    }
    runs_.clear();
    xs_.clear();
    ys_.clear();
    std::vector<kivo::PlotPoint> merged;
    while (ends.size() > 1) {
        merged.resize(points_.size());
        std::vector<size_t> next;
        size_t begin = 0;
        for (size_t r = 0; r < ends.size(); r += 2) {
            const size_t middle = ends[r];
            const size_t end = r + 1 < ends.size() ? ends[r + 1] : middle;
            const auto at = [&](size_t k) { return points_.begin() + std::ptrdiff_t(k); };
            std::merge(at(begin), at(middle), at(middle), at(end),
                       merged.begin() + std::ptrdiff_t(begin), ByX);
            next.push_back(end);
            begin = end;
        }
        points_.swap(merged);
        ends.swap(next);
    }
}

void ChartSeries::Picture(const View& view) {
    SetView(view);
    if (current_ && pictured_ == Count()) return;
    // New dots on an unmarked cloud only add their pixels.
    if (current_ && dotSize_ > 0 && marked_.isEmpty() && points_.empty()) {
        const size_t from = dots_.size();
        for (int r = 0, seen = 0; r < int(runs_.size()); seen += runs_[size_t(r)].Count, ++r)
            if (seen >= pictured_)
                pixels_.Add(ScaledOf(Mapped(runs_[size_t(r)]), view), 0, runs_[size_t(r)].Count);
        for (size_t k = from; k < pixels_.Lit().size(); ++k)
            dots_.emplace_back(pixels_.Lit()[k].X, pixels_.Lit()[k].Y);
    } else if (dotSize_ > 0) {
        DotPicture();
    } else if (OneRun()) {
        LinePicture(Mapped(runs_.front()));
    } else {
        InRisingX();
        LinePicture(points_.data());
    }
    pictured_ = Count();
    current_ = true;
}

void ChartSeries::draw(QCPPainter* painter) {
    Picture(CurrentView());
    if (dotSize_ > 0) {
        painter->setPen(QPen(colour_, 0));
        painter->drawPoints(dots_.data(), int(dots_.size()));
        painter->setPen(QPen(markColour_, 0));
        painter->drawPoints(markedDots_.data(), int(markedDots_.size()));
        return;
    }
    // A line of one pixel is drawn with a cosmetic pen, as the library does.
    QPen pen(colour_, width_ == 1 ? 0 : width_);
    for (const Stretch& s : stretches_) {
        pen.setColor(s.Marked ? markColour_ : colour_);
        painter->setPen(pen);
        DrawPolyline(painter, line_.data() + s.First, s.Last - s.First);
    }
}

template <class Points> void ChartSeries::LinePicture(const Points& points) {
    line_.clear();
    stretches_.clear();
    const int n = Count();
    if (n == 0) return;
    // What is in view, and the first point beyond each side for the lines
    // that leave it.
    auto firstAbove = [&](double key, bool orEqual) {
        int lo = 0, hi = n;
        while (lo < hi) {
            const int mid = (lo + hi) / 2;
            const double at = points[mid].X;
            if (at < key || (!orEqual && at == key))
                lo = mid + 1;
            else
                hi = mid;
        }
        return lo;
    };
    const int from = std::max(0, firstAbove(view_.X.lower, true) - 1);
    const int to = std::min(n, firstAbove(view_.X.upper, false) + 1);
    const auto pixels = ScaledOf(points, view_);
    if (whole_.empty()) kivo::LinePoints(pixels, from, to, whole_);
    auto stretch = [&](int first, int last, bool marked) {
        first = std::max(first, from);
        last = std::min(last, to);
        if (first >= last) return;
        kept_.clear();
        kivo::LinePointsWithin(pixels, first, last, whole_, kept_);
        const int start = int(line_.size());
        for (const kivo::KeptPoint& k : kept_) line_.emplace_back(k.X, k.Y);
        stretches_.push_back({start, int(line_.size()), marked});
    };
    // An unmarked stretch reaches to the marked points on either side; the
    // marked ones are drawn over it.
    for (const QCPDataRange& r : marked_.inverse(QCPDataRange(0, n)).dataRanges())
        stretch(r.begin() - 1, r.end() + 1, false);
    for (const QCPDataRange& r : marked_.dataRanges()) stretch(r.begin(), r.end(), true);
}

void ChartSeries::DotPicture() {
    if (!marked_.isEmpty()) {
        InRisingX();
        AddDots(marked_.inverse(QCPDataRange(0, Count())), dots_);
        AddDots(marked_.intersection(QCPDataRange(0, Count())), markedDots_);
        return;
    }
    // No marks: the runs in any order light the same pixels.
    const QRect area = view_.Area.translated(0, -1);
    pixels_.Start({area.left(), area.top(), area.width(), area.height()}, stamp_);
    pixels_.Add(ScaledOf(points_.data(), view_), 0, int(points_.size()));
    for (const Run& r : runs_) pixels_.Add(ScaledOf(Mapped(r), view_), 0, r.Count);
    dots_.clear();
    for (const kivo::PixelPoint& p : pixels_.Lit()) dots_.emplace_back(p.X, p.Y);
    markedDots_.clear();
}

void ChartSeries::AddDots(const QCPDataSelection& part, std::vector<QPoint>& out) {
    // The layer clips a pixel higher than the plot area.
    const QRect area = view_.Area.translated(0, -1);
    pixels_.Start({area.left(), area.top(), area.width(), area.height()}, stamp_);
    for (const QCPDataRange& r : part.dataRanges())
        pixels_.Add(ScaledOf(points_.data(), view_), r.begin(), r.end());
    out.clear();
    for (const kivo::PixelPoint& p : pixels_.Lit()) out.emplace_back(p.X, p.Y);
}

TChart::TChart(QWidget* parent) : QWidget(parent), plot_(new QCustomPlot(this)) {
    setObjectName(QStringLiteral("Chart1"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(plot_);
    plot_->setBackground(Qt::black);
    plot_->axisRect()->setBackground(Qt::black);
    plot_->legend->setVisible(false);
    // 1-pixel pens without antialiasing, lines drawn as whole polylines.
    plot_->setNotAntialiasedElements(QCP::aeAll);
    for (QCPAxis* axis : {plot_->xAxis, plot_->yAxis}) {
        axis->setBasePen(QPen(Qt::white));
        axis->setTickPen(QPen(Qt::white));
        axis->setSubTickPen(QPen(Qt::white));
        axis->setTickLabelColor(Qt::white);
        axis->grid()->setPen(QPen(QColor(90, 90, 90), 1, Qt::DotLine));
    }
    // Layers with buffers of their own, so that a key that changes only the
    // preview dots or the cursors repaints them alone: dots under the lines
    // of the spectra, marks over them. The unused overlay shares a buffer.
    plot_->addLayer(QStringLiteral("dots"), plot_->layer(QStringLiteral("grid")));
    plot_->addLayer(QStringLiteral("marks"), plot_->layer(QStringLiteral("main")));
    dots_ = plot_->layer(QStringLiteral("dots"));
    marks_ = plot_->layer(QStringLiteral("marks"));
    for (QCPLayer* layer : {dots_, plot_->layer(QStringLiteral("main")), marks_})
        layer->setMode(QCPLayer::lmBuffered);
    plot_->layer(QStringLiteral("overlay"))->setMode(QCPLayer::lmLogical);
    plot_->setCurrentLayer(QStringLiteral("main"));
    SetAxesVisible(false);
    connect(plot_, &QCustomPlot::mousePress, this, [this](QMouseEvent* e) {
        if (OnMouseDown) OnMouseDown(e->button(), int(e->position().x()), int(e->position().y()));
    });
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
    return AddSeries(colour, 0, layer == ChartLayer::Marks ? marks_ : plot_->layer("main"));
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

PlotRect TChart::PlotRectangle() const {
    const QRect r = plot_->axisRect()->rect();
    return {r.left() + plot_->x(), r.top() + plot_->y(), r.width(), r.bottom() + plot_->y()};
}
