// The window resized and maximised: the chart grows, the memos keep to its
// right side, the mode line, the lower panels and the bottom band keep their
// distance from the bottom.
#include <QFontMetrics>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>
#include <algorithm>
#include <functional>
#include <map>

#include "TChart.h"
#include "TLabel.h"
#include "Unit1.h"
#include "harness.h"

namespace {

class ResizeTest : public FormTest {
protected:
    std::vector<QWidget*> Controls() const {
        return {form->Ui.Chart1,  form->Ui.Label3,  form->Ui.Label1, form->Ui.Memo1,
                form->Ui.Memo2,   form->Ui.Memo3,   form->Ui.Label5, form->Ui.Label11,
                form->Ui.Frame11, form->Ui.Frame14, form->Ui.Label2, form->Ui.Label13};
    }
    std::vector<QRect> Geometries() const {
        std::vector<QRect> result;
        for (QWidget* w : Controls()) result.push_back(w->geometry());
        return result;
    }
    void GrowBy(int dw, int dh) {
        form->resize(form->width() + dw, form->height() + dh);
        Settle();
    }
};

} // namespace

TEST_F(ResizeTest, ControlsKeepToTheirEdgesAndComeBackOnRestore) {
    const std::vector<QRect> before = Geometries();
    GrowBy(400, 200);
    ASSERT_EQ(form->Ui.Client->size(), QSize(1215, 898));
    EXPECT_EQ(form->Ui.Chart1->geometry(), QRect(0, 0, 1201, 645));
    EXPECT_EQ(form->Ui.Label3->geometry(), QRect(0, 645, 1215, 152));
    EXPECT_EQ(form->Ui.Label1->geometry(), QRect(0, 878, 1215, 20));
    EXPECT_EQ(form->Ui.Memo1->geometry(), before[3].translated(400, 0));
    EXPECT_EQ(form->Ui.Memo2->geometry(), before[4].translated(400, 0));
    EXPECT_EQ(form->Ui.Memo3->geometry(), before[5].translated(400, 200));
    EXPECT_EQ(form->Ui.Label5->geometry(), before[6].translated(0, 200));
    EXPECT_EQ(form->Ui.Label11->geometry(), before[7].translated(0, 200));
    // Every panel, shown or not, all 1192 pixels of it now in view.
    for (TFrame1* f : {form->Ui.Frame11, form->Ui.Frame12, form->Ui.Frame13, form->Ui.Frame14,
                       form->Ui.Frame15, form->Ui.Frame16})
        EXPECT_EQ(f->geometry(), QRect(0, 748, 1192, 130)) << f->objectName().toStdString();
    EXPECT_EQ(form->Ui.Label2->geometry(), before[10]);
    EXPECT_EQ(form->Ui.Label13->geometry(), before[11]);
    // A full refresh lays the panels out from the size panel where they are.
    Key(Qt::Key_F4);
    EXPECT_EQ(form->Ui.Frame11->geometry(), QRect(0, 748, 1192, 130));

    GrowBy(-400, -200);
    EXPECT_EQ(form->Ui.Client->size(), QSize(815, 698));
    EXPECT_EQ(Geometries(), before);
}

TEST_F(ResizeTest, MemosFollowTheChartWhenItAloneChangesSize) {
    const QRect memo1 = form->Ui.Memo1->geometry();
    const QRect memo3 = form->Ui.Memo3->geometry();
    form->Ui.Chart1->resize(701, 345);
    EXPECT_EQ(form->Ui.Memo1->geometry(), memo1.translated(-100, 0));
    EXPECT_EQ(form->Ui.Memo3->geometry(), memo3.translated(-100, -100));
    // The chart's new margins hold as the window grows.
    GrowBy(50, 40);
    EXPECT_EQ(form->Ui.Chart1->geometry(), QRect(0, 0, 751, 385));
    EXPECT_EQ(form->Ui.Memo3->geometry(), memo3.translated(-50, -60));
}

TEST_F(ResizeTest, WhatIsPlacedWhileTheWindowIsHiddenHoldsInItsNewSize) {
    // As a command sizes the window and then places a panel in it.
    form->hide();
    form->resize(form->width() + 100, form->height() + 100);
    form->Ui.Frame13->move(0, 600);
    form->show();
    Settle();
    ASSERT_EQ(form->Ui.Client->size(), QSize(915, 798));
    EXPECT_EQ(form->Ui.Frame13->y(), 600);
    EXPECT_EQ(form->Ui.Frame11->y(), 648);
    EXPECT_EQ(form->Ui.Chart1->size(), QSize(901, 545));
}

TEST_F(ResizeTest, TheWindowCanBeMaximisedAndRestored) {
    EXPECT_NE(form->minimumSize(), form->maximumSize());
    EXPECT_TRUE(form->windowFlags() & Qt::WindowMaximizeButtonHint);
    const QSize normal = form->Ui.Client->size();
    form->showMaximized();
    Settle();
    ASSERT_TRUE(form->windowState() & Qt::WindowMaximized);
    const QRect client = form->Ui.Client->rect();
    EXPECT_NE(client.size(), normal);
    EXPECT_EQ(form->Ui.Label1->geometry().bottom(), client.bottom());
    EXPECT_EQ(form->Ui.Frame11->geometry().bottom(), client.bottom() - 20);
    EXPECT_EQ(form->Ui.Chart1->height(), client.height() - 253);
    form->showNormal();
    Settle();
    EXPECT_EQ(form->Ui.Client->size(), normal);
}

TEST_F(ResizeTest, EveryPanelCaptionShowsWholeInTheWidthShown) {
    // The window as it starts, at "Default size", maximised, and at the
    // narrowest an options file gives, where a caption may be cut in its
    // middle but then has its whole text as tooltip.
    struct Case {
        const char* name;
        std::function<void()> layout;
        bool whole;
    };
    const Case cases[] = {
        {"as started", [] {}, true},
        {"Default size", [this] { Menu("&Options", "Default size"); }, true},
        {"maximised",
         [this] {
             form->showMaximized();
             Settle();
         },
         true},
        {"320 wide",
         [this] {
             WriteFile("narrow.opt", "WinHeight  = 600\r\nWinWidth   = 320\r\n");
             AnswerFiles({"narrow.opt"});
             Menu("&Options", "Read options");
         },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StartForm();
        c.layout();
        for (TFrame1* f : {form->Ui.Frame11, form->Ui.Frame12, form->Ui.Frame13, form->Ui.Frame14,
                           form->Ui.Frame15, form->Ui.Frame16}) {
            SCOPED_TRACE(f->objectName().toStdString());
            const int shown = std::min(f->width(), form->Ui.Client->width() - f->x());
            std::map<int, std::vector<QRect>> rows; // by top, in column order
            for (int n = 1; n <= TFrame1::LabelCount; ++n) {
                const TLabel* l = f->Label(n);
                if (l->text().isEmpty()) continue;
                SCOPED_TRACE(l->text().toStdString());
                const bool fits =
                    QFontMetrics(l->font()).horizontalAdvance(l->text()) <= l->width();
                if (c.whole) {
                    EXPECT_TRUE(fits);
                    EXPECT_GE(l->font().pixelSize(), 13) << "small for a window this wide";
                }
                EXPECT_EQ(l->toolTip(), fits ? QString() : l->text());
                EXPECT_GE(l->x(), 0);
                EXPECT_LE(l->geometry().right(), shown);
                rows[l->y()].push_back(l->geometry());
            }
            for (const auto& [top, row] : rows)
                for (size_t k = 1; k < row.size(); ++k)
                    EXPECT_GT(row[k].left(), row[k - 1].right()) << "row at " << top;
        }
    }
}
