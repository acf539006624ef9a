// What the chart shows, pixel by pixel: every dot of a preview, the extremes
// of long lines in their colours, and a repaint of only the layer that changed.
#include <QImage>
#include <QPainter>
#include <QTest>
#include <cmath>
#include <set>
#include <utility>
#include <vector>

#include <qcustomplot.h>

#include "TChart.h"
#include "harness.h"

namespace {

const QColor Fuchsia(255, 0, 255);
const QColor Purple(128, 0, 128);

class ChartTest : public FormTest {
protected:
    TChart* chart() const { return form->Ui.Chart1; }
    // Only the given series shown, on fixed ranges.
    void ShowOnly(int series) {
        for (int i = 0; i < chart()->SeriesCount(); ++i) chart()->SetActive(i, i == series);
        chart()->SetRange(ChartAxis::Bottom, 0, 1000);
        chart()->SetRange(ChartAxis::Left, -100, 100);
    }
    QImage Shown() {
        chart()->RepaintNow();
        return chart()->Surface()->grab().toImage();
    }
    // The pixel a point is drawn at, as the axes place it.
    QPointF At(double x, double y) const {
        return {chart()->Surface()->xAxis->coordToPixel(x),
                chart()->Surface()->yAxis->coordToPixel(y)};
    }
    QRect Inside() const { return chart()->Surface()->axisRect()->rect().translated(0, -1); }
};

QPoint Nearest(QPointF p) {
    return {int(std::lround(p.x())), int(std::lround(p.y()))};
}

// Whether a pixel of this colour lies within a pixel of p.
bool NearColour(const QImage& image, QPoint p, const QColor& colour) {
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (image.pixelColor(p + QPoint(dx, dy)) == colour) return true;
    return false;
}

int Count(const QImage& image, const QColor& colour) {
    int n = 0;
    for (int py = 0; py < image.height(); ++py)
        for (int px = 0; px < image.width(); ++px) n += image.pixelColor(px, py) == colour;
    return n;
}

} // namespace

TEST_F(ChartTest, EveryDotOfAPreviewShowsAndNothingElse) {
    const int dots = ViewState::PointSeries1;
    ShowOnly(dots);
    // 20 runs of 15000 points, as the base line previews 20 spectra, some
    // of them out of range.
    std::vector<float> x(15000), y(15000);
    std::set<std::pair<int, int>> expected;
    for (int run = 0; run < 20; ++run) {
        for (int k = 0; k < 15000; ++k) {
            x[size_t(k)] = float(k / 15.0);
            y[size_t(k)] = float(90 * std::sin(k / 900.0 + run) + 7 * std::sin(k * 1.7));
        }
        y[100] = 150;
        chart()->AddPoints(dots, x.data(), y.data(), 15000, 0.5 * run, 1, 2, 1.1);
        for (int k = 0; k < 15000; ++k) {
            const QPoint p = Nearest(At(0.5 * run + x[size_t(k)], 2 + 1.1 * y[size_t(k)]));
            if (Inside().contains(p)) expected.insert({p.x(), p.y()});
        }
    }
    const QImage image = Shown();
    std::set<std::pair<int, int>> lit;
    for (int py = 0; py < image.height(); ++py)
        for (int px = 0; px < image.width(); ++px)
            if (image.pixelColor(px, py) == Fuchsia) lit.insert({px, py});
    EXPECT_EQ(lit, expected);
    EXPECT_GT(expected.size(), 20000u);
}

TEST_F(ChartTest, BigPointsAreDiscsAroundTheirPixels) {
    const int big = ViewState::PointSeries2;
    ShowOnly(big);
    const float x[] = {101, 101.2f, 503, 907};
    const float y[] = {3, 3.1f, 51, -47};
    chart()->AddPoints(big, x, y, 4, 0, 1, 0, 1);
    const QImage image = Shown();
    // The library's disc of two pixels at a whole pixel: the pixel and its
    // four neighbours. Two points in one pixel make one disc.
    EXPECT_EQ(Count(image, Fuchsia), 3 * 5);
    for (int k : {0, 2, 3}) {
        const QPoint p = Nearest(At(x[k], y[k]));
        for (QPoint d : {QPoint(0, 0), QPoint(1, 0), QPoint(-1, 0), QPoint(0, 1), QPoint(0, -1)})
            EXPECT_EQ(image.pixelColor(p + d), Fuchsia) << k;
    }
}

TEST_F(ChartTest, LongLinesKeepSinglePointSpikesInTheirColours) {
    const int line = form->View.SpecSeries[1];
    ShowOnly(line);
    std::vector<float> x(15000), y(15000);
    for (int k = 0; k < 15000; ++k) {
        x[size_t(k)] = float(k / 15.0);
        y[size_t(k)] = float(5 * std::sin(k / 700.0) + 3 * std::sin(k * 2.3));
    }
    y[3000] = 90;   // up, in the spectrum's colour
    y[7001] = -90;  // down
    y[12000] = 85;  // up, inside a purple range
    y[14500] = -80; // down, the last point of a purple range
    chart()->AddPoints(line, x.data(), y.data(), 15000, 0, 1, 0, 1);
    chart()->ColourPoints(line, 11950, 12050, Purple);
    chart()->ColourPoints(line, 14400, 14500, Purple);
    const QColor own = chart()->SeriesColour(line);
    const QImage image = Shown();
    for (auto [k, colour] : std::vector<std::pair<int, QColor>>{
             {3000, own}, {7001, own}, {12000, Purple}, {14500, Purple}})
        EXPECT_TRUE(NearColour(image, Nearest(At(x[size_t(k)], y[size_t(k)])), colour)) << k;

    // Against the whole line drawn point by point: no lit pixel lost or
    // added beyond a neighbouring one.
    QImage whole(image.size(), QImage::Format_RGB32);
    whole.fill(Qt::black);
    {
        QPainter painter(&whole);
        painter.setClipRect(Inside());
        painter.setPen(QPen(Qt::white, 0));
        std::vector<QPointF> points;
        for (int k = 0; k < 15000; ++k) points.push_back(At(x[size_t(k)], y[size_t(k)]));
        painter.drawPolyline(points.data(), int(points.size()));
    }
    int lost = 0, added = 0, lit = 0;
    const QRect inner = Inside().adjusted(1, 1, -1, -1);
    for (int py = inner.top(); py <= inner.bottom(); ++py)
        for (int px = inner.left(); px <= inner.right(); ++px) {
            const bool drawn = image.pixelColor(px, py) != Qt::black;
            const bool there = whole.pixelColor(px, py) != Qt::black;
            lit += there;
            if (there && !drawn && !NearColour(image, {px, py}, own) &&
                !NearColour(image, {px, py}, Purple))
                ++lost;
            if (drawn && !there && !NearColour(whole, {px, py}, Qt::white)) ++added;
        }
    EXPECT_EQ(lost, 0);
    EXPECT_EQ(added, 0);
    EXPECT_GT(lit, 2000);
}

TEST_F(ChartTest, AKeyRepaintsTheCursorAndThePreviewWhereTheyAreNow) {
    WriteSpectrum("a.esr", 400);
    ReadFiles({"a.esr"});
    Key(Qt::Key_3);
    const int cursor = form->View.AuxSeries[1];
    // A vertical line is drawn in the pixel column its x falls in.
    const int before = int(std::floor(At(chart()->PointX(cursor, 0), 0).x()));
    QImage image = Shown();
    auto whiteRows = [&](int column) {
        int n = 0;
        for (int py = Inside().top(); py <= Inside().bottom(); ++py)
            n += image.pixelColor(column, py) == Qt::white;
        return n;
    };
    EXPECT_GT(whiteRows(before), Inside().height() / 2);
    EXPECT_GT(Count(image, Fuchsia), 100);
    Key(Qt::Key_Right);
    const int after = int(std::floor(At(chart()->PointX(cursor, 0), 0).x()));
    ASSERT_GT(after, before + 2);
    image = Shown();
    EXPECT_GT(whiteRows(after), Inside().height() / 2);
    EXPECT_LE(whiteRows(before), 2) << "the old cursor is still drawn";
    // Esc commits the base line: the preview dots are gone from the screen.
    Key(Qt::Key_Escape);
    EXPECT_EQ(Count(Shown(), Fuchsia), 0);
}

TEST_F(ChartTest, ALineRefilledWithOtherPointsShowsThem) {
    const int line = form->View.SpecSeries[2];
    ShowOnly(line);
    std::vector<float> x(15000), y(15000, 0.f);
    for (int k = 0; k < 15000; ++k) x[size_t(k)] = float(k / 15.0);
    chart()->AddPoints(line, x.data(), y.data(), 15000, 0, 1, -0.0, 1);
    Shown();
    // A redraw gives the same points again, but for one that changed and a
    // zero that is now negative (kept through the shift of -0).
    chart()->Clear(line);
    y[5000] = 60;
    y[10] = -0.f;
    chart()->AddPoints(line, x.data(), y.data(), 15000, 0, 1, -0.0, 1);
    ASSERT_EQ(chart()->PointCount(line), 15000);
    EXPECT_EQ(chart()->PointY(line, 5000), 60);
    EXPECT_TRUE(std::signbit(chart()->PointY(line, 10)));
    const QImage image = Shown();
    EXPECT_TRUE(NearColour(image, Nearest(At(x[5000], 60)), chart()->SeriesColour(line)));
    // The same points once more: the same line.
    chart()->Clear(line);
    chart()->AddPoints(line, x.data(), y.data(), 15000, 0, 1, -0.0, 1);
    EXPECT_EQ(chart()->PointY(line, 5000), 60);
    EXPECT_EQ(Shown(), image);
}
