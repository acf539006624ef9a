// Double integration through the keys: the automatic pass, the manual
// corrections on Frame15, and the results written with the spectrum.
#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>
#include <cmath>

#include "TChart.h"
#include "TLabel.h"
#include "Unit1.h"
#include "harness.h"

namespace {

const QColor Purple(128, 0, 128);

// A first-derivative Lorentzian line, negative lobe at the lower field, on a
// zero base line with a little deterministic noise at the ends.
std::vector<float> DerivativeLine(const std::vector<float>& x, double centre, double width,
                                  double height, double noise) {
    std::vector<float> y;
    unsigned seed = 12345;
    for (float f : x) {
        const double u = (f - centre) / width;
        seed = seed * 1103515245u + 12345u;
        const double n = (double((seed >> 16) & 0x7FFF) / 32768 - 0.5) * noise;
        y.push_back(float(height * 2 * u / ((1 + u * u) * (1 + u * u)) + n));
    }
    return y;
}

class IntegrationTest : public FormTest {
protected:
    // Spectra of n points over 3250..3450 G, written and read with F3.
    void Load(const std::vector<std::pair<QString, double>>& lines, int n = 2001, double gain = 2e4,
              double height = 1000) {
        QStringList names;
        for (const auto& [name, sign] : lines) {
            std::vector<float> x;
            for (int k = 0; k < n; ++k) x.push_back(float(3250 + 200.0 * k / (n - 1)));
            std::vector<float> y = DerivativeLine(x, 3350, 3, sign * height, height * 1e-3);
            kivo::ParamSpec p;
            p.Line1 = name.toStdString();
            p.NumPoints = static_cast<uint16_t>(n);
            p.Gain = gain;
            p.Modulation = 1;
            p.StandartRuby = 1;
            WriteFile(name + ".esr", kivo::FormatSpectrum(p, x.data(), y.data()));
            names << name + ".esr";
        }
        ReadFiles(names);
        ASSERT_EQ(form->Store.NumSpec, int(lines.size()));
    }
    void ClickBox(int slot, qint64 at) {
        now = at;
        QCheckBox* box = form->Ui.SpecCheck[slot];
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
        Settle();
    }
};

} // namespace

TEST_F(IntegrationTest, FourIntegratesEveryMarkedSpectrumAndShowsTheResults) {
    Load({{"up", 1.0}, {"down", -1.0}});
    Key(Qt::Key_4);
    EXPECT_TRUE(form->Ui.Frame15->isVisibleTo(form.get()));
    EXPECT_FALSE(form->Ui.Frame11->isVisibleTo(form.get()));
    EXPECT_EQ(QApplication::focusWidget(), form->Ui.Frame15->Edit1);
    EXPECT_EQ(form->ModeLine(), QStringLiteral("  DOUBLE INTEGRATION "));
    EXPECT_EQ(form->Ui.Label2->text(), QStringLiteral("  I mist = 0"));
    const kivo::ParamSpec& up = form->Store.Params[1];
    const kivo::ParamSpec& down = form->Store.Params[2];
    EXPECT_EQ(up.PhaseSign, 1);
    EXPECT_EQ(down.PhaseSign, -1);
    EXPECT_GT(up.DblIntegral, 0);
    EXPECT_NEAR(double(down.DblIntegral / up.DblIntegral), 1.0, 1e-2);
    EXPECT_NEAR(double(up.NumParticles), double(up.DblIntegral) * 1.725e19 / 2e4,
                1e-6 * double(up.NumParticles));
    // The centre of the active spectrum is the zero crossing at 3350 G.
    const int c = form->Pick.PickIndex[5];
    EXPECT_NEAR(form->Store.SpecX[1][c], 3350, 0.11);
    EXPECT_EQ(form->Pick.PickIndex[3], form->Pick.PickIndex[1]);
    EXPECT_LT(form->Pick.PickIndex[1], c);
    EXPECT_GT(form->Pick.PickIndex[2], c);
    // The tick above the centre and the purple ends.
    const int tick = form->View.AuxSeries[5];
    ASSERT_EQ(form->Ui.Chart1->PointCount(tick), 2);
    EXPECT_DOUBLE_EQ(form->Ui.Chart1->PointX(tick, 0),
                     form->View.PlottedX(form->Store.SpecX[1][c]));
    EXPECT_DOUBLE_EQ(form->Ui.Chart1->PointY(tick, 0), 0.97 * form->View.YHalfRange);
    EXPECT_DOUBLE_EQ(form->Ui.Chart1->PointY(tick, 1), 0.85 * form->View.YHalfRange);
    const int line = form->View.SpecSeries[1];
    EXPECT_EQ(form->Ui.Chart1->PointColour(line, form->Pick.PickIndex[1] - 1), Purple);
    EXPECT_EQ(form->Ui.Chart1->PointColour(line, form->Pick.PickIndex[1]), form->View.SpecColor[1]);
    EXPECT_EQ(form->Ui.Chart1->PointColour(line, form->Pick.PickIndex[2] - 1), Purple);
    EXPECT_EQ(form->Ui.Chart1->PointColour(line, 2000), Purple);
    EXPECT_FALSE(form->Ui.Memo3->isHidden());
    EXPECT_TRUE(form->Ui.Memo3->toPlainText().startsWith(
        QStringLiteral("Integral=") +
        QString::fromStdString(kivo::FormatF(up.DblIntegral, 10, 5))));
}

TEST_F(IntegrationTest, NothingMarkedStillOpensThePanel) {
    Load({{"up", 1.0}});
    ClickBox(1, 10'000);
    Key(Qt::Key_4);
    EXPECT_TRUE(form->Ui.Frame15->isVisibleTo(form.get()));
    EXPECT_EQ(form->Ui.Label2->text(), QStringLiteral("  I mist = 0"));
    EXPECT_EQ(form->Store.Params[1].DblIntegral, 0);
    Key(Qt::Key_Y);
    EXPECT_EQ(form->ModeLine(), QStringLiteral("   Choose at least one spectrum "));
    EXPECT_TRUE(form->Ui.Frame15->isVisibleTo(form.get()));
    EXPECT_EQ(form->Pick.TaskCode, 0);
}

TEST_F(IntegrationTest, AltCAcceptedAtOnceReproducesTheAutomaticResult) {
    Load({{"up", 1.0}});
    Key(Qt::Key_4);
    const kivo::ParamSpec automatic = form->Store.Params[1];
    const int centre = form->Pick.PickIndex[5];
    Key(Qt::Key_C, Qt::AltModifier);
    EXPECT_EQ(form->Pick.TaskCode, 153);
    EXPECT_EQ(form->Pick.PickNo, 3);
    EXPECT_EQ(form->ModeLine(), QStringLiteral("Choice centrum,  manual correction "));
    EXPECT_TRUE(form->Ui.Frame14->isVisibleTo(form.get()));
    Key(Qt::Key_Return);
    Key(Qt::Key_Return);
    EXPECT_TRUE(form->Ui.Frame15->isVisibleTo(form.get()));
    EXPECT_EQ(form->ModeLine(), QStringLiteral("  DOUBLE INTEGRATION "));
    EXPECT_EQ(form->Pick.PickIndex[5], centre);
    EXPECT_EQ(form->Store.Params[1].SumLeft1, automatic.SumLeft1);
    EXPECT_EQ(form->Store.Params[1].SumRight2, automatic.SumRight2);
    EXPECT_EQ(form->Store.Params[1].DblIntegral, automatic.DblIntegral);
}

TEST_F(IntegrationTest, TheCentreIsSoughtOnlyInsideThePickedRange) {
    Load({{"up", 1.0}});
    Key(Qt::Key_4);
    const int centre = form->Pick.PickIndex[5];
    const int left = form->Pick.PickIndex[1], right = form->Pick.PickIndex[2];
    Key(Qt::Key_C, Qt::AltModifier);
    Key(Qt::Key_Return); // cursor 3 stays on the left border
    // Cursor 4 well before the true centre: the centre is the last point of
    // the range, where the running first integral is still growing.
    form->Pick.PickIndex[4] = centre - 40;
    Key(Qt::Key_P);
    Key(Qt::Key_Return);
    EXPECT_EQ(form->Pick.PickIndex[5], centre - 40);
    // The borders stay those of the automatic pass.
    EXPECT_EQ(form->Pick.PickIndex[1], left);
    EXPECT_EQ(form->Pick.PickIndex[2], right);
}

TEST_F(IntegrationTest, ManualBordersAndEscRestoreTheColours) {
    Load({{"up", 1.0}, {"again", 1.0}});
    Key(Qt::Key_4);
    const long double automatic = form->Store.Params[2].DblIntegral;
    Key(Qt::Key_Y);
    EXPECT_EQ(form->Pick.TaskCode, 151) << form->ModeLine().toStdString();
    EXPECT_EQ(form->ModeLine(), QStringLiteral("  DOUBLE INTEGRATION   Manual correction      "
                                               "Click mouse in appropriate position to shift "
                                               "the line"));
    form->Pick.CursorStep = 100;
    Key(Qt::Key_Right); // cursor 1 a hundred points further in
    Key(Qt::Key_Return);
    Key(Qt::Key_Return);
    EXPECT_EQ(form->ModeLine(), QStringLiteral("  DOUBLE INTEGRATION "));
    // Both spectra take the borders by field: the same line, the same result.
    EXPECT_NE(form->Store.Params[2].DblIntegral, automatic);
    EXPECT_EQ(form->Store.Params[2].DblIntegral, form->Store.Params[1].DblIntegral);
    const int line = form->View.SpecSeries[2];
    EXPECT_EQ(form->Ui.Chart1->PointColour(line, form->Pick.PickIndex[1] - 1), Purple);
    Key(Qt::Key_Escape);
    EXPECT_TRUE(form->Ui.Frame11->isVisibleTo(form.get()));
    for (int s : {1, 2})
        for (int k : {0, form->Pick.PickIndex[1] - 1, 2000})
            EXPECT_EQ(form->Ui.Chart1->PointColour(form->View.SpecSeries[s], k),
                      form->View.SpecColor[s])
                << s << k;
}

TEST_F(IntegrationTest, ResultsAreSavedAndReadBack) {
    // Raw spectrometer units: sums far wider than their header fields.
    Load({{"raw", 1.0}, {"small", 1.0}}, 2001, 2e4, 4e5);
    form->Store.Params[2].Gain = 0; // unknown gain: no particle count
    Key(Qt::Key_3);
    Key(Qt::Key_Escape);
    Key(Qt::Key_4);
    Key(Qt::Key_Escape);
    const kivo::ParamSpec raw = form->Store.Params[1];
    EXPECT_GT(std::fabs(double(raw.SumLeft2)), 1e6);
    EXPECT_EQ(form->Store.Params[2].NumParticles, 0);
    EXPECT_NE(form->Store.Params[2].DblIntegral, 0);
    Answer(QStringList{Path("raw2.esr")});
    Answer(QStringList{Path("small2.esr")});
    Key(Qt::Key_F2);
    ReadFiles({"raw2.esr"});
    const kivo::ParamSpec& back = form->Store.Params[1];
    auto near = [](long double a, long double b, double tolerance) {
        return std::fabs(double(a - b)) <= tolerance;
    };
    EXPECT_TRUE(near(back.SumLeft1, raw.SumLeft1, 0.5e-5)) << double(back.SumLeft1);
    EXPECT_TRUE(near(back.SumRight1, raw.SumRight1, 0.5e-5));
    EXPECT_TRUE(near(back.SumLeft2, raw.SumLeft2, 0.5));
    EXPECT_TRUE(near(back.SumRight2, raw.SumRight2, 0.5));
    EXPECT_TRUE(near(back.DblIntegral, raw.DblIntegral, 0.5e-5));
    EXPECT_NEAR(double(back.NumParticles / raw.NumParticles), 1.0, 5e-4);
    EXPECT_EQ(back.NumPoints, raw.NumPoints);
}

TEST_F(IntegrationTest, ANewPickStartsOnThePointsWhateverTheLastOneLeft) {
    Load({{"a", 1}});
    Key(Qt::Key_4);
    Key(Qt::Key_Y);
    Key(Qt::Key_F11); // levels, left on through the completion
    Key(Qt::Key_Return);
    Key(Qt::Key_Return);
    ASSERT_TRUE(form->Ui.Frame15->isVisibleTo(form.get()));
    ASSERT_FALSE(form->Pick.PointCursor);
    Key(Qt::Key_Y);
    EXPECT_TRUE(form->Pick.PointCursor);
    // Cursor 1 is a vertical line on its point again.
    const int cursor = form->View.AuxSeries[1];
    ASSERT_EQ(form->Ui.Chart1->PointCount(cursor), 2);
    const double x = form->View.PlottedX(form->Store.SpecX[1][form->Pick.PickIndex[1]]);
    EXPECT_DOUBLE_EQ(form->Ui.Chart1->PointX(cursor, 0), x);
    EXPECT_DOUBLE_EQ(form->Ui.Chart1->PointX(cursor, 1), x);
}

TEST_F(IntegrationTest, ASpectrumWhoseBordersCrossKeepsItsResultsAndIsNamed) {
    Load({{"line", 1.0}});
    // Noise at both ends louder than anything between them: every point
    // lies below the thresholds, so the left border runs to the last point
    // and the right one to the first.
    std::vector<float> x, y;
    for (int k = 0; k < 101; ++k) {
        x.push_back(float(3300 + k));
        y.push_back(k < 10 || k > 90 ? (k % 2 ? 10.f : -10.f) : 0.f);
    }
    kivo::ParamSpec p;
    p.NumPoints = 101;
    p.Gain = 1;
    p.Modulation = 1;
    p.StandartRuby = 1;
    p.DblIntegral = 5;
    p.NumParticles = 7e15L;
    WriteFile("flat.esr", kivo::FormatSpectrum(p, x.data(), y.data()));
    form->Mode.AddMode = true;
    ReadFiles({"flat.esr"});
    ASSERT_EQ(form->Store.NumSpec, 2);
    Key(Qt::Key_4);
    EXPECT_EQ(form->ModeLine(), QStringLiteral("  DOUBLE INTEGRATION    flat: the borders cross, "
                                               "not integrated;"));
    EXPECT_EQ(form->Store.Params[2].DblIntegral, 5);
    EXPECT_EQ(form->Store.Params[2].NumParticles, 7e15L);
    EXPECT_EQ(form->Store.Params[2].SumLeft1, 0);
    EXPECT_EQ(form->Store.Params[2].PhaseSign, 1);
    EXPECT_GT(form->Store.Params[1].DblIntegral, 0); // the other spectrum is integrated
    EXPECT_EQ(form->Ui.Label2->text(), QStringLiteral("  I mist = 0"));
}

TEST_F(IntegrationTest, ASpectrumTooShortForItsEndWindowsIsLeftAsItWasAndNamed) {
    Load({{"line", 1.0}});
    std::vector<float> x, y;
    for (int k = 0; k < 15; ++k) {
        x.push_back(float(3300 + k));
        y.push_back(float(k % 5) + 1);
    }
    kivo::ParamSpec p;
    p.NumPoints = 15;
    p.DblIntegral = 5;
    WriteFile("short.esr", kivo::FormatSpectrum(p, x.data(), y.data()));
    form->Mode.AddMode = true;
    ReadFiles({"short.esr"});
    ASSERT_EQ(form->Store.NumSpec, 2);
    const QString tooFew =
        QStringLiteral("   short: 15 points, too few for NumAver 10 at each end, ");
    const float lineBefore = form->Store.SpecY[1][1];

    Key(Qt::Key_3);
    EXPECT_EQ(form->ModeLine(), QStringLiteral("   SUBTRACTION OF BASE LINE") +
                                    form->Options.ShiftLineHint + tooFew +
                                    QStringLiteral("no base line subtracted;"));
    Key(Qt::Key_Escape);
    for (int k = 1; k <= 15; ++k) EXPECT_EQ(form->Store.SpecY[2][k], y[size_t(k - 1)]) << k;
    EXPECT_NE(form->Store.SpecY[1][1], lineBefore); // the other one has its base line

    Key(Qt::Key_4);
    EXPECT_EQ(form->ModeLine(),
              QStringLiteral("  DOUBLE INTEGRATION ") + tooFew + QStringLiteral("not integrated;"));
    EXPECT_EQ(form->Store.Params[2].DblIntegral, 5);
    EXPECT_GT(form->Store.Params[1].DblIntegral, 0);
}
