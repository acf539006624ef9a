// Move and scale through the keys of its panel, the commands that change the
// stored spectra from there, save as plotted and the size panel.
#include <QCheckBox>
#include <QLabel>
#include <QTest>
#include <functional>

#include "TChart.h"
#include "TLabel.h"
#include "Unit1.h"
#include "fonts.h"
#include "harness.h"

namespace {

class MoveScaleTest : public FormTest {
protected:
    // An .esr file of n points at fields x0, x0 + 1, ... with y = f(k), k from 0.
    QString Spectrum(const QString& name, int n, double x0, const std::function<double(int)>& f,
                     float ruby = 1) {
        std::vector<float> x, y;
        for (int k = 0; k < n; ++k) {
            x.push_back(float(x0 + k));
            y.push_back(float(f(k)));
        }
        kivo::ParamSpec p;
        p.NumPoints = static_cast<uint16_t>(n);
        p.StandartRuby = ruby;
        WriteFile(name + ".esr", kivo::FormatSpectrum(p, x.data(), y.data()));
        return name + ".esr";
    }
    void ClickBox(int slot) {
        now += 10'000;
        QCheckBox* box = form->Ui.SpecCheck[slot];
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
        Settle();
    }
    void Press(Qt::Key key, int times, Qt::KeyboardModifiers m = Qt::NoModifier) {
        for (int i = 0; i < times; ++i) Key(key, m);
    }
    float X(int slot, int k) const { return form->Store.SpecX[slot][k]; }
    float Y(int slot, int k) const { return form->Store.SpecY[slot][k]; }
};

double Wave(int k) {
    return 3 * std::sin(k / 9.0);
}

} // namespace

TEST_F(MoveScaleTest, KeysMoveAndStretchTheViewOfTheMarkedOnly) {
    ReadFiles({Spectrum("a", 100, 3300, Wave), Spectrum("b", 100, 3300, Wave)});
    ClickBox(2);
    Key(Qt::Key_6);
    EXPECT_EQ(form->ModeLine(), QStringLiteral("  MOVE and SCALE "));
    ASSERT_EQ(QApplication::focusWidget(), form->Ui.Frame12->Edit1);
    const double b1 = form->Ui.Chart1->PointX(form->View.SpecSeries[2], 0);
    Key(Qt::Key_Right);
    EXPECT_DOUBLE_EQ(form->View.XShift, 0.06 * form->View.XHalfRange);
    EXPECT_DOUBLE_EQ(form->Ui.Chart1->PointX(form->View.SpecSeries[1], 0),
                     3300 + form->View.XShift);
    EXPECT_EQ(form->Ui.Chart1->PointX(form->View.SpecSeries[2], 0), b1); // unmarked: where it was
    EXPECT_DOUBLE_EQ(form->View.SpecXShift[1], form->View.XShift);
    EXPECT_EQ(form->View.SpecXShift[2], 0);

    Key(Qt::Key_Left, Qt::AltModifier); // Alt+Left is still a move
    EXPECT_DOUBLE_EQ(form->View.XShift, 0);
    Key(Qt::Key_PageUp, Qt::ControlModifier | Qt::ShiftModifier); // not exactly Ctrl
    EXPECT_DOUBLE_EQ(form->View.XScale, 1.3);
    EXPECT_DOUBLE_EQ(form->View.YScale, 1);
    Key(Qt::Key_PageUp, Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(form->View.YScale, 1.3);
    Press(Qt::Key_Minus, 3);
    EXPECT_DOUBLE_EQ(form->View.MoveStep, 375);
    Key(Qt::Key_PageUp);
    EXPECT_DOUBLE_EQ(form->View.XScale, 1.3 * 1.0375);
    Press(Qt::Key_Equal, 5); // 12000
    Key(Qt::Key_PageDown);
    EXPECT_NEAR(form->View.XScale, 1.3 * 1.0375 * -0.2, 1e-12); // mirrored about the centre
    // Esc leaves through the refresh: the view is reset, the data never moved.
    Key(Qt::Key_Escape);
    EXPECT_TRUE(form->Ui.Frame11->isVisibleTo(form.get()));
    EXPECT_EQ(form->View.XScale, 1);
    EXPECT_EQ(form->View.MoveStep, 3000);
    EXPECT_FLOAT_EQ(X(1, 1), 3300);
}

TEST_F(MoveScaleTest, SaveAsPlottedWritesTheSpectraAsShown) {
    ReadFiles({Spectrum("a", 100, 3300, Wave)});
    Key(Qt::Key_6);
    const double half = form->View.XHalfRange;
    Press(Qt::Key_Right, 3);
    AnswerFiles({"moved.esr"});
    Key(Qt::Key_W, Qt::AltModifier);
    EXPECT_NEAR(X(1, 1), 3300 + 0.18 * half, 1e-3);
    EXPECT_NEAR(X(1, 100), 3399 + 0.18 * half, 1e-3);
    kivo::ParamSpec p;
    kivo::PointBuffer x, y;
    x.Allocate();
    y.Allocate();
    ASSERT_EQ(
        kivo::ReadSpectrumFile(Path("moved.esr").toStdString(), kivo::KindEsr, p, x, y).Status,
        kivo::ReadStatus::Ok);
    EXPECT_NEAR(x[1], 3300 + 0.18 * half, 2e-3); // the file holds what is stored

    // Esc, then a stretch: fields 1.3 times as far from the centre.
    Key(Qt::Key_Escape);
    Key(Qt::Key_6);
    const double c2 = form->View.XCentre;
    const float before = X(1, 1);
    Key(Qt::Key_PageUp);
    Answer(std::nullopt); // a cancelled save still leaves the data transformed
    Key(Qt::Key_W, Qt::AltModifier);
    EXPECT_NEAR(X(1, 1), c2 + 1.3 * (before - c2), 1e-3);

    // Before any move, Alt+W records the identity: nothing changes.
    Key(Qt::Key_Escape);
    Key(Qt::Key_6);
    const float kept = X(1, 50);
    Answer(std::nullopt);
    Key(Qt::Key_W, Qt::AltModifier);
    EXPECT_EQ(X(1, 50), kept);
}

TEST_F(MoveScaleTest, AmplitudeNormalisationAndItsRefusal) {
    ReadFiles({Spectrum("a", 9, 3300, [](int k) { return 2 + k; }),  // 2..10
               Spectrum("b", 11, 3300, [](int k) { return k - 4; }), // -4..6
               Spectrum("z", 11, 3300, [](int) { return 0; })});
    Key(Qt::Key_6);
    Key(Qt::Key_M, Qt::AltModifier);
    EXPECT_FLOAT_EQ(Y(1, 1), 0.2f);
    EXPECT_FLOAT_EQ(Y(1, 9), 1.0f);
    EXPECT_FLOAT_EQ(Y(2, 1), -0.4f);
    EXPECT_FLOAT_EQ(Y(2, 11), 0.6f);
    EXPECT_EQ(form->Store.Params[1].Line2, "a, Norm on Amp, ");
    EXPECT_FLOAT_EQ(Y(3, 5), 0.0f);
    EXPECT_TRUE(form->Store.Params[3].Line2.empty());
    EXPECT_TRUE(form->ModeLine().endsWith(QStringLiteral("   Amplitude 0, not normalised: z ")))
        << form->ModeLine().toStdString();
}

TEST_F(MoveScaleTest, IntegralRubyAndThe3300GCommand) {
    ReadFiles({Spectrum("a", 101, 3350, [](int k) { return k == 50 ? 8 : 1; }),
               Spectrum(
                   "b", 11, 3300, [](int) { return 4; }, 0)});
    form->Store.Params[1].DblIntegral = 4;
    Key(Qt::Key_6);
    Key(Qt::Key_N, Qt::AltModifier);
    Key(Qt::Key_N, Qt::AltModifier); // divides by 1; the note stands once, at the end
    EXPECT_FLOAT_EQ(Y(1, 51), 2.0f);
    EXPECT_EQ(form->Store.Params[1].DblIntegral, 1.0);
    EXPECT_FLOAT_EQ(Y(2, 1), 4.0f); // no integral: untouched, and said so at each press
    EXPECT_EQ(form->Store.Params[1].Line2, "a, Norm on Int, ");
    const QString noIntegral =
        QStringLiteral("   b: no positive double integral, not normalised on it ");
    EXPECT_EQ(form->ModeLine(), QStringLiteral("  MOVE and SCALE ") + noIntegral + noIntegral);

    form->Store.Params[1].StandartRuby = 0.5f;
    Key(Qt::Key_S, Qt::AltModifier);
    EXPECT_FLOAT_EQ(Y(1, 51), 4.0f);
    EXPECT_EQ(form->Store.Params[1].StandartRuby, 1.0f);
    EXPECT_FLOAT_EQ(Y(2, 1), 4.0f);
    EXPECT_TRUE(form->ModeLine().endsWith(QStringLiteral("   some spectra have not Rb stand")));
    EXPECT_EQ(form->ModeLine().count(QStringLiteral("some spectra")), 1);

    Key(Qt::Key_H, Qt::AltModifier); // highest point of a at 3400 G
    EXPECT_FLOAT_EQ(X(1, 51), 3300);
    EXPECT_FLOAT_EQ(X(1, 1), 3250);
    EXPECT_TRUE(form->Ui.Chart1->AxesVisible());
    EXPECT_EQ(form->Store.Params[1].Line2, "a, Norm on Int, Norm Rb Amp, Centr-3300G, ");
}

TEST_F(MoveScaleTest, RestrictionThroughTheCursors) {
    ReadFiles({Spectrum("a", 400, 3000, Wave), Spectrum("b", 500, 3050, Wave)});
    Key(Qt::Key_6);
    Key(Qt::Key_R, Qt::AltModifier);
    EXPECT_EQ(form->ModeLine(), QStringLiteral("    Restriction  the spectrum "));
    EXPECT_EQ(form->Pick.TaskCode, 12);
    Press(Qt::Key_Right, 10); // cursor 1 from point 1 to 101
    Key(Qt::Key_Return);
    Press(Qt::Key_Left, 10); // cursor 2 from point 400 to 300
    Key(Qt::Key_Return);
    ASSERT_EQ(form->Store.Params[1].NumPoints, 200);
    EXPECT_FLOAT_EQ(X(1, 1), 3100);
    EXPECT_FLOAT_EQ(X(1, 200), 3299);
    // b by field, both ends kept: 3100..3299.
    ASSERT_EQ(form->Store.Params[2].NumPoints, 200);
    EXPECT_FLOAT_EQ(X(2, 1), 3100);
    EXPECT_EQ(form->ModeLine(), QStringLiteral("  MOVE and SCALE "));
    EXPECT_TRUE(form->Ui.Frame12->isVisibleTo(form.get()));
    EXPECT_FALSE(form->Ui.Chart1->Active(form->View.AuxSeries[1])); // no cursor left behind

    // Esc at once: the active spectrum stays whole, b is cut to its fields.
    ReadFiles({Spectrum("a", 100, 3000, Wave), Spectrum("b", 300, 2950, Wave)});
    Key(Qt::Key_6);
    Key(Qt::Key_R, Qt::AltModifier);
    Key(Qt::Key_Escape);
    EXPECT_EQ(form->Store.Params[1].NumPoints, 100);
    EXPECT_EQ(form->Store.Params[2].NumPoints, 100);
    EXPECT_FLOAT_EQ(X(2, 1), 3000);
}

TEST_F(MoveScaleTest, RestrictionCutsOnlyWhatWasMarkedWhenItStarted) {
    ReadFiles({Spectrum("a", 100, 3000, Wave), Spectrum("b", 300, 2950, Wave),
               Spectrum("c", 300, 2950, Wave)});
    ClickBox(2);
    Key(Qt::Key_6);
    Key(Qt::Key_R, Qt::AltModifier);
    ClickBox(2); // b marked during the pick
    Key(Qt::Key_Return);
    Key(Qt::Key_Return);
    EXPECT_EQ(form->Store.Params[2].NumPoints, 300);
    EXPECT_EQ(form->Store.Params[3].NumPoints, 100);

    // F8 during the pick: the cut is made into its own spectra first.
    ReadFiles({Spectrum("a", 100, 3000, Wave), Spectrum("b", 300, 2950, Wave),
               Spectrum("c", 300, 2950, Wave)});
    ClickBox(3);
    Key(Qt::Key_6);
    Key(Qt::Key_R, Qt::AltModifier);
    ClickBox(1);
    ClickBox(2);
    ClickBox(3); // only c marked: c goes, a and b stay uncut
    Key(Qt::Key_F8);
    ASSERT_EQ(form->Store.NumSpec, 2);
    EXPECT_EQ(form->Store.Params[1].NumPoints, 100);
    EXPECT_EQ(form->Store.Params[2].NumPoints, 300);
}

TEST_F(MoveScaleTest, ComponentAmplitudeAndCentreByPicking) {
    auto line = [](double centre, double size) {
        return [=](int k) {
            const double u = (3300 + k - centre) / 4;
            return -size * u / ((1 + u * u) * (1 + u * u));
        };
    };
    ReadFiles({Spectrum("a", 200, 3300, line(3380, 10)), Spectrum("b", 200, 3300, line(3390, 3))});
    Key(Qt::Key_6);
    Key(Qt::Key_A, Qt::AltModifier);
    EXPECT_EQ(form->ModeLine(), QStringLiteral("     Choose component  "));
    EXPECT_EQ(form->Pick.PickIndex[1], 20);
    EXPECT_EQ(form->Pick.PickIndex[2], 100);
    Key(Qt::Key_Return);
    Press(Qt::Key_Right, 10); // cursor 2 from point 100 to 200
    Key(Qt::Key_Return);
    for (int s : {1, 2}) {
        const auto e =
            kivo::RangeExtrema(form->Store.SpecX[s].Data(), form->Store.SpecY[s].Data(), 1, 200);
        EXPECT_NEAR(e.Amplitude, 1.0, 1e-6) << s;
        EXPECT_EQ(form->Store.Params[s].Line2, s == 1 ? "a, Norm Compon, " : "b, Norm Compon, ");
    }
    EXPECT_EQ(form->ModeLine(), QStringLiteral("  MOVE and SCALE "));

    Key(Qt::Key_B, Qt::AltModifier);
    Key(Qt::Key_Return);
    Press(Qt::Key_Right, 10);
    Key(Qt::Key_Return);
    EXPECT_FLOAT_EQ(X(1, 1), 3300); // the active spectrum is the reference
    EXPECT_NEAR(X(2, 1), 3290, 1e-3);
    EXPECT_EQ(form->Store.Params[2].Line2, "b, Norm Compon, Comp.Field , ");
}

TEST_F(MoveScaleTest, BackOrderReversesThePoints) {
    ReadFiles({Spectrum("a", 5, 1, [](int k) { return 10 * k; })});
    Key(Qt::Key_6);
    Key(Qt::Key_Q, Qt::AltModifier);
    // A spectrum read back with a falling field; its points keep their pairs.
    for (int k = 1; k <= 5; ++k) {
        EXPECT_FLOAT_EQ(X(1, k), 6 - k);
        EXPECT_FLOAT_EQ(Y(1, k), 10 * (5 - k));
    }
    Key(Qt::Key_Q, Qt::AltModifier);
    EXPECT_FLOAT_EQ(X(1, 1), 1);
    EXPECT_TRUE(form->Store.Params[1].Line2.empty());
}

TEST_F(MoveScaleTest, SizePanelGrowsTheLowerMenuUpwards) {
    form->Mode.SizeEditKind = 3;
    form->ShowPanel(form->Ui.Frame13);
    const int top = form->Ui.Frame13->y(), bottom = form->Ui.Frame13->geometry().bottom();
    const int modeTop = form->Ui.Label3->y();
    const int font = FontHeight(form->Ui.Frame13->Label1);
    Key(Qt::Key_PageUp, Qt::ControlModifier);
    EXPECT_EQ(form->Ui.Frame13->y(), top - 10);
    EXPECT_EQ(form->Ui.Frame13->geometry().bottom(), bottom);
    EXPECT_EQ(form->Ui.Label3->y(), modeTop - 10);
    for (TFrame1* f : {form->Ui.Frame11, form->Ui.Frame12, form->Ui.Frame16})
        EXPECT_EQ(f->y(), top - 10);
    EXPECT_EQ(FontHeight(form->Ui.Frame12->Label10), font + 1);
    EXPECT_EQ(FontHeight(form->Ui.Frame12->Label11), FontHeight(form->Ui.Frame14->Label1));

    form->Mode.SizeEditKind = 2;
    const QSize chart = form->Ui.Chart1->size();
    Key(Qt::Key_PageDown);
    EXPECT_EQ(form->Ui.Chart1->size(), QSize(chart.width() - 10, chart.height()));
}
