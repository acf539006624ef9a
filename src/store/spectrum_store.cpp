// The spectrum store and its undo history: the slots' fields in one list,
// and the steps made of the slots that changed since the last checkpoint.
#include "spectrum_store.h"

#include <algorithm>
#include <cstring>
#include <utility>

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

namespace kivo {

namespace {

// Every field a slot's spectrum has, once. Capturing, filling, emptying and
// comparing a slot all walk this list, so a field added here is moved,
// undone and released with the rest.
template <typename Store, typename F> void ForEachSlotField(Store& store, int slot, F&& f) {
    f(store.Params[slot], &SlotState::Params);
    f(store.SpecX[slot], &SlotState::X);
    f(store.SpecY[slot], &SlotState::Y);
    f(store.FileSpectrumName[slot], &SlotState::File);
    f(store.SpecCaption[slot], &SlotState::Caption);
    f(store.SpecId[slot], &SlotState::Id);
}

void Keep(const PointBuffer& live, std::vector<float>& kept, int n) {
    kept.assign(live.Data(), live.Data() + n);
}
template <typename T> void Keep(const T& live, T& kept, int) {
    kept = live;
}

void Give(const std::vector<float>& kept, PointBuffer& live) {
    if (!live.Allocated()) live.Allocate();
    std::copy(kept.begin(), kept.end(), live.Data());
}
template <typename T> void Give(const T& kept, T& live) {
    live = kept;
}

void Empty(PointBuffer& live) {
    live.Release();
}
template <typename T> void Empty(T& live) {
    T empty{}; // swapped out, so strings give their memory back
    std::swap(live, empty);
}

bool Same(const std::vector<float>& kept, const PointBuffer& live, int n) {
    return kept.size() == size_t(n) &&
           (n == 0 || std::memcmp(kept.data(), live.Data(), size_t(n) * sizeof(float)) == 0);
}
// The record without what the drawing works out again from the points.
bool Same(ParamSpec kept, const ParamSpec& live, int) {
    kept.Amplitude = live.Amplitude;
    return kept == live;
}
template <typename T> bool Same(const T& kept, const T& live, int) {
    return kept == live;
}

} // namespace

bool SpectrumStore::SlotFilled(int slot) const {
    return slot <= NumSpec && SpecX[slot].Allocated() && SpecY[slot].Allocated();
}

SlotState SpectrumStore::CaptureSlot(int slot) const {
    SlotState s;
    s.Filled = SlotFilled(slot);
    if (!s.Filled) return s;
    const int n = Params[slot].NumPoints;
    ForEachSlotField(*this, slot, [&](const auto& live, auto field) { Keep(live, s.*field, n); });
    return s;
}

void SpectrumStore::PutSlot(int slot, const SlotState& state) {
    ForEachSlotField(*this, slot, [&](auto& live, auto field) { Give(state.*field, live); });
}

void SpectrumStore::EmptySlot(int slot) {
    ForEachSlotField(*this, slot, [](auto& live, auto) { Empty(live); });
    SavedX[slot].Release();
    SavedY[slot].Release();
    Checked[slot] = false;
}

bool SpectrumStore::SlotUnchanged(const SlotState& kept, int slot) const {
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

void SpectrumStore::ReadMarks() {
    NoneMarked = true;
    NumMarked = 0;
    ActiveSpec = 0;
    for (int i = MaxSpec; i >= 1; --i) {
        Marked[i] = i <= NumSpec && Checked[i];
        if (Marked[i]) {
            ++NumMarked;
            ActiveSpec = static_cast<uint16_t>(i);
        }
    }
    NoneMarked = NumMarked == 0;
}

int SpectrumStore::SlotOf(uint32_t id) const {
    for (int i = 1; i <= NumSpec && id != 0; ++i)
        if (SpecId[i] == id) return i;
    return 0;
}

void SpectrumStore::AllocateSlot(int slot) {
    SpecX[slot].Allocate();
    SpecY[slot].Allocate();
    SpecId[slot] = ++LastSpecId;
}

UndoStep SpectrumStore::ChangesToUndo() const {
    UndoStep step;
    for (int i = 1; i <= MaxSpec; ++i)
        if (!SlotUnchanged(Shadow[i], i)) step.Slots.emplace_back(i, Shadow[i]);
    step.NumSpec = ShadowNumSpec;
    step.BaseSpec = ShadowBaseSpec;
    step.Views = ShadowViews;
    return step;
}

UndoStep SpectrumStore::TakeChanges(const SlotArray<SlotView>& viewsNow) {
    UndoStep step;
    for (int i = 1; i <= MaxSpec; ++i) {
        if (SlotUnchanged(Shadow[i], i)) continue;
        SlotState now = CaptureSlot(i);
        std::swap(now, Shadow[i]);
        step.Slots.emplace_back(i, std::move(now));
    }
    step.NumSpec = ShadowNumSpec;
    step.BaseSpec = ShadowBaseSpec;
    step.Views = ShadowViews;
    ShadowNumSpec = NumSpec;
    ShadowBaseSpec = BaseSpec;
    ShadowViews = viewsNow;
    return step;
}

} // namespace kivo
