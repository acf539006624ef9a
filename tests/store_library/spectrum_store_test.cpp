// The store on its own, without a window: random changes to random slots,
// each checkpoint's step against a model of what the slots held, and the
// step put back giving the slots as they were.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "spectrum_store.h"

namespace {

struct ModelSlot {
    bool Filled = false;
    std::vector<float> Y;
    QString Caption;
    bool operator==(const ModelSlot&) const = default;
};
using Model = std::vector<ModelSlot>; // index 1..MaxSpec

ModelSlot Seen(const kivo::SpectrumStore& store, int slot) {
    ModelSlot m;
    m.Filled = store.SlotFilled(slot);
    if (!m.Filled) return m;
    const int n = store.Params[slot].NumPoints;
    m.Y.assign(store.SpecY[slot].Data(), store.SpecY[slot].Data() + n);
    m.Caption = store.SpecCaption[slot];
    return m;
}

Model SeenAll(const kivo::SpectrumStore& store) {
    Model m(kivo::MaxSpec + 1);
    for (int i = 1; i <= kivo::MaxSpec; ++i) m[size_t(i)] = Seen(store, i);
    return m;
}

} // namespace

TEST(SpectrumStore, StepsHoldExactlyTheChangedSlotsAndPutThemBack) {
    for (unsigned seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 rng(seed);
        auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
        kivo::SpectrumStore store;
        Model before = SeenAll(store);
        for (int round = 0; round < 30; ++round) {
            for (int k = pick(0, 4); k > 0; --k) {
                const int slot = pick(1, kivo::MaxSpec);
                switch (pick(0, 3)) {
                case 0: // a spectrum fills the slot
                    if (slot > store.NumSpec) store.NumSpec = uint16_t(slot);
                    store.AllocateSlot(slot);
                    store.Params[slot].NumPoints = uint16_t(pick(1, 50));
                    for (int p = 1; p <= store.Params[slot].NumPoints; ++p)
                        store.SpecY[slot][p] = float(pick(-9, 9));
                    store.SpecCaption[slot] = QStringLiteral("s%1").arg(pick(0, 99));
                    break;
                case 1: // a point changes
                    if (store.SlotFilled(slot))
                        store.SpecY[slot][pick(1, store.Params[slot].NumPoints)] += 1;
                    break;
                case 2: // the slot is emptied
                    store.EmptySlot(slot);
                    break;
                default: // a mark, which is no content
                    store.Checked[slot] = !store.Checked[slot];
                }
            }
            const Model now = SeenAll(store);
            const uint16_t countBefore = store.ShadowNumSpec;
            UndoStep step = store.TakeChanges({});
            std::vector<int> changed;
            for (int i = 1; i <= kivo::MaxSpec; ++i)
                if (now[size_t(i)] != before[size_t(i)]) changed.push_back(i);
            std::vector<int> inStep;
            for (const auto& [slot, state] : step.Slots) inStep.push_back(slot);
            ASSERT_EQ(inStep, changed);
            EXPECT_EQ(step.NumSpec, countBefore);
            if (pick(0, 2) == 0) { // undone: the slots as the last checkpoint had them
                for (const auto& [slot, state] : step.Slots) {
                    if (state.Filled)
                        store.PutSlot(slot, state);
                    else
                        store.EmptySlot(slot);
                }
                store.NumSpec = step.NumSpec;
                ASSERT_EQ(SeenAll(store), before);
                store.TakeChanges({});
                continue;
            }
            before = now;
        }
        // The marks as a command reads them: the first marked filled slot is
        // the active one.
        store.ReadMarks();
        int first = 0, count = 0;
        for (int i = 1; i <= store.NumSpec; ++i) {
            if (!store.Checked[i]) continue;
            ++count;
            if (first == 0) first = i;
        }
        EXPECT_EQ(store.ActiveSpec, first);
        EXPECT_EQ(store.NumMarked, count);
        EXPECT_EQ(store.NoneMarked, count == 0);
    }
}
