// The refresh and its commits, the parameter panel and the axes, through the
// real window with its store filled as the commands leave it.
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>

#include "TChart.h"
#include "TLabel.h"
#include "Unit1.h"
#include "fonts.h"
#include "harness.h"

namespace {

QStringList Lines(const QPlainTextEdit* memo) {
    return memo->toPlainText().split(QLatin1Char('\n'));
}

// Slot s holds points x = x0 + k, y = values[k] (k from 0), marked and shown.
void Fill(TForm1& form, int s, double x0, const std::vector<float>& values,
          const QString& name = {}) {
    form.Store.AllocateSlot(s);
    form.Store.Params[s] = kivo::ParamSpec{};
    form.Store.Params[s].NumPoints = static_cast<uint16_t>(values.size());
    for (size_t k = 0; k < values.size(); ++k) {
        form.Store.SpecX[s][int(k) + 1] = float(x0 + double(k));
        form.Store.SpecY[s][int(k) + 1] = values[k];
    }
    form.Store.FileSpectrumName[s] =
        (name.isEmpty() ? QStringLiteral("s%1").arg(s) : name) + ".esr";
    form.Store.SpecCaption[s] = name.isEmpty() ? QStringLiteral("s%1").arg(s) : name;
    form.DrawBox(s);
    form.Ui.SpecCheck[s]->show();
    form.SetBoxChecked(s, true);
    if (form.Store.NumSpec < s) form.Store.NumSpec = static_cast<uint16_t>(s);
}

std::vector<float> Ramp(int n, float from = 0, float step = 1) {
    std::vector<float> v(static_cast<size_t>(n));
    for (int k = 0; k < n; ++k) v[size_t(k)] = from + step * float(k);
    return v;
}

} // namespace

TEST_F(FormTest, PanelShowsTheExampleSpectrumLineByLine) {
    Fill(*form, 1, 3300, Ramp(1024, 0, 0.5f / 1023));
    kivo::ParamSpec& p = form->Store.Params[1];
    p.ScanRange = 100;
    p.Gain = 20000;
    p.Modulation = 1;
    p.Power = 20;
    p.StandartRuby = 1;
    p.Amplitude = 0.5;
    p.Line1 = "Sample A";
    p.Line2 = "s1, Norm on Int, ";
    form->Parameters(1);
    EXPECT_EQ(Lines(form->Ui.Memo1), (QStringList{"Sample A", "s1, Norm on Int, "}));
    EXPECT_EQ(Lines(form->Ui.Memo2), (QStringList{"1024 pnt", "+-  100", " 2.00E4", " 1.00 G",
                                                  " 20.00 mW", "St= 1.000", "SpA= 0.50000"}));
    // Font height 17 is the distance of the lines: every line fits its box.
    EXPECT_LE(form->Ui.Memo2->fontMetrics().lineSpacing() * 7, form->Ui.Memo2->height());
    EXPECT_LE(form->Ui.Memo3->fontMetrics().lineSpacing() * 5, form->Ui.Memo3->height());
    EXPECT_EQ(Lines(form->Ui.Memo3),
              (QStringList{"Integral=   0.00000", "N part    0.000E+00", "SUMS    LEFT    RIGHT",
                           "Double     0      0", "First   0.0000   0.0000"}));
}

TEST_F(FormTest, PanelShowsZerosLargeCountsAndResults) {
    Fill(*form, 1, 3300, Ramp(10000));
    form->Parameters(1);
    const QStringList zero = Lines(form->Ui.Memo2);
    ASSERT_EQ(zero.size(), 7);
    EXPECT_EQ(zero[0], QStringLiteral("10000 pnt"));
    EXPECT_EQ(zero[1], QStringLiteral("+-    0"));
    EXPECT_EQ(zero[2], QStringLiteral(" 0.00E0"));
    EXPECT_EQ(zero[3], QStringLiteral(" 0.00 G"));
    EXPECT_EQ(zero[4], QStringLiteral("  0.00 mW"));
    EXPECT_EQ(zero[5], QStringLiteral("St= 0.000"));

    kivo::ParamSpec& p = form->Store.Params[1];
    p.DblIntegral = 1234.567891;
    p.NumParticles = 1.2346e15;
    p.SumLeft2 = 617;
    p.SumRight2 = 618;
    p.SumLeft1 = 1.23456;
    p.SumRight1 = -0.5;
    form->Parameters(1);
    EXPECT_EQ(Lines(form->Ui.Memo3),
              (QStringList{"Integral=1234.56789", "N part    1.235E+15", "SUMS    LEFT    RIGHT",
                           "Double   617    618", "First   1.2346  -0.5000"}));
    // Sums under 10 keep their decimals; long sums widen the box leftwards,
    // its right edge where it was, and no line is cut.
    const int right = form->Ui.Memo3->geometry().right();
    p.SumLeft2 = 4.25;
    p.SumRight2 = -1234567.8;
    p.SumLeft1 = 2273.7919;
    p.SumRight1 = 2114.123456;
    p.DblIntegral = 776184.0937;
    form->Parameters(1);
    const QStringList wide = Lines(form->Ui.Memo3);
    EXPECT_EQ(wide[3], QStringLiteral("Double 4.2500  -1234568"));
    EXPECT_EQ(wide[4], QStringLiteral("First  2273.7919  2114.1235"));
    EXPECT_EQ(form->Ui.Memo3->geometry().right(), right);
    for (const QString& line : wide)
        EXPECT_LE(form->Ui.Memo3->fontMetrics().horizontalAdvance(line), form->Ui.Memo3->width())
            << line.toStdString();
    form->Parameters(0);
    EXPECT_TRUE(form->Ui.Memo1->toPlainText().isEmpty());
    EXPECT_TRUE(form->Ui.Memo2->toPlainText().isEmpty());
    EXPECT_TRUE(form->Ui.Memo3->toPlainText().isEmpty());
}

TEST_F(FormTest, PanelShowsOldCyrillicLinesReadably) {
    Fill(*form, 1, 3300, Ramp(10));
    form->Store.Params[1].Line1 = "\xCE\xE1\xF0\xE0\xE7\xE5\xF6"; // code page 1251
    form->Store.Params[1].Line2 = "\x8E\xA1\xE0\xA0\xA7\xA5\xE6"; // code page 866
    form->Parameters(1);
    const QString word =
        QString::fromUtf8("\xD0\x9E\xD0\xB1\xD1\x80\xD0\xB0\xD0\xB7\xD0\xB5\xD1\x86");
    EXPECT_EQ(Lines(form->Ui.Memo1), (QStringList{word, word}));
}

TEST_F(FormTest, F5TogglesTheThreeBoxesTogether) {
    Fill(*form, 1, 3300, Ramp(10));
    form->CheckActivSpec();
    ASSERT_TRUE(form->Ui.Memo1->isHidden());
    Key(Qt::Key_F5);
    for (QPlainTextEdit* m : {form->Ui.Memo1, form->Ui.Memo2, form->Ui.Memo3})
        EXPECT_FALSE(m->isHidden());
    EXPECT_EQ(Lines(form->Ui.Memo2).first(), QStringLiteral("  10 pnt"));
    form->Ui.Memo3->hide(); // the three follow Memo1
    Key(Qt::Key_F5);
    for (QPlainTextEdit* m : {form->Ui.Memo1, form->Ui.Memo2, form->Ui.Memo3})
        EXPECT_TRUE(m->isHidden());
    QTest::mouseClick(form->Ui.Label9, Qt::LeftButton);
    EXPECT_FALSE(form->Ui.Memo3->isHidden());
    EXPECT_EQ(QApplication::focusWidget(), form->Ui.Frame11->Edit1);
}

TEST_F(FormTest, AxesHoldAllDataAndZero) {
    Fill(*form, 1, 3300, Ramp(101, 0, 1)); // Y 0..100, X 3300..3400
    form->InitAxes();
    EXPECT_DOUBLE_EQ(form->Ui.Chart1->Minimum(ChartAxis::Left), -2.5);
    EXPECT_DOUBLE_EQ(form->Ui.Chart1->Maximum(ChartAxis::Left), 102.5);
    EXPECT_DOUBLE_EQ(form->Ui.Chart1->Minimum(ChartAxis::Bottom), 3350 - 52.5);
    EXPECT_DOUBLE_EQ(form->Ui.Chart1->Maximum(ChartAxis::Bottom), 3350 + 52.5);
    EXPECT_DOUBLE_EQ(form->View.XScale, 1.0);
    // The zero line runs across the whole extent, in white.
    const int zero = form->View.AuxSeries[6];
    ASSERT_EQ(form->Ui.Chart1->PointCount(zero), 2);
    EXPECT_DOUBLE_EQ(form->Ui.Chart1->PointX(zero, 0), 3300);
    EXPECT_DOUBLE_EQ(form->Ui.Chart1->PointX(zero, 1), 3400);
    EXPECT_DOUBLE_EQ(form->Ui.Chart1->PointY(zero, 1), 0);
    EXPECT_TRUE(form->Ui.Chart1->Active(zero));

    Fill(*form, 2, -50, Ramp(11, -7, 0)); // all X negative in slot 2, flat Y
    form->InitAxes();
    EXPECT_DOUBLE_EQ(form->Ui.Chart1->Minimum(ChartAxis::Bottom), 1675 - 3450 * 1.05 / 2);
    EXPECT_DOUBLE_EQ(form->Ui.Chart1->Minimum(ChartAxis::Left), 46.5 - 107 * 1.05 / 2);
}

TEST_F(FormTest, FlatSpectraGetTheNarrowestRange) {
    Fill(*form, 1, 3300, std::vector<float>(20, 0.0f));
    form->InitAxes();
    const double span =
        form->Ui.Chart1->Maximum(ChartAxis::Left) - form->Ui.Chart1->Minimum(ChartAxis::Left);
    EXPECT_NEAR(span, 1e-10, 1e-16);
    form->Plot();
    EXPECT_DOUBLE_EQ(form->Store.Params[1].Amplitude, 0);
}

TEST_F(FormTest, PlotDrawsMarkedSpectraThroughTheViewAndLeavesOthers) {
    Fill(*form, 1, 3300, {1, 5, -3, 2});
    Fill(*form, 2, 3300, {0, 1});
    Fill(*form, 3, 3300, {4, 4});
    form->CheckActivSpec();
    form->InitAxes();
    form->Plot();
    EXPECT_DOUBLE_EQ(form->Store.Params[1].Amplitude, 8);
    ASSERT_EQ(form->Ui.Chart1->PointCount(form->View.SpecSeries[2]), 2);

    form->Ui.SpecCheck[2]->setChecked(false);
    form->CheckActivSpec();
    form->View.XScale = 2;
    form->View.XShift = 10;
    form->View.YScale = 0.5;
    form->Plot();
    // Slot 2 is not marked: its line stays as it was drawn before.
    EXPECT_EQ(form->Ui.Chart1->PointCount(form->View.SpecSeries[2]), 2);
    EXPECT_DOUBLE_EQ(form->Ui.Chart1->PointX(form->View.SpecSeries[2], 0), 3300);
    // Slot 1 through the transform: x' = (1 - 2) * XCentre + 2 * x + 10.
    const double xc = form->View.XCentre, yc = form->View.YCentre;
    EXPECT_DOUBLE_EQ(form->Ui.Chart1->PointX(form->View.SpecSeries[1], 1), -xc + 2 * 3301 + 10);
    EXPECT_DOUBLE_EQ(form->Ui.Chart1->PointY(form->View.SpecSeries[1], 1), 0.5 * yc + 0.5 * 5);

    // Nothing marked: empty slots are cleared and hidden, loaded ones kept.
    for (int i = 1; i <= 3; ++i) form->Ui.SpecCheck[i]->setChecked(false);
    form->CheckActivSpec();
    form->Ui.Chart1->AddPoint(form->View.SpecSeries[7], 1, 1);
    form->Ui.Chart1->SetActive(form->View.SpecSeries[7], true);
    form->Plot();
    EXPECT_EQ(form->Ui.Chart1->PointCount(form->View.SpecSeries[7]), 0);
    EXPECT_FALSE(form->Ui.Chart1->Active(form->View.SpecSeries[7]));
    EXPECT_EQ(form->Ui.Chart1->PointCount(form->View.SpecSeries[1]), 4);
}

TEST_F(FormTest, AllSpectraLabelAndTheFirstMarkAfterAFullRefresh) {
    Fill(*form, 1, 3300, Ramp(5));
    form->refresh(0);
    EXPECT_FALSE(form->Ui.Label13->isVisibleTo(form.get()));
    Fill(*form, 2, 3300, Ramp(5));
    form->Ui.SpecCheck[1]->setChecked(false);
    form->Ui.SpecCheck[2]->setChecked(false);
    form->refresh(0);
    EXPECT_TRUE(form->Ui.Label13->isVisibleTo(form.get()));
    EXPECT_TRUE(form->Ui.SpecCheck[1]->isChecked());
    EXPECT_FALSE(form->Ui.SpecCheck[2]->isChecked());
    EXPECT_EQ(form->Store.ActiveSpec, 1);
    EXPECT_EQ(form->Store.NumMarked, 1);
    // Unmarked spectra are hidden by the full refresh.
    EXPECT_FALSE(form->Ui.Chart1->Active(form->View.SpecSeries[2]));
    EXPECT_TRUE(form->Ui.Chart1->Active(form->View.SpecSeries[1]));
}

TEST_F(FormTest, BaseLineCommitChangesMarkedSpectraAndFreesEveryWorkingCopy) {
    Fill(*form, 1, 3300, Ramp(4, 10));
    Fill(*form, 2, 3300, Ramp(4, 20));
    form->Ui.SpecCheck[2]->setChecked(false);
    form->CheckActivSpec();
    for (int s : {1, 2}) {
        form->Store.SavedX[s].Allocate();
        form->Store.SavedY[s].Allocate();
        for (int k = 1; k <= 4; ++k) {
            form->Store.SavedX[s][k] = form->Store.SpecX[s][k];
            form->Store.SavedY[s][k] = -1.0f * float(k);
        }
        form->Work.PreviewFrom[s] = form->Store.SpecId[s]; // both were previewed
    }
    form->Work.BaseLineMode = true;
    form->Ui.Frame14->Label3->show();
    form->refresh(1);
    EXPECT_FLOAT_EQ(form->Store.SpecY[1][3], -3.0f);
    EXPECT_FLOAT_EQ(form->Store.SpecY[2][3], 22.0f);
    for (int s : {1, 2}) {
        EXPECT_FALSE(form->Store.SavedX[s].Allocated()) << s;
        EXPECT_FALSE(form->Store.SavedY[s].Allocated()) << s;
    }
    EXPECT_FALSE(form->Work.BaseLineMode);
    EXPECT_FALSE(form->Ui.Frame14->Label3->isVisibleTo(form->Ui.Frame14));
}

TEST_F(FormTest, RestrictionCutsToThePickedFieldsInclusive) {
    Fill(*form, 1, 3300, Ramp(10, 0));     // X 3300..3309
    Fill(*form, 2, 3302.5, Ramp(10, 100)); // X 3302.5..3311.5
    Fill(*form, 3, 3304, Ramp(3, 50));     // X 3304..3306, exactly on lo and hi
    form->Ui.SpecCheck[2]->setChecked(false);
    form->Ui.SpecCheck[2]->setChecked(true);
    form->CheckActivSpec();
    form->Frame12Label3Click();  // the restriction starts on the marked spectra
    form->Pick.PickIndex[1] = 5; // 3304
    form->Pick.PickIndex[2] = 7; // 3306
    form->refresh(1);
    EXPECT_FALSE(form->Work.RestrictPending);
    ASSERT_EQ(form->Store.Params[1].NumPoints, 3);
    EXPECT_FLOAT_EQ(form->Store.SpecX[1][1], 3304);
    EXPECT_FLOAT_EQ(form->Store.SpecY[1][3], 6);
    ASSERT_EQ(form->Store.Params[2].NumPoints, 2); // 3304.5, 3305.5
    EXPECT_FLOAT_EQ(form->Store.SpecX[2][1], 3304.5f);
    EXPECT_FLOAT_EQ(form->Store.SpecY[2][2], 103);
    EXPECT_EQ(form->Store.Params[3].NumPoints, 3);
    EXPECT_FLOAT_EQ(form->Store.SpecX[3][3], 3306);
}

TEST_F(FormTest, RestrictionTakesReversedPicksAndRefusesBadRanges) {
    Fill(*form, 1, 3300, Ramp(10));
    Fill(*form, 2, 3300, Ramp(10));
    form->CheckActivSpec();
    form->Frame12Label3Click(); // the restriction starts on the marked spectra
    form->Pick.PickIndex[1] = 8;
    form->Pick.PickIndex[2] = 3;
    form->refresh(1);
    EXPECT_EQ(form->Store.Params[1].NumPoints, 6);
    EXPECT_FLOAT_EQ(form->Store.SpecX[1][1], 3302);
    EXPECT_EQ(form->Store.Params[2].NumPoints, 6);

    // Past the end of the spectrum: nothing is cut.
    form->Frame12Label3Click(); // the restriction starts on the marked spectra
    form->Pick.PickIndex[1] = 2;
    form->Pick.PickIndex[2] = 7;
    form->refresh(1);
    EXPECT_EQ(form->Store.Params[1].NumPoints, 6);
    EXPECT_TRUE(form->ModeLine().contains(QStringLiteral("   Restriction refused")));

    // A range that leaves another marked spectrum with one point is refused.
    Fill(*form, 3, 3305.5, Ramp(4)); // 3305.5 .. 3308.5
    form->CheckActivSpec();
    form->Frame12Label3Click();  // the restriction starts on the marked spectra
    form->Pick.PickIndex[1] = 1; // 3302
    form->Pick.PickIndex[2] = 5; // 3306
    form->refresh(1);
    EXPECT_EQ(form->Store.Params[1].NumPoints, 6);
    EXPECT_EQ(form->Store.Params[3].NumPoints, 4);
    EXPECT_TRUE(form->ModeLine().endsWith(
        QStringLiteral("   Restriction refused: fewer than 2 points would remain in s3 ")));
}

TEST_F(FormTest, DeletionCompactsTheKeptSpectraInOrder) {
    for (int s = 1; s <= 5; ++s) Fill(*form, s, 3300 + 10 * s, Ramp(3 + s, float(s)));
    form->Store.Params[3].Gain = 33;
    form->Store.BaseSpec = 5;
    form->DrawBox(5);
    // What the deletion of slots 2 and 4 leaves for the refresh.
    for (int s : {2, 4}) {
        form->Store.Marked[s] = false;
        form->SetBoxChecked(s, false);
        form->Ui.SpecCheck[s]->hide();
    }
    for (int s : {1, 3, 5}) form->Store.Marked[s] = true;
    form->Work.KeepCount = 3;
    form->Work.CompactPending = true;
    form->refresh(0);

    EXPECT_EQ(form->Store.NumSpec, 3);
    EXPECT_FALSE(form->Work.CompactPending);
    EXPECT_EQ(Captions(), (QStringList{"s1", "s3", "s5   B"}));
    EXPECT_EQ(form->Store.BaseSpec, 3);
    EXPECT_EQ(form->Ui.SpecCheck[3]->width(), 120);
    EXPECT_EQ(form->Store.Params[2].NumPoints, 6);
    EXPECT_DOUBLE_EQ(form->Store.Params[2].Gain, 33);
    EXPECT_FLOAT_EQ(form->Store.SpecX[2][1], 3330);
    EXPECT_FLOAT_EQ(form->Store.SpecY[3][8], 12);
    EXPECT_EQ(form->Store.FileSpectrumName[3], QStringLiteral("s5.esr"));
    for (int s = 1; s <= 3; ++s) {
        EXPECT_TRUE(form->Ui.SpecCheck[s]->isChecked()) << s;
        EXPECT_TRUE(form->Ui.Chart1->Active(form->View.SpecSeries[s])) << s;
        EXPECT_EQ(form->Ui.Chart1->SeriesColour(form->View.SpecSeries[s]), form->View.SpecColor[s]);
    }
    EXPECT_EQ(form->Ui.Chart1->PointCount(form->View.SpecSeries[2]), 6);
    for (int s : {4, 5}) {
        EXPECT_FALSE(form->Store.SpecX[s].Allocated()) << s;
        EXPECT_FALSE(form->Ui.SpecCheck[s]->isVisibleTo(form.get())) << s;
        EXPECT_FALSE(form->Ui.Chart1->Active(form->View.SpecSeries[s])) << s;
    }
}

TEST_F(FormTest, PartialRefreshKeepsTheViewAndFullRefreshResetsIt) {
    Fill(*form, 1, 3300, Ramp(5));
    form->refresh(0);
    form->Ui.Frame11->hide();
    form->Ui.Frame14->show();
    form->View.XScale = 2;
    form->View.YShift = 7;
    form->Pick.TaskCode = TaskBaseLine;
    form->Mode.SelectMode = false;
    form->refresh(1);
    EXPECT_DOUBLE_EQ(form->View.XScale, 2);
    EXPECT_DOUBLE_EQ(form->View.YShift, 7);
    EXPECT_EQ(form->Pick.TaskCode, 0);
    EXPECT_TRUE(form->Ui.Frame14->isVisibleTo(form.get()));
    EXPECT_FALSE(form->Mode.SelectMode);
    form->Mode.AddMode = true;
    form->refresh(0);
    EXPECT_DOUBLE_EQ(form->View.XScale, 1);
    EXPECT_DOUBLE_EQ(form->View.YShift, 0);
    EXPECT_DOUBLE_EQ(form->View.MoveUnitX, form->View.XHalfRange / 50000);
    EXPECT_TRUE(form->Ui.Frame11->isVisibleTo(form.get()));
    EXPECT_FALSE(form->Ui.Frame14->isVisibleTo(form.get()));
    EXPECT_TRUE(form->Mode.SelectMode);
    EXPECT_FALSE(form->Mode.AddMode);
}

TEST_F(FormTest, F4RemovesTheBaseMarkAndReturnsToTheMainMode) {
    Fill(*form, 1, 3300, Ramp(5));
    Fill(*form, 2, 3300, Ramp(5));
    form->Store.BaseSpec = 2;
    form->DrawBox(2);
    form->SetModeLine(QStringLiteral("busy"));
    form->Pick.CursorStep = 40;
    form->Ui.Memo1->show();
    Key(Qt::Key_F4);
    EXPECT_EQ(form->Store.BaseSpec, 0);
    EXPECT_EQ(form->Ui.SpecCheck[2]->text(), QStringLiteral("s2"));
    EXPECT_EQ(form->Ui.SpecCheck[2]->width(), 80);
    EXPECT_EQ(form->Pick.CursorStep, 10);
    EXPECT_TRUE(form->Ui.Memo1->isHidden());
    EXPECT_TRUE(form->ModeLine().startsWith(QStringLiteral("   SELECT MODE         Hot keys")));
}

TEST_F(FormTest, PanelsAreLaidOutFromTheSizePanel) {
    form->Ui.Frame13->setGeometry(0, 500, 900, 150);
    SetFontHeight(form->Ui.Frame13->Label1, 21);
    form->Ui.Frame13->Label1->move(8, 6);
    form->refresh1Click();
    const int t = 6, s = 150 / 5;
    for (TFrame1* panel : {form->Ui.Frame11, form->Ui.Frame12, form->Ui.Frame14, form->Ui.Frame15,
                           form->Ui.Frame16}) {
        EXPECT_EQ(panel->geometry(), QRect(0, 500, 900, 150)) << panel->objectName().toStdString();
        EXPECT_EQ(panel->Label1->y(), t);
        EXPECT_EQ(panel->Label4->y(), t + 3 * s);
        EXPECT_EQ(FontHeight(panel->Label1), 21);
        // The move-and-scale captions shown whole take a smaller font in
        // the 815 pixels the window shows of the panel.
        if (panel == form->Ui.Frame12) {
            EXPECT_LT(panel->Label1->font().pixelSize(),
                      form->Ui.Frame13->Label1->font().pixelSize());
        } else {
            EXPECT_EQ(panel->Label1->font(), form->Ui.Frame13->Label1->font());
        }
    }
    EXPECT_EQ(form->Ui.Frame12->Label11->y(), t + s);
    EXPECT_EQ(form->Ui.Frame12->Label10->y(), t + 3 * s);
    EXPECT_EQ(form->Ui.Frame14->Label5->y(), t);
    EXPECT_EQ(FontHeight(form->Ui.Frame11->Label10), 21);
    EXPECT_NE(FontHeight(form->Ui.Frame11->Label11), 21);
    EXPECT_EQ(FontHeight(form->Ui.Frame13->Label2), 21);
    EXPECT_EQ(FontHeight(form->Ui.Label3), 21);
    for (TLabel* l : {form->Ui.Frame14->Label2, form->Ui.Frame14->Label3, form->Ui.Frame14->Label4})
        EXPECT_FALSE(l->isVisibleTo(form->Ui.Frame14));
}

TEST_F(FormTest, TreatmentNotesNameTheSpectrumFile) {
    Fill(*form, 1, 3300, Ramp(5), QStringLiteral("dir/s1"));
    form->Store.FileSpectrumName[1] = QStringLiteral("/data/run 7/s1.esr");
    form->SampCondW(125, 1, "");
    form->SampCondW(125, 1, "");
    form->SampCondW(127, 1, "");
    EXPECT_EQ(form->Store.Params[1].Line2, "s1, Norm on Int, Centr-3300G, ");
}
