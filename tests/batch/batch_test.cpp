// kivo-batch against the window: the same files treated from the command line
// and with the keys give the same numbers and the same saved bytes; refused
// files are reported in order and leave nothing behind.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <new>
#include <random>
#include <regex>
#include <stdexcept>

#include "FigureDialog.h"
#include "SeriesWindow.h"
#include "batch.h"
#include "command_line.h"
#include "figure_files.h"
#include "harness.h"
#include "simulation.h"
#include "spectrometer_writer.h"
#include "spins.h"

namespace {

// A batch run in a child process, so that the parent's memory does not blur
// its own: the rows that count, and how far the child's peak memory grew.
struct Measured {
    bool Heard = false;
    long Rows = 0, Kilobytes = 0;
};
Measured RunInChild(const std::vector<std::string>& files, const kivo::batch::Plan& plan, int jobs,
                    const std::function<bool(const kivo::batch::Row&)>& counts) {
    int pipe[2];
    if (::pipe(pipe) != 0) return {};
    const pid_t child = ::fork();
    if (child == 0) {
        rusage before{}, after{};
        ::getrusage(RUSAGE_SELF, &before);
        long rows = 0;
        kivo::batch::Run(files, plan, jobs,
                         [&](size_t, const std::vector<kivo::batch::Row>& r, bool) {
                             for (const kivo::batch::Row& row : r) rows += counts(row);
                         });
        ::getrusage(RUSAGE_SELF, &after);
        const long grown[2] = {rows, after.ru_maxrss - before.ru_maxrss};
        _exit(::write(pipe[1], grown, sizeof grown) == sizeof grown ? 0 : 1);
    }
    ::close(pipe[1]);
    long grown[2] = {};
    const bool heard = ::read(pipe[0], grown, sizeof grown) == sizeof grown;
    ::close(pipe[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return {heard && WIFEXITED(status) && WEXITSTATUS(status) == 0, grown[0], grown[1]};
}

struct BatchRun {
    int Exit = -1;
    QStringList Lines; // standard output, one CSV line each
    QString Errors;
};

class BatchTest : public FormTest {
protected:
    BatchRun Batch(const QStringList& args,
                   const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(dir_->path());
        p.start(QStringLiteral(KIVO_BATCH), args);
        EXPECT_TRUE(p.waitForFinished(120000));
        BatchRun r;
        r.Exit = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.Lines = QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        r.Errors = QString::fromUtf8(p.readAllStandardError());
        return r;
    }
    void CopyExample(const QString& name) {
        ASSERT_TRUE(QFile::copy(QStringLiteral(KIVO_EXAMPLES_DIR "/") + name, Path(name)))
            << name.toStdString();
    }
    // What the CSV says of slot i as the window holds it.
    QString WindowLine(const QString& file, int spectrum, int slot, int mist) const {
        kivo::batch::Row row;
        row.File = file.toStdString();
        row.Spectrum = spectrum;
        row.Done = true;
        row.Params = form->Store.Params[slot];
        row.FieldFrom = form->Store.SpecX[slot][1];
        row.FieldTo = form->Store.SpecX[slot][row.Params.NumPoints];
        row.Mist = mist;
        // The window shows the centre of the active spectrum alone.
        const int centre = kivo::LineCentreOf(
            {0, form->Pick.PickIndex[5], form->Pick.PickIndex[2], form->Pick.PickIndex[1]});
        if (slot == form->Store.ActiveSpec && centre >= 1)
            row.CentreField = form->Store.SpecX[slot][centre];
        row.Status = "ok";
        return QString::fromStdString(kivo::batch::CsvLine(row)).trimmed();
    }
    int ShownMist() const {
        const QString prefix = QStringLiteral("  I mist = ");
        EXPECT_TRUE(form->Ui.Label2->text().startsWith(prefix))
            << form->Ui.Label2->text().toStdString();
        return form->Ui.Label2->text().mid(prefix.size()).toInt();
    }
    void Type(const QString& digits) {
        for (QChar c : digits) Key(Qt::Key(Qt::Key_0 + (c.unicode() - '0')));
        Key(Qt::Key_Return);
    }
    // A Lorentzian derivative line 1 G wide and 1000 high, maximum first, at
    // centre on 3300..3400 G: its full path.
    std::string LineFile(const QString& name, double centre, const std::string& line2) {
        std::vector<float> x, y;
        for (int k = 0; k < 400; ++k) {
            x.push_back(float(3300 + 0.25 * k));
            const double u = (x.back() - centre) / std::sqrt(3.0);
            y.push_back(float(-1000 * u / ((1 + u * u) * (1 + u * u))));
        }
        kivo::ParamSpec p;
        p.NumPoints = 400;
        p.Line2 = line2;
        WriteFile(name, kivo::FormatSpectrum(p, x.data(), y.data()));
        return Path(name).toStdString();
    }
    // The rows of a run in this process, after the field standard's file is
    // measured as kivo-batch does (the words that refuse it in refused).
    std::vector<kivo::batch::Row> Rows(const std::vector<std::string>& args,
                                       kivo::batch::Plan* plan, std::string* refused = nullptr) {
        *plan = kivo::batch::ParseCommandLine(args).Work;
        const std::string words = kivo::batch::PrepareFieldStandard(*plan);
        if (refused) *refused = words;
        std::vector<kivo::batch::Row> rows;
        if (words.empty())
            kivo::batch::Run(kivo::batch::ParseCommandLine(args).Files, *plan, 1,
                             [&](size_t, const std::vector<kivo::batch::Row>& r, bool) {
                                 rows.insert(rows.end(), r.begin(), r.end());
                             });
        return rows;
    }
    // A spectrum whose point line 13 is no number.
    void WriteBroken(const QString& name) {
        WriteSpectrum(name, 40);
        std::string text = ReadBytes(name);
        size_t at = 0;
        for (int i = 0; i < 12; ++i) at = text.find("\r\n", at) + 2;
        text.insert(text.begin() + std::ptrdiff_t(at), 'x');
        WriteFile(name, text);
    }
};

TEST_F(BatchTest, ExamplesGiveTheWindowsNumbersAndSavedBytes) {
    const QStringList examples = {"sample.esr",     "sample_ruby.esr", "mn_sextet.esr",
                                  "long15000.esr",  "points.txt",      "coal_bes3t.DSC",
                                  "coal_bes3t.DTA", "dpph_winepr.par", "dpph_winepr.spc"};
    for (const QString& e : examples) CopyExample(e);
    // Two spectra on one field column, the second upside down.
    std::string cols = "field signal1 signal2\r\n";
    for (int k = 0; k < 400; ++k) {
        const double u = (k - 200) / 12.0;
        const double d = 900 * u / ((1 + u * u) * (1 + u * u)) + 3 + 0.01 * k;
        cols += std::to_string(3300 + 0.25 * k) + " " + std::to_string(d) + " " +
                std::to_string(-d) + "\r\n";
    }
    WriteFile("cols.dat", cols);

    const QStringList files = {"coal_bes3t.DTA", "sample.esr",      "sample_ruby.esr",
                               "mn_sextet.esr",  "long15000.esr",   "points.txt",
                               "coal_bes3t.DSC", "dpph_winepr.spc", "cols.dat"};
    const BatchRun run =
        Batch(QStringList{"--quiet", "--baseline", "--integrate", "--write", "out"} + files);
    EXPECT_EQ(run.Exit, 0) << run.Errors.toStdString();
    ASSERT_EQ(run.Lines.size(), 10); // header, a pair given twice, two spectra in cols.dat
    EXPECT_EQ(run.Lines[0],
              QStringLiteral("file,spectrum,points,field_from,field_to,SumLeft1,"
                             "SumRight1,SumLeft2,SumRight2,DblIntegral,NumParticles,"
                             "backward_steps,frequency_GHz,g_centre,status,slice,slice_value,"
                             "slice_unit"));

    int line = 1;
    for (const QString& file : files) {
        if (file == QStringLiteral("coal_bes3t.DSC")) continue; // its pair came first
        SCOPED_TRACE(file.toStdString());
        ReadFiles({file});
        const int loaded = form->Store.NumSpec;
        Key(Qt::Key_3);
        Key(Qt::Key_Escape);
        Key(Qt::Key_4);
        const int mist = ShownMist();
        // The g of the centre "4" shows is the g the batch reports.
        const QString gShown = form->Ui.Label2->text().section(GCentreLabel, 1);
        QStringList names;
        for (int slot = 1; slot <= loaded; ++slot) {
            const QString csv = run.Lines[line++];
            EXPECT_EQ(csv, WindowLine(file, loaded > 1 ? slot : 0, slot, mist));
            if (slot == form->Store.ActiveSpec) {
                EXPECT_EQ(gShown.isEmpty(), csv.section(QLatin1Char(','), 13, 13).isEmpty());
            }
            if (slot == form->Store.ActiveSpec && !gShown.isEmpty()) {
                EXPECT_EQ(QString::fromStdString(
                              kivo::GText(csv.section(QLatin1Char(','), 13, 13).toDouble())),
                          gShown);
            }
            names << ShortName(form->Store.FileSpectrumName[slot]) + ".esr";
            Answer(QStringList{Path("win-" + names.back())});
        }
        Key(Qt::Key_F2);
        for (const QString& name : names)
            EXPECT_EQ(ReadBytes("out/" + name), ReadBytes("win-" + name)) << name.toStdString();
    }
    EXPECT_EQ(line, 10);
    EXPECT_EQ(QDir(Path("out")).entryList(QDir::Files).size(), 9);
}

TEST_F(BatchTest, TreatmentsRunInTheOrderGivenAsTheKeysApplyThem) {
    CopyExample("sample_ruby.esr");
    const BatchRun run = Batch({"--quiet", "--baseline", "--integrate", "--normalise", "integral",
                                "--smooth", "5,0", "--normalise", "amplitude", "--normalise",
                                "ruby", "--write", "out", "sample_ruby.esr"});
    ASSERT_EQ(run.Exit, 0) << run.Errors.toStdString();
    ASSERT_EQ(run.Lines.size(), 2);

    ReadFiles({"sample_ruby.esr"});
    Key(Qt::Key_3);
    Key(Qt::Key_Escape);
    Key(Qt::Key_4);
    const int mist = ShownMist();
    Key(Qt::Key_Escape);
    Key(Qt::Key_6);
    Key(Qt::Key_N, Qt::AltModifier);
    Key(Qt::Key_Escape);
    Key(Qt::Key_8);
    Key(Qt::Key_G, Qt::AltModifier);
    Type("5");
    Type("0");
    Key(Qt::Key_Y);
    ASSERT_EQ(form->Store.NumSpec, 2); // res1 beside its source, both marked
    Key(Qt::Key_6);
    Key(Qt::Key_M, Qt::AltModifier);
    Key(Qt::Key_S, Qt::AltModifier);
    EXPECT_EQ(form->Store.Params[2].Line2,
              "ruby lines near 3250 G and 3450 GNorm on Int, sample_ruby Smoothed 5, Norm on Amp, "
              "Norm Rb Amp, "); // the file's own history line gets the tags straight after it
    EXPECT_EQ(run.Lines[1], WindowLine("sample_ruby.esr", 0, 2, mist));
    Answer(std::nullopt); // the unsmoothed source is not saved
    Answer(QStringList{Path("win.esr")});
    Key(Qt::Key_F2);
    EXPECT_EQ(ReadBytes("out/sample_ruby.esr"), ReadBytes("win.esr"));

    // The other way round there is no double integral yet to normalise on.
    const BatchRun reversed =
        Batch({"--quiet", "--normalise", "integral", "--integrate", "sample_ruby.esr"});
    EXPECT_EQ(reversed.Exit, 1);
    ASSERT_EQ(reversed.Lines.size(), 2);
    EXPECT_EQ(reversed.Lines[1],
              QStringLiteral("sample_ruby.esr,,,,,,,,,,,,,,\"sample_ruby: no positive double "
                             "integral, not normalised on it\",,,"));
}

TEST_F(BatchTest, RefusedFilesGetTheirRowInOrderAndNoOutput) {
    QStringList files;
    for (int i = 1; i <= 12; ++i) {
        const QString name = QStringLiteral("s%1.esr").arg(i);
        if (i == 4)
            WriteBroken(name);
        else if (i == 7)
            WriteFile(name, "no spectrum here\r\n");
        else if (i == 9)
            WriteFile("single.dat", "1\r\n2\r\n3\r\n");
        else
            WriteSpectrum(name, 200 + 10 * i);
        files << (i == 9 ? QStringLiteral("single.dat") : name);
    }
    files.insert(5, QStringLiteral("missing.esr"));

    const BatchRun one =
        Batch(QStringList{"--quiet", "--jobs", "1", "--baseline", "--integrate", "--write", "out"} +
              files);
    EXPECT_EQ(one.Exit, 1);
    ASSERT_EQ(one.Lines.size(), files.size() + 1);
    for (int i = 0; i < files.size(); ++i)
        EXPECT_TRUE(one.Lines[i + 1].startsWith(files[i] + ",")) << one.Lines[i + 1].toStdString();
    EXPECT_TRUE(one.Lines[6].endsWith(
        ",,,,,,,,,,,FileSpectrum missing is not prepared properly not found,,,"));
    EXPECT_TRUE(
        one.Lines[8].endsWith(",FileSpectrum s7 is not prepared properly no Spectr: line,,,"));
    EXPECT_TRUE(
        one.Lines[10].endsWith(",FileSpectrum single has a single column: no spectrum in it,,,"));
    QStringList written = QDir(Path("out")).entryList(QDir::Files, QDir::Name);
    EXPECT_EQ(written, (QStringList{"s1.esr", "s10.esr", "s11.esr", "s12.esr", "s2.esr", "s3.esr",
                                    "s5.esr", "s6.esr", "s8.esr"}));

    // The words are the window's.
    ReadFiles({"s4.esr"});
    EXPECT_EQ(one.Lines[4], "s4.esr,,,,,,,,,,,,,," + form->ModeLine().trimmed() + ",,,");
    EXPECT_TRUE(one.Lines[4].endsWith("is not prepared properly line 13,,,"));

    // Two at a time: the same rows in the same order, the same files.
    const BatchRun two = Batch(
        QStringList{"--quiet", "--jobs", "2", "--baseline", "--integrate", "--write", "out2"} +
        files);
    EXPECT_EQ(two.Exit, 1);
    EXPECT_EQ(two.Lines, one.Lines);
    EXPECT_EQ(QDir(Path("out2")).entryList(QDir::Files, QDir::Name), written);
    for (const QString& w : written) EXPECT_EQ(ReadBytes("out2/" + w), ReadBytes("out/" + w));
}

TEST_F(BatchTest, NoInputIsWrittenOverAndTheFirstFileKeepsAName) {
    QDir(dir_->path()).mkpath("a");
    QDir(dir_->path()).mkpath("b");
    WriteSpectrum("a/x.esr", 300);
    WriteSpectrum("b/x.esr", 500);
    WriteSpectrum("y.esr", 300);
    const std::string y = ReadBytes("y.esr");

    const BatchRun run = Batch(
        {"--quiet", "--jobs", "2", "--baseline", "--write", ".", "a/x.esr", "y.esr", "b/x.esr"});
    EXPECT_EQ(run.Exit, 1);
    ASSERT_EQ(run.Lines.size(), 4);
    EXPECT_TRUE(run.Lines[1].endsWith(",ok,,,"));
    EXPECT_TRUE(run.Lines[2].endsWith(
        ",FileSpectrum y is not saved: ./y.esr is one of the input files,,,"));
    EXPECT_TRUE(run.Lines[3].startsWith("b/x.esr,,,,"));
    EXPECT_TRUE(run.Lines[3].endsWith(
        ",FileSpectrum x is not saved: ./x.esr is written for an earlier file,,,"));
    EXPECT_EQ(ReadBytes("y.esr"), y);
    ReadFiles({"x.esr"});
    EXPECT_EQ(form->Store.Params[1].NumPoints, 300);
    EXPECT_FALSE(QFileInfo::exists(Path("x.esr.kivo-save")));
}

TEST_F(BatchTest, AFailureThatIsNoFaultOfTheFileIsReportedInItsOwnWords) {
    std::vector<std::string> files;
    for (const char* name : {"a.esr", "b.esr", "c.esr"}) {
        WriteSpectrum(name, 60);
        files.push_back(Path(name).toStdString());
    }
    struct Case {
        std::function<void()> Fail;
        const char* Status;
    } cases[] = {{[] { throw std::bad_alloc(); }, "FileSpectrum b is not treated: out of memory"},
                 {[] { throw std::runtime_error("disk gone"); },
                  "FileSpectrum b is not treated: disk gone"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Status);
        std::vector<kivo::batch::Row> rows;
        kivo::batch::Plan plan;
        plan.Steps = {{kivo::batch::StepKind::BaseLine}, {kivo::batch::StepKind::Integrate}};
        kivo::batch::Run(
            files, plan, 2,
            [&](size_t, const std::vector<kivo::batch::Row>& r, bool) {
                rows.insert(rows.end(), r.begin(), r.end());
            },
            [&](const std::string& file) {
                if (file == files[1]) c.Fail();
            });
        ASSERT_EQ(rows.size(), 3u);
        EXPECT_EQ(rows[1].File, files[1]);
        EXPECT_FALSE(rows[1].Done);
        EXPECT_EQ(rows[1].Status, c.Status);
        for (size_t f : {0u, 2u}) {
            EXPECT_TRUE(rows[f].Done);
            EXPECT_EQ(rows[f].Status, "ok");
            EXPECT_GT(rows[f].Params.DblIntegral, 0);
        }
    }
}

TEST_F(BatchTest, UsageErrorsHelpAndVersion) {
    WriteSpectrum("a.esr", 50);
    for (const QStringList& args :
         {QStringList{"--smooth", "5", "a.esr"}, QStringList{"--normalise", "peak", "a.esr"},
          QStringList{"--numaver", "1", "a.esr"}, QStringList{"--jobs", "0", "a.esr"},
          QStringList{"--koecu", "x", "a.esr"}, QStringList{"--bogus", "a.esr"},
          QStringList{"--baseline"}}) {
        const BatchRun r = Batch(args);
        EXPECT_EQ(r.Exit, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(r.Lines.isEmpty());
        EXPECT_TRUE(r.Errors.startsWith("kivo-batch: ")) << r.Errors.toStdString();
    }
    const BatchRun help = Batch({"--help"});
    EXPECT_EQ(help.Exit, 0);
    EXPECT_TRUE(help.Lines.join('\n').contains("--integrate"));
    // The manual page names every option the help lists (Qt's own
    // --help-all aside), as roff writes it: "\-\-fit\-range".
    QFile man(QStringLiteral(KIVO_EXAMPLES_DIR "/../packaging/kivo-batch.1"));
    ASSERT_TRUE(man.open(QIODevice::ReadOnly));
    const QString page = QString::fromUtf8(man.readAll());
    static const QRegularExpression option(QStringLiteral(R"(^\s+(?:-\w, )?(--[a-z-]+))"));
    int named = 0;
    for (const QString& line : help.Lines) {
        const QString o = option.match(line).captured(1);
        if (o.isEmpty() || o == QLatin1String("--help-all")) continue;
        ++named;
        QString roff = o;
        roff.replace('-', QStringLiteral("\\-"));
        EXPECT_TRUE(page.contains(roff)) << o.toStdString() << " is not in kivo-batch.1";
    }
    EXPECT_GT(named, 30);
    const BatchRun version = Batch({"--version"});
    EXPECT_EQ(version.Exit, 0);
    EXPECT_EQ(version.Lines, QStringList{"kivo-batch 1.3"});
}

// The frequency a spectrum's text lines give, and the g of the centre "4"
// finds, in the two columns; empty without a frequency or an integration.
TEST_F(BatchTest, FrequencyAndTheGOfTheCentre) {
    const struct {
        const char* Name;
        const char* Line1;
        const char* Line2;
        const char* Frequency; // the cell
    } cases[] = {
        {"f1.esr", "DPPH", "9.4012 GHz, 293 K", "9.4012"},
        {"f2.esr", "nu=9,5GHz", "", "9.5"},
        {"f3.esr", "at 34.1 GHz", "9.3 GHz", "9.3"},
        {"f4.esr", "X-band GHz", "GHz", ""},
        {"f5.esr", "no frequency", "", ""},
    };
    QStringList files;
    for (const auto& c : cases) {
        WriteSpectrum(c.Name, 400);
        std::string bytes = ReadBytes(c.Name);
        kivo::ParamSpec p;
        kivo::ReadEsrHeader(bytes, p);
        p.Line1 = c.Line1;
        p.Line2 = c.Line2;
        WriteFile(c.Name, kivo::FormatEsrHeader(p) + bytes.substr(bytes.find("Spectr:")));
        files << c.Name;
    }
    const BatchRun integrated = Batch(QStringList{"--quiet", "--integrate"} + files);
    const BatchRun plain = Batch(QStringList{"--quiet"} + files);
    ASSERT_EQ(integrated.Lines.size(), 6);
    ASSERT_EQ(plain.Lines.size(), 6);
    for (int f = 0; f < 5; ++f) {
        SCOPED_TRACE(cases[f].Name);
        const QStringList cells = integrated.Lines[f + 1].split(QLatin1Char(','));
        ASSERT_EQ(cells.size(), 18);
        EXPECT_EQ(cells[12], QString::fromLatin1(cases[f].Frequency));
        EXPECT_EQ(plain.Lines[f + 1].split(QLatin1Char(','))[12], cells[12]);
        EXPECT_EQ(plain.Lines[f + 1].split(QLatin1Char(','))[13], QString()); // no centre found
        ReadFiles({files[f]});
        Key(Qt::Key_4);
        const double ghz = cells[12].toDouble();
        if (ghz == 0) {
            EXPECT_EQ(cells[13], QString());
            EXPECT_FALSE(form->Ui.Label2->text().contains(GCentreLabel));
            continue;
        }
        const double centre = form->Store.SpecX[1][form->Pick.PickIndex[5]];
        EXPECT_NEAR(cells[13].toDouble(), 714.47735 * ghz / centre, 1e-9);
        EXPECT_TRUE(form->Ui.Label2->text().endsWith(
            GCentreLabel + QString::fromStdString(kivo::GText(cells[13].toDouble()))))
            << form->Ui.Label2->text().toStdString();
    }
}

// Every number of a row reads back, as a double, as the double nearest to
// what the window holds: a sum held in extended precision is not printed
// with digits that round to another double.
TEST(BatchCsv, NumbersReadBackAsTheWindowsValues) {
    kivo::batch::Row row;
    row.File = "s.esr";
    row.Done = true;
    row.Status = "ok";
    row.Params.NumPoints = 3;
    row.FieldFrom = 3300.2f;
    row.FieldTo = 3399.9f;
    // The first prints to 17 digits as 69888197826.183205, which reads
    // back as ...183212, not as its own double ...183197.
    const long double sums[] = {
        69888197826.18320450186729L, -1.0L / 3, 2.5e-300L, 1e308L, 0.1L, 1.725e19L / 7};
    kivo::ParamSpec& p = row.Params;
    long double* fields[] = {&p.SumLeft1,  &p.SumRight1,   &p.SumLeft2,
                             &p.SumRight2, &p.DblIntegral, &p.NumParticles};
    for (size_t k = 0; k < 6; ++k) *fields[k] = sums[k];
    const QStringList cells =
        QString::fromStdString(kivo::batch::CsvLine(row)).trimmed().split(QLatin1Char(','));
    ASSERT_EQ(cells.size(), 18);
    // A field reads back as the float the window holds, in its shortest text.
    EXPECT_EQ(cells[3], QStringLiteral("3300.2"));
    EXPECT_EQ(std::strtof(cells[4].toLatin1().constData(), nullptr), row.FieldTo);
    for (size_t k = 0; k < 6; ++k) {
        const QByteArray cell = cells[int(k) + 5].toLatin1();
        EXPECT_EQ(std::strtod(cell.constData(), nullptr), double(sums[k])) << cell.constData();
        EXPECT_LE(cell.size(), 24) << cell.constData(); // the shortest such text
    }
}

// A value that does not fit a float refuses its file, naming the line, and a
// result beyond a double refuses its spectrum: no row that says "ok" holds
// inf or nan, and the run ends with the status of a refusal.
TEST_F(BatchTest, NoRowIsOkWithANumberThatIsNotFinite) {
    std::string big;
    for (int k = 0; k < 12; ++k)
        big += std::to_string(3200 + k) + " " + (k == 10 ? "1e39" : std::to_string(k)) + "\r\n";
    WriteFile("big.dat", big);
    std::string gaps = "field signal\r\n";
    for (int k = 0; k < 60; ++k)
        gaps += std::to_string(3200 + k) + " " +
                (k == 3 ? std::string(",") : std::to_string(k % 7)) + "\r\n";
    WriteFile("gaps.dat", gaps);
    // A spectrum whose particle count passes the largest double.
    WriteSpectrum("fine.esr", 200);
    std::string huge = ReadBytes("fine.esr");
    huge.replace(huge.find("2.00E+0004"), 10, "1.00E-0099"); // the gain
    huge.replace(huge.find("(Ruby)=0.000"), 12, "(Ruby)=0.001");
    WriteFile("huge.esr", huge);

    const BatchRun read = Batch({"--quiet", "big.dat", "gaps.dat"});
    EXPECT_EQ(read.Exit, 1);
    ASSERT_EQ(read.Lines.size(), 3);
    EXPECT_EQ(read.Lines[1],
              "big.dat,,,,,,,,,,,,,,FileSpectrum big is not prepared properly line 11,,,");
    EXPECT_EQ(read.Lines[2], "gaps.dat,1,59,3200,3259,0,0,0,0,0,0,,,,\"ok; FileSpectrum gaps has 1 "
                             "row with missing values, left out: line 5\",,,");
    const BatchRun integrated =
        Batch({"--quiet", "--integrate", "--koecu", "1e300", "huge.esr", "fine.esr"});
    EXPECT_EQ(integrated.Exit, 1);
    ASSERT_EQ(integrated.Lines.size(), 3);
    EXPECT_EQ(integrated.Lines[1],
              "huge.esr,,,,,,,,,,,,,,huge: NumParticles is not a finite number;,,,");
    EXPECT_TRUE(integrated.Lines[2].endsWith(",ok,,,")) << integrated.Lines[2].toStdString();
    for (const QString& line : read.Lines + integrated.Lines) {
        EXPECT_FALSE(line.contains("inf")) << line.toStdString();
        EXPECT_FALSE(line.contains("nan")) << line.toStdString();
    }
}

// A name the file system holds is opened whatever its bytes, and the CSV
// gives it in those bytes, quoted as any other cell.
TEST_F(BatchTest, NamesThatAreNotUtf8AreOpenedAndPrintedAsGiven) {
    WriteSpectrum("model.esr", 120);
    const std::string model = ReadBytes("model.esr");
    const std::string dir = QFile::encodeName(dir_->path()).toStdString();
    const std::string names[] = {"bad\xFF.esr", "c,\xE9\xFF.esr"};
    for (const std::string& name : names)
        ASSERT_TRUE(kivo_examples::WriteBytes(dir + "/" + name, model));
    // The shell hands the names over as the directory holds them.
    const std::string command =
        "cd '" + dir + "' && '" KIVO_BATCH "' --quiet --jobs 1 --baseline bad?.esr c,*.esr";
    std::FILE* out = ::popen(command.c_str(), "r");
    ASSERT_NE(out, nullptr);
    std::string csv;
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, out)) > 0;) csv.append(buf, n);
    const int status = ::pclose(out);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << csv;
    EXPECT_NE(csv.find("\nbad\xFF.esr,,120,"), std::string::npos) << csv;
    EXPECT_NE(csv.find("\n\"c,\xE9\xFF.esr\",,120,"), std::string::npos) << csv;
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 3) << csv;
    EXPECT_EQ(csv.substr(csv.size() - 7), ",ok,,,\n");
    for (const std::string& name : names) std::remove((dir + "/" + name).c_str());
}

} // namespace

// The field corrected on a standard and the frequency correction, file by
// file, with the refusals of a spectrum that cannot have them.
TEST_F(BatchTest, FieldStandardAndFrequencyCorrection) {
    const double ghz = 9.4012;
    const struct {
        QStringList Args;
        double G;   // 0: no field correction
        double Off; // the line off its field
        const char* Line2;
        const char* Status;
    } cases[] = {
        {{"--field-standard", "dpph", "--standard-range", "3340,3365"},
         2.0036,
         2.3,
         "9.4012 GHz",
         "ok"},
        {{"--field-standard", "lilif", "--standard-range", "3340,3365"},
         2.002293,
         -1.7,
         "9.4012 GHz",
         "ok"},
        {{"--field-standard", "2.0023", "--standard-range", "3340,3365"},
         2.0023,
         0.4,
         "9.4012 GHz",
         "ok"},
        {{"--field-standard", "dpph", "--standard-range", "3340,3365"},
         2.0036,
         0,
         "",
         "No frequency, field not corrected: s"},
        {{"--field-standard", "dpph", "--standard-range", "3500,3600"},
         2.0036,
         0,
         "9.4012 GHz",
         "No line in the standard's range, field not corrected: s"},
        {{"--frequency-to", "9.5"}, 0, 0, "9.4012 GHz", "ok"},
        {{"--frequency-to", "9.5"}, 0, 0, "", "s: no frequency, not corrected;"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Args.join(' ').toStdString() + " " + c.Line2);
        const double expected = c.G > 0 ? 714.47735 * ghz / c.G : 3350;
        const std::string file = LineFile("s.esr", expected + c.Off, c.Line2);
        std::vector<std::string> args = {"kivo-batch"};
        for (const QString& a : c.Args) args.push_back(a.toStdString());
        args.push_back(file);
        const kivo::batch::CommandLine line = kivo::batch::ParseCommandLine(args);
        ASSERT_EQ(line.What, kivo::batch::CommandLine::Action::Run) << line.Text.toStdString();
        std::vector<kivo::batch::Row> rows;
        kivo::batch::Run(line.Files, line.Work, 1,
                         [&](size_t, const std::vector<kivo::batch::Row>& r, bool) {
                             rows.insert(rows.end(), r.begin(), r.end());
                         });
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0].Status, c.Status);
        if (!rows[0].Done) continue;
        if (c.G > 0) {
            EXPECT_NEAR(rows[0].FieldFrom, 3300 - c.Off, 0.025);
            EXPECT_EQ(rows[0].Params.Line2, "9.4012 GHz, Field g=" + kivo::ShortText(c.G) + ", ");
        } else {
            EXPECT_NEAR(rows[0].FieldFrom, 3300 * 9.5 / ghz, 1e-3);
            EXPECT_EQ(rows[0].Params.Line2, "9.5000 GHz, Freq.corr, ");
        }
    }
    // What the options refuse.
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"kivo-batch", "--field-standard", "dpph", "a.esr"},
             {"kivo-batch", "--field-standard", "ruby", "--standard-range", "1,2", "a.esr"},
             {"kivo-batch", "--field-standard", "dpph", "--standard-range", "3365,3340", "a.esr"},
             {"kivo-batch", "--field-standard", "dpph", "--standard-range", "3340", "a.esr"},
             {"kivo-batch", "--frequency-to", "0", "a.esr"},
             {"kivo-batch", "--frequency-to", "x", "a.esr"}}) {
        EXPECT_EQ(kivo::batch::ParseCommandLine(args).What, kivo::batch::CommandLine::Action::Usage)
            << args[2] << " " << args[3];
    }
}

// --normalise acquisition with the factors named, as "8" Alt+N divides.
TEST_F(BatchTest, NormalisedOnTheAcquisitionParameters) {
    kivo::ParamSpec p;
    p.NumPoints = 3;
    p.Gain = 2e4;
    p.Modulation = 2;
    p.Power = 9;
    p.Line2 = "9.4 GHz, 8 scans";
    const float x[] = {3300, 3301, 3302}, y[] = {100, -300, 600};
    const std::string file = WriteFile("s.esr", kivo::FormatSpectrum(p, x, y)).toStdString();
    const struct {
        const char* How;
        double Divisor;
    } cases[] = {{"acquisition", 2e4 * 8 * 2 * 3},
                 {"acquisition:gain", 2e4},
                 {"acquisition:scans,power", 8 * 3},
                 {"acquisition:modulation,gain", 2 * 2e4}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.How);
        const kivo::batch::CommandLine line =
            kivo::batch::ParseCommandLine({"kivo-batch", "--normalise", c.How, file});
        ASSERT_EQ(line.What, kivo::batch::CommandLine::Action::Run) << line.Text.toStdString();
        std::vector<kivo::batch::Row> rows;
        kivo::batch::Run(line.Files, line.Work, 1,
                         [&](size_t, const std::vector<kivo::batch::Row>& r, bool) {
                             rows.insert(rows.end(), r.begin(), r.end());
                         });
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0].Status, "ok");
        // What the window does to the same spectrum.
        kivo::ParamSpec q = p;
        std::vector<float> yq(y, y + 3);
        const unsigned factors = unsigned(line.Work.Steps.at(0).W);
        EXPECT_EQ(kivo::NormaliseOnAcquisition(yq.data(), q, "s.esr", "s", factors), "");
        EXPECT_FLOAT_EQ(yq[2], float(600 / c.Divisor));
        EXPECT_EQ(rows[0].Params.Line2, q.Line2);
        EXPECT_EQ(rows[0].Params.Gain, q.Gain);
        EXPECT_EQ(rows[0].Params.Modulation, q.Modulation);
        EXPECT_EQ(rows[0].Params.Power, q.Power);
    }
    // The window says what it did, then what it could not.
    ReadFiles({"s.esr"});
    Key(Qt::Key_8);
    Key(Qt::Key_N, Qt::AltModifier);
    Type("12");
    EXPECT_EQ(form->ModeLine(), QStringLiteral("  Treatment     Norm by gain*scans: 1 spectrum "));
    for (const char* how : {"acquisition:", "acquisition:gain,volume", "acquire"}) {
        EXPECT_EQ(kivo::batch::ParseCommandLine({"kivo-batch", "--normalise", how, file}).What,
                  kivo::batch::CommandLine::Action::Usage)
            << how;
    }
}

TEST_F(BatchTest, FigureDrawsTheTreatedSpectraWithoutADisplay) {
    CopyExample("sample.esr");
    CopyExample("mn_sextet.esr");
    WriteBroken("broken.esr");
    const BatchRun stacked =
        Batch({"--quiet", "--baseline", "--figure", "stack.svg", "--stack", "1.2", "--field-unit",
               "mT", "--font-size", "9", "sample.esr", "broken.esr", "mn_sextet.esr"});
    // The rows and the exit status are those of a run without a figure.
    EXPECT_EQ(stacked.Exit, 1);
    ASSERT_EQ(stacked.Lines.size(), 4);
    EXPECT_TRUE(stacked.Lines[2].startsWith("broken.esr,")) << stacked.Lines[2].toStdString();
    const SvgFigure svg = ReadSvg(Path("stack.svg"));
    const QStringList texts = svg.TextContents();
    EXPECT_TRUE(texts.contains("sample") && texts.contains("mn_sextet"))
        << texts.join('|').toStdString();
    EXPECT_FALSE(texts.contains("broken"));
    EXPECT_TRUE(texts.contains("Magnetic field, mT"));
    // Two curves, the first wholly above the second.
    const std::vector<SvgFigure::Line> curves = svg.Curves();
    ASSERT_EQ(curves.size(), 2u);
    auto rows = [](const SvgFigure::Line& l) {
        const auto [top, bottom] = std::minmax_element(
            l.Points.begin(), l.Points.end(), [](QPointF a, QPointF b) { return a.y() < b.y(); });
        return std::make_pair(top->y(), bottom->y());
    };
    EXPECT_LT(rows(curves[0]).second, rows(curves[1]).first);

    // No display and no platform named: kivo-batch picks its own.
    QProcessEnvironment bare = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) bare.remove(name);
    const BatchRun sized =
        Batch({"--quiet", "--figure", "sized.pdf", "--figure-size", "12x9.5", "sample.esr"}, bare);
    EXPECT_EQ(sized.Exit, 0) << sized.Errors.toStdString();
    const QSizeF page = PdfPageSize(Path("sized.pdf"));
    EXPECT_NEAR(page.width(), 12 / 2.54 * 72, 0.001);
    EXPECT_NEAR(page.height(), 9.5 / 2.54 * 72, 0.001);

    // Every file refused: nothing to draw, and said.
    const BatchRun none = Batch({"--quiet", "--figure", "none.png", "broken.esr"});
    EXPECT_EQ(none.Exit, 1);
    EXPECT_TRUE(
        none.Errors.contains("kivo-batch: figure none.png not written: no spectrum to draw"))
        << none.Errors.toStdString();
    EXPECT_FALSE(QFile::exists(Path("none.png")));
}

TEST_F(BatchTest, FigureOptionsRefuseWhatCannotBeDrawn) {
    WriteSpectrum("a.esr", 50);
    const std::pair<QStringList, const char*> cases[] = {
        {{"--figure", "f.jpg"}, "--figure wants a name ending in .pdf, .svg or .png, not 'f.jpg'"},
        {{"--figure", "f.pdf", "--figure-size", "8.5"}, "--figure-size wants WxH in cm, not '8.5'"},
        {{"--figure", "f.pdf", "--figure-size", "1x5"},
         "--figure-size wants a number from 2 to 40, not '1'"},
        {{"--figure", "f.pdf", "--figure-size", "8x41"},
         "--figure-size wants a number from 2 to 40, not '41'"},
        {{"--figure", "f.pdf", "--font-size", "30"},
         "--font-size wants a number from 4 to 24, not '30'"},
        {{"--figure", "f.pdf", "--stack", "-1"}, "--stack wants a number from 0 to 10, not '-1'"},
        {{"--figure", "f.pdf", "--field-unit", "T"}, "--field-unit wants G or mT, not 'T'"},
        {{"--stack", "1"}, "--stack draws nothing without --figure"},
        {{"--field-unit", "mT"}, "--field-unit draws nothing without --figure"},
        {{"--legend", "x"}, "--legend draws nothing without --figure"},
        {{"--figure", "f.pdf", "--mark-g", "0.2"},
         "--mark-g wants a number from 0.5 to 10, not '0.2'"},
        {{"--axis-labels", "iso"},
         "--axis-labels draws nothing without --figure or --series-figure"},
        {{"--figure", "f.pdf", "--axis-labels", "ISO 80000"},
         "--axis-labels wants words or iso, not 'ISO 80000'"}};
    for (const auto& [args, words] : cases) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const BatchRun r = Batch(args + QStringList{"a.esr"});
        EXPECT_EQ(r.Exit, 2);
        EXPECT_TRUE(r.Lines.isEmpty());
        EXPECT_TRUE(r.Errors.startsWith(QStringLiteral("kivo-batch: ") + words + "\n"))
            << r.Errors.toStdString();
        EXPECT_FALSE(QFile::exists(Path("f.pdf")));
    }
    // More legends than spectra drawn, or a g that no frequency places: the
    // spectra are treated, the figure is not written, and the run says why.
    for (const auto& [args, words] :
         {std::pair<QStringList, const char*>{{"--legend", "a", "--legend", "b"},
                                              "2 legends for 1 curve drawn"},
          {{"--mark-g", "2.0036"}, "no spectrum with a frequency to mark g at"}}) {
        const BatchRun r =
            Batch(QStringList{"--quiet", "--figure", "f.pdf"} + args + QStringList{"a.esr"});
        EXPECT_EQ(r.Exit, 1);
        EXPECT_EQ(r.Lines.size(), 2);
        EXPECT_EQ(r.Errors,
                  QStringLiteral("kivo-batch: figure f.pdf not written: ") + words + "\n");
        EXPECT_FALSE(QFile::exists(Path("f.pdf")));
    }
}

// A two-dimensional file: a row and a written file per slice, and the series
// curve drawn from the same numbers the CSV gives.
TEST_F(BatchTest, EverySliceIsARowAndTheSeriesCurveIsTheCsvs) {
    for (const char* name : {"coal_power.DSC", "coal_power.DTA", "coal_power.YGF",
                             "coal_temperature.DSC", "coal_temperature.DTA"})
        CopyExample(QString::fromLatin1(name));
    const BatchRun run = Batch({"--quiet", "--baseline", "--integrate", "--write", "out",
                                "--series-figure", "power.svg", "coal_power.DSC", "sample.esr"});
    EXPECT_EQ(run.Exit, 1) << run.Errors.toStdString(); // sample.esr is not there
    ASSERT_EQ(run.Lines.size(), 33);
    std::vector<kivo::batch::Row> rows;
    for (int k = 1; k <= 31; ++k) {
        SCOPED_TRACE(k);
        const QStringList cells = run.Lines[k].split(QLatin1Char(','));
        ASSERT_EQ(cells.size(), 18);
        EXPECT_EQ(cells[0], QStringLiteral("coal_power.DSC"));
        EXPECT_EQ(cells[1], QString()); // no column file's number
        EXPECT_EQ(cells[14], QStringLiteral("ok"));
        EXPECT_EQ(cells[15].toInt(), k);
        EXPECT_EQ(cells[17], QStringLiteral("mW"));
        // The power as the generator wrote it, to the last digit.
        EXPECT_EQ(cells[16].toDouble(), 200.0 * std::pow(10.0, -(31 - k) / 10.0));
        kivo::batch::Row row;
        row.File = "coal_power.DSC";
        row.Done = true;
        row.Slice = k;
        row.SliceValue = cells[16].toDouble();
        row.SliceUnit = "mW";
        row.Params.DblIntegral = cells[9].toDouble();
        rows.push_back(row);
        EXPECT_TRUE(QFileInfo::exists(
            Path(QStringLiteral("out/coal_power-%1.esr").arg(k, 3, 10, QLatin1Char('0')))));
    }
    EXPECT_TRUE(run.Lines[32].startsWith(QStringLiteral("sample.esr,,")));
    EXPECT_TRUE(run.Lines[32].endsWith(QStringLiteral(",,,"))); // no slice
    EXPECT_EQ(QDir(Path("out")).entryList(QDir::Files).size(), 31);

    // The points drawn are the CSV's: sqrt(P) against the double integral,
    // and the line through the origin and the lowest powers.
    const kivo::SeriesCurve c =
        kivo::batch::SeriesCurveOf(rows, kivo::SeriesValue::Integral, kivo::AxisLabelStyle::Words);
    ASSERT_EQ(c.X.size(), 31u);
    for (size_t k = 0; k < 31; ++k) {
        EXPECT_DOUBLE_EQ(c.X[k], std::sqrt(rows[k].SliceValue));
        EXPECT_EQ(c.Y[k], double(rows[k].Params.DblIntegral));
    }
    ASSERT_EQ(c.LineX.size(), 2u);
    EXPECT_EQ(c.LineX[0], 0);
    EXPECT_DOUBLE_EQ(c.LineX[1], std::sqrt(rows[30].SliceValue));
    // Saturated at the top: the highest power lies well below the line.
    EXPECT_LT(c.Y[30], 0.5 * c.LineY[1]);
    EXPECT_EQ(c.XLabel, "√P, mW^{1/2}");
    EXPECT_EQ(c.LineNote, "");
    const std::string svg = ReadBytes("power.svg");
    // The power's exponent raised, apart from its unit.
    EXPECT_NE(svg.find(">√P, mW<"), std::string::npos);
    EXPECT_NE(svg.find(">1/2<"), std::string::npos);
    EXPECT_NE(svg.find("Double integral, a.u."), std::string::npos);

    // Curie's law: the double integral times T against T.
    const BatchRun curie = Batch({"--quiet", "--baseline", "--series-figure", "t.png", "--series-y",
                                  "amplitude", "coal_temperature.DSC"});
    EXPECT_EQ(curie.Exit, 0) << curie.Errors.toStdString();
    ASSERT_EQ(curie.Lines.size(), 30);
    EXPECT_TRUE(curie.Lines[29].endsWith(QStringLiteral(",ok,29,300,K")));
    kivo::batch::Row hot;
    hot.File = "t";
    hot.Done = true;
    hot.Slice = 1;
    hot.SliceValue = 300;
    hot.SliceUnit = "K";
    hot.Params.Amplitude = 2.5;
    const kivo::SeriesCurve t =
        kivo::batch::SeriesCurveOf({hot}, kivo::SeriesValue::Amplitude, kivo::AxisLabelStyle::Iso);
    EXPECT_EQ(t.X, std::vector<double>{300});
    EXPECT_EQ(t.Y, std::vector<double>{750});
    EXPECT_TRUE(t.LineX.empty());
    EXPECT_EQ(t.XLabel, "*T* / K");
    EXPECT_EQ(t.YLabel, "Amplitude × *T* / (a.u. K)");
    EXPECT_TRUE(QFileInfo(Path("t.png")).size() > 0);
}

// The base-line order, fit and series options misused: usage errors, each in
// its own words.
TEST_F(BatchTest, FitAndSeriesOptionsMisusedSayHow) {
    const struct {
        std::vector<std::string> Args;
        const char* Text;
    } usage[] = {
        {{"--baseline-order", "2"}, "--baseline-order does nothing without --baseline"},
        {{"--points", "1,20000"},
         "--points wants FIRST,LAST,STEP: whole numbers, FIRST from 1 below LAST, STEP from 1, "
         "not '1,20000'"},
        {{"--points", "1,20000,0"},
         "--points wants FIRST,LAST,STEP: whole numbers, FIRST from 1 below LAST, STEP from 1, "
         "not '1,20000,0'"},
        {{"--field-window", "3400,3300"},
         "--field-window wants FROM,TO in G, FROM below TO, not '3400,3300'"},
        {{"--points", "1,9,1", "--field-window", "1,2"},
         "--points and --field-window: one or the other"},
        {{"--fit-range", "1,2"}, "--fit-range does nothing without --fit or --sim-fit"},
        {{"--sim-fit", "no-model.txt"}, "--sim-fit: cannot read the model 'no-model.txt'"},
        {{"--baseline", "--baseline-order", "6"},
         "--baseline-order wants a whole number from 0 to 5, not '6'"},
        {{"--baseline", "--baseline-range", "3400,3300"},
         "--baseline-range wants FROM,TO in G, FROM below TO, not '3400,3300'"},
        {{"--fit", "gauss:0"},
         "--fit wants lorentz, gauss or voigt, with :N for 1 to 6 lines and +line for a straight "
         "line under them, not 'gauss:0'"},
        {{"--fit", "cauchy"},
         "--fit wants lorentz, gauss or voigt, with :N for 1 to 6 lines and +line for a straight "
         "line under them, not 'cauchy'"},
        {{"--field-standard-file", "d.esr"},
         "--field-standard-file does nothing without --field-standard"},
        {{"--fit", "gauss", "--fit", "lorentz"}, "--fit: one fit a run, its lines in the columns"},
        {{"--series-y", "amplitude"}, "--series-y draws nothing without --series-figure"},
        {{"--integrate", "--series-figure", "s.jpg"},
         "--series-figure wants a name ending in .pdf, .svg or .png, not 's.jpg'"},
        {{"--series-figure", "s.pdf"},
         "--series-figure of the double integral needs --integrate (or --series-y amplitude)"},
        {{"--series-figure", "s.pdf", "--series-y", "width"},
         "--series-y wants integral or amplitude, not 'width'"},
    };
    for (const auto& u : usage) {
        std::vector<std::string> args{"kivo-batch"};
        args.insert(args.end(), u.Args.begin(), u.Args.end());
        args.push_back("a.DSC");
        const kivo::batch::CommandLine bad = kivo::batch::ParseCommandLine(args);
        EXPECT_EQ(bad.What, kivo::batch::CommandLine::Action::Usage) << u.Text;
        EXPECT_EQ(bad.Text.toStdString(), u.Text);
    }
}

// A series of many short slices, treated with the points kept (as for a
// figure or --write): each slice holds its own points, not a buffer of the
// longest spectrum, so 2000 slices of 16 points take kilobytes, not the
// 240 MB of 2000 such buffers. Measured in a child process, whose peak
// memory starts where the test's is.
TEST_F(BatchTest, ShortSlicesKeepOnlyTheirOwnPoints) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer keeps freed memory back";
#endif
    kivo_examples::KnownSeries s;
    s.First = kivo_examples::DerivativeLine(16, 3300, 3400);
    s.Unit = "s";
    for (int k = 0; k < 2000; ++k) {
        s.Signals.push_back(s.First.Signal);
        s.Values.push_back(k);
    }
    const kivo_examples::Bes3tFiles f = kivo_examples::Bes3tSeries(s, {'F', false, false, false});
    WriteFile(QStringLiteral("many.DSC"), f.Dsc);
    const std::string path = WriteFile(QStringLiteral("many.DTA"), f.Dta).toStdString();
    kivo::batch::Plan plan;
    plan.KeepPoints = true;
    const Measured grown = RunInChild({path}, plan, 1, [](const kivo::batch::Row& row) {
        return row.Done && row.X.size() == 16;
    });
    ASSERT_TRUE(grown.Heard);
    EXPECT_EQ(grown.Rows, 2000); // every slice treated, its points handed on
    EXPECT_LT(grown.Kilobytes, 60 * 1024);
}

// The examples' coal line, a Lorentzian whose positive lobe lies at low
// field, integrated as a user does it ("3" Esc "4", then Alt+Q), in both
// programs: "4" finds the line's own centre in the other phase, and the
// quantitative integral comes within 8 % of the area a Lorentzian fit of
// the line puts inside the sweep; the window shows the batch's numbers.
TEST_F(BatchTest, TheExampleLineIntegratedAgainstItsFit) {
    for (const QString& name : {QStringLiteral("sample.esr"), QStringLiteral("coal_bes3t.DSC")}) {
        SCOPED_TRACE(name.toStdString());
        CopyExample(name);
        if (name.endsWith(".DSC")) CopyExample(QStringLiteral("coal_bes3t.DTA"));
        const BatchRun run = Batch(
            {"--quiet", "--baseline", "--fit", "lorentz", "--integrate", "--quantitative", name});
        ASSERT_EQ(run.Lines.size(), 2);
        const QStringList head = run.Lines[0].split(','), cells = run.Lines[1].split(',');
        ASSERT_EQ(head.size(), cells.size());
        auto cell = [&](const char* column) { return cells[head.indexOf(column)].toDouble(); };
        const double whole = std::fabs(cell("fit1_integral"));
        const double half = std::sqrt(3.0) / 2 * cell("fit1_dBpp_G");
        const double centre = cell("fit1_centre_G");
        const double inside = whole / M_PI *
                              (std::atan((cell("field_to") - centre) / half) +
                               std::atan((centre - cell("field_from")) / half));
        EXPECT_NEAR(cell("DblIntegral") / whole, 1, 0.1);
        EXPECT_NEAR(cell("DI_q") / inside, 1, 0.08);
        EXPECT_GT(cell("DI_q_err"), 0);
        EXPECT_NE(cells[head.indexOf("DI_q_flags")], QString());

        ReadFiles({name});
        Key(Qt::Key_3);
        Key(Qt::Key_Escape);
        Key(Qt::Key_4);
        EXPECT_EQ(form->Store.Params[1].PhaseSign, -1);
        EXPECT_EQ(double(form->Store.Params[1].DblIntegral), cell("DblIntegral"));
        Key(Qt::Key_Q, Qt::AltModifier);
        char shown[64];
        std::snprintf(shown, sizeof shown, "DI q = %.3E \u00B1 %.1E", cell("DI_q"),
                      cell("DI_q_err"));
        EXPECT_TRUE(form->ModeLine().contains(QString::fromUtf8(shown)))
            << form->ModeLine().toStdString();
        EXPECT_TRUE(form->Ui.Memo3->toPlainText().contains(
            QString::fromUtf8(shown).section(QStringLiteral(" \u00B1"), 0, 0)));
    }
}

// Every file the batch writes is checked against the inputs by identity: a
// symbolic or a hard link to an input (the header or the data of a pair)
// under an output's name is refused in one set of words, and the input
// keeps its bytes.
TEST_F(BatchTest, NoWriterReplacesAnInputThroughALink) {
    for (const char* name : {"coal_power.DSC", "coal_power.DTA", "coal_power.YGF"})
        CopyExample(QString::fromLatin1(name));
    WriteSpectrum("in.esr", 300);
    QDir(dir_->path()).mkpath("out");
    const struct {
        const char* Writer;
        QStringList Args;
        QString Output, Input; // the link's name, the input it is made to
        QString Said;          // in the CSV's status, else on standard error
        bool InCsv;
    } writers[] = {
        {"--write",
         {"--write", "out", "in.esr"},
         "out/in.esr",
         "in.esr",
         "FileSpectrum in is not saved: out/in.esr is one of the input files",
         true},
        {"--figure",
         {"--figure", "fig.svg", "in.esr"},
         "fig.svg",
         "in.esr",
         "kivo-batch: figure fig.svg not written: fig.svg is one of the input files\n",
         false},
        {"--series-figure",
         {"--integrate", "--series-figure", "s.svg", "coal_power.DSC"},
         "s.svg",
         "coal_power.DTA",
         "kivo-batch: series figure s.svg not written: s.svg is one of the input files\n",
         false},
    };
    for (const auto& w : writers)
        for (bool symbolic : {true, false}) {
            SCOPED_TRACE(std::string(w.Writer) + (symbolic ? " symbolic" : " hard"));
            QFile::remove(Path(w.Output));
            const QString target = Path(w.Input);
            ASSERT_TRUE(symbolic ? QFile::link(target, Path(w.Output))
                                 : ::link(target.toLocal8Bit().constData(),
                                          Path(w.Output).toLocal8Bit().constData()) == 0);
            const std::string before = ReadBytes(w.Input);
            const BatchRun run = Batch(QStringList{"--quiet"} + w.Args);
            EXPECT_EQ(run.Exit, 1);
            if (w.InCsv) {
                ASSERT_EQ(run.Lines.size(), 2);
                EXPECT_TRUE(run.Lines[1].endsWith("," + w.Said + ",,,"))
                    << run.Lines[1].toStdString();
            } else {
                EXPECT_EQ(run.Errors, w.Said);
            }
            EXPECT_EQ(ReadBytes(w.Input), before);
        }
}

namespace {

// A BES3T series of two-point slices, each slice's signal its own number.
kivo_examples::Bes3tFiles TwoPointSeries(int slices) {
    kivo_examples::KnownSeries s;
    s.First = kivo_examples::DerivativeLine(2, 3300, 3310);
    s.Unit = "s";
    for (int k = 0; k < slices; ++k) {
        s.Signals.push_back({double(k), double(-k)});
        s.Values.push_back(k);
    }
    return kivo_examples::Bes3tSeries(s, {'F', false, false, false});
}

} // namespace

// Rows come out as they are made, in the order of the files and of the
// slices, with two jobs: a series longer than what a file may hold back
// while it waits, between single spectra and another series; each file ends
// once, after its last row.
TEST_F(BatchTest, RowsOfSeriesComeInFileOrderWithTwoJobs) {
    const kivo_examples::Bes3tFiles f = TwoPointSeries(3000);
    for (const char* stem : {"s1", "s2"}) {
        WriteFile(QString::fromLatin1(stem) + ".DSC", f.Dsc);
        WriteFile(QString::fromLatin1(stem) + ".DTA", f.Dta);
    }
    WriteSpectrum("a.esr", 60);
    WriteSpectrum("b.esr", 60);
    const std::vector<std::string> files = {
        Path("a.esr").toStdString(), Path("s1.DSC").toStdString(), Path("b.esr").toStdString(),
        Path("s2.DSC").toStdString()};
    std::vector<std::pair<size_t, int>> seen; // file and slice of each row
    std::vector<size_t> ended;
    kivo::batch::Run(files, {}, 2,
                     [&](size_t file, const std::vector<kivo::batch::Row>& rows, bool fileEnds) {
                         for (const kivo::batch::Row& row : rows) {
                             EXPECT_EQ(row.File, files[file]);
                             EXPECT_TRUE(row.Done) << row.Status;
                             seen.emplace_back(file, row.Slice);
                         }
                         if (fileEnds) ended.push_back(file);
                     });
    std::vector<std::pair<size_t, int>> expected;
    for (size_t file = 0; file < files.size(); ++file) {
        if (file % 2 == 0) expected.emplace_back(file, 0);
        for (int k = 1; file % 2 == 1 && k <= 3000; ++k) expected.emplace_back(file, k);
    }
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(ended, (std::vector<size_t>{0, 1, 2, 3}));
}

// A long series is not held whole: 200 000 slices behind another file with
// two jobs grow the peak memory by what the series' bytes take, not by a row
// a slice (measured in a child process, as above).
TEST_F(BatchTest, ALongSeriesIsNotHeldWhole) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer keeps freed memory back";
#endif
    const kivo_examples::Bes3tFiles f = TwoPointSeries(200000);
    WriteFile(QStringLiteral("long.DSC"), f.Dsc);
    const std::string path = WriteFile(QStringLiteral("long.DTA"), f.Dta).toStdString();
    WriteSpectrum("a.esr", 60);
    const std::vector<std::string> files = {Path("a.esr").toStdString(),
                                            Path("long.DSC").toStdString()};
    const Measured grown =
        RunInChild(files, {}, 2, [](const kivo::batch::Row& row) { return row.Done; });
    ASSERT_TRUE(grown.Heard);
    EXPECT_EQ(grown.Rows, 200001);
    // The data and the values take about 3 MB; a row a slice took 300.
    EXPECT_LT(grown.Kilobytes, 20 * 1024);
}

// Damaged and odd inputs through both programs, which share the readers: a
// slice count that is no count, a device, and a series with more slices than
// the window has free slots (read correctly, so no refusal).
TEST_F(BatchTest, DamagedInputsAreRefusedAlikeByTheBatchAndTheCheck) {
    for (const char* name : {"coal_temperature.DSC", "coal_temperature.DTA"})
        CopyExample(QString::fromLatin1(name));
    kivo_examples::KnownSeries five;
    five.First = kivo_examples::DerivativeLine(64, 3300, 3400);
    five.Unit = "K";
    for (int k = 0; k < 5; ++k) {
        five.Signals.push_back(five.First.Signal);
        five.Values.push_back(100 + 10 * k);
    }
    const kivo_examples::Bes3tFiles good =
        kivo_examples::Bes3tSeries(five, {'F', true, false, false});
    const char* const refusedCount =
        "FileSpectrum coal is not prepared properly no number of slices";
    struct Case {
        std::string Count; // YPTS of the five-slice file; empty: File is read
        QString File;
        int BatchRows, Exit;
        QString Said;      // the last row's status and the check's mode line
        QString CheckAlso; // another line the check prints
    };
    std::vector<Case> cases;
    for (const char* count : {"0", "-5", "nan", "inf", "five", "0x10", "2.5"})
        cases.push_back({count, "coal.DSC", 1, 1, refusedCount, {}});
    cases.push_back({"",
                     "/dev/zero",
                     1,
                     1,
                     "FileSpectrum zero is not prepared properly not a regular file",
                     {}});
    cases.push_back({"", "coal_temperature.DSC", 29, 0,
                     "FileSpectrum coal_temperature: slices 1 to 29 step 2 taken, 15 of 29",
                     "coal_temperature: 14 slices not taken"});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.File.toStdString() + " " + c.Count);
        if (!c.Count.empty()) {
            std::string dsc = good.Dsc;
            const size_t at = dsc.find("YPTS\t5");
            ASSERT_NE(at, std::string::npos);
            WriteFile("coal.DSC", dsc.replace(at, 6, "YPTS\t" + c.Count));
            WriteFile("coal.DTA", good.Dta);
        }
        const BatchRun run = Batch({"--quiet", c.File});
        EXPECT_EQ(run.Exit, c.Exit);
        ASSERT_EQ(run.Lines.size(), c.BatchRows + 1);
        const QString status = c.Exit == 0 ? QStringLiteral("ok") : c.Said;
        EXPECT_TRUE(run.Lines.back().contains("," + status + ","))
            << run.Lines.back().toStdString();

        QProcess kivo;
        kivo.setWorkingDirectory(dir_->path());
        kivo.start(QStringLiteral(KIVO_PROGRAM), {"--check", c.File});
        ASSERT_TRUE(kivo.waitForFinished(60000));
        const QStringList printed =
            QString::fromLocal8Bit(kivo.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        EXPECT_EQ(kivo.exitCode(), c.Exit);
        ASSERT_FALSE(printed.isEmpty());
        const QStringList tail = printed.mid(printed.size() - (c.CheckAlso.isEmpty() ? 1 : 2));
        EXPECT_TRUE(tail[0].startsWith(c.Said)) << tail[0].toStdString();
        if (!c.CheckAlso.isEmpty()) {
            EXPECT_EQ(tail[1], c.CheckAlso);
        }
    }
}

// The spins of the coal line against the DPPH recording as a standard: in
// the window through the keys ("4", Alt+S on the standard, its spins typed
// with an uncertainty, Alt+N) and in the batch, one number.
TEST_F(BatchTest, SpinsAgainstAStandardInBothPrograms) {
    for (const char* name :
         {"coal_bes3t.DSC", "coal_bes3t.DTA", "dpph_winepr.par", "dpph_winepr.spc"})
        CopyExample(QString::fromLatin1(name));
    const BatchRun run =
        Batch({"--quiet", "--spin-standard", "dpph_winepr.par", "--spin-standard-spins", "1e16",
               "--spin-standard-error", "5e14", "coal_bes3t.DSC"});
    ASSERT_EQ(run.Lines.size(), 2) << run.Errors.toStdString();
    const QStringList head = run.Lines[0].split(','), cells = run.Lines[1].split(',');
    ASSERT_EQ(head.mid(head.size() - 2), (QStringList{"spins", "spins_err"}));
    const double spins = cells[head.size() - 2].toDouble();
    ASSERT_GT(spins, 0) << run.Lines[1].toStdString();

    ReadFiles({"coal_bes3t.DSC", "dpph_winepr.par"});
    ASSERT_EQ(form->Store.NumSpec, 2);
    Key(Qt::Key_4);
    EXPECT_TRUE(form->Ui.Label2->text().contains(GCentreLabel));
    now += 1000;
    QTest::mouseClick(form->Ui.SpecCheck[1], Qt::LeftButton); // the standard alone marked
    Settle();
    // The g of the coal line's centre went with it.
    EXPECT_FALSE(form->Ui.Label2->text().contains(GCentreLabel))
        << form->Ui.Label2->text().toStdString();
    Key(Qt::Key_S, Qt::AltModifier);
    for (Qt::Key k : {Qt::Key_1, Qt::Key_E, Qt::Key_1, Qt::Key_6, Qt::Key_Space, Qt::Key_5,
                      Qt::Key_E, Qt::Key_1, Qt::Key_4, Qt::Key_Return})
        Key(k);
    EXPECT_TRUE(form->Ui.SpecCheck[2]->text().endsWith(SpinStandardMark));
    now += 1000;
    QTest::mouseClick(form->Ui.SpecCheck[1], Qt::LeftButton);
    Settle();
    Key(Qt::Key_N, Qt::AltModifier);

    kivo::QuantitativeIntegral q, qr;
    const kivo::SpinSide standard =
        kivo::SpinSideOf(form->Store.SpecX[2].Data(), form->Store.SpecY[2].Data(),
                         form->Store.Params[2], 0, "dpph_winepr", qr);
    const kivo::SpinCount c =
        kivo::CountSpinsOf(form->Store.SpecX[1].Data(), form->Store.SpecY[1].Data(),
                           form->Store.Params[1], 0, standard, 1e16, 5e14, 0, "coal_bes3t", q);
    EXPECT_NEAR(double(c.Spins) / spins, 1, 1e-12);
    const QString shown = QString::fromStdString(kivo::SpinText(c, "dpph_winepr"));
    EXPECT_TRUE(form->ModeLine().contains(shown)) << form->ModeLine().toStdString();
    EXPECT_TRUE(form->Ui.Memo3->toPlainText().contains(QStringLiteral(" g ")));
    EXPECT_NE(form->Store.Params[1].Line2.find(kivo::SpinNote(c, "dpph_winepr")),
              std::string::npos);
}

// The peak-to-peak width, started from the treatment panel's Commands menu
// and from kivo-batch --ptp over the same fields: one width and one g.
TEST_F(BatchTest, PeakToPeakWidthInBothPrograms) {
    for (const char* name : {"coal_bes3t.DSC", "coal_bes3t.DTA"})
        CopyExample(QString::fromLatin1(name));
    ReadFiles({"coal_bes3t.DSC"});
    Key(Qt::Key_8);
    form->FillCommandsMenu();
    const QList<QAction*> items = form->Ui.CommandsMenu->actions();
    ASSERT_EQ(size_t(items.size()), TreatmentCommands().size());
    for (QAction* item : items)
        if (item->text().endsWith(QStringLiteral("\tAlt+B"))) item->trigger();
    ASSERT_EQ(form->Pick.TaskCode, TaskPeakToPeak);
    const double from = form->Store.SpecX[1][form->Pick.PickIndex[1]];
    const double to = form->Store.SpecX[1][form->Pick.PickIndex[2]];
    Key(Qt::Key_Return);
    Key(Qt::Key_Return);

    const BatchRun run = Batch({"--quiet", "--ptp",
                                QString::number(from, 'g', 17) + ',' + QString::number(to, 'g', 17),
                                "coal_bes3t.DSC"});
    ASSERT_EQ(run.Lines.size(), 2) << run.Errors.toStdString();
    const QStringList head = run.Lines[0].split(','), cells = run.Lines[1].split(',');
    const double width = cells[head.indexOf("ptp_width_G")].toDouble();
    const double g = cells[head.indexOf("ptp_g")].toDouble();
    EXPECT_GT(width, 5);
    EXPECT_TRUE(form->ModeLine().contains(QStringLiteral("dBpp = ") +
                                          QString::fromStdString(kivo::ShortText(width)) + " G"))
        << form->ModeLine().toStdString();
    EXPECT_TRUE(
        form->ModeLine().contains(QStringLiteral("g = ") + QString::fromStdString(kivo::GText(g))));
}

// A 1:2:1 triplet of Lorentzian lines 6 G wide, 14 G apart, maximum first,
// 2000 peak to peak in the middle, noise 25 (S/N 80), on the base line
// 100 + 0.5 (B - 3350): the three lines are found after "3" or on a straight
// line fitted with them, whose offset and slope come back; one line alone is
// a poor fit that says so and keeps its numbers.
TEST_F(BatchTest, FitsFindEveryLineOrSaySo) {
    const double centres[] = {3336.1, 3350.1, 3364.1};
    std::mt19937 rng(80);
    std::normal_distribution<double> noise(0, 25);
    std::vector<float> x(1024), y(1024);
    for (size_t k = 0; k < 1024; ++k) {
        x[k] = float(3250 + 200.0 * k / 1023);
        double v = 100 + 0.5 * (x[k] - 3350) + noise(rng);
        for (int l = 0; l < 3; ++l) {
            const double u = (x[k] - centres[l]) / (3 * std::sqrt(3.0));
            v -= (l == 1 ? 2000 : 1000) * 2 * u / ((1 + u * u) * (1 + u * u)) /
                 (9 / (4 * std::sqrt(3.0)));
        }
        y[k] = float(v);
    }
    kivo::ParamSpec p;
    p.NumPoints = 1024;
    const std::string file =
        WriteFile("t.esr", kivo::FormatSpectrum(p, x.data(), y.data())).toStdString();
    for (const std::vector<std::string>& steps :
         {std::vector<std::string>{"--baseline", "--fit", "lorentz:3"},
          {"--fit", "lorentz:3+line"},
          {"--baseline", "--fit", "lorentz"}}) {
        std::vector<std::string> args = {"kivo-batch", "--fit-range", "3320,3380", file};
        args.insert(args.begin() + 1, steps.begin(), steps.end());
        SCOPED_TRACE(steps.back());
        kivo::batch::Plan plan;
        const std::vector<kivo::batch::Row> rows = Rows(args, &plan);
        ASSERT_EQ(rows.size(), 1u);
        const kivo::LineFit& f = rows[0].Fit;
        const QStringList cells = CsvCells(kivo::batch::CsvLine(rows[0], plan));
        EXPECT_NEAR(f.Noise, 25, 4);
        EXPECT_EQ(cells[cells.size() - 5].toDouble(), f.Chi2Red);
        for (qsizetype c = 1; c <= 4; ++c)
            EXPECT_EQ(cells[cells.size() - c].isEmpty(), !f.Straight);
        if (f.Lines.size() == 1) {
            char words[80];
            std::snprintf(words, sizeof words, "poor fit (rms %.3g, noise %.3g)", f.Rms, f.Noise);
            EXPECT_EQ(cells[14].toStdString(), words);
            EXPECT_GT(f.Rms, 3 * 25);
            continue;
        }
        EXPECT_EQ(cells[14], "ok");
        EXPECT_NEAR(f.Chi2Red, 1, 0.3);
        for (size_t k = 0; k < 3; ++k) EXPECT_NEAR(f.Lines[k].Centre, centres[k], 0.1);
        if (!f.Straight) continue;
        EXPECT_NEAR(f.Offset, 100 + 0.5 * (f.Middle - 3350), 4 * f.OffsetErr);
        EXPECT_NEAR(f.Slope, 0.5, 4 * f.SlopeErr);
    }
}

// A DPPH line recorded in a file of its own shifts the sample by what it is
// off, scaled from its frequency to the sample's (refused without one); a
// known shift is applied as given; both go into field_shift_G. The
// standard's file is an input: no output replaces it, through a link.
TEST_F(BatchTest, ASeparateFieldStandardAndAKnownShift) {
    const std::string sample = LineFile("s.esr", 3350, "9.4012 GHz");
    const struct {
        const char* Standard; // its second text line; "": none
        double Shift;
        const char* Refusal;
    } cases[] = {{"9.4012 GHz", -2.3, ""},
                 {"9.5 GHz", -2.3 * 9.4012 / 9.5, ""},
                 {"DPPH", 0, "No frequency, field not corrected: d"},
                 {"", 1.5, ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Standard);
        const double ghz = std::max(kivo::FindFrequency(c.Standard).GHz, 9.4012);
        const double at = kivo::ResonanceField(ghz, kivo::DpphG);
        const std::string standard = LineFile("d.esr", at + 2.3, c.Standard),
                          range = std::to_string(at - 10) + "," + std::to_string(at + 15);
        kivo::batch::Plan plan;
        std::string refused;
        const std::vector<kivo::batch::Row> rows = Rows(
            *c.Standard ? std::vector<std::string>{"kivo-batch", "--field-standard", "dpph",
                                                   "--standard-range", range,
                                                   "--field-standard-file", standard, sample}
                        : std::vector<std::string>{"kivo-batch", "--field-shift", "1.5", sample},
            &plan, &refused);
        EXPECT_EQ(refused, c.Refusal);
        if (!refused.empty()) continue;
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_NEAR(rows[0].FieldShift, c.Shift, 0.002);
        EXPECT_EQ(rows[0].FieldFrom, float(3300 + rows[0].FieldShift));
        EXPECT_EQ(CsvCells(kivo::batch::CsvLine(rows[0], plan)).last().toDouble(),
                  rows[0].FieldShift);
        char remark[160] = "";
        if (ghz != 9.4012)
            std::snprintf(remark, sizeof remark,
                          "the standard's shift %.4f G at 9.5000 GHz scaled to 9.4012 GHz: %.4f G",
                          plan.FieldStandardLine.Shift, rows[0].FieldShift);
        EXPECT_EQ(rows[0].Remark, remark);
        EXPECT_EQ(rows[0].Params.Line2,
                  *c.Standard ? "9.4012 GHz, Field g=2.0036, " : "9.4012 GHz, Field shift 1.5 G, ");
    }
    LineFile("d.esr", kivo::ResonanceField(9.4012, kivo::DpphG) + 2.3, "9.4012 GHz");
    ASSERT_TRUE(QDir(dir_->path()).mkdir(QStringLiteral("out")));
    ASSERT_TRUE(QFile::link(Path("d.esr"), Path("out/s.esr")));
    const std::string before = ReadBytes("d.esr");
    kivo::batch::Plan plan;
    const std::vector<kivo::batch::Row> rows =
        Rows({"kivo-batch", "--field-standard", "dpph", "--standard-range", "3340,3365",
              "--field-standard-file", Path("d.esr").toStdString(), "--write",
              Path("out").toStdString(), sample},
             &plan);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_TRUE(rows[0].Status.ends_with("is one of the input files")) << rows[0].Status;
    EXPECT_EQ(ReadBytes("d.esr"), before);
}

// A frequency that is no number, in a BES3T descriptor, a series or an ESP
// parameter file, is named in each row's status and on the mode line after
// the read.
TEST_F(BatchTest, AFrequencyThatIsNoNumberIsNamed) {
    const kivo_examples::KnownSpectrum k = kivo_examples::DerivativeLine(256, 3300, 3400);
    const kivo_examples::Bes3tFiles one = kivo_examples::Bes3t(k, {}),
                                    two = kivo_examples::Bes3tSeries(
                                        {k, {k.Signal, k.Signal}, {1, 2}, "mW"}, {});
    const kivo_examples::EspFiles esp = kivo_examples::Esp(k, false);
    const struct {
        std::string Name, Key, Header, Data, DataName;
    } cases[] = {{"one.DSC", "MWFQ", one.Dsc, one.Dta, "one.DTA"},
                 {"two.DSC", "MWFQ", two.Dsc, two.Dta, "two.DTA"},
                 {"esp.par", "MF", esp.Par, esp.Spc, "esp.spc"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string header = std::regex_replace(
            c.Header, std::regex("(^|\n)" + c.Key + "([ \t]+)[^\r\n]*"), "$1" + c.Key + "$2abc");
        ASSERT_NE(header, c.Header);
        WriteFile(QString::fromStdString(c.Name), header);
        WriteFile(QString::fromStdString(c.DataName), c.Data);
        const std::string said = "FileSpectrum " + c.Name.substr(0, 3) + ": " + c.Key +
                                 " 'abc' is not a frequency, left out";
        kivo::batch::Plan plan;
        const std::vector<kivo::batch::Row> rows =
            Rows({"kivo-batch", Path(QString::fromStdString(c.Name)).toStdString()}, &plan);
        ASSERT_FALSE(rows.empty());
        for (const kivo::batch::Row& row : rows) EXPECT_EQ(row.Status, "ok; " + said);
        ReadFiles({QString::fromStdString(c.Name)});
        EXPECT_TRUE(form->ModeLine().contains(QString::fromStdString(said)))
            << form->ModeLine().toStdString();
    }
}

// The window's series curve of the slices it read and integrated is the
// batch's of the same slices, and its export draws it with the legend and
// the axis names chosen.
TEST_F(BatchTest, TheWindowsSeriesCurveIsTheBatchs) {
    for (const char* name : {"coal_power.DSC", "coal_power.DTA", "coal_power.YGF"})
        CopyExample(QString::fromLatin1(name));
    const BatchRun run = Batch({"--quiet", "--integrate", "coal_power.DSC"});
    ASSERT_EQ(run.Exit, 0) << run.Errors.toStdString();
    ASSERT_EQ(run.Lines.size(), 32);
    ReadFiles({"coal_power.DSC"});
    ASSERT_EQ(form->Store.NumSpec, 16); // every second of the 31 slices
    Key(Qt::Key_Escape);                // the other slices not wanted
    for (int i = 1; i <= 16; ++i) form->Ui.SpecCheck[i]->setChecked(true);
    Key(Qt::Key_4);
    Menu(QStringLiteral("View"), QStringLiteral("Series curve..."));
    // Without a base line the two lowest powers stand too far from
    // proportion for a straight line, and the mode line says so.
    EXPECT_EQ(form->ModeLine(),
              QStringLiteral("   Series curve: double integral of 16 spectra against √P; no "
                             "straight line: the signal at the two lowest powers differs by "
                             "more than 5 % from proportion to the square root of the power "));
    ASSERT_TRUE(form->Ui.SeriesView);
    EXPECT_FALSE(form->Ui.SeriesView->Picture->pixmap().isNull());
    const kivo::SeriesCurve& c = form->Ui.SeriesView->Curve();
    ASSERT_EQ(c.X.size(), 16u);
    for (size_t k = 0; k < 16; ++k) {
        SCOPED_TRACE(k);
        const QStringList cells = run.Lines[qsizetype(2 * k + 1)].split(QLatin1Char(','));
        EXPECT_EQ(cells[15].toInt(), int(2 * k + 1));
        EXPECT_NEAR(c.X[k], std::sqrt(cells[16].toDouble()), 1e-12);
        EXPECT_NEAR(c.Y[k], cells[9].toDouble(), 1e-9 * std::fabs(cells[9].toDouble()));
    }
    EXPECT_TRUE(c.LineX.empty());

    figureChoice = [](FigureDialog& d) {
        d.Labels->setCurrentIndex(1);
        d.LegendTexts->setPlainText(QStringLiteral("coal, 20 K"));
        return true;
    };
    form->Ui.SaveDialog3.FilterIndex = 2;
    AnswerFiles({"saturation.svg"});
    form->Ui.SeriesView->Export->click();
    ASSERT_EQ(PendingAnswers(), 0);
    EXPECT_EQ(form->ModeLine(), QStringLiteral("   Picture saved: saturation.svg "));
    const std::string svg = ReadBytes("saturation.svg");
    for (const char* text : {">coal, 20 K<", ">√<", ">P<", "> / mW<", ">1/2<",
                             ">Double integral / a.u.<", "font-style=\"italic\""})
        EXPECT_NE(svg.find(text), std::string::npos) << text;
}

// A nitroxide of known couplings with noise: --sim-fit finds them within
// their errors in the columns after every other, between the fields of
// --fit-range; --simulate with --write saves the scaled simulation beside
// the treated spectrum.
TEST_F(BatchTest, SimulationFitColumnsAndTheSimulatedFile) {
    const char* truth = "g 2.0058\nnucleus 14N 1 15.6 G\nnucleus 1H 2 3.1 G\nwidth 0.9 G lorentz\n";
    std::vector<float> x(3000), y(3000);
    for (size_t k = 0; k < x.size(); ++k) x[k] = float(3330 + 0.04 * double(k));
    std::vector<double> clean(x.size());
    ASSERT_EQ(
        kivo::Simulate(kivo::ReadModel(truth).Model, x.data(), int(x.size()), 9.5, clean.data()),
        "");
    std::mt19937 rng(3);
    std::normal_distribution<double> noise(0, 0.02);
    for (size_t k = 0; k < x.size(); ++k) y[k] = float(100 * clean[k] + noise(rng));
    kivo::ParamSpec p;
    p.NumPoints = uint16_t(x.size());
    p.Line2 = "nu=9.5 GHz";
    WriteFile("n.esr", kivo::FormatSpectrum(p, x.data(), y.data()));
    WriteFile("fit.txt",
              "g 2.0062?\nnucleus 14N 1 14? G\nnucleus 1H 2 3.4? G\nwidth 1.1? G lorentz\n");
    WriteFile("sim.txt", truth);

    const BatchRun run = Batch({"--quiet", "--ptp", "3380,3400", "--sim-fit", "fit.txt",
                                "--fit-range", "3335,3440", "n.esr"});
    ASSERT_EQ(run.Lines.size(), 2) << run.Errors.toStdString();
    const QStringList head = run.Lines[0].split(','), cells = run.Lines[1].split(',');
    const QStringList want = {"ptp_g",          "sim_g",   "sim_g_err",  "sim_A1",
                              "sim_A1_err",     "sim_A2",  "sim_A2_err", "sim_width1",
                              "sim_width1_err", "sim_rms", "sim_chi2"};
    ASSERT_EQ(head.mid(head.size() - want.size()), want);
    const double truths[] = {2.0058, 15.6, 3.1, 0.9};
    for (int k = 0; k < 4; ++k) {
        const double v = cells[head.indexOf(want[1 + 2 * k])].toDouble();
        const double e = cells[head.indexOf(want[2 + 2 * k])].toDouble();
        EXPECT_GT(e, 0);
        EXPECT_NEAR(v, truths[k], 4 * e) << want[1 + 2 * k].toStdString();
    }
    EXPECT_NEAR(cells[head.indexOf("sim_rms")].toDouble(), 0.02, 0.002);

    const BatchRun written = Batch({"--quiet", "--simulate", "sim.txt", "--write", "out", "n.esr"});
    ASSERT_EQ(written.Exit, 0) << written.Errors.toStdString();
    const std::string simulated = ReadBytes("out/n-sim.esr");
    ASSERT_FALSE(simulated.empty());
    EXPECT_NE(simulated.find("Simulated"), std::string::npos);
    // Scaled to the spectrum: the noise is what is left.
    const QStringList lines = QString::fromStdString(simulated).split("\r\n");
    const qsizetype at = lines.indexOf("Spectr:");
    ASSERT_GT(at, 0);
    double squares = 0;
    for (size_t k = 0; k < x.size(); ++k) {
        const double v = lines[at + 1 + qsizetype(k)].split(' ', Qt::SkipEmptyParts)[1].toDouble();
        squares += (v - y[k]) * (v - y[k]);
    }
    EXPECT_NEAR(std::sqrt(squares / double(x.size())), 0.02, 0.002);
}
