// Marking and showing spectra with their check boxes, "All spectra", the
// deletion of the marked spectra, and the mouse on the chart.
#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <cstdlib>

#include "Kivo1_3.h"
#include "TChart.h"
#include "Unit1.h"

namespace {
constexpr qint64 DoubleClickMs = 300;
} // namespace

void TForm1::CheckBox1Click(int slot) {
    const qint64 now = NowMs();
    // A call for another control is no click: it neither ends nor starts a
    // double click, so a box clicked to end a parameter edit is one click.
    const bool click = slot != 0;
    if (click && std::llabs(now - Mode.LastCheckClickTime) < DoubleClickMs) {
        // The second click of a double click: the box is back as it was.
        CheckBoxDoubleClick(slot);
    } else {
        if (click) Mode.LastCheckClickTime = now;
        if (Mode.BaseChoicePending && click) {
            // The box just clicked, whatever marks a double click left stale;
            // a call for another control chooses nothing.
            const int chosen = slot <= Store.NumSpec ? slot : 0;
            if (chosen != 0) {
                RemoveBaseMark();
                Store.BaseSpec = static_cast<uint16_t>(chosen);
                Mode.LastCheckClickTime = 0;
                DrawBox(chosen);
                Mode.BaseChoicePending = false;
                SetModeLine(QString());
                // Choosing leaves the mark as it was.
                Ui.SpecCheck[chosen]->setChecked(!Ui.SpecCheck[chosen]->isChecked());
            }
        }
        CheckActivSpec();
        Parameters(Store.ActiveSpec);
    }
    FocusCurrentFrame();
}

void TForm1::CheckBoxDoubleClick(int slot) {
    if (slot < 1 || slot > Store.NumSpec) return;
    Ui.Chart1->SetActive(View.SpecSeries[slot], !Ui.Chart1->Active(View.SpecSeries[slot]));
}

void TForm1::Label13Click() {
    const bool allMarked = Store.NumMarked == Store.NumSpec;
    for (int i = 1; i <= Store.NumSpec; ++i) SetBoxChecked(i, !allMarked);
}

void TForm1::Label13DblClick() {
    bool allShown = true;
    for (int i = 1; i <= Store.NumSpec; ++i)
        allShown = allShown && Ui.Chart1->Active(View.SpecSeries[i]);
    for (int i = 1; i <= Store.NumSpec; ++i) {
        SetBoxChecked(i, !Ui.SpecCheck[i]->isChecked());
        Ui.Chart1->SetActive(View.SpecSeries[i], !allShown);
    }
}

void TForm1::DeleteF81Click() {
    CheckActivSpec();
    // The spectra marked now are the ones to delete, whatever a pending
    // preview adds to the store when it is committed first.
    const kivo::SlotArray<bool> doomed = Store.Marked;
    const int before = Store.NumSpec;
    CommitPendingWork();
    BeginStep(QStringLiteral("Delete"));
    CheckActivSpec();
    Work.CompactPending = true;
    Work.KeepCount = 0;
    for (int i = 1; i <= Store.NumSpec; ++i) {
        if (i <= before && doomed[i]) {
            if (i == Store.BaseSpec) Store.BaseSpec = 0;
            Ui.Chart1->SetActive(View.SpecSeries[i], false);
            Ui.SpecCheck[i]->hide();
            Store.Marked[i] = false;
            SetBoxChecked(i, false);
        } else {
            Store.Marked[i] = true;
            SetBoxChecked(i, true);
            ++Work.KeepCount;
        }
    }
    refresh(0);
}

void TForm1::Chart1MouseDown(Qt::MouseButton, int X, int Y) {
    if (Store.NoneMarked) return;
    const PlotRect r = Ui.Chart1->PlotRectangle();
    const int cursor = std::clamp<int>(Pick.PickNo, 1, 4);
    if (Pick.PointCursor) {
        const int a = Store.ActiveSpec;
        const int n = Store.Params[a].NumPoints;
        if (n < 1) return;
        const double xmin = Ui.Chart1->Minimum(ChartAxis::Bottom);
        double span = Ui.Chart1->Maximum(ChartAxis::Bottom) - xmin;
        if (span == 0) span = 1;
        const double v = (X - r.Left) * span / std::max(1, r.Width) + xmin;
        auto shown = [&](int k) { return View.PlottedX(Store.SpecX[a][k]); };
        // The walk stays on the spectrum's points, wherever the press was.
        int k = std::clamp<int>(Pick.PickIndex[cursor], 1, n);
        while (k < n && shown(k) < v) ++k;
        while (k > 1 && shown(k) > v) --k;
        Pick.PickIndex[cursor] = k;
    } else {
        const double ymax = Ui.Chart1->Maximum(ChartAxis::Left);
        double span = ymax - Ui.Chart1->Minimum(ChartAxis::Left);
        if (span == 0) span = 1;
        // The plot area is Bottom - Top + 1 pixels high, both rows included.
        Pick.PickLevel[cursor] = ymax - (Y - r.Top) * span / std::max(1, r.Bottom - r.Top + 1);
    }
    if (Pick.TaskCode != NoTask) {
        int key = 'P';
        const Qt::KeyboardModifiers m = QGuiApplication::keyboardModifiers();
        Frame14Edit1KeyDown(key, {bool(m & Qt::ShiftModifier), bool(m & Qt::AltModifier),
                                  bool(m & Qt::ControlModifier)});
    }
}
