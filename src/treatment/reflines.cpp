// Calibration of the field axis on two reference lines: the ruby standard or
// a pair of the Mn2+ sextet, enclosed by four cursors on the active spectrum.
#include <QColor>

#include "Kivo1_3.h"
#include "TChart.h"

namespace {

struct RefPair {
    float r; // field of the first line, G
    float d; // distance to the second line, G
};

RefPair RefPairOf(int kind) {
    switch (kind) {
    case 2:
        return {3196.0f, 86.76f};
    case 3:
        return {3111.42f, 260.34f};
    case 4:
        return {3029.05f, 433.91f};
    default:
        return {2229.0f, 1810.0f};
    }
}

} // namespace

void TForm1::Frame16Label1Click() {
    Mode.RefLineKind = 1;
    ForSearchMnRb(TaskRuby);
}

void TForm1::Frame16Label2Click() {
    Mode.RefLineKind = 2;
    ForSearchMnRb(TaskMn2);
}

void TForm1::Frame16Label3Click() {
    Mode.RefLineKind = 3;
    ForSearchMnRb(TaskMn3);
}

void TForm1::Frame16Label4Click() {
    Mode.RefLineKind = 4;
    ForSearchMnRb(TaskMn4);
}

void TForm1::ForSearchMnRb(Task task) {
    CheckActivSpec();
    if (Store.NoneMarked) {
        SetModeLine(ChooseOneSpectrum);
        return;
    }
    SetModeLine(ModeLine() + Options.ShiftLineHint);
    Ui.Chart1->SetActive(View.AuxSeries[1], true);
    const int n = Store.Params[Store.ActiveSpec].NumPoints;
    Pick.PickIndex[1] = Options.NumAver;
    Pick.PickIndex[2] = 100;
    Pick.PickIndex[4] = n - Options.NumAver;
    Pick.PickIndex[3] = n - Options.NumAver - 100;
    StartPick(task, 4);
}

void TForm1::CalibrateByRefLines() {
    BeginStep(QStringLiteral("Calibration"));
    CheckActivSpec();
    SetModeLine(QStringLiteral("  Treatment  "));
    const RefPair ref = RefPairOf(Mode.RefLineKind);
    const int a = Store.ActiveSpec;
    if (!RangeOnSpectrum(a, {Pick.PickIndex[1], Pick.PickIndex[2]},
                         QStringLiteral("Calibration")) ||
        !RangeOnSpectrum(a, {Pick.PickIndex[3], Pick.PickIndex[4]},
                         QStringLiteral("Calibration"))) {
        Pick.TaskCode = NoTask;
        return;
    }
    double f[5] = {};
    for (int k = 1; k <= 4; ++k) f[k] = Store.SpecX[a][Pick.PickIndex[k]];
    QString refused;
    kivo::SlotArray<bool> calibrated;
    for (int i = 1; i <= Store.NumSpec; ++i) {
        if (!Store.Marked[i]) continue;
        const float* x = Store.SpecX[i].Data();
        const float* y = Store.SpecY[i].Data();
        const int n = Store.Params[i].NumPoints;
        int s1 = Pick.PickIndex[1], e1 = Pick.PickIndex[2], s2 = Pick.PickIndex[3],
            e2 = Pick.PickIndex[4];
        if (i != a) {
            // The same lines found by field in this spectrum.
            s1 = 1;
            while (s1 < n && x[s1 - 1] < f[1]) ++s1;
            e1 = s1;
            while (e1 < n && x[e1 - 1] < f[2]) ++e1;
            e2 = n;
            while (e2 > 1 && x[e2 - 1] > f[4]) --e2;
            s2 = e2;
            while (s2 > 1 && x[s2 - 1] > f[3]) --s2;
        }
        const double c1 = kivo::RangeExtrema(x, y, s1, e1).Centre;
        const double c2 = kivo::RangeExtrema(x, y, s2, e2).Centre;
        // Both lines at one field give no scale: that spectrum stays as it was.
        if (c1 == c2) {
            refused += QStringLiteral("   Both lines at one field, not calibrated: ") +
                       ShortName(Store.FileSpectrumName[i]) + QStringLiteral(" ");
            continue;
        }
        const long double scale = static_cast<long double>(ref.d) / (c2 - c1);
        kivo::TransformValues(Store.SpecX[i].Data(), n, 0, scale, ref.r - c1 * scale);
        SampCondW(Pick.TaskCode, i, {});
        calibrated[i] = true;
    }
    // One axis set-up for all: the view's scale is 1 again, so each line
    // is drawn where its new fields are.
    InitAxes();
    for (int i = 1; i <= Store.NumSpec; ++i) {
        if (!calibrated[i]) continue;
        Ui.Chart1->Clear(View.SpecSeries[i]);
        DrawSpectr(Store.SpecX[i], Store.SpecY[i], View.SpecSeries[i], Store.Params[i].NumPoints,
                   1);
    }
    Parameters(Store.ActiveSpec);
    Mode.RefLineKind = 0;
    const int lines[2] = {View.AuxSeries[5], View.AuxSeries[6]};
    const double fields[2] = {ref.r, double(ref.r) + ref.d};
    for (int j = 0; j < 2; ++j) {
        Ui.Chart1->Clear(lines[j]);
        Ui.Chart1->AddPoint(lines[j], fields[j], 0.97 * View.YHalfRange);
        Ui.Chart1->AddPoint(lines[j], fields[j], 0);
        Ui.Chart1->SetActive(lines[j], true);
        Ui.Chart1->ColourPoints(lines[j], 0, 1, QColor(255, 0, 0));
    }
    Pick.TaskCode = NoTask;
    // The g of the two reference lines where the active spectrum has them now.
    QString gs;
    const double ghz = kivo::FrequencyOf(Store.Params[a]);
    if (calibrated[a] && ghz > 0)
        gs = QStringLiteral("   g = ") +
             QString::fromStdString(kivo::GText(kivo::GValue(ghz, fields[0]))) +
             QStringLiteral(", ") +
             QString::fromStdString(kivo::GText(kivo::GValue(ghz, fields[1]))) +
             QStringLiteral(" ");
    SetModeLine(ModeLine() + gs + refused);
}
