// kivo-batch: the command line, the progress line and the exit status.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <thread>

#include "batch.h"

namespace {

constexpr int ExitRefused = 1;
constexpr int ExitUsage = 2;

[[noreturn]] void Usage(const QString& text) {
    std::fprintf(stderr, "kivo-batch: %s\nTry 'kivo-batch --help' for more.\n",
                 text.toLocal8Bit().constData());
    std::exit(ExitUsage);
}

std::string Local(const QString& s) {
    return QFile::encodeName(s).toStdString();
}

int WholeNumber(const QString& option, const QString& text, int lo, int hi) {
    long long v = 0;
    if (!kivo::ReadWholeNumber(Local(text), v) || v < lo || v > hi)
        Usage(QStringLiteral("--%1 wants a whole number from %2 to %3, not '%4'")
                  .arg(option)
                  .arg(lo)
                  .arg(hi)
                  .arg(text));
    return int(v);
}

kivo::batch::Step Normalisation(const QString& how) {
    static const std::map<QString, kivo::batch::StepKind> kinds = {
        {QStringLiteral("amplitude"), kivo::batch::StepKind::NormAmplitude},
        {QStringLiteral("integral"), kivo::batch::StepKind::NormIntegral},
        {QStringLiteral("ruby"), kivo::batch::StepKind::NormRuby}};
    const auto it = kinds.find(how);
    if (it == kinds.end())
        Usage(QStringLiteral("--normalise wants amplitude, integral or ruby, not '%1'").arg(how));
    return {it->second, 0, 0};
}

kivo::batch::Step Smoothing(const QString& text) {
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 2) Usage(QStringLiteral("--smooth wants N,R, not '%1'").arg(text));
    return {kivo::batch::StepKind::Smooth,
            WholeNumber(QStringLiteral("smooth"), parts[0], 0, 32767),
            WholeNumber(QStringLiteral("smooth"), parts[1], 0, 32767)};
}

// Files done and the rate, on one line rewritten in place, a few times a second.
class Progress {
public:
    Progress(size_t total, bool shown) : total_(total), shown_(shown) {}
    void Done(size_t files) {
        done_ = files;
        const auto now = Clock::now();
        if (!shown_ || (now - last_ < std::chrono::milliseconds(200) && done_ < total_)) return;
        last_ = now;
        const double seconds = std::chrono::duration<double>(now - start_).count();
        std::fprintf(stderr, "\rkivo-batch: %zu/%zu files, %.0f files/s ", done_, total_,
                     seconds > 0 ? double(done_) / seconds : 0.0);
        if (done_ == total_) std::fputc('\n', stderr);
    }

private:
    using Clock = std::chrono::steady_clock;
    size_t total_, done_ = 0;
    bool shown_;
    Clock::time_point start_ = Clock::now(), last_{};
};

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    // Qt takes the user's locale; numbers are written and read with a point.
    std::setlocale(LC_NUMERIC, "C");
    QCoreApplication::setApplicationName(QStringLiteral("kivo-batch"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KIVO_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Treats ESR spectrum files (.esr, .txt, .dat, .DSC, .par) as Kivo's keys do and prints one "
        "CSV row per spectrum. The treatments run in the order given."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({
        {QStringLiteral("baseline"),
         QStringLiteral("Linear base line, as \"3\" and Esc: the means of NumAver points at "
                        "each end.")},
        {QStringLiteral("integrate"),
         QStringLiteral("Automatic double integration and particle count, as \"4\".")},
        {QStringLiteral("normalise"), QStringLiteral("Normalise on amplitude, integral or ruby."),
         QStringLiteral("how")},
        {QStringLiteral("smooth"),
         QStringLiteral("Smoothing with smoothing number N and restrict number R."),
         QStringLiteral("N,R")},
        {QStringLiteral("numaver"),
         QStringLiteral("Points averaged at each end (default 10, or the options file's)."),
         QStringLiteral("N")},
        {QStringLiteral("koecu"),
         QStringLiteral("Particle-count factor (default 1.725e19, or the options file's)."),
         QStringLiteral("K")},
        {QStringLiteral("options"), QStringLiteral("Take NumAver and KoeCu from a Kivo .opt file."),
         QStringLiteral("file")},
        {QStringLiteral("write"),
         QStringLiteral("Save every treated spectrum as an .esr file in this directory."),
         QStringLiteral("dir")},
        {QStringLiteral("jobs"),
         QStringLiteral("Files treated at once (default: the number of cores)."),
         QStringLiteral("N")},
        {QStringLiteral("quiet"), QStringLiteral("No progress line on standard error.")},
    });
    parser.addPositionalArgument(QStringLiteral("files"), QStringLiteral("Spectrum files."),
                                 QStringLiteral("FILE..."));
    if (!parser.parse(QCoreApplication::arguments())) Usage(parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version"))) parser.showVersion();

    kivo::batch::Plan plan;
    if (parser.isSet(QStringLiteral("options"))) {
        kivo::OptionsFile o;
        const kivo::OptionsReadResult r =
            kivo::ReadOptionsFile(Local(parser.value(QStringLiteral("options"))), o);
        if (!r.Opened) Usage(QStringLiteral("cannot read the options file"));
        // Lines 12 and 13 hold NumAver and KoeCu; the layout is no concern here.
        if (r.Faults[11] != kivo::OptionFault::None || r.Faults[12] != kivo::OptionFault::None)
            Usage(QStringLiteral("options file: ") + QString::fromLocal8Bit(r.FaultText()));
        plan.NumAver = o.NumAver;
        plan.KoeCu = o.KoeCu;
    }
    if (parser.isSet(QStringLiteral("numaver")))
        plan.NumAver = WholeNumber(QStringLiteral("numaver"),
                                   parser.value(QStringLiteral("numaver")), 2, kivo::MaxPoints);
    if (parser.isSet(QStringLiteral("koecu"))) {
        const QString text = parser.value(QStringLiteral("koecu"));
        double k = 0;
        if (!kivo::ReadNumber(Local(text), k) || !(k >= 1e-300 && k <= 1e300))
            Usage(
                QStringLiteral("--koecu wants a number from 1e-300 to 1e300, not '%1'").arg(text));
        plan.KoeCu = k;
    }

    // The treatments in the order they stand on the command line.
    std::map<QString, qsizetype> used;
    for (const QString& name : parser.optionNames()) {
        const qsizetype at = used[name]++;
        if (name == QStringLiteral("baseline"))
            plan.Steps.push_back({kivo::batch::StepKind::BaseLine, 0, 0});
        else if (name == QStringLiteral("integrate"))
            plan.Steps.push_back({kivo::batch::StepKind::Integrate, 0, 0});
        else if (name == QStringLiteral("normalise"))
            plan.Steps.push_back(Normalisation(parser.values(name).at(at)));
        else if (name == QStringLiteral("smooth"))
            plan.Steps.push_back(Smoothing(parser.values(name).at(at)));
    }

    int jobs = int(std::max(1u, std::thread::hardware_concurrency()));
    if (parser.isSet(QStringLiteral("jobs")))
        jobs = WholeNumber(QStringLiteral("jobs"), parser.value(QStringLiteral("jobs")), 1, 1024);

    if (parser.isSet(QStringLiteral("write"))) {
        plan.WriteDir = Local(parser.value(QStringLiteral("write")));
        std::error_code ec;
        std::filesystem::create_directories(plan.WriteDir, ec);
        if (plan.WriteDir.empty() || !std::filesystem::is_directory(plan.WriteDir, ec))
            Usage(QStringLiteral("--write: no directory '%1'")
                      .arg(parser.value(QStringLiteral("write"))));
    }

    std::vector<std::string> given;
    for (const QString& f : parser.positionalArguments()) given.push_back(Local(f));
    if (given.empty()) Usage(QStringLiteral("no file given"));
    // Both files of a spectrometer pair name one spectrum, as in the window.
    std::vector<std::string> files;
    for (size_t f : kivo::OnePerSpectrum(given)) files.push_back(given[f]);

    Progress progress(files.size(),
                      isatty(STDERR_FILENO) && !parser.isSet(QStringLiteral("quiet")));
    bool refused = false;
    std::fputs(kivo::batch::CsvHeader().c_str(), stdout);
    kivo::batch::Run(files, plan, jobs,
                     [&](size_t file, const std::vector<kivo::batch::Row>& rows) {
                         for (const kivo::batch::Row& row : rows) {
                             const std::string line = kivo::batch::CsvLine(row);
                             std::fwrite(line.data(), 1, line.size(), stdout);
                             refused = refused || !row.Done;
                         }
                         progress.Done(file + 1);
                     });
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::perror("kivo-batch: standard output");
        return ExitRefused;
    }
    return refused ? ExitRefused : 0;
}
