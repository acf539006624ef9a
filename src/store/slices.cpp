// The other slices of a series, or other points of a sweep longer than a
// slot: a read that took only some offers the first, the last and the step
// on the mode line's entry, and Enter puts the spectra chosen where that
// read's spectra were.
#include <QLabel>
#include <algorithm>
#include <utility>
#include <vector>

#include "Kivo1_3.h"
#include "Unit1.h"

namespace {

const QString SlicePrompt = QStringLiteral("  Other slices, first last step: ");
const QString PointPrompt = QStringLiteral("  Points first last step: ");

} // namespace

void TForm1::OfferSlices(SliceOffer offer, const QString& said, const QString& typed) {
    const bool points = !offer.Path.empty();
    const QString text = !typed.isNull() ? typed
                         : points ? QString::fromStdString(kivo::PointChoiceText(offer.Points))
                                  : QString::fromStdString(kivo::SliceChoiceText(offer.Choice));
    OfferedSlices = std::move(offer);
    OpenEntry(TypedNumber::Slices, said + (points ? PointPrompt : SlicePrompt), text);
}

void TForm1::EndSliceOffer() {
    if (Entry.Typing == TypedNumber::Slices) {
        Entry.Typing = TypedNumber::None;
        Entry.EntryText.clear();
        Entry.PromptText.clear();
    }
    OfferedSlices = {};
}

std::vector<int> TForm1::OfferedPlaces(const SliceOffer& offer) {
    // Only the spectra that read made are replaced, and only while every one
    // of them is still loaded.
    std::vector<int> places;
    for (uint32_t id : offer.Ids) {
        const int slot = Store.SlotOf(id);
        if (slot == 0) {
            SetModeLine(
                QStringLiteral("   The spectra read are no longer all loaded, none replaced "));
            return {};
        }
        places.push_back(slot);
    }
    std::sort(places.begin(), places.end());
    return places;
}

void TForm1::TakeSliceChoice(const QString& typed) {
    SliceOffer offer = std::exchange(OfferedSlices, {});
    if (!offer.Path.empty()) return TakePointChoice(std::move(offer), typed);
    if (!offer.Files) return;
    const std::vector<int> places = OfferedPlaces(offer);
    if (places.empty()) return;
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
    const std::vector<int> chosen = kivo::ChosenSlices(choice, slices, room);
    const kivo::SpectrometerFiles& files = *offer.Files;
    ReplaceRead(places, QStringLiteral("Slices"),
                {QString::fromStdString(
                    kivo::SlicesTakenNotice(files.Name, choice, int(chosen.size()), slices))},
                [&](const kivo::LoadSink& sink) {
                    kivo::LoadedSpectrum s;
                    for (int number : chosen) {
                        kivo::LoadSlice(files, number, s);
                        sink.Spectrum(s);
                    }
                });
}

void TForm1::TakePointChoice(SliceOffer offer, const QString& typed) {
    const std::vector<int> places = OfferedPlaces(offer);
    if (places.empty()) return;
    kivo::PointChoice choice, taken;
    std::string refused = kivo::ReadPointChoice(typed.toStdString(), choice)
                              ? kivo::ResolvePoints(choice, nullptr, offer.SweepPoints, taken)
                              : "Not first, last and step: '" + typed.toStdString() + "'";
    if (!refused.empty()) {
        OfferSlices(std::move(offer), QStringLiteral("   ") + QString::fromStdString(refused) + ' ',
                    typed);
        return;
    }
    ReplaceRead(places, QStringLiteral("Points"), {}, [&](const kivo::LoadSink& sink) {
        kivo::LoadSpectra(offer.Path, nullptr, int(places.size()) + kivo::MaxSpec - Store.NumSpec,
                          sink, choice);
    });
}

void TForm1::ReplaceRead(std::vector<int> places, const QString& step, QStringList messages,
                         const std::function<void(const kivo::LoadSink&)>& produce) {
    CommitPendingWork();
    BeginStep(step);
    if (std::find(places.begin(), places.end(), int(Store.BaseSpec)) != places.end())
        RemoveBaseMark();
    // The read's places first, then the free ones; what is left of the read's
    // places is closed up.
    kivo::SlotArray<bool> keep = kivo::SlotArray<bool>::Filled(true);
    size_t next = 0;
    produce({[&](const std::string& notice) { messages << QString::fromLocal8Bit(notice); },
             [&](kivo::LoadedSpectrum& s) {
                 if (next < places.size()) {
                     keep[places[next]] = PlaceLoaded(s, places[next], messages);
                     ++next;
                 } else if (Store.NumSpec < kivo::MaxSpec &&
                            PlaceLoaded(s, Store.NumSpec + 1, messages)) {
                     ++Store.NumSpec;
                 }
             }});
    for (; next < places.size(); ++next) keep[places[next]] = false;
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
