// Numeric routines of the treatments: short value texts, base-line
// correction, base subtraction and the double integration.
#include "treatments.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <cmath>
#include <cstdio>

namespace kivo {

// ---- Short text -------------------------------------------------------------

namespace {

// printf into a string; n is what snprintf says it wrote.
std::string Printed(const char* format, int precision, double v) {
    char buf[64];
    const int n = std::snprintf(buf, sizeof buf, format, precision, v);
    return std::string(buf, n > 0 ? std::min(size_t(n), sizeof buf - 1) : 0);
}

// Drops the zeros a fixed precision leaves after the last significant
// decimal, and the point when nothing follows it.
void TrimDecimals(std::string& mantissa) {
    if (mantissa.find('.') == std::string::npos) return;
    while (mantissa.back() == '0') mantissa.pop_back();
    if (mantissa.back() == '.') mantissa.pop_back();
}

} // namespace

// "%.15G" already drops trailing zeros, so 0.1 reads "0.1" and not
// "0.100000000000000"; large and small values come out as "1E+20", "1.5E-07".
// Negative zero reads "0"; infinities and NaN come out in capitals too
// ("INF", "-INF", "NAN"). A label holds about 8 characters: a longer text is
// the same value rounded to fewer decimals, never a text with digits cut out
// of it, so what is shown (and written into a treatment note) is still the
// number, to its sign, its whole digits and its exponent.
std::string ShortText(double v) {
    constexpr size_t Room = 8;
    if (v == 0) v = 0; // folds -0 into 0
    std::string text = Printed("%.*G", 15, v);
    if (text.size() <= Room) return text;
    const size_t e = text.find('E');
    const bool scientific = e != std::string::npos;
    const size_t dot = text.find('.');
    if (dot == std::string::npos || (scientific && dot > e)) return text; // whole digits only
    // Decimals that fit beside the sign, the whole digits, the point and the
    // exponent; a rounding that carries into a new digit (9.99 -> 10.0) or a
    // longer exponent takes one more decimal away.
    const size_t tail = scientific ? text.size() - e : 0;
    int decimals = int(Room) - int(dot) - 1 - int(tail);
    for (decimals = std::max(decimals, 0);; --decimals) {
        std::string rounded = Printed(scientific ? "%.*E" : "%.*f", decimals, v);
        const size_t re = scientific ? rounded.find('E') : rounded.size();
        std::string mantissa = rounded.substr(0, re);
        TrimDecimals(mantissa);
        text = mantissa + rounded.substr(re);
        if (text.size() <= Room || decimals == 0) return text;
    }
}

// ---- Whole-spectrum changes -------------------------------------------------

void TransformValues(float* v, int n, long double centre, long double scale, long double shift) {
    const long double offset = (1 - scale) * centre + shift;
    for (int k = 0; k < n; ++k) v[k] = static_cast<float>(offset + scale * v[k]);
}

void DivideValues(float* v, int n, long double d) {
    const auto dd = static_cast<double>(d);
    for (int k = 0; k < n; ++k) v[k] = static_cast<float>(v[k] / dd);
}

ValueBounds BoundsOf(const float* v, int n) {
    if (n <= 0) return {};
    ValueBounds b{v[0], v[0]};
    int k = 0;
#if defined(__SSE2__)
    // Four lanes at a time, two registers each way: no step waits for the
    // one before. A lane keeps its bound where the value is not a number,
    // as the plain comparison below does.
    if (n >= 8) {
        __m128 lo0 = _mm_set1_ps(v[0]), hi0 = lo0, lo1 = lo0, hi1 = lo0;
        for (; k + 8 <= n; k += 8) {
            const __m128 a = _mm_loadu_ps(v + k), c = _mm_loadu_ps(v + k + 4);
            lo0 = _mm_min_ps(a, lo0);
            hi0 = _mm_max_ps(a, hi0);
            lo1 = _mm_min_ps(c, lo1);
            hi1 = _mm_max_ps(c, hi1);
        }
        alignas(16) float lo[4], hi[4];
        _mm_store_ps(lo, _mm_min_ps(lo0, lo1));
        _mm_store_ps(hi, _mm_max_ps(hi0, hi1));
        for (int j = 0; j < 4; ++j) {
            b.Lo = std::min(b.Lo, lo[j]);
            b.Hi = std::max(b.Hi, hi[j]);
        }
    }
#endif
    for (; k < n; ++k) {
        b.Lo = std::min(b.Lo, v[k]);
        b.Hi = std::max(b.Hi, v[k]);
    }
    return b;
}

long double SpanWithZero(const float* y, int n) {
    const ValueBounds b = BoundsOf(y, n);
    return static_cast<long double>(std::max(b.Hi, 0.0f)) - std::min(b.Lo, 0.0f);
}

void ReversePoints(float* x, float* y, int n) {
    std::reverse(x, x + n);
    std::reverse(y, y + n);
}

// ---- Smoothing and point tools ------------------------------------------------

int SmoothPoints(uint16_t w, uint16_t r, const float* x, const float* y, int n, float* xo,
                 float* yo) {
    if (n < 1) return 0;
    if (r > 0) {
        int m = 0;
        for (long c = 1; c * r + r / 2 <= n; ++c) {
            long double sx = 0, sy = 0;
            for (long k = (c - 1) * r; k < c * r; ++k) {
                sx += x[k];
                sy += y[k];
            }
            xo[m] = static_cast<float>(sx / r);
            yo[m] = static_cast<float>(sy / r);
            ++m;
        }
        return m;
    }
    // The window of point i is i - h .. i + h inside 1..n: the sums gain the
    // point entering at the right and lose the one leaving at the left.
    const long h = std::min<long>(w / 2, n);
    long double sx = 0, sy = 0;
    long lo = 0, hi = -1; // the points in the sums, 0-based and inclusive
    for (long i = 0; i < n; ++i) {
        const long want = std::min<long>(i + h, n - 1);
        while (hi < want) {
            ++hi;
            sx += x[hi];
            sy += y[hi];
        }
        while (lo < i - h) {
            sx -= x[lo];
            sy -= y[lo];
            ++lo;
        }
        const long count = hi - lo + 1;
        xo[i] = static_cast<float>(sx / count);
        yo[i] = static_cast<float>(sy / count);
    }
    return n;
}

int CountForwardPoints(const float* x, int n) {
    int kept = n > 0 ? 1 : 0;
    for (int j = 1; j < n; ++j) kept += !(x[j] < x[j - 1]);
    return kept;
}

int EraseBackwardSteps(float* x, float* y, int n) {
    if (n < 1) return 0;
    int kept = 1;
    float previous = x[0];
    for (int j = 1; j < n; ++j) {
        const float xj = x[j];
        if (!(xj < previous)) {
            x[kept] = xj;
            y[kept] = y[j];
            ++kept;
        }
        previous = xj;
    }
    return kept;
}

int RemoveRun(float* x, float* y, int n, int a, int count) {
    a = std::clamp(a, 1, n + 1);
    count = std::clamp(count, 0, n - a + 1);
    std::copy(x + a - 1 + count, x + n, x + a - 1);
    std::copy(y + a - 1 + count, y + n, y + a - 1);
    return n - count;
}

// ---- Base line --------------------------------------------------------------

long double MeanY(const float* y, int s, int e) {
    if (s > e) std::swap(s, e);
    s = std::max(s, 1);
    e = std::max(e, 1);
    long double sum = 0;
    for (int j = s; j <= e; ++j) sum += y[j - 1];
    return sum / (e - s + 1);
}

void SubtractLine(const float* x, float* y, int wL, int wR, int n, long double mR, long double mL) {
    if (n < 1) return;
    const int a = std::clamp(wL / 2, 1, n);
    const int b = std::clamp(n - wR / 2, 1, n);
    SubtractLineThrough(x, y, n, x[a - 1], mL, x[b - 1], mR);
}

void SubtractLineThrough(const float* x, float* y, int n, long double xL, long double mL,
                         long double xR, long double mR) {
    const long double run = xR - xL;
    if (run == 0) {
        // Both anchors at one field: no slope to speak of, only the level.
        const long double level = (mL + mR) / 2;
        for (int j = 1; j <= n; ++j) y[j - 1] = static_cast<float>(y[j - 1] - level);
        return;
    }
    const long double f = (mR - mL) / run;
    for (int j = 1; j <= n; ++j) y[j - 1] = static_cast<float>(y[j - 1] - mL - (x[j - 1] - xL) * f);
}

// ---- Base subtraction ------------------------------------------------------

PointRange MapRange(const float* x, int n, double lo, double hi) {
    PointRange r;
    if (n < 1) return r;
    r.First = 1;
    while (r.First < n && !(static_cast<double>(x[r.First - 1]) >= lo)) ++r.First;
    r.Last = n;
    while (r.Last > 1 && !(static_cast<double>(x[r.Last - 1]) <= hi)) --r.Last;
    return r;
}

int NearestPoint(const float* x, int n, double field) {
    int best = n >= 1 ? 1 : 0;
    for (int k = 2; k <= n; ++k)
        if (std::fabs(double(x[k - 1]) - field) < std::fabs(double(x[best - 1]) - field)) best = k;
    return best;
}

namespace {

// The base (xb, yb, nb >= 1 points) interpolated at x, inside its field
// range. m is the base interval the last point fell in: both spectra rise in
// field, so it is walked forward once instead of being searched for at every
// point.
double BaseAt(const float* xb, const float* yb, int nb, double x, int& m) {
    if (nb == 1) return yb[0];
    while (m + 1 <= nb && x > xb[m]) ++m;
    m = std::min(m, nb - 1); // x at the last base field: the last interval
    const double x0 = xb[m - 1], y0 = yb[m - 1], y1 = yb[m];
    const double d = static_cast<double>(xb[m]) - x0;
    return d != 0 ? y0 + (y1 - y0) * (x - x0) / d : (y0 + y1) / 2;
}

} // namespace

SubtractionResult SubtractInterpolated(const float* xs, const float* ys, int ns, const float* xb,
                                       const float* yb, int nb, float k, float* r) {
    SubtractionResult res;
    if (ns < 1) return res;
    if (nb < 1) { // no base: nothing of the spectrum lies inside it
        std::fill(r, r + ns, 0.0f);
        return res;
    }
    const double lo = xb[0], hi = xb[nb - 1];
    int m = 1;
    for (int j = 1; j <= ns; ++j) {
        const double x = xs[j - 1];
        if (x < lo) res.First = j + 1;
        if (x < lo || x > hi) {
            r[j - 1] = 0;
            continue;
        }
        r[j - 1] = static_cast<float>(ys[j - 1] - double(k) * BaseAt(xb, yb, nb, x, m));
        ++res.Count;
    }
    return res;
}

// ---- Double integration ---------------------------------------------------

namespace {

// One half of the double integration: its first and second integrals run
// from the border point by point towards the centre. Every kMarkStep steps
// the two sums are marked, so that the half can be taken ahead of knowing
// where the centre is and then be brought back to it exactly: from the last
// mark before the centre the same steps are made again, in the same order.
constexpr int kMarkStep = 64;

template <int Sign, bool Left> class Half {
public:
    // Left: points start, start + 1, ...; right: start, start - 1, ...
    Half(const float* x, const float* y, int start) : x_(x), y_(y), start_(start) {}

    int Done() const { return done_; }
    long double First() const { return s1_; }
    long double Second() const { return s2_; }

    void Step() {
        if constexpr (Left) {
            const int j = start_ + done_;
            const double dx = static_cast<double>(x_[j - 1]) - x_[j - 2];
            s1_ -= Sign * static_cast<long double>(y_[j - 1]) * dx;
            s2_ += s1_ * dx;
        } else {
            const int j = start_ - done_;
            const double dx = static_cast<double>(x_[j]) - x_[j - 1];
            s1_ += Sign * static_cast<long double>(y_[j - 1]) * dx;
            s2_ += s1_ * dx;
        }
        if (++done_ % kMarkStep == 0) {
            marks1_[done_ / kMarkStep] = s1_;
            marks2_[done_ / kMarkStep] = s2_;
        }
    }

    // The sums after exactly `steps` steps.
    void Settle(int steps) {
        if (steps < done_) {
            const int m = steps / kMarkStep;
            done_ = m * kMarkStep;
            s1_ = m > 0 ? marks1_[m] : 0;
            s2_ = m > 0 ? marks2_[m] : 0;
        }
        while (done_ < steps) Step();
    }

private:
    static constexpr int kMarks = MaxPoints / kMarkStep + 2;
    const float* x_;
    const float* y_;
    int start_;
    int done_ = 0;
    long double s1_ = 0, s2_ = 0;
    long double marks1_[kMarks];
    long double marks2_[kMarks];
};

struct Halves {
    int c = 0;
    long double left1 = 0, left2 = 0, right1 = 0, right2 = 0;
};

// The centre search and both halves for a phase sign of +1 or -1 (s*y is
// y or -y exactly, so the loops carry no product with the sign).
//
// The centre is where the running first integral is largest: the zero
// crossing of a derivative line. Each half is integrated from its border
// inwards, so the signal at either border is the zero of that half's first
// integral: the left half over L+1..c, the right one over R-1 down to c (to
// point 1 when there is no centre).
//
// Every step adds to a long double sum that the next step needs, and an
// x87 addition takes several cycles, so the halves run alongside the centre
// search, ahead of knowing the centre, and are brought back to it once it is
// known. The x87 unit has registers for the search and one half at a time:
// the right half goes first, down to a centre guessed midway between the
// borders, the left one takes the rest of the search. While the running sum
// is not positive the centre is still ahead or there is none (then the
// right half goes down to point 1), so the right half keeps going.
template <int Sign>
Halves IntegrateHalves(const float* x, const float* y, int L, int R, int cs, int ce) {
    Half<Sign, false> right(x, y, R - 1);
    Half<Sign, true> left(x, y, L + 1);
    const int rightReach = std::max(R - 1, 0); // without a centre, down to point 1
    const int leftReach = std::max(ce - L, 0); // the centre is at most ce
    Halves h;
    long double sum = 0, best = 0;
    int j = cs;
    auto search = [&] {
        sum -= Sign * static_cast<long double>(y[j - 1]);
        if (sum > best) [[unlikely]] {
            best = sum;
            h.c = j;
        }
    };
    auto withRight = [&](int steps) {
        for (const int end = std::min(ce, j + steps - 1); j <= end; ++j) {
            right.Step();
            search();
        }
    };
    withRight(std::min(R - (L + R) / 2, rightReach));
    constexpr int kChunk = 256;
    while (j <= ce && right.Done() < rightReach && !(sum > 0))
        withRight(std::min(kChunk, rightReach - right.Done()));
    for (const int end = std::min(ce, j + leftReach - 1); j <= end; ++j) {
        left.Step();
        search();
    }
    for (; j <= ce; ++j) search();
    right.Settle(std::max(R - std::max(h.c, 1), 0));
    left.Settle(std::max(h.c - L, 0));
    h.left1 = left.First();
    h.left2 = left.Second();
    h.right1 = right.First();
    h.right2 = right.Second();
    return h;
}

} // namespace

int LineCentreOf(const IntegrationResult& r) {
    const int lo = std::min(r.Left, r.Right), hi = std::max(r.Left, r.Right);
    return r.Centre > lo && r.Centre < hi ? r.Centre : 0;
}

IntegrationResult IntegrateSpectrum(const float* x, const float* y, int w, ParamSpec& p, int cs,
                                    int ce, bool automatic, int left, int right, double k) {
    IntegrationResult res;
    p.SumLeft1 = p.SumLeft2 = p.SumRight1 = p.SumRight2 = 0;
    p.DblIntegral = 0;
    p.NumParticles = 0;
    // The point buffers hold MaxPoints: a larger count in the record is not
    // to be believed.
    const int n = std::min<int>(p.NumPoints, MaxPoints);
    if (n < 1) return res;
    const auto Y = [y](int j) -> long double { return y[j - 1]; }; // point j, 1-based

    int L, R;
    if (automatic) {
        // The borders are where the signal first rises above three standard
        // deviations of the noise at each end of the sweep.
        w = std::clamp(w, 1, n);
        const long double mL = MeanY(y, 1, w);
        const long double mR = MeanY(y, n - w + 1, n);
        long double varL = 0, varR = 0;
        for (int j = 1; j <= w; ++j) varL += (mL - Y(j)) * (mL - Y(j));
        for (int j = n - w + 1; j <= n; ++j) varR += (mR - Y(j)) * (mR - Y(j));
        const double tL = 3 * std::sqrt(static_cast<double>(varL / w));
        const double tR = 3 * std::sqrt(static_cast<double>(varR / w));
        L = 1;
        for (int j = 1; j <= n && std::fabs(y[j - 1]) < tL; ++j) L = j;
        R = n;
        for (int j = n; j >= 1 && std::fabs(y[j - 1]) < tR; --j) R = j;
    } else {
        L = std::clamp(left, 1, n);
        R = std::clamp(right, 1, n);
        if (L > R) std::swap(L, R);
    }

    cs = std::clamp(cs, 1, n);
    ce = std::clamp(ce, 1, n);
    const Halves h = p.PhaseSign < 0 ? IntegrateHalves<-1>(x, y, L, R, cs, ce)
                                     : IntegrateHalves<1>(x, y, L, R, cs, ce);
    p.SumLeft1 = h.left1;
    p.SumLeft2 = h.left2;
    p.SumRight1 = h.right1;
    p.SumRight2 = h.right2;
    p.DblIntegral = h.left2 + h.right2;

    if (p.StandartRuby > 0 && p.Gain > 0 && p.Modulation > 0)
        p.NumParticles = p.DblIntegral * k / p.Gain / p.Modulation / p.StandartRuby;

    for (int j = L; j <= R - 1; ++j)
        if (x[j] < x[j - 1]) ++res.Mist;
    res.Centre = h.c;
    res.Left = L;
    res.Right = R;
    return res;
}

} // namespace kivo
