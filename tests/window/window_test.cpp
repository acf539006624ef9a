// The main window as it starts, its menu and the keys of the main mode.
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTest>
#include <QTreeWidget>

#include <qcustomplot.h>

#include "TChart.h"
#include "TLabel.h"
#include "Unit1.h"
#include "harness.h"

namespace {

const QString SelectModeLine = QStringLiteral(
    "   SELECT MODE         Hot keys are available; mark spec. - Click; visual-n of spec. - "
    "Dbl.Click.");

QStringList VisibleCaptions(const TFrame1* frame) {
    QStringList result;
    for (int n = 1; n <= TFrame1::LabelCount; ++n)
        if (frame->Label(n)->isVisibleTo(frame) && !frame->Label(n)->text().isEmpty())
            result << frame->Label(n)->text();
    return result;
}

} // namespace

TEST_F(FormTest, StartsEmptyInTheMainMode) {
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Kivo"));
    EXPECT_EQ(form->Ui.Client->size(), QSize(815, 698));
    EXPECT_EQ(form->Ui.Chart1->geometry(), QRect(0, 0, 801, 445));
    EXPECT_EQ(form->ModeLine(), SelectModeLine);
    EXPECT_TRUE(form->Mode.SelectMode);
    EXPECT_EQ(form->Store.NumSpec, 0);
    EXPECT_EQ(form->Store.ActiveSpec, 0);
    EXPECT_TRUE(form->Store.NoneMarked);
    EXPECT_FALSE(form->Mode.SpectraLoaded);
    EXPECT_EQ(form->Options.NumAver, 10);
    EXPECT_DOUBLE_EQ(form->Options.KoeCu, 1.725e19);
    EXPECT_EQ(form->Options.ShiftLineHint,
              QStringLiteral("     Click mouse in appropriate position to shift the line"));
    for (int i = 1; i <= kivo::MaxSpec; ++i) {
        EXPECT_FALSE(form->Ui.SpecCheck[i]->isVisibleTo(form.get())) << i;
        EXPECT_EQ(form->Ui.SpecCheck[i]->objectName(), QStringLiteral("CheckBox%1").arg(i));
    }
    EXPECT_FALSE(form->Ui.Label13->isVisibleTo(form.get()));
    EXPECT_TRUE(form->Ui.Frame11->isVisibleTo(form.get()));
    for (TFrame1* f :
         {form->Ui.Frame12, form->Ui.Frame13, form->Ui.Frame14, form->Ui.Frame15, form->Ui.Frame16})
        EXPECT_FALSE(f->isVisibleTo(form.get())) << f->objectName().toStdString();
    for (QWidget* w : std::initializer_list<QWidget*>{
             form->Ui.Memo1, form->Ui.Memo2, form->Ui.Memo3, form->Ui.Memo4, form->Ui.TreeView1})
        EXPECT_FALSE(w->isVisibleTo(form.get())) << w->objectName().toStdString();
    EXPECT_EQ(QApplication::focusWidget(), form->Ui.Frame11->Edit1);
}

TEST_F(FormTest, SlotColoursAndSeriesFollowTheTable) {
    EXPECT_EQ(form->View.SpecColor[1], QColor(0, 255, 0));
    EXPECT_EQ(form->View.SpecColor[2], QColor(255, 0, 0));
    EXPECT_EQ(form->View.SpecColor[9], QColor(128, 128, 128));
    EXPECT_EQ(form->View.SpecColor[14], QColor(255, 255, 255));
    EXPECT_EQ(form->View.SpecColor[15], QColor(166, 202, 240));
    EXPECT_EQ(form->View.SpecColor[20], QColor(96, 96, 48));
    // Two point series, twenty slot lines, six auxiliary lines, in that order.
    ASSERT_EQ(form->Ui.Chart1->SeriesCount(), 28);
    for (int i = 1; i <= kivo::MaxSpec; ++i) {
        EXPECT_EQ(form->View.SpecSeries[i], i + 1);
        EXPECT_EQ(form->Ui.Chart1->SeriesColour(i + 1), form->View.SpecColor[i]);
        EXPECT_EQ(form->Ui.SpecCheck[i]->palette().color(QPalette::Window),
                  form->View.SpecColor[i]);
    }
    for (int j = 1; j <= 6; ++j) {
        EXPECT_EQ(form->View.AuxSeries[j], j + 21);
        EXPECT_EQ(form->Ui.Chart1->SeriesColour(j + 21), QColor(Qt::white));
    }
    EXPECT_EQ(form->Ui.Chart1->SeriesColour(0), QColor(255, 0, 255));
    EXPECT_FALSE(form->Ui.Chart1->AxesVisible());
}

TEST_F(FormTest, LowerPanelsCarryTheirCaptions) {
    EXPECT_EQ(VisibleCaptions(form->Ui.Frame11),
              (QStringList{"1 - reserved", "2 - reserved", "3 - Base Line",
                           "4 - Double Integration", "5 - Comparison of spectra", "6 - Move,Scale",
                           "7 - reserved", "8 - Treatment"}));
    EXPECT_EQ(form->Ui.Frame12->Label2->text(),
              QStringLiteral("'Move (Left,Right,Up or Down);  Step - \"+\" and \"-\""));
    EXPECT_EQ(form->Ui.Frame12->Label10->text(), QStringLiteral("Save as  in plot - alt W"));
    EXPECT_EQ(form->Ui.Frame12->Label12->text(), QStringLiteral("back order - Alt Q"));
    EXPECT_EQ(VisibleCaptions(form->Ui.Frame13), QStringList{"PgUp, PgDown, CntrPgUp, CntrPgDown"});
    EXPECT_TRUE(form->Ui.Frame13->Label2->isVisibleTo(form->Ui.Frame13));
    EXPECT_FALSE(form->Ui.Frame13->Label3->isVisibleTo(form->Ui.Frame13));
    EXPECT_EQ(form->Ui.Frame14->Label5->text(), QStringLiteral("To Finish - press Y"));
    EXPECT_EQ(form->Ui.Frame15->Label3->text(),
              QStringLiteral("Manual region of centrum  - Alt C"));
    EXPECT_EQ(form->Ui.Frame16->Label6->text(), QStringLiteral("Smoothing   - Alt G"));
    // The first layout's free label names the line fit.
    EXPECT_EQ(form->Ui.Frame16->Label7->text(), QStringLiteral("Fit lines - Alt V"));
    EXPECT_TRUE(form->Ui.Frame16->Label7->isVisibleTo(form->Ui.Frame16));
    EXPECT_EQ(form->Ui.Frame16->Label11->text(), QStringLiteral("Del. Pnts - Alt P"));
    for (TFrame1* f : {form->Ui.Frame11, form->Ui.Frame12, form->Ui.Frame13, form->Ui.Frame14,
                       form->Ui.Frame15, form->Ui.Frame16}) {
        EXPECT_EQ(f->Edit1->width(), 1);
        EXPECT_FALSE(f->Edit1->hasFrame());
    }
}

TEST_F(FormTest, MenuBarHoldsEveryItem) {
    QStringList menus;
    QStringList items;
    for (QAction* top : form->menuBar()->actions()) {
        menus << top->text();
        if (QMenu* m = top->menu())
            for (QAction* a : m->actions())
                items << a->text() + QLatin1Char('=') + a->shortcut().toString();
    }
    EXPECT_EQ(menus, (QStringList{"&File        ", "Edit", "View", "&Options", "&Help", "Commands",
                                  "About", "E&xit AltX"}));
    for (const char* item : {"Undo=Ctrl+Z",
                             "Redo=Ctrl+Y",
                             "Read =F3",
                             "Save=F2",
                             "Delete=F8",
                             "Refresh=F4",
                             "E&xit   AltX=",
                             "Grid=",
                             "Parameters=F5",
                             "Big points=",
                             "Window Size=",
                             "Graf Size=",
                             "Low menu=",
                             "Write options=",
                             "Read options=",
                             "Default size=",
                             "English=",
                             "Russian=",
                             "Programm for treatment of ESR spectra=",
                             "ver. 1.3="})
        EXPECT_TRUE(items.contains(QLatin1String(item))) << item;
    // The six lines of the program and its maker, then where its help and
    // examples were found.
    QMenu* about = form->menuBar()->actions().at(6)->menu();
    ASSERT_EQ(about->actions().size(), 9);
    EXPECT_TRUE(about->actions().at(6)->isSeparator());
    EXPECT_TRUE(about->actions().at(7)->text().startsWith(QLatin1String("Help files: ")));
    EXPECT_TRUE(about->actions().at(8)->text().startsWith(QLatin1String("Examples: ")));
}

TEST_F(FormTest, FunctionKeyLabelsAndDialogFilters) {
    QStringList labels;
    for (TLabel* l : {form->Ui.Label5, form->Ui.Label6, form->Ui.Label7, form->Ui.Label8,
                      form->Ui.Label9, form->Ui.Label4, form->Ui.Label10, form->Ui.Label11})
        labels << l->text();
    EXPECT_EQ(labels, (QStringList{"F1-Help", "F2-Write", "F3-Read", "F4-Refresh", "F5-Parameters",
                                   "F8-Delete", "AltX-Exit", "Grid - Alt G"}));
    EXPECT_EQ(
        form->Ui.OpenDialog1.Filter,
        QStringLiteral("All spectra|*.esr *.txt *.dat *.asc *.DSC *.par|esr|*.esr|dat|*.dat|txt|"
                       "*.txt|asc|*.asc|Spectrometer files|*.DSC *.par"));
    EXPECT_EQ(TFileDialog::NameFilters(form->Ui.OpenDialog1.Filter).last(),
              QStringLiteral("Spectrometer files (*.DSC *.par *.dsc *.PAR)"));
    EXPECT_EQ(form->Ui.SaveDialog1.Filter, QStringLiteral("esr|*.esr"));
    EXPECT_EQ(form->Ui.OpenDialog2.Filter, QStringLiteral("opt|*.opt"));
    EXPECT_EQ(form->Ui.SaveDialog2.Filter, QStringLiteral("opt|*.opt"));
    EXPECT_EQ(TFileDialog::NameFilters(form->Ui.SaveDialog1.Filter),
              QStringList{QStringLiteral("esr (*.esr *.ESR)")});
    EXPECT_EQ(form->Ui.OpenDialog1.InitialDir, form->Options.DefaultDir);
}

TEST_F(FormTest, F3AndTheReadLabelOpenTheReadDialog) {
    Answer(std::nullopt);
    Key(Qt::Key_F3);
    ASSERT_EQ(Asked().size(), 1u);
    EXPECT_EQ(Asked()[0].Dialog, QStringLiteral("OpenDialog1"));
    EXPECT_TRUE(Asked()[0].AllowMultiSelect);
    EXPECT_EQ(Asked()[0].DefaultExt, QStringLiteral("esr"));
    EXPECT_EQ(form->ModeLine(), QStringLiteral("    FileSpectrum  is not found "));

    Answer(std::nullopt);
    QTest::mouseClick(form->Ui.Label7, Qt::LeftButton);
    EXPECT_EQ(Asked().size(), 2u);
}

TEST_F(FormTest, DigitsStartModesOnlyInTheMainModeWithoutMemoEditing) {
    // "5" runs the comparison read, whose dialog shows that the key was taken.
    Answer(std::nullopt);
    Key(Qt::Key_5);
    EXPECT_EQ(Asked().size(), 1u);

    form->Mode.MemoEditing = true;
    Key(Qt::Key_5);
    EXPECT_EQ(Asked().size(), 1u);

    form->Mode.MemoEditing = false;
    form->Mode.SelectMode = false;
    Key(Qt::Key_5);
    EXPECT_EQ(Asked().size(), 1u);
    EXPECT_EQ(PendingAnswers(), 0);
}

TEST_F(FormTest, EscInTheMainModeHidesHelpAndReturnsToTheMainPanel) {
    form->Ui.Memo4->show();
    form->Ui.TreeView1->show();
    form->Ui.Frame11->hide();
    form->Ui.Frame16->show();
    form->SetModeLine(QStringLiteral("  something else"));
    form->Ui.Frame11->Edit1->setFocus();
    Key(Qt::Key_Escape);
    EXPECT_FALSE(form->Ui.Memo4->isVisibleTo(form.get()));
    EXPECT_FALSE(form->Ui.TreeView1->isVisibleTo(form.get()));
    EXPECT_FALSE(form->Ui.Frame16->isVisibleTo(form.get()));
    EXPECT_TRUE(form->Ui.Frame11->isVisibleTo(form.get()));
    EXPECT_EQ(form->ModeLine(), SelectModeLine);
}

TEST_F(FormTest, AltXClosesTheWindow) {
    ASSERT_TRUE(form->isVisible());
    Key(Qt::Key_X, Qt::AltModifier);
    EXPECT_FALSE(form->isVisible());
}

TEST_F(FormTest, AltXClosesTheWindowFromAModePanelToo) {
    // A mode panel keeps the other Alt letters for itself.
    form->Ui.Frame11->hide();
    form->Ui.Frame14->show();
    form->FocusCurrentFrame();
    ASSERT_EQ(QApplication::focusWidget(), form->Ui.Frame14->Edit1);
    Key(Qt::Key_F, Qt::AltModifier);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    EXPECT_TRUE(form->isVisible());
    Key(Qt::Key_X, Qt::AltModifier);
    EXPECT_FALSE(form->isVisible());
}

TEST_F(FormTest, ChartRangesTakeEitherOrderAndAMinimumWidth) {
    form->Ui.Chart1->SetRange(ChartAxis::Bottom, 3400, 3300);
    EXPECT_DOUBLE_EQ(form->Ui.Chart1->Minimum(ChartAxis::Bottom), 3300);
    EXPECT_DOUBLE_EQ(form->Ui.Chart1->Maximum(ChartAxis::Bottom), 3400);
    form->Ui.Chart1->SetRange(ChartAxis::Left, 0, 0);
    const double width =
        form->Ui.Chart1->Maximum(ChartAxis::Left) - form->Ui.Chart1->Minimum(ChartAxis::Left);
    EXPECT_NEAR(width, 1e-10, 1e-16);
    EXPECT_NEAR(form->Ui.Chart1->Minimum(ChartAxis::Left), -0.5e-10, 1e-16);
}

TEST_F(FormTest, ChartSeriesKeepRisingXAndColourSinglePoints) {
    const int s = form->View.AuxSeries[1];
    form->Ui.Chart1->Clear(s);
    EXPECT_EQ(form->Ui.Chart1->AddPoint(s, 2, 20), 0);
    EXPECT_EQ(form->Ui.Chart1->AddPoint(s, 4, 40), 1);
    EXPECT_EQ(form->Ui.Chart1->AddPoint(s, 3, 30), 1); // out of order: goes to its place
    ASSERT_EQ(form->Ui.Chart1->PointCount(s), 3);
    EXPECT_DOUBLE_EQ(form->Ui.Chart1->PointX(s, 1), 3);
    EXPECT_DOUBLE_EQ(form->Ui.Chart1->PointY(s, 2), 40);

    const QColor purple(128, 0, 128);
    form->Ui.Chart1->ColourPoint(s, 2, purple);
    EXPECT_EQ(form->Ui.Chart1->PointColour(s, 2), purple);
    EXPECT_EQ(form->Ui.Chart1->PointColour(s, 1), QColor(Qt::white));
    form->Ui.Chart1->ColourPoint(s, 2, Qt::white);
    EXPECT_EQ(form->Ui.Chart1->PointColour(s, 2), QColor(Qt::white));

    // Whole runs of points, interleaved and one of them falling, merge in order.
    const float x1[] = {1, 5, 9}, y1[] = {10, 50, 90};
    const float x2[] = {8, 6, 0}, y2[] = {80, 60, 0};
    form->Ui.Chart1->Clear(s);
    form->Ui.Chart1->AddPoints(s, x1, y1, 3, 0, 1, 0, 1);
    form->Ui.Chart1->AddPoints(s, x2, y2, 3, 100, 2, 1, 1); // x' = 100 + 2x, y' = 1 + y
    form->Ui.Chart1->AddPoints(s, x1, y1, 1, 0, 1, 0, 1);
    ASSERT_EQ(form->Ui.Chart1->PointCount(s), 7);
    const double keys[] = {1, 1, 5, 9, 100, 112, 116};
    for (int k = 0; k < 7; ++k) EXPECT_DOUBLE_EQ(form->Ui.Chart1->PointX(s, k), keys[k]) << k;
    EXPECT_DOUBLE_EQ(form->Ui.Chart1->PointY(s, 5), 61);
    EXPECT_EQ(form->Ui.Chart1->AddPoint(s, 7, 70), 3);

    form->Ui.Chart1->SetActive(s, true);
    EXPECT_TRUE(form->Ui.Chart1->Active(s));
    form->Ui.Chart1->Clear(s);
    EXPECT_EQ(form->Ui.Chart1->PointCount(s), 0);
}

TEST_F(FormTest, ChartMousePressReachesTheHandlerInChartPixels) {
    int calls = 0;
    QPoint at;
    form->Ui.Chart1->OnMouseDown = [&](Qt::MouseButton, int x, int y) {
        ++calls;
        at = QPoint(x, y);
    };
    QTest::mousePress(form->Ui.Chart1->Surface(), Qt::LeftButton, Qt::NoModifier, QPoint(120, 80));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(at, QPoint(120, 80));
    const PlotRect r = form->Ui.Chart1->PlotRectangle();
    EXPECT_GT(r.Width, 700);
    EXPECT_GT(r.Bottom, r.Top);
}

// The View items that switch something tick when it is on, however it was
// switched.
TEST_F(FormTest, ViewItemsShowWhetherTheyAreOn) {
    QMenu* view = nullptr;
    for (QAction* top : form->menuBar()->actions())
        if (top->text() == QStringLiteral("View")) view = top->menu();
    ASSERT_NE(view, nullptr);
    auto ticks = [&] {
        emit view->aboutToShow();
        QStringList on;
        for (QAction* a : view->actions())
            if (a->isChecked()) on << a->text();
        return on;
    };
    EXPECT_EQ(ticks(), QStringList{});
    Menu(QStringLiteral("View"), QStringLiteral("Grid"));
    Menu(QStringLiteral("View"), QStringLiteral("g scale"));
    EXPECT_EQ(ticks(), (QStringList{"Grid", "g scale"}));
    Key(Qt::Key_6);
    Key(Qt::Key_G, Qt::AltModifier); // the grid off by its key
    Menu(QStringLiteral("View"), QStringLiteral("Big points"));
    EXPECT_EQ(ticks(), (QStringList{"Big points", "g scale"}));
}
