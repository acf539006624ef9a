// Two-dimensional BES3T files: every slice read back from a generated series,
// the second axis, the choice of slices and the refusals.
#include "TYPEKIVO1_3.h"
#include "spectrometer_writer.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

using namespace kivo;
using kivo_examples::KnownSeries;

namespace {

namespace fs = std::filesystem;

KnownSeries Series(int slices, bool valueFile) {
    KnownSeries s;
    s.First = kivo_examples::DerivativeLine(101, 3300, 3400);
    s.First.Title = "coal";
    s.First.FrequencyGHz = 9.4012;
    s.First.TemperatureK = 293;
    s.Unit = "mW";
    s.ValueFile = valueFile;
    for (int k = 0; k < slices; ++k) {
        std::vector<double> signal = s.First.Signal;
        // A different whole number at every point of every slice.
        for (size_t i = 0; i < signal.size(); ++i) signal[i] += k * 7 - double(i % 5);
        s.Signals.push_back(signal);
        s.Values.push_back(valueFile ? 0.5 * (1 << k) : 2.0 + 0.5 * k);
    }
    return s;
}

class SeriesFiles {
public:
    SeriesFiles()
        : dir_(fs::temp_directory_path() / ("kivo_series_" + std::to_string(::getpid()))) {
        fs::create_directories(dir_);
    }
    ~SeriesFiles() { fs::remove_all(dir_); }
    SeriesFiles(const SeriesFiles&) = delete;
    SeriesFiles& operator=(const SeriesFiles&) = delete;
    // Writes the pair as coal.* and reads it whole.
    ReadResult Read(const kivo_examples::Bes3tFiles& b, SpectrometerFiles& f) {
        fs::remove(dir_ / "coal.YGF");
        EXPECT_TRUE(kivo_examples::WriteBytes(Path("coal.DSC"), b.Dsc));
        EXPECT_TRUE(kivo_examples::WriteBytes(Path("coal.DTA"), b.Dta));
        if (!b.Ygf.empty()) {
            EXPECT_TRUE(kivo_examples::WriteBytes(Path("coal.YGF"), b.Ygf));
        }
        SpectrumRead read;
        PrepareSpectrumRead(Path("coal.DSC"), read);
        return ReadSpectrometerPair(read, f);
    }
    // The same for an ESP or WinEPR pair, coal.par and coal.spc.
    ReadResult Read(const kivo_examples::EspFiles& e, SpectrometerFiles& f) {
        EXPECT_TRUE(kivo_examples::WriteBytes(Path("coal.par"), e.Par));
        EXPECT_TRUE(kivo_examples::WriteBytes(Path("coal.spc"), e.Spc));
        SpectrumRead read;
        PrepareSpectrumRead(Path("coal.par"), read);
        return ReadSpectrometerPair(read, f);
    }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

private:
    fs::path dir_;
};

std::string Refused(const ReadResult& r) {
    return r.Status == ReadStatus::Refused ? r.Reason : "not refused";
}

} // namespace

// An ESP or WinEPR pair of the series with its .par text changed: each
// "from" replaced by its "to".
using Edits = std::vector<std::pair<std::string, std::string>>;
kivo_examples::EspFiles EspEdited(const KnownSeries& s, bool windows, const Edits& edits) {
    kivo_examples::EspFiles e = kivo_examples::EspSeries(s, windows);
    for (const auto& [from, to] : edits) e.Par.replace(e.Par.find(from), from.size(), to);
    return e;
}

// Every slice of BES3T series in every number format and byte order, with
// the second axis listed or linear, and of ESP and WinEPR series (sweeps from
// REY, SSX/SSY or ANZ over RES; the axis from XYLB and XYWI or the sweep's
// number), read back against the generator's numbers.
TEST(Series, EverySliceReadsBackTheGeneratorsNumbers) {
    SeriesFiles files;
    struct Case {
        std::string name;
        KnownSeries series;
        std::function<ReadResult(SpectrometerFiles&)> read;
        std::vector<double> values;
        bool powerAxis;       // a slice's power is its value, not the file's
        std::string caption3; // of slice 3, when it is checked
    };
    std::vector<Case> cases;
    for (char format : {'C', 'S', 'F', 'D'})
        for (bool big : {true, false})
            for (bool valueFile : {false, true}) {
                const KnownSeries s = Series(5, valueFile);
                cases.push_back({std::string("BES3T ") + format + (big ? " BIG" : " LIT") +
                                     (valueFile ? " YGF" : " IDX"),
                                 s,
                                 [&files, s, format, big](SpectrometerFiles& f) {
                                     return files.Read(
                                         kivo_examples::Bes3tSeries(s, {format, big, false, false}),
                                         f);
                                 },
                                 s.Values, true, ""});
            }
    const KnownSeries sweeps = Series(4, false);
    const std::pair<Edits, bool> esp[] = {{{}, true},
                                          {{{"REY 4\r\n", ""}}, true},
                                          {{{"RES ", "SSX "}, {"REY ", "SSY "}}, true},
                                          {{{"XYLB", "XYLX"}}, false}};
    for (bool windows : {false, true})
        for (size_t i = 0; i < std::size(esp); ++i) {
            const auto& [edits, axis] = esp[i];
            cases.push_back({std::string(windows ? "WinEPR " : "ESP ") + std::to_string(i), sweeps,
                             [&files, &sweeps, windows, edits = edits](SpectrometerFiles& f) {
                                 return files.Read(EspEdited(sweeps, windows, edits), f);
                             },
                             axis ? sweeps.Values : std::vector<double>{1, 2, 3, 4}, false,
                             axis ? "coal 3.0" : "coal 3"});
        }
    PointBuffer x, y;
    x.Allocate();
    y.Allocate();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const KnownSeries& s = c.series;
        SpectrometerFiles f;
        const ReadResult r = c.read(f);
        ASSERT_EQ(r.Status, ReadStatus::Ok) << r.Reason;
        ASSERT_EQ(f.Header.Slices, int(s.Signals.size()));
        EXPECT_EQ(f.Values, c.values);
        for (int k = 1; k <= f.Header.Slices; ++k) {
            ParamSpec p;
            const SeriesSlice slice = ReadSeriesSlice(f, k, p, x.Data(), y.Data());
            ASSERT_EQ(slice.Result.Status, ReadStatus::Ok) << slice.Result.Reason;
            ASSERT_EQ(p.NumPoints, 101);
            const std::vector<double>& signal = s.Signals[size_t(k - 1)];
            for (int i = 1; i <= 101; ++i) {
                ASSERT_FLOAT_EQ(x[i], float(s.First.Field[size_t(i - 1)])) << i;
                ASSERT_EQ(y[i], float(signal[size_t(i - 1)])) << "slice " << k << " " << i;
            }
            EXPECT_DOUBLE_EQ(p.Power, c.powerAxis ? s.Values[size_t(k - 1)] : s.First.PowerMw);
            EXPECT_EQ(slice.FileName, files.Path("coal-00" + std::to_string(k) + ".esr"));
            if (k == 3 && !c.caption3.empty()) {
                EXPECT_EQ(slice.Caption, c.caption3);
                EXPECT_EQ(p.Line2, "9.4012 GHz, " + c.caption3.substr(5) + ", 293 K, 1 scan");
            }
        }
    }
}

TEST(Series, CaptionsAndTheSecondLineCarryTheSecondAxis) {
    SeriesFiles files;
    struct Case {
        std::vector<double> values;
        std::string unit;
        std::string caption2, line2; // of slice 2
    } cases[] = {
        {{2.0, 2.5, 3.0}, "mW", "coal 2.5 mW", "9.4012 GHz, 2.5 mW, 293 K, 1 scan"},
        {{80, 90, 100}, "K", "coal 90 K", "9.4012 GHz, 90 K, 1 scan"},
        {{0, 12.25, 24.5}, "s", "coal 12.25 s", "9.4012 GHz, 12.25 s, 293 K, 1 scan"},
        {{1, 2, 3}, "", "coal 2", "9.4012 GHz, 2, 293 K, 1 scan"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.caption2);
        KnownSeries s = Series(3, false);
        s.Values = c.values;
        s.Unit = c.unit;
        SpectrometerFiles f;
        ASSERT_EQ(files.Read(kivo_examples::Bes3tSeries(s, {'F', false, false, false}), f).Status,
                  ReadStatus::Ok);
        PointBuffer x, y;
        x.Allocate();
        y.Allocate();
        ParamSpec p;
        const SeriesSlice slice = ReadSeriesSlice(f, 2, p, x.Data(), y.Data());
        EXPECT_EQ(slice.Caption, c.caption2);
        EXPECT_EQ(p.Line2, c.line2);
        EXPECT_DOUBLE_EQ(slice.Value, c.values[1]);
    }
}

TEST(Series, TheDefaultTakesEveryKthSliceSoThatTheyFit) {
    struct Case {
        int slices, room;
        SliceChoice choice; // as given, or {0,0,0} for the default
        std::vector<int> taken;
    } cases[] = {
        {5, 20, {0, 0, 0}, {1, 2, 3, 4, 5}},
        {20, 20, {0, 0, 0}, {1,  2,  3,  4,  5,  6,  7,  8,  9,  10,
                             11, 12, 13, 14, 15, 16, 17, 18, 19, 20}},
        {21, 20, {0, 0, 0}, {1, 3, 5, 7, 9, 11, 13, 15, 17, 19, 21}},
        {31, 18, {0, 0, 0}, {1, 3, 5, 7, 9, 11, 13, 15, 17, 19, 21, 23, 25, 27, 29, 31}},
        {41, 3, {0, 0, 0}, {1, 15, 29}},
        {10, 1, {0, 0, 0}, {1}},
        {10, 20, {3, 8, 2}, {3, 5, 7}},
        {10, 2, {3, 8, 2}, {3, 5}},       // no more than room
        {10, 20, {-4, 99, 4}, {1, 5, 9}}, // ends clamped to the file
        {10, 20, {4, 2, 1}, {}},          // last before first: none
        {10, 20, {9, 10, 0}, {9, 10}},    // a step of 0 is 1
        // A step near the largest int ends the run; it never wraps round.
        {2000, 20, {2000, 2000, 2147483600}, {2000}},
        {2000, 20, {1, 2000, 2147483647}, {1}},
        {2000, 20, {1999, 2147483647, 2147483647}, {1999}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.slices) + " slices, room " + std::to_string(c.room));
        const SliceChoice choice =
            c.choice.Step == 0 && c.choice.First == 0 ? DefaultSlices(c.slices, c.room) : c.choice;
        EXPECT_EQ(ChosenSlices(choice, c.slices, c.room), c.taken);
    }
    EXPECT_EQ(SlicesTakenNotice("coal", DefaultSlices(41, 20), 14, 41),
              "    FileSpectrum coal: slices 1 to 40 step 3 taken, 14 of 41 ");
    EXPECT_EQ(SlicesTakenNotice("coal", {2000, 2000, 2147483600}, 1, 2000),
              "    FileSpectrum coal: slices 2000 to 2000 step 2147483600 taken, 1 of 2000 ");
}

TEST(Series, ValuesHaveTheDecimalsTheirStepNeeds) {
    EXPECT_EQ(SliceValueText(2, 0.5), "2.0");
    EXPECT_EQ(SliceValueText(80, 10), "80");
    EXPECT_EQ(SliceValueText(0.2, 0.05), "0.20");
    EXPECT_EQ(SliceValueText(12.25, 12.25), "12.25");
    // Irregular steps (powers in dB): three significant digits.
    EXPECT_EQ(SliceValueText(0.317, 0.0518), "0.317");
    EXPECT_EQ(SliceValueText(200, 0.0518), "200");
    EXPECT_EQ(SliceValueText(2.5179, 0.0518), "2.52");
    EXPECT_EQ(SliceValueText(5, 0), "5.00");
    EXPECT_DOUBLE_EQ(SliceStep({2, 2.5, 3, 3.5}), 0.5);
    // An irregular axis has no step: three significant figures tell its
    // slices apart, as the least step between them would not.
    EXPECT_DOUBLE_EQ(SliceStep({0.02, 0.05, 0.1, 0.2}), 0);
    EXPECT_EQ(SliceValueText(0.02, SliceStep({0.02, 0.05, 0.1, 0.2})), "0.0200");
    EXPECT_DOUBLE_EQ(SliceStep({3}), 0);
    EXPECT_EQ(SliceFileName("/d/coal.DSC", 7), "/d/coal-007.esr");
    EXPECT_EQ(SliceFileName("coal.DTA", 1234), "coal-1234.esr");
}

TEST(Series, WhatCannotBeASeriesIsRefusedWithItsReason) {
    SeriesFiles files;
    const kivo_examples::Bes3tFiles good =
        kivo_examples::Bes3tSeries(Series(3, true), {'F', true, false, false});
    auto refused = [&](const std::string& from, const std::string& to,
                       const kivo_examples::Bes3tFiles* given = nullptr) {
        kivo_examples::Bes3tFiles b = given ? *given : good;
        const size_t at = b.Dsc.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        if (at != std::string::npos) b.Dsc.replace(at, from.size(), to);
        SpectrometerFiles f;
        return Refused(files.Read(b, f));
    };
    EXPECT_EQ(refused("ZTYP\tNODATA", "ZTYP\tIDX\nZPTS\t2"), "3-dimensional data");
    // A count that is there but no whole number from 1: read as one slice,
    // the other slices' data would be passed over.
    for (const char* count : {"2.5", "0", "-5", "nan", "inf", "five", "0x10", ""})
        EXPECT_EQ(refused("YPTS\t3", std::string("YPTS\t") + count), "no number of slices")
            << count;
    EXPECT_EQ(refused("YPTS\t3", "YPTS\t200000"), "200000 slices, more than 64 MB of data");
    EXPECT_EQ(refused("YPTS\t3", "YPTS\t1e300"), "more than 64 MB of data");
    EXPECT_EQ(refused("YTYP\tIGD", "YTYP\tNTUP"), "axis type 'NTUP' unknown");
    EXPECT_EQ(refused("YFMT\tD", "YFMT\tQ"), "number format 'Q' unknown");
    // Sizes are checked against the files before they are read.
    EXPECT_EQ(refused("YPTS\t3", "YPTS\t4"), "coal.DTA 1212 bytes, 1616 expected");
    kivo_examples::Bes3tFiles shortAxis = good;
    shortAxis.Ygf.resize(20);
    EXPECT_EQ(refused("YPTS\t3", "YPTS\t3", &shortAxis), "coal.YGF 20 bytes, 24 expected");
    kivo_examples::Bes3tFiles noAxis = good;
    noAxis.Ygf.clear();
    EXPECT_EQ(refused("YPTS\t3", "YPTS\t3", &noAxis), "coal.YGF not found");
    // ESP and WinEPR: the flag without a count of sweeps, a count that is not
    // whole, data short of the sweeps promised.
    const KnownSeries sweeps = Series(4, false);
    auto esp = [&](const Edits& edits) {
        SpectrometerFiles f;
        return Refused(files.Read(EspEdited(sweeps, true, edits), f));
    };
    EXPECT_EQ(esp({{"REY 4\r\n", ""}, {"ANZ 404", "ANZ 101"}}),
              "2-dimensional data without its number of sweeps");
    EXPECT_EQ(esp({{"REY 4\r\n", ""}, {"ANZ 404", "ANZ 303.5"}}),
              "2-dimensional data without its number of sweeps");
    EXPECT_EQ(esp({{"REY 4", "REY 5"}}), "coal.spc 1616 bytes, 2020 expected");
    for (const char* count : {"2.5", "0", "-5", "nan", "inf", "five", "0x10"}) {
        EXPECT_EQ(esp({{"REY 4", std::string("REY ") + count}}), "no number of slices") << count;
        EXPECT_EQ(esp({{"RES ", "SSX "}, {"REY 4", std::string("SSY ") + count}}),
                  "no number of slices")
            << count;
    }
    // A slice past the file's is refused, never read from beyond the data.
    SpectrometerFiles f;
    ASSERT_EQ(files.Read(good, f).Status, ReadStatus::Ok);
    PointBuffer x, y;
    x.Allocate();
    y.Allocate();
    ParamSpec p;
    EXPECT_EQ(Refused(ReadSeriesSlice(f, 4, p, x.Data(), y.Data()).Result), "no slice 4");
    EXPECT_EQ(p.NumPoints, 0);
}

// The saturation line of a power series: through the origin and the lowest
// powers while they stay within 5 % of proportion to sqrt(P), and the reason
// when there is none.
TEST(SeriesCurve, SaturationLineOrWhyNot) {
    const std::string fewer = "no straight line: fewer than two powers above zero";
    const std::string apart = "no straight line: the signal at the two lowest powers differs by "
                              "more than 5 % from proportion to the square root of the power";
    const struct {
        std::vector<SeriesPoint> Slices; // power in mW, signal
        size_t Taken;                    // the points the line is fitted to; 0: no line
        std::string Note;
    } cases[] = {
        // Linear in sqrt(P) to 4 mW, saturated above: the first three only.
        {{{16, 2.0}, {1, 1.0}, {4, 2.0}, {0.25, 0.5}}, 3, ""},
        {{{1, 1.0}, {4, 2.09}}, 2, ""},
        {{{1, 1.0}, {4, 2.11}}, 0, apart},
        {{{0, 0.0}, {4, 2.0}}, 0, fewer},
        {{{4, 2.0}}, 0, fewer},
    };
    for (const auto& c : cases) {
        const SeriesCurve curve =
            MakeSeriesCurve(c.Slices, "mW", SeriesValue::Integral, AxisLabelStyle::Words);
        EXPECT_EQ(curve.LineNote, c.Note);
        ASSERT_EQ(curve.LineX.size(), c.Taken ? 2u : 0u);
        if (!c.Taken) continue;
        // The least-squares slope through the origin of the points taken,
        // the line drawn to the highest power.
        std::vector<SeriesPoint> sorted = c.Slices;
        std::sort(sorted.begin(), sorted.end(),
                  [](const SeriesPoint& a, const SeriesPoint& b) { return a.Value < b.Value; });
        double sxy = 0, sxx = 0;
        for (size_t k = 0; k < c.Taken; ++k) {
            sxy += std::sqrt(sorted[k].Value) * sorted[k].Y;
            sxx += sorted[k].Value;
        }
        EXPECT_DOUBLE_EQ(curve.LineX[1], std::sqrt(sorted.back().Value));
        EXPECT_DOUBLE_EQ(curve.LineY[1], sxy / sxx * curve.LineX[1]);
    }
    // Other series have no line, and say nothing of one.
    const SeriesCurve t =
        MakeSeriesCurve({{100, 1}, {200, 0.5}}, "K", SeriesValue::Amplitude, AxisLabelStyle::Words);
    EXPECT_TRUE(t.LineX.empty());
    EXPECT_EQ(t.LineNote, "");
    EXPECT_EQ(t.Y, (std::vector<double>{100, 100}));
}
