// The spectrum store: the slots with their spectra, records, files,
// captions and identities, the marks, the base spectrum and the undo
// history. It knows nothing of widgets: the window's boxes and chart show
// it, and a box click tells it.
#pragma once

#include <QString>
#include <cstdint>

#include "TYPEKIVO1_3.h"
#include "undo.h"

namespace kivo {

class SpectrumStore {
public:
    uint16_t NumSpec = 0; // the filled slots are 1..NumSpec
    SlotArray<QString> FileSpectrumName;
    ParSpecSet Params;
    SlotArray<PointBuffer> SpecX, SpecY;
    // A work copy of a slot's points: the spectrum as it was before a
    // previewed base line, or the previewed result of a subtraction.
    SlotArray<PointBuffer> SavedX, SavedY;
    // Who each slot's spectrum is: a number given when a spectrum fills a
    // slot and carried with it when the slots close up; 0 for an empty slot.
    SlotArray<uint32_t> SpecId;
    uint32_t LastSpecId = 0;
    // The caption of the spectrum's box, without the base mark.
    SlotArray<QString> SpecCaption;
    uint16_t BaseSpec = 0;
    // The spin standard: a spectrum by its identity, so it stays the
    // standard wherever its slot goes and is none once it is gone; its spins
    // and their error as typed.
    uint32_t SpinStandardId = 0;
    double SpinStandardSpins = 0, SpinStandardErr = 0;

    // The marks: Checked as the boxes show them, whenever they change;
    // Marked, NumMarked, ActiveSpec and NoneMarked as the running command
    // read them (ReadMarks).
    SlotArray<bool> Checked;
    SlotArray<bool> Marked;
    uint16_t NumMarked = 0;
    uint16_t ActiveSpec = 0; // the first marked slot
    bool NoneMarked = true;
    void ReadMarks();

    // The slot that holds the spectrum with this identity; 0 for none.
    int SlotOf(uint32_t id) const;
    bool SlotFilled(int slot) const;
    // Fresh point buffers and a new identity for a slot being filled.
    void AllocateSlot(int slot);
    // A slot's fields as a value (their one list is in spectrum_store.cpp):
    // what the undo keeps of a slot, what a slot is filled from when the
    // slots close up or a step is undone, and what is compared to find the
    // changed slots.
    SlotState CaptureSlot(int slot) const;
    void PutSlot(int slot, const SlotState& state); // state is filled
    // Every field of the slot and its work copy released; not marked.
    void EmptySlot(int slot);
    bool SlotUnchanged(const SlotState& kept, int slot) const;

    // ---- Undo: the store as the last checkpoint left it ----------------------
    UndoHistory Undo;
    SlotArray<SlotState> Shadow;
    SlotArray<SlotView> ShadowViews;
    uint16_t ShadowNumSpec = 0, ShadowBaseSpec = 0;
    // What changed since the last checkpoint, as a step with the views of
    // the checkpoint (no slots and the same count: nothing changed); the
    // checkpoint moves here, to these views.
    UndoStep TakeChanges(const SlotArray<SlotView>& viewsNow);
    // The changes since the last checkpoint, as the step that undoes them;
    // the checkpoint stays.
    UndoStep ChangesToUndo() const;
};

} // namespace kivo
