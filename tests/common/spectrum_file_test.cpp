#include "TYPEKIVO1_3.h"
#include "blank_line_ends.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <vector>

using namespace kivo;
namespace fs = std::filesystem;

namespace {

// A header at standard widths, typed by hand from the file layout.
const std::string kStandardHeader =
    "Sample 7\r\n"
    "DPPH, 295 K\r\n"
    "ScanRange  =   \xF1  100  TimeScan =       4 min\r\n"
    "Gain =           2.00E+0005  Modulation=    1.000\r\n"
    "Power =       20.00 mW,  Experim.time=  1.5\r\n"
    "Number  of Points=  1024  Delta points= 9.76562500000000E-0002\r\n"
    "SumLeft1= 12.34568   SumRight1= -1.50000\r\n"
    "SumLeft2=    250   SumRight2=   -300\r\n"
    "Standart (Ruby)=1.234 Other Standart=0.500\r\n"
    "Num. particles=  1.230E+0017  Dbl.Integral=  123.45678\r\n";

ParamSpec StandardValues() {
    ParamSpec p;
    p.Line1 = "Sample 7";
    p.Line2 = "DPPH, 295 K";
    p.ScanRange = 100;
    p.TimeScan = 4;
    p.Gain = 2e5;
    p.Modulation = 1;
    p.Power = 20;
    p.ExperimTime = 1.5;
    p.NumPoints = 1024;
    p.DeltaPoints = 0.09765625;
    p.SumLeft1 = 12.34568L;
    p.SumRight1 = -1.5;
    p.SumLeft2 = 250;
    p.SumRight2 = -300;
    p.StandartRuby = 1.234L;
    p.OtherStandart = 0.5;
    p.NumParticles = 1.23e17L;
    p.DblIntegral = 123.45678L;
    return p;
}

// Every header field agrees within half a unit of its last printed digit.
void ExpectSameHeader(const ParamSpec& want, const ParamSpec& got) {
    auto rel = [](long double v, int sig) {
        return std::fabs(v) * 0.5L * std::pow(10.0L, 1 - sig);
    };
    EXPECT_EQ(got.Line1, want.Line1);
    EXPECT_EQ(got.Line2, want.Line2);
    EXPECT_NEAR(got.ScanRange, want.ScanRange, 0.5);
    EXPECT_NEAR(got.TimeScan, want.TimeScan, 0.5);
    EXPECT_NEAR(got.Gain, want.Gain, rel(want.Gain, 3));
    EXPECT_NEAR(got.Modulation, want.Modulation, 5e-4);
    EXPECT_NEAR(got.Power, want.Power, 5e-3);
    EXPECT_NEAR(double(got.ExperimTime), double(want.ExperimTime), 0.05);
    EXPECT_EQ(got.NumPoints, want.NumPoints);
    EXPECT_NEAR(double(got.DeltaPoints), double(want.DeltaPoints),
                double(rel(want.DeltaPoints, 15)));
    EXPECT_NEAR(double(got.SumLeft1), double(want.SumLeft1), 5e-6);
    EXPECT_NEAR(double(got.SumRight1), double(want.SumRight1), 5e-6);
    EXPECT_NEAR(double(got.SumLeft2), double(want.SumLeft2), 0.5);
    EXPECT_NEAR(double(got.SumRight2), double(want.SumRight2), 0.5);
    EXPECT_NEAR(double(got.StandartRuby), double(want.StandartRuby), 5e-4);
    EXPECT_NEAR(double(got.OtherStandart), double(want.OtherStandart), 5e-4);
    EXPECT_NEAR(double(got.NumParticles), double(want.NumParticles),
                double(rel(want.NumParticles, 4)));
    EXPECT_NEAR(double(got.DblIntegral), double(want.DblIntegral), 5e-6);
    EXPECT_EQ(got.PhaseSign, 1);
}

struct Spectrum {
    std::vector<float> x = std::vector<float>(MaxPoints + 1, -777.f); // one guard slot
    std::vector<float> y = std::vector<float>(MaxPoints + 1, -777.f);
    ParamSpec p;
    ReadResult Read(const std::string& text, int kind = KindEsr) {
        return ReadSpectrumText(text, kind, p, x.data(), y.data());
    }
};

std::string Points(int n, std::string_view end = "\r\n") {
    std::string s;
    for (int k = 0; k < n; ++k)
        s +=
            FormatF(3300 + 0.5 * k, 8, 3) + " " + FormatE(std::sin(k * 0.1), 15) + std::string(end);
    return s;
}

class TempDir : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("kivo_common_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    static std::string Slurp(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    fs::path dir_;
};

} // namespace

TEST(FileKindOf, EndingWithoutRegardToCase) {
    EXPECT_EQ(FileKindOf("a.esr"), KindEsr);
    EXPECT_EQ(FileKindOf("/x/B.ESR"), KindEsr);
    EXPECT_EQ(FileKindOf("c.TxT"), KindTxt);
    EXPECT_EQ(FileKindOf("d.Dat"), KindDat);
    EXPECT_EQ(FileKindOf(".esr"), KindEsr);
    for (const char* name : {"", "esr", "x.es", "x.esr.bak", "x.esrr", "x_esr", "x.csv"})
        EXPECT_EQ(FileKindOf(name), KindUnknown) << name;
}

TEST(EsrHeader, WriterMatchesTheHandWrittenLayout) {
    const std::string h = FormatEsrHeader(StandardValues());
    EXPECT_EQ(h, kStandardHeader);
    EXPECT_EQ(h[h.find("ScanRange") + 15], '\xF1'); // column 16 of line 3
}

TEST(EsrHeader, StandardWidthsReadByTheirColumns) {
    ParamSpec p;
    p.Amplitude = 9;
    p.PhaseSign = -1;
    ReadEsrHeader(kStandardHeader, p);
    EXPECT_EQ(p.Line1, "Sample 7");
    EXPECT_EQ(p.Line2, "DPPH, 295 K");
    EXPECT_EQ(p.ScanRange, 100);
    EXPECT_EQ(p.TimeScan, 4);
    EXPECT_EQ(p.Gain, 2e5);
    EXPECT_EQ(p.Modulation, 1);
    EXPECT_EQ(p.Power, 20);
    EXPECT_EQ(p.ExperimTime, 1.5L);
    EXPECT_EQ(p.NumPoints, 1024);
    EXPECT_EQ(p.DeltaPoints, 0.09765625L);
    EXPECT_EQ(p.SumLeft1, 12.34568L);
    EXPECT_EQ(p.SumRight1, -1.5L);
    EXPECT_EQ(p.SumLeft2, 250);
    EXPECT_EQ(p.SumRight2, -300);
    EXPECT_EQ(p.StandartRuby, 1.234L);
    EXPECT_EQ(p.OtherStandart, 0.5L);
    EXPECT_EQ(p.NumParticles, 1.23e17L);
    EXPECT_EQ(p.DblIntegral, 123.45678L);
    EXPECT_EQ(p.PhaseSign, 1);
    EXPECT_EQ(p.Amplitude, 9); // not part of the header
}

TEST(EsrHeader, LinesWithoutTheirLabelsFallBackToColumns) {
    // Second labels misspelt: the values stand at their standard columns.
    ParamSpec p;
    ReadEsrHeader("a\nb\n"
                  "ScanRange  =   \xF1  250  TimeSkan =      16 min\n"
                  "Gain =           1.00E+0003  Modulaton=     2.500    xyz\n"
                  "\n"
                  "Number  of Points=   512  Delta pts=   -2.50000000000000E-0001\n"
                  "SumLeft1= 12.50000   SumRechts= -3.25000\n",
                  p);
    EXPECT_EQ(p.ScanRange, 250);
    EXPECT_EQ(p.TimeScan, 16);
    EXPECT_EQ(p.Gain, 1000);
    EXPECT_EQ(p.Modulation, 2.5);
    EXPECT_EQ(p.NumPoints, 512);
    EXPECT_EQ(p.DeltaPoints, -0.25L); // the sign stands in column 40
    EXPECT_EQ(p.SumLeft1, 12.5L);
    EXPECT_EQ(p.SumRight1, -3.25L);
    EXPECT_EQ(p.SumLeft2, 0); // lines 8..10 are missing
    EXPECT_EQ(p.DblIntegral, 0);
}

TEST(EsrHeader, ReEncodedPlusMinusAndBadValues) {
    // An editor saved the file as UTF-8: the plus-minus sign became two bytes.
    ParamSpec p;
    ReadEsrHeader("\n\nScanRange  =   \xC2\xB1  100  TimeScan =       4 min\n"
                  "Gain =           x.00E+0003  Modulation=    1.000\n"
                  "Power =       20.00 mW,  Experim.time=  1.5\n"
                  "Number  of Points=999999  Delta points= 1.0E+0000\n",
                  p);
    EXPECT_EQ(p.ScanRange, 100);
    EXPECT_EQ(p.TimeScan, 4);
    EXPECT_EQ(p.Gain, 0);
    EXPECT_EQ(p.Modulation, 1);
    EXPECT_EQ(p.ExperimTime, 1.5L);
    EXPECT_EQ(p.NumPoints, 0); // out of the field's range
    EXPECT_EQ(p.DeltaPoints, 1);
}

TEST(EsrHeader, RoundTripAtStandardWidths) {
    ParamSpec p = StandardValues();
    p.Gain = 2.3456e-3;
    p.Modulation = 0.12345;
    p.Power = 0.0456;
    p.SumLeft1 = 0.123456789L;
    p.DeltaPoints = 0.006666666666666667L;
    ParamSpec q;
    ReadEsrHeader(FormatEsrHeader(p), q);
    ExpectSameHeader(p, q);
}

TEST(EsrHeader, RoundTripOfValuesWiderThanTheirFields) {
    ParamSpec p;
    p.ScanRange = 123456;
    p.TimeScan = -12345;
    p.Gain = -2e-3;
    p.Modulation = -1234.5678;
    p.Power = -98765.4321;
    p.ExperimTime = 123456.78L;
    p.NumPoints = 65535;
    p.DeltaPoints = -0.25;
    p.SumLeft1 = 12345.678901L;
    p.SumRight1 = -99999.123456L;
    p.SumLeft2 = 3.4e9L;
    p.SumRight2 = -7.5e12L;
    p.StandartRuby = 123.456L;
    p.OtherStandart = -4321.0987L;
    p.NumParticles = 1.23e25L;
    p.DblIntegral = -12345678.9L;
    const std::string h = FormatEsrHeader(p);
    EXPECT_NE(h.find("SumLeft1= 12345.67890   SumRight1= -99999.12346\r\n"), std::string::npos);
    ParamSpec q;
    ReadEsrHeader(h, q);
    ExpectSameHeader(p, q);
}

// A small negative result is written "-0"; read back and saved again, the
// file keeps its bytes (found by fuzzing).
TEST(EsrHeader, NegativeValuesThatRoundToZeroSaveAgainUnchanged) {
    ParamSpec p = StandardValues();
    p.SumRight2 = -0.4L;
    p.SumRight1 = -1e-7L;
    p.DblIntegral = -0.000001L;
    const std::string h = FormatEsrHeader(p);
    EXPECT_NE(h.find("SumRight1= -0.00000\r\n"), std::string::npos);
    EXPECT_NE(h.find("SumRight2=     -0\r\n"), std::string::npos);
    ParamSpec q;
    ReadEsrHeader(h, q);
    EXPECT_EQ(FormatEsrHeader(q), h);
}

TEST(EsrHeader, EightBitTextLinesRoundTripByteForByte) {
    ParamSpec p;
    p.Line1 = "\x8E\xA1\xE0\xA0\xA7\xA5\xE6 \xB9 5";   // CP866 Cyrillic
    p.Line2 = "\xCE\xE1\xF0\xE0\xE7\xE5\xF6, \xB9 5 "; // CP1251 Cyrillic
    for (int c = 0x80; c <= 0xFF; ++c) p.Line2 += char(c);
    ParamSpec q;
    ReadEsrHeader(FormatEsrHeader(p), q);
    EXPECT_EQ(q.Line1, p.Line1);
    EXPECT_EQ(q.Line2, p.Line2);
}

TEST(SpectrumText, WrittenTextEndsEveryLineWithCrLf) {
    Spectrum s;
    for (int k = 0; k < 3; ++k) s.x[k] = 3300 + k, s.y[k] = 0.5f * k;
    ParamSpec p = StandardValues();
    p.NumPoints = 3;
    const std::string t = FormatSpectrum(p, s.x.data(), s.y.data());
    const std::string tail = "Spectr:\r\n"
                             "3300.000  0.000000E+0000\r\n"
                             "3301.000  5.000000E-0001\r\n"
                             "3302.000  1.000000E+0000\r\n";
    ASSERT_GT(t.size(), tail.size());
    EXPECT_EQ(t.substr(t.size() - tail.size()), tail);
    int lines = 0;
    for (size_t i = 0; i < t.size(); ++i) {
        if (t[i] == '\n') {
            ++lines;
            EXPECT_EQ(t[i - 1], '\r') << "line " << lines;
        } else if (t[i] == '\r') {
            ASSERT_LT(i + 1, t.size());
            EXPECT_EQ(t[i + 1], '\n');
        }
    }
    EXPECT_EQ(lines, 14);
}

TEST(SpectrumText, RoundTripOfPointsAndAmplitude) {
    Spectrum s;
    ParamSpec p = StandardValues();
    p.NumPoints = 500;
    for (int k = 0; k < 500; ++k) {
        s.x[k] = 3250 + 0.0067f * k;
        s.y[k] = 1e-3f * std::cos(0.05f * k) * (k % 7 == 0 ? -1 : 1);
    }
    Spectrum r;
    const ReadResult res = r.Read(FormatSpectrum(p, s.x.data(), s.y.data()));
    ASSERT_EQ(res.Status, ReadStatus::Ok);
    EXPECT_FALSE(res.Truncated);
    ASSERT_EQ(r.p.NumPoints, 500);
    float hi = s.y[0], lo = s.y[0];
    for (int k = 0; k < 500; ++k) {
        EXPECT_NEAR(r.x[k], s.x[k], 7.5e-4);
        EXPECT_NEAR(r.y[k], s.y[k], std::fabs(s.y[k]) * 1e-6);
        hi = std::max(hi, s.y[k]), lo = std::min(lo, s.y[k]);
    }
    EXPECT_NEAR(r.p.Amplitude, hi - lo, (hi - lo) * 1e-6);
    EXPECT_EQ(r.x[500], -777.f);
}

TEST(SpectrumText, FallingFieldIsReversedAboveNineTenths) {
    // 101 points: 100 steps, of which more than 90 must fall.
    for (int fallingSteps : {90, 91}) {
        std::string t = kStandardHeader + "Spectr:\r\n";
        float x = 5000;
        for (int k = 0; k <= 100; ++k) {
            t += FormatF(x, 8, 3) + " " + FormatE(k, 15) + "\r\n";
            x += k < fallingSteps ? -1 : 2;
        }
        Spectrum s;
        ASSERT_EQ(s.Read(t).Status, ReadStatus::Ok);
        ASSERT_EQ(s.p.NumPoints, 101);
        const bool reversed = fallingSteps == 91;
        EXPECT_EQ(s.x[0], reversed ? 5000 - fallingSteps + 2 * (100 - fallingSteps) : 5000);
        EXPECT_EQ(s.y[0], reversed ? 100 : 0);
        EXPECT_EQ(s.y[100], reversed ? 0 : 100);
        EXPECT_EQ(s.x[100], reversed ? 5000 : 5000 - fallingSteps + 2 * (100 - fallingSteps));
    }
}

TEST(SpectrumText, MarkerMustMatchExactly) {
    for (const char* marker :
         {"spectr:\r\n", "Spectr: \r\n", "SPECTR:\n", " Spectr:\n", "Spectr\n"}) {
        Spectrum s;
        s.p.NumPoints = 5;
        EXPECT_EQ(s.Read(kStandardHeader + marker + Points(10)).Status, ReadStatus::NoPoints)
            << marker;
        EXPECT_EQ(s.p.NumPoints, 0);
    }
    Spectrum s;
    EXPECT_EQ(s.Read(kStandardHeader + Points(10)).Status, ReadStatus::NoPoints);
}

TEST(SpectrumText, TooFewPointsIsNoPoints) {
    for (int n : {0, 1}) {
        Spectrum s;
        EXPECT_EQ(s.Read(kStandardHeader + "Spectr:\r\n\r\n  \t\r\n" + Points(n)).Status,
                  ReadStatus::NoPoints);
        EXPECT_EQ(s.p.NumPoints, 0);
    }
    Spectrum s;
    EXPECT_EQ(s.Read(kStandardHeader + "Spectr:\r\n" + Points(2)).Status, ReadStatus::Ok);
    EXPECT_EQ(s.p.NumPoints, 2);
    EXPECT_EQ(s.Read(kStandardHeader + "Spectr:\r\n" + Points(2), KindUnknown).Status,
              ReadStatus::NoPoints);
}

TEST(SpectrumText, TxtWithAndWithoutMarker) {
    Spectrum s;
    s.p = StandardValues();
    s.p.PhaseSign = -1;
    const std::string body = "1 3300.0 0.5\n2\t3300.5\t-0.25  comment\n\n3 3301 0.75\n";
    ASSERT_EQ(s.Read("anything\nSpectr:\n" + body, KindTxt).Status, ReadStatus::Ok);
    EXPECT_EQ(s.p.NumPoints, 3);
    EXPECT_TRUE(s.p.Line1.empty());
    EXPECT_TRUE(s.p.Line2.empty());
    EXPECT_EQ(s.p.ScanRange, 0);
    EXPECT_EQ(s.p.Gain, 0);
    EXPECT_EQ(s.p.SumLeft1, 0);
    EXPECT_EQ(s.p.NumParticles, 0);
    EXPECT_EQ(s.p.PhaseSign, 1);
    EXPECT_EQ(s.x[1], 3300.5f);
    EXPECT_EQ(s.y[1], -0.25f);
    EXPECT_EQ(s.p.Amplitude, 1.0);
    EXPECT_EQ(s.Read(body, KindTxt).Status, ReadStatus::NoPoints);
    EXPECT_EQ(s.p.NumPoints, 0);
}

TEST(SpectrumText, BadPointLineNamesItsLine) {
    const struct {
        std::string bad;
        int kind;
    } cases[] = {{"3300.0", KindEsr},      {"3300.0,1.0", KindEsr},   {"3300.0 1e40", KindEsr},
                 {"3300.0 1.0x", KindEsr}, {"x 3300.0 1.0", KindEsr}, {"1.5 3300.0 1.0", KindTxt},
                 {"3300.0 1.0", KindTxt},  {"3300.0 nan", KindEsr},   {"3300.0 1.0\r\r", KindEsr}};
    for (const auto& c : cases) {
        // Header 10 lines, marker 11, points 12-13, a blank line 14, the fault 15.
        const std::string good = c.kind == KindTxt ? "1 1 1\r\n2 2 2\r\n" : "1 1\r\n2 2\r\n";
        Spectrum s;
        const ReadResult r =
            s.Read(kStandardHeader + "Spectr:\r\n" + good + "\r\n" + c.bad + "\r\n" + good, c.kind);
        EXPECT_EQ(r.Status, ReadStatus::BadPointLine) << c.bad;
        EXPECT_EQ(r.Line, 15) << c.bad;
        EXPECT_EQ(s.p.NumPoints, 0);
    }
    Spectrum s; // underflow is not a fault: the value is just zero
    ASSERT_EQ(s.Read(kStandardHeader + "Spectr:\n1 1e-50\n2 +2.\n").Status, ReadStatus::Ok);
    EXPECT_EQ(s.y[0], 0);
    EXPECT_EQ(s.y[1], 2);
}

TEST(SpectrumText, PointValuesRoundLikeTheLibrary) {
    // Long mantissas, halfway cases between floats, range ends: each must
    // give the float std::from_chars gives.
    const char* values[] = {"16777217",
                            "16777219",
                            "3.770204901695251",    // a double next to a float halfway point
                            "18446744073709551617", // 2^64 + 1
                            "1.000000059604644775390625",
                            "1.0000000000000000000000001",
                            "123456789012345678901234",
                            "0.000000000000000000000000000000000000011754943",
                            "3.4028235e38",
                            "1.234567E-0003",
                            "00000000000000000000000000.5"};
    std::string text = kStandardHeader + "Spectr:\n";
    for (const char* v : values) text += std::string("1 ") + v + "\n";
    Spectrum s;
    ASSERT_EQ(s.Read(text).Status, ReadStatus::Ok);
    for (size_t i = 0; i < std::size(values); ++i) {
        const std::string_view v = values[i];
        float want = 0;
        std::from_chars(v.data(), v.data() + v.size(), want);
        EXPECT_EQ(s.y[i], want) << v;
    }
}

// Point lines in the layout Kivo writes are read at fixed columns; every
// other line by the general parser. A blank put before each line's end takes
// a line out of that layout without changing what it means, so random texts
// of written lines, changed here and there byte by byte, must read the same
// both ways: the same points to the bit, the same refusal on the same line.
TEST(SpectrumText, WrittenLayoutReadsAsTheGeneralParserReadsIt) {
    std::mt19937 rng(8122026);
    auto pick = [&](int n) { return int(rng() % unsigned(n)); };
    auto line = [&] {
        const double x = pick(8) == 0 ? -double(pick(100000)) / 7 : double(pick(12000000)) / 997;
        double y = std::ldexp(double(rng()) / 4294967296.0 - 0.5,
                              pick(8) == 0 ? pick(260) - 130 : pick(60) - 30);
        if (pick(30) == 0) y = 0;
        const char* ends[] = {"\r\n", "\r\n", "\r\n", "\n", "\r\r\n"};
        std::string l = FormatF(x, 8, 3) + " " + FormatE(y, 15) + ends[pick(5)];
        if (pick(6) == 0) {
            const char odd[] = "0123456789 -+.Ee_\tx\r\n\x1A";
            l[size_t(pick(int(l.size())))] = odd[pick(int(sizeof odd - 1))];
        }
        if (pick(40) == 0) l = pick(2) ? "\r\n" : " \t\n";
        return l;
    };
    // Every byte at every column of one written line, the fuzzer's finding
    // ("3261.339_ 1.419434E+0002") among them.
    const std::string good = "3261.339  1.419434E+0002\r\n";
    for (size_t column = 0; column < good.size(); ++column)
        for (int byte = 0; byte < 256; ++byte) {
            std::string wrong = good;
            wrong[column] = char(byte);
            const std::string text = kStandardHeader + "Spectr:\r\n" + good + wrong + good;
            const std::string plain = kivo_lines::WithBlankLineEnds(text, 11);
            Spectrum fixed, general;
            const ReadResult a = fixed.Read(text), b = general.Read(plain);
            ASSERT_EQ(a.Status, b.Status) << column << " " << byte;
            ASSERT_EQ(a.Line, b.Line) << column << " " << byte;
            ASSERT_EQ(fixed.p.NumPoints, general.p.NumPoints) << column << " " << byte;
            for (int k = 0; k < fixed.p.NumPoints; ++k)
                ASSERT_TRUE(fixed.x[size_t(k)] == general.x[size_t(k)] &&
                            fixed.y[size_t(k)] == general.y[size_t(k)])
                    << column << " " << byte << " point " << k;
        }
    for (int trial = 0; trial < 400; ++trial) {
        std::string text = kStandardHeader + "Spectr:\r\n";
        const int lines = trial < 3 ? MaxPoints + pick(3) - 1 : 1 + pick(trial % 2 ? 200 : 3);
        for (int k = 0; k < lines; ++k) text += line();
        if (pick(3) == 0) text.erase(text.size() - 1 - size_t(pick(2))); // no end on the last line
        const std::string plain = kivo_lines::WithBlankLineEnds(text, 11);
        Spectrum fixed, general;
        const ReadResult a = fixed.Read(text), b = general.Read(plain);
        ASSERT_EQ(a.Status, b.Status) << trial;
        ASSERT_EQ(a.Line, b.Line) << trial;
        ASSERT_EQ(a.Truncated, b.Truncated) << trial;
        ASSERT_EQ(fixed.p.NumPoints, general.p.NumPoints) << trial;
        ASSERT_EQ(fixed.p.Amplitude, general.p.Amplitude) << trial;
        for (int k = 0; k <= MaxPoints; ++k) {
            ASSERT_EQ(std::bit_cast<uint32_t>(fixed.x[size_t(k)]),
                      std::bit_cast<uint32_t>(general.x[size_t(k)]))
                << trial << " point " << k;
            ASSERT_EQ(std::bit_cast<uint32_t>(fixed.y[size_t(k)]),
                      std::bit_cast<uint32_t>(general.y[size_t(k)]))
                << trial << " point " << k;
        }
    }
}

TEST(SpectrumText, MoreThanMaxPointsKeepsTheFirst) {
    Spectrum s;
    ReadResult r = s.Read(kStandardHeader + "Spectr:\r\n" + Points(MaxPoints + 1));
    EXPECT_EQ(r.Status, ReadStatus::Ok);
    EXPECT_TRUE(r.Truncated);
    EXPECT_EQ(s.p.NumPoints, MaxPoints);
    EXPECT_EQ(s.x[MaxPoints - 1], 3300 + 0.5f * (MaxPoints - 1));
    EXPECT_EQ(s.x[MaxPoints], -777.f);
    EXPECT_EQ(s.y[MaxPoints], -777.f);

    r = s.Read(kStandardHeader + "Spectr:\r\n" + Points(MaxPoints) + "\r\n \r\n");
    EXPECT_FALSE(r.Truncated);
    EXPECT_EQ(s.p.NumPoints, MaxPoints);
}

TEST(SpectrumText, LfOnlyFilesAndDosEndMark) {
    std::string header = kStandardHeader;
    for (size_t i; (i = header.find('\r')) != std::string::npos;) header.erase(i, 1);
    Spectrum s;
    ASSERT_EQ(s.Read(header + "Spectr:\n" + Points(4, "\n") + "\x1A").Status, ReadStatus::Ok);
    EXPECT_EQ(s.p.NumPoints, 4);
    EXPECT_EQ(s.p.SumRight2, -300);
    EXPECT_EQ(s.p.Line2, "DPPH, 295 K");
    EXPECT_EQ(s.x[3], 3301.5f);
}

TEST_F(TempDir, WriteThenReadAFile) {
    Spectrum s;
    ParamSpec p = StandardValues();
    p.NumPoints = 300;
    for (int k = 0; k < 300; ++k) s.x[k] = 3300 - 0.25f * k, s.y[k] = float(k % 10);
    const std::string path = (dir_ / "a.esr").string();
    std::string error = "stale";
    ASSERT_TRUE(WriteSpectrumFile(p, s.x.data(), s.y.data(), path, error));
    EXPECT_TRUE(error.empty());
    EXPECT_EQ(Slurp(path), FormatSpectrum(p, s.x.data(), s.y.data()));

    // A shorter save replaces the whole file and leaves no temporary behind.
    p.NumPoints = 20;
    ASSERT_TRUE(WriteSpectrumFile(p, s.x.data(), s.y.data(), path, error));
    EXPECT_EQ(Slurp(path), FormatSpectrum(p, s.x.data(), s.y.data()));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);

    ParamSpec q;
    PointBuffer X, Y;
    const ReadResult r = ReadSpectrumFile(path, FileKindOf(path), q, X, Y);
    ASSERT_EQ(r.Status, ReadStatus::Ok);
    ASSERT_TRUE(X.Allocated() && Y.Allocated());
    EXPECT_EQ(q.NumPoints, 20);
    EXPECT_EQ(X[1], 3295.25f); // falling field, stored rising
    EXPECT_EQ(Y[1], 9);
    EXPECT_EQ(X[20], 3300);
    ExpectSameHeader(p, q);
}

TEST_F(TempDir, FailedSavesLeaveTheTargetAlone) {
    float x[2] = {1, 2}, y[2] = {3, 4};
    ParamSpec p;
    p.NumPoints = 2;
    std::string error;
    const std::string missing = (dir_ / "no" / "such" / "a.esr").string();
    EXPECT_FALSE(WriteSpectrumFile(p, x, y, missing, error));
    EXPECT_EQ(error.rfind("cannot create " + missing + ": ", 0), 0u) << error;

    // The target is a directory: the rename fails, the directory stays.
    const fs::path target = dir_ / "b.esr";
    fs::create_directory(target);
    fs::path keep = target / "keep";
    std::ofstream(keep) << "old";
    error.clear();
    EXPECT_FALSE(WriteSpectrumFile(p, x, y, target.string(), error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(fs::is_directory(target));
    EXPECT_EQ(Slurp(keep), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(TempDir, UnreadablePathsCannotBeOpened) {
    for (const fs::path& path : {dir_ / "none.esr", dir_}) {
        ParamSpec q;
        q.NumPoints = 9;
        PointBuffer X, Y;
        EXPECT_EQ(ReadSpectrumFile(path.string(), KindEsr, q, X, Y).Status, ReadStatus::CannotOpen);
        EXPECT_EQ(q.NumPoints, 0);
    }
}

TEST(SpectrumText, HeaderLinesThatReadLikeTheMarkerStayHeader) {
    ParamSpec p;
    p.Line1 = "Spectr:";
    p.Line2 = "Spectr:";
    p.NumPoints = 2;
    const float x[2] = {3300, 3301}, y[2] = {1, -2};
    Spectrum s;
    ASSERT_EQ(s.Read(FormatSpectrum(p, x, y)).Status, ReadStatus::Ok);
    EXPECT_EQ(s.p.Line1, "Spectr:");
    EXPECT_EQ(s.p.Line2, "Spectr:");
    EXPECT_EQ(s.p.NumPoints, 2);
    EXPECT_EQ(s.y[1], -2);

    // A .txt file that starts with its marker, saved and read again.
    ASSERT_EQ(s.Read("Spectr:\n1 3300 1\n2 3301 -2\n", KindTxt).Status, ReadStatus::Ok);
    const std::string saved = FormatSpectrum(s.p, s.x.data(), s.y.data());
    Spectrum again;
    ASSERT_EQ(again.Read(saved).Status, ReadStatus::Ok);
    EXPECT_EQ(FormatSpectrum(again.p, again.x.data(), again.y.data()), saved);

    // Fewer than ten lines hold no point section.
    EXPECT_EQ(s.Read("l1\nSpectr:\n1 1\n2 2\n").Status, ReadStatus::NoPoints);
}

TEST(ParamRecord, ClearingGivesTheTextLinesMemoryBack) {
    ParamSpec p;
    p.Line1.assign(size_t(1) << 20, 'x');
    p.Line2 = p.Line1;
    p.Amplitude = 2.5;
    ClearParamSpec(p);
    EXPECT_TRUE(p.Line1.empty());
    EXPECT_LT(p.Line1.capacity() + p.Line2.capacity(), 64u);
    EXPECT_EQ(p.Amplitude, 2.5);
}

TEST_F(TempDir, FilesAreRefusedBySizeAndKindBeforeTheyAreRead) {
    const std::string big = (dir_ / "big.esr").string();
    auto sized = [&big](uint64_t bytes) {
        std::ofstream(big, std::ios::binary | std::ios::trunc).close();
        fs::resize_file(big, bytes); // sparse: costs no disk
    };
    ParamSpec q;
    PointBuffer X, Y;
    sized(MaxFileBytes + 1);
    ReadResult r = ReadSpectrumFile(big, KindEsr, q, X, Y);
    EXPECT_EQ(r.Status, ReadStatus::TooLarge);
    EXPECT_EQ(r.Size, MaxFileBytes + 1);
    EXPECT_FALSE(X.Allocated());

    sized(MaxFileBytes); // the largest that is read: zero bytes, no marker
    r = ReadSpectrumFile(big, KindEsr, q, X, Y);
    EXPECT_EQ(r.Status, ReadStatus::NoPoints);
    EXPECT_EQ(q.Line1.size(), MaxFileBytes);
    ClearParamSpec(q);

    // A pipe under any kind's name is refused at once, not waited on, and
    // says why.
    const std::string pipe = (dir_ / "pipe.esr").string();
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    for (int kind : {KindEsr, KindDat, KindUnknown}) {
        r = ReadSpectrumFile(pipe, kind, q, X, Y);
        EXPECT_EQ(r.Status, ReadStatus::CannotOpen) << kind;
        EXPECT_EQ(r.Reason, "not a regular file") << kind;
    }
}
