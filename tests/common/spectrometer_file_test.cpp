// The BES3T and ESP/WinEPR readers: every variant read back from files made
// of a known spectrum, the parameters they map, and every refusal.
#include "TYPEKIVO1_3.h"
#include "spectrometer_writer.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>

using namespace kivo;
using kivo_examples::Bes3tLayout;
using kivo_examples::KnownSpectrum;

namespace {

struct Points {
    ParamSpec p;
    PointBuffer x, y;
    Points() {
        x.Allocate();
        y.Allocate();
    }
};

ReadResult ReadBes3t(const kivo_examples::Bes3tFiles& f, Points& out) {
    const std::string_view axis = f.Xgf;
    return ReadSpectrometerData(ReadBes3tDescriptor(f.Dsc), f.Dta, f.Xgf.empty() ? nullptr : &axis,
                                out.p, out.x.Data(), out.y.Data());
}

ReadResult ReadEsp(const kivo_examples::EspFiles& f, Points& out) {
    return ReadSpectrometerData(ReadEspParameters(f.Par), f.Spc, nullptr, out.p, out.x.Data(),
                                out.y.Data());
}

void ExpectPoints(const KnownSpectrum& s, const Points& r) {
    ASSERT_EQ(r.p.NumPoints, s.Field.size());
    for (size_t k = 0; k < s.Field.size(); ++k) {
        ASSERT_FLOAT_EQ(r.x[int(k) + 1], float(s.Field[k])) << "point " << k + 1;
        ASSERT_EQ(r.y[int(k) + 1], float(s.Signal[k])) << "point " << k + 1;
    }
}

KnownSpectrum Sample() {
    KnownSpectrum s = kivo_examples::DerivativeLine(201, 3300, 3400);
    s.Title = "Coal in quartz, sample 7";
    s.FrequencyGHz = 9.40123;
    s.PowerMw = 2.5;
    s.ModulationG = 0.8;
    s.GainDb = 46;
    s.GainFactor = 3.2e4;
    s.TemperatureK = 77.5;
    s.Scans = 4;
    return s;
}

std::string Refused(const ReadResult& r) {
    return r.Status == ReadStatus::Refused ? r.Reason : "not refused";
}

} // namespace

TEST(SpectrometerFile, EveryBes3tVariantReadsBackTheKnownSpectrum) {
    const KnownSpectrum s = Sample();
    for (char format : {'C', 'S', 'I', 'F', 'D'})
        for (bool big : {true, false})
            for (bool axisFile : {false, true})
                for (bool milliTesla : {false, true}) {
                    SCOPED_TRACE(std::string("format ") + format + (big ? " BIG" : " LIT") +
                                 (axisFile ? " IGD" : " IDX") + (milliTesla ? " mT" : " G"));
                    Points r;
                    const ReadResult result =
                        ReadBes3t(kivo_examples::Bes3t(s, {format, big, axisFile, milliTesla}), r);
                    ASSERT_EQ(result.Status, ReadStatus::Ok) << result.Reason;
                    ExpectPoints(s, r);
                }
}

TEST(SpectrometerFile, Bes3tParametersAreMappedIntoTheRecord) {
    const KnownSpectrum s = Sample();
    Points r;
    ASSERT_EQ(ReadBes3t(kivo_examples::Bes3t(s, {}), r).Status, ReadStatus::Ok);
    EXPECT_EQ(r.p.Line1, "Coal in quartz, sample 7"); // joined across its continued line
    EXPECT_EQ(r.p.Line2, "9.40123 GHz, 77.5 K, 4 scans");
    EXPECT_DOUBLE_EQ(r.p.Power, 2.5);
    EXPECT_DOUBLE_EQ(r.p.Modulation, 0.8);
    EXPECT_NEAR(r.p.Gain, 199.526231, 1e-5); // 46 dB
    EXPECT_DOUBLE_EQ(r.p.ScanRange, 50);
    EXPECT_NEAR(double(r.p.DeltaPoints), 0.5, 1e-12);
    EXPECT_EQ(r.p.TimeScan, 0);
    EXPECT_EQ(r.p.StandartRuby, 0);
    EXPECT_EQ(r.p.PhaseSign, 1);
    EXPECT_FLOAT_EQ(float(r.p.Amplitude),
                    float(RangeExtrema(r.x.Data(), r.y.Data(), 1, 201).Amplitude));

    // Complex data: the real part is the spectrum, in either byte order.
    KnownSpectrum c = s;
    for (double v : s.Signal) c.Imaginary.push_back(-3 * v + 1);
    for (bool big : {true, false}) {
        Points rc;
        ASSERT_EQ(ReadBes3t(kivo_examples::Bes3t(c, {'S', big, false, false}), rc).Status,
                  ReadStatus::Ok);
        ExpectPoints(s, rc);
    }
}

TEST(SpectrometerFile, EspAndWinEprReadBackWithTheirParameters) {
    KnownSpectrum s = Sample();
    s.Comment = "after annealing";
    for (bool windows : {true, false}) {
        SCOPED_TRACE(windows ? "WinEPR" : "ESP");
        Points r;
        const kivo_examples::EspFiles f = kivo_examples::Esp(s, windows);
        ASSERT_EQ(ReadEsp(f, r).Status, ReadStatus::Ok);
        ExpectPoints(s, r);
        EXPECT_EQ(r.p.Line1, "Coal in quartz, sample 7, after annealing");
        EXPECT_EQ(r.p.Line2, "9.40123 GHz, 77.5 K, 4 scans");
        EXPECT_DOUBLE_EQ(r.p.Gain, 3.2e4);
        EXPECT_DOUBLE_EQ(r.p.Power, 2.5);
        EXPECT_DOUBLE_EQ(r.p.Modulation, 0.8);
        EXPECT_DOUBLE_EQ(r.p.ScanRange, 50);
    }
    // The same bytes taken for the other variant are not the spectrum.
    Points wrong;
    kivo_examples::EspFiles f = kivo_examples::Esp(s, true);
    f.Par.erase(0, f.Par.find('\n') + 1); // without its DOS line
    ASSERT_EQ(ReadEsp(f, wrong).Status, ReadStatus::Ok);
    EXPECT_NE(wrong.y[1], float(s.Signal[0]));
}

TEST(SpectrometerFile, AFallingAxisIsTurnedRound) {
    KnownSpectrum s = Sample();
    KnownSpectrum falling = s;
    std::reverse(falling.Field.begin(), falling.Field.end());
    std::reverse(falling.Signal.begin(), falling.Signal.end());
    Points bes3t, esp;
    ASSERT_EQ(ReadBes3t(kivo_examples::Bes3t(falling, {'F', false, true, true}), bes3t).Status,
              ReadStatus::Ok);
    ExpectPoints(s, bes3t);
    EXPECT_DOUBLE_EQ(bes3t.p.ScanRange, 50);
    ASSERT_EQ(ReadEsp(kivo_examples::Esp(falling, true), esp).Status, ReadStatus::Ok);
    ExpectPoints(s, esp);
}

TEST(SpectrometerFile, WhatCannotBeASpectrumIsRefusedWithItsReason) {
    const KnownSpectrum s = Sample();
    const kivo_examples::Bes3tFiles good = kivo_examples::Bes3t(s, {'F', true, false, false});
    auto bes3t = [&](const std::string& from, const std::string& to) {
        kivo_examples::Bes3tFiles f = good;
        const size_t at = f.Dsc.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        f.Dsc.replace(at, from.size(), to);
        Points r;
        return Refused(ReadBes3t(f, r));
    };
    // A series whose data hold one slice.
    EXPECT_EQ(bes3t("YTYP\tNODATA", "YTYP\tIDX\nYPTS\t3"), "data 804 bytes, 2412 expected");
    EXPECT_EQ(bes3t("ZTYP\tNODATA", "ZTYP\tIDX\nZPTS\t2\nYPTS\t2"), "3-dimensional data");
    EXPECT_EQ(bes3t("IKKF\tREAL", "IKKF\tIMAG"), "no real part (IMAG)");
    EXPECT_EQ(bes3t("IKKF\tREAL", "IKKF\tREAL,CPLX"), "2 values per point");
    // A long sweep is read (and averaged), but its data must be there.
    EXPECT_EQ(bes3t("XPTS\t201", "XPTS\t15001"), "data 804 bytes, 60004 expected");
    EXPECT_EQ(bes3t("XPTS\t201", "XPTS\t20000000"), "20000000 points, more than 64 MB of data");
    EXPECT_EQ(bes3t("XPTS\t201", "XPTS\t1"), "fewer than 2 points");
    EXPECT_EQ(bes3t("XPTS\t201", "XPTS\t1e30"), "more than 64 MB of data");
    EXPECT_EQ(bes3t("IRFMT\tF", "IRFMT\tQ"), "number format 'Q' unknown");
    EXPECT_EQ(bes3t("BSEQ\tBIG", "BSEQ\tMID"), "byte order 'MID' unknown");
    EXPECT_EQ(bes3t("XUNI\t'G'", "XUNI\t'ns'"), "axis in ns, not a field");
    EXPECT_EQ(bes3t("XWID", "XWIDTH"), "no field axis");
    // An axis of no width is no field axis either.
    const std::string width = good.Dsc.substr(good.Dsc.find("XWID"));
    EXPECT_EQ(bes3t(width.substr(0, width.find('\n')), "XWID\t0"), "no field axis");
    EXPECT_EQ(bes3t(width.substr(0, width.find('\n')), "XWID\t1e-30"), "no field axis");
    kivo_examples::Bes3tFiles flat = kivo_examples::Bes3t(s, {'F', true, true, false});
    for (size_t at = 8; at < flat.Xgf.size(); at += 8) flat.Xgf.replace(at, 8, flat.Xgf, 0, 8);
    Points rf;
    EXPECT_EQ(Refused(ReadBes3t(flat, rf)), "no field axis");
    EXPECT_EQ(bes3t("XTYP\tIDX", "XTYP\tIGD"), "no axis file");

    // The data must hold every point the descriptor promises, and nothing
    // is read from a shorter one.
    kivo_examples::Bes3tFiles cut = good;
    cut.Dta.resize(cut.Dta.size() - 1);
    Points r;
    EXPECT_EQ(Refused(ReadBes3t(cut, r)), "data 803 bytes, 804 expected");
    EXPECT_EQ(r.p.NumPoints, 0);
    kivo_examples::Bes3tFiles axis = kivo_examples::Bes3t(s, {'D', true, true, false});
    axis.Xgf.resize(8 * 200);
    EXPECT_EQ(Refused(ReadBes3t(axis, r)), "axis 1600 bytes, 1608 expected");
    kivo_examples::Bes3tFiles nan = good;
    nan.Dta.replace(8, 4, "\x7F\xC0\x00\x00", 4);
    EXPECT_EQ(Refused(ReadBes3t(nan, r)), "no number at point 3");

    auto esp = [&](const std::string& from, const std::string& to) {
        kivo_examples::EspFiles f = kivo_examples::Esp(s, false);
        f.Par.replace(f.Par.find(from), from.size(), to);
        Points rp;
        return Refused(ReadEsp(f, rp));
    };
    EXPECT_EQ(esp("ANZ 201", "ANZ 402"), "data 804 bytes, 1608 expected"); // two sweeps
    EXPECT_EQ(esp("HSW", "XSW"), "no field axis");
    EXPECT_EQ(esp("HSW 100", "HSW 0"), "no field axis");
    EXPECT_EQ(esp("RES 201", "RES 20000"), "data 804 bytes, 80000 expected");
    kivo_examples::EspFiles shortSpc = kivo_examples::Esp(s, true);
    shortSpc.Spc.resize(400);
    EXPECT_EQ(Refused(ReadEsp(shortSpc, r)), "data 400 bytes, 804 expected");
}

TEST(SpectrometerFile, FilesAreFoundByKindAndCheckedForSizeBeforeReading) {
    for (const char* name : {"a.DSC", "a.dta", "A.Dsc", "x.DTA"})
        EXPECT_EQ(FileKindOf(name), KindBes3t);
    for (const char* name : {"a.par", "a.SPC", "a.Par"}) EXPECT_EQ(FileKindOf(name), KindEsp);
    EXPECT_EQ(FileKindOf("a.XGF"), KindUnknown);

    namespace fs = std::filesystem;
    const fs::path dir =
        fs::temp_directory_path() / ("kivo_spectrometer_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string dsc = (dir / "s.DSC").string(), dta = (dir / "s.DTA").string();
    const kivo_examples::Bes3tFiles f = kivo_examples::Bes3t(Sample(), {'I', false, false, true});
    ASSERT_TRUE(kivo_examples::WriteBytes(dsc, f.Dsc));
    Points r;
    ReadResult result = ReadSpectrometerFiles(KindBes3t, dsc, dta, "", r.p, r.x, r.y);
    EXPECT_EQ(Refused(result), "s.DTA not found");
    ASSERT_TRUE(kivo_examples::WriteBytes(dta, f.Dta.substr(0, 10)));
    result = ReadSpectrometerFiles(KindBes3t, dsc, dta, "", r.p, r.x, r.y);
    EXPECT_EQ(Refused(result), "s.DTA 10 bytes, 804 expected");
    // Bytes after the promised ones are not the spectrum's and are left alone.
    ASSERT_TRUE(kivo_examples::WriteBytes(dta, f.Dta + "trailing"));
    result = ReadSpectrometerFiles(KindBes3t, dsc, dta, "", r.p, r.x, r.y);
    EXPECT_EQ(result.Status, ReadStatus::Ok) << result.Reason;
    ExpectPoints(Sample(), r);
    fs::remove_all(dir);
}
