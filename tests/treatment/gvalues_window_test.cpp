// The field correction on a standard through the keys of the treatment
// panel, the cursors' g read-out, and the pick's spectrum checked at its end.
#include <QCheckBox>
#include <QLabel>
#include <QTest>
#include <cmath>

#include "TChart.h"
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
        QCheckBox* box = form->Ui.SpecCheck[slot];
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
        Settle();
    }
    std::vector<float> Fields(int slot) const {
        return {form->Store.SpecX[slot].Data(),
                form->Store.SpecX[slot].Data() + form->Store.Params[slot].NumPoints};
    }
};

} // namespace

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
        EXPECT_TRUE(form->Ui.Frame14->isVisibleTo(form.get()));
        // The cursors read the field and its g.
        const double at = form->Store.SpecX[1][form->Pick.PickIndex[1]];
        EXPECT_EQ(form->Ui.Label12->text(),
                  QString::fromStdString(kivo::ShortText(at) +
                                         " g=" + kivo::GText(714.47735 * ghz / at)));
        Key(Qt::Key_Return);
        Key(Qt::Key_Return);
        EXPECT_TRUE(form->Ui.Frame16->isVisibleTo(form.get()));
        // The line's centre is where the standard's g puts it.
        std::vector<float> x = Fields(1);
        std::vector<float> y(form->Store.SpecY[1].Data(), form->Store.SpecY[1].Data() + 400);
        EXPECT_NEAR(kivo::LineCentre(x.data(), y.data(), 1, 400), expected, 0.025);
        EXPECT_EQ(form->Store.Params[1].Line2, std::string("9.4012 GHz, ") + c.Note);
        // Every marked spectrum by the same shift; the unmarked one not at all.
        const double shift =
            double(form->Store.SpecX[1][1]) - (std::floor(expected + c.Off) - 50.1);
        EXPECT_NEAR(shift, -c.Off, 0.025);
        EXPECT_NEAR(form->Store.SpecX[2][200], other[199] + shift, 1e-3);
        EXPECT_EQ(form->Store.Params[2].Line2, std::string("other, ") + c.Note);
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
    EXPECT_TRUE(form->Ui.Frame16->isVisibleTo(form.get()));

    // Begun on the spectrum with a frequency, and the active one changed by
    // a tick to the one without: refused when the pick completes.
    ClickBox(1);
    Key(Qt::Key_D, Qt::AltModifier);
    ASSERT_TRUE(form->Ui.Frame14->isVisibleTo(form.get()));
    ClickBox(1);
    EXPECT_EQ(form->Store.ActiveSpec, 1);
    Key(Qt::Key_Return);
    Key(Qt::Key_Return);
    EXPECT_EQ(Fields(1), plain);
    EXPECT_TRUE(form->ModeLine().contains(QStringLiteral("No frequency, field not corrected")));
}

TEST_F(GValuesTest, TheGScaleNamesTheFieldsTheSpectraAreDrawnAt) {
    Standard("dpph.esr", 3350, "9.4012 GHz");
    Standard("plain.esr", 3350, "");
    ReadFiles({"dpph.esr", "plain.esr"});
    // Each label's g resonates where the tick stands, under the view's
    // transform; the ticks within the chart.
    auto expectGAtTheirFields = [&] {
        const std::vector<TChart::TopTick>& ticks = form->Ui.Chart1->TopScale();
        ASSERT_GE(ticks.size(), 2u);
        const double a = (1 - form->View.XScale) * form->View.XCentre + form->View.XShift,
                     b = form->View.XScale;
        for (const TChart::TopTick& t : ticks) {
            const double field = (t.At - a) / b;
            const int decimals = int(t.Text.size() - t.Text.indexOf('.') - 1);
            EXPECT_NEAR(t.Text.toDouble(), kivo::GValue(9.4012, field), 1e-9)
                << t.Text.toStdString();
            EXPECT_GT(decimals, 1);
            EXPECT_GE(t.At, form->Ui.Chart1->Minimum(ChartAxis::Bottom));
            EXPECT_LE(t.At, form->Ui.Chart1->Maximum(ChartAxis::Bottom));
        }
    };
    EXPECT_TRUE(form->Ui.Chart1->TopScale().empty());
    Menu("View", "g scale");
    expectGAtTheirFields();
    const std::vector<TChart::TopTick> before = form->Ui.Chart1->TopScale();
    // Moved and scaled: the scale follows the spectra, not the axis below.
    Key(Qt::Key_6);
    for (Qt::Key k : {Qt::Key_PageUp, Qt::Key_PageUp, Qt::Key_Right, Qt::Key_Right}) Key(k);
    ASSERT_NE(form->View.XScale, 1.0);
    expectGAtTheirFields();
    EXPECT_NE(form->Ui.Chart1->TopScale().front().At, before.front().At);
    Key(Qt::Key_Escape);
    // The active spectrum without a frequency has none; ticked back, again.
    ClickBox(1);
    EXPECT_EQ(form->Store.ActiveSpec, 2);
    EXPECT_TRUE(form->Ui.Chart1->TopScale().empty());
    Menu("View", "g scale");
    Menu("View", "g scale");
    EXPECT_EQ(form->ModeLine(),
              QStringLiteral("   g scale: the active spectrum has no frequency "));
    ClickBox(1);
    expectGAtTheirFields();
    Menu("View", "g scale");
    EXPECT_TRUE(form->Ui.Chart1->TopScale().empty());
}
