#include "TYPEKIVO1_3.h"
#include "number_text.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <random>

using namespace kivo;

TEST(FormatE, LayoutSignAndExponent) {
    EXPECT_EQ(FormatE(12345, 11), " 1.23E+0004");
    EXPECT_EQ(FormatE(1.2346e15, 12), " 1.235E+0015");
    EXPECT_EQ(FormatE(0, 11), " 0.00E+0000");
    EXPECT_EQ(FormatE(-0.00123, 11), "-1.23E-0003");
    EXPECT_EQ(FormatE(-0.25, 23), "-2.50000000000000E-0001");
    EXPECT_EQ(FormatE(1e-300, 10), " 1.0E-0300");
    EXPECT_EQ(FormatE(1.5e4000L, 11), " 1.50E+4000");
}

TEST(FormatE, RoundingCarriesIntoExponent) {
    EXPECT_EQ(FormatE(9.996, 11), " 1.00E+0001");
    EXPECT_EQ(FormatE(-0.099999, 12), "-1.000E-0001");
    EXPECT_EQ(FormatE(9.994, 11), " 9.99E+0000");
    EXPECT_EQ(FormatE(1.25, 10), " 1.3E+0000"); // exact half: away from zero
}

TEST(FormatE, NonFiniteStaysInsideItsWidth) {
    for (long double v : {std::numeric_limits<long double>::quiet_NaN(),
                          std::numeric_limits<long double>::infinity(),
                          -std::numeric_limits<long double>::infinity()})
        EXPECT_EQ(FormatE(v, 11), " 0.00E+0000");
}

TEST(FormatF, FixedDecimalsAndPadding) {
    EXPECT_EQ(FormatF(3300.1254, 8, 3), "3300.125");
    EXPECT_EQ(FormatF(12.5, 8, 3), "  12.500");
    EXPECT_EQ(FormatF(-1.5, 8, 5), "-1.50000");
    EXPECT_EQ(FormatF(100.4, 5, 0), "  100");
    EXPECT_EQ(FormatF(0.3, 0, 1), "0.3");
    EXPECT_EQ(FormatF(-7, 1, 0), "-7");
}

TEST(FormatF, RoundsToNearestWithCarry) {
    EXPECT_EQ(FormatF(9.9996, 6, 3), "10.000");
    EXPECT_EQ(FormatF(-999.96, 1, 1), "-1000.0");
    EXPECT_EQ(FormatF(99.5, 1, 0), "100");
    EXPECT_EQ(FormatF(-2.5, 1, 0), "-3");
    EXPECT_EQ(FormatF(0.125, 5, 2), " 0.13");
    EXPECT_EQ(FormatF(1.2344999, 1, 3), "1.234");
    EXPECT_EQ(FormatF(-0.0004, 6, 3), "-0.000"); // rounds to zero: the sign stays
    EXPECT_EQ(FormatF(-0.4, 3, 0), " -0");
    EXPECT_EQ(FormatF(-1e-30L, 0, 2), "-0.00");
    EXPECT_EQ(FormatF(-0.0, 0, 2), "-0.00"); // what "-0.00" reads back as
    EXPECT_EQ(FormatF(0.0, 0, 2), "0.00");
}

TEST(FormatF, WideValuesAreNeverCut) {
    EXPECT_EQ(FormatF(123456.789, 5, 2), "123456.79");
    EXPECT_EQ(FormatF(3.4e9, 6, 0), "3400000000");
    EXPECT_EQ(FormatF(-12345.678901L, 8, 5), "-12345.67890");
    EXPECT_EQ(FormatF(std::numeric_limits<double>::infinity(), 6, 2), "  0.00");
}

TEST(FormatI, PadsButNeverCuts) {
    EXPECT_EQ(FormatI(1024, 6), "  1024");
    EXPECT_EQ(FormatI(-5, 4), "  -5");
    EXPECT_EQ(FormatI(1234567, 3), "1234567");
    EXPECT_EQ(FormatI(0, 1), "0");
}

TEST(ReadNumber, AcceptsTheGrammar) {
    const struct {
        const char* text;
        double value;
    } cases[] = {{"5", 5},        {"  5", 5},      {"5 \t", 5},       {"\t-5.25\t", -5.25},
                 {"+3", 3},       {"5.", 5},       {".5", 0.5},       {"-.5", -0.5},
                 {"1e3", 1000},   {"1E+03", 1000}, {"2.5e-2", 0.025}, {"-0", 0},
                 {"007.50", 7.5}, {"+1.5E2 ", 150}};
    for (const auto& c : cases) {
        double d = -99;
        long double ld = -99;
        EXPECT_TRUE(ReadNumber(c.text, d)) << c.text;
        EXPECT_TRUE(ReadNumber(c.text, ld)) << c.text;
        EXPECT_EQ(d, c.value) << c.text;
        EXPECT_EQ(static_cast<double>(ld), c.value) << c.text;
    }
}

TEST(ReadNumber, RejectsEverythingElseAndKeepsTheValue) {
    for (const char* text :
         {"",    "  ",  "1.2.3", "1e",   "1e+", "e5",  ".",    "-",  "+",      "+-1",  "- 1",
          "1 2", "nan", "inf",   "-inf", "abc", "1,5", "0x10", "5a", "1e5000", "\x01", "1\n"}) {
        double d = 42;
        long double ld = 42;
        EXPECT_FALSE(ReadNumber(text, d)) << text;
        EXPECT_FALSE(ReadNumber(text, ld)) << text;
        EXPECT_EQ(d, 42) << text;
        EXPECT_EQ(ld, 42) << text;
    }
}

TEST(ReadNumber, RangeDependsOnTheTarget) {
    double d = 1;
    long double ld = 1;
    EXPECT_FALSE(ReadNumber("1e400", d));
    EXPECT_EQ(d, 1);
    EXPECT_TRUE(ReadNumber("1e400", ld));
    EXPECT_GT(ld, 1e399L);
}

TEST(ReadWholeNumber, DigitsOnlyWithinRange) {
    long long v = 0;
    EXPECT_TRUE(ReadWholeNumber(" +17 ", v));
    EXPECT_EQ(v, 17);
    EXPECT_TRUE(ReadWholeNumber("-9223372036854775808", v));
    EXPECT_EQ(v, std::numeric_limits<long long>::min());
    v = 3;
    for (const char* text : {"1.0", "1e3", "9223372036854775808", "", "12a", "- 1"})
        EXPECT_FALSE(ReadWholeNumber(text, v)) << text;
    EXPECT_EQ(v, 3);
}

TEST(ScanNumber, LengthOfTheLeadingNumber) {
    EXPECT_EQ(ScanNumber("1.5e3xyz"), 5u);
    EXPECT_EQ(ScanNumber("-12 7"), 3u);
    EXPECT_EQ(ScanNumber("12.5", true), 2u);
    EXPECT_EQ(ScanNumber("1e+"), 0u);
    EXPECT_EQ(ScanNumber(" 1"), 0u);
    EXPECT_EQ(ScanNumber("-.e1"), 0u);
}

// The point reader's own conversion: random numbers as spectrometers and
// people write them, each standing at every distance from the text's end
// and followed by what may follow a number, read as std::from_chars reads
// them, over the whole length of the number and no further.
TEST(ScanNumber, PointReaderAgreesWithFromCharsAtEveryDistanceFromTheEnd) {
    std::mt19937 rng(20261208);
    auto digits = [&](int n) {
        std::string s;
        for (int k = 0; k < n; ++k) s += char('0' + rng() % 10);
        return s;
    };
    const char* after[] = {"", " ", "\t1", "x", "e", "E+", "-", "\xB1", ":"};
    for (int trial = 0; trial < 20000; ++trial) {
        std::string number = rng() % 3 == 0 ? "-" : rng() % 5 == 0 ? "+" : "";
        number += std::string(rng() % 4 == 0 ? rng() % 3 : 0, '0') + digits(int(rng() % 12));
        if (rng() % 4 != 0) number += '.' + digits(int(rng() % (rng() % 8 == 0 ? 24 : 9)));
        if (rng() % 3 == 0)
            number += std::string("eE").substr(rng() % 2, 1) +
                      std::string(rng() % 3 == 0 ? "-"
                                  : rng() % 2    ? "+"
                                                 : "") +
                      digits(1 + int(rng() % 4));
        const std::string tail = after[rng() % std::size(after)];
        const std::string text = number + tail;
        // The expected length: the grammar's, the longest prefix from_chars
        // takes when the number has digits.
        std::string_view token = number;
        if (!token.empty() && token.front() == '+') token.remove_prefix(1);
        float expected = 0;
        const auto r = std::from_chars(token.data(), token.data() + token.size(), expected);
        // "1.5e" and "1.5E+" are no numbers at all.
        const bool dangling = !tail.empty() && (tail[0] == 'e' || tail[0] == 'E') &&
                              number.find_first_of("eE") == std::string::npos;
        const bool valid = r.ec == std::errc() && r.ptr == token.data() + token.size() &&
                           number.find_first_of("0123456789") < number.find_first_of("eE") &&
                           !dangling;
        // Copied into a buffer of its exact size, so the reader's eight-byte
        // steps meet the end at every distance.
        const std::unique_ptr<char[]> exact(new char[text.size()]);
        std::memcpy(exact.get(), text.data(), text.size());
        NumberParts parts;
        const size_t n = ScanNumberParts({exact.get(), text.size()}, false, parts);
        if (!valid) {
            if (r.ec == std::errc::result_out_of_range) continue;
            EXPECT_EQ(n, 0u) << text;
            continue;
        }
        ASSERT_EQ(n, number.size()) << text;
        float v = 0;
        ASSERT_TRUE(PartsToFloat(parts, {exact.get(), n}, v)) << text;
        EXPECT_EQ(v, expected) << text;
    }
}
