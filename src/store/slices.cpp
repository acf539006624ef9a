// The other slices of a series: a read that took only some of them offers
// the first, the last and the step on the mode line's entry, and Enter
// puts the chosen slices where that read's slices were.
#include <QLabel>
#include <algorithm>
#include <utility>
#include <vector>

#include "Kivo1_3.h"
#include "Unit1.h"

namespace {

const QString SlicePrompt = QStringLiteral("  Other slices, first last step: ");

} // namespace

void TForm1::OfferSlices(SliceOffer offer, const QString& said, const QString& typed) {
    const QString text =
        typed.isNull() ? QString::fromStdString(kivo::SliceChoiceText(offer.Choice)) : typed;
    OfferedSlices = std::move(offer);
    OpenEntry(TypedNumber::Slices, said + SlicePrompt, text);
}

void TForm1::EndSliceOffer() {
    if (Entry.Typing == TypedNumber::Slices) {
        Entry.Typing = TypedNumber::None;
        Entry.EntryText.clear();
        Entry.PromptText.clear();
    }
    OfferedSlices = {};
}

void TForm1::TakeSliceChoice(const QString& typed) {
    SliceOffer offer = std::exchange(OfferedSlices, {});
    if (!offer.Files) return;
    // Only the spectra that read made are replaced, and only while every one
    // of them is still loaded.
    std::vector<int> places;
    for (uint32_t id : offer.Ids) {
        const int slot = Store.SlotOf(id);
        if (slot == 0) {
            SetModeLine(
                QStringLiteral("   The slices read are no longer all loaded, none replaced "));
            return;
        }
        places.push_back(slot);
    }
    std::sort(places.begin(), places.end());
    const int slices = offer.Files->Header.Slices;
    const int room = int(places.size()) + kivo::MaxSpec - Store.NumSpec;
    kivo::SliceChoice choice;
    const std::string refused = kivo::ReadSliceChoice(typed.toStdString(), choice)
                                    ? kivo::SliceChoiceRefusal(choice, slices, room)
                                    : "   Not first, last and step: '" + typed.toStdString() + "' ";
    if (!refused.empty()) {
        // Nothing changes; the offer stays for another choice.
        OfferSlices(std::move(offer), QString::fromStdString(refused), typed);
        return;
    }
    CommitPendingWork();
    BeginStep(QStringLiteral("Slices"));
    if (std::find(places.begin(), places.end(), int(Store.BaseSpec)) != places.end())
        RemoveBaseMark();
    const std::vector<int> chosen = kivo::ChosenSlices(choice, slices, room);
    QStringList messages{QString::fromStdString(
        kivo::SlicesTakenNotice(offer.Files->Name, choice, int(chosen.size()), slices))};
    // The read's places first, then the free ones; what is left of the read's
    // places is closed up.
    kivo::SlotArray<bool> keep = kivo::SlotArray<bool>::Filled(true);
    size_t next = 0;
    for (int slot : places)
        keep[slot] =
            next < chosen.size() && ReadSliceInto(*offer.Files, chosen[next++], slot, messages);
    for (; next < chosen.size(); ++next)
        if (ReadSliceInto(*offer.Files, chosen[next], Store.NumSpec + 1, messages)) ++Store.NumSpec;
    for (int i = Store.NumSpec + 1; i <= kivo::MaxSpec; ++i)
        if (Store.SpecX[i].Allocated()) ReleaseSlot(i);
    // Closed up as a deletion is: the boxes say what stays (the close-up
    // reads them), so every spectrum kept is marked after it.
    Work.KeepCount = 0;
    for (int i = 1; i <= Store.NumSpec; ++i) {
        Store.Marked[i] = keep[i];
        SetBoxChecked(i, keep[i]);
        Work.KeepCount = static_cast<uint16_t>(Work.KeepCount + (keep[i] ? 1 : 0));
    }
    if (Work.KeepCount < Store.NumSpec) CompactSlots();
    CheckActivSpec();
    InitAxes();
    Plot();
    ShowMessages(messages);
    refresh(0);
}
