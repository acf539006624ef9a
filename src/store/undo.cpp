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

// Every field a slot's spectrum has, once. Capturing, filling, emptying and
// comparing a slot all walk this list, so a field added here is moved,
// undone and released with the rest.
template <typename Form, typename F> void ForEachSlotField(Form& form, int slot, F&& f) {
    f(form.Params[slot], &SlotState::Params);
    f(form.SpecX[slot], &SlotState::X);
    f(form.SpecY[slot], &SlotState::Y);
    f(form.FileSpectrumName[slot], &SlotState::File);
    f(form.SpecCaption[slot], &SlotState::Caption);
    f(form.SpecId[slot], &SlotState::Id);
}

void Keep(const kivo::PointBuffer& live, std::vector<float>& kept, int n) {
    kept.assign(live.Data(), live.Data() + n);
}
template <typename T> void Keep(const T& live, T& kept, int) {
    kept = live;
}

void Give(const std::vector<float>& kept, kivo::PointBuffer& live) {
    if (!live.Allocated()) live.Allocate();
    std::copy(kept.begin(), kept.end(), live.Data());
}
template <typename T> void Give(const T& kept, T& live) {
    live = kept;
}

void Empty(kivo::PointBuffer& live) {
    live.Release();
}
template <typename T> void Empty(T& live) {
    T empty{}; // swapped out, so strings give their memory back
    std::swap(live, empty);
}

bool Same(const std::vector<float>& kept, const kivo::PointBuffer& live, int n) {
    return kept.size() == size_t(n) &&
           (n == 0 || std::memcmp(kept.data(), live.Data(), size_t(n) * sizeof(float)) == 0);
}
// The record without what the drawing works out again from the points.
bool Same(kivo::ParamSpec kept, const kivo::ParamSpec& live, int) {
    kept.Amplitude = live.Amplitude;
    return kept == live;
}
// Who a spectrum is, is no content of the store.
bool Same(uint32_t, uint32_t, int) {
    return true;
}
template <typename T> bool Same(const T& kept, const T& live, int) {
    return kept == live;
}

} // namespace

bool TForm1::SlotFilled(int slot) const {
    return slot <= NumSpec && SpecX[slot].Allocated() && SpecY[slot].Allocated();
}

SlotState TForm1::CaptureSlot(int slot) const {
    SlotState s;
    s.Filled = SlotFilled(slot);
    if (!s.Filled) return s;
    const int n = Params[slot].NumPoints;
    ForEachSlotField(*this, slot, [&](const auto& live, auto field) { Keep(live, s.*field, n); });
    return s;
}

void TForm1::PutSlot(int slot, const SlotState& state) {
    if (!state.Filled) {
        ReleaseSlot(slot);
        return;
    }
    ForEachSlotField(*this, slot, [&](auto& live, auto field) { Give(state.*field, live); });
    DrawBox(slot);
}

void TForm1::EmptySlotFields(int slot) {
    ForEachSlotField(*this, slot, [](auto& live, auto) { Empty(live); });
}

bool TForm1::SlotUnchanged(const SlotState& kept, int slot) const {
    const bool filled = SlotFilled(slot);
    if (filled != kept.Filled) return false;
    if (!filled) return true;
    const int n = Params[slot].NumPoints;
    bool same = true;
    ForEachSlotField(*this, slot, [&](const auto& live, auto field) {
        same = same && Same(kept.*field, live, n);
    });
    return same;
}

SlotView TForm1::ViewOf(int slot) const {
    return {SpecCheck[slot]->isChecked(), Chart1->Active(SpecSeries[slot])};
}

void TForm1::BeginStep(const QString& name) {
    UndoCheckpoint();
    StepName = name;
}

void TForm1::UndoCheckpoint() {
    AdoptBoxTexts();
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
        // Inside a command the step waits for the command to end well.
        if (guardDepth_ > 0)
            CommandSteps.push_back(std::move(step));
        else
            Undo.Push(std::move(step));
    }
    ShadowNumSpec = NumSpec;
    ShadowBaseSpec = BaseSpec;
    for (int i = 1; i <= kivo::MaxSpec; ++i) ShadowViews[i] = ViewOf(i);
    StepName.clear();
    UpdateUndoItems();
}

void TForm1::SwapStep(UndoStep& step) {
    // What the reverse step brings back is the state before this one is
    // applied: the views too, before any slot is refilled or emptied.
    AdoptBoxTexts();
    kivo::SlotArray<SlotView> viewsNow;
    for (int i = 1; i <= kivo::MaxSpec; ++i) viewsNow[i] = ViewOf(i);
    std::vector<SlotState> now;
    for (const auto& entry : step.Slots) now.push_back(CaptureSlot(entry.first));
    std::swap(NumSpec, step.NumSpec);
    std::swap(BaseSpec, step.BaseSpec);
    size_t k = 0;
    for (auto& [slot, state] : step.Slots) {
        PutSlot(slot, state);
        state = std::move(now[k++]);
        StoreShadow[slot] = CaptureSlot(slot);
    }
    // A slot past the count that a step left filled is emptied.
    for (int i = NumSpec + 1; i <= kivo::MaxSpec; ++i)
        if (SpecX[i].Allocated()) ReleaseSlot(i);
    for (int i = 1; i <= kivo::MaxSpec; ++i) {
        DrawBox(i); // the base mark goes with the base choice brought back
        const SlotView was = step.Views[i];
        step.Views[i] = viewsNow[i];
        SpecCheck[i]->setVisible(i <= NumSpec);
        SetBoxChecked(i, i <= NumSpec && was.Checked);
        Chart1->SetActive(SpecSeries[i], i <= NumSpec && was.Shown);
    }
    ShadowNumSpec = NumSpec;
    ShadowBaseSpec = BaseSpec;
    for (int i = 1; i <= kivo::MaxSpec; ++i) {
        if (i > NumSpec) StoreShadow[i] = SlotState();
        ShadowViews[i] = ViewOf(i);
    }
}

void TForm1::FlushCommandSteps() {
    for (UndoStep& step : CommandSteps) Undo.Push(std::move(step));
    CommandSteps.clear();
    UpdateUndoItems();
}

void TForm1::RollBackCommand() {
    try {
        // What changed since the last step first, then the steps the command
        // made, newest first; none of them reaches the history.
        std::vector<std::pair<int, SlotState>> changed;
        for (int i = 1; i <= kivo::MaxSpec; ++i)
            if (!SlotUnchanged(StoreShadow[i], i)) changed.emplace_back(i, StoreShadow[i]);
        UndoStep sinceLast;
        sinceLast.Slots = std::move(changed);
        sinceLast.NumSpec = ShadowNumSpec;
        sinceLast.BaseSpec = ShadowBaseSpec;
        sinceLast.Views = ShadowViews;
        SwapStep(sinceLast);
        for (auto step = CommandSteps.rbegin(); step != CommandSteps.rend(); ++step)
            SwapStep(*step);
        CommandSteps.clear();
        // The work of the mode it was in is given up with it.
        BaseLineMode = RestrictPending = CompactPending = SubtrInput = SmoothEntry = false;
        Typing = TypedNumber::None;
        ReleaseWorkCopies();
        ++guardDepth_; // the refresh is part of the failed command
        refresh(0);
        --guardDepth_;
        CommandSteps.clear();
        UndoCheckpoint();
    } catch (...) {
        guardDepth_ = 0;
        CommandSteps.clear();
    }
    UpdateUndoItems();
}

bool TForm1::EntryInProgress() const {
    bool previewed = false;
    for (int i = 1; i <= kivo::MaxSpec; ++i) previewed = previewed || PreviewFrom[i] != 0;
    return MemoEditing || Typing != TypedNumber::None ||
           ((SubtrInput || SmoothEntry) && !previewed);
}

void TForm1::UndoClick() {
    StepBack(true);
}

void TForm1::RedoClick() {
    StepBack(false);
}

void TForm1::StepBack(bool undo) {
    // The slices a read offers are no entry to wait for: undo ends the offer.
    EndSliceOffer();
    if (EntryInProgress()) return;
    // Work a preview left pending ends first, as Esc would end it; what it
    // commits is a step of its own, the one undone now.
    if (undo && WorkPending()) {
        refresh(0);
        UndoCheckpoint();
    }
    UndoCheckpoint(); // whatever changed outside a command is a step first
    FlushCommandSteps();
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
