#include "quantitative.h"

#include "fitting.h"

#include <Eigen/Dense>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace kivo {

namespace {

constexpr double kMadToSigma = 1.482602218505602; // the MAD of a normal distribution

// The rms of white noise from the second differences of the points: their
// median is nearly blind to a line sampled by many points, and to a spike.
double NoiseOf(const float* y, int n) {
    std::vector<double> d;
    d.reserve(size_t(n));
    for (int j = 1; j + 1 < n; ++j)
        d.push_back(std::fabs(double(y[j - 1]) - 2.0 * double(y[j]) + double(y[j + 1])));
    if (d.empty()) return 0;
    const auto mid = d.begin() + std::ptrdiff_t(d.size() / 2);
    std::nth_element(d.begin(), mid, d.end());
    return kMadToSigma * *mid / std::sqrt(6.0);
}

// A centred moving average of half width h, over fewer points at the ends;
// count[j] is how many points point j's mean has.
void Smooth(const float* y, int n, int h, std::vector<double>& s, std::vector<int>& count) {
    s.assign(size_t(n), 0);
    count.assign(size_t(n), 0);
    long double sum = 0;
    int lo = 0, hi = -1;
    for (int j = 0; j < n; ++j) {
        while (hi < std::min(n - 1, j + h)) sum += y[++hi];
        while (lo < j - h) sum -= y[lo++];
        count[size_t(j)] = hi - lo + 1;
        s[size_t(j)] = double(sum / (hi - lo + 1));
    }
}

using Matrix = Eigen::Matrix<long double, Eigen::Dynamic, Eigen::Dynamic>;
using Vector = Eigen::Matrix<long double, Eigen::Dynamic, 1>;

// The line as found on the signal: what every evaluation of the borders shares.
struct Line {
    const float* x = nullptr;
    const float* y = nullptr;
    int n = 0;
    int a = 0, b = 0; // the first and last point standing clear of the noise (0-based)
};

struct Evaluation {
    long double area = 0; // between the borders, after the first integral's base line
    long double step = 0; // how far that base line moves from one border to the other
    long double peak = 0; // the first integral's largest value above it
    int phase = 1;
    std::vector<double> weights;     // area = sum of weights[j] * y[j]
    std::vector<double> stepWeights; // the step's, up to its sign
};

// The double integral between the borders L and R (0-based, L <= a, b <= R).
// The first integral is summed from L; its base line, a parabola, is
// fitted on the wings L..a-1 and b+1..R (a straight line or a constant when
// the wings are too short): it takes out what offset and slope the
// derivative still has. The area is taken positive: the phase
// follows from the line. The result is linear in y for given borders, and
// weights gives it as such.
Evaluation Evaluate(const Line& line, int L, int R, bool withWeights) {
    const float* x = line.x;
    const float* y = line.y;
    const int m = R - L + 1;
    std::vector<long double> A(size_t(m), 0), tw(size_t(m), 0);
    for (int j = L + 1; j <= R; ++j) {
        const long double h = 0.5L * ((long double)x[j] - x[j - 1]);
        A[size_t(j - L)] = A[size_t(j - L - 1)] + h * ((long double)y[j - 1] + y[j]);
        tw[size_t(j - L - 1)] += h; // the outer integral's trapezoids
        tw[size_t(j - L)] += h;
    }
    const long double xc = 0.5L * ((long double)x[L] + x[R]);
    const long double half = std::max(0.5L * std::fabs((long double)x[R] - x[L]), 1e-30L);
    auto term = [&](int j, int k) -> long double {
        const long double t = ((long double)x[j] - xc) / half;
        return k == 0 ? 1 : k == 1 ? t : t * t;
    };
    auto isWing = [&](int j) { return j < line.a || j > line.b; };
    const int leftWing = std::max(line.a - L, 0), rightWing = std::max(R - line.b, 0);
    const int terms = leftWing >= 3 && rightWing >= 3   ? 3
                      : leftWing >= 2 && rightWing >= 2 ? 2
                      : leftWing + rightWing >= 1       ? 1
                                                        : 0;
    Matrix N = Matrix::Zero(terms, terms);
    Vector r = Vector::Zero(terms), tm = Vector::Zero(terms);
    for (int j = L; j <= R; ++j) {
        const size_t i = size_t(j - L);
        for (int k = 0; k < terms; ++k) tm(k) += tw[i] * term(j, k);
        if (!isWing(j)) continue;
        for (int k = 0; k < terms; ++k) {
            r(k) += term(j, k) * A[i];
            for (int l = 0; l < terms; ++l) N(k, l) += term(j, k) * term(j, l);
        }
    }
    const Matrix G = terms > 0 ? Matrix(N.inverse()) : Matrix();
    const Vector theta = terms > 0 ? Vector(G * r) : Vector();
    long double inside = 0;
    for (size_t i = 0; i < size_t(m); ++i) inside += tw[i] * A[i];
    if (terms > 0) inside -= tm.dot(theta);

    Evaluation e;
    e.phase = inside >= 0 ? 1 : -1;
    e.area = e.phase * inside;
    e.step = terms >= 2 ? std::fabs(2 * theta(1)) : 0;
    for (int j = line.a; j <= line.b; ++j) {
        long double base = 0;
        for (int k = 0; k < terms; ++k) base += theta(k) * term(j, k);
        e.peak = std::max(e.peak, e.phase * (A[size_t(j - L)] - base));
    }
    if (withWeights) {
        // A sum of v_j A_j over the points is a sum of weights times y, as
        // A_j sums the trapezoids of y up to j.
        auto toPoints = [&](const std::vector<long double>& v, long double factor) {
            std::vector<double> w(size_t(line.n), 0);
            long double V = 0;
            for (int j = R; j > L; --j) {
                V += v[size_t(j - L)];
                const double part = double(factor * 0.5L * ((long double)x[j] - x[j - 1]) * V);
                w[size_t(j - 1)] += part;
                w[size_t(j)] += part;
            }
            return w;
        };
        const Vector q = terms > 0 ? Vector(-(G * tm)) : Vector();
        std::vector<long double> v(tw), stepV(size_t(m), 0);
        for (int j = L; j <= R; ++j)
            if (isWing(j)) {
                for (int k = 0; k < terms; ++k) v[size_t(j - L)] += term(j, k) * q(k);
                if (terms >= 2)
                    stepV[size_t(j - L)] =
                        2 * (G.row(1).dot(Vector(Vector::NullaryExpr(
                                terms, [&](Eigen::Index k) { return term(j, int(k)); }))));
            }
        e.weights = toPoints(v, e.phase);
        e.stepWeights = toPoints(stepV, 1);
    }
    return e;
}

// The median of y over points from..to-1, and of their fields.
std::pair<double, double> MedianPoint(const float* x, const float* y, int from, int to) {
    std::vector<float> xs(x + from, x + to), ys(y + from, y + to);
    const auto mid = std::ptrdiff_t(xs.size() / 2);
    std::nth_element(xs.begin(), xs.begin() + mid, xs.end());
    std::nth_element(ys.begin(), ys.begin() + mid, ys.end());
    return {xs[size_t(mid)], ys[size_t(mid)]};
}

} // namespace

QuantitativeIntegral IntegrateQuantitative(const float* x, const float* y, int n,
                                           std::string_view caption) {
    QuantitativeIntegral q;
    constexpr int kFewest = 16;
    if (n < kFewest) {
        q.Refusal = "   " + std::string(caption) + ": " + std::to_string(n) +
                    " points, too few for a quantitative integral;";
        return q;
    }
    double largest = 0;
    for (int j = 0; j < n; ++j) largest = std::max(largest, std::fabs(double(y[j])));
    // A noise-free spectrum still has its values' rounding.
    const double sigma = std::max(NoiseOf(y, n), largest * 1e-7);
    q.Noise = sigma;

    // The line is looked for against a straight base line through the
    // medians of the outer thirds: what a base line subtracted on a few end
    // points leaves would otherwise stand above the noise of a long mean.
    const auto [x1, y1] = MedianPoint(x, y, 0, n / 3);
    const auto [x2, y2] = MedianPoint(x, y, n - n / 3, n);
    const double slope = x2 != x1 ? (y2 - y1) / (x2 - x1) : 0;
    std::vector<float> flat(y, y + n);
    for (int j = 0; j < n; ++j) flat[size_t(j)] -= float(y1 + slope * (double(x[j]) - x1));

    // The scale of the strongest line: its two lobes, found lightly smoothed.
    std::vector<double> s;
    std::vector<int> count;
    Smooth(flat.data(), n, 1, s, count);
    const int hi = int(std::max_element(s.begin(), s.end()) - s.begin());
    const int lo = int(std::min_element(s.begin(), s.end()) - s.begin());
    const int pp = std::max(1, std::abs(hi - lo));

    // Where the line stands clear of the noise: smoothed over a quarter of
    // its peak-to-peak width each side, so that a single spike cannot pass,
    // and against a threshold that grows with the number of independent
    // means, so that the noise of a long sweep does not either.
    const int h = std::max(1, pp / 4);
    Smooth(flat.data(), n, h, s, count);
    // Not lower than a thirtieth of the strongest line's peak to peak: a
    // hump of the cavity's base line that stands clear of the noise is
    // still no line, and would carry the borders far out.
    const double floor = std::fabs(s[size_t(hi)] - s[size_t(lo)]) / 30;
    const double k = std::max(4.0, std::sqrt(2 * std::log(double(n) / (2 * h + 1))) + 1.5);
    auto clear = [&](int j, double level) {
        return std::fabs(s[size_t(j)]) > level * sigma / std::sqrt(double(count[size_t(j)]));
    };
    int a = -1, b = -1;
    for (int j = 0; j < n; ++j)
        if (clear(j, k) && std::fabs(s[size_t(j)]) > floor) {
            if (a < 0) a = j;
            b = j;
        }
    if (a < 0) {
        q.Refusal = "   " + std::string(caption) + ": no line above the noise, not integrated;";
        return q;
    }
    double sMin = s[size_t(a)], sMax = s[size_t(a)];
    for (int j = a; j <= b; ++j)
        sMin = std::min(sMin, s[size_t(j)]), sMax = std::max(sMax, s[size_t(j)]);
    q.SignalToNoise = (sMax - sMin) / sigma;

    // The line's own wings go on half its peak-to-peak width past where it stands
    // clear; beyond them, wings as wide as the line's extent each side
    // carry the first integral's base line.
    a = std::max(0, a - pp / 2);
    b = std::min(n - 1, b + pp / 2);
    const int margin = std::max(b - a, 4 * pp);
    const int L = std::max(0, a - margin), R = std::min(n - 1, b + margin);
    const Line line{x, y, n, a, b};
    const Evaluation e = Evaluate(line, L, R, true);

    long double noise2 = 0;
    for (double w : e.weights) noise2 += (long double)w * w;
    noise2 *= (long double)sigma * sigma;
    // How much the result hangs on the borders: each moved by an eighth of
    // the line's extent, in and out.
    const int d = std::max(1, (b - a) / 8);
    long double border2 = 0;
    int moves = 0;
    for (const auto& [l, r] : {std::pair{L - d, R}, {L + d, R}, {L, R - d}, {L, R + d}}) {
        const int l2 = std::clamp(l, 0, a), r2 = std::clamp(r, b, n - 1);
        if (l2 == L && r2 == R) continue;
        const long double change = Evaluate(line, l2, r2, false).area - e.area;
        border2 += change * change;
        ++moves;
    }
    if (moves > 0) border2 /= moves;

    // The part of the area the borders and the first integral's base line
    // leave out, from the line's own shape: a pseudo-Voigt line fitted
    // between the borders, integrated whole and as the sums above take it.
    // Only a line the fit describes to the noise is taken at its word.
    long double beyond = 0, beyondErr = 0;
    const LineFit fit = FitDerivativeLines(x, y, L + 1, R + 1, LineShape::Voigt, 1);
    if (fit.Refusal.empty() && fit.Lines.size() == 1 && fit.Rms < 1.5 * sigma &&
        fit.Lines[0].Lorentz > 3 * fit.Lines[0].LorentzErr) {
        const FittedLine& f = fit.Lines[0];
        long double taken = 0;
        for (int j = L; j <= R; ++j)
            taken += (long double)e.weights[size_t(j)] * DerivativeLineAt(f, x[j]);
        const long double whole = std::fabs(f.Integral);
        if (std::isfinite(double(whole)) && whole > taken) {
            beyond = whole - taken;
            beyondErr = beyond * (0.25L + f.LorentzErr / f.Lorentz);
        }
    }
    q.Area = e.area + beyond;
    q.Sigma = std::sqrt(noise2 + border2 + beyondErr * beyondErr);
    q.Left = L + 1;
    q.Right = R + 1;
    q.Centre = (a + b) / 2 + 1;
    q.Phase = e.phase;
    q.Beyond = q.Area > 0 ? double(beyond / q.Area) : 0;

    // A first integral that ends higher or lower than it starts, by more
    // than its noise explains and by a fifth of the line or more: what is
    // left of the derivative's offset is taken out, but then the result
    // hangs on that.
    long double stepNoise = 0;
    for (double w : e.stepWeights) stepNoise += (long double)w * w;
    stepNoise = std::sqrt(stepNoise) * sigma;
    if (e.peak > 0 && e.step > 0.2L * e.peak && e.step > 3 * stepNoise) q.Flags |= OffBase;
    // Wings cut short by an end of the sweep to less than the line's own
    // peak-to-peak width, or a quarter of the extent they were meant to have.
    const int shortest = std::max(pp, margin / 4);
    if (a - L < shortest || R - b < shortest) q.Flags |= AtAnEnd;
    if (q.SignalToNoise < 10) q.Flags |= LowSignal;
    int wingPoints = 0, loud = 0;
    for (int j = L; j <= R; ++j)
        if (j < a || j > b) {
            ++wingPoints;
            if (clear(j, 3)) ++loud;
        }
    if (wingPoints >= 10 && loud * 10 > wingPoints) q.Flags |= LineAtBorder;
    if (q.Beyond > 0.02) q.Flags |= WingsBeyond;
    return q;
}

std::string QuantitativeFlagsText(const QuantitativeIntegral& q) {
    std::string out;
    auto add = [&out](const std::string& words) {
        if (!out.empty()) out += ';';
        out += words;
    };
    if (q.Flags & OffBase) add("first integral off base");
    if (q.Flags & AtAnEnd) add("line at an end");
    if (q.Flags & LowSignal) add("S/N below 10");
    if (q.Flags & LineAtBorder) add("line at a border");
    if (q.Flags & WingsBeyond) {
        char text[48];
        std::snprintf(text, sizeof text, "%.0f%% in wings beyond borders", 100 * q.Beyond);
        add(text);
    }
    return out;
}

std::vector<std::string> QuantitativeLines(const QuantitativeIntegral& q) {
    char value[40], sigma[40];
    std::snprintf(value, sizeof value, "DI q = %.3E", double(q.Area));
    std::snprintf(sigma, sizeof sigma, "\u00B1 %.1E", double(q.Sigma));
    std::vector<std::string> lines = {value, sigma};
    const std::string flags = QuantitativeFlagsText(q);
    for (size_t at = 0; at < flags.size();) {
        const size_t end = std::min(flags.find(';', at), flags.size());
        lines.push_back(flags.substr(at, end - at));
        at = end + 1;
    }
    return lines;
}

std::string QuantitativeText(const QuantitativeIntegral& q) {
    const std::vector<std::string> lines = QuantitativeLines(q);
    std::string out = lines[0] + " " + lines[1];
    const std::string flags = QuantitativeFlagsText(q);
    if (!flags.empty()) out += " (" + flags + ")";
    return out;
}

} // namespace kivo
