#include "figure.h"

#include <QBuffer>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QImage>
#include <QLineF>
#include <QPainter>
#include <QPdfWriter>
#include <QPolygonF>
#include <QSvgGenerator>
#include <algorithm>
#include <cmath>
#include <limits>

namespace kivo::figure {

namespace {

constexpr double PtPerCm = 72 / 2.54;
// A hundred units to the pt: the writer gives text whole units, and a text
// size of 7.25 pt is then exactly that.
constexpr double PdfDpi = 7200;
// A unit of 0.1 mm: the SVG's size in mm is then written exactly.
constexpr double SvgDpi = 254;
// A PNG larger than this would take gigabytes to draw.
constexpr double MaxPngPixels = 100e6;
constexpr double Infinity = std::numeric_limits<double>::infinity();

// DejaVu Sans, which Debian ships, read from its file so that the PDF embeds
// it; the desktop's own font where the file is missing.
QString FontFamily() {
    static const QString family = [] {
        const int id = QFontDatabase::addApplicationFont(
            QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"));
        // Its oblique for the symbols of quantities, rather than one slanted
        // by the painter.
        QFontDatabase::addApplicationFont(
            QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans-Oblique.ttf"));
        const QStringList families = QFontDatabase::applicationFontFamilies(id);
        return families.isEmpty() ? QFontDatabase::systemFont(QFontDatabase::GeneralFont).family()
                                  : families.first();
    }();
    return family;
}

// A label's runs: text between asterisks is italic (the symbol of a
// quantity), text in ^{...} raised and smaller (the power of a unit).
struct Run {
    QString Text;
    bool Italic = false, Raised = false;
};
constexpr double RaisedSize = 0.7; // of the text's size
constexpr double RaisedBy = 0.38;  // the text's size above the baseline

std::vector<Run> Runs(const QString& label) {
    std::vector<Run> runs;
    Run r;
    auto close = [&] {
        if (!r.Text.isEmpty()) runs.push_back(r);
        r.Text.clear();
    };
    for (qsizetype i = 0; i < label.size(); ++i) {
        const QChar c = label[i];
        if (c == QLatin1Char('*')) {
            close();
            r.Italic = !r.Italic;
        } else if (c == QLatin1Char('^') && i + 1 < label.size() && label[i + 1] == '{') {
            close();
            r.Raised = true;
            ++i;
        } else if (c == QLatin1Char('}') && r.Raised) {
            close();
            r.Raised = false;
        } else {
            r.Text += c;
        }
    }
    close();
    return runs;
}

// Sizes of text in pt, measured on the font a hundred times larger, where
// no rounding of small pixel sizes creeps in.
class Measure {
public:
    explicit Measure(double pt) : pt_(pt), metrics_(Font(pt)) {}
    double Width(const QString& s) const { return metrics_.horizontalAdvance(s) / Scale; }
    // The width of a label with its italic and raised runs.
    double RichWidth(const QString& label) const {
        double w = 0;
        for (const Run& r : Runs(label)) w += Width(r);
        return w;
    }
    double Width(const Run& r) const {
        return QFontMetricsF(Font(r.Raised ? RaisedSize * pt_ : pt_, r.Italic))
                   .horizontalAdvance(r.Text) /
               Scale;
    }
    double Ascent() const { return metrics_.ascent() / Scale; }
    double Descent() const { return metrics_.descent() / Scale; }
    double Height() const { return Ascent() + Descent(); }
    double CapHeight() const { return metrics_.capHeight() / Scale; }

private:
    static constexpr double Scale = 100;
    static QFont Font(double pt, bool italic = false) {
        QFont f(FontFamily());
        f.setPixelSize(int(std::lround(pt * Scale)));
        f.setItalic(italic);
        return f;
    }
    double pt_;
    QFontMetricsF metrics_;
};

// The print colours: Okabe and Ito's colour-blind-safe set without its
// yellow, which white paper swallows, the lightest last; then the same
// colours dashed, dotted... The black palette tells its lines apart by their
// dashes, then by two greys that still read on paper.
const QColor ColourBlind[] = {QColor(0x00, 0x72, 0xB2), QColor(0xD5, 0x5E, 0x00),
                              QColor(0x00, 0x9E, 0x73), QColor(0xCC, 0x79, 0xA7),
                              QColor(0x00, 0x00, 0x00), QColor(0xE6, 0x9F, 0x00),
                              QColor(0x56, 0xB4, 0xE9)};
const QColor Greys[] = {QColor(0x00, 0x00, 0x00), QColor(0x55, 0x55, 0x55),
                        QColor(0x88, 0x88, 0x88)};
// In line widths: solid, dashed, dotted, dash-dotted, long dashes,
// dash-dot-dotted, long and short dashes. With the colours or the greys
// they keep more than 20 lines apart.
const QList<qreal> Dashes[] = {{},      {5, 2.5},           {1, 1.6},     {5, 2, 1, 2},
                               {10, 3}, {5, 2, 1, 2, 1, 2}, {10, 2, 3, 2}};

void Style(size_t i, FigurePalette palette, Trace& t) {
    const size_t styles = std::size(Dashes);
    if (palette == FigurePalette::ColourBlind) {
        const size_t colours = std::size(ColourBlind);
        t.Colour = ColourBlind[i % colours];
        t.Dashes = Dashes[(i / colours) % styles];
    } else {
        t.Dashes = Dashes[i % styles];
        t.Colour = Greys[(i / styles) % std::size(Greys)];
    }
}

// A range of no width made one that can be drawn.
void Widen(double& lo, double& hi) {
    if (hi - lo > 1e-9 * std::max(std::abs(lo), std::abs(hi))) return;
    const double w = std::max(std::abs(lo) * 0.01, 1.0);
    lo -= w;
    hi += w;
}

const char16_t Superscripts[] = u"⁰¹²³⁴⁵⁶⁷⁸⁹";

QString Superscript(int e) {
    QString s = e < 0 ? QStringLiteral("⁻") : QString();
    for (QChar c : QString::number(std::abs(e))) s += QChar(Superscripts[c.digitValue()]);
    return s;
}

// A value as a label: a minus sign, never "-0".
QString Label(double v, int decimals) {
    QString s = QString::number(v, 'f', decimals);
    if (s.startsWith(QLatin1Char('-'))) {
        s.remove(0, 1);
        if (s.count(QLatin1Char('0')) + s.count(QLatin1Char('.')) == s.size()) return s;
        s.prepend(QChar(0x2212));
    }
    return s;
}

// Ticks at 1, 2, 2.5 or 5 times a power of ten, the smallest such step that
// leaves room between the labels: at least `least` pt, and their own size
// plus `gap` (along the axis: width for a horizontal axis, height else).
// at(v) is the page position of value v. Unlabelled minor ticks go to minor
// when it is given: fifths of the step, quarters of a step of 2.
template <class Position>
std::vector<Tick> Ticks(double from, double to, double length, double least, double gap,
                        bool horizontal, const Measure& text, Position at,
                        std::vector<double>* minor = nullptr) {
    std::vector<Tick> ticks;
    double step = 1, division = 5;
    for (int attempt = 0; attempt < 4; ++attempt) {
        const double wanted = least / length * (to - from);
        const double power = std::pow(10.0, std::floor(std::log10(wanted)));
        step = 10 * power;
        int decimals = 0;
        for (double m : {1.0, 2.0, 2.5, 5.0, 10.0})
            if (m * power >= wanted * (1 - 1e-9)) {
                step = m * power;
                division = m == 2.0 ? 4 : 5;
                decimals = std::max(0, -int(std::floor(std::log10(step) + 1e-9)) + (m == 2.5));
                break;
            }
        ticks.clear();
        double widest = 0;
        for (double n = std::ceil(from / step - 1e-9); n * step <= to + step * 1e-9; ++n) {
            const QString label = Label(n * step, decimals);
            widest = std::max(widest, horizontal ? text.Width(label) : text.Height());
            ticks.push_back({at(n * step), label});
        }
        if (widest + gap <= least + 1e-9) break;
        least = widest + gap;
    }
    if (minor) {
        minor->clear();
        const double small = step / division;
        for (double n = std::ceil(from / small - 1e-9); n * small <= to + small * 1e-9; ++n)
            if (std::fmod(n, division) != 0) minor->push_back(at(n * small));
    }
    return ticks;
}

// Whether the segment pq runs through r.
bool Meets(const QRectF& r, QPointF p, QPointF q) {
    if ((p.x() < r.left() && q.x() < r.left()) || (p.x() > r.right() && q.x() > r.right()) ||
        (p.y() < r.top() && q.y() < r.top()) || (p.y() > r.bottom() && q.y() > r.bottom()))
        return false;
    if (r.contains(p) || r.contains(q)) return true;
    const QLineF pq(p, q);
    const QLineF edges[] = {{r.topLeft(), r.topRight()},
                            {r.topRight(), r.bottomRight()},
                            {r.bottomRight(), r.bottomLeft()},
                            {r.bottomLeft(), r.topLeft()}};
    for (const QLineF& e : edges)
        if (pq.intersects(e, nullptr) == QLineF::BoundedIntersection) return true;
    return false;
}

// The page points of a curve as drawn, the values that are no numbers left out.
QPolygonF PagePoints(const Arrangement& a, const Curve& c, const Trace& t) {
    QPolygonF line;
    line.reserve(c.Count);
    for (int k = 0; k < c.Count; ++k)
        if (std::isfinite(c.Field[k]) && std::isfinite(c.Signal[k]))
            line << a.PageOf(c.Field[k], double(c.Signal[k]) + t.Offset);
    return line;
}

bool AnyCurveMeets(const Arrangement& a, const std::vector<Curve>& curves, const QRectF& r) {
    for (size_t i = 0; i < curves.size(); ++i) {
        const QPolygonF line = PagePoints(a, curves[i], a.Traces[i]);
        for (qsizetype k = 0; k < line.size(); ++k)
            if (Meets(r, line[k], line[std::min(k + 1, line.size() - 1)])) return true;
    }
    return false;
}

// The legend's geometry: a line sample and the caption, one row each, in as
// many columns as the plot's height needs.
struct LegendShape {
    double Sample, Gap, Row, Column;
    int Rows, Columns;
    QSizeF Size() const { return {Columns * Column + (Columns - 1) * Gap * 2, Rows * Row}; }
};

LegendShape ShapeLegend(const std::vector<Curve>& curves, const Measure& text, double font,
                        double height) {
    LegendShape s{2 * font, 0.5 * font, text.Height(), 0, 1, 1};
    double widest = 0;
    for (const Curve& c : curves) widest = std::max(widest, text.Width(c.Caption));
    s.Column = s.Sample + s.Gap + widest;
    const int n = int(curves.size());
    const int rows = std::max(1, int(std::floor(height / s.Row)));
    s.Columns = (n + rows - 1) / rows;
    s.Rows = (n + s.Columns - 1) / s.Columns;
    return s;
}

} // namespace

QPointF Arrangement::PageOf(double field, double signal) const {
    return {Plot.left() + (field * UnitPerG - FieldFrom) / (FieldTo - FieldFrom) * Plot.width(),
            Plot.bottom() - (signal - SignalFrom) / (SignalTo - SignalFrom) * Plot.height()};
}

namespace {

// Sizes of the figure's furniture, in pt, from its text size.
struct Furniture {
    explicit Furniture(double font)
        : Font(font), Tick(0.45 * font), Pad(0.35 * font), Edge(0.25 * font), Gap(0.6 * font),
          Inset(0.5 * font), Clear(0.25 * font) {}
    double Font;
    double Tick;  // the length of a tick outside the frame
    double Pad;   // between a tick and its label
    double Edge;  // between the page's edge and a label
    double Gap;   // between the frame and what stands right of it
    double Inset; // between the frame and a legend inside it
    double Clear; // around a legend, kept free of the curves
};

// The frame, the labels' room and the ticks for the ranges a holds, with
// `besides` pt kept right of the frame for captions or a legend.
void Place(Arrangement& a, const FigureSettings& s, const Measure& text, bool values,
           double besides, double ghz) {
    const Furniture f(s.FontPt);
    // Signal labels of more than four digits, or of small numbers, are
    // written as multiples of a power of ten named above the axis.
    double scale = 1;
    a.SignalFactor.clear();
    if (values) {
        const int e =
            int(std::floor(std::log10(std::max(std::abs(a.SignalFrom), std::abs(a.SignalTo)))));
        if (e >= 4 || e <= -3) {
            scale = std::pow(10.0, -e);
            a.SignalFactor = QStringLiteral("×10") + Superscript(e);
        }
    }
    // A g scale takes a line of labels and its name above the frame; the
    // power of ten then stands beside the name.
    const bool gScale = ghz > 0;
    const double top = gScale ? f.Edge + 2 * text.Height() + 1.5 * f.Pad + f.Tick
                              : 0.6 * f.Font + (a.SignalFactor.isEmpty() ? 0 : text.Height());
    const double bottom = f.Tick + f.Pad + text.Height() + 0.5 * f.Pad + text.Height() + f.Edge;
    a.Plot = QRectF(0, top, 1, a.Page.height() - top - bottom);
    a.SignalTicks.clear();
    if (values)
        a.SignalTicks = Ticks(a.SignalFrom * scale, a.SignalTo * scale, a.Plot.height(),
                              std::max(3 * f.Font, 22.0), f.Font, false, text,
                              [&](double v) { return a.PageOf(0, v / scale).y(); });
    double widest = 0;
    for (const Tick& t : a.SignalTicks) widest = std::max(widest, text.Width(t.Text));
    const double left = f.Edge + text.Height() + f.Pad + (values ? widest + f.Pad + f.Tick : 0);
    // The last field label may stand at the frame's right edge.
    const double right =
        std::max(f.Gap, 0.5 * text.Width(Label(a.FieldTo, 2)) + 0.2 * f.Font) + besides;
    a.Plot = QRectF(left, top, std::max(1.0, a.Page.width() - left - right), a.Plot.height());
    // Labels at least 0.9 cm apart, and no more than eight of them.
    a.FieldTicks = Ticks(
        a.FieldFrom, a.FieldTo, a.Plot.width(), std::max(0.9 * PtPerCm, a.Plot.width() / 7),
        1.2 * f.Font, true, text, [&](double v) { return a.PageOf(v / a.UnitPerG, 0).x(); },
        &a.FieldMinorTicks);
    // A g mark: a tick down from the frame's top, three ticks long, its
    // value beside its lower end, right of it where the frame has room.
    a.GMarks.clear();
    a.GMarkLabels.clear();
    if (a.MarkGHz > 0)
        for (double g : s.MarkG) {
            const double field = ResonanceField(a.MarkGHz, g) * a.UnitPerG;
            if (field < a.FieldFrom || field > a.FieldTo) continue;
            const Tick t{a.PageOf(field / a.UnitPerG, 0).x(),
                         (a.Iso ? QStringLiteral("*g* = ") : QStringLiteral("g = ")) +
                             QString::number(g, 'g', 10)};
            const double width = text.RichWidth(t.Text), end = a.Plot.top() + 3 * f.Tick;
            const double x = t.At + f.Pad + width <= a.Plot.right() - f.Pad ? t.At + f.Pad
                                                                            : t.At - f.Pad - width;
            a.GMarks.push_back(t);
            a.GMarkLabels.emplace_back(x, end - text.Ascent(), width, text.Ascent());
        }
    a.GTicks.clear();
    a.GLabel.clear();
    if (!gScale) return;
    a.GLabel = (a.Iso ? QStringLiteral("*g* (") : QStringLiteral("g (")) +
               QString::fromStdString(FrequencyText(ghz)) + ')';
    // As many g labels as stand apart by their width and a gap, eight at most.
    for (int most = 8; most >= 1 && a.GTicks.empty(); --most) {
        std::vector<Tick> ticks;
        for (const GTick& g :
             GScaleTicks(a.FieldFrom / a.UnitPerG, a.FieldTo / a.UnitPerG, ghz, most))
            ticks.push_back({a.PageOf(g.Field, 0).x(), QString::fromStdString(g.Text)});
        bool apart = true;
        for (size_t i = 1; i < ticks.size(); ++i)
            apart = apart && ticks[i].At - ticks[i - 1].At >=
                                 (text.Width(ticks[i].Text) + text.Width(ticks[i - 1].Text)) / 2 +
                                     1.2 * f.Font;
        if (apart || most == 1) a.GTicks = std::move(ticks);
    }
}

// The legend in a corner of the frame that no curve runs through, the top
// right first; false when there is none.
bool InFreeCorner(Arrangement& a, const std::vector<Curve>& curves, const Furniture& f,
                  QSizeF size) {
    const QRectF inner = a.Plot.adjusted(f.Inset, f.Inset, -f.Inset, -f.Inset);
    const QRectF corners[] = {
        QRectF(QPointF(inner.right() - size.width(), inner.top()), size),
        QRectF(inner.topLeft(), size),
        QRectF(QPointF(inner.right() - size.width(), inner.bottom() - size.height()), size),
        QRectF(QPointF(inner.left(), inner.bottom() - size.height()), size)};
    auto marked = [&a](const QRectF& r) {
        for (const QRectF& label : a.GMarkLabels)
            if (label.intersects(r)) return true;
        return false;
    };
    for (const QRectF& r : corners)
        if (inner.contains(r) && !marked(r.adjusted(-f.Clear, -f.Clear, f.Clear, f.Clear)) &&
            !AnyCurveMeets(a, curves, r.adjusted(-f.Clear, -f.Clear, f.Clear, f.Clear))) {
            a.Legend = r;
            return true;
        }
    return false;
}

} // namespace

Arrangement Arrange(const std::vector<Curve>& curves, const FigureSettings& s) {
    Arrangement a;
    const Measure text(s.FontPt);
    const Furniture f(s.FontPt);
    a.Page = QSizeF(s.WidthCm * PtPerCm, s.HeightCm * PtPerCm);
    a.UnitPerG = s.Unit == FieldUnit::Millitesla ? 0.1 : 1.0;
    const bool iso = s.Labels == AxisLabelStyle::Iso;
    const QLatin1String unit(FieldUnitName(s.Unit));
    a.FieldLabel =
        iso ? QStringLiteral("*B* / ") + unit : QStringLiteral("Magnetic field, ") + unit;
    a.SignalLabel = iso ? QStringLiteral("d*χ*″/d*B* / a.u.") : QStringLiteral("Signal, a.u.");
    a.Iso = iso;
    double ghz = 0;
    for (const Curve& c : curves)
        if (ghz == 0 && c.FrequencyGHz > 0) ghz = c.FrequencyGHz;
    a.MarkGHz = ghz;
    if (!s.GScale) ghz = 0;

    // The field over every curve; each curve's signal, and the largest
    // peak-to-peak amplitude, which sets the step of a stack.
    double fieldLo = Infinity, fieldHi = -Infinity, largest = 0;
    const size_t n = curves.size();
    a.Traces.resize(n);
    for (size_t i = 0; i < n; ++i) {
        const Curve& c = curves[i];
        Trace& t = a.Traces[i];
        t.Low = Infinity;
        t.High = -Infinity;
        for (int k = 0; k < c.Count; ++k) {
            if (!std::isfinite(c.Field[k]) || !std::isfinite(c.Signal[k])) continue;
            fieldLo = std::min(fieldLo, double(c.Field[k]) * a.UnitPerG);
            fieldHi = std::max(fieldHi, double(c.Field[k]) * a.UnitPerG);
            t.Low = std::min(t.Low, double(c.Signal[k]));
            t.High = std::max(t.High, double(c.Signal[k]));
        }
        if (t.Low > t.High) t.Low = t.High = 0;
        largest = std::max(largest, t.High - t.Low);
        Style(i, s.Palette, t);
    }
    if (fieldLo > fieldHi) fieldLo = fieldHi = 0;
    Widen(fieldLo, fieldHi);
    a.FieldFrom = fieldLo;
    a.FieldTo = fieldHi;
    // Stacked, the first curve on top, each centred on its own level.
    const bool stacked = s.Stack > 0 && n > 1;
    if (!(largest > 0)) largest = 1;
    double signalLo = Infinity, signalHi = -Infinity;
    for (size_t i = 0; i < n; ++i) {
        Trace& t = a.Traces[i];
        if (stacked) {
            t.Offset = double(n - 1 - i) * s.Stack * largest - (t.Low + t.High) / 2;
            t.Low += t.Offset;
            t.High += t.Offset;
        }
        signalLo = std::min(signalLo, t.Low);
        signalHi = std::max(signalHi, t.High);
    }
    if (n == 0) signalLo = signalHi = 0;
    Widen(signalLo, signalHi);
    const double margin = 0.05 * (signalHi - signalLo);
    a.SignalFrom = signalLo - margin;
    a.SignalTo = signalHi + margin;

    const bool values = s.SignalValues && !stacked;
    if (stacked) {
        a.CaptionsBeside = s.Legend != LegendPlace::None;
        double widest = 0;
        if (a.CaptionsBeside)
            for (const Curve& c : curves) widest = std::max(widest, text.Width(c.Caption));
        Place(a, s, text, values, a.CaptionsBeside ? f.Gap + widest : 0, ghz);
        return a;
    }
    Place(a, s, text, values, 0, ghz);
    if (s.Legend == LegendPlace::None || n == 0) return a;
    LegendShape shape = ShapeLegend(curves, text, f.Font, a.Plot.height() - 2 * f.Inset);
    if (s.Legend == LegendPlace::FreeCorner) {
        if (InFreeCorner(a, curves, f, shape.Size())) {
            a.LegendRows = shape.Rows;
            return a;
        }
        // Room made above the curves, where that costs less than a third
        // of the frame's height: the field keeps the page's whole width.
        const double room = f.Inset + shape.Size().height() + 2 * f.Clear;
        const double share = room / a.Plot.height();
        if (share < 1.0 / 3) {
            const Arrangement before = a;
            a.SignalTo = (signalHi - share * a.SignalFrom) / (1 - share);
            Place(a, s, text, values, 0, ghz);
            if (InFreeCorner(a, curves, f, shape.Size())) {
                a.LegendRows = shape.Rows;
                return a;
            }
            a = before;
        }
    }
    shape = ShapeLegend(curves, text, f.Font, a.Plot.height());
    a.LegendRows = shape.Rows;
    Place(a, s, text, values, f.Gap + shape.Size().width(), ghz);
    a.Legend = QRectF(QPointF(a.Plot.right() + f.Gap, a.Plot.top()), shape.Size());
    return a;
}

namespace {

void Draw(QPainter& p, const Arrangement& a, const std::vector<Curve>& curves,
          const FigureSettings& s, double k) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QTransform dev = QTransform::fromScale(k, k);
    const double font = s.FontPt;
    const Measure text(font);
    QFont f(FontFamily());
    f.setPointSizeF(font);
    p.setFont(f);
    p.fillRect(QRectF(QPointF(0, 0), a.Page * k), Qt::white);
    auto write = [&](const QString& t, double x, double baseline) {
        p.drawText(dev.map(QPointF(x, baseline)), t);
    };
    // A label with its italic and raised runs, from a point in device units.
    auto writeRich = [&](const QString& label, QPointF at) {
        for (const Run& r : Runs(label)) {
            QFont run = f;
            run.setItalic(r.Italic);
            run.setPointSizeF(r.Raised ? RaisedSize * font : font);
            p.setFont(run);
            p.drawText(at - QPointF(0, r.Raised ? RaisedBy * font * k : 0), r.Text);
            at.rx() += text.Width(r) * k;
        }
        p.setFont(f);
    };
    auto centred = [&](const QString& label, double x, double baseline) {
        writeRich(label, dev.map(QPointF(x - text.RichWidth(label) / 2, baseline)));
    };
    auto linePen = [&](const Trace& t) {
        QPen pen(t.Colour, s.LinePt * k, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin);
        if (!t.Dashes.isEmpty()) pen.setDashPattern(t.Dashes);
        return pen;
    };

    for (size_t i = 0; i < curves.size(); ++i) {
        p.setPen(linePen(a.Traces[i]));
        const QPolygonF points = dev.map(PagePoints(a, curves[i], a.Traces[i]));
        p.drawPolyline(points);
        if (!curves[i].Markers) continue;
        p.setBrush(a.Traces[i].Colour);
        const double r = 1.5 * s.LinePt * k;
        for (const QPointF& at : points) p.drawEllipse(at, r, r);
        p.setBrush(Qt::NoBrush);
    }

    // The frame and the ticks outside it, a little thinner than the curves.
    const double frame = std::clamp(0.8 * s.LinePt, 0.5, 1.0);
    p.setPen(QPen(Qt::black, frame * k, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.setBrush(Qt::NoBrush);
    p.drawRect(dev.mapRect(a.Plot));
    const Furniture size(font);
    const QRectF& plot = a.Plot;
    for (const Tick& t : a.FieldTicks)
        p.drawLine(dev.map(QLineF(t.At, plot.bottom(), t.At, plot.bottom() + size.Tick)));
    for (double at : a.FieldMinorTicks)
        p.drawLine(dev.map(QLineF(at, plot.bottom(), at, plot.bottom() + size.Tick / 2)));
    for (const Tick& t : a.SignalTicks)
        p.drawLine(dev.map(QLineF(plot.left() - size.Tick, t.At, plot.left(), t.At)));
    for (const Tick& t : a.GTicks)
        p.drawLine(dev.map(QLineF(t.At, plot.top() - size.Tick, t.At, plot.top())));

    p.setPen(Qt::black);
    const double labelTop = plot.bottom() + size.Tick + size.Pad;
    for (const Tick& t : a.FieldTicks)
        write(t.Text, t.At - text.Width(t.Text) / 2, labelTop + text.Ascent());
    for (const Tick& t : a.SignalTicks)
        write(t.Text, plot.left() - size.Tick - size.Pad - text.Width(t.Text),
              t.At + text.CapHeight() / 2);
    for (const Tick& t : a.GTicks)
        write(t.Text, t.At - text.Width(t.Text) / 2,
              plot.top() - size.Tick - size.Pad - text.Descent());
    const double nameLine = size.Edge + text.Ascent();
    if (!a.GLabel.isEmpty()) centred(a.GLabel, plot.center().x(), nameLine);
    if (!a.SignalFactor.isEmpty())
        write(a.SignalFactor, plot.left(),
              a.GLabel.isEmpty() ? plot.top() - 0.3 * font - text.Descent() : nameLine);
    centred(a.FieldLabel, plot.center().x(), a.Page.height() - size.Edge - text.Descent());
    p.save();
    p.translate(dev.map(QPointF(size.Edge + text.Ascent(), plot.center().y())));
    p.rotate(-90);
    writeRich(a.SignalLabel, QPointF(-text.RichWidth(a.SignalLabel) / 2 * k, 0));
    p.restore();
    for (size_t i = 0; i < a.GMarks.size(); ++i) {
        const double at = a.GMarks[i].At;
        p.drawLine(dev.map(QLineF(at, plot.top(), at, plot.top() + 3 * size.Tick)));
        writeRich(a.GMarks[i].Text, dev.map(a.GMarkLabels[i].bottomLeft()));
    }

    if (a.CaptionsBeside)
        for (size_t i = 0; i < curves.size(); ++i) {
            const Trace& t = a.Traces[i];
            const double y = a.PageOf(0, (t.Low + t.High) / 2).y();
            write(curves[i].Caption, plot.right() + size.Gap, y + text.CapHeight() / 2);
        }
    if (a.Legend.isEmpty()) return;
    const LegendShape shape = ShapeLegend(curves, text, font, a.Legend.height());
    for (size_t i = 0; i < curves.size(); ++i) {
        const int column = int(i) / a.LegendRows, row = int(i) % a.LegendRows;
        const double x = a.Legend.left() + column * (shape.Column + 2 * shape.Gap);
        const double y = a.Legend.top() + (row + 0.5) * shape.Row;
        p.setPen(linePen(a.Traces[i]));
        p.drawLine(dev.map(QLineF(x, y, x + shape.Sample, y)));
        p.setPen(Qt::black);
        write(curves[i].Caption, x + shape.Sample + shape.Gap, y + text.CapHeight() / 2);
    }
}

// QSvgGenerator names the font alone: a viewer without it would take its own
// default, a serif as often as not. A generic family after it keeps the
// look close everywhere.
QByteArray WithGenericFamily(QByteArray svg, const QString& family) {
    const QByteArray named = "font-family=\"" + family.toUtf8() + "\"";
    return svg.replace(named,
                       "font-family=\"" + family.toUtf8() + ", Helvetica, Arial, sans-serif\"");
}

// QPdfWriter gives a page a size in whole points: 8.5 cm would be 241 pt,
// not 240.94. The page's box is written again at the size asked, in as many
// bytes, so that the offsets of the file's cross-reference table still hold.
QByteArray ExactPageSize(QByteArray pdf, QSizeF page) {
    const QByteArray key = "/MediaBox [0 0 ";
    const qsizetype from = pdf.indexOf(key) + key.size();
    const qsizetype to = pdf.indexOf(']', from);
    if (from < key.size() || to < 0) return pdf;
    const QList<QByteArray> sides = pdf.mid(from, to - from).trimmed().split(' ');
    if (sides.size() != 2) return pdf;
    QByteArray exact;
    for (int i : {0, 1}) {
        const qsizetype point = sides[i].indexOf('.');
        if (point < 0) return pdf;
        // As many decimals as were written; a leading zero where rounding
        // up gained a digit (99.6 written as 100).
        const QByteArray side = QByteArray::number(i ? page.height() : page.width(), 'f',
                                                   int(sides[i].size() - point - 1))
                                    .rightJustified(sides[i].size(), '0');
        if (side.size() != sides[i].size()) return pdf;
        exact += (i ? " " : "") + side;
    }
    const qsizetype start = pdf.indexOf(sides[0], from);
    return pdf.replace(start, exact.size(), exact);
}

} // namespace

QByteArray DrawFigure(PictureFormat format, const std::vector<Curve>& curves,
                      const FigureSettings& given, QString& error, const AxisLabels* labels) {
    if (curves.empty()) {
        error = QStringLiteral("no spectrum to draw");
        return {};
    }
    FigureSettings s = given;
    if (labels) { // the X values as they are, no field
        s.Unit = FieldUnit::Gauss;
        s.GScale = false;
        s.MarkG.clear();
    }
    Arrangement a = Arrange(curves, s);
    if (labels) {
        a.FieldLabel = labels->X;
        a.SignalLabel = labels->Y;
    }
    if (!s.MarkG.empty() && a.MarkGHz == 0) {
        error = QStringLiteral("no spectrum with a frequency to mark g at");
        return {};
    }
    if (a.GMarks.size() < s.MarkG.size()) {
        error = QStringLiteral("a g marked lies outside the field drawn");
        return {};
    }
    QByteArray out;
    QBuffer bytes(&out);
    bytes.open(QIODevice::WriteOnly);
    bool drawn = false;
    switch (format) {
    case PictureFormat::Pdf: {
        QPdfWriter writer(&bytes);
        writer.setResolution(int(PdfDpi));
        writer.setPageSize(QPageSize(QSizeF(s.WidthCm * 10, s.HeightCm * 10), QPageSize::Millimeter,
                                     QString(), QPageSize::ExactMatch));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setCreator(QStringLiteral("Kivo"));
        QPainter p(&writer);
        // The writer's page is a whole number of points high, and it draws
        // from the top of that: the drawing goes to the top of the exact page.
        const double whole = writer.pageLayout().fullRectPoints().height();
        p.translate(0, (whole - a.Page.height()) * PdfDpi / 72);
        Draw(p, a, curves, s, PdfDpi / 72);
        drawn = p.end();
        out = ExactPageSize(out, a.Page);
        break;
    }
    case PictureFormat::Svg: {
        QSvgGenerator svg;
        svg.setOutputDevice(&bytes);
        svg.setResolution(int(SvgDpi));
        const QSizeF units(s.WidthCm * 100, s.HeightCm * 100);
        svg.setSize(units.toSize());
        svg.setViewBox(QRectF(QPointF(0, 0), units));
        svg.setTitle(QStringLiteral("Kivo"));
        QPainter p(&svg);
        Draw(p, a, curves, s, SvgDpi / 72);
        drawn = p.end();
        out = WithGenericFamily(out, FontFamily());
        break;
    }
    case PictureFormat::Png: {
        const QSize pixels = (QSizeF(s.WidthCm, s.HeightCm) / 2.54 * s.Dpi).toSize();
        if (double(pixels.width()) * pixels.height() > MaxPngPixels) {
            error = QStringLiteral("%1 x %2 pixels are too many; a smaller size or resolution")
                        .arg(pixels.width())
                        .arg(pixels.height());
            return {};
        }
        QImage image(pixels, QImage::Format_RGB32);
        if (image.isNull()) break;
        const int dotsPerMetre = int(std::lround(s.Dpi / 0.0254));
        image.setDotsPerMeterX(dotsPerMetre);
        image.setDotsPerMeterY(dotsPerMetre);
        QPainter p(&image);
        Draw(p, a, curves, s, s.Dpi / 72);
        drawn = p.end() && image.save(&bytes, "PNG");
        break;
    }
    }
    if (!drawn || out.isEmpty()) {
        error = QStringLiteral("the picture could not be drawn");
        return {};
    }
    return out;
}

bool WriteFigure(const QString& path, PictureFormat format, const std::vector<Curve>& curves,
                 const FigureSettings& settings, QString& error, const AxisLabels* labels) {
    const QByteArray out = DrawFigure(format, curves, settings, error, labels);
    return !out.isEmpty() && SaveWhole(path, out, error);
}

} // namespace kivo::figure
