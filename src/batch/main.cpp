// kivo-batch: the command line, the progress line and the exit status.
#include <QCoreApplication>
#include <QFile>

#include <dlfcn.h>
#include <unistd.h>

#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "command_line.h"
#include "figure_module.h"

namespace {

constexpr int ExitRefused = 1;
constexpr int ExitUsage = 2;

int Usage(const QString& text) {
    std::fprintf(stderr, "kivo-batch: %s\nTry 'kivo-batch --help' for more.\n",
                 kivo::batch::UsageBytes(text).c_str());
    return ExitUsage;
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

// Loaded when the run draws a figure.
const kivo::batch::FigureModule* figures = nullptr;

// The figure module: beside the program in its build folder, or where the
// package installs it, relative to the program. Null with the reason: that of
// the first module found, which a place looked in after it must not hide.
const kivo::batch::FigureModule* LoadFigureModule(std::string& error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    // Never the working directory: no code is loaded from where the user stands.
    if (ec) {
        error = "the program's own folder is not known: " + ec.message();
        return nullptr;
    }
    const fs::path dir = self.parent_path();
    const fs::path places[] = {dir / "kivo-batch-figures.so",
                               dir / KIVO_MODULE_FROM_BIN / "kivo-batch-figures.so"};
    for (const fs::path& file : places) {
        if (!fs::exists(file, ec)) continue;
        void* handle = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            error = ::dlerror();
            return nullptr;
        }
        using Entry = const kivo::batch::FigureModule* (*)();
        const auto entry = reinterpret_cast<Entry>(::dlsym(handle, kivo::batch::FigureModuleEntry));
        if (!entry) {
            error = ::dlerror();
            return nullptr;
        }
        const kivo::batch::FigureModule* module = entry();
        if (!module) {
            error = file.string() + ": " + kivo::batch::FigureModuleEntry + " gives no figures";
            return nullptr;
        }
        // Only its first record is read before it is known to be of this build.
        if (!(module->Handshake == kivo::batch::OwnFigureHandshake())) {
            error = file.string() + ": a module of another build (version " +
                    std::string(
                        module->Handshake.Version,
                        ::strnlen(module->Handshake.Version, sizeof module->Handshake.Version)) +
                    ")";
            return nullptr;
        }
        return module;
    }
    error = "no kivo-batch-figures.so in " + places[0].parent_path().string() + " or " +
            places[1].parent_path().lexically_normal().string();
    return nullptr;
}

// A figure into file, unless file is one of the inputs (through a link):
// a picture must never replace the spectrum it was drawn from.
bool WriteFigure(const std::string& file, const std::vector<kivo::figure::Curve>& curves,
                 const kivo::batch::CommandLine& command, const kivo::figure::AxisLabels* labels,
                 QString& error) {
    const std::string input =
        kivo::batch::InputFiles(kivo::batch::InputsOf(command.Files, command.Work)).Refusal(file);
    if (!input.empty()) {
        error = QString::fromLocal8Bit(input);
        return false;
    }
    const QString path = QFile::decodeName(QByteArray::fromStdString(file));
    return figures->WriteFigure(path, *kivo::figure::FormatOf(path), curves, command.Look, error,
                                labels);
}

// The treated spectra in one figure; false, said on standard error, when it
// is not written.
bool DrawFigure(const kivo::batch::CommandLine& command,
                const std::vector<kivo::batch::Row>& rows) {
    std::vector<kivo::figure::Curve> curves;
    curves.reserve(2 * rows.size());
    for (const kivo::batch::Row& row : rows) {
        const QString caption = QFile::decodeName(QByteArray::fromStdString(row.Caption));
        curves.push_back({caption, row.X.data(), row.Y.data(), int(row.X.size()), false,
                          kivo::FrequencyOf(row.Params)});
        // A simulation is drawn over the spectrum it was scaled to.
        if (!row.SimY.empty())
            curves.push_back({caption + QStringLiteral(" sim"), row.X.data(), row.SimY.data(),
                              int(row.X.size()), false, kivo::FrequencyOf(row.Params)});
    }
    // The legend's texts given, in the order the curves are drawn.
    for (qsizetype k = 0; k < command.Legends.size() && k < qsizetype(curves.size()); ++k)
        curves[size_t(k)].Caption = command.Legends[k];
    QString error;
    if (command.Legends.size() > qsizetype(curves.size()))
        error = QStringLiteral("%1 legends for %2 drawn")
                    .arg(command.Legends.size())
                    .arg(curves.size() == 1 ? QStringLiteral("1 curve")
                                            : QStringLiteral("%1 curves").arg(curves.size()));
    else if (WriteFigure(command.Figure, curves, command, nullptr, error))
        return true;
    std::fprintf(stderr, "kivo-batch: figure %s not written: %s\n", command.Figure.c_str(),
                 error.toLocal8Bit().constData());
    return false;
}

// The curve of the series; false, said on standard error, when it is not
// written.
bool DrawSeriesFigure(const kivo::batch::CommandLine& command,
                      const std::vector<kivo::batch::Row>& rows) {
    const kivo::SeriesCurve c =
        kivo::batch::SeriesCurveOf(rows, command.SeriesY, command.Look.Labels);
    if (!c.LineNote.empty())
        std::fprintf(stderr, "kivo-batch: series figure %s: %s\n", command.SeriesFigure.c_str(),
                     c.LineNote.c_str());
    const kivo::figure::SeriesFigure figure(c);
    QString error;
    if (figure.Curves.empty()) {
        error = QStringLiteral("no slice of a two-dimensional file treated");
    } else if (WriteFigure(command.SeriesFigure, figure.Curves, command, &figure.Labels, error)) {
        return true;
    }
    std::fprintf(stderr, "kivo-batch: series figure %s not written: %s\n",
                 command.SeriesFigure.c_str(), error.toLocal8Bit().constData());
    return false;
}

// The rows of every file on standard output; the exit status.
int TreatFiles(const kivo::batch::CommandLine& command) {
    const std::string& dir = command.Work.WriteDir;
    std::error_code ec;
    if (!dir.empty() && !std::filesystem::create_directories(dir, ec) &&
        !std::filesystem::is_directory(dir, ec))
        return Usage(QStringLiteral("--write: no directory '%1'")
                         .arg(QString::fromLatin1(dir.data(), qsizetype(dir.size()))));

    kivo::batch::Plan plan = command.Work;
    if (!plan.FieldStandardFile.empty()) {
        const std::string refused = kivo::batch::PrepareFieldStandard(plan);
        if (!refused.empty()) {
            std::fprintf(stderr, "kivo-batch: field standard %s: %s\n",
                         plan.FieldStandardFile.c_str(), refused.c_str());
            return ExitRefused;
        }
        std::string said = kivo::FieldShiftText(plan.FieldStandardLine);
        said = said.substr(said.find_first_not_of(' '));
        said.erase(said.find_last_not_of(' ') + 1);
        std::fprintf(stderr, "kivo-batch: field standard %s: %s\n", plan.FieldStandardFile.c_str(),
                     said.c_str());
    }
    // The spin standard is treated as every spectrum is: after the field standard.
    if (!plan.SpinStandardFile.empty()) {
        const std::string refused = kivo::batch::PrepareSpinStandard(plan);
        if (!refused.empty()) {
            std::fprintf(stderr, "kivo-batch: spin standard %s: %s\n",
                         plan.SpinStandardFile.c_str(), refused.c_str());
            return ExitRefused;
        }
    }
    Progress progress(command.Files.size(), isatty(STDERR_FILENO) && !command.Quiet);
    bool refused = false;
    std::vector<kivo::batch::Row> drawn;  // the treated spectra of a figure, in file order
    std::vector<kivo::batch::Row> slices; // the slices of a series curve
    std::fputs(kivo::batch::CsvHeader(plan).c_str(), stdout);
    kivo::batch::Run(command.Files, plan, command.Jobs,
                     [&](size_t file, const std::vector<kivo::batch::Row>& rows, bool fileEnds) {
                         for (const kivo::batch::Row& row : rows) {
                             if (!row.Remark.empty())
                                 std::fprintf(stderr, "kivo-batch: %s: %s\n", row.File.c_str(),
                                              row.Remark.c_str());
                             const std::string line = kivo::batch::CsvLine(row, plan);
                             std::fwrite(line.data(), 1, line.size(), stdout);
                             refused = refused || !row.Done;
                             if (row.Done && command.Work.KeepPoints) drawn.push_back(row);
                             if (row.Done && row.Slice > 0 && !command.SeriesFigure.empty()) {
                                 slices.push_back(row);
                                 slices.back().X.clear();
                                 slices.back().Y.clear();
                             }
                         }
                         if (fileEnds) progress.Done(file + 1);
                     });
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::perror("kivo-batch: standard output");
        return ExitRefused;
    }
    if (!command.Figure.empty() && !DrawFigure(command, drawn)) return ExitRefused;
    if (!command.SeriesFigure.empty() && !DrawSeriesFigure(command, slices)) return ExitRefused;
    return refused ? ExitRefused : 0;
}

} // namespace

int main(int argc, char* argv[]) {
    // A figure's fonts and drawing need Qt's GUI, never a display.
    std::unique_ptr<QCoreApplication> app;
    if (kivo::batch::AsksForFigure(argc, argv)) {
        std::string error;
        figures = LoadFigureModule(error);
        if (!figures) {
            std::fprintf(stderr, "kivo-batch: figures cannot be drawn: %s\n", error.c_str());
            return ExitRefused;
        }
        app.reset(figures->MakeApplication(argc, argv));
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    // Qt takes the user's locale; numbers are written and read with a point.
    std::setlocale(LC_NUMERIC, "C");
    QCoreApplication::setApplicationName(QStringLiteral("kivo-batch"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KIVO_VERSION));

    using Action = kivo::batch::CommandLine::Action;
    // The arguments' own bytes: a name need not be UTF-8 to be a file's.
    const kivo::batch::CommandLine command =
        kivo::batch::ParseCommandLine(std::vector<std::string>(argv, argv + argc));
    if (command.What == Action::Run) return TreatFiles(command);
    if (command.What == Action::Usage) return Usage(command.Text);
    QString text = command.Text; // the help or the version
    if (!text.endsWith(QLatin1Char('\n'))) text += QLatin1Char('\n');
    std::fputs(text.toLocal8Bit().constData(), stdout);
    return 0;
}
