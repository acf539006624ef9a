// Polynomial base lines (Eigen's column-pivoting QR) and first-derivative
// line fits (Eigen's Levenberg-Marquardt), both in scaled variables so that
// the fields of a spectrum, a few thousand gauss wide, keep the normal
// equations well conditioned.
#include "fitting.h"
#include "gvalues.h"
#include "treatments.h"

#include <Eigen/Dense>
#include <unsupported/Eigen/LevenbergMarquardt>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <numbers>

namespace kivo {

namespace {

// The field scaled to -1..1 over the given points.
struct FieldScale {
    double Centre = 0;
    double Half = 1;
    FieldScale(const float* x, int from, int to) {
        const auto [lo, hi] = std::minmax_element(x + from - 1, x + to);
        Centre = (double(*lo) + double(*hi)) / 2;
        Half = (double(*hi) - double(*lo)) / 2;
        if (!(Half > 0)) Half = 1;
    }
    double operator()(double x) const { return (x - Centre) / Half; }
};

} // namespace

double BaseLinePolynomial::At(double x) const {
    const double t = (x - Centre) / Half;
    double v = 0;
    for (auto c = Coefficients.rbegin(); c != Coefficients.rend(); ++c) v = v * t + *c;
    return v;
}

BaseLinePolynomial FitBaseLine(const float* x, const float* y, int n, PointRange ends, int order) {
    BaseLinePolynomial poly;
    if (n < 1 || order < 0 || order > MaxBaseLineOrder) return poly;
    const FieldScale scale(x, 1, n);
    poly.Centre = scale.Centre;
    poly.Half = scale.Half;
    const int lo = std::clamp(std::min(ends.First, ends.Last), 1, n);
    const int hi = std::clamp(std::max(ends.First, ends.Last), 1, n);
    std::vector<int> outside;
    for (int j = 1; j <= n; ++j)
        if (j <= lo || j >= hi) outside.push_back(j);
    const int terms = order + 1;
    std::vector<float> fields;
    fields.reserve(outside.size());
    for (int j : outside) fields.push_back(x[j - 1]);
    std::sort(fields.begin(), fields.end());
    if (std::unique(fields.begin(), fields.end()) - fields.begin() < terms) return poly;
    Eigen::MatrixXd a(outside.size(), terms);
    Eigen::VectorXd b(outside.size());
    for (size_t r = 0; r < outside.size(); ++r) {
        const double t = scale(x[outside[r] - 1]);
        double power = 1;
        for (int k = 0; k < terms; ++k, power *= t) a(Eigen::Index(r), k) = power;
        b(Eigen::Index(r)) = y[outside[r] - 1];
    }
    const Eigen::VectorXd c = a.colPivHouseholderQr().solve(b);
    poly.Coefficients.assign(c.data(), c.data() + c.size());
    return poly;
}

std::string SubtractBaseLine(const float* x, float* y, int n, PointRange ends, int order,
                             int numAver, std::string_view caption) {
    if (order == LinearBaseLineOrder)
        return SubtractLinearBaseLine(x, y, n, ends, numAver, caption);
    std::string refused = BaseLineRefusal(caption, n, numAver);
    if (!refused.empty() || n < 1) return refused;
    const BaseLinePolynomial poly = FitBaseLine(x, y, n, ends, order);
    if (poly.Coefficients.empty())
        return "   " + std::string(caption) + ": too few points outside the cursors for " +
               BaseLineNote(order) + ";";
    for (int j = 0; j < n; ++j) y[j] = static_cast<float>(y[j] - poly.At(x[j]));
    return {};
}

std::string BaseLineNote(int order) {
    return order == LinearBaseLineOrder ? std::string() : "Base line " + std::to_string(order);
}

// ---- Derivative lines -------------------------------------------------------

namespace {

// The shapes of unit peak-to-peak amplitude in u = 2 (x - centre) / width,
// their extrema at u = -1 (-1/2) and u = 1 (+1/2), and their slopes.
double LorentzShape(double u) {
    const double d = 1 + u * u / 3;
    return 8.0 / 9.0 * u / (d * d);
}
double LorentzSlope(double u) {
    const double d = 1 + u * u / 3;
    return 8.0 / 9.0 * (1 - u * u) / (d * d * d);
}
double GaussShape(double u) {
    return 0.5 * u * std::exp((1 - u * u) / 2);
}
double GaussSlope(double u) {
    return 0.5 * (1 - u * u) * std::exp((1 - u * u) / 2);
}

// The double integrals of the unit shapes of unit width.
const double LorentzArea = std::numbers::pi / std::sqrt(3.0);
const double GaussArea = std::sqrt(2 * std::numbers::pi * std::numbers::e) / 8;

Eigen::Index ParamsPerLine(LineShape shape) {
    return shape == LineShape::Voigt ? 4 : 3;
}

// The Lorentzian fraction of a pseudo-Voigt line is held to 0..1 as
// (1 + sin phi) / 2.
double FractionOf(double phi) {
    return (1 + std::sin(phi)) / 2;
}

// A fraction this close to 0 or 1 has run into its bound: the fit would
// have taken it beyond, and no symmetric error describes it.
constexpr double FractionBound = 1e-6;

// The lines in the scaled field t and the scaled values. The parameters are
// the straight line's offset and slope first, when there is one, then per
// line its centre, width, amplitude (and phi): the first k lines of a fit
// are the head of its parameters.
struct LineModel : Eigen::DenseFunctor<double> {
    const std::vector<double>& T;
    const std::vector<double>& Z;
    LineShape Shape;
    int Lines;
    bool Straight;
    LineModel(const std::vector<double>& t, const std::vector<double>& z, LineShape shape,
              int lines, bool straight)
        : DenseFunctor(int(lines * ParamsPerLine(shape) + (straight ? 2 : 0)), int(t.size())), T(t),
          Z(z), Shape(shape), Lines(lines), Straight(straight) {}

    Eigen::Index First() const { return Straight ? 2 : 0; }
    Eigen::Index At(int k) const { return First() + k * ParamsPerLine(Shape); }

    // The value of one line at t, and optionally its derivatives.
    double Line(const double* p, double t, double* grad) const {
        const double width = p[1], amp = p[2];
        const double u = 2 * (t - p[0]) / width;
        double s = 0, slope = 0;
        switch (Shape) {
        case LineShape::Lorentz:
            s = LorentzShape(u);
            if (grad) slope = LorentzSlope(u);
            break;
        case LineShape::Gauss:
            s = GaussShape(u);
            if (grad) slope = GaussSlope(u);
            break;
        case LineShape::Voigt: {
            const double eta = FractionOf(p[3]);
            const double l = LorentzShape(u), g = GaussShape(u);
            s = eta * l + (1 - eta) * g;
            if (grad) {
                slope = eta * LorentzSlope(u) + (1 - eta) * GaussSlope(u);
                grad[3] = amp * (l - g) * std::cos(p[3]) / 2;
            }
            break;
        }
        }
        if (grad) {
            grad[0] = -amp * slope * 2 / width;
            grad[1] = -amp * slope * u / width;
            grad[2] = s;
        }
        return amp * s;
    }

    // The whole model at t.
    double Value(const double* p, double t) const {
        double v = Straight ? p[0] + p[1] * t : 0;
        for (int k = 0; k < Lines; ++k) v += Line(p + At(k), t, nullptr);
        return v;
    }

    int operator()(const InputType& p, ValueType& f) const {
        for (size_t j = 0; j < T.size(); ++j) f(Eigen::Index(j)) = Value(p.data(), T[j]) - Z[j];
        return 0;
    }

    int df(const InputType& p, JacobianType& jac) const {
        const Eigen::Index per = ParamsPerLine(Shape);
        double grad[4];
        for (size_t j = 0; j < T.size(); ++j) {
            const Eigen::Index row = Eigen::Index(j);
            if (Straight) {
                jac(row, 0) = 1;
                jac(row, 1) = T[j];
            }
            for (int k = 0; k < Lines; ++k) {
                Line(p.data() + At(k), T[j], grad);
                for (Eigen::Index q = 0; q < per; ++q) jac(row, At(k) + q) = grad[q];
            }
        }
        return 0;
    }
};

// Levenberg-Marquardt from p, in at most most evaluations a parameter, to
// the relative tolerance; false when it did not converge or ran off to
// lines of opposite amplitudes far beyond the data (scaled to 1), which
// cancel each other.
bool Converged(const LineModel& model, Eigen::VectorXd& p, int most, double tolerance = 1e-12) {
    LineModel own = model;
    Eigen::LevenbergMarquardt<LineModel> lm(own);
    lm.setXtol(tolerance);
    lm.setFtol(tolerance * 1e-2);
    lm.setMaxfev(most * (p.size() + 1));
    using namespace Eigen::LevenbergMarquardtSpace;
    const Status status = lm.minimize(p);
    if (status == ImproperInputParameters || status == TooManyFunctionEvaluation ||
        status == UserAsked)
        return false;
    for (int k = 0; k < model.Lines; ++k)
        if (!(std::fabs(p[model.At(k) + 2]) < 100)) return false;
    return p.allFinite();
}

// The straight line through the means of the two end tenths of the points,
// where a fit with one starts it.
void StartStraight(const LineModel& model, Eigen::VectorXd& p) {
    if (!model.Straight) return;
    const std::vector<double>&t = model.T, &z = model.Z;
    const size_t e = std::max<size_t>(1, t.size() / 10);
    double tl = 0, zl = 0, tr = 0, zr = 0;
    for (size_t j = 0; j < e; ++j) {
        tl += t[j];
        zl += z[j];
        tr += t[t.size() - 1 - j];
        zr += z[t.size() - 1 - j];
    }
    const double slope = tr != tl ? (zr - zl) / (tr - tl) : 0;
    p[1] = slope;
    p[0] = zl / double(e) - slope * tl / double(e);
}

// Initial values from the extrema, in two ways. Apart: the largest maximum
// and minimum of what the lines guessed so far leave make the next line, its
// centre midway, its width their distance and its amplitude their
// difference. Together: the lines share the span between the extrema of the
// range evenly, as lines closer than their widths make one broad line.
Eigen::VectorXd InitialLines(const LineModel& model, double minWidth, bool together) {
    Eigen::VectorXd p = Eigen::VectorXd::Zero(model.inputs());
    StartStraight(model, p);
    const std::vector<double>& t = model.T;
    std::vector<double> rest = model.Z;
    for (size_t j = 0; j < t.size(); ++j) rest[j] -= model.Straight ? p[0] + p[1] * t[j] : 0;
    for (int k = 0; k < model.Lines; ++k) {
        const auto [lo, hi] = std::minmax_element(rest.begin(), rest.end());
        const double tMin = t[size_t(lo - rest.begin())], tMax = t[size_t(hi - rest.begin())];
        double* line = p.data() + model.At(k);
        const double span = std::max(std::fabs(tMax - tMin), minWidth);
        const double sign = tMax > tMin ? 1 : -1;
        if (together) {
            const double width = span / model.Lines;
            line[0] = std::min(tMin, tMax) + width * (k + 0.5);
            line[1] = width;
            line[2] = (*hi - *lo) * sign / model.Lines;
            continue;
        }
        line[0] = (tMin + tMax) / 2;
        line[1] = span;
        line[2] = (*hi - *lo) * sign;
        for (size_t j = 0; j < t.size(); ++j) rest[j] -= model.Line(line, t[j], nullptr);
    }
    return p;
}

// The mean of the points within half points of each, fewer at the ends.
std::vector<double> Smoothed(const std::vector<double>& z, size_t half) {
    std::vector<double> sums(z.size() + 1, 0.0), out(z.size());
    for (size_t j = 0; j < z.size(); ++j) sums[j + 1] = sums[j] + z[j];
    for (size_t j = 0; j < z.size(); ++j) {
        const size_t from = j > half ? j - half : 0, to = std::min(z.size(), j + half + 1);
        out[j] = (sums[to] - sums[from]) / double(to - from);
    }
    return out;
}

// Starts for the strongest line left in r: its largest lobe with, on either
// side, the largest opposite lobe within three times the distance at which
// r falls through zero there (a line's own, or a neighbour's). Centre
// midway, width their distance, amplitude their difference, positive when
// the maximum lies at the higher field. With no opposite lobe in the range,
// a line at its end.
std::vector<std::vector<double>> StrongestLineStarts(const std::vector<double>& t,
                                                     const std::vector<double>& r, double minWidth,
                                                     Eigen::Index per) {
    const ptrdiff_t m = ptrdiff_t(r.size());
    ptrdiff_t i = 0;
    for (ptrdiff_t j = 1; j < m; ++j)
        if (std::fabs(r[size_t(j)]) > std::fabs(r[size_t(i)])) i = j;
    const double s = r[size_t(i)] < 0 ? -1 : 1, ti = t[size_t(i)];
    auto at = [&](ptrdiff_t j) { return s * r[size_t(j)]; };
    std::vector<std::vector<double>> starts;
    for (const ptrdiff_t dir : {ptrdiff_t(-1), ptrdiff_t(1)}) {
        ptrdiff_t j = i + dir;
        while (j >= 0 && j < m && at(j) > 0) j += dir;
        if (j < 0 || j >= m) continue;
        const double reach = 3 * std::fabs(t[size_t(j)] - ti);
        ptrdiff_t other = j;
        for (; j >= 0 && j < m && std::fabs(t[size_t(j)] - ti) <= reach; j += dir)
            if (at(j) < at(other)) other = j;
        const double to = t[size_t(other)];
        std::vector<double> line(size_t(per), 0.0);
        line[0] = (ti + to) / 2;
        line[1] = std::max(std::fabs(ti - to), minWidth);
        line[2] = (std::fabs(r[size_t(i)]) + std::fabs(r[size_t(other)])) *
                  ((s > 0) == (ti > to) ? 1 : -1);
        starts.push_back(line);
    }
    if (starts.empty()) {
        std::vector<double> line(size_t(per), 0.0);
        line[0] = ti;
        line[1] = std::max(minWidth, std::fabs(t.back() - t.front()) / 10);
        line[2] = 2 * r[size_t(i)];
        starts.push_back(line);
    }
    return starts;
}

// Lines found one at a time: the strongest line left in the lightly
// smoothed points, fitted together with the lines found before it (and the
// straight line), is taken away before the next is looked for. A line of
// half the size of its neighbour is then found beside it, not inside it.
// Only start values are wanted here: at most about 2000 of the smoothed
// points are fitted, to a loose tolerance.
Eigen::VectorXd PeeledLines(const LineModel& model, double minWidth) {
    const size_t m = model.T.size(), step = std::max<size_t>(1, m / 2000);
    const std::vector<double> smooth = Smoothed(model.Z, m / 300);
    std::vector<double> t, z;
    for (size_t j = 0; j < m; j += step) {
        t.push_back(model.T[j]);
        z.push_back(smooth[j]);
    }
    const Eigen::Index per = ParamsPerLine(model.Shape);
    Eigen::VectorXd p = Eigen::VectorXd::Zero(model.inputs());
    StartStraight(model, p);
    std::vector<double> rest(t.size());
    Eigen::VectorXd f(Eigen::Index(t.size()));
    for (int k = 0; k < model.Lines; ++k) {
        const LineModel found(t, z, model.Shape, k, model.Straight);
        for (size_t j = 0; j < t.size(); ++j) rest[j] = z[j] - found.Value(p.data(), t[j]);
        // Of the pairs of lobes, the one that a line fitted to what is left
        // describes best; a fitted line that leaves the range, or grows as
        // wide as it, is a slope, not a line: its start stays.
        const LineModel one(t, rest, model.Shape, 1, false);
        double least = HUGE_VAL;
        for (const std::vector<double>& start : StrongestLineStarts(t, rest, minWidth, per)) {
            const Eigen::Map<const Eigen::VectorXd> given(start.data(), per);
            Eigen::VectorXd q = given;
            if (!Converged(one, q, 20, 1e-6) || !(std::fabs(q[0]) < 1 && std::fabs(q[1]) < 1))
                q = given;
            one(q, f);
            if (!(f.squaredNorm() < least)) continue;
            least = f.squaredNorm();
            p.segment(model.At(k), per) = q;
        }
        // The lines so far fitted together; when the new one lies inside
        // one found before, also with that one split in two, as two lines
        // that made one broad one would be.
        const LineModel stage(t, z, model.Shape, k + 1, model.Straight);
        std::vector<Eigen::VectorXd> tries = {p.head(stage.inputs())};
        const double* added = p.data() + model.At(k);
        for (int j = 0; j < k; ++j) {
            const double* old = p.data() + model.At(j);
            if (!(std::fabs(added[0] - old[0]) < std::fabs(old[1]) / 2)) continue;
            Eigen::VectorXd split = tries[0];
            split.segment(model.At(k), per) = split.segment(model.At(j), per);
            split[model.At(j)] = old[0] - old[1] / 4;
            split[model.At(k)] = old[0] + old[1] / 4;
            split[model.At(j) + 1] = split[model.At(k) + 1] = old[1] / 2;
            tries.push_back(split);
            break;
        }
        least = HUGE_VAL;
        Eigen::VectorXd g(stage.values());
        for (Eigen::VectorXd& q : tries) {
            if (!Converged(stage, q, 100, 1e-6)) continue;
            stage(q, g);
            if (!(g.squaredNorm() < least)) continue;
            least = g.squaredNorm();
            p.head(stage.inputs()) = q;
        }
    }
    return p;
}

std::string NotFitted(std::string_view why) {
    return "   Fit refused: " + std::string(why) + " ";
}

} // namespace

std::string_view ShapeName(LineShape shape) {
    switch (shape) {
    case LineShape::Lorentz:
        return "lorentz";
    case LineShape::Gauss:
        return "gauss";
    case LineShape::Voigt:
        return "voigt";
    }
    return {};
}

bool ReadShapeName(std::string_view text, LineShape& shape) {
    for (LineShape s : {LineShape::Lorentz, LineShape::Gauss, LineShape::Voigt})
        if (text == ShapeName(s)) {
            shape = s;
            return true;
        }
    return false;
}

double LineIntegral(double width, double amplitude, double lorentz) {
    return std::fabs(amplitude) * width * width *
           (lorentz * LorentzArea + (1 - lorentz) * GaussArea);
}

double DerivativeLineAt(const FittedLine& line, double x) {
    const double u = 2 * (x - line.Centre) / line.Width;
    return line.Amplitude * (line.Lorentz * LorentzShape(u) + (1 - line.Lorentz) * GaussShape(u));
}

void FittedCurve(const LineFit& fit, const float* x, int n, float* out) {
    for (int j = 0; j < n; ++j) {
        double v = fit.Straight ? fit.Offset + fit.Slope * (x[j] - fit.Middle) : 0;
        for (const FittedLine& line : fit.Lines) v += DerivativeLineAt(line, x[j]);
        out[j] = static_cast<float>(v);
    }
}

double EndNoise(const float* x, const float* y, int first, int last) {
    if (first > last) std::swap(first, last);
    const int m = last - first + 1;
    const int w = std::max(7, m / 10);
    if (2 * w > m) return 0;
    double squares = 0;
    for (const int start : {first, last - w + 1}) {
        double mx = 0, my = 0;
        for (int j = start; j < start + w; ++j) {
            mx += x[j - 1];
            my += y[j - 1];
        }
        mx /= w;
        my /= w;
        double sxx = 0, sxy = 0, syy = 0;
        for (int j = start; j < start + w; ++j) {
            const double dx = x[j - 1] - mx, dy = y[j - 1] - my;
            sxx += dx * dx;
            sxy += dx * dy;
            syy += dy * dy;
        }
        squares += syy - (sxx > 0 ? sxy * sxy / sxx : 0);
    }
    return std::sqrt(std::max(squares, 0.0) / (2 * w - 4));
}

std::string PoorFitWords(const LineFit& fit) {
    if (!(fit.Noise > 0) || !(fit.Rms > 3 * fit.Noise)) return {};
    char text[80];
    std::snprintf(text, sizeof text, "poor fit (rms %.3g, noise %.3g)", fit.Rms, fit.Noise);
    return text;
}

std::vector<std::string> FitReport(const LineFit& fit, double ghz) {
    std::vector<std::string> lines;
    auto pair = [](std::string_view name, double v, double err) {
        std::string text(" ");
        text.append(name).append(ShortText(v)).append("+-").append(ShortText(err));
        return text;
    };
    for (size_t k = 0; k < fit.Lines.size(); ++k) {
        const FittedLine& l = fit.Lines[k];
        std::string text = std::to_string(k + 1) + ":" + pair("B=", l.Centre, l.CentreErr);
        const double g = GValue(ghz, l.Centre);
        if (g > 0) text += " g=" + GText(g) + "+-" + ShortText(g * l.CentreErr / l.Centre);
        text += pair("dBpp=", l.Width, l.WidthErr) + pair("A=", l.Amplitude, l.AmplitudeErr);
        if (fit.Shape == LineShape::Voigt)
            text += l.FractionAtBound ? " L=" + ShortText(l.Lorentz) + "(bound)"
                                      : pair("L=", l.Lorentz, l.LorentzErr);
        lines.push_back(text + pair("DI=", l.Integral, l.IntegralErr));
    }
    if (fit.Straight)
        lines.push_back("line:" + pair("offset=", fit.Offset, fit.OffsetErr) +
                        pair("slope=", fit.Slope, fit.SlopeErr));
    std::string last = "rms=" + ShortText(fit.Rms) + " chi2=" + ShortText(fit.Chi2);
    if (fit.Noise > 0) last += " chi2red=" + ShortText(fit.Chi2Red);
    lines.push_back(last);
    return lines;
}

std::string FitNote(const LineFit& fit) {
    return "Fit " + std::to_string(fit.Lines.size()) + " " + std::string(ShapeName(fit.Shape)) +
           (fit.Straight ? "+line" : "");
}

LineFit FitDerivativeLines(const float* x, const float* y, int first, int last, LineShape shape,
                           int count, bool straight) {
    LineFit fit;
    fit.Shape = shape;
    fit.Straight = straight;
    if (first > last) std::swap(first, last);
    const int per = int(ParamsPerLine(shape));
    const int m = last - first + 1;
    fit.Points = m;
    if (count < 1 || count > MaxFitLines) return fit.Refusal = NotFitted("1 to 6 lines"), fit;
    const int params = count * per + (straight ? 2 : 0);
    if (m <= params)
        return fit.Refusal = NotFitted(std::to_string(m) + " points for " + std::to_string(params) +
                                       " parameters"),
               fit;
    const FieldScale scale(x, first, last);
    std::vector<double> t(static_cast<size_t>(m)), z(static_cast<size_t>(m));
    double yMax = 0;
    for (int j = 0; j < m; ++j) yMax = std::max(yMax, std::fabs(double(y[first - 1 + j])));
    if (!(yMax > 0) || !std::isfinite(yMax)) return fit.Refusal = NotFitted("no line"), fit;
    for (int j = 0; j < m; ++j) {
        t[size_t(j)] = scale(x[first - 1 + j]);
        z[size_t(j)] = y[first - 1 + j] / yMax;
    }
    const LineModel model(t, z, shape, count, straight);
    // The lines peeled off one at a time and, for several, the lines apart
    // from the extrema (given fewer steps: a start that is far off wanders
    // long): the start that converges to the least residual wins, of those
    // whose lines can be told apart. When none converges, the old start
    // that remains: one line apart, or several together.
    const double minWidth = 4.0 / m;
    Eigen::VectorXd p, f(m);
    Eigen::MatrixXd jac(m, params);
    Eigen::ColPivHouseholderQR<Eigen::MatrixXd> qr;
    double ss = HUGE_VAL;
    bool converged = false;
    auto consider = [&](Eigen::VectorXd start, int most) {
        if (!Converged(model, start, most)) return;
        converged = true;
        model(start, f);
        const double sum = f.squaredNorm();
        if (!(sum < ss)) return;
        model.df(start, jac);
        // The covariance comes from the QR of the Jacobian itself (below).
        Eigen::ColPivHouseholderQR<Eigen::MatrixXd> candidate(jac);
        if (candidate.rank() < params) return;
        ss = sum;
        p = std::move(start);
        qr = std::move(candidate);
    };
    consider(PeeledLines(model, minWidth), 100);
    if (count > 1) consider(InitialLines(model, minWidth, false), 20);
    if (!converged) consider(InitialLines(model, minWidth, count > 1), 100);
    if (!converged) return fit.Refusal = NotFitted("no convergence"), fit;
    if (p.size() == 0) return fit.Refusal = NotFitted("the lines cannot be told apart"), fit;

    // J P = Q R, so (J^T J)^-1 = P R^-1 R^-T P^T, without squaring J's
    // condition.
    const int dof = m - params;
    const double chi2 = ss / dof;
    const Eigen::MatrixXd rInverse = qr.matrixR()
                                         .topLeftCorner(params, params)
                                         .triangularView<Eigen::Upper>()
                                         .solve(Eigen::MatrixXd::Identity(params, params));
    const Eigen::MatrixXd cov = qr.colsPermutation() * (rInverse * rInverse.transpose()) *
                                qr.colsPermutation().transpose() * chi2;
    auto err = [&](Eigen::Index i) { return std::sqrt(std::max(cov(i, i), 0.0)); };
    fit.Rms = std::sqrt(ss / m) * yMax;
    fit.Chi2 = chi2 * yMax * yMax;
    fit.Noise = EndNoise(x, y, first, last);
    fit.Chi2Red = fit.Noise > 0 ? fit.Chi2 / (fit.Noise * fit.Noise) : 0;
    if (straight) {
        fit.Middle = scale.Centre;
        fit.Offset = yMax * p[0];
        fit.OffsetErr = yMax * err(0);
        fit.Slope = yMax * p[1] / scale.Half;
        fit.SlopeErr = yMax * err(1) / scale.Half;
    }
    for (int k = 0; k < count; ++k) {
        const Eigen::Index at = model.At(k);
        const double* q = p.data() + at;
        FittedLine line;
        // Width and amplitude of opposite signs are the same line.
        const double sign = q[1] < 0 ? -1 : 1;
        line.Centre = scale.Centre + scale.Half * q[0];
        line.CentreErr = scale.Half * err(at);
        line.Width = scale.Half * q[1] * sign;
        line.WidthErr = scale.Half * err(at + 1);
        line.Amplitude = yMax * q[2] * sign;
        line.AmplitudeErr = yMax * err(at + 2);
        line.Lorentz = shape == LineShape::Lorentz ? 1 : 0;
        // d(integral) / d(width, amplitude, phi) in the scaled variables.
        Eigen::Vector4d grad = Eigen::Vector4d::Zero();
        if (shape == LineShape::Voigt) {
            line.Lorentz = FractionOf(q[3]);
            line.LorentzErr = std::fabs(std::cos(q[3])) / 2 * err(at + 3);
            line.FractionAtBound = std::min(line.Lorentz, 1 - line.Lorentz) < FractionBound;
            grad(3) = q[2] * q[1] * q[1] * (LorentzArea - GaussArea) * std::cos(q[3]) / 2;
        }
        line.Integral = LineIntegral(line.Width, line.Amplitude, line.Lorentz);
        const double area = LineIntegral(1, 1, line.Lorentz);
        grad(1) = 2 * q[2] * q[1] * area;
        grad(2) = q[1] * q[1] * area;
        const Eigen::MatrixXd c = cov.block(at, at, per, per);
        const Eigen::VectorXd g = grad.head(per);
        line.IntegralErr = std::sqrt(std::max(double(g.transpose() * c * g), 0.0)) * yMax *
                           scale.Half * scale.Half;
        if (!std::isfinite(line.Centre) || !std::isfinite(line.Width) ||
            !std::isfinite(line.Amplitude) || !(line.Width > 0))
            return fit.Refusal = NotFitted("no convergence"), fit;
        fit.Lines.push_back(line);
    }
    std::sort(fit.Lines.begin(), fit.Lines.end(),
              [](const FittedLine& a, const FittedLine& b) { return a.Centre < b.Centre; });
    return fit;
}

} // namespace kivo
