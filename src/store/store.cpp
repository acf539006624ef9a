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

void TForm1::AllocateSlot(int slot) {
    SpecX[slot].Allocate();
    SpecY[slot].Allocate();
    SpecId[slot] = ++LastSpecId;
}

void TForm1::ReleaseSlot(int slot) {
    EmptySlotFields(slot);
    SavedX[slot].Release();
    SavedY[slot].Release();
    PreviewFrom[slot] = 0;
    // An emptied slot is not a user's unmarking: no click handler runs.
    const QSignalBlocker quiet(SpecCheck[slot]);
    SpecCheck[slot]->setChecked(false);
    SpecCheck[slot]->hide();
    DrawBox(slot);
    Chart1->Clear(SpecSeries[slot]);
    Chart1->SetActive(SpecSeries[slot], false);
}

void TForm1::FillSlot(int slot, const QString& caption, const QString& file) {
    AdoptBoxText(slot);
    SpecCaption[slot] = caption;
    FileSpectrumName[slot] = file;
    DrawBox(slot);
    SpecCheck[slot]->show();
    SetBoxChecked(slot, true);
    Chart1->SetActive(SpecSeries[slot], true);
}

int TForm1::SlotOf(uint32_t id) const {
    for (int i = 1; i <= NumSpec && id != 0; ++i)
        if (SpecId[i] == id) return i;
    return 0;
}

QString TForm1::BoxText(int slot) const {
    return SpecCheck[slot]->text();
}

void TForm1::DrawBox(int slot) {
    QCheckBox* box = SpecCheck[slot];
    const bool standard = SpinStandardId != 0 && SpecId[slot] == SpinStandardId;
    BoxDrawn[slot] = SpecCaption[slot] + (slot == BaseSpec ? BaseMark : QString()) +
                     (standard ? SpinStandardMark : QString());
    box->setText(BoxDrawn[slot]);
    box->setFixedWidth(slot == BaseSpec || standard ? 120 : 80);
}

void TForm1::AdoptBoxText(int slot) {
    const QString text = SpecCheck[slot]->text();
    if (text == BoxDrawn[slot]) return;
    QString caption = text;
    for (const QString& mark : {SpinStandardMark, BaseMark})
        if (caption.endsWith(mark)) caption.chop(mark.size());
    SpecCaption[slot] = caption;
    BoxDrawn[slot] = text;
}

void TForm1::AdoptBoxTexts() {
    for (int i = 1; i <= kivo::MaxSpec; ++i) AdoptBoxText(i);
}

void TForm1::SetBoxChecked(int slot, bool checked) {
    LastCheckClickTime = 0;
    // A box a command ticks is no user's choice of the base spectrum.
    const bool choosing = BaseChoicePending;
    BaseChoicePending = false;
    SpecCheck[slot]->setChecked(checked);
    BaseChoicePending = choosing;
    // Nor does the user's next click become the second click of this one.
    LastCheckClickTime = 0;
}

void TForm1::RemoveBaseMark() {
    const int base = BaseSpec;
    if (base == 0) return;
    AdoptBoxText(base);
    BaseSpec = 0;
    DrawBox(base);
}

void TForm1::ShowMessages(const QStringList& messages) {
    // The mode line shows what its room holds; the tooltip lists them all.
    SetModeLine(messages.join(QString()));
    QStringList lines;
    for (const QString& m : messages) lines << m.trimmed();
    Label3->setToolTip(lines.join(QLatin1Char('\n')));
}

void TForm1::ReadClick() {
    EndSliceOffer(); // even when the dialog is given up
    ReadError = 0;
    NumSpecBefore = NumSpec;
    SetModeLine(QStringLiteral(" "));
    const QStringList files = ChooseSpectrumFiles();
    if (!files.isEmpty()) ReadChosen(files);
}

void TForm1::OpenFiles(const QStringList& paths, bool add) {
    QStringList files;
    for (const QString& p : paths) files << QFileInfo(p).absoluteFilePath();
    if (files.isEmpty()) return;
    Guarded("OpenFiles", [&] {
        ReadError = 0;
        NumSpecBefore = NumSpec;
        SetModeLine(QStringLiteral(" "));
        AddMode = add;
        ReadChosen(OnePerSpectrum(files));
    });
}

void TForm1::ReadChosen(const QStringList& files) {
    // The loaded spectra are about to be replaced or joined: what a preview
    // left pending goes into the spectra it was computed from first. Only a
    // read that goes ahead replaces the base spectrum with the others.
    CommitPendingWork();
    BeginStep(QStringLiteral("Read"));
    if (!AddMode) {
        NumSpec = 0;
        RemoveBaseMark();
    }
    QStringList messages; // every refusal and notice of this read, in order
    int target = int(files.size()) + NumSpec;
    if (target > kivo::MaxSpec) {
        // Appended to the blank the read starts with.
        messages << QStringLiteral(" ") + QStringLiteral(" number of spec. is limited 20;");
        target = kivo::MaxSpec;
    }
    SliceOffer offer;
    PlaceSpectra(files, ReadSpectra(files, target - NumSpec), messages, offer);

    if (NumSpec > 0) {
        SpectraLoaded = true;
        CheckActivSpec();
        for (QPlainTextEdit* memo : {Memo1, Memo2, Memo3}) memo->show();
        InitAxes();
        Plot();
    } else {
        // Nothing is loaded: the panel shows no spectrum that is gone.
        Parameters(0);
        for (QPlainTextEdit* memo : {Memo1, Memo2, Memo3}) memo->hide();
    }
    if (!messages.isEmpty()) ShowMessages(messages);
    refresh(0);
    if (offer.Files) {
        // The mode line keeps what the read said, the tooltip its whole list.
        const QString listed = Label3->toolTip();
        OfferSlices(std::move(offer), ModeLine(), QString());
        Label3->setToolTip(listed);
    }
    Frame11->Edit1->setFocus(Qt::OtherFocusReason);
}

QStringList TForm1::ChooseSpectrumFiles() {
    const bool chosen = OpenDialog1.Execute(this);
    FocusCurrentFrame();
    std::error_code ec;
    if (!chosen || !std::filesystem::exists(LocalPath(OpenDialog1.FileName), ec)) {
        SetModeLine(QStringLiteral("    FileSpectrum  is not found "));
        // A comparison read that was given up must not make the next read add.
        AddMode = false;
        return {};
    }
    return OnePerSpectrum(OpenDialog1.Files());
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
    int loaded = NumSpec;
    for (size_t f = 0; f < reads.size(); ++f) {
        // A column file may have filled the slots the later files counted on.
        if (loaded >= kivo::MaxSpec) {
            messages << QStringLiteral("  number of spec. is limited 20;");
            break;
        }
        kivo::SpectrumRead& read = reads[f];
        const QString& path = files.at(qsizetype(f));
        const std::string shortLocal = kivo::ShortName(LocalPath(path));
        FileKind = read.Kind;
        if (FileKind == kivo::KindDat) {
            loaded = ImportColumns(path, loaded, messages);
            continue;
        }
        if (read.Series) {
            // A slot is kept for each file after the series.
            const int room = kivo::MaxSpec - loaded - int(reads.size() - f - 1);
            const int slices = read.Series->Header.Slices;
            const kivo::SliceChoice choice = kivo::DefaultSlices(slices, room);
            const int before = loaded;
            loaded = PlaceSeries(*read.Series, choice, loaded, room, messages);
            // The first series not taken whole offers its other slices.
            if (!offer.Files && loaded > before && loaded - before < slices) {
                offer = {read.Series, choice, {}};
                for (int slot = before + 1; slot <= loaded; ++slot)
                    offer.Ids.push_back(SpecId[slot]);
            }
            continue;
        }
        const kivo::ReadResult& result = read.Result;
        ReadError = result.Status == kivo::ReadStatus::CannotOpen ? 1 : 0;
        const std::string refused = kivo::ReadRefusal(shortLocal, result, read.Params.NumPoints);
        if (!refused.empty()) {
            messages << QString::fromLocal8Bit(refused);
            continue;
        }
        const std::string notice = kivo::ReadNotice(shortLocal, result);
        if (!notice.empty()) messages << QString::fromLocal8Bit(notice);
        const int slot = loaded + 1;
        SpecX[slot] = std::move(read.X);
        SpecY[slot] = std::move(read.Y);
        SpecId[slot] = ++LastSpecId; // a new spectrum in the slot
        std::swap(Params[slot], read.Params);
        // A spectrometer's own files are never written: a save goes beside them.
        FillSlot(slot, ShortName(path),
                 QString::fromLocal8Bit(kivo::SpectrumFileName(LocalPath(path), FileKind, 0)));
        ++loaded;
    }
    NumSpec = static_cast<uint16_t>(loaded);
    for (int i = NumSpec + 1; i <= kivo::MaxSpec; ++i)
        if (SpecX[i].Allocated()) ReleaseSlot(i);
}

int TForm1::ImportColumns(const QString& path, int loaded, QStringList& messages) {
    kivo::ColumnFileSpectra file = kivo::ReadColumnSpectra(LocalPath(path), kivo::MaxSpec - loaded);
    if (!file.Refusal.empty()) messages << QString::fromLocal8Bit(file.Refusal);
    for (const std::string& notice : file.Notices) messages << QString::fromLocal8Bit(notice);
    for (kivo::ColumnFileSpectrum& s : file.Spectra) {
        if (!s.Refusal.empty()) {
            messages << QString::fromLocal8Bit(s.Refusal);
            continue;
        }
        const int slot = loaded + 1;
        AllocateSlot(slot);
        Params[slot] = std::move(s.Params);
        std::copy(s.X.begin(), s.X.end(), SpecX[slot].Data());
        std::copy(s.Y.begin(), s.Y.end(), SpecY[slot].Data());
        FillSlot(slot, QString::fromLocal8Bit(s.Caption), QString::fromLocal8Bit(s.FileName));
        loaded = slot;
    }
    return loaded;
}

int TForm1::PlaceSeries(const kivo::SpectrometerFiles& files, const kivo::SliceChoice& choice,
                        int loaded, int room, QStringList& messages) {
    const int slices = files.Header.Slices;
    const std::string notice = kivo::ReadNotice(files.Name, files.Header.Result);
    if (!notice.empty()) messages << QString::fromLocal8Bit(notice);
    const std::vector<int> chosen = kivo::ChosenSlices(choice, slices, std::max(room, 1));
    if (int(chosen.size()) < slices)
        messages << QString::fromLocal8Bit(
            kivo::SlicesTakenNotice(files.Name, choice, int(chosen.size()), slices));
    for (int number : chosen) {
        if (loaded >= kivo::MaxSpec) break;
        if (ReadSliceInto(files, number, loaded + 1, messages)) ++loaded;
    }
    return loaded;
}

bool TForm1::ReadSliceInto(const kivo::SpectrometerFiles& files, int number, int slot,
                           QStringList& messages) {
    AllocateSlot(slot);
    const kivo::SeriesSlice s =
        kivo::ReadSeriesSlice(files, number, Params[slot], SpecX[slot].Data(), SpecY[slot].Data());
    const std::string refused = kivo::ReadRefusal(s.Caption, s.Result, Params[slot].NumPoints);
    if (!refused.empty()) {
        messages << QString::fromLocal8Bit(refused);
        return false;
    }
    FillSlot(slot, QString::fromLocal8Bit(s.Caption), QString::fromLocal8Bit(s.FileName));
    return true;
}

void TForm1::WriteClick() {
    CheckActivSpec();
    QStringList failures;
    QStringList saved;
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
            failures << QString::fromLocal8Bit(
                kivo::SaveRefusal(kivo::ShortName(LocalPath(path)), error));
            continue;
        }
        saved << ShortName(path);
        FileSpectrumName[b] = path;
        SpecCaption[b] = ShortName(path);
        DrawBox(b); // the base spectrum keeps its mark behind the new name
        // A save changes no spectrum: the new name is no step to undo.
        StoreShadow[b].File = path;
        StoreShadow[b].Caption = ShortName(path);
    }
    Parameters(ActiveSpec);
    if (!failures.isEmpty()) {
        ShowMessages(failures);
        SaveFailureShown = ModeLine();
    } else if (!saved.isEmpty() && !SaveFailureShown.isEmpty() && ModeLine() == SaveFailureShown) {
        // An earlier failure is not left standing over saves that went well.
        ShowMessages({QStringLiteral("    FileSpectrum ") + saved.join(QStringLiteral(", ")) +
                      QStringLiteral(" saved ")});
    }
}
