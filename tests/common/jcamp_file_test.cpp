// JCAMP-DX files: the ASDF forms, what Kivo writes read back float for
// float, and the files refused with their line and reason.
#include "TYPEKIVO1_3.h"
#include "loader.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <bit>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

using namespace kivo;

namespace {

using Floats = std::vector<float>;

// A block of n points from 1 G to n G, its labels spelt as loosely as the
// standard lets them be compared; the data table starts on line 9.
std::string Block(int n, const std::string& table, const std::string& yFactor = "1") {
    return "##TITLE= t\r\n##JCAMP-DX= 4.24\r\n##x units= GAUSS\r\n##First_X= 1\r\n##last-x= " +
           std::to_string(n) + "\r\n##N/Points= " + std::to_string(n) +
           "\r\n##YFactor= " + yFactor + "\r\n##XYDATA= (X++(Y..Y))\r\n" + table + "##END=\r\n";
}

Floats Ys(const std::string& text) {
    const JcampRead r = ReadJcampText(text, MaxSpec);
    if (r.Result.Status != ReadStatus::Ok) return {-999};
    if (r.Spectra.size() != 1 || r.Spectra[0].Result.Status != ReadStatus::Ok)
        return {r.Spectra.empty() ? -998.f : -997.f};
    return r.Spectra[0].Y;
}

bool Same(const Floats& a, const Floats& b) {
    if (a.size() != b.size()) return false;
    for (size_t k = 0; k < a.size(); ++k)
        if (std::bit_cast<uint32_t>(a[k]) != std::bit_cast<uint32_t>(b[k])) return false;
    return true;
}

} // namespace

// The ordinates 1 2 3 3 2 1 0 -1 -2 -3 in every form, as the standard writes
// them, each line starting with its X.
TEST(JcampFile, EveryCompressionForm) {
    const Floats standard{1, 2, 3, 3, 2, 1, 0, -1, -2, -3};
    const struct {
        const char* form;
        std::string table;
    } cases[] = {
        {"AFFN", "1 1 2 3 3 2 1 0 -1 -2 -3\r\n"},
        {"AFFN, commas and lines", "1 1.0,2.0E+00,3\r\n4 3 2 1 0\r\n8 -1,-2 -3 $$ the end\r\n"},
        {"PAC", "1+1+2+3+3+2+1+0-1-2-3\r\n"},
        {"SQZ", "1ABCCBA@abc\r\n"},
        {"SQZ with DUP", "1ABCTBA@abc\r\n"},
        {"DIF", "1AJJ%jjjjjj\r\n"},
        {"DIF with its Y check", "1AJJ%jj\r\n6Ajjjj\r\n"},
        {"DIFDUP", "1AJT%jX\r\n"},
        {"DIFDUP with a closing Y check", "1AJT%jX\r\n10c\r\n"},
        {"DIFDUP over lines", "1AJT\r\n3C%jT\r\n6AjV\r\n10c\r\n"},
    };
    for (const auto& c : cases) EXPECT_TRUE(Same(Ys(Block(10, c.table)), standard)) << c.form;

    // Several digits after a pseudo-digit, an exponent only with its sign
    // (E5 after it is SQZ 55), the factor applied to every form.
    EXPECT_TRUE(Same(Ys(Block(3, "1A000J2k6\r\n")), Floats{1000, 1012, 986}));
    EXPECT_TRUE(Same(Ys(Block(3, "1a23U\r\n", "0.5")), Floats{-61.5, -61.5, -61.5}));
    EXPECT_TRUE(Same(Ys(Block(2, "1 1E+01E5\r\n", "2")), Floats{20, 110}));
    EXPECT_TRUE(Same(Ys(Block(3, "1 1 -2.5E-1 +4\r\n")), Floats{1, -0.25f, 4}));

    // The field in other units, the axis as FIRSTX, LASTX and NPOINTS say.
    std::string mt = Block(3, "1 5 6 7\r\n");
    mt.replace(mt.find("GAUSS"), 5, "mT");
    const JcampRead r = ReadJcampText(mt, MaxSpec);
    ASSERT_EQ(r.Spectra.size(), 1u);
    EXPECT_TRUE(Same(r.Spectra[0].X, Floats{10, 20, 30}));
}

// Random spectra written in both forms and on both kinds of axis come back
// float for float; DIFDUP's values are whole multiples of a power of two.
TEST(JcampFile, WhatKivoWritesReadsBackTheSame) {
    std::mt19937 random(20240521);
    std::uniform_real_distribution<float> unit(0, 1);
    for (int trial = 0; trial < 24; ++trial) {
        const int n = trial == 0 ? MaxPoints : 2 + int(random() % 3000);
        const bool even = trial % 2 == 0;
        // Values of 24 significant bits over sixteen binary orders, zeros and
        // runs among them; one trial spreads its values wider than 62 bits.
        const bool wide = trial == 4;
        Floats x(static_cast<size_t>(n)), y(static_cast<size_t>(n));
        const double first = float(1000 + 5000 * unit(random));
        const double last = float(first + 10 + 2000 * unit(random));
        float at = float(first);
        for (int k = 0; k < n; ++k) {
            x[size_t(k)] = even ? JcampAxisPoint(first, last, n, k) : (at += 0.01f + unit(random));
            const float v = wide
                                ? (unit(random) - 0.5f) * std::pow(10.f, 60 * (unit(random) - 0.5f))
                                : std::ldexp(float(int(random() % (1 << 24)) - (1 << 23)),
                                             -40 + int(random() % 16));
            y[size_t(k)] = k % 7 == 3 ? 0 : k % 11 < 3 && k > 0 ? y[size_t(k - 1)] : v;
        }
        ParamSpec p;
        p.NumPoints = uint16_t(n);
        p.Line1 = "sample \xF1 $$ not a comment";
        p.Line2 = "9.4012 GHz, 293 K, 4 scans, sample Smoothed 5";
        p.Power = 2.0 + unit(random);
        p.Modulation = 0.1 + unit(random);
        p.Gain = 2e4 * unit(random) + 1;

        for (JcampForm form : {JcampForm::DifDup, JcampForm::Affn}) {
            const std::string text = FormatJcamp(p, x.data(), y.data(), "t", form);
            const JcampRead r = ReadJcampText(text, MaxSpec);
            ASSERT_EQ(r.Result.Status, ReadStatus::Ok);
            ASSERT_EQ(r.Spectra.size(), 1u);
            const JcampSpectrum& s = r.Spectra[0];
            ASSERT_EQ(s.Result.Status, ReadStatus::Ok) << s.Result.Reason;
            EXPECT_TRUE(Same(s.X, x)) << trial;
            EXPECT_TRUE(Same(s.Y, y)) << trial;
            EXPECT_EQ(s.Params.Line1, p.Line1);
            EXPECT_EQ(s.Params.Line2, p.Line2);
            EXPECT_EQ(s.Params.Power, p.Power);
            EXPECT_EQ(s.Params.Modulation, p.Modulation);
            EXPECT_EQ(s.Params.Gain, p.Gain);
            EXPECT_EQ(text.find("##XYPOINTS") != std::string::npos, !even);

            const bool difDup = even && form == JcampForm::DifDup && !wide;
            const size_t factorAt = text.find("##YFACTOR= ") + 11;
            const double factor = std::stod(text.substr(factorAt, text.find('\r', factorAt)));
            int exponent = 0;
            EXPECT_EQ(std::frexp(factor, &exponent), 0.5) << "a power of two";
            if (difDup) {
                // Each value a whole multiple of the factor below 2^62: the
                // written integers hold every float exactly.
                for (float v : y) {
                    const double m = double(v) / factor;
                    ASSERT_EQ(m, std::floor(m));
                    ASSERT_LT(std::fabs(m), std::ldexp(1.0, 62));
                }
            }
            // Compressed values stand without blanks between them.
            const size_t data = text.find("\r\n", text.find("##XY")) + 2;
            const std::string table = text.substr(data, text.find("##END") - data);
            EXPECT_EQ(table.find(' ') == std::string::npos, difDup) << trial;
            size_t longest = 0;
            for (size_t at = text.find("##XY"), end; at < text.size(); at = end + 2) {
                end = text.find("\r\n", at);
                longest = std::max(longest, end - at);
            }
            EXPECT_LE(longest, 80u);
        }
    }
}

// Saved under a JCAMP-DX name, read by the one loader: caption, name, points.
TEST(JcampFile, LoadedByItsNameAsOneSpectrumOrSeveral) {
    const std::string stem =
        std::filesystem::temp_directory_path().string() + "/kivo_jdx" + std::to_string(::getpid());
    const Floats x{3300, 3300.5f, 3302}, y{1, -2, 0.125f};
    ParamSpec p;
    p.NumPoints = 3;
    std::string error;
    for (const char* ending : {".jdx", ".dx", ".jcamp"}) {
        const std::string path = stem + ending;
        ASSERT_TRUE(SaveSpectrumFile(p, x.data(), y.data(), path, error)) << error;
        std::vector<LoadedSpectrum> got;
        LoadSpectra(
            path, nullptr, MaxSpec,
            {[](const std::string&) {}, [&](LoadedSpectrum& s) { got.push_back(std::move(s)); }});
        ASSERT_EQ(got.size(), 1u) << ending;
        EXPECT_EQ(got[0].Refusal, "");
        EXPECT_EQ(got[0].Caption, ShortName(stem + ".esr"));
        EXPECT_EQ(got[0].FileName, path);
        EXPECT_TRUE(Same(Floats(got[0].Y.Data(), got[0].Y.Data() + 3), y));
        std::filesystem::remove(path);
    }
    // A link block of two data blocks: captioned and named by their numbers.
    const std::string path = stem + ".jdx";
    std::ofstream(path, std::ios::binary)
        << "##TITLE= both\n##JCAMP-DX= 5.00\n##DATA TYPE= LINK\n##BLOCKS= 2\n" +
               Block(3, "1 1 2 3\n") + Block(2, "1 5 6\n") + "##END=\n";
    std::vector<LoadedSpectrum> got;
    LoadSpectra(
        path, nullptr, MaxSpec,
        {[](const std::string&) {}, [&](LoadedSpectrum& s) { got.push_back(std::move(s)); }});
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[1].Caption, ShortName(path) + "-2");
    EXPECT_EQ(got[1].FileName, stem + "-2.jdx");
    EXPECT_EQ(got[1].Params.NumPoints, 2);
    std::filesystem::remove(path);
}

// Each fault refuses its block (or the file), naming the line and the reason.
TEST(JcampFile, RefusalsNameTheLine) {
    const std::string peaks = "##TITLE= p\n##PEAK TABLE= (XY..XY)\n1, 2\n##END=\n";
    std::string many = Block(10, "1 1\n");
    many.replace(many.find("N/Points= 10"), 12, "NPOINTS= 20000000");
    std::string wave = Block(3, "1 1 2 3\n");
    wave.replace(wave.find("GAUSS"), 5, "1/CM");
    std::string noFirst = Block(3, "1 1 2 3\n");
    noFirst.erase(noFirst.find("##First_X"), 14);
    const struct {
        std::string text, reason;
    } cases[] = {
        {Block(10, "1AJJ%jj\n6Bjjjj\n"), "line 10: Y check value 2, 1 expected"},
        {Block(10, "1AJJ%jj\n6jjjjj\n"), "line 10: no Y check value"},
        {Block(3, "1J%J\n"), "line 9: a difference with no value before it"},
        {Block(3, "1S3A\n"), "line 9: a repeat with no value before it"},
        {Block(3, "1A#B\n"), "line 9: '#' is no ASDF character"},
        {Block(3, "1A?B\n"), "line 9: a value missing (?)"},
        {Block(11, "1 1 2 3 3 2 1 0 -1 -2 -3\n"), "line 8: 10 points, ##NPOINTS= 11"},
        {Block(3, "1 1 2 3\n", "abc"), "line 7: ##YFACTOR= abc is no number"},
        {many, "line 6: 20000000 points, more than 1048576 points"},
        {wave, "line 3: ##XUNITS= 1/CM is no field"},
        {noFirst, "line 7: no ##FIRSTX"},
        {"##TITLE= q\n##XYPOINTS= (XY..XY)\n1, 2; 3\n##END=\n", "line 2: an X without its Y"},
        {peaks, "line 2: ##PEAK TABLE= (XY..XY) is no spectrum Kivo reads"},
        {"##TITLE= h\n##JCAMP-DX= 5.00\n##END=\n",
         "no ##XYDATA=(X++(Y..Y)) nor ##XYPOINTS=(XY..XY)"},
        {"3300 1\n3301 2\n", "no ##TITLE"},
        {"", "empty"},
    };
    for (const auto& c : cases) {
        const JcampRead r = ReadJcampText(c.text, MaxSpec);
        const ReadResult& said =
            r.Spectra.empty() ? r.Result : r.Spectra.front().Result; // the one block
        EXPECT_NE(said.Status, ReadStatus::Ok) << c.reason;
        EXPECT_EQ(said.Reason, c.reason);
    }
    // As the mode line and the batch say it.
    const std::string path = std::filesystem::temp_directory_path().string() + "/bad" +
                             std::to_string(::getpid()) + ".dx";
    std::ofstream(path, std::ios::binary) << cases[0].text;
    const FileSpectra f = ReadJcampSpectra(path, MaxSpec);
    ASSERT_EQ(f.Spectra.size(), 1u);
    EXPECT_EQ(f.Spectra[0].Refusal, "    FileSpectrum " + ShortName(path) +
                                        " is not prepared properly line 10: Y check value 2, 1 "
                                        "expected ");
    std::filesystem::remove(path);
}
