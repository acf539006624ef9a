// The refresh that ends every command: back to the main mode, the store
// consistent, the chart redrawn.
#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTreeWidget>

#include "Kivo1_3.h"
#include "TChart.h"
#include "TLabel.h"
#include "Unit1.h"

void TForm1::refresh(int mode) {
    FileKind = 0;
    TreeView1->hide();
    Memo4->hide();
    Label13->setVisible(NumSpec >= 2);
    MemoEditing = false;
    Label2->clear();
    Label12->clear();
    for (int j = 1; j <= 6; ++j) Chart1->SetActive(AuxSeries[j], false);
    if (mode != 0) return;

    for (TFrame1* f : {Frame16, Frame15, Frame14, Frame12}) f->hide();
    Frame11->show();
    SelectMode = true;
    for (int i = NumSpec + 1; i <= kivo::MaxSpec; ++i) SpecCheck[i]->hide();
    SpectraLoaded = NumSpec != 0;
    if (SpectraLoaded) {
        CheckActivSpec();
        if (NoneMarked) {
            SpecCheck[1]->setChecked(true);
            CheckActivSpec();
        }
        InitAxes();
        XScale = 1.0;
        YScale = 1.0;
        XShift = 0;
        YShift = 0;
        MoveStep = 3000.0;
        Chart1->Clear(PointSeries1);
        Chart1->Clear(PointSeries2);
        for (int j = 1; j <= 5; ++j) Chart1->Clear(AuxSeries[j]);
        for (int i = 1; i <= kivo::MaxSpec; ++i) Chart1->SetActive(SpecSeries[i], false);
        Plot();
        // The zero line was drawn by InitAxes; it stays in view.
        Chart1->SetActive(AuxSeries[6], true);
    }
    AddMode = false;
}

void TForm1::refresh1Click() {
    SetModeLine(QStringLiteral("   SELECT MODE") + HotKeysHint);
    Chart1->SetAxesVisible(false);
    for (QPlainTextEdit* memo : {Memo1, Memo2, Memo3}) memo->hide();
    for (int i = 1; i <= NumSpec; ++i) Chart1->SetActive(SpecSeries[i], true);
    refresh(0);
    FocusCurrentFrame();
}
