// Two-dimensional spectrometer files read with F3: a slot per slice, every
// k-th slice when they do not all fit, and F2's names per slice.
#include <QCheckBox>
#include <QLabel>

#include "harness.h"
#include "spectrometer_writer.h"

namespace {

class SeriesReadTest : public FormTest {
protected:
    // A series of n slices of 101 points at 80, 90 ... K.
    kivo_examples::KnownSeries Series(int n) {
        kivo_examples::KnownSeries s;
        s.First = kivo_examples::DerivativeLine(101, 3300, 3400);
        s.Unit = "K";
        for (int k = 0; k < n; ++k) {
            std::vector<double> signal = s.First.Signal;
            for (double& v : signal) v += k;
            s.Signals.push_back(signal);
            s.Values.push_back(80 + 10 * k);
        }
        return s;
    }
    void WriteSeries(const QString& stem, const kivo_examples::Bes3tFiles& f) {
        WriteFile(stem + ".DSC", f.Dsc);
        WriteFile(stem + ".DTA", f.Dta);
        if (!f.Ygf.empty()) WriteFile(stem + ".YGF", f.Ygf);
    }
};

} // namespace

TEST_F(SeriesReadTest, EverySliceFillsASlotWithItsValueAndF2ProposesItsName) {
    const kivo_examples::KnownSeries s = Series(3);
    WriteSeries("t", kivo_examples::Bes3tSeries(s, {'F', false, false, false}));
    WriteSpectrum("a.esr", 40);
    AnswerFiles({"a.esr", "t.DTA"});
    Key(Qt::Key_F3);
    ASSERT_EQ(form->Store.NumSpec, 4);
    EXPECT_EQ(Captions(), (QStringList{"a", "t 80 K", "t 90 K", "t 100 K"}));
    EXPECT_EQ(form->ModeLine(), QStringLiteral(" "));
    for (int slot = 2; slot <= 4; ++slot) {
        SCOPED_TRACE(slot);
        ASSERT_EQ(form->Store.Params[slot].NumPoints, 101);
        // Each slice its own numbers, and its temperature in the second line.
        EXPECT_EQ(form->Store.SpecY[slot][50], float(s.Signals[size_t(slot - 2)][49]));
        EXPECT_EQ(form->Store.Params[slot].Line2,
                  QStringLiteral("9.4000 GHz, %1 K, 1 scan").arg(60 + 10 * slot).toStdString());
    }
    // Three spectra, three identities.
    EXPECT_NE(form->Store.SpecId[2], form->Store.SpecId[3]);
    EXPECT_NE(form->Store.SpecId[3], form->Store.SpecId[4]);
    for (const char* name : {"a.esr", "t-001.esr", "t-002.esr", "t-003.esr"})
        Answer(QStringList{Path(QString::fromLatin1("out-") + name)});
    Key(Qt::Key_F2);
    ASSERT_EQ(Asked().size(), 5u);
    EXPECT_EQ(Asked()[2].FileName, Path("t-001.esr"));
    EXPECT_EQ(Asked()[3].FileName, Path("t-002.esr"));
    EXPECT_EQ(Asked()[4].FileName, Path("t-003.esr"));
}

TEST_F(SeriesReadTest, MoreSlicesThanSlotsTakeEveryKthAndTheModeLineSaysWhich) {
    // The example power series: 31 powers, listed in a .YGF file.
    for (const char* ending : {".DSC", ".DTA", ".YGF"}) {
        const QString name = QStringLiteral("coal_power") + QLatin1String(ending);
        ASSERT_TRUE(QFile::copy(QStringLiteral(KIVO_EXAMPLES_DIR "/") + name, Path(name)));
    }
    WriteSpectrum("a.esr", 40);
    WriteSpectrum("b.esr", 40);
    // Two files keep their slots: 18 are left, so every second slice.
    AnswerFiles({"a.esr", "coal_power.DSC", "b.esr"});
    Key(Qt::Key_F3);
    ASSERT_EQ(form->Store.NumSpec, 18);
    EXPECT_EQ(form->ModeLine(),
              QStringLiteral("    FileSpectrum coal_power: slices 1 to 31 step 2 taken, 16 of 31 "
                             "  Other slices, first last step: 1 31 2"));
    const QStringList captions = Captions();
    EXPECT_EQ(captions.first(), QStringLiteral("a"));
    EXPECT_EQ(captions[1], QStringLiteral("coal_power 0.200 mW"));
    EXPECT_EQ(captions[2], QStringLiteral("coal_power 0.317 mW"));
    EXPECT_EQ(captions[16], QStringLiteral("coal_power 200 mW"));
    EXPECT_EQ(captions.last(), QStringLiteral("b"));
    EXPECT_DOUBLE_EQ(form->Store.Params[2].Power, 0.2);
    EXPECT_DOUBLE_EQ(form->Store.Params[17].Power, 200);
    EXPECT_EQ(form->Store.FileSpectrumName[3], Path("coal_power-003.esr"));
}
