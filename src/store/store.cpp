// The store's commands: filling and emptying slots, reading spectrum files
// into slots (ReadClick) and saving the marked spectra (WriteClick).
#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QSignalBlocker>

#include "Kivo1_3.h"
#include "TChart.h"
#include "Unit1.h"

namespace {

std::string LocalPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

} // namespace

QString ShortName(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    return name.size() > 3 ? name.chopped(4) : name;
}

void TForm1::AllocateSlot(int slot) {
    SpecX[slot].Allocate();
    SpecY[slot].Allocate();
    SpecId[slot] = ++LastSpecId;
}

void TForm1::ReleaseSlot(int slot) {
    SpecX[slot].Release();
    SpecY[slot].Release();
    SavedX[slot].Release();
    SavedY[slot].Release();
    SpecId[slot] = 0;
    PreviewFrom[slot] = 0;
    Params[slot] = kivo::ParamSpec{};
    FileSpectrumName[slot].clear();
    // An emptied slot is not a user's unmarking: no click handler runs.
    const QSignalBlocker quiet(SpecCheck[slot]);
    SpecCheck[slot]->setChecked(false);
    SpecCheck[slot]->hide();
    Chart1->Clear(SpecSeries[slot]);
    Chart1->SetActive(SpecSeries[slot], false);
}

void TForm1::SetBoxChecked(int slot, bool checked) {
    LastCheckClickTime = 0;
    SpecCheck[slot]->setChecked(checked);
    // Nor does the user's next click become the second click of this one.
    LastCheckClickTime = 0;
}

void TForm1::RemoveBaseMark() {
    if (BaseSpec == 0) return;
    QCheckBox* box = SpecCheck[BaseSpec];
    box->setFixedWidth(80);
    if (box->text().endsWith(BaseMark)) box->setText(box->text().chopped(BaseMark.size()));
    BaseSpec = 0;
}

void TForm1::ReadClick() {
    ReadError = 0;
    NumSpecBefore = NumSpec;
    SetModeLine(QStringLiteral(" "));

    const bool chosen = OpenDialog1.Execute(this);
    FocusCurrentFrame();
    if (!chosen || !QFileInfo::exists(OpenDialog1.FileName)) {
        SetModeLine(QStringLiteral("    FileSpectrum  is not found "));
        // A comparison read that was given up must not make the next read add.
        AddMode = false;
        return;
    }
    // The loaded spectra are about to be replaced or joined: what a preview
    // left pending goes into the spectra it was computed from first.
    CommitPendingWork();
    if (!AddMode) {
        NumSpec = 0;
        RemoveBaseMark();
    }

    const QStringList files = OpenDialog1.Files();
    int target = int(files.size()) + NumSpec;
    if (target > kivo::MaxSpec) {
        SetModeLine(ModeLine() + QStringLiteral(" number of spec. is limited 20;"));
        target = kivo::MaxSpec;
    }

    // A file that fails leaves its slot to the next file, so the occupied
    // slots stay 1..NumSpec without a gap.
    int loaded = NumSpec;
    const int fileCount = target - NumSpec;
    for (int f = 0; f < fileCount && loaded < kivo::MaxSpec; ++f) {
        const int slot = loaded + 1;
        const QString& path = files.at(f);
        AllocateSlot(slot);
        FileSpectrumName[slot] = path;
        const QString shortName = ShortName(path);
        FileKind = kivo::FileKindOf(LocalPath(QFileInfo(path).fileName()));
        const QString refused = QStringLiteral("    FileSpectrum ") + shortName +
                                QStringLiteral(" is not prepared properly ");

        if (FileKind != kivo::KindEsr && FileKind != kivo::KindTxt) {
            SetModeLine(refused);
            ReleaseSlot(slot);
            continue;
        }
        ReadError = 0;
        const kivo::ReadResult result = kivo::ReadSpectrumFile(
            LocalPath(path), FileKind, Params[slot], SpecX[slot], SpecY[slot]);
        if (result.Status == kivo::ReadStatus::CannotOpen) ReadError = 1;
        if (result.Status != kivo::ReadStatus::Ok || Params[slot].NumPoints < 2 || ReadError != 0) {
            QString text = refused;
            if (result.Status == kivo::ReadStatus::BadPointLine)
                text += QStringLiteral("line %1 ").arg(result.Line);
            SetModeLine(text);
            ReleaseSlot(slot);
            continue;
        }
        if (result.Truncated)
            SetModeLine(QStringLiteral("    FileSpectrum ") + shortName +
                        QStringLiteral(" has more than %1 points; the first %1 are read ")
                            .arg(kivo::MaxPoints));
        QCheckBox* box = SpecCheck[slot];
        box->setFixedWidth(80);
        box->setText(shortName);
        box->show();
        SetBoxChecked(slot, true);
        Chart1->SetActive(SpecSeries[slot], true);
        ++loaded;
    }
    NumSpec = static_cast<uint16_t>(loaded);
    for (int i = NumSpec + 1; i <= kivo::MaxSpec; ++i)
        if (SpecX[i].Allocated()) ReleaseSlot(i);

    if (NumSpec > 0) {
        SpectraLoaded = true;
        CheckActivSpec();
        for (QPlainTextEdit* memo : {Memo1, Memo2, Memo3}) memo->show();
        InitAxes();
        Plot();
    }
    refresh(0);
    Frame11->Edit1->setFocus(Qt::OtherFocusReason);
}

void TForm1::WriteClick() {
    CheckActivSpec();
    for (int b = 1; b <= NumSpec; ++b) {
        Parameters(b);
        if (!Marked[b]) continue;
        SaveDialog1.FileName = FileSpectrumName[b];
        const bool chosen = SaveDialog1.Execute(this);
        FocusCurrentFrame();
        if (!chosen) continue;
        const QString path = SaveDialog1.FileName;
        std::string error;
        if (!kivo::WriteSpectrumFile(Params[b], SpecX[b].Data(), SpecY[b].Data(), LocalPath(path),
                                     error)) {
            SetModeLine(QStringLiteral("    FileSpectrum ") + ShortName(path) +
                        QStringLiteral(" is not saved: ") + QString::fromLocal8Bit(error.c_str()) +
                        QStringLiteral(" "));
            continue;
        }
        FileSpectrumName[b] = path;
        // The base spectrum keeps its mark behind the new name.
        SpecCheck[b]->setText(ShortName(path) + (b == BaseSpec ? BaseMark : QString()));
    }
    Parameters(ActiveSpec);
}
