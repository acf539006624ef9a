// Number text helpers shared by the type unit's sources; not for the window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace kivo {

// FormatF / FormatE appending to out; scratch is reused between calls so a
// long run of points formats without allocating.
void AppendF(std::string& out, long double v, int w, int d, std::string& scratch);
void AppendE(std::string& out, long double v, int w, std::string& scratch);

// The decimal value of a scanned number: mantissa * 10^exponent.
struct NumberParts {
    uint64_t mantissa = 0; // valid when exact
    int exponent = 0;
    bool negative = false;
    bool exact = true; // at most 19 significant digits
};

// The number grammar of the reader, used by ScanNumber and by the point-line
// parser: sign, digits, "." and digits (not when whole), exponent. Returns
// the length of the number text begins with, or 0; fills parts on the way so
// the common short numbers convert without a second pass.
inline size_t ScanNumberParts(std::string_view text, bool whole, NumberParts& parts) {
    auto digit = [](char c) { return static_cast<unsigned char>(c - '0') < 10; };
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    const char* p = begin;
    bool negative = false;
    if (p != end) { // without a branch: the sign of measured values is random
        negative = *p == '-';
        p += negative | (*p == '+');
    }
    // Leading zeros are not significant. The mantissa wraps when there are
    // more than 19 significant digits, and is then marked inexact.
    uint64_t mantissa = 0;
    const char* const digitsStart = p;
    while (p != end && *p == '0') ++p;
    const char* significantStart = p;
    for (; p != end && digit(*p); ++p) mantissa = mantissa * 10 + unsigned(*p - '0');
    int64_t significant = p - significantStart;
    int64_t digits = p - digitsStart;
    int64_t exponent = 0;
    if (!whole && p != end && *p == '.') {
        const char* const fraction = ++p;
        if (significant == 0)
            while (p != end && *p == '0') ++p;
        significantStart = p;
        for (; p != end && digit(*p); ++p) mantissa = mantissa * 10 + unsigned(*p - '0');
        significant += p - significantStart;
        exponent = fraction - p;
        digits += p - fraction;
    }
    if (digits == 0) return 0;
    if (!whole && p != end && (*p == 'E' || *p == 'e')) {
        const char* q = p + 1;
        bool negativeExp = false;
        if (q != end) {
            negativeExp = *q == '-';
            q += negativeExp | (*q == '+');
        }
        const char* const expStart = q;
        int64_t e = 0;
        for (; q != end && digit(*q); ++q)
            if (e < 100000) e = e * 10 + (*q - '0');
        if (q == expStart) return 0; // "1e" is not a number
        exponent += negativeExp ? -e : e;
        p = q;
    }
    parts.mantissa = mantissa;
    parts.exponent = int(exponent < -1000000 ? -1000000 : exponent > 1000000 ? 1000000 : exponent);
    parts.negative = negative;
    parts.exact = significant <= 19;
    return size_t(p - begin);
}

// Converts a token found by ScanNumber to float. Too large for a float is a
// fault; too small gives zero (or a subnormal).
bool TokenToFloat(std::string_view token, float& v);

// A mantissa up to 2^24 and a power of ten up to 10 are both floats
// exactly, so one float operation rounds the true value once, correctly.
// False, v untouched, for any other number.
inline bool ExactFloat(uint64_t mantissa, int exponent, bool negative, float& v) {
    static constexpr float kPow10f[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f,
                                        1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
    if (mantissa > (uint64_t(1) << 24) || exponent < -10 || exponent > 10) return false;
    const float m = float(int32_t(mantissa)); // one instruction, as a signed number
    const float f = exponent < 0 ? m / kPow10f[-exponent] : m * kPow10f[exponent];
    v = negative ? -f : f;
    return true;
}

// The same from the token's parts. Numbers of up to 7 digits with a small
// exponent take one float operation; up to 15 digits, one double
// multiplication, and rounding that to float is right unless the double lies
// within a few units of a float halfway point, where the slow exact
// conversion decides.
inline bool PartsToFloat(const NumberParts& parts, std::string_view token, float& v) {
    if (parts.exact && ExactFloat(parts.mantissa, parts.exponent, parts.negative, v)) return true;
    static constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    static constexpr double kInvPow10[] = {1e0,   1e-1,  1e-2,  1e-3,  1e-4,  1e-5,  1e-6,  1e-7,
                                           1e-8,  1e-9,  1e-10, 1e-11, 1e-12, 1e-13, 1e-14, 1e-15,
                                           1e-16, 1e-17, 1e-18, 1e-19, 1e-20, 1e-21, 1e-22};
    if (parts.exact && parts.mantissa < (uint64_t(1) << 53) && parts.exponent >= -22 &&
        parts.exponent <= 22) {
        // At most two units of the last place off the true value, and below
        // FLT_MAX: 2^53 * 1e22 < 1e38.
        const double d = double(parts.mantissa) *
                         (parts.exponent < 0 ? kInvPow10[-parts.exponent] : kPow10[parts.exponent]);
        uint64_t bits = 0;
        std::memcpy(&bits, &d, sizeof bits);
        // The 29 bits a float drops; 1 << 28 is the halfway point.
        const uint64_t dropped = bits & ((uint64_t(1) << 29) - 1);
        if (dropped - ((uint64_t(1) << 28) - 4) > 8) {
            const float f = float(d);
            v = parts.negative ? -f : f;
            return true;
        }
    }
    return TokenToFloat(token, v);
}

} // namespace kivo
