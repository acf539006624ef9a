// The store's commands: filling and emptying slots, reading spectrum files
// into slots (ReadClick) and saving the marked spectra (WriteClick).
#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

#include "Kivo1_3.h"
#include "TChart.h"
#include "Unit1.h"

namespace {

// The entry of directory dir ("" for the working directory) that Qt shows
// as name, when there is exactly one; else name in the local encoding.
std::string EntryShownAs(const std::string& dir, const QString& name) {
    namespace fs = std::filesystem;
    std::error_code ec;
    std::string found;
    int matches = 0;
    for (fs::directory_iterator it(dir.empty() ? "." : dir, ec), end; !ec && it != end;
         it.increment(ec)) {
        std::string entry = it->path().filename().string();
        if (QFile::decodeName(QByteArray::fromStdString(entry)) == name && ++matches == 1)
            found = std::move(entry);
    }
    return matches == 1 ? found : QFile::encodeName(name).toStdString();
}

// The path of a file as the file system holds it. Qt shows a name that is
// not UTF-8 with U+FFFD for its stray bytes, which QFile::encodeName cannot
// give back: each such part of the path is found among its directory's
// entries.
std::string LocalPath(const QString& path) {
    std::string bytes = QFile::encodeName(path).toStdString();
    std::error_code ec;
    if (!path.contains(QChar::ReplacementCharacter) ||
        std::filesystem::exists(std::filesystem::symlink_status(bytes, ec)))
        return bytes;
    bytes.clear();
    const QStringList parts = path.split(QLatin1Char('/'));
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (i > 0) bytes += '/';
        const QString& part = parts.at(i);
        bytes += part.contains(QChar::ReplacementCharacter) ? EntryShownAs(bytes, part)
                                                            : QFile::encodeName(part).toStdString();
    }
    return bytes;
}

// The selection with each spectrometer pair once: its two files chosen
// together are one spectrum, named by the first of them.
QStringList OnePerSpectrum(const QStringList& files) {
    std::vector<std::string> paths;
    for (const QString& f : files) paths.push_back(LocalPath(f));
    QStringList kept;
    for (size_t f : kivo::OnePerSpectrum(paths)) kept << files.at(qsizetype(f));
    return kept;
}

} // namespace

QString ShortName(const QString& path) {
    return QString::fromLocal8Bit(kivo::ShortName(LocalPath(path)));
}

void TForm1::PutSlot(int slot, const SlotState& state) {
    if (!state.Filled) {
        ReleaseSlot(slot);
        return;
    }
    Store.PutSlot(slot, state);
    DrawBox(slot);
}

void TForm1::ReleaseSlot(int slot) {
    Store.EmptySlot(slot);
    Work.PreviewFrom[slot] = 0;
    // An emptied slot is not a user's unmarking: no click handler runs.
    const QSignalBlocker quiet(Ui.SpecCheck[slot]);
    Ui.SpecCheck[slot]->setChecked(false);
    Ui.SpecCheck[slot]->hide();
    DrawBox(slot);
    Ui.Chart1->Clear(View.SpecSeries[slot]);
    Ui.Chart1->SetActive(View.SpecSeries[slot], false);
}

void TForm1::FillSlot(int slot, const QString& caption, const QString& file) {
    Store.SpecCaption[slot] = caption;
    Store.FileSpectrumName[slot] = file;
    DrawBox(slot);
    Ui.SpecCheck[slot]->show();
    SetBoxChecked(slot, true);
    Ui.Chart1->SetActive(View.SpecSeries[slot], true);
}

QString TForm1::BoxText(int slot) const {
    return Ui.SpecCheck[slot]->text();
}

void TForm1::DrawBox(int slot) {
    QCheckBox* box = Ui.SpecCheck[slot];
    const bool standard = Store.SpinStandardId != 0 && Store.SpecId[slot] == Store.SpinStandardId;
    box->setText(Store.SpecCaption[slot] + (slot == Store.BaseSpec ? BaseMark : QString()) +
                 (standard ? SpinStandardMark : QString()));
    box->setFixedWidth(slot == Store.BaseSpec || standard ? 120 : 80);
}

void TForm1::SetBoxChecked(int slot, bool checked) {
    Mode.LastCheckClickTime = 0;
    // A box a command ticks is no user's choice of the base spectrum.
    const bool choosing = Mode.BaseChoicePending;
    Mode.BaseChoicePending = false;
    Ui.SpecCheck[slot]->setChecked(checked);
    Mode.BaseChoicePending = choosing;
    // Nor does the user's next click become the second click of this one.
    Mode.LastCheckClickTime = 0;
}

void TForm1::RemoveBaseMark() {
    const int base = Store.BaseSpec;
    if (base == 0) return;
    Store.BaseSpec = 0;
    DrawBox(base);
}

void TForm1::ShowMessages(const QStringList& messages) {
    // The mode line shows what its room holds; the tooltip lists them all.
    SetModeLine(messages.join(QString()));
    QStringList lines;
    for (const QString& m : messages) lines << m.trimmed();
    Ui.Label3->setToolTip(lines.join(QLatin1Char('\n')));
}

void TForm1::ReadClick() {
    EndSliceOffer(); // even when the dialog is given up
    SetModeLine(QStringLiteral(" "));
    const QStringList files = ChooseSpectrumFiles();
    if (!files.isEmpty()) ReadChosen(files);
}

void TForm1::OpenFiles(const QStringList& paths, bool add) {
    QStringList files;
    for (const QString& p : paths) files << QFileInfo(p).absoluteFilePath();
    if (files.isEmpty()) return;
    Guarded("OpenFiles", [&] {
        SetModeLine(QStringLiteral(" "));
        Mode.AddMode = add;
        ReadChosen(OnePerSpectrum(files));
    });
}

void TForm1::ReadChosen(const QStringList& files) {
    // The loaded spectra are about to be replaced or joined: what a preview
    // left pending goes into the spectra it was computed from first. Only a
    // read that goes ahead replaces the base spectrum with the others.
    CommitPendingWork();
    BeginStep(QStringLiteral("Read"));
    if (!Mode.AddMode) {
        Store.NumSpec = 0;
        RemoveBaseMark();
    }
    QStringList messages; // every refusal and notice of this read, in order
    int target = int(files.size()) + Store.NumSpec;
    if (target > kivo::MaxSpec) {
        // Appended to the blank the read starts with.
        messages << QStringLiteral(" ") + QStringLiteral(" number of spec. is limited 20;");
        target = kivo::MaxSpec;
    }
    SliceOffer offer;
    PlaceSpectra(files, ReadSpectra(files, target - Store.NumSpec), messages, offer);

    if (Store.NumSpec > 0) {
        Mode.SpectraLoaded = true;
        CheckActivSpec();
        for (QPlainTextEdit* memo : {Ui.Memo1, Ui.Memo2, Ui.Memo3}) memo->show();
        InitAxes();
        Plot();
    } else {
        // Nothing is loaded: the panel shows no spectrum that is gone.
        Parameters(0);
        for (QPlainTextEdit* memo : {Ui.Memo1, Ui.Memo2, Ui.Memo3}) memo->hide();
    }
    if (!messages.isEmpty()) ShowMessages(messages);
    refresh(0);
    if (offer.Files || !offer.Path.empty()) {
        // The mode line keeps what the read said, the tooltip its whole list.
        const QString listed = Ui.Label3->toolTip();
        OfferSlices(std::move(offer), ModeLine(), QString());
        Ui.Label3->setToolTip(listed);
    }
    Ui.Frame11->Edit1->setFocus(Qt::OtherFocusReason);
}

QStringList TForm1::ChooseSpectrumFiles() {
    const bool chosen = Ui.OpenDialog1.Execute(this);
    FocusCurrentFrame();
    std::error_code ec;
    if (!chosen || !std::filesystem::exists(LocalPath(Ui.OpenDialog1.FileName), ec)) {
        SetModeLine(QStringLiteral("    FileSpectrum  is not found "));
        // A comparison read that was given up must not make the next read add.
        Mode.AddMode = false;
        return {};
    }
    return OnePerSpectrum(Ui.OpenDialog1.Files());
}

std::vector<kivo::SpectrumRead> TForm1::ReadSpectra(const QStringList& files, int count) {
    // The files are read together; the slots are filled in the selection's order.
    std::vector<kivo::SpectrumRead> reads(size_t(std::max(count, 0)));
    for (size_t f = 0; f < reads.size(); ++f)
        kivo::PrepareSpectrumRead(LocalPath(files.at(qsizetype(f))), reads[f]);
    kivo::ReadSpectrumFiles(reads);
    return reads;
}

void TForm1::PlaceSpectra(const QStringList& files, std::vector<kivo::SpectrumRead> reads,
                          QStringList& messages, SliceOffer& offer) {
    // A file that fails leaves its slot to the next file, so the occupied
    // slots stay 1..NumSpec without a gap.
    int loaded = Store.NumSpec;
    for (size_t f = 0; f < reads.size(); ++f) {
        // A column file may have filled the slots the later files counted on.
        if (loaded >= kivo::MaxSpec) {
            messages << QStringLiteral("  number of spec. is limited 20;");
            break;
        }
        kivo::SpectrumRead& read = reads[f];
        // A slot is kept for each file after a series.
        const int room = kivo::MaxSpec - loaded - (read.Series ? int(reads.size() - f - 1) : 0);
        kivo::SliceChoice choice;
        if (read.Series) choice = kivo::DefaultSlices(read.Series->Header.Slices, room);
        const int before = loaded;
        kivo::LoadedSpectrum sweep; // how the file's first long sweep was taken
        kivo::LoadSpectra(
            LocalPath(files.at(qsizetype(f))), read, read.Series ? &choice : nullptr, room,
            {[&](const std::string& notice) { messages << QString::fromLocal8Bit(notice); },
             [&](kivo::LoadedSpectrum& s) {
                 if (sweep.SweepPoints == 0 && s.SweepPoints > 0) {
                     sweep.SweepPoints = s.SweepPoints;
                     sweep.Taken = s.Taken;
                 }
                 if (loaded < kivo::MaxSpec && PlaceLoaded(s, loaded + 1, messages)) ++loaded;
             }});
        // The first series not taken whole offers its other slices; the
        // first long sweep, other points of it.
        SliceOffer made;
        if (read.Series && loaded - before < read.Series->Header.Slices)
            made = {read.Series, choice, {}, {}, {}, 0};
        else if (!read.Series && sweep.SweepPoints > 0)
            made = {nullptr,          {}, {}, LocalPath(files.at(qsizetype(f))), sweep.Taken,
                    sweep.SweepPoints};
        if (!offer.Files && offer.Path.empty() && loaded > before &&
            (made.Files || !made.Path.empty())) {
            for (int slot = before + 1; slot <= loaded; ++slot)
                made.Ids.push_back(Store.SpecId[slot]);
            offer = std::move(made);
        }
    }
    Store.NumSpec = static_cast<uint16_t>(loaded);
    for (int i = Store.NumSpec + 1; i <= kivo::MaxSpec; ++i)
        if (Store.SpecX[i].Allocated()) ReleaseSlot(i);
}

bool TForm1::PlaceLoaded(kivo::LoadedSpectrum& s, int slot, QStringList& messages) {
    if (!s.Refusal.empty()) {
        messages << QString::fromLocal8Bit(s.Refusal);
        return false;
    }
    Store.SpecX[slot] = std::move(s.X);
    Store.SpecY[slot] = std::move(s.Y);
    Store.SpecId[slot] = ++Store.LastSpecId; // a new spectrum in the slot
    std::swap(Store.Params[slot], s.Params);
    // A spectrometer's own files are never written: a save goes beside them.
    FillSlot(slot, QString::fromLocal8Bit(s.Caption), QString::fromLocal8Bit(s.FileName));
    return true;
}

void TForm1::WriteClick() {
    CheckActivSpec();
    QStringList failures;
    QStringList saved;
    for (int b = 1; b <= Store.NumSpec; ++b) {
        Parameters(b);
        if (!Store.Marked[b]) continue;
        Ui.SaveDialog1.FileName = Store.FileSpectrumName[b];
        const bool chosen = Ui.SaveDialog1.Execute(this);
        FocusCurrentFrame();
        if (!chosen) continue;
        const QString path = Ui.SaveDialog1.FileName;
        std::string error;
        if (!kivo::SaveSpectrumFile(Store.Params[b], Store.SpecX[b].Data(), Store.SpecY[b].Data(),
                                    LocalPath(path), error)) {
            failures << QString::fromLocal8Bit(
                kivo::SaveRefusal(kivo::ShortName(LocalPath(path)), error));
            continue;
        }
        saved << ShortName(path);
        Store.FileSpectrumName[b] = path;
        Store.SpecCaption[b] = ShortName(path);
        DrawBox(b); // the base spectrum keeps its mark behind the new name
        // A save changes no spectrum: the new name is no step to undo.
        Store.Shadow[b].File = path;
        Store.Shadow[b].Caption = ShortName(path);
    }
    Parameters(Store.ActiveSpec);
    if (!failures.isEmpty()) {
        ShowMessages(failures);
        SaveFailureShown = ModeLine();
    } else if (!saved.isEmpty() && !SaveFailureShown.isEmpty() && ModeLine() == SaveFailureShown) {
        // An earlier failure is not left standing over saves that went well.
        ShowMessages({QStringLiteral("    FileSpectrum ") + saved.join(QStringLiteral(", ")) +
                      QStringLiteral(" saved ")});
    }
}
