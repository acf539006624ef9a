// Spectrometer file pairs read with F3 into slots like .esr files, refused
// with their reasons, and saved as .esr files after treatment.
#include <QCheckBox>
#include <QLabel>
#include <cmath>

#include "harness.h"
#include "spectrometer_writer.h"

namespace {

using kivo_examples::Bes3tLayout;
using kivo_examples::KnownSpectrum;

QString NotPrepared(const QString& shortName, const QString& reason) {
    return QStringLiteral("    FileSpectrum ") + shortName +
           QStringLiteral(" is not prepared properly ") + reason + QLatin1Char(' ');
}

class SpectrometerReadTest : public FormTest {
protected:
    KnownSpectrum Known(int points = 1024) {
        KnownSpectrum s = kivo_examples::DerivativeLine(points, 3250, 3450);
        s.Scans = 4;
        return s;
    }
    // stem + the given endings, e.g. WriteBes3t("a", ".DSC", ".DTA"); an
    // axis file ends in ".xgf".
    void WriteBes3t(const QString& stem, const char* dsc, const char* dta,
                    const kivo_examples::Bes3tFiles& f) {
        WriteFile(stem + dsc, f.Dsc);
        WriteFile(stem + dta, f.Dta);
        if (!f.Xgf.empty()) WriteFile(stem + ".xgf", f.Xgf);
    }
    void WriteEsp(const QString& stem, const char* par, const char* spc,
                  const kivo_examples::EspFiles& f) {
        WriteFile(stem + par, f.Par);
        WriteFile(stem + spc, f.Spc);
    }
};

} // namespace

TEST_F(SpectrometerReadTest, EitherFileOfAPairLoadsOneSpectrumWhateverTheCaseOfItsEnding) {
    const KnownSpectrum s = Known();
    WriteBes3t("a", ".DSC", ".dta", kivo_examples::Bes3t(s, {'D', true, false, false}));
    WriteEsp("b", ".PAR", ".spc", kivo_examples::Esp(s, false));
    WriteBes3t("c", ".dsc", ".DTA", kivo_examples::Bes3t(s, {'S', false, true, true}));
    WriteEsp("d", ".par", ".SPC", kivo_examples::Esp(s, true));
    AnswerFiles({"a.DSC", "a.dta", "b.spc", "b.PAR", "c.DTA", "d.par"});
    Key(Qt::Key_F3);
    EXPECT_EQ(
        Asked()[0].Filter,
        QStringLiteral("All spectra|*.esr *.txt *.dat *.asc *.DSC *.par|esr|*.esr|dat|*.dat|txt|"
                       "*.txt|asc|*.asc|Spectrometer files|*.DSC *.par"));
    ASSERT_EQ(form->Store.NumSpec, 4);
    EXPECT_EQ(Captions(), (QStringList{"a", "b", "c", "d"}));
    EXPECT_EQ(form->ModeLine(), QStringLiteral(" "));
    // A save goes beside the spectrometer's files, never over them.
    EXPECT_EQ(form->Store.FileSpectrumName[1], Path("a.esr"));
    EXPECT_EQ(form->Store.FileSpectrumName[2], Path("b.esr"));
    EXPECT_EQ(form->Store.FileSpectrumName[3], Path("c.esr"));
    for (int slot = 1; slot <= 4; ++slot) {
        SCOPED_TRACE(slot);
        EXPECT_TRUE(form->Ui.SpecCheck[slot]->isChecked());
        ASSERT_EQ(form->Store.Params[slot].NumPoints, 1024);
        EXPECT_FLOAT_EQ(form->Store.SpecX[slot][1], 3250);
        EXPECT_FLOAT_EQ(form->Store.SpecX[slot][1024], 3450);
        EXPECT_EQ(form->Store.SpecY[slot][512], float(s.Signal[511]));
        EXPECT_DOUBLE_EQ(form->Store.Params[slot].ScanRange, 100);
        EXPECT_EQ(form->Store.Params[slot].Line2, "9.4000 GHz, 293 K, 4 scans");
    }
    EXPECT_DOUBLE_EQ(form->Store.Params[1].Gain, 1000); // 60 dB
    EXPECT_DOUBLE_EQ(form->Store.Params[2].Gain, 2e4);
}

TEST_F(SpectrometerReadTest, RefusedPairsAreNamedWithTheirReasonsAndTheOthersLoad) {
    const KnownSpectrum s = Known(201);
    const kivo_examples::Bes3tFiles good = kivo_examples::Bes3t(s, {'F', true, false, false});
    auto changed = [&good](const std::string& from, const std::string& to) {
        kivo_examples::Bes3tFiles f = good;
        f.Dsc.replace(f.Dsc.find(from), from.size(), to);
        return f;
    };
    WriteFile("nodata.DSC", good.Dsc);
    WriteBes3t("flat", ".DSC", ".DTA", changed("YTYP\tNODATA", "YPTS\t2"));
    WriteBes3t("cube", ".DSC", ".DTA", changed("ZTYP\tNODATA", "ZPTS\t5"));
    WriteBes3t("imag", ".DSC", ".DTA", changed("IKKF\tREAL", "IKKF\tIMAG"));
    WriteBes3t("odd", ".DSC", ".DTA", changed("IRFMT\tF", "IRFMT\tX"));
    WriteBes3t("cut", ".DSC", ".DTA", {good.Dsc, good.Dta.substr(0, 10), "", ""});
    WriteBes3t("good", ".DSC", ".DTA", good);
    kivo_examples::EspFiles many = kivo_examples::Esp(s, true);
    many.Par.replace(many.Par.find("RES 201"), 7, "RES 15001");
    WriteEsp("many", ".par", ".spc", many);
    kivo_examples::EspFiles shortSpc = kivo_examples::Esp(s, false);
    shortSpc.Spc.resize(100);
    WriteEsp("trunc", ".par", ".spc", shortSpc);
    WriteFile("lone.spc", shortSpc.Spc);
    WriteSpectrum("plain.esr", 40);
    ReadFiles({"nodata.DSC", "flat.DSC", "good.DTA", "cube.DSC", "imag.DSC", "odd.DSC", "cut.DSC",
               "many.par", "trunc.spc", "lone.spc", "plain.esr"});
    EXPECT_EQ(Captions(), (QStringList{"good", "plain"}));
    EXPECT_EQ(form->Store.FileSpectrumName[2], Path("plain.esr"));
    const QStringList expected{
        NotPrepared("nodata", "nodata.DTA not found"),
        NotPrepared("flat", "flat.DTA 804 bytes, 1608 expected"),
        NotPrepared("cube", "3-dimensional data"),
        NotPrepared("imag", "no real part (IMAG)"),
        NotPrepared("odd", "number format 'X' unknown"),
        NotPrepared("cut", "cut.DTA 10 bytes, 804 expected"),
        NotPrepared("many", "many.spc 804 bytes, 60004 expected"),
        NotPrepared("trunc", "trunc.spc 100 bytes, 804 expected"),
        NotPrepared("lone", "lone.par not found"),
    };
    QStringList tip;
    for (const QString& m : expected) tip << m.trimmed();
    EXPECT_EQ(form->Ui.Label3->toolTip(), tip.join(QLatin1Char('\n')));
}

TEST_F(SpectrometerReadTest, TreatedSpectraAreSavedAsEsrFilesWithTheirIntegrals) {
    const KnownSpectrum s = Known();
    WriteBes3t("coal", ".DSC", ".DTA", kivo_examples::Bes3t(s, {'F', false, false, false}));
    WriteEsp("dpph", ".par", ".spc", kivo_examples::Esp(s, false));
    const std::string dscBefore = ReadBytes("coal.DSC"), spcBefore = ReadBytes("dpph.spc");
    AnswerFiles({"coal.DSC", "dpph.par"});
    Key(Qt::Key_F3);
    ASSERT_EQ(form->Store.NumSpec, 2);
    Key(Qt::Key_3);
    Key(Qt::Key_Escape);
    Key(Qt::Key_4);
    Answer(QStringList{Path("coal.esr")});
    Answer(QStringList{Path("dpph.esr")});
    Key(Qt::Key_F2);
    ASSERT_EQ(Asked().size(), 3u);
    EXPECT_EQ(Asked()[1].FileName, Path("coal.esr"));
    EXPECT_EQ(Asked()[2].FileName, Path("dpph.esr"));
    EXPECT_EQ(ReadBytes("coal.DSC"), dscBefore);
    EXPECT_EQ(ReadBytes("dpph.spc"), spcBefore);

    int slot = 0;
    for (const char* name : {"coal.esr", "dpph.esr"}) {
        SCOPED_TRACE(name);
        ++slot;
        kivo::ParamSpec saved;
        kivo::PointBuffer x, y;
        x.Allocate();
        y.Allocate();
        ASSERT_EQ(kivo::ReadSpectrumText(ReadBytes(name), kivo::KindEsr, saved, x.Data(), y.Data())
                      .Status,
                  kivo::ReadStatus::Ok);
        const kivo::ParamSpec& held = form->Store.Params[slot];
        ASSERT_EQ(saved.NumPoints, 1024);
        EXPECT_NE(held.DblIntegral, 0);
        EXPECT_NEAR(double(saved.DblIntegral), double(held.DblIntegral), 0.5e-5);
        EXPECT_NEAR(double(saved.SumLeft1), double(held.SumLeft1), 0.5e-5);
        EXPECT_DOUBLE_EQ(saved.ScanRange, 100);
        EXPECT_EQ(saved.Line2.rfind("9.4000 GHz, 293 K, 4 scans", 0), 0u) << saved.Line2;
        // The base line is gone: the ends of the saved spectrum lie about zero
        // where the recorded ones stood near 10 and 30.
        double left = 0, right = 0;
        for (int k = 1; k <= 10; ++k) left += y[k] / 10, right += y[1025 - k] / 10;
        EXPECT_NEAR(left, 0, 1.5);
        EXPECT_NEAR(right, 0, 1.5);
        for (int k = 1; k <= 1024; k += 97)
            EXPECT_NEAR(y[k], form->Store.SpecY[slot][k], 1e-5 * (1 + std::fabs(y[k]))) << k;
    }
}

TEST_F(SpectrometerReadTest, TheExamplePairsLoad) {
    QStringList paths;
    for (const char* name :
         {"coal_bes3t.DSC", "coal_bes3t_mT.DTA", "dpph_winepr.par", "dpph_esp.spc"})
        paths << QStringLiteral(KIVO_EXAMPLES_DIR "/") + QLatin1String(name);
    Answer(paths);
    Key(Qt::Key_F3);
    ASSERT_EQ(form->Store.NumSpec, 4);
    EXPECT_EQ(Captions(), (QStringList{"coal_bes3t", "coal_bes3t_mT", "dpph_winepr", "dpph_esp"}));
    EXPECT_EQ(form->Store.Params[1].NumPoints, 1024);
    EXPECT_EQ(form->Store.Params[3].NumPoints, 512);
    EXPECT_EQ(form->Store.Params[1].Line2, "9.4000 GHz, 293 K, 4 scans");
    EXPECT_EQ(form->Store.Params[3].Line1, "DPPH in polystyrene, field reference");
    // One recording in two layouts, and one in the two ESP variants.
    for (int k = 1; k <= 1024; ++k) {
        ASSERT_FLOAT_EQ(form->Store.SpecX[1][k], form->Store.SpecX[2][k]) << k;
        ASSERT_EQ(form->Store.SpecY[1][k], form->Store.SpecY[2][k]) << k;
    }
    for (int k = 1; k <= 512; ++k) ASSERT_EQ(form->Store.SpecY[3][k], form->Store.SpecY[4][k]) << k;
}
