// Records, number formats, the number reader and the extrema routine.
#include "number_text.h"
#include "numeric.h"
#include "records.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <utility>

namespace kivo {

void ClearParamSpec(ParamSpec& p) {
    // The record's defaults: zeros, no text, PhaseSign +1. Swapped in, not
    // assigned: an assigned empty string would keep the old line's memory.
    ParamSpec fresh;
    fresh.Amplitude = p.Amplitude;
    std::swap(p, fresh);
}

void PointBuffer::Allocate() {
    data_ = std::make_unique<float[]>(MaxPoints);
}

// ---- Number formats ----------------------------------------------------

namespace {

// Decimals printed beyond the ones kept. The printers round at their last
// digit, so rounding again at the kept digit needs enough digits below it
// to see whether the value is above, below or exactly at the halfway point.
constexpr int kGuard = 25;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Digits of |v| as "III.FFF" (fixed) or "D.DDDe+XX" (scientific) with prec
// decimals. Values that fit a double go through std::to_chars, which is much
// faster than the long double printf, and give the same digits.
std::string_view RawDigits(long double v, bool scientific, int prec, std::string& scratch) {
    v = std::fabs(v);
    if (v <= static_cast<long double>(DBL_MAX) &&
        static_cast<long double>(static_cast<double>(v)) == v) {
        const auto dv = static_cast<double>(v);
        scratch.resize(static_cast<size_t>(prec) + 400);
        const auto fmt = scientific ? std::chars_format::scientific : std::chars_format::fixed;
        const auto r =
            std::to_chars(scratch.data(), scratch.data() + scratch.size(), dv, fmt, prec);
        if (r.ec == std::errc())
            return {scratch.data(), static_cast<size_t>(r.ptr - scratch.data())};
    }
    const char* fmt = scientific ? "%.*Le" : "%.*Lf";
    const int n = std::snprintf(nullptr, 0, fmt, prec, v);
    if (n <= 0) return {};
    scratch.resize(static_cast<size_t>(n) + 1);
    std::snprintf(scratch.data(), scratch.size(), fmt, prec, v);
    return {scratch.data(), static_cast<size_t>(n)};
}

// Adds one unit in the last place of a digit string; true when the carry
// runs out of the front (all nines).
bool CarryUp(char* first, char* last) {
    while (last != first) {
        --last;
        if (*last != '9') {
            ++*last;
            return false;
        }
        *last = '0';
    }
    return true;
}

void PadTo(std::string& out, size_t start, int w) {
    const size_t len = out.size() - start;
    if (w > 0 && len < static_cast<size_t>(w)) out.insert(start, static_cast<size_t>(w) - len, ' ');
}

} // namespace

void AppendF(std::string& out, long double v, int w, int d, std::string& scratch) {
    if (!std::isfinite(v)) v = 0; // never written on purpose; keep the file readable
    d = std::max(d, 0);
    const std::string_view raw = RawDigits(v, false, d + kGuard, scratch);
    const size_t dot = raw.find('.');
    if (raw.empty() || dot == std::string_view::npos || raw.size() < dot + 1 + size_t(d) + 1) {
        const size_t start = out.size();
        if (std::signbit(v)) out.push_back('-');
        out.append(d > 0 ? "0." + std::string(size_t(d), '0') : "0");
        PadTo(out, start, w);
        return;
    }
    // Kept digits: the whole part and d decimals, then round half away from zero.
    char buf[64];
    std::string big;
    const size_t keep = dot + size_t(d);
    char* digits = buf + 1;
    if (keep + 2 > sizeof buf) {
        big.resize(keep + 2);
        digits = big.data() + 1;
    }
    std::copy(raw.begin(), raw.begin() + std::ptrdiff_t(dot), digits);
    std::copy(raw.begin() + std::ptrdiff_t(dot) + 1, raw.begin() + std::ptrdiff_t(keep) + 1,
              digits + dot);
    size_t whole = dot;
    if (raw[keep + 1] >= '5' && CarryUp(digits, digits + keep)) {
        *--digits = '1';
        ++whole;
    }
    const size_t start = out.size();
    // A negative value keeps its sign even where it rounds to zero: a reader
    // of the panel must not take a small negative result for a positive one.
    // So does a negative zero, which is what such a "-0" reads back as: a
    // file read and saved again keeps its bytes.
    if (std::signbit(v)) out.push_back('-');
    out.append(digits, whole);
    if (d > 0) {
        out.push_back('.');
        out.append(digits + whole, size_t(d));
    }
    PadTo(out, start, w);
}

void AppendE(std::string& out, long double v, int w, std::string& scratch) {
    if (!std::isfinite(v)) v = 0;
    w = std::max(w, 10);
    const int sig = w - 8;
    const std::string_view raw = RawDigits(v, true, sig - 1 + kGuard, scratch);
    // raw is "D.DDDD...e+XX": sig + kGuard digits, then the exponent.
    char buf[64];
    std::string big;
    char* digits = buf;
    if (size_t(sig) + 1 > sizeof buf) {
        big.resize(size_t(sig) + 1);
        digits = big.data();
    }
    int exponent = 0;
    const size_t e = raw.find('e');
    if (raw.size() >= size_t(sig + kGuard) + 1 && e == size_t(sig + kGuard) + 1) {
        digits[0] = raw[0];
        std::copy(raw.begin() + 2, raw.begin() + 1 + sig, digits + 1);
        const char* p = raw.data() + e + 1;
        const bool negExp = *p == '-';
        if (*p == '+' || *p == '-') ++p;
        std::from_chars(p, raw.data() + raw.size(), exponent);
        if (negExp) exponent = -exponent;
        if (raw[size_t(sig) + 1] >= '5' && CarryUp(digits, digits + sig)) {
            digits[0] = '1'; // 9.99.. rounded up to 10.0..
            ++exponent;
        }
    } else {
        std::fill(digits, digits + sig, '0');
    }
    if (std::all_of(digits, digits + sig, [](char c) { return c == '0'; })) exponent = 0;
    out.push_back(v < 0 ? '-' : ' ');
    out.push_back(digits[0]);
    out.push_back('.');
    out.append(digits + 1, size_t(sig - 1));
    out.push_back('E');
    out.push_back(exponent < 0 ? '-' : '+');
    // A finite long double has at most four exponent digits.
    const int a = std::min(std::abs(exponent), 9999);
    const char ex[4] = {char('0' + a / 1000), char('0' + a / 100 % 10), char('0' + a / 10 % 10),
                        char('0' + a % 10)};
    out.append(ex, 4);
}

std::string FormatF(long double v, int w, int d) {
    std::string out, scratch;
    AppendF(out, v, w, d, scratch);
    return out;
}

std::string FormatI(long long v, int w) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    std::string out(buf, r.ptr);
    PadTo(out, 0, w);
    return out;
}

std::string FormatE(long double v, int w) {
    std::string out, scratch;
    AppendE(out, v, w, scratch);
    return out;
}

// ---- Number reader ----------------------------------------------------

size_t ScanNumber(std::string_view text, bool whole) {
    NumberParts parts;
    return ScanNumberParts(text, whole, parts);
}

namespace {

// The number token of a whole text with blanks around it, or empty.
std::string_view SoleToken(std::string_view text, bool whole) {
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    text.remove_prefix(i);
    const size_t n = ScanNumber(text, whole);
    if (n == 0) return {};
    for (size_t k = n; k < text.size(); ++k)
        if (!IsBlank(text[k])) return {};
    return text.substr(0, n);
}

template <typename T> bool ConvertToken(std::string_view token, T& v) {
    if (token.empty()) return false;
    if (token.front() == '+') token.remove_prefix(1);
    T value{};
    const auto r = std::from_chars(token.data(), token.data() + token.size(), value);
    if (r.ec != std::errc() || r.ptr != token.data() + token.size()) return false;
    v = value;
    return true;
}

} // namespace

bool ReadNumber(std::string_view text, long double& v) {
    return ConvertToken(SoleToken(text, false), v);
}

bool ReadNumber(std::string_view text, double& v) {
    return ConvertToken(SoleToken(text, false), v);
}

bool ReadWholeNumber(std::string_view text, long long& v) {
    return ConvertToken(SoleToken(text, true), v);
}

bool TokenToFloat(std::string_view token, float& v) {
    if (token.empty()) return false;
    if (token.front() == '+') token.remove_prefix(1);
    const char* first = token.data();
    const char* last = first + token.size();
    float f = 0;
    auto r = std::from_chars(first, last, f);
    if (r.ec == std::errc() && r.ptr == last) {
        v = f;
        return true;
    }
    if (r.ec != std::errc::result_out_of_range) return false;
    // Out of float range: too large is a fault, too small is just zero (or
    // a subnormal), as a float assignment would make it.
    long double wide = 0;
    r = std::from_chars(first, last, wide);
    if (r.ec != std::errc() || r.ptr != last || !(std::fabs(wide) <= FLT_MAX)) return false;
    v = static_cast<float>(wide);
    return true;
}

// ---- Extrema --------------------------------------------------------------

Extrema RangeExtrema(const float* x, const float* y, int From, int To) {
    assert(From >= 1 && From <= MaxPoints && To >= 1 && To <= MaxPoints);
    From = std::clamp(From, 1, MaxPoints);
    To = std::clamp(To, 1, MaxPoints);
    Extrema r;
    double largest = y[From - 1];
    double smallest = y[To - 1];
    double xAtSmallest = x[To - 1];
    const int lo = std::min(From, To);
    const int hi = std::max(From, To);
    for (int k = lo; k <= hi; ++k) {
        const double yk = y[k - 1];
        if (yk >= largest) {
            largest = yk;
            r.XAtMax = x[k - 1];
            r.IndexOfMax = static_cast<uint16_t>(k);
        }
        if (yk <= smallest) {
            smallest = yk;
            xAtSmallest = x[k - 1];
        }
    }
    r.Centre = (r.XAtMax + xAtSmallest) / 2;
    r.Amplitude = std::fabs(largest - smallest);
    return r;
}

} // namespace kivo
