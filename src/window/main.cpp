// kivo [FILE...]: the window, with the files named read as one selection of
// the open dialog would be.
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QRegularExpression>
#include <clocale>
#include <cstdio>
#include <cstring>

#include "Kivo1_3.h"

namespace {

constexpr char kUsage[] =
    "Usage: kivo [options] [FILE...]\n"
    "Overlays ESR spectra and treats them from the keyboard (F1 shows the help).\n"
    "The files named (.esr, .txt, .dat/.asc, BES3T .DSC/.DTA, ESP/WinEPR .par/.spc)\n"
    "are read as one selection of Read (F3) would read them.\n"
    "\n"
    "Options:\n"
    "  -h, --help     print this text and exit\n"
    "  -v, --version  print the version and exit\n"
    "  --check        read the files without showing the window, print each\n"
    "                 spectrum loaded (its name and number of points) and the\n"
    "                 mode line's message (and how many slices of a series\n"
    "                 found no free slot), and exit: 1 when a file was refused\n"
    "  --             what follows is a file, even when it starts with -\n"
    "Qt's own options (-platform, -style, ...) are taken as usual.\n";

bool Is(const char* arg, const char* a, const char* b = nullptr) {
    return std::strcmp(arg, a) == 0 || (b != nullptr && std::strcmp(arg, b) == 0);
}

// What --check prints: the spectra loaded, the mode line and the slices of a
// series left out for want of slots; whether every file was taken.
bool Report(const TForm1& form, int files) {
    for (int i = 1; i <= form.Store.NumSpec; ++i)
        std::printf("%s\t%d\n", form.Ui.SpecCheck[i]->text().toLocal8Bit().constData(),
                    int(form.Store.Params[i].NumPoints));
    // A read that refused nothing leaves the mode line blank.
    const QString line = form.ModeLine().trimmed();
    if (line.isEmpty() || line.startsWith(QLatin1String("SELECT MODE")))
        return files > 0 && form.Store.NumSpec > 0;
    // The mode line's tooltip lists what the read said, one message a line,
    // and so does the check. A series read whole but with more slices than
    // free slots is no refusal: its notice says how many were taken.
    static const QRegularExpression taken(QStringLiteral(
        R"(^FileSpectrum (.*): slices -?\d+ to -?\d+ step \d+ taken, (\d+) of (\d+)$)"));
    const QStringList said = form.Ui.Label3->toolTip().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& message : said.isEmpty() ? QStringList{line} : said)
        std::printf("%s\n", message.toLocal8Bit().constData());
    bool refused = said.isEmpty();
    for (const QString& message : said) {
        const QRegularExpressionMatch m = taken.match(message);
        if (!m.hasMatch()) {
            refused = true;
            continue;
        }
        const long long left = m.captured(3).toLongLong() - m.captured(2).toLongLong();
        std::printf("%s: %lld slices not taken\n", m.captured(1).toLocal8Bit().constData(), left);
    }
    return files > 0 && form.Store.NumSpec > 0 && !refused;
}

} // namespace

int main(int argc, char* argv[]) {
    bool check = false;
    for (int i = 1; i < argc && !Is(argv[i], "--"); ++i) {
        if (Is(argv[i], "-h", "--help")) return std::fputs(kUsage, stdout) < 0;
        if (Is(argv[i], "-v", "--version")) return std::printf("kivo %s\n", KIVO_VERSION) < 0;
        check = check || Is(argv[i], "--check");
    }
    // A check needs no display.
    if (check && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv); // takes Qt's own options out of argv
    // Qt took the user's locale; numbers in files are written and read with
    // a point whatever the language of the desktop.
    std::setlocale(LC_NUMERIC, "C");

    QStringList files;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        if (options && Is(argv[i], "--")) {
            options = false;
        } else if (options && argv[i][0] == '-' && argv[i][1] != '\0') {
            if (Is(argv[i], "--check")) continue;
            std::fprintf(stderr, "kivo: unknown option %s\n%s", argv[i], kUsage);
            return 2;
        } else {
            files << QFile::decodeName(argv[i]);
        }
    }

    TForm1 form;
    if (check) {
        form.OpenFiles(files, false);
        return Report(form, int(files.size())) ? 0 : 1;
    }
    form.show();
    form.OpenFiles(files, false);
    return app.exec();
}
