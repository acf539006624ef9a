// Undo and redo: the window's store is compared after every command with
// what it held before, and the slots that differ make one step.
#include "undo.h"

#include <QAction>
#include <QCheckBox>
#include <QPlainTextEdit>
#include <utility>

#include "Kivo1_3.h"
#include "TChart.h"

SlotView TForm1::ViewOf(int slot) const {
    return {Store.Checked[slot], Ui.Chart1->Active(View.SpecSeries[slot])};
}

kivo::SlotArray<SlotView> TForm1::ViewsNow() const {
    kivo::SlotArray<SlotView> views;
    for (int i = 1; i <= kivo::MaxSpec; ++i) views[i] = ViewOf(i);
    return views;
}

void TForm1::BeginStep(const QString& name) {
    UndoCheckpoint();
    StepName = name;
}

void TForm1::UndoCheckpoint() {
    const uint16_t countBefore = Store.ShadowNumSpec;
    UndoStep step = Store.TakeChanges(ViewsNow());
    if (!step.Slots.empty() || countBefore != Store.NumSpec) {
        step.Name = StepName.isEmpty() ? QStringLiteral("Change") : StepName;
        // Inside a command the step waits for the command to end well.
        if (guardDepth_ > 0)
            CommandSteps.push_back(std::move(step));
        else
            Store.Undo.Push(std::move(step));
    }
    StepName.clear();
    UpdateUndoItems();
}

void TForm1::SwapStep(UndoStep& step) {
    // What the reverse step brings back is the state before this one is
    // applied: the views too, before any slot is refilled or emptied.
    const kivo::SlotArray<SlotView> viewsNow = ViewsNow();
    std::vector<SlotState> now;
    for (const auto& entry : step.Slots) now.push_back(Store.CaptureSlot(entry.first));
    std::swap(Store.NumSpec, step.NumSpec);
    std::swap(Store.BaseSpec, step.BaseSpec);
    size_t k = 0;
    for (auto& [slot, state] : step.Slots) {
        PutSlot(slot, state);
        state = std::move(now[k++]);
        Store.Shadow[slot] = Store.CaptureSlot(slot);
    }
    // A slot past the count that a step left filled is emptied.
    for (int i = Store.NumSpec + 1; i <= kivo::MaxSpec; ++i)
        if (Store.SpecX[i].Allocated()) ReleaseSlot(i);
    for (int i = 1; i <= kivo::MaxSpec; ++i) {
        DrawBox(i); // the base mark goes with the base choice brought back
        const SlotView was = step.Views[i];
        step.Views[i] = viewsNow[i];
        Ui.SpecCheck[i]->setVisible(i <= Store.NumSpec);
        SetBoxChecked(i, i <= Store.NumSpec && was.Checked);
        Ui.Chart1->SetActive(View.SpecSeries[i], i <= Store.NumSpec && was.Shown);
    }
    Store.ShadowNumSpec = Store.NumSpec;
    Store.ShadowBaseSpec = Store.BaseSpec;
    for (int i = Store.NumSpec + 1; i <= kivo::MaxSpec; ++i) Store.Shadow[i] = SlotState();
    Store.ShadowViews = ViewsNow();
}

void TForm1::FlushCommandSteps() {
    for (UndoStep& step : CommandSteps) Store.Undo.Push(std::move(step));
    CommandSteps.clear();
    UpdateUndoItems();
}

void TForm1::RollBackCommand() {
    try {
        // What changed since the last step first, then the steps the command
        // made, newest first; none of them reaches the history.
        UndoStep sinceLast = Store.ChangesToUndo();
        SwapStep(sinceLast);
        for (auto step = CommandSteps.rbegin(); step != CommandSteps.rend(); ++step)
            SwapStep(*step);
        CommandSteps.clear();
        // The work of the mode it was in is given up with it.
        Work.Drop();
        Entry.Typing = TypedNumber::None;
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
    return Mode.MemoEditing || Entry.Typing != TypedNumber::None ||
           ((Work.SubtrInput || Work.SmoothEntry) && !Work.AnyPreviewed());
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
    if (undo && Work.Any()) {
        refresh(0);
        UndoCheckpoint();
    }
    UndoCheckpoint(); // whatever changed outside a command is a step first
    FlushCommandSteps();
    if (undo ? !Store.Undo.CanUndo() : !Store.Undo.CanRedo()) {
        SetModeLine(undo ? QStringLiteral("   Nothing to undo ")
                         : QStringLiteral("   Nothing to redo "));
        return;
    }
    UndoStep step = undo ? Store.Undo.TakeUndo() : Store.Undo.TakeRedo();
    SwapStep(step);
    const QString text = (undo ? QStringLiteral("   Undo: ") : QStringLiteral("   Redo: ")) +
                         step.Name + QStringLiteral(" ");
    if (undo)
        Store.Undo.Undone(std::move(step));
    else
        Store.Undo.Redone(std::move(step));
    Work.ClearPreview();
    Mode.SpectraLoaded = Store.NumSpec != 0;
    for (QPlainTextEdit* memo : {Ui.Memo1, Ui.Memo2, Ui.Memo3})
        memo->setVisible(Mode.SpectraLoaded);
    refresh(0);
    if (!Mode.SpectraLoaded) Parameters(0);
    SetModeLine(text);
    UpdateUndoItems();
}

void TForm1::UpdateUndoItems() {
    if (!Ui.UndoItem || !Ui.RedoItem) return;
    Ui.UndoItem->setEnabled(Store.Undo.CanUndo());
    Ui.RedoItem->setEnabled(Store.Undo.CanRedo());
    Ui.UndoItem->setText(Store.Undo.CanUndo() ? QStringLiteral("Undo ") + Store.Undo.UndoName()
                                              : QStringLiteral("Undo"));
    Ui.RedoItem->setText(Store.Undo.CanRedo() ? QStringLiteral("Redo ") + Store.Undo.RedoName()
                                              : QStringLiteral("Redo"));
}
