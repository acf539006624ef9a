// Smoothing of the marked spectra: a moving average, or means of blocks of
// points; previewed after the two numbers are typed, committed by the refresh.
#include <vector>

#include "Kivo1_3.h"
#include "TChart.h"

void TForm1::Frame16Label6Click() {
    CheckActivSpec();
    if (Store.NoneMarked) {
        SetModeLine(ChooseOneSpectrum);
        return;
    }
    Work.SmoothEntry = true;
    Entry.PromptText = QStringLiteral("   Smoothing, Num Smoothing =");
    SetModeLine(Entry.PromptText);
    Entry.NumSmoothIn = 0;
    Entry.NumRestrictIn = 0;
    Entry.EntryText.clear();
}

void TForm1::SmoothSpec(int commit) {
    CheckActivSpec();
    const int preview = View.BigPoints ? View.PointSeries2 : View.PointSeries1;
    Ui.Chart1->Clear(preview);
    std::vector<float> xo(kivo::MaxPoints), yo(kivo::MaxPoints);
    if (!commit) {
        Work.ClearPreview();
        for (int i = 1; i <= Store.NumSpec; ++i) {
            if (!Store.Marked[i]) continue;
            const int m = kivo::SmoothPoints(Entry.NumSmoothIn, Entry.NumRestrictIn,
                                             Store.SpecX[i].Data(), Store.SpecY[i].Data(),
                                             Store.Params[i].NumPoints, xo.data(), yo.data());
            AddPlotted(preview, xo.data(), yo.data(), m);
            Work.PreviewFrom[i] = Store.SpecId[i];
        }
        return;
    }
    BeginStep(QStringLiteral("Smoothing"));
    // Only what the preview showed is committed; the count of marked spectra
    // taken now decides for all of them whether results get new slots.
    const bool toNewSlots = Store.NumMarked <= 10;
    const int loaded = Store.NumSpec;
    int counter = 0;
    for (int i = 1; i <= loaded; ++i) {
        if (!Previewed(i)) continue;
        const int m = kivo::SmoothPoints(Entry.NumSmooth, Entry.NumRestrict, Store.SpecX[i].Data(),
                                         Store.SpecY[i].Data(), Store.Params[i].NumPoints,
                                         xo.data(), yo.data());
        const std::string source = Store.FileSpectrumName[i].toLocal8Bit().toStdString();
        const kivo::SmoothingResult result = kivo::SmoothingResultOf(source, Entry.NumSmooth, m);
        if (!result.Refusal.empty()) {
            SubtrNotice += QString::fromLocal8Bit(result.Refusal);
            continue;
        }
        const int target =
            StoreResult(i, toNewSlots, counter, xo.data(), yo.data(), m, SubtrNotice);
        if (target != 0) SampCondW(166, target, result.Note);
    }
    Work.ClearPreview();
    Parameters(Store.ActiveSpec);
}
