// Subtraction of a base spectrum, interpolated onto each marked spectrum's
// fields and multiplied by a coefficient, previewed and then committed.
#include <QCheckBox>
#include <vector>

#include "Kivo1_3.h"
#include "TChart.h"

void TForm1::SubtrSpec(int commit) {
    const int preview = View.BigPoints ? View.PointSeries2 : View.PointSeries1;
    Ui.Chart1->Clear(preview);
    // The commit says again what the preview could not do: the spectra it
    // skipped have no result now either.
    SubtrNotice = commit ? Work.PreviewNotice : QString();
    // A commit treats only what the preview showed: the base spectrum it was
    // computed with, wherever that stands now (F4 forgets the base choice
    // before its refresh commits), and below, the same marked spectra.
    int b = 0;
    if (!commit) {
        Work.ClearPreview();
        b = Store.BaseSpec >= 1 && Store.BaseSpec <= Store.NumSpec ? Store.BaseSpec : 0;
        if (b != 0) Work.PreviewRef = Store.SpecId[b];
    } else {
        BeginStep(QStringLiteral("Subtraction"));
        b = Store.SlotOf(Work.PreviewRef);
    }
    if (b == 0) { // the base was deleted while its coefficient was typed
        Work.ClearPreview();
        return;
    }
    const bool toNewSlots = Store.NumMarked <= 10;
    const QString baseName = ShortName(Store.FileSpectrumName[b]);
    std::vector<float> result(kivo::MaxPoints);
    const kivo::ParamSpec& base = Store.Params[b];
    const double pb = base.Gain * base.Modulation * double(base.StandartRuby);
    int counter = 0;
    // Results go after the loaded slots; the pass itself treats only these.
    const int loaded = Store.NumSpec;
    for (int i = 1; i <= loaded; ++i) {
        if (!Store.Marked[i] || i == b || (commit && !Previewed(i))) continue;
        const kivo::ParamSpec& p = Store.Params[i];
        const double pi = p.Gain * p.Modulation * double(p.StandartRuby);
        if (Entry.SubtrKoeff == 0) {
            if (pi * pb > 0) {
                Entry.SubtrKoeff = pi / pb;
            } else {
                SubtrNotice += QStringLiteral(" Gain, Mod or St.Ruby for som spectra are unknown");
                continue;
            }
        }
        const QString name = ShortName(Store.FileSpectrumName[i]);
        const std::string description = (name + QStringLiteral(" - ") +
                                         QString::fromStdString(kivo::ShortText(Entry.SubtrKoeff)) +
                                         QStringLiteral("*") + baseName)
                                            .toStdString();
        const kivo::SubtractionResult r = kivo::SubtractInterpolated(
            Store.SpecX[i].Data(), Store.SpecY[i].Data(), p.NumPoints, Store.SpecX[b].Data(),
            Store.SpecY[b].Data(), base.NumPoints, float(Entry.SubtrKoeff), result.data());
        const float* x = Store.SpecX[i].Data() + (r.First - 1);
        const float* y = result.data() + (r.First - 1);
        if (!commit) {
            Work.PreviewFrom[i] = Store.SpecId[i];
            AddPlotted(preview, x, y, r.Count);
            continue;
        }
        // A result must be a spectrum, and must find a place in the store.
        if (r.Count < 2) {
            SubtrNotice +=
                QStringLiteral("   No field overlap with the base: ") + name + QStringLiteral(" ");
            continue;
        }
        const int target = StoreResult(i, toNewSlots, counter, x, y, r.Count, SubtrNotice);
        if (target != 0) SampCondW(143, target, description);
    }
    if (commit)
        Work.ClearPreview();
    else
        Work.PreviewNotice = SubtrNotice;
    SetModeLine(QStringLiteral("   SELECT MODE") + Options.HotKeysHint + SubtrNotice);
}

int TForm1::StoreResult(int source, bool toNewSlot, int& counter, const float* x, const float* y,
                        int count, QString& notice) {
    if (toNewSlot) {
        if (Store.NumSpec >= kivo::MaxSpec) {
            notice += QStringLiteral("   No free slot for the result of ") +
                      ShortName(Store.FileSpectrumName[source]) + QStringLiteral(" ");
            return 0;
        }
        ++counter;
        return NewSlotFrom(source, QString::fromStdString(kivo::ResultName(counter)), x, y, count);
    }
    // Copied out first: in place, the result may be read from its own slot.
    const std::vector<float> fields(x, x + count), values(y, y + count);
    Store.Params[source].NumPoints = static_cast<uint16_t>(count);
    std::copy(fields.begin(), fields.end(), Store.SpecX[source].Data());
    std::copy(values.begin(), values.end(), Store.SpecY[source].Data());
    return source;
}
