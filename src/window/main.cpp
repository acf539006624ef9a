// kivo [FILE...]: the window, with the files named read as one selection of
// the open dialog would be.
#include <QApplication>
#include <QCheckBox>
#include <QFile>
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
    "                 mode line's message, and exit: 1 when a file was refused\n"
    "  --             what follows is a file, even when it starts with -\n"
    "Qt's own options (-platform, -style, ...) are taken as usual.\n";

bool Is(const char* arg, const char* a, const char* b = nullptr) {
    return std::strcmp(arg, a) == 0 || (b != nullptr && std::strcmp(arg, b) == 0);
}

// What --check prints: the spectra loaded and the mode line; whether every
// file was taken.
bool Report(const TForm1& form, int files) {
    for (int i = 1; i <= form.NumSpec; ++i)
        std::printf("%s\t%d\n", form.SpecCheck[i]->text().toLocal8Bit().constData(),
                    int(form.Params[i].NumPoints));
    // A read that refused nothing leaves the mode line blank.
    const QString line = form.ModeLine().trimmed();
    const bool refused = !line.isEmpty() && !line.startsWith(QLatin1String("SELECT MODE"));
    if (refused) std::printf("%s\n", line.toLocal8Bit().constData());
    return files > 0 && form.NumSpec > 0 && !refused;
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
