// The point-picking engine, the base line and the subtraction of a base
// spectrum, driven through the keys of the base-line panel.
#include <QCheckBox>
#include <QLabel>
#include <QTest>
#include <cmath>

#include "TChart.h"
#include "TLabel.h"
#include "Unit1.h"
#include "harness.h"

namespace {

struct Curve {
    QString name;
    std::vector<float> x, y;
    double gain = 1, modulation = 1, ruby = 1;
};

class PickingTest : public FormTest {
protected:
    // Writes the spectra as .esr files and reads them all with F3.
    void Load(const std::vector<Curve>& spectra) {
        QStringList names;
        for (const Curve& s : spectra) {
            kivo::ParamSpec p;
            p.Line1 = s.name.toStdString();
            p.NumPoints = static_cast<uint16_t>(s.x.size());
            p.Gain = s.gain;
            p.Modulation = s.modulation;
            p.StandartRuby = s.ruby;
            WriteFile(s.name + ".esr", kivo::FormatSpectrum(p, s.x.data(), s.y.data()));
            names << s.name + ".esr";
        }
        ReadFiles(names);
        ASSERT_EQ(form->Store.NumSpec, int(spectra.size()));
    }
    static Curve Line(const QString& name, int n, double x0, double step,
                      const std::function<double(double)>& f) {
        Curve s{name, {}, {}};
        for (int k = 0; k < n; ++k) {
            s.x.push_back(float(x0 + k * step));
            s.y.push_back(float(f(x0 + k * step)));
        }
        return s;
    }
    void Press(Qt::Key key, int times = 1, Qt::KeyboardModifiers m = Qt::NoModifier) {
        for (int i = 0; i < times; ++i) Key(key, m);
    }
    void ClickBox(int slot, qint64 at) {
        now = at;
        QCheckBox* box = form->Ui.SpecCheck[slot];
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
        Settle();
    }
    float Y(int slot, int k) const { return form->Store.SpecY[slot][k]; }
};

} // namespace

TEST_F(PickingTest, ThreeStartsTheBaseLineWithCursorsNearTheEnds) {
    Load({Line("a", 200, 3300, 0.5, [](double) { return 1.0; })});
    Key(Qt::Key_3);
    EXPECT_TRUE(form->Ui.Frame14->isVisibleTo(form.get()));
    EXPECT_FALSE(form->Ui.Frame11->isVisibleTo(form.get()));
    EXPECT_EQ(QApplication::focusWidget(), form->Ui.Frame14->Edit1);
    EXPECT_TRUE(form->Work.BaseLineMode);
    EXPECT_EQ(form->Pick.TaskCode, 11);
    EXPECT_EQ(form->Pick.PickIndex[1], 10);
    EXPECT_EQ(form->Pick.PickIndex[2], 190);
    EXPECT_EQ(form->ModeLine(), QStringLiteral("   SUBTRACTION OF BASE LINE     Click mouse in "
                                               "appropriate position to shift the line"));
    EXPECT_EQ(form->Ui.Label2->text(), QStringLiteral("10"));
    EXPECT_EQ(form->Ui.Label12->text(), QStringLiteral("3304.5"));
    EXPECT_TRUE(form->Ui.Frame14->Label3->isVisibleTo(form->Ui.Frame14));
    EXPECT_TRUE(form->Ui.Frame14->Label4->isVisibleTo(form->Ui.Frame14));
    // The first preview is there at once.
    EXPECT_EQ(form->Ui.Chart1->PointCount(ViewState::PointSeries1), 200);
    const int cursor = form->View.AuxSeries[1];
    ASSERT_EQ(form->Ui.Chart1->PointCount(cursor), 2);
    EXPECT_DOUBLE_EQ(form->Ui.Chart1->PointX(cursor, 0), 3304.5);
    EXPECT_TRUE(form->Ui.Chart1->Active(cursor));
}

TEST_F(PickingTest, CursorsWalkByTheStepAndStayOnTheSpectrum) {
    Load({Line("a", 100, 3300, 1, [](double) { return 0.0; })});
    Key(Qt::Key_3);
    Press(Qt::Key_Right);
    EXPECT_EQ(form->Pick.PickIndex[1], 20);
    Press(Qt::Key_Plus, 2, Qt::ShiftModifier);
    EXPECT_EQ(form->Pick.CursorStep, 40);
    Press(Qt::Key_Right, 3);
    EXPECT_EQ(form->Pick.PickIndex[1], 100);
    EXPECT_EQ(form->Ui.Label2->text(), QStringLiteral("100"));
    Press(Qt::Key_Left, 5);
    EXPECT_EQ(form->Pick.PickIndex[1], 1);
    Press(Qt::Key_Plus, 5, Qt::ShiftModifier);
    EXPECT_EQ(form->Pick.CursorStep, 100); // never beyond the spectrum's length
    Press(Qt::Key_Minus, 9);
    EXPECT_EQ(form->Pick.CursorStep, 1);
    Press(Qt::Key_Minus);
    EXPECT_EQ(form->Pick.CursorStep, 1);
    Press(Qt::Key_Right);
    EXPECT_EQ(form->Pick.PickIndex[1], 2);
    // The cursor line follows the point.
    EXPECT_DOUBLE_EQ(form->Ui.Chart1->PointX(form->View.AuxSeries[1], 0), 3301);
}

TEST_F(PickingTest, AMousePressPlacesTheCurrentCursor) {
    Load({Line("a", 101, 3300, 1, [](double) { return 0.0; })});
    Key(Qt::Key_3);
    const PlotRect r = form->Ui.Chart1->PlotRectangle();
    const double xmin = form->Ui.Chart1->Minimum(ChartAxis::Bottom);
    const double xmax = form->Ui.Chart1->Maximum(ChartAxis::Bottom);
    const int pixel = int(std::lround(r.Left + (3342.4 - xmin) * r.Width / (xmax - xmin)));
    QTest::mousePress(form->Ui.Chart1->Surface(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(pixel, 100));
    Settle();
    EXPECT_EQ(form->Pick.PickIndex[1], 43); // field 3342
    EXPECT_EQ(form->Ui.Label2->text(), QStringLiteral("43"));
    EXPECT_EQ(form->Ui.Label12->text(), QStringLiteral("3342"));
    EXPECT_DOUBLE_EQ(form->Ui.Chart1->PointX(form->View.AuxSeries[1], 0), 3342);
}

TEST_F(PickingTest, EnterAcceptsEachCursorAndShowsWhatWasPicked) {
    Load({Line("a", 100, 3300, 1, [](double) { return 0.0; })});
    Key(Qt::Key_3);
    Press(Qt::Key_Return);
    EXPECT_EQ(form->Pick.PickNo, 2);
    EXPECT_EQ(form->Ui.Label2->text(), QStringLiteral("10, 90"));
    EXPECT_EQ(form->Ui.Label12->text(), QStringLiteral("3309, 3389"));
    EXPECT_TRUE(form->Ui.Chart1->Active(form->View.AuxSeries[2]));
    Press(Qt::Key_Left);
    EXPECT_EQ(form->Ui.Label2->text(), QStringLiteral("10, 80"));
    Press(Qt::Key_Return); // completion: the preview again, back to cursor 1
    EXPECT_EQ(form->Pick.PickNo, 1);
    EXPECT_TRUE(form->Pick.PickedNumbersText.isEmpty());
    Press(Qt::Key_Right);
    EXPECT_EQ(form->Ui.Label2->text(), QStringLiteral("20"));
}

TEST_F(PickingTest, F11TurnsTheCursorsIntoLevelsAtTheTopAndBottom) {
    Load({Line("a", 100, 3300, 1, [](double x) { return x - 3350; })});
    Key(Qt::Key_3);
    Press(Qt::Key_F11);
    EXPECT_FALSE(form->Pick.PointCursor);
    const double top = form->Ui.Chart1->Maximum(ChartAxis::Left);
    const double bottom = form->Ui.Chart1->Minimum(ChartAxis::Left);
    EXPECT_DOUBLE_EQ(form->Pick.PickLevel[1], top);
    EXPECT_DOUBLE_EQ(form->Pick.PickLevel[2], bottom);
    const int cursor = form->View.AuxSeries[1];
    ASSERT_EQ(form->Ui.Chart1->PointCount(cursor), 2);
    EXPECT_DOUBLE_EQ(form->Ui.Chart1->PointY(cursor, 0), top);
    EXPECT_DOUBLE_EQ(form->Ui.Chart1->PointY(cursor, 1), top);
    Press(Qt::Key_Down, 2);
    EXPECT_NEAR(form->Pick.PickLevel[1], top - 2 * 10 * 10 * form->View.MoveUnitY, 1e-9);
    EXPECT_TRUE(form->Ui.Label2->text().isEmpty());
    EXPECT_DOUBLE_EQ(form->Ui.Chart1->PointY(cursor, 0), form->Pick.PickLevel[1]);
}

TEST_F(PickingTest, KeysDuringCoefficientEntryMoveNoCursor) {
    Load({Line("a", 100, 3300, 1, [](double) { return 0.0; })});
    Key(Qt::Key_3);
    form->Work.SubtrInput = true;
    Press(Qt::Key_Right, 2);
    Press(Qt::Key_F11);
    EXPECT_EQ(form->Pick.PickIndex[1], 10);
    EXPECT_TRUE(form->Pick.PointCursor);
    EXPECT_FALSE(form->Ui.Frame14->Label1->isVisibleTo(form->Ui.Frame14));
    Press(Qt::Key_4);
    EXPECT_EQ(form->Entry.EntryText, QStringLiteral("4"));
}

TEST_F(PickingTest, AFlatOffsetIsRemovedOnEscOnlyFromMarkedSpectra) {
    Load({Line("a", 60, 3300, 1, [](double) { return 7.0; }),
          Line("b", 60, 3300, 1, [](double) { return 5.0; })});
    ClickBox(2, 10'000);
    Key(Qt::Key_3);
    Key(Qt::Key_Escape);
    EXPECT_FALSE(form->Work.BaseLineMode);
    EXPECT_TRUE(form->Ui.Frame11->isVisibleTo(form.get()));
    for (int k = 1; k <= 60; ++k) {
        EXPECT_FLOAT_EQ(Y(1, k), 0.0f) << k;
        EXPECT_FLOAT_EQ(Y(2, k), 5.0f) << k;
    }
    for (int i = 1; i <= 2; ++i) EXPECT_FALSE(form->Store.SavedX[i].Allocated()) << i;
    EXPECT_EQ(QApplication::focusWidget(), form->Ui.Frame11->Edit1);
}

TEST_F(PickingTest, MovingTheCursorMovesTheMeansAndTheirFields) {
    // y = 0 for points 1..10, 3 for 11..40, then a slope; fields 3000 + (k - 1).
    Curve s = Line("a", 100, 3000, 1, [](double x) {
        const int k = int(x - 3000) + 1;
        return k <= 10 ? 0.0 : k <= 40 ? 3.0 : 0.1 * k;
    });
    Load({s});
    Key(Qt::Key_3);
    Press(Qt::Key_Right, 3); // cursor 1 from point 10 to point 40
    Press(Qt::Key_Return);
    Press(Qt::Key_Return);
    Key(Qt::Key_Escape);
    // mL = mean of points 1..40 = (10 * 0 + 30 * 3) / 40; mR = mean of 90..100.
    const double mL = 90.0 / 40;
    double mR = 0;
    for (int k = 90; k <= 100; ++k) mR += 0.1 * k;
    mR /= 11;
    // The line passes mL at the mean field of points 1..40 (3019.5) and mR at
    // that of points 90..100 (3094).
    auto line = [&](double x) { return mL + (x - 3019.5) * (mR - mL) / (3094 - 3019.5); };
    for (int k : {1, 5, 33, 50, 95, 100}) {
        const double x = 3000 + (k - 1);
        EXPECT_NEAR(Y(1, k), s.y[size_t(k - 1)] - line(x), 1e-4) << k;
    }
}

TEST_F(PickingTest, AltBWithoutABaseAsksForOneAndKeepsTheSpectra) {
    Load({Line("a", 50, 3300, 1, [](double) { return 2.0; }),
          Line("b", 50, 3300, 1, [](double) { return 4.0; })});
    Key(Qt::Key_3);
    Key(Qt::Key_B, Qt::AltModifier);
    EXPECT_EQ(form->ModeLine(), QStringLiteral("   Choose the base line spectrum  "));
    EXPECT_TRUE(form->Mode.BaseChoicePending);
    EXPECT_FALSE(form->Work.BaseLineMode);
    EXPECT_FALSE(form->Store.SavedX[1].Allocated());
    EXPECT_EQ(form->Ui.Chart1->PointCount(ViewState::PointSeries1), 0);
    // The base is chosen with a click; the mark stays as it was.
    ClickBox(2, 10'000);
    EXPECT_EQ(form->Store.BaseSpec, 2);
    EXPECT_EQ(form->Ui.SpecCheck[2]->text(), QStringLiteral("b   B"));
    EXPECT_EQ(QApplication::focusWidget(), form->Ui.Frame14->Edit1);
    Key(Qt::Key_Escape);
    EXPECT_FLOAT_EQ(Y(1, 20), 2.0f);
    EXPECT_FLOAT_EQ(Y(2, 20), 4.0f);
}

TEST_F(PickingTest, NothingMarkedStartsNothing) {
    Load({Line("a", 50, 3300, 1, [](double) { return 2.0; })});
    ClickBox(1, 10'000);
    Key(Qt::Key_3);
    EXPECT_EQ(form->ModeLine(), QStringLiteral("   Choose at least one spectrum "));
    EXPECT_FALSE(form->Work.BaseLineMode);
    EXPECT_FALSE(form->Store.SavedX[1].Allocated());
    EXPECT_TRUE(form->Ui.Frame11->isVisibleTo(form.get()));
    Answer(std::nullopt);
    Key(Qt::Key_5); // the main mode still takes its keys
    EXPECT_EQ(Asked().size(), 2u);
}

namespace {

// Enters the numerical base line with slot `base` as the base spectrum and
// types a coefficient (empty for the derived one), Enter, then Y.
class SubtractionTest : public PickingTest {
protected:
    void Subtract(int base, const QString& koeff, bool commit = true) {
        Key(Qt::Key_3);
        form->Mode.BaseChoicePending = true;
        ClickBox(base, 100'000);
        ASSERT_EQ(form->Store.BaseSpec, base);
        Key(Qt::Key_B, Qt::AltModifier);
        ASSERT_TRUE(form->Work.SubtrInput);
        for (QChar c : koeff)
            Key(c == '.' ? Qt::Key_Period : Qt::Key(Qt::Key_0 + (c.unicode() - '0')));
        Key(Qt::Key_Return);
        if (commit) Key(Qt::Key_Y);
    }
};

} // namespace

TEST_F(SubtractionTest, ResultsGoToNewSlotsWithTheirHistory) {
    auto wave = [](double x) { return std::sin(x / 7); };
    Load({Line("empty", 60, 3300, 1, wave),
          Line("s1", 60, 3300, 1, [&](double x) { return 3 + 0.5 * wave(x); }),
          Line("s2", 60, 3300, 1, wave), Line("s3", 40, 3310, 1, wave)});
    Subtract(1, "0.5");
    EXPECT_EQ(form->Store.NumSpec, 7);
    EXPECT_EQ(Captions(), (QStringList{"empty   B", "s1", "s2", "s3", "res1", "res2", "res3"}));
    EXPECT_EQ(form->Store.FileSpectrumName[5], QStringLiteral("res1"));
    EXPECT_EQ(form->Store.Params[5].NumPoints, 60);
    EXPECT_NEAR(form->Store.SpecY[5][30], 3.0, 1e-5);
    EXPECT_EQ(form->Store.Params[5].Line2,
              ", s1 - 0.5*empty, "); // "res1" has no name before its ending
    EXPECT_EQ(form->Store.Params[7].NumPoints, 40);
    EXPECT_FLOAT_EQ(form->Store.SpecX[7][1], 3310);
    EXPECT_NEAR(form->Store.SpecY[7][5], 0.5 * wave(3314), 1e-5);
    // The sources stay as they were.
    EXPECT_NEAR(Y(2, 30), 3 + 0.5 * wave(3329), 1e-5);
    EXPECT_TRUE(form->Store.Params[2].Line2.empty());
    EXPECT_FALSE(form->Work.SubtrInput);
    for (int i = 5; i <= 7; ++i) EXPECT_TRUE(form->Ui.SpecCheck[i]->isChecked()) << i;
}

TEST_F(SubtractionTest, TheCoefficientComesFromTheStandardsWhenLeftEmpty) {
    Curve base = Line("base", 50, 3300, 1, [](double) { return 1.0; });
    Curve sample = Line("sample", 50, 3300, 1, [](double) { return 5.0; });
    sample.gain = 2;
    Load({base, sample});
    Subtract(1, "");
    EXPECT_DOUBLE_EQ(form->Entry.SubtrKoeff, 2);
    ASSERT_EQ(form->Store.NumSpec, 3);
    EXPECT_FLOAT_EQ(form->Store.SpecY[3][10], 3.0f);
    EXPECT_EQ(form->Store.Params[3].Line2, ", sample - 2*base, ");
}

TEST_F(SubtractionTest, UnknownStandardsSkipTheSpectrumAndSaySo) {
    Curve base = Line("base", 50, 3300, 1, [](double) { return 1.0; });
    Curve sample = Line("sample", 50, 3300, 1, [](double) { return 5.0; });
    sample.ruby = 0;
    Load({base, sample});
    Subtract(1, "", false);
    EXPECT_EQ(form->ModeLine(),
              QStringLiteral("   Subtraction (According Standart - Enter), koeff = "
                             " Gain, Mod or St.Ruby for som spectra are unknown"));
    Key(Qt::Key_Y);
    EXPECT_EQ(form->Store.NumSpec, 2);
    EXPECT_TRUE(form->ModeLine().endsWith(
        QStringLiteral(" Gain, Mod or St.Ruby for som spectra are unknown")));
}

TEST_F(SubtractionTest, PreviewAndEscChangeNothing) {
    Load({Line("base", 50, 3300, 1, [](double) { return 1.0; }),
          Line("s", 50, 3300, 1, [](double) { return 4.0; })});
    Subtract(1, "1", false);
    EXPECT_EQ(form->Ui.Chart1->PointCount(ViewState::PointSeries1), 50);
    EXPECT_NEAR(form->Ui.Chart1->PointY(ViewState::PointSeries1, 3), form->View.PlottedY(3.0),
                1e-9);
    EXPECT_TRUE(form->Ui.Frame14->Label5->isVisibleTo(form->Ui.Frame14));
    Key(Qt::Key_Escape);
    EXPECT_FALSE(form->Work.SubtrInput);
    EXPECT_EQ(form->Store.NumSpec, 2);
    EXPECT_FLOAT_EQ(Y(2, 10), 4.0f);
}

TEST_F(SubtractionTest, ElevenMarkedAreReplacedInPlace) {
    std::vector<Curve> spectra{Line("base", 30, 3300, 1, [](double) { return 1.0; })};
    for (int i = 1; i <= 11; ++i)
        spectra.push_back(
            Line(QStringLiteral("s%1").arg(i), 30, 3300, 1, [i](double) { return 1.0 + i; }));
    Load(spectra);
    Subtract(1, "1");
    EXPECT_EQ(form->Store.NumSpec, 12);
    EXPECT_FLOAT_EQ(Y(12, 7), 11.0f);
    EXPECT_EQ(form->Store.Params[12].Line2, "s11, s11 - 1*base, ");
}

TEST_F(SubtractionTest, NoOverlapAndAFullStoreAreRefusedWithAMessage) {
    std::vector<Curve> spectra{Line("base", 30, 3300, 1, [](double) { return 1.0; }),
                               Line("far", 30, 5000, 1, [](double) { return 1.0; })};
    for (int i = 1; i <= 17; ++i)
        spectra.push_back(
            Line(QStringLiteral("s%1").arg(i), 30, 3300, 1, [](double) { return 2.0; }));
    Load(spectra);
    for (int i = 4; i <= 19; ++i) ClickBox(i, 200'000 + 1000 * i); // base, far, s1 marked
    ASSERT_EQ(form->Store.NumMarked, 3);
    Subtract(1, "1");
    EXPECT_EQ(form->Store.NumSpec, 20);
    EXPECT_EQ(form->Store.FileSpectrumName[20], QStringLiteral("res1"));
    EXPECT_TRUE(
        form->ModeLine().contains(QStringLiteral("   No field overlap with the base: far ")));

    // A second subtraction finds the store full.
    Key(Qt::Key_F4);
    for (int i = 2; i <= 20; ++i)
        if (i != 3 && form->Ui.SpecCheck[i]->isChecked()) ClickBox(i, 400'000 + 1000 * i);
    ASSERT_EQ(form->Store.NumMarked, 2);
    Subtract(1, "1");
    EXPECT_EQ(form->Store.NumSpec, 20);
    EXPECT_TRUE(form->ModeLine().contains(QStringLiteral("   No free slot for the result of s1 ")));
}

TEST_F(PickingTest, BaseLineThroughTheKeysIsSaved) {
    Load({Line("a", 80, 3300, 1, [](double x) { return 2 + 0.01 * (x - 3300); }),
          Line("b", 80, 3300, 1, [](double x) { return -1 + 0.02 * (x - 3300); })});
    Key(Qt::Key_3);
    Press(Qt::Key_Right); // cursor 1 to point 20; cursor 2 stays at 70
    Press(Qt::Key_Return);
    Press(Qt::Key_Return);
    Key(Qt::Key_Escape);
    Answer(QStringList{Path("a2.esr")});
    Answer(QStringList{Path("b2.esr")});
    Key(Qt::Key_F2);
    kivo::ParamSpec p;
    kivo::PointBuffer x, y;
    ASSERT_EQ(kivo::ReadSpectrumFile(Path("b2.esr").toStdString(), kivo::KindEsr, p, x, y).Status,
              kivo::ReadStatus::Ok);
    ASSERT_EQ(p.NumPoints, 80);
    // b = -1 + 0.02 (k - 1): the mean of points 1..20 is -0.81, of 70..80 0.48,
    // and the line takes them at the windows' mean fields (3309.5 and 3374),
    // where the straight base line has them: nothing is left of it.
    for (int k : {1, 5, 20, 40, 75, 80}) EXPECT_NEAR(y[k], 0, 1e-5) << k;
}
