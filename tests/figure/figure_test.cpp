// Figures for print: where the curves, the ticks and the legend go, and the
// files: their size, their fonts, their resolution.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <cmath>
#include <functional>

#include "figure.h"
#include "figure_files.h"

using namespace kivo;
using namespace kivo::figure;

namespace {

constexpr double PtPerCm = 72 / 2.54;

// A spectrum made of a function of the field.
struct Spectrum {
    QString Caption;
    std::vector<float> X, Y;
    Spectrum(QString caption, double from, double to, int n, const std::function<double(double)>& f)
        : Caption(std::move(caption)) {
        for (int k = 0; k < n; ++k) {
            const double x = from + (to - from) * k / (n - 1);
            X.push_back(float(x));
            Y.push_back(float(f(x)));
        }
    }
};

std::vector<Curve> Curves(const std::vector<Spectrum>& spectra) {
    std::vector<Curve> curves;
    for (const Spectrum& s : spectra)
        curves.push_back({s.Caption, s.X.data(), s.Y.data(), int(s.X.size())});
    return curves;
}

// A first-derivative line at centre of width w and height h.
std::function<double(double)> Derivative(double centre, double w, double h, double base = 0) {
    return [=](double x) {
        const double t = (x - centre) / w;
        return base - h * t * std::exp(0.5 - 0.5 * t * t);
    };
}

double LabelValue(QString text) {
    return text.replace(QChar(0x2212), QLatin1Char('-')).toDouble();
}

// The page's y extent of a curve as drawn, top first.
std::pair<double, double> DrawnRows(const Arrangement& a, const Spectrum& s, const Trace& t) {
    double top = 1e300, bottom = -1e300;
    for (size_t k = 0; k < s.X.size(); ++k) {
        const double y = a.PageOf(s.X[k], s.Y[k] + t.Offset).y();
        top = std::min(top, y);
        bottom = std::max(bottom, y);
    }
    return {top, bottom};
}

} // namespace

TEST(FigureArrange, StackedCurvesDoNotOverlapAndKeepTheirOrder) {
    // Amplitudes of 2, 8 and 0.5 on baselines far apart; the second also
    // rises to one side.
    const std::vector<Spectrum> spectra = {
        {"a", 3300, 3400, 400, Derivative(3350, 5, 1)},
        {"b", 3250, 3450, 800, [](double x) { return 100 + Derivative(3340, 8, 3)(x) + x / 200; }},
        {"c", 3320, 3380, 100, Derivative(3350, 2, 0.25, -40)}};
    for (double step : {1.0, 1.2, 3.0}) {
        SCOPED_TRACE(step);
        FigureSettings s;
        s.Stack = step;
        const Arrangement a = Arrange(Curves(spectra), s);
        EXPECT_TRUE(a.SignalTicks.empty()); // no values on a stack
        EXPECT_TRUE(a.CaptionsBeside);
        EXPECT_TRUE(a.Legend.isEmpty());
        for (size_t i = 0; i < spectra.size(); ++i) {
            const auto [top, bottom] = DrawnRows(a, spectra[i], a.Traces[i]);
            EXPECT_GE(top, a.Plot.top()) << i;
            EXPECT_LE(bottom, a.Plot.bottom()) << i;
            if (i == 0) continue;
            // The one before stands wholly above this one.
            const double above = DrawnRows(a, spectra[i - 1], a.Traces[i - 1]).second;
            EXPECT_LT(above, top) << i;
        }
    }
    FigureSettings overlaid;
    const Arrangement a = Arrange(Curves(spectra), overlaid);
    for (const Trace& t : a.Traces) EXPECT_EQ(t.Offset, 0);
    EXPECT_FALSE(a.SignalTicks.empty());
}

TEST(FigureArrange, TicksNameTheFieldWhereTheyStandAndLeaveRoom) {
    struct Case {
        double WidthCm, From, To;
        FieldUnit Unit;
        const char* First; // the first label
        size_t Least;      // labels at least
    };
    const Case cases[] = {{8.5, 3250, 3450, FieldUnit::Gauss, "3250", 4},
                          {8.5, 3250, 3450, FieldUnit::Millitesla, "325", 4},
                          {17.8, 3000, 3700, FieldUnit::Gauss, "3000", 6},
                          {8.5, 0, 10000, FieldUnit::Gauss, "0", 3},
                          {8.5, 3349.1, 3350.3, FieldUnit::Gauss, "3349.5", 2},
                          {4, 3300, 3400, FieldUnit::Millitesla, "330", 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.First);
        const std::vector<Spectrum> spectra = {{"s", c.From, c.To, 300, Derivative(c.From, 1, 1)}};
        FigureSettings s;
        s.WidthCm = c.WidthCm;
        s.Unit = c.Unit;
        const Arrangement a = Arrange(Curves(spectra), s);
        const double unit = c.Unit == FieldUnit::Millitesla ? 0.1 : 1;
        EXPECT_EQ(a.FieldLabel,
                  c.Unit == FieldUnit::Gauss ? "Magnetic field, G" : "Magnetic field, mT");
        EXPECT_DOUBLE_EQ(a.FieldFrom, float(c.From) * unit);
        ASSERT_GE(a.FieldTicks.size(), c.Least);
        EXPECT_LE(a.FieldTicks.size(), 8u);
        EXPECT_EQ(a.FieldTicks[0].Text, QLatin1String(c.First));
        for (size_t i = 0; i < a.FieldTicks.size(); ++i) {
            const Tick& t = a.FieldTicks[i];
            const double value = LabelValue(t.Text);
            EXPECT_NEAR(a.PageOf(value / unit, 0).x(), t.At, 1e-6) << t.Text.toStdString();
            EXPECT_GE(t.At, a.Plot.left() - 1e-6);
            EXPECT_LE(t.At, a.Plot.right() + 1e-6);
            if (i > 0) {
                EXPECT_GE(t.At - a.FieldTicks[i - 1].At, 0.9 * PtPerCm);
            }
        }
        // Minor ticks between, none on a labelled one.
        EXPECT_GT(a.FieldMinorTicks.size(), a.FieldTicks.size());
        for (double m : a.FieldMinorTicks)
            for (const Tick& t : a.FieldTicks) EXPECT_GT(std::abs(m - t.At), 1.0);
    }
}

TEST(FigureArrange, LargeSignalsAreLabelledAsMultiplesOfAPowerOfTen) {
    struct Case {
        double Height;
        const char* Factor;
    };
    for (const Case& c : {Case{2.5e5, "×10⁵"}, Case{3e-4, "×10⁻⁴"}, Case{800, ""}}) {
        SCOPED_TRACE(c.Factor);
        const std::vector<Spectrum> spectra = {
            {"s", 3300, 3400, 300, Derivative(3350, 5, c.Height)}};
        const Arrangement a = Arrange(Curves(spectra), FigureSettings());
        EXPECT_EQ(a.SignalFactor, QString::fromUtf8(c.Factor));
        const double scale =
            a.SignalFactor.isEmpty() ? 1 : std::pow(10, std::floor(std::log10(c.Height)));
        ASSERT_GE(a.SignalTicks.size(), 3u);
        for (const Tick& t : a.SignalTicks)
            EXPECT_NEAR(a.PageOf(0, LabelValue(t.Text) * scale).y(), t.At, 1e-6)
                << t.Text.toStdString();
    }
}

TEST(FigureArrange, TheLegendCoversNoCurve) {
    struct Case {
        const char* What;
        LegendPlace Place;
        int Count;                           // spectra of the shape below
        std::function<double(double)> Shape; // over 3300..3400
        const char* Where;                   // "inside", "outside" or "none"
    };
    const auto line = Derivative(3350, 4, 1);
    // A zigzag over the whole height at every field: no corner is free.
    const auto zigzag = [](double x) { return std::fmod(std::round(x * 4), 2.0); };
    const auto rising = [](double x) { return (x - 3350) * (x - 3350); };
    const Case cases[] = {
        {"a line in the middle", LegendPlace::FreeCorner, 3, line, "inside"},
        {"curves up at both ends", LegendPlace::FreeCorner, 2, rising, "inside"},
        {"a zigzag, a tall legend", LegendPlace::FreeCorner, 9, zigzag, "outside"},
        {"outside asked", LegendPlace::Outside, 2, line, "outside"},
        {"none asked", LegendPlace::None, 2, line, "none"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        std::vector<Spectrum> spectra;
        for (int i = 0; i < c.Count; ++i)
            spectra.emplace_back(QStringLiteral("spectrum %1").arg(i), 3300, 3400, 401,
                                 [&c, i](double x) { return c.Shape(x) * (1 + 0.1 * i); });
        FigureSettings s;
        s.Legend = c.Place;
        const Arrangement a = Arrange(Curves(spectra), s);
        const QString where = a.Legend.isEmpty()                 ? "none"
                              : a.Legend.left() > a.Plot.right() ? "outside"
                              : a.Plot.contains(a.Legend)        ? "inside"
                                                                 : "astray";
        EXPECT_EQ(where, QLatin1String(c.Where));
        EXPECT_LE(a.Legend.right(), a.Page.width());
        EXPECT_LE(a.Legend.bottom(), a.Page.height());
        for (size_t i = 0; i < spectra.size(); ++i)
            for (size_t k = 0; k < spectra[i].X.size(); ++k)
                EXPECT_FALSE(a.Legend.contains(a.PageOf(spectra[i].X[k], spectra[i].Y[k])))
                    << i << " " << k;
    }
}

TEST(FigureFile, PagesFontsAndPixelsAreThoseAsked) {
    QTemporaryDir dir;
    const std::vector<Spectrum> spectra = {{"first", 3300, 3400, 500, Derivative(3350, 4, 1)},
                                           {"second", 3300, 3400, 500, Derivative(3345, 6, 2)}};
    struct Case {
        double Width, Height, Dpi;
    };
    for (const Case& c : {Case{8.5, 6.5, 600}, Case{17.8, 8, 300}, Case{5, 12.3, 150}}) {
        SCOPED_TRACE(c.Width);
        FigureSettings s;
        s.WidthCm = c.Width;
        s.HeightCm = c.Height;
        s.Dpi = c.Dpi;
        QString error;
        const QString name = dir.filePath(QString::number(c.Width));
        ASSERT_TRUE(WriteFigure(name + ".pdf", PictureFormat::Pdf, Curves(spectra), s, error))
            << error.toStdString();
        const QSizeF page = PdfPageSize(name + ".pdf");
        EXPECT_NEAR(page.width(), c.Width * PtPerCm, 0.001);
        EXPECT_NEAR(page.height(), c.Height * PtPerCm, 0.001);
        const auto fonts = PdfFonts(name + ".pdf");
        ASSERT_FALSE(fonts.empty());
        for (const auto& [font, embedded] : fonts) EXPECT_TRUE(embedded) << font.toStdString();

        ASSERT_TRUE(WriteFigure(name + ".svg", PictureFormat::Svg, Curves(spectra), s, error));
        const SvgFigure svg = ReadSvg(name + ".svg");
        EXPECT_EQ(svg.Width, QString::number(c.Width * 10) + "mm");
        EXPECT_EQ(svg.Height, QString::number(c.Height * 10) + "mm");
        EXPECT_EQ(svg.ViewBox, QStringLiteral("0 0 %1 %2").arg(c.Width * 100).arg(c.Height * 100));
        ASSERT_FALSE(svg.FontFamilies.isEmpty());
        for (const QString& family : svg.FontFamilies)
            EXPECT_TRUE(family.endsWith(QLatin1String(", sans-serif"))) << family.toStdString();
        EXPECT_TRUE(svg.TextContents().contains(QStringLiteral("second")));
        EXPECT_EQ(svg.Curves().size(), 2u);

        ASSERT_TRUE(WriteFigure(name + ".png", PictureFormat::Png, Curves(spectra), s, error));
        const QImage png(name + ".png");
        EXPECT_EQ(png.width(), std::lround(c.Width / 2.54 * c.Dpi));
        EXPECT_EQ(png.height(), std::lround(c.Height / 2.54 * c.Dpi));
        EXPECT_EQ(png.dotsPerMeterX(), std::lround(c.Dpi / 0.0254));
        EXPECT_EQ(png.pixelColor(1, 1), QColor(Qt::white));
    }
    // A PNG that would take gigabytes is refused, and nothing written.
    FigureSettings huge;
    huge.WidthCm = huge.HeightCm = 40;
    huge.Dpi = 1200;
    QString error;
    EXPECT_FALSE(
        WriteFigure(dir.filePath("huge.png"), PictureFormat::Png, Curves(spectra), huge, error));
    EXPECT_EQ(error, "18898 x 18898 pixels are too many; a smaller size or resolution");
    EXPECT_FALSE(QFile::exists(dir.filePath("huge.png")));
}

TEST(FigureArrange, TheGScaleStandsAboveTheFrameForTheFirstFrequency) {
    const std::vector<Spectrum> spectra = {{"plain", 3300, 3400, 400, Derivative(3350, 5, 1)},
                                           {"dpph", 3320, 3380, 300, Derivative(3352, 2, 1)}};
    std::vector<Curve> curves = Curves(spectra);
    curves[1].FrequencyGHz = 9.4012;
    for (FieldUnit unit : {FieldUnit::Gauss, FieldUnit::Millitesla}) {
        FigureSettings s;
        s.Unit = unit;
        const Arrangement plain = Arrange(curves, s);
        EXPECT_TRUE(plain.GTicks.empty());
        s.GScale = true;
        const Arrangement a = Arrange(curves, s);
        EXPECT_EQ(a.GLabel, QStringLiteral("g (9.4012 GHz)"));
        ASSERT_GE(a.GTicks.size(), 3u);
        // Room above the frame for the labels and the name; the field as before.
        EXPECT_GT(a.Plot.top(), plain.Plot.top() + 2 * s.FontPt);
        EXPECT_EQ(a.FieldFrom, plain.FieldFrom);
        for (const Tick& t : a.GTicks) {
            const double field = ResonanceField(9.4012, LabelValue(t.Text));
            EXPECT_NEAR(t.At, a.PageOf(field, 0).x(), 1e-9);
            EXPECT_GE(t.At, a.Plot.left());
            EXPECT_LE(t.At, a.Plot.right());
        }
    }
    // No spectrum with a frequency: no scale, and no room kept for it.
    curves[1].FrequencyGHz = 0;
    FigureSettings s;
    s.GScale = true;
    EXPECT_TRUE(Arrange(curves, s).GTicks.empty());
    EXPECT_EQ(Arrange(curves, s).Plot, Arrange(curves, FigureSettings{}).Plot);
}

// The g marks stand at the field of their g for the first frequency, in
// either unit; the axes' names follow the style, the ISO symbols drawn in
// italics; a mark that cannot be placed is refused with its reason.
TEST(FigureArrange, GMarksAndLabelStyles) {
    const std::vector<Spectrum> spectra = {{"plain", 3300, 3400, 400, Derivative(3350, 5, 1)},
                                           {"dpph", 3320, 3380, 300, Derivative(3352, 2, 1)}};
    std::vector<Curve> curves = Curves(spectra);
    curves[1].FrequencyGHz = 9.4012;
    const struct {
        FieldUnit Unit;
        AxisLabelStyle Style;
        const char16_t *Field, *Signal, *Mark;
    } cases[] = {
        {FieldUnit::Gauss, AxisLabelStyle::Words, u"Magnetic field, G", u"Signal, a.u.",
         u"g = 2.0036"},
        {FieldUnit::Millitesla, AxisLabelStyle::Iso, u"*B* / mT", u"d*χ*″/d*B* / a.u.",
         u"*g* = 2.0036"},
    };
    for (const auto& c : cases) {
        FigureSettings s;
        s.Unit = c.Unit;
        s.Labels = c.Style;
        s.MarkG = {2.0036, 2.01};
        const Arrangement a = Arrange(curves, s);
        EXPECT_EQ(a.FieldLabel, QString::fromUtf16(c.Field));
        EXPECT_EQ(a.SignalLabel, QString::fromUtf16(c.Signal));
        ASSERT_EQ(a.GMarks.size(), 2u);
        EXPECT_EQ(a.GMarks[0].Text, QString::fromUtf16(c.Mark));
        for (size_t i = 0; i < 2; ++i)
            EXPECT_NEAR(a.GMarks[i].At, a.PageOf(ResonanceField(9.4012, s.MarkG[i]), 0).x(), 1e-9);
        QString error;
        const QByteArray svg = DrawFigure(PictureFormat::Svg, curves, s, error);
        ASSERT_FALSE(svg.isEmpty()) << error.toStdString();
        // The symbol alone in italics, its unit upright.
        EXPECT_EQ(svg.contains("font-style=\"italic\""), c.Style == AxisLabelStyle::Iso);
    }
    FigureSettings s;
    s.MarkG = {1.5};
    QString error;
    EXPECT_TRUE(DrawFigure(PictureFormat::Svg, curves, s, error).isEmpty());
    EXPECT_EQ(error, QStringLiteral("a g marked lies outside the field drawn"));
    curves[1].FrequencyGHz = 0;
    s.MarkG = {2.0036};
    EXPECT_TRUE(DrawFigure(PictureFormat::Svg, curves, s, error).isEmpty());
    EXPECT_EQ(error, QStringLiteral("no spectrum with a frequency to mark g at"));
}
