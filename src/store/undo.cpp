// Undo and redo: the window's store is compared after every command with
// what it held before, and the slots that differ make one step.
#include "undo.h"

#include <QAction>
#include <QCheckBox>
#include <QPlainTextEdit>
#include <algorithm>
#include <cstring>

#include "Kivo1_3.h"
#include "TChart.h"

void UndoHistory::Push(UndoStep step) {
    for (const UndoStep& s : redo_) bytes_ -= s.Bytes();
    redo_.clear();
    bytes_ += step.Bytes();
    undo_.push_back(std::move(step));
    Trim();
}

UndoStep UndoHistory::TakeUndo() {
    UndoStep step = std::move(undo_.back());
    undo_.pop_back();
    bytes_ -= step.Bytes();
    return step;
}

UndoStep UndoHistory::TakeRedo() {
    UndoStep step = std::move(redo_.back());
    redo_.pop_back();
    bytes_ -= step.Bytes();
    return step;
}

void UndoHistory::Undone(UndoStep step) {
    bytes_ += step.Bytes();
    redo_.push_back(std::move(step));
    Trim();
}

void UndoHistory::Redone(UndoStep step) {
    bytes_ += step.Bytes();
    undo_.push_back(std::move(step));
    Trim();
}

void UndoHistory::Trim() {
    while (!undo_.empty() && (Steps() > MaxSteps || bytes_ > MaxBytes)) {
        bytes_ -= undo_.front().Bytes();
        undo_.pop_front();
    }
}

namespace {

// The record without what the drawing works out again from the points.
bool SameRecord(kivo::ParamSpec a, const kivo::ParamSpec& b) {
    a.Amplitude = b.Amplitude;
    return a == b;
}

// A caption without the base mark: choosing the base is no change of the store.
QString PlainCaption(const QString& caption) {
    return caption.endsWith(BaseMark) ? caption.chopped(BaseMark.size()) : caption;
}

bool SamePoints(const std::vector<float>& kept, const kivo::PointBuffer& live, int n) {
    return kept.size() == size_t(n) &&
           (n == 0 || std::memcmp(kept.data(), live.Data(), size_t(n) * sizeof(float)) == 0);
}

} // namespace

SlotState TForm1::CaptureSlot(int slot) const {
    SlotState s;
    s.Filled = slot <= NumSpec && SpecX[slot].Allocated() && SpecY[slot].Allocated();
    if (!s.Filled) return s;
    s.Params = Params[slot];
    const int n = Params[slot].NumPoints;
    s.X.assign(SpecX[slot].Data(), SpecX[slot].Data() + n);
    s.Y.assign(SpecY[slot].Data(), SpecY[slot].Data() + n);
    s.File = FileSpectrumName[slot];
    s.Caption = PlainCaption(SpecCheck[slot]->text());
    s.Id = SpecId[slot];
    return s;
}

bool TForm1::SlotUnchanged(const SlotState& kept, int slot) const {
    const bool filled = slot <= NumSpec && SpecX[slot].Allocated() && SpecY[slot].Allocated();
    if (filled != kept.Filled) return false;
    if (!filled) return true;
    const int n = Params[slot].NumPoints;
    return SameRecord(Params[slot], kept.Params) && SamePoints(kept.X, SpecX[slot], n) &&
           SamePoints(kept.Y, SpecY[slot], n) && kept.File == FileSpectrumName[slot] &&
           kept.Caption == PlainCaption(SpecCheck[slot]->text());
}

SlotView TForm1::ViewOf(int slot) const {
    return {SpecCheck[slot]->isChecked(), Chart1->Active(SpecSeries[slot])};
}

void TForm1::BeginStep(const QString& name) {
    UndoCheckpoint();
    StepName = name;
}

void TForm1::UndoCheckpoint() {
    UndoStep step;
    for (int i = 1; i <= kivo::MaxSpec; ++i) {
        if (SlotUnchanged(StoreShadow[i], i)) continue;
        SlotState now = CaptureSlot(i);
        std::swap(now, StoreShadow[i]);
        step.Slots.emplace_back(i, std::move(now));
    }
    if (!step.Slots.empty() || ShadowNumSpec != NumSpec) {
        step.Name = StepName.isEmpty() ? QStringLiteral("Change") : StepName;
        step.NumSpec = ShadowNumSpec;
        step.BaseSpec = ShadowBaseSpec;
        step.Views = ShadowViews;
        Undo.Push(std::move(step));
    }
    ShadowNumSpec = NumSpec;
    ShadowBaseSpec = BaseSpec;
    for (int i = 1; i <= kivo::MaxSpec; ++i) ShadowViews[i] = ViewOf(i);
    StepName.clear();
    UpdateUndoItems();
}

void TForm1::SwapStep(UndoStep& step) {
    std::vector<SlotState> now;
    for (const auto& entry : step.Slots) now.push_back(CaptureSlot(entry.first));
    std::swap(NumSpec, step.NumSpec);
    size_t k = 0;
    for (auto& [slot, state] : step.Slots) {
        if (state.Filled) {
            if (!SpecX[slot].Allocated()) SpecX[slot].Allocate();
            if (!SpecY[slot].Allocated()) SpecY[slot].Allocate();
            const int n = state.Params.NumPoints;
            std::copy_n(state.X.data(), n, SpecX[slot].Data());
            std::copy_n(state.Y.data(), n, SpecY[slot].Data());
            std::swap(Params[slot], state.Params);
            FileSpectrumName[slot] = state.File;
            SpecCheck[slot]->setText(state.Caption);
            SpecId[slot] = state.Id;
            SpecCheck[slot]->show();
        } else if (SpecX[slot].Allocated()) {
            ReleaseSlot(slot);
        }
        state = std::move(now[k++]);
        StoreShadow[slot] = CaptureSlot(slot);
    }
    std::swap(BaseSpec, step.BaseSpec);
    for (int i = 1; i <= kivo::MaxSpec; ++i) {
        // The base mark goes with the base choice of the state brought back.
        QCheckBox* box = SpecCheck[i];
        const QString caption = PlainCaption(box->text());
        box->setText(i == BaseSpec ? caption + BaseMark : caption);
        box->setFixedWidth(i == BaseSpec ? 120 : 80);
        const SlotView was = step.Views[i];
        step.Views[i] = ViewOf(i);
        box->setVisible(i <= NumSpec);
        SetBoxChecked(i, i <= NumSpec && was.Checked);
        Chart1->SetActive(SpecSeries[i], i <= NumSpec && was.Shown);
    }
    // A slot past the count that a step left filled is emptied.
    for (int i = NumSpec + 1; i <= kivo::MaxSpec; ++i)
        if (SpecX[i].Allocated()) ReleaseSlot(i);
    ShadowNumSpec = NumSpec;
    ShadowBaseSpec = BaseSpec;
    for (int i = 1; i <= kivo::MaxSpec; ++i) {
        if (i > NumSpec) StoreShadow[i] = SlotState();
        ShadowViews[i] = ViewOf(i);
    }
}

bool TForm1::EntryInProgress() const {
    bool previewed = false;
    for (int i = 1; i <= kivo::MaxSpec; ++i) previewed = previewed || PreviewFrom[i] != 0;
    return MemoEditing || ((SubtrInput || SmoothEntry) && !previewed);
}

void TForm1::UndoClick() {
    StepBack(true);
}

void TForm1::RedoClick() {
    StepBack(false);
}

void TForm1::StepBack(bool undo) {
    if (EntryInProgress()) return;
    // Work a preview left pending ends first, as Esc would end it; what it
    // commits is a step of its own, the one undone now.
    if (undo && (BaseLineMode || RestrictPending || SubtrInput || SmoothEntry)) {
        refresh(0);
        UndoCheckpoint();
    }
    UndoCheckpoint(); // whatever changed outside a command is a step first
    if (undo ? !Undo.CanUndo() : !Undo.CanRedo()) {
        SetModeLine(undo ? QStringLiteral("   Nothing to undo ")
                         : QStringLiteral("   Nothing to redo "));
        return;
    }
    UndoStep step = undo ? Undo.TakeUndo() : Undo.TakeRedo();
    SwapStep(step);
    const QString text = (undo ? QStringLiteral("   Undo: ") : QStringLiteral("   Redo: ")) +
                         step.Name + QStringLiteral(" ");
    if (undo)
        Undo.Undone(std::move(step));
    else
        Undo.Redone(std::move(step));
    ClearPreview();
    SpectraLoaded = NumSpec != 0;
    for (QPlainTextEdit* memo : {Memo1, Memo2, Memo3}) memo->setVisible(SpectraLoaded);
    refresh(0);
    if (!SpectraLoaded) Parameters(0);
    SetModeLine(text);
    UpdateUndoItems();
}

void TForm1::UpdateUndoItems() {
    if (!UndoItem || !RedoItem) return;
    UndoItem->setEnabled(Undo.CanUndo());
    RedoItem->setEnabled(Undo.CanRedo());
    UndoItem->setText(Undo.CanUndo() ? QStringLiteral("Undo ") + Undo.UndoName()
                                     : QStringLiteral("Undo"));
    RedoItem->setText(Undo.CanRedo() ? QStringLiteral("Redo ") + Undo.RedoName()
                                     : QStringLiteral("Redo"));
}
