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

// The lines in the scaled field t and the scaled values; per line the
// parameters are centre, width, amplitude (and phi).
struct LineModel : Eigen::DenseFunctor<double> {
    const std::vector<double>& T;
    const std::vector<double>& Z;
    LineShape Shape;
    int Lines;
    LineModel(const std::vector<double>& t, const std::vector<double>& z, LineShape shape,
              int lines)
        : DenseFunctor(int(lines * ParamsPerLine(shape)), int(t.size())), T(t), Z(z), Shape(shape),
          Lines(lines) {}

    // The value of line k at t, and optionally its derivatives.
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

    int operator()(const InputType& p, ValueType& f) const {
        const Eigen::Index per = ParamsPerLine(Shape);
        for (size_t j = 0; j < T.size(); ++j) {
            double v = -Z[j];
            for (int k = 0; k < Lines; ++k) v += Line(p.data() + k * per, T[j], nullptr);
            f(Eigen::Index(j)) = v;
        }
        return 0;
    }

    int df(const InputType& p, JacobianType& jac) const {
        const Eigen::Index per = ParamsPerLine(Shape);
        double grad[4];
        for (size_t j = 0; j < T.size(); ++j)
            for (int k = 0; k < Lines; ++k) {
                Line(p.data() + k * per, T[j], grad);
                for (Eigen::Index q = 0; q < per; ++q) jac(Eigen::Index(j), k * per + q) = grad[q];
            }
        return 0;
    }
};

// Initial values from the extrema, in two ways. Apart: the largest maximum
// and minimum of what the lines guessed so far leave make the next line, its
// centre midway, its width their distance and its amplitude their
// difference. Together: the lines share the span between the extrema of the
// range evenly, as lines closer than their widths make one broad line.
Eigen::VectorXd InitialLines(const LineModel& model, double minWidth, bool together) {
    const Eigen::Index per = ParamsPerLine(model.Shape);
    Eigen::VectorXd p = Eigen::VectorXd::Zero(model.Lines * per);
    std::vector<double> rest = model.Z;
    const std::vector<double>& t = model.T;
    for (int k = 0; k < model.Lines; ++k) {
        const auto [lo, hi] = std::minmax_element(rest.begin(), rest.end());
        const double tMin = t[size_t(lo - rest.begin())], tMax = t[size_t(hi - rest.begin())];
        double* line = p.data() + k * per;
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

// Levenberg-Marquardt from p; false when it did not converge or ran off to
// lines of opposite amplitudes far beyond the data (scaled to 1), which
// cancel each other.
bool Converged(LineModel& model, Eigen::VectorXd& p) {
    Eigen::LevenbergMarquardt<LineModel> lm(model);
    lm.setXtol(1e-12);
    lm.setFtol(1e-14);
    lm.setMaxfev(100 * (p.size() + 1));
    using namespace Eigen::LevenbergMarquardtSpace;
    const Status status = lm.minimize(p);
    if (status == ImproperInputParameters || status == TooManyFunctionEvaluation ||
        status == UserAsked)
        return false;
    const Eigen::Index per = ParamsPerLine(model.Shape);
    for (int k = 0; k < model.Lines; ++k)
        if (!(std::fabs(p[k * per + 2]) < 100)) return false;
    return p.allFinite();
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
    return amplitude * width * width * (lorentz * LorentzArea + (1 - lorentz) * GaussArea);
}

double DerivativeLineAt(const FittedLine& line, double x) {
    const double u = 2 * (x - line.Centre) / line.Width;
    return line.Amplitude * (line.Lorentz * LorentzShape(u) + (1 - line.Lorentz) * GaussShape(u));
}

void FittedCurve(const LineFit& fit, const float* x, int n, float* out) {
    for (int j = 0; j < n; ++j) {
        double v = 0;
        for (const FittedLine& line : fit.Lines) v += DerivativeLineAt(line, x[j]);
        out[j] = static_cast<float>(v);
    }
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
        if (fit.Shape == LineShape::Voigt) text += pair("L=", l.Lorentz, l.LorentzErr);
        lines.push_back(text + pair("DI=", l.Integral, l.IntegralErr));
    }
    lines.push_back("rms=" + ShortText(fit.Rms) + " chi2=" + ShortText(fit.Chi2));
    return lines;
}

std::string FitNote(const LineFit& fit) {
    return "Fit " + std::to_string(fit.Lines.size()) + " " + std::string(ShapeName(fit.Shape));
}

LineFit FitDerivativeLines(const float* x, const float* y, int first, int last, LineShape shape,
                           int count) {
    LineFit fit;
    fit.Shape = shape;
    if (first > last) std::swap(first, last);
    const int per = int(ParamsPerLine(shape));
    const int m = last - first + 1;
    fit.Points = m;
    if (count < 1 || count > MaxFitLines) return fit.Refusal = NotFitted("1 to 6 lines"), fit;
    if (m <= count * per)
        return fit.Refusal = NotFitted(std::to_string(m) + " points for " +
                                       std::to_string(count * per) + " parameters"),
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
    LineModel model(t, z, shape, count);
    // Lines apart first; lines together when that does not converge.
    Eigen::VectorXd p = InitialLines(model, 4.0 / m, false);
    if (!Converged(model, p) &&
        (count == 1 || !Converged(model, p = InitialLines(model, 4.0 / m, true))))
        return fit.Refusal = NotFitted("no convergence"), fit;

    Eigen::VectorXd f(m);
    model(p, f);
    Eigen::MatrixXd jac(m, count * per);
    model.df(p, jac);
    // The covariance from the QR of the Jacobian itself: J P = Q R, so
    // (J^T J)^-1 = P R^-1 R^-T P^T, without squaring J's condition.
    const Eigen::ColPivHouseholderQR<Eigen::MatrixXd> qr(jac);
    const int params = count * per;
    const int dof = m - params;
    const double ss = f.squaredNorm();
    if (qr.rank() < params || !std::isfinite(ss))
        return fit.Refusal = NotFitted("the lines cannot be told apart"), fit;
    const double chi2 = ss / dof;
    const Eigen::MatrixXd rInverse = qr.matrixR()
                                         .topLeftCorner(params, params)
                                         .triangularView<Eigen::Upper>()
                                         .solve(Eigen::MatrixXd::Identity(params, params));
    const Eigen::MatrixXd cov = qr.colsPermutation() * (rInverse * rInverse.transpose()) *
                                qr.colsPermutation().transpose() * chi2;
    fit.Rms = std::sqrt(ss / m) * yMax;
    fit.Chi2 = chi2 * yMax * yMax;
    for (int k = 0; k < count; ++k) {
        const int at = k * per;
        const double* q = p.data() + at;
        FittedLine line;
        auto err = [&](int i) { return std::sqrt(std::max(cov(at + i, at + i), 0.0)); };
        // Width and amplitude of opposite signs are the same line.
        const double sign = q[1] < 0 ? -1 : 1;
        line.Centre = scale.Centre + scale.Half * q[0];
        line.CentreErr = scale.Half * err(0);
        line.Width = scale.Half * q[1] * sign;
        line.WidthErr = scale.Half * err(1);
        line.Amplitude = yMax * q[2] * sign;
        line.AmplitudeErr = yMax * err(2);
        line.Lorentz = shape == LineShape::Lorentz ? 1 : 0;
        // d(integral) / d(width, amplitude, phi) in the scaled variables.
        Eigen::Vector4d grad = Eigen::Vector4d::Zero();
        if (shape == LineShape::Voigt) {
            line.Lorentz = FractionOf(q[3]);
            line.LorentzErr = std::fabs(std::cos(q[3])) / 2 * err(3);
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
