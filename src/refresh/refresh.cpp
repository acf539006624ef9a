// The refresh that ends every command: it commits the work a command left
// pending (base line, restriction, deletion, subtraction, smoothing), brings
// the store back to a consistent state and redraws.
#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTreeWidget>
#include <algorithm>
#include <initializer_list>

#include "Kivo1_3.h"
#include "TChart.h"
#include "TLabel.h"
#include "Unit1.h"
#include "fonts.h"

void TForm1::refresh(int mode) {
    Ui.TreeView1->hide();
    Ui.Memo4->hide();
    Pick.End();
    Mode.MemoEditing = false;
    Ui.Label2->clear();
    Ui.Label12->clear();
    for (int j = 1; j <= 6; ++j) Ui.Chart1->SetActive(View.AuxSeries[j], false);
    // A typed subtraction or smoothing stays open through a partial refresh.
    CommitPendingWork(mode == 0);
    if (Work.CompactPending) CompactSlots();
    // Shown only for two or more spectra, counted after a deletion is closed up.
    Ui.Label13->setVisible(Store.NumSpec >= 2);
    if (mode != 0) return;

    EndSimulation();
    for (TFrame1* f : {Ui.Frame16, Ui.Frame15, Ui.Frame14, Ui.Frame13, Ui.Frame12}) f->hide();
    Ui.Frame11->show();
    Mode.SelectMode = true;
    Work.RestrictNumberDue = false;
    Entry.Typing = TypedNumber::None;
    OfferedSlices = {};
    Work.ClearPreview(); // nothing is pending after a full refresh
    Pick.PickSpec = 0;   // nor are any cursors placed
    Ui.Frame14->Label5->hide();
    Ui.Frame16->Label12->hide();
    Ui.Frame14->Label1->show();
    for (int i = Store.NumSpec + 1; i <= kivo::MaxSpec; ++i) Ui.SpecCheck[i]->hide();
    Mode.SpectraLoaded = Store.NumSpec != 0;
    if (Mode.SpectraLoaded) {
        CheckActivSpec();
        if (Store.NoneMarked && !Mode.KeepNoneMarked) {
            SetBoxChecked(1, true);
            CheckActivSpec();
        }
        InitAxes();
        View.MoveUnitX = View.XHalfRange / 50000;
        View.MoveUnitY = View.YHalfRange / 50000;
        View.XScale = 1.0;
        View.YScale = 1.0;
        View.XShift = 0;
        View.YShift = 0;
        View.MoveStep = 3000.0;
        Ui.Chart1->Clear(View.PointSeries1);
        Ui.Chart1->Clear(View.PointSeries2);
        for (int j = 1; j <= 5; ++j) Ui.Chart1->Clear(View.AuxSeries[j]);
        for (int i = 1; i <= kivo::MaxSpec; ++i) Ui.Chart1->SetActive(View.SpecSeries[i], false);
        Plot();
    }
    Mode.AddMode = false;
    FocusCurrentFrame();
}

void TForm1::CommitPendingWork(bool entries) {
    CheckActivSpec();
    if (Work.BaseLineMode) CommitBaseLine();
    if (Work.RestrictPending) CommitRestriction();
    if (!entries) return;
    if (Work.SubtrInput) {
        SubtrSpec(1);
        Work.SubtrInput = false;
    }
    if (Work.SmoothEntry) {
        SmoothSpec(1);
        Work.SmoothEntry = false;
    }
}

void TForm1::CommitBaseLine() {
    BeginStep(QStringLiteral("Base line"));
    const std::string note = kivo::BaseLineNote(Options.BaseLineOrder);
    for (int i = 1; i <= Store.NumSpec; ++i) {
        const int n = Store.Params[i].NumPoints;
        if (!Previewed(i) || n <= 0 || !Store.SavedX[i].Allocated() || !Store.SavedY[i].Allocated())
            continue;
        std::copy_n(Store.SavedX[i].Data(), n, Store.SpecX[i].Data());
        std::copy_n(Store.SavedY[i].Data(), n, Store.SpecY[i].Data());
        if (!note.empty()) SampCondW(166, i, note);
    }
    ReleaseWorkCopies();
    Work.BaseLineMode = false;
    Ui.Frame14->Label3->hide();
    Ui.Frame14->Label4->hide();
}

void TForm1::CommitRestriction() {
    BeginStep(QStringLiteral("Restriction"));
    Work.RestrictPending = false;
    // The range is where the cursors stand, on the spectrum they stand on; it
    // cuts the spectra marked at the start that are still marked, each by
    // field, and none marked since.
    const int a = Store.SlotOf(Pick.PickSpec);
    if (a == 0) {
        Work.ClearPreview();
        return;
    }
    // The picked points may come in either order; a range that leaves the
    // spectrum, or fewer than two points anywhere, is refused whole.
    int f = Pick.PickIndex[1], l = Pick.PickIndex[2];
    if (f > l) std::swap(f, l);
    if (f < 1 || l > Store.Params[a].NumPoints || l - f + 1 < 2) {
        SetModeLine(
            ModeLine() +
            QStringLiteral("   Restriction refused: the picked range is not on the spectrum "));
        Work.ClearPreview();
        return;
    }
    double lo = Store.SpecX[a][f], hi = Store.SpecX[a][l];
    if (lo > hi) std::swap(lo, hi);
    auto inside = [lo, hi](float x) { return lo <= double(x) && double(x) <= hi; };
    for (int j = 1; j <= Store.NumSpec; ++j) {
        if (j == a || !Previewed(j)) continue;
        const float* x = Store.SpecX[j].Data();
        if (std::count_if(x, x + Store.Params[j].NumPoints, inside) < 2) {
            SetModeLine(
                ModeLine() +
                QStringLiteral("   Restriction refused: fewer than 2 points would remain in ") +
                BoxText(j) + QStringLiteral(" "));
            Work.ClearPreview();
            return;
        }
    }
    for (int j = 1; j <= Store.NumSpec; ++j) {
        if (j == a || !Previewed(j)) continue;
        float* x = Store.SpecX[j].Data();
        float* y = Store.SpecY[j].Data();
        int kept = 0;
        for (int k = 0; k < Store.Params[j].NumPoints; ++k) {
            if (!inside(x[k])) continue;
            x[kept] = x[k];
            y[kept] = y[k];
            ++kept;
        }
        Store.Params[j].NumPoints = static_cast<uint16_t>(kept);
    }
    if (Previewed(a)) {
        float* xa = Store.SpecX[a].Data();
        float* ya = Store.SpecY[a].Data();
        Store.Params[a].NumPoints = static_cast<uint16_t>(l - f + 1);
        std::copy(xa + f - 1, xa + l, xa);
        std::copy(ya + f - 1, ya + l, ya);
    }
    Work.ClearPreview();
    Plot();
}

bool TForm1::RangeOnSpectrum(int slot, kivo::PointRange r, const QString& what) {
    const int n = slot >= 1 && slot <= Store.NumSpec ? int(Store.Params[slot].NumPoints) : 0;
    if (r.First > r.Last) std::swap(r.First, r.Last);
    if (r.First >= 1 && r.Last <= n) return true;
    SetModeLine(ModeLine() + QStringLiteral("   ") + what +
                QStringLiteral(" refused: the picked range is not on the spectrum ") +
                (n > 0 ? BoxText(slot) + QStringLiteral(" ") : QString()));
    return false;
}

void TForm1::CompactSlots() {
    Work.CompactPending = false;
    for (int i = 1; i <= Work.KeepCount; ++i) {
        if (Store.Marked[i]) continue;
        int j = i + 1;
        while (j <= Store.NumSpec && !Store.Marked[j]) ++j;
        if (j > Store.NumSpec) break;
        // The spectrum moves with all its fields; what belongs to it (its
        // move, the cursors) follows it by its identity.
        PutSlot(i, Store.CaptureSlot(j));
        if (j == Store.BaseSpec) Store.BaseSpec = static_cast<uint16_t>(i);
        Ui.Chart1->SetActive(View.SpecSeries[i], true);
        Store.Marked[j] = false;
        SetBoxChecked(j, false);
        Ui.SpecCheck[i]->show();
        Store.Marked[i] = true;
        SetBoxChecked(i, true);
        DrawBox(i);
        DrawBox(j);
    }
    for (int i = Work.KeepCount + 1; i <= Store.NumSpec; ++i) ReleaseSlot(i);
    Store.NumSpec = Work.KeepCount;
    InitAxes();
    Plot();
}

void TForm1::refresh1Click() {
    SetModeLine(QStringLiteral("   SELECT MODE") + Options.HotKeysHint);
    Ui.Chart1->SetAxesVisible(false);
    Mode.SizeEditKind = 0;
    Pick.CursorStep = 10;
    RemoveBaseMark();
    LayoutPanels();
    for (QPlainTextEdit* memo : {Ui.Memo1, Ui.Memo2, Ui.Memo3}) memo->hide();
    for (int i = 1; i <= Store.NumSpec; ++i) Ui.Chart1->SetActive(View.SpecSeries[i], true);
    refresh(0);
}

void TForm1::LayoutPanels() {
    using Rows = std::initializer_list<std::initializer_list<int>>;
    struct PanelRows {
        TFrame1* frame;
        Rows rows;
    };
    const PanelRows layout[] = {
        {Ui.Frame13, {{5, 9}, {2, 6, 10}, {3, 7}, {4, 8}}},
        {Ui.Frame12, {{1, 5, 9}, {2, 6, 11}, {3, 7, 12}, {4, 8, 10}}},
        {Ui.Frame11, {{1, 5, 9}, {2, 6, 10}, {3, 7}, {4, 8}}},
        {Ui.Frame14, {{1, 5}, {2}, {3}, {4}}},
        {Ui.Frame15, {{1}, {2}, {3}, {4}}},
        {Ui.Frame16, {{1, 5, 9}, {2, 6, 10}, {3, 7, 11}, {4, 8, 12}}},
    };
    const int top = Ui.Frame13->Label1->y();
    const int step = Ui.Frame13->height() / 5;
    for (const PanelRows& panel : layout) {
        int r = 0;
        for (const auto& row : panel.rows) {
            for (int n : row)
                panel.frame->Label(n)->move(panel.frame->Label(n)->x(), top + r * step);
            ++r;
        }
    }

    // Every panel takes the size panel's geometry and font.
    const int h = FontHeight(Ui.Frame13->Label1);
    SetFontHeight(Ui.Frame13->Label2, h);
    const std::pair<TFrame1*, int> panels[] = {
        {Ui.Frame12, 12}, {Ui.Frame11, 10}, {Ui.Frame14, 5}, {Ui.Frame15, 4}, {Ui.Frame16, 12}};
    for (const auto& [frame, labels] : panels) {
        frame->setGeometry(frame->x(), Ui.Frame13->y(), Ui.Frame13->width(), Ui.Frame13->height());
        for (int n = 1; n <= labels; ++n) SetFontHeight(frame->Label(n), h);
    }
    for (TFrame1* f : {Ui.Frame11, Ui.Frame12, Ui.Frame13, Ui.Frame14, Ui.Frame15, Ui.Frame16})
        f->FitCaptions();
    SetFontHeight(Ui.Label3, h);
    Ui.Frame14->Label2->hide();
    Ui.Frame14->Label3->hide();
    Ui.Frame14->Label4->hide();
}
