// The undo history of the spectrum store. A step keeps what one command
// changed: the slots it touched as they were before, and the marks and
// visibility of every slot. Undoing a step swaps those slots with the
// window's, so the same step, now holding the state after the command,
// serves to redo it.
#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <utility>
#include <vector>

#include "TYPEKIVO1_3.h"

// One slot as the store holds it. Empty slots have no points.
struct SlotState {
    bool Filled = false;
    kivo::ParamSpec Params;
    std::vector<float> X, Y;
    QString File, Caption;
    uint32_t Id = 0;
    size_t Bytes() const {
        return sizeof(SlotState) + (X.capacity() + Y.capacity()) * sizeof(float) +
               Params.Line1.capacity() + Params.Line2.capacity() +
               size_t(File.capacity() + Caption.capacity()) * sizeof(QChar);
    }
};

// What a slot shows besides its spectrum: undone and redone with a step, but
// never a step of its own.
struct SlotView {
    bool Checked = false;
    bool Shown = false;
};

struct UndoStep {
    QString Name;
    uint16_t NumSpec = 0;
    uint16_t BaseSpec = 0;
    std::vector<std::pair<int, SlotState>> Slots;
    kivo::SlotArray<SlotView> Views;
    size_t Bytes() const {
        size_t n = sizeof(UndoStep);
        for (const auto& s : Slots) n += s.second.Bytes();
        return n;
    }
};

// The steps to undo and to redo, bounded in count and in memory: the oldest
// steps go first.
class UndoHistory {
public:
    static constexpr size_t MaxSteps = 100;
    static constexpr size_t MaxBytes = size_t(64) << 20;

    // A new step: the steps undone before it can no longer be redone.
    void Push(UndoStep step);
    bool CanUndo() const { return !undo_.empty(); }
    bool CanRedo() const { return !redo_.empty(); }
    const QString& UndoName() const { return undo_.back().Name; }
    const QString& RedoName() const { return redo_.back().Name; }
    // The step to apply; it is given back with Undone or Redone after it
    // has been swapped with the window's state.
    UndoStep TakeUndo();
    UndoStep TakeRedo();
    void Undone(UndoStep step);
    void Redone(UndoStep step);
    size_t Steps() const { return undo_.size() + redo_.size(); }
    size_t UndoSteps() const { return undo_.size(); }
    size_t Bytes() const { return bytes_; }

private:
    void Trim();
    std::deque<UndoStep> undo_, redo_;
    size_t bytes_ = 0;
};
