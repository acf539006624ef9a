// Marking, showing and deleting spectra with the mouse and F8, and the mouse
// on the chart.
#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>

#include "TChart.h"
#include "TLabel.h"
#include "Unit1.h"
#include "harness.h"

namespace {

class SelectionTest : public FormTest {
protected:
    // n spectra s1..sn of 11 points each at x = 3300 + 10 * i + k, read with F3.
    void Load(int n) {
        QStringList names;
        for (int i = 1; i <= n; ++i) {
            names << QStringLiteral("s%1.esr").arg(i);
            WriteSpectrum(names.back(), 11, 3300 + 10 * i);
        }
        ReadFiles(names);
        ASSERT_EQ(form->Store.NumSpec, n);
    }
    void ClickBox(int slot, qint64 at) {
        now = at;
        // On the tick itself: a box takes clicks on its tick and caption only.
        QCheckBox* box = form->Ui.SpecCheck[slot];
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
        Settle();
    }
    bool Shown(int slot) const { return form->Ui.Chart1->Active(form->View.SpecSeries[slot]); }
    bool Checked(int slot) const { return form->Ui.SpecCheck[slot]->isChecked(); }
};

} // namespace

TEST_F(SelectionTest, ClicksLessThan300msApartShowOrHideAndKeepTheMark) {
    Load(2);
    ClickBox(2, 10'000);
    EXPECT_FALSE(Checked(2));
    EXPECT_EQ(form->Store.NumMarked, 1);
    ClickBox(2, 10'299); // second click of a double click
    EXPECT_TRUE(Checked(2));
    EXPECT_FALSE(Shown(2));
    EXPECT_EQ(form->Store.NumMarked, 1); // the double click's second click does no bookkeeping
    ClickBox(2, 20'000);
    ClickBox(2, 20'299);
    EXPECT_TRUE(Shown(2));
    EXPECT_TRUE(Checked(2));

    ClickBox(1, 30'000);
    ClickBox(1, 30'300); // 300 ms is two clicks
    EXPECT_TRUE(Checked(1));
    EXPECT_TRUE(Shown(1));
    EXPECT_EQ(form->Store.NumMarked, 2);
    EXPECT_EQ(form->Store.ActiveSpec, 1);
}

TEST_F(SelectionTest, ActiveSpectrumFollowsTheMarksAndKeysStillWork) {
    Load(3);
    ClickBox(1, 10'000);
    EXPECT_EQ(form->Store.ActiveSpec, 2);
    EXPECT_EQ(form->Ui.Memo2->toPlainText().split('\n').first(), QStringLiteral("  11 pnt"));
    EXPECT_EQ(QApplication::focusWidget(), form->Ui.Frame11->Edit1);
    Answer(std::nullopt);
    Key(Qt::Key_5); // the main mode's keys reach their commands after a click
    EXPECT_EQ(Asked().size(), 2u);
}

TEST_F(SelectionTest, AllSpectraMarksAllThenNone) {
    Load(5);
    ClickBox(2, 10'000);
    ClickBox(4, 20'000);
    ASSERT_EQ(form->Store.NumMarked, 3);
    QTest::mouseClick(form->Ui.Label13, Qt::LeftButton);
    for (int i = 1; i <= 5; ++i) EXPECT_TRUE(Checked(i)) << i;
    EXPECT_EQ(form->Store.NumMarked, 5);
    QTest::mouseClick(form->Ui.Label13, Qt::LeftButton);
    for (int i = 1; i <= 5; ++i) EXPECT_FALSE(Checked(i)) << i;
    EXPECT_TRUE(form->Store.NoneMarked);
    EXPECT_EQ(form->Store.ActiveSpec, 0);
    for (int i = 1; i <= 5; ++i) EXPECT_TRUE(Shown(i)) << i; // marks only
}

TEST_F(SelectionTest, AllSpectraDoubleClickHidesAllOrShowsAll) {
    Load(3);
    DoubleClick(form->Ui.Label13);
    for (int i = 1; i <= 3; ++i) {
        EXPECT_FALSE(Shown(i)) << i;
        EXPECT_TRUE(Checked(i)) << i; // marked before, marked after
    }
    form->Ui.Chart1->SetActive(form->View.SpecSeries[2], true);
    DoubleClick(form->Ui.Label13);
    for (int i = 1; i <= 3; ++i) {
        EXPECT_TRUE(Shown(i)) << i;
        EXPECT_TRUE(Checked(i)) << i;
    }
    // From a mixed state the marks end all cleared.
    ClickBox(2, 50'000);
    DoubleClick(form->Ui.Label13);
    for (int i = 1; i <= 3; ++i) EXPECT_FALSE(Checked(i)) << i;
}

TEST_F(SelectionTest, BaseChoiceMarksTheClickedBoxAndLeavesItsMark) {
    Load(4);
    ClickBox(4, 10'000);
    form->Mode.BaseChoicePending = true;
    form->SetModeLine(QStringLiteral("   Choose the base line spectrum  "));
    ClickBox(3, 20'000);
    EXPECT_EQ(form->Store.BaseSpec, 3);
    EXPECT_EQ(form->Ui.SpecCheck[3]->text(), QStringLiteral("s3   B"));
    EXPECT_EQ(form->Ui.SpecCheck[3]->width(), 120);
    EXPECT_TRUE(Checked(3));
    EXPECT_FALSE(Checked(4));
    EXPECT_FALSE(form->Mode.BaseChoicePending);
    EXPECT_TRUE(form->ModeLine().isEmpty());

    // Choosing another base takes the mark from the first.
    form->Mode.BaseChoicePending = true;
    ClickBox(4, 30'000);
    EXPECT_EQ(form->Store.BaseSpec, 4);
    EXPECT_EQ(form->Ui.SpecCheck[3]->text(), QStringLiteral("s3"));
    EXPECT_EQ(form->Ui.SpecCheck[3]->width(), 80);
    EXPECT_EQ(form->Ui.SpecCheck[4]->text(), QStringLiteral("s4   B"));
    EXPECT_FALSE(Checked(4));
    // The choice ended in an ordinary click: one soon after it is a double click.
    const int marked = form->Store.NumMarked;
    ClickBox(4, 30'100);
    EXPECT_TRUE(Checked(4));
    EXPECT_FALSE(Shown(4));
    EXPECT_EQ(form->Store.NumMarked, marked);
    ClickBox(4, 30'400);
    EXPECT_FALSE(Checked(4));
    EXPECT_EQ(form->Store.NumMarked, marked);
}

TEST_F(SelectionTest, F8DeletesTheMarkedAndClosesUp) {
    Load(5);
    form->Store.Params[3].Gain = 3333;
    for (int i : {1, 3, 5}) ClickBox(i, 10'000 * i);
    ASSERT_EQ(form->Store.NumMarked, 2); // slots 2 and 4
    Key(Qt::Key_F8);
    EXPECT_EQ(form->Store.NumSpec, 3);
    EXPECT_EQ(Captions(), (QStringList{"s1", "s3", "s5"}));
    EXPECT_DOUBLE_EQ(form->Store.Params[2].Gain, 3333);
    EXPECT_FLOAT_EQ(form->Store.SpecX[2][1], 3330);
    EXPECT_EQ(form->Store.FileSpectrumName[3], Path("s5.esr"));
    for (int i = 1; i <= 3; ++i) {
        EXPECT_TRUE(Checked(i)) << i;
        EXPECT_TRUE(Shown(i)) << i;
    }
    EXPECT_FALSE(form->Store.SpecX[4].Allocated());
    EXPECT_FALSE(form->Store.SpecX[5].Allocated());
    EXPECT_FALSE(form->Ui.SpecCheck[4]->isVisibleTo(form.get()));
    EXPECT_EQ(form->Store.NumMarked, 3);
}

TEST_F(SelectionTest, DeletingNothingOrEverything) {
    Load(3);
    QTest::mouseClick(form->Ui.Label13, Qt::LeftButton); // none marked
    ASSERT_TRUE(form->Store.NoneMarked);
    QTest::mouseClick(form->Ui.Label4, Qt::LeftButton); // "F8-Delete"
    EXPECT_EQ(form->Store.NumSpec, 3);
    for (int i = 1; i <= 3; ++i) EXPECT_TRUE(Checked(i)) << i;

    Key(Qt::Key_F8); // all are marked now
    EXPECT_EQ(form->Store.NumSpec, 0);
    EXPECT_FALSE(form->Mode.SpectraLoaded);
    EXPECT_TRUE(Captions().isEmpty());
    for (int i = 1; i <= 3; ++i) EXPECT_FALSE(form->Store.SpecX[i].Allocated()) << i;
    EXPECT_FALSE(form->Ui.Label13->isVisibleTo(form.get()));
}

TEST_F(SelectionTest, DeletingTheBaseSpectrumForgetsItsMark) {
    Load(3);
    form->Mode.BaseChoicePending = true;
    ClickBox(2, 10'000);
    ASSERT_EQ(form->Store.BaseSpec, 2);
    ClickBox(1, 20'000);
    ClickBox(3, 30'000); // only the base is marked
    Key(Qt::Key_F8);
    EXPECT_EQ(form->Store.BaseSpec, 0);
    EXPECT_EQ(Captions(), (QStringList{"s1", "s3"}));

    // A base that survives travels with its caption.
    form->Mode.BaseChoicePending = true;
    ClickBox(2, 40'000);
    ASSERT_EQ(form->Ui.SpecCheck[2]->text(), QStringLiteral("s3   B"));
    ClickBox(2, 50'000); // unmark s3, keep it
    Key(Qt::Key_F8);     // deletes s1
    EXPECT_EQ(form->Store.BaseSpec, 1);
    EXPECT_EQ(Captions(), QStringList{"s3   B"});
    EXPECT_EQ(form->Ui.SpecCheck[1]->width(), 120);
}

TEST_F(SelectionTest, ChartPressPlacesTheCursorOnThePoints) {
    Load(1);
    const PlotRect r = form->Ui.Chart1->PlotRectangle();
    const double xmin = form->Ui.Chart1->Minimum(ChartAxis::Bottom);
    const double xmax = form->Ui.Chart1->Maximum(ChartAxis::Bottom);
    auto pixelOf = [&](double field) {
        return int(std::lround(r.Left + (field - xmin) * r.Width / (xmax - xmin)));
    };
    // Fields 3310, 3310.5 .. 3315: the cursor goes to the last point whose
    // field does not pass the pressed one.
    form->Pick.PickNo = 1;
    form->Pick.PickIndex[1] = 1;
    form->Chart1MouseDown(Qt::LeftButton, pixelOf(3313.7), 100);
    EXPECT_EQ(form->Pick.PickIndex[1], 8);
    form->Chart1MouseDown(Qt::LeftButton, r.Left + r.Width + 50, 100);
    EXPECT_EQ(form->Pick.PickIndex[1], 11);
    form->Chart1MouseDown(Qt::LeftButton, r.Left - 50, 100);
    EXPECT_EQ(form->Pick.PickIndex[1], 1);
    form->Pick.PickIndex[1] = 9999; // never read past the points
    form->Chart1MouseDown(Qt::LeftButton, pixelOf(3312.2), 100);
    EXPECT_EQ(form->Pick.PickIndex[1], 5);

    form->Pick.PointCursor = false;
    form->Pick.PickNo = 2;
    const double ymax = form->Ui.Chart1->Maximum(ChartAxis::Left);
    const double ymin = form->Ui.Chart1->Minimum(ChartAxis::Left);
    form->Chart1MouseDown(Qt::LeftButton, 300, r.Top + (r.Bottom - r.Top) / 4);
    EXPECT_NEAR(form->Pick.PickLevel[2], ymax - (ymax - ymin) / 4,
                (ymax - ymin) / (r.Bottom - r.Top));

    ClickBox(1, 90'000); // nothing marked: the press is ignored
    form->Pick.PickLevel[2] = 42;
    form->Chart1MouseDown(Qt::LeftButton, 300, r.Top);
    EXPECT_DOUBLE_EQ(form->Pick.PickLevel[2], 42);
}

TEST_F(SelectionTest, TheLevelUnderThePressCountsEveryPixelRowOfThePlot) {
    Load(1);
    form->Pick.PointCursor = false;
    form->Pick.PickNo = 1;
    const PlotRect r = form->Ui.Chart1->PlotRectangle();
    const int rows = r.Bottom - r.Top + 1;
    const double ymax = form->Ui.Chart1->Maximum(ChartAxis::Left);
    const double span = ymax - form->Ui.Chart1->Minimum(ChartAxis::Left);
    form->Chart1MouseDown(Qt::LeftButton, 300, r.Top + rows); // the first row below the plot
    EXPECT_NEAR(form->Pick.PickLevel[1], ymax - span, span * 1e-12);
    form->Chart1MouseDown(Qt::LeftButton, 300, r.Top + 100);
    EXPECT_NEAR(form->Pick.PickLevel[1], ymax - span * 100 / rows, span * 1e-12);
}

TEST_F(SelectionTest, AClickAnywhereOnTheColouredBoxCounts) {
    Load(2);
    QCheckBox* box = form->Ui.SpecCheck[2];
    now = 10'000;
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(box->width() - 2, box->height() - 2));
    Settle();
    EXPECT_FALSE(Checked(2));
    EXPECT_EQ(form->Store.NumMarked, 1);

    // The base spectrum's box is 120 pixels wide, to its right end.
    form->Mode.BaseChoicePending = true;
    box = form->Ui.SpecCheck[1];
    now = 20'000;
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(77, box->height() / 2));
    Settle();
    ASSERT_EQ(form->Store.BaseSpec, 1);
    ASSERT_EQ(box->width(), 120);
    now = 30'000;
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(117, box->height() / 2));
    Settle();
    EXPECT_FALSE(Checked(1));
    EXPECT_TRUE(form->Store.NoneMarked);
    EXPECT_TRUE(Shown(1));
}

TEST_F(SelectionTest, ThePickedPointReadOutLiesAboveTheBaseBoxAndLetsItsClicksThrough) {
    Load(1);
    form->Mode.BaseChoicePending = true;
    ClickBox(1, 10'000);
    ASSERT_EQ(form->Ui.SpecCheck[1]->width(), 120);
    Key(Qt::Key_3);
    ASSERT_EQ(form->Ui.Label2->text(), QStringLiteral("10"));
    const QRect overlap = form->Ui.Label2->geometry() & form->Ui.SpecCheck[1]->geometry();
    ASSERT_FALSE(overlap.isEmpty());
    // The white digits show on the green box: the box's own caption is black.
    const QImage shot = form->Ui.Client->grab(overlap).toImage();
    int white = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x) {
            const QColor c = shot.pixelColor(x, y);
            if (c.red() > 200 && c.green() > 200 && c.blue() > 200) ++white;
        }
    EXPECT_GT(white, 10);
    EXPECT_EQ(form->Ui.Client->childAt(overlap.center()), form->Ui.SpecCheck[1]);
}
