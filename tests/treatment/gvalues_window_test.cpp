// The frequency and g commands of the treatment panel through their keys:
// the typed frequency, the field correction on a standard, the frequency
// correction, and the g read-outs.
#include <QCheckBox>
#include <QLabel>
#include <QTest>
#include <cmath>

#include "Unit1.h"
#include "harness.h"

namespace {

class GValuesTest : public FormTest {
protected:
    // A DPPH-like derivative line of peak-to-peak width 2 G centred at
    // `centre`, points 0.25 G apart around it, and the text lines given.
    void Standard(const QString& name, double centre, const std::string& line2, double from = 0) {
        const int n = 400;
        if (from == 0) from = std::floor(centre) - 50.1;
        std::vector<float> x, y;
        for (int k = 0; k < n; ++k) {
            x.push_back(float(from + 0.25 * k));
            const double u = (x.back() - centre) / std::sqrt(3.0);
            y.push_back(float(-1000 * u / ((1 + u * u) * (1 + u * u))));
        }
        kivo::ParamSpec p;
        p.NumPoints = n;
        p.Line1 = name.toStdString();
        p.Line2 = line2;
        WriteFile(name, kivo::FormatSpectrum(p, x.data(), y.data()));
    }
    void ClickBox(int slot) {
        now += 10'000;
        QCheckBox* box = form->SpecCheck[slot];
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
        Settle();
    }
    void Type(const QString& text) {
        for (QChar c : text) {
            if (c == '.')
                Key(Qt::Key_Period);
            else
                Key(Qt::Key(Qt::Key_0 + (c.unicode() - '0')));
        }
        Key(Qt::Key_Return);
    }
    std::vector<float> Fields(int slot) const {
        return {form->SpecX[slot].Data(), form->SpecX[slot].Data() + form->Params[slot].NumPoints};
    }
};

} // namespace

TEST_F(GValuesTest, TypedFrequencyGoesIntoTheMarkedSpectraOnly) {
    Standard("a.esr", 3350, "");
    Standard("b.esr", 3350, "a.esr, 9.3 GHz, 293 K");
    Standard("c.esr", 3350, "");
    ReadFiles({"a.esr", "b.esr", "c.esr"});
    ClickBox(3); // c is left out
    Key(Qt::Key_8);
    Key(Qt::Key_F, Qt::AltModifier);
    EXPECT_EQ(form->ModeLine(), QStringLiteral("   Frequency, GHz ="));
    Type(QStringLiteral("9.4012"));
    EXPECT_EQ(form->Params[1].Line2, "a, 9.4012 GHz, ");
    EXPECT_EQ(form->Params[2].Line2, "a.esr, 9.4012 GHz, 293 K"); // the earlier one replaced
    EXPECT_EQ(form->Params[3].Line2, "");
    EXPECT_TRUE(form->Frame16->isVisibleTo(form.get()));

    // Given up with Esc, or not a frequency: nothing changes.
    const kivo::ParamSpec before = form->Params[1];
    Key(Qt::Key_F, Qt::AltModifier);
    Key(Qt::Key_9);
    Key(Qt::Key_Escape);
    EXPECT_EQ(form->Params[1], before);
    Key(Qt::Key_8);
    Key(Qt::Key_F, Qt::AltModifier);
    Type(QStringLiteral("0"));
    EXPECT_EQ(form->Params[1], before);
    EXPECT_TRUE(form->ModeLine().contains(QStringLiteral("Not a frequency in GHz: '0'")));
    // One step, undone whole.
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(form->Params[1].Line2, "");
    EXPECT_EQ(form->Params[2].Line2, "a.esr, 9.3 GHz, 293 K");
}

TEST_F(GValuesTest, FieldCorrectedOnTheStandardsLine) {
    const double ghz = 9.4012;
    const struct {
        Qt::Key Key;
        double G;
        const char* Note;
        double Off; // where the line was recorded, off its field
    } cases[] = {{Qt::Key_D, 2.0036, "Field g=2.0036, ", 3.37},
                 {Qt::Key_J, 2.002293, "Field g=2.002293, ", -1.06}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Note);
        const double expected = 714.47735 * ghz / c.G;
        Standard("dpph.esr", expected + c.Off, "9.4012 GHz");
        Standard("other.esr", 3300, "");
        Standard("left.esr", 3300, "");
        ReadFiles({"dpph.esr", "other.esr", "left.esr"});
        ClickBox(3);
        const std::vector<float> other = Fields(2), left = Fields(3);
        Key(Qt::Key_8);
        Key(c.Key, Qt::AltModifier);
        EXPECT_TRUE(form->Frame14->isVisibleTo(form.get()));
        // The cursors read the field and its g.
        const double at = form->SpecX[1][form->PickIndex[1]];
        EXPECT_EQ(form->Label12->text(), QString::fromStdString(kivo::ShortText(at) + " g=" +
                                                                kivo::GText(714.47735 * ghz / at)));
        Key(Qt::Key_Return);
        Key(Qt::Key_Return);
        EXPECT_TRUE(form->Frame16->isVisibleTo(form.get()));
        // The line's centre is where the standard's g puts it.
        std::vector<float> x = Fields(1);
        std::vector<float> y(form->SpecY[1].Data(), form->SpecY[1].Data() + 400);
        EXPECT_NEAR(kivo::LineCentre(x.data(), y.data(), 1, 400), expected, 0.025);
        EXPECT_EQ(form->Params[1].Line2, std::string("9.4012 GHz, ") + c.Note);
        // Every marked spectrum by the same shift; the unmarked one not at all.
        const double shift = double(form->SpecX[1][1]) - (std::floor(expected + c.Off) - 50.1);
        EXPECT_NEAR(shift, -c.Off, 0.025);
        EXPECT_NEAR(form->SpecX[2][200], other[199] + shift, 1e-3);
        EXPECT_EQ(form->Params[2].Line2, std::string("other, ") + c.Note);
        EXPECT_EQ(Fields(3), left);
        Key(Qt::Key_Escape);
    }
}

TEST_F(GValuesTest, FieldCorrectionRefusedWithoutAFrequency) {
    Standard("plain.esr", 3350, "");
    Standard("dpph.esr", 3350, "9.5 GHz");
    ReadFiles({"plain.esr", "dpph.esr"});
    const std::vector<float> plain = Fields(1);
    Key(Qt::Key_8);
    Key(Qt::Key_D, Qt::AltModifier);
    EXPECT_EQ(form->ModeLine(),
              QStringLiteral("  Treatment     No frequency, field not corrected: plain "));
    EXPECT_TRUE(form->Frame16->isVisibleTo(form.get()));

    // Begun on the spectrum with a frequency, and the active one changed by
    // a tick to the one without: refused when the pick completes.
    ClickBox(1);
    Key(Qt::Key_D, Qt::AltModifier);
    ASSERT_TRUE(form->Frame14->isVisibleTo(form.get()));
    ClickBox(1);
    EXPECT_EQ(form->ActiveSpec, 1);
    Key(Qt::Key_Return);
    Key(Qt::Key_Return);
    EXPECT_EQ(Fields(1), plain);
    EXPECT_TRUE(form->ModeLine().contains(QStringLiteral("No frequency, field not corrected")));
}

TEST_F(GValuesTest, FrequencyCorrectionScalesToTheActiveSpectrumsFrequency) {
    Standard("ref.esr", 3350, "9.4 GHz");
    Standard("high.esr", 3390, "9.5 GHz");
    Standard("none.esr", 3350, "");
    ReadFiles({"ref.esr", "high.esr", "none.esr"});
    const std::vector<float> ref = Fields(1), high = Fields(2), none = Fields(3);
    Key(Qt::Key_8);
    Key(Qt::Key_Q, Qt::AltModifier);
    // The active spectrum's frequency is offered.
    EXPECT_EQ(form->ModeLine(), QStringLiteral("   Frequency correction to, GHz =9.4000"));
    Key(Qt::Key_Return);
    EXPECT_EQ(Fields(1), ref);
    for (int k = 1; k <= 400; k += 57) {
        EXPECT_NEAR(form->SpecX[2][k], high[size_t(k - 1)] * 9.4 / 9.5, 1e-3) << k;
    }
    EXPECT_EQ(form->Params[2].Line2, "9.4000 GHz, Freq.corr, ");
    EXPECT_DOUBLE_EQ(kivo::FrequencyOf(form->Params[2]), 9.4);
    EXPECT_EQ(Fields(3), none);
    EXPECT_TRUE(form->ModeLine().contains(QStringLiteral("none: no frequency, not corrected;")));

    // A typed one.
    Key(Qt::Key_Q, Qt::AltModifier);
    for (int i = 0; i < 6; ++i) Key(Qt::Key_Backspace);
    Type(QStringLiteral("9.3"));
    EXPECT_NEAR(form->SpecX[1][1], ref[0] * 9.3 / 9.4, 1e-3);
    EXPECT_EQ(form->Params[1].Line2, "9.3000 GHz, Freq.corr, ");
}

TEST_F(GValuesTest, CentreOfTheIntegrationAndReferenceLinesShowTheirG) {
    Standard("dpph.esr", 3352, "9.4012 GHz");
    ReadFiles({"dpph.esr"});
    Key(Qt::Key_4);
    const int centre = form->PickIndex[5];
    ASSERT_GE(centre, 1);
    EXPECT_TRUE(form->Label2->text().endsWith(
        QStringLiteral("   g centre = ") +
        QString::fromStdString(kivo::GText(714.47735 * 9.4012 / form->SpecX[1][centre]))))
        << form->Label2->text().toStdString();
}

TEST_F(GValuesTest, NormalisedOnTheChosenAcquisitionParameters) {
    Standard("a.esr", 3350, "9.4 GHz, 16 scans");
    Standard("b.esr", 3350, "");
    Standard("c.esr", 3350, "4 scans");
    ReadFiles({"a.esr", "b.esr", "c.esr"});
    for (int i = 1; i <= 3; ++i) {
        form->Params[i].Gain = 1e4 * i;
        form->Params[i].Modulation = 2;
        form->Params[i].Power = 25;
    }
    const std::vector<float> a(form->SpecY[1].Data(), form->SpecY[1].Data() + 400);
    const std::vector<float> b(form->SpecY[2].Data(), form->SpecY[2].Data() + 400);
    const std::vector<float> c(form->SpecY[3].Data(), form->SpecY[3].Data() + 400);
    Key(Qt::Key_8);
    Key(Qt::Key_N, Qt::AltModifier);
    // Every factor offered at first.
    EXPECT_TRUE(form->ModeLine().endsWith(QStringLiteral("4 sqrt(power): 1234")));
    Key(Qt::Key_Return);
    EXPECT_NEAR(form->SpecY[1][200], a[199] / (1e4 * 16 * 2 * 5), 1e-9);
    EXPECT_EQ(form->Params[1].Line2, "9.4 GHz, 1 scan, Norm by gain*scans*mod*sqrtP, ");
    EXPECT_EQ(form->Params[1].Gain, 1);
    // No scans: refused and left as it was.
    EXPECT_EQ(std::vector<float>(form->SpecY[2].Data(), form->SpecY[2].Data() + 400), b);
    EXPECT_TRUE(form->ModeLine().contains(QStringLiteral("b: no scans, not normalised;")));
    EXPECT_NEAR(form->SpecY[3][200], c[199] / (3e4 * 4 * 2 * 5), 1e-9);

    // The choice is kept: gain and power only, offered again next time.
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(std::vector<float>(form->SpecY[1].Data(), form->SpecY[1].Data() + 400), a);
    Key(Qt::Key_8);
    Key(Qt::Key_N, Qt::AltModifier);
    for (int k = 0; k < 4; ++k) Key(Qt::Key_Backspace);
    Key(Qt::Key_1);
    Key(Qt::Key_4);
    Key(Qt::Key_Return);
    EXPECT_NEAR(form->SpecY[2][200], b[199] / (2e4 * 5), 1e-9);
    EXPECT_EQ(form->Params[2].Line2, "b, Norm by gain*sqrtP, ");
    Key(Qt::Key_N, Qt::AltModifier);
    EXPECT_TRUE(form->ModeLine().endsWith(QStringLiteral("4 sqrt(power): 14")));
}
