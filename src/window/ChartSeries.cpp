#include "ChartSeries.h"

#include <QImage>
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

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

// Whether points k = 0..count-1 at (a + factor * x[k]) come in rising order:
// told by the floats themselves, as the map keeps their order (or turns it
// round, for a negative factor). Floats out of order whose points round to
// the same value are taken as falling, which costs only a sort.
bool Rising(const float* x, int count, double factor) {
    for (int k = 1; k < count && factor > 0; ++k)
        if (!(x[k] >= x[k - 1])) return false;
    for (int k = 1; k < count && factor < 0; ++k)
        if (!(x[k] <= x[k - 1])) return false;
    return true;
}

// The pixels of points in this view.
kivo::ScaledPoints ScaledOf(const kivo::PlotPoint* points, const ChartView& view) {
    return {points, view.ScaleX(), view.ScaleY()};
}
kivo::ScaledFloats ScaledOf(const kivo::MappedPoints& points, const ChartView& view) {
    return {points, view.ScaleX(), view.ScaleY()};
}
} // namespace

ChartSeries::ChartSeries(QCustomPlot* plot, QCPLayer* layer, const QColor& colour, int dotSize)
    : QCPLayerable(plot, layer->name()), colour_(colour), dotSize_(dotSize) {
    if (dotSize_ > 0) stamp_ = DotStamp(dotSize_);
}

kivo::PlotPoint ChartSeries::At(int k) {
    if (OneRun()) return Mapped(runs_.front())[k];
    InRisingX();
    return points_[size_t(k)];
}

void ChartSeries::Clear() {
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

int ChartSeries::Insert(double x, double y) {
    InRisingX();
    const auto at = std::upper_bound(points_.begin(), points_.end(), kivo::PlotPoint{x, y}, ByX);
    const int index = int(at - points_.begin());
    points_.insert(at, {x, y});
    PointsChanged();
    return index;
}

void ChartSeries::Mark(int first, int last, const QColor& colour) {
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

void ChartSeries::AddRun(const float* x, const float* y, int count, double ax, double bx, double ay,
                         double by) {
    const ChartView view = CurrentView();
    SetView(view);
    const bool line = dotSize_ == 0;
    Run run{int(xs_.size()), count, ax, bx, ay, by, true};
    if (line && Count() == 0 && SameAsBefore(x, y, run)) {
        runs_.assign(1, previous_);
        xs_.swap(previousXs_);
        ys_.swap(previousYs_);
        whole_.swap(previousWhole_);
        hasPrevious_ = false;
    } else {
        if (line) PointsChanged();
        run.Rising = Rising(x, count, bx);
        xs_.insert(xs_.end(), x, x + count);
        ys_.insert(ys_.end(), y, y + count);
        runs_.push_back(run);
    }
    // Now, while the points are still in the cache: dots are added to their
    // picture, a line is thinned.
    Picture(view);
}

bool ChartSeries::SameAsBefore(const float* x, const float* y, const Run& run) const {
    // Bit for bit: -0 and 0 differ, and a point that is not a number never
    // matches itself.
    const auto same = [](double a, double b) {
        return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
    };
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

void ChartSeries::Picture(const ChartView& view) {
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
        if (markedDots_.empty()) return;
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
