// The options of kivo-batch and the checks of their values.
#include "command_line.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>
#include <string_view>
#include <thread>

#include "picture.h"

namespace kivo::batch {

namespace {

// Thrown by the readers of the values below; ParseCommandLine turns it into
// its answer.
struct UsageError {
    QString Text;
};

// The arguments go through the parser as Latin-1, which maps every byte to
// one character and back: no name the file system holds is lost on the way.
std::string Local(const QString& s) {
    return s.toLatin1().toStdString();
}

// The limits as the usage words give them: "7500", "1e-300", "1e300".
QString LimitText(double v) {
    return QString::number(v, 'g', 15).remove(QLatin1Char('+'));
}

double Limited(const QString& option, const QString& text, const ParameterLimit& limit) {
    double v = 0;
    if (ReadLimited(Local(text), limit, v) != OptionFault::None)
        throw UsageError{
            QStringLiteral("--%1 wants %2 from %3 to %4, not '%5'")
                .arg(option,
                     limit.Whole ? QStringLiteral("a whole number") : QStringLiteral("a number"),
                     LimitText(limit.Min), LimitText(limit.Max), text)};
    return v;
}

// acquisition[:gain,scans,modulation,power]: all four when none is named.
Step AcquisitionNormalisation(const QString& how) {
    static const std::map<QString, unsigned> names = {
        {QStringLiteral("gain"), FactorGain},
        {QStringLiteral("scans"), FactorScans},
        {QStringLiteral("modulation"), FactorModulation},
        {QStringLiteral("power"), FactorPower}};
    const qsizetype colon = how.indexOf(QLatin1Char(':'));
    unsigned factors = colon < 0 ? unsigned(AllFactors) : 0u;
    if (colon >= 0) {
        for (const QString& name : how.mid(colon + 1).split(QLatin1Char(','))) {
            const auto it = names.find(name);
            if (it == names.end())
                throw UsageError{QStringLiteral("--normalise acquisition: wants gain, scans, "
                                                "modulation or power, not '%1'")
                                     .arg(name)};
            factors |= it->second;
        }
    }
    return {StepKind::NormAcquisition, int(factors), 0};
}

Step Normalisation(const QString& how) {
    if (how == QStringLiteral("acquisition") || how.startsWith(QStringLiteral("acquisition:")))
        return AcquisitionNormalisation(how);
    static const std::map<QString, StepKind> kinds = {
        {QStringLiteral("amplitude"), StepKind::NormAmplitude},
        {QStringLiteral("integral"), StepKind::NormIntegral},
        {QStringLiteral("ruby"), StepKind::NormRuby}};
    const auto it = kinds.find(how);
    if (it == kinds.end())
        throw UsageError{
            QStringLiteral("--normalise wants amplitude, integral, ruby or acquisition, not '%1'")
                .arg(how)};
    return {it->second, 0, 0};
}

Step Smoothing(const QString& text) {
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 2)
        throw UsageError{QStringLiteral("--smooth wants N,R, not '%1'").arg(text)};
    const QString option = QStringLiteral("smooth");
    return {StepKind::Smooth, int(Limited(option, parts[0], LimitOf(Parameter::SmoothingNumber))),
            int(Limited(option, parts[1], LimitOf(Parameter::RestrictNumber)))};
}

// FROM,TO in G, FROM below TO, into step; wants names what asks for it.
void ReadFieldRange(const QString& range, const QString& wants, Step& step) {
    const QStringList parts = range.split(QLatin1Char(','));
    double from = 0, to = 0;
    if (parts.size() != 2 || !ReadNumber(Local(parts[0]), from) ||
        !ReadNumber(Local(parts[1]), to) || !(from < to))
        throw UsageError{
            QStringLiteral("%1 FROM,TO in G, FROM below TO, not '%2'").arg(wants, range)};
    step.From = from;
    step.To = to;
}

// --ptp FROM,TO: the fields that enclose the line measured.
Step PeakToPeakStep(const QString& range) {
    Step step{StepKind::PeakToPeak, 0, 0};
    ReadFieldRange(range, QStringLiteral("--ptp wants"), step);
    return step;
}

// --field-standard dpph|lilif|G, on the line --standard-range FROM,TO encloses.
Step FieldStandard(const QString& which, const QCommandLineParser& parser) {
    Step step{StepKind::FieldStandard, 0, 0};
    if (which == QStringLiteral("dpph"))
        step.Value = DpphG;
    else if (which == QStringLiteral("lilif"))
        step.Value = LiLiFG;
    else if (ReadLimited(Local(which), {"g", false, 0.1, 20}, step.Value) != OptionFault::None)
        throw UsageError{
            QStringLiteral("--field-standard wants dpph, lilif or a g from 0.1 to 20, not '%1'")
                .arg(which)};
    ReadFieldRange(parser.value(QStringLiteral("standard-range")),
                   QStringLiteral("--field-standard wants --standard-range"), step);
    return step;
}

// --baseline with its order and the range of the signal, when given.
Step BaseLine(const QCommandLineParser& parser) {
    Step step{StepKind::BaseLine, LinearBaseLineOrder, 0};
    const QString order = QStringLiteral("baseline-order");
    if (parser.isSet(order))
        step.W = int(Limited(order, parser.value(order),
                             {"base line order", true, 0, double(MaxBaseLineOrder)}));
    const QString range = QStringLiteral("baseline-range");
    if (parser.isSet(range))
        ReadFieldRange(parser.value(range), QStringLiteral("--baseline-range wants"), step);
    return step;
}

// --fit lorentz|gauss|voigt[:N][+line], on the points --fit-range encloses,
// if given.
Step Fit(const QString& what, const QCommandLineParser& parser) {
    Step step{StepKind::FitLines, 1, 0};
    const QString line = QStringLiteral("+line");
    step.Straight = what.endsWith(line);
    const QString lines = step.Straight ? what.chopped(line.size()) : what;
    const qsizetype colon = lines.indexOf(QLatin1Char(':'));
    bool count = true;
    if (colon >= 0) step.W = lines.mid(colon + 1).toInt(&count);
    if (!ReadShapeName(Local(lines.left(colon)), step.Shape) || !count || step.W < 1 ||
        step.W > MaxFitLines)
        throw UsageError{
            QStringLiteral("--fit wants lorentz, gauss or voigt, with :N for 1 to %1 lines and "
                           "+line for a straight line under them, not '%2'")
                .arg(MaxFitLines)
                .arg(what)};
    const QString range = QStringLiteral("fit-range");
    if (parser.isSet(range))
        ReadFieldRange(parser.value(range), QStringLiteral("--fit-range wants"), step);
    return step;
}

// --simulate or --sim-fit MODEL: the model read from its file, a SimFit on
// the points --fit-range encloses, if given.
Step Simulation(const QString& option, const QString& file, const QCommandLineParser& parser,
                Plan& plan) {
    std::ifstream in(Local(file), std::ios::binary);
    std::ostringstream text;
    if (!in || !(text << in.rdbuf()))
        throw UsageError{QStringLiteral("--%1: cannot read the model '%2'").arg(option, file)};
    const ModelRead read = ReadModel(text.str());
    if (!read.Refusal.empty())
        throw UsageError{
            QStringLiteral("--%1 %2: %3").arg(option, file, QString::fromStdString(read.Refusal))};
    plan.Sim = read.Model;
    Step step{option == QStringLiteral("sim-fit") ? StepKind::SimFit : StepKind::Simulate, 0, 0};
    if (step.Kind == StepKind::SimFit) {
        plan.SimFitColumns = true;
        plan.SimColumns = FreeValueNames(read.Model);
        const QString range = QStringLiteral("fit-range");
        if (parser.isSet(range))
            ReadFieldRange(parser.value(range), QStringLiteral("--fit-range wants"), step);
    }
    return step;
}

void DescribeOptions(QCommandLineParser& parser) {
    parser.setApplicationDescription(QStringLiteral(
        "Treats ESR spectrum files (.esr, .txt, .dat, .DSC, .par) as Kivo's keys do and prints one "
        "CSV row per spectrum. The treatments run in the order given."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({
        {QStringLiteral("baseline"),
         QStringLiteral("Linear base line, as \"3\" and Esc: the means of NumAver points at "
                        "each end.")},
        {QStringLiteral("baseline-order"),
         QStringLiteral("The base line's order, 0 to 5 (default 1, the straight line); other "
                        "orders fit a polynomial to the ends."),
         QStringLiteral("N")},
        {QStringLiteral("baseline-range"),
         QStringLiteral("The fields, G, between which the signal lies: the base line is taken "
                        "outside them (default: NumAver points at each end)."),
         QStringLiteral("FROM,TO")},
        {QStringLiteral("fit"),
         QStringLiteral("Fit N first-derivative lines (default 1) of the shape: lorentz, gauss "
                        "or voigt (pseudo-Voigt), with +line on a straight line (an offset and "
                        "a slope); their values go into columns after the status."),
         QStringLiteral("shape[:N][+line]")},
        {QStringLiteral("fit-range"),
         QStringLiteral("The fields, G, that enclose the lines fitted (default: the whole "
                        "spectrum)."),
         QStringLiteral("FROM,TO")},
        {QStringLiteral("integrate"),
         QStringLiteral("Automatic double integration and particle count, as \"4\".")},
        {QStringLiteral("simulate"),
         QStringLiteral("Simulate the isotropic spectrum of the model in this file at every "
                        "spectrum's fields and frequency (the model's where it has none), scaled "
                        "to it by least squares; with --write saved as name-sim.esr, with "
                        "--figure drawn over it."),
         QStringLiteral("model")},
        {QStringLiteral("sim-fit"),
         QStringLiteral("Fit the free values (?) of the model in this file to every spectrum on "
                        "its own, between the fields of --fit-range if given: columns sim_NAME, "
                        "sim_NAME_err for each free value, sim_rms, sim_chi2 after all others."),
         QStringLiteral("model")},
        {QStringLiteral("ptp"),
         QStringLiteral("The peak-to-peak width of the line between the fields, G, and the g of "
                        "its centre, as \"8\" Alt+B: columns ptp_width_G, ptp_g."),
         QStringLiteral("FROM,TO")},
        {QStringLiteral("quantitative"),
         QStringLiteral("The quantitative double integral with its uncertainty and quality "
                        "flags, as \"4\" Alt+Q: columns DI_q, DI_q_err, DI_q_flags.")},
        {QStringLiteral("spin-standard"),
         QStringLiteral("Count the spins of every spectrum against this standard, treated the "
                        "same way: columns spins, spins_err."),
         QStringLiteral("file")},
        {QStringLiteral("spin-standard-spins"),
         QStringLiteral("The number of spins in the standard (needed with --spin-standard)."),
         QStringLiteral("N")},
        {QStringLiteral("spin-standard-error"),
         QStringLiteral("The uncertainty of the standard's number of spins (default 0)."),
         QStringLiteral("N")},
        {QStringLiteral("volume"),
         QStringLiteral("The sample's volume, uL: the spins also as a concentration, columns "
                        "conc_uM, conc_uM_err."),
         QStringLiteral("uL")},
        {QStringLiteral("temperature"),
         QStringLiteral("The samples' temperature, K, where a file gives none."),
         QStringLiteral("K")},
        {QStringLiteral("standard-temperature"),
         QStringLiteral("The standard's temperature, K, where its file gives none."),
         QStringLiteral("K")},
        {QStringLiteral("normalise"),
         QStringLiteral("Normalise on amplitude, integral or ruby, or divide by the acquisition "
                        "parameters: acquisition[:gain,scans,modulation,power]."),
         QStringLiteral("how")},
        {QStringLiteral("smooth"),
         QStringLiteral("Smoothing with smoothing number N and restrict number R."),
         QStringLiteral("N,R")},
        {QStringLiteral("field-standard"),
         QStringLiteral("Shift the field so that the standard's line (dpph, lilif, or a g) is "
                        "where its g puts it at the spectrum's frequency."),
         QStringLiteral("which")},
        {QStringLiteral("standard-range"),
         QStringLiteral("The fields, G, that enclose the standard's line."),
         QStringLiteral("FROM,TO")},
        {QStringLiteral("field-standard-file"),
         QStringLiteral("The standard's line is measured once in this file and every spectrum's "
                        "field shifted by that (scaled to its frequency): column field_shift_G."),
         QStringLiteral("file")},
        {QStringLiteral("field-shift"),
         QStringLiteral("Shift the field by this many G: column field_shift_G."),
         QStringLiteral("G")},
        {QStringLiteral("frequency-to"),
         QStringLiteral("Scale the field to what it would be at this frequency, GHz."),
         QStringLiteral("GHZ")},
        {QStringLiteral("numaver"),
         QStringLiteral("Points averaged at each end (default 10, or the options file's)."),
         QStringLiteral("N")},
        {QStringLiteral("koecu"),
         QStringLiteral("Particle-count factor (default 1.725e19, or the options file's)."),
         QStringLiteral("K")},
        {QStringLiteral("options"), QStringLiteral("Take NumAver and KoeCu from a Kivo .opt file."),
         QStringLiteral("file")},
        {QStringLiteral("points"),
         QStringLiteral("Of a sweep longer than a slot (15000 points): blocks of STEP points "
                        "averaged from point FIRST to LAST (default: every point, averaged by "
                        "the least step that fits)."),
         QStringLiteral("FIRST,LAST,STEP")},
        {QStringLiteral("field-window"),
         QStringLiteral("Of a long sweep: the points from FROM to TO G, averaged by the least "
                        "step that fits."),
         QStringLiteral("FROM,TO")},
        {QStringLiteral("write"),
         QStringLiteral("Save every treated spectrum as an .esr file in this directory."),
         QStringLiteral("dir")},
        {QStringLiteral("jobs"),
         QStringLiteral("Files treated at once (default: the number of cores)."),
         QStringLiteral("N")},
        {QStringLiteral("quiet"), QStringLiteral("No progress line on standard error.")},
        {QStringLiteral("figure"),
         QStringLiteral("Draw every treated spectrum into one figure for print: .pdf, .svg or "
                        ".png."),
         QStringLiteral("file")},
        {QStringLiteral("figure-size"),
         QStringLiteral("The figure's width and height in cm (default 8.5x6.5)."),
         QStringLiteral("WxH")},
        {QStringLiteral("font-size"), QStringLiteral("The figure's text in pt (default 8)."),
         QStringLiteral("pt")},
        {QStringLiteral("stack"),
         QStringLiteral("Stack the spectra, each this many largest amplitudes above the next, "
                        "captions beside them (default 0: overlaid)."),
         QStringLiteral("step")},
        {QStringLiteral("field-unit"), QStringLiteral("The figure's field in G or mT (default G)."),
         QStringLiteral("G|mT")},
        {QStringLiteral("g-scale"),
         QStringLiteral("A g scale along the figure's top, for the frequency of the first "
                        "spectrum that has one.")},
        {QStringLiteral("legend"),
         QStringLiteral("The legend's text of the next spectrum drawn, once per spectrum in the "
                        "order of the files (default: its caption)."),
         QStringLiteral("text")},
        {QStringLiteral("mark-g"),
         QStringLiteral("Mark this g value with a tick inside the figure's top, for the frequency "
                        "of the first spectrum that has one; may be given again."),
         QStringLiteral("g")},
        {QStringLiteral("axis-labels"),
         QStringLiteral("The figures' axis names in words (default) or ISO style: B / mT, the "
                        "symbols in italics."),
         QStringLiteral("words|iso")},
        {QStringLiteral("series-figure"),
         QStringLiteral("Draw the curve of a two-dimensional file's slices: .pdf, .svg or .png."),
         QStringLiteral("file")},
        {QStringLiteral("series-y"),
         QStringLiteral("The series curve of the double integral (default; needs --integrate) "
                        "or of the amplitude."),
         QStringLiteral("integral|amplitude")},
    });
    parser.addPositionalArgument(QStringLiteral("files"), QStringLiteral("Spectrum files."),
                                 QStringLiteral("FILE..."));
}

// NumAver, KoeCu and the figure's looks: an options file first, the options
// themselves over it.
void ReadParameters(const QCommandLineParser& parser, CommandLine& line) {
    Plan& plan = line.Work;
    if (parser.isSet(QStringLiteral("options"))) {
        OptionsFile o;
        const OptionsReadResult r =
            ReadOptionsFile(Local(parser.value(QStringLiteral("options"))), o);
        if (!r.Opened) throw UsageError{QStringLiteral("cannot read the options file")};
        // Lines 12 and 13 hold NumAver and KoeCu; the layout is no concern
        // here, the figure's lines only for a figure.
        const bool figure = parser.isSet(QStringLiteral("figure"));
        if (r.Faults[11] != OptionFault::None || r.Faults[12] != OptionFault::None ||
            (figure && !r.KeyedFaults.empty()))
            throw UsageError{QStringLiteral("options file: ") +
                             QString::fromLocal8Bit(r.FaultText())};
        plan.NumAver = o.NumAver;
        plan.KoeCu = o.KoeCu;
        line.Look = o.Figure;
    }
    if (parser.isSet(QStringLiteral("numaver")))
        plan.NumAver =
            int(Limited(QStringLiteral("numaver"), parser.value(QStringLiteral("numaver")),
                        LimitOf(Parameter::NumAver)));
    if (parser.isSet(QStringLiteral("koecu")))
        plan.KoeCu = Limited(QStringLiteral("koecu"), parser.value(QStringLiteral("koecu")),
                             LimitOf(Parameter::KoeCu));
}

// The picture file an option names, its ending checked.
std::string PictureFile(const QCommandLineParser& parser, const QString& option) {
    const QString file = parser.value(option);
    if (!figure::FormatOf(file))
        throw UsageError{QStringLiteral("--%1 wants a name ending in .pdf, .svg or .png, not '%2'")
                             .arg(option, file)};
    return Local(file);
}

// The figure's file and the looks given for it.
void ReadFigure(const QCommandLineParser& parser, CommandLine& line) {
    const QString figure = QStringLiteral("figure");
    for (const char* option :
         {"figure-size", "font-size", "stack", "field-unit", "g-scale", "legend", "mark-g"})
        if (parser.isSet(QLatin1String(option)) && !parser.isSet(figure))
            throw UsageError{QStringLiteral("--%1 draws nothing without --figure").arg(option)};
    const QString labels = QStringLiteral("axis-labels");
    if (parser.isSet(labels)) {
        if (!parser.isSet(figure) && !parser.isSet(QStringLiteral("series-figure")))
            throw UsageError{
                QStringLiteral("--axis-labels draws nothing without --figure or --series-figure")};
        const QString style = parser.value(labels);
        if (style != QStringLiteral("words") && style != QStringLiteral("iso"))
            throw UsageError{
                QStringLiteral("--axis-labels wants words or iso, not '%1'").arg(style)};
        line.Look.Labels =
            style == QStringLiteral("iso") ? AxisLabelStyle::Iso : AxisLabelStyle::Words;
    }
    if (!parser.isSet(figure)) return;
    line.Legends = parser.values(QStringLiteral("legend"));
    for (const QString& g : parser.values(QStringLiteral("mark-g")))
        line.Look.MarkG.push_back(
            Limited(QStringLiteral("mark-g"), g, LimitOf(Parameter::MarkedG)));
    line.Figure = PictureFile(parser, figure);
    line.Work.KeepPoints = true;
    FigureSettings& look = line.Look;
    if (parser.isSet(QStringLiteral("figure-size"))) {
        const QString size = parser.value(QStringLiteral("figure-size"));
        const QStringList sides = size.split(QLatin1Char('x'));
        if (sides.size() != 2)
            throw UsageError{QStringLiteral("--figure-size wants WxH in cm, not '%1'").arg(size)};
        const ParameterLimit& cm = LimitOf(Parameter::FigureCm);
        look.WidthCm = Limited(QStringLiteral("figure-size"), sides[0], cm);
        look.HeightCm = Limited(QStringLiteral("figure-size"), sides[1], cm);
    }
    if (parser.isSet(QStringLiteral("font-size")))
        look.FontPt =
            Limited(QStringLiteral("font-size"), parser.value(QStringLiteral("font-size")),
                    LimitOf(Parameter::FontPt));
    if (parser.isSet(QStringLiteral("stack")))
        look.Stack = Limited(QStringLiteral("stack"), parser.value(QStringLiteral("stack")),
                             LimitOf(Parameter::StackStep));
    if (parser.isSet(QStringLiteral("g-scale"))) look.GScale = true;
    if (parser.isSet(QStringLiteral("field-unit"))) {
        const QString unit = parser.value(QStringLiteral("field-unit"));
        if (!ReadFieldUnit(Local(unit), look.Unit))
            throw UsageError{QStringLiteral("--field-unit wants G or mT, not '%1'").arg(unit)};
    }
}

// The series curve's file and what it shows.
void ReadSeriesFigure(const QCommandLineParser& parser, CommandLine& line) {
    const QString figure = QStringLiteral("series-figure"), y = QStringLiteral("series-y");
    if (parser.isSet(y) && !parser.isSet(figure))
        throw UsageError{QStringLiteral("--series-y draws nothing without --series-figure")};
    if (!parser.isSet(figure)) return;
    line.SeriesFigure = PictureFile(parser, figure);
    const QString value = parser.isSet(y) ? parser.value(y) : QStringLiteral("integral");
    if (value == QStringLiteral("amplitude"))
        line.SeriesY = SeriesValue::Amplitude;
    else if (value != QStringLiteral("integral"))
        throw UsageError{
            QStringLiteral("--series-y wants integral or amplitude, not '%1'").arg(value)};
    if (line.SeriesY == SeriesValue::Integral && !parser.isSet(QStringLiteral("integrate")))
        throw UsageError{QStringLiteral(
            "--series-figure of the double integral needs --integrate (or --series-y amplitude)")};
}

// --points FIRST,LAST,STEP or --field-window FROM,TO: what a read takes of
// a long sweep.
void ReadPoints(const QCommandLineParser& parser, Plan& plan) {
    const QString points = QStringLiteral("points"), window = QStringLiteral("field-window");
    if (parser.isSet(points) && parser.isSet(window))
        throw UsageError{QStringLiteral("--points and --field-window: one or the other")};
    if (parser.isSet(window)) {
        Step range;
        ReadFieldRange(parser.value(window), QStringLiteral("--field-window wants"), range);
        plan.Points.ByField = true;
        plan.Points.FieldFrom = range.From;
        plan.Points.FieldTo = range.To;
    }
    if (!parser.isSet(points)) return;
    const QString text = parser.value(points);
    const QStringList parts = text.split(QLatin1Char(','));
    PointChoice c;
    if (parts.size() != 3 ||
        !ReadPointChoice(Local(parts.join(QLatin1Char(' '))), c) || c.First < 1 ||
        c.Last <= c.First || c.Step < 1)
        throw UsageError{QStringLiteral("--points wants FIRST,LAST,STEP: whole numbers, FIRST "
                                        "from 1 below LAST, STEP from 1, not '%1'")
                             .arg(text)};
    plan.Points = c;
}

// The treatments in the order they stand on the command line.
void ReadSteps(const QCommandLineParser& parser, Plan& plan) {
    const std::pair<const char*, const char*> modifiers[] = {{"baseline-order", "baseline"},
                                                             {"baseline-range", "baseline"}};
    for (const auto& [modifier, option] : modifiers)
        if (parser.isSet(QLatin1String(modifier)) && !parser.isSet(QLatin1String(option)))
            throw UsageError{QStringLiteral("--%1 does nothing without --%2")
                                 .arg(QLatin1String(modifier), QLatin1String(option))};
    if (parser.isSet(QStringLiteral("fit-range")) && !parser.isSet(QStringLiteral("fit")) &&
        !parser.isSet(QStringLiteral("sim-fit")))
        throw UsageError{QStringLiteral("--fit-range does nothing without --fit or --sim-fit")};
    if (parser.values(QStringLiteral("simulate")).size() +
            parser.values(QStringLiteral("sim-fit")).size() >
        1)
        throw UsageError{QStringLiteral("--simulate, --sim-fit: one model a run")};
    if (parser.values(QStringLiteral("fit")).size() > 1)
        throw UsageError{QStringLiteral("--fit: one fit a run, its lines in the columns")};
    std::map<QString, qsizetype> used;
    for (const QString& name : parser.optionNames()) {
        const qsizetype at = used[name]++;
        if (name == QStringLiteral("baseline"))
            plan.Steps.push_back(BaseLine(parser));
        else if (name == QStringLiteral("fit"))
            plan.Steps.push_back(Fit(parser.values(name).at(at), parser));
        else if (name == QStringLiteral("integrate"))
            plan.Steps.push_back({StepKind::Integrate, 0, 0});
        else if (name == QStringLiteral("simulate") || name == QStringLiteral("sim-fit"))
            plan.Steps.push_back(Simulation(name, parser.values(name).at(at), parser, plan));
        else if (name == QStringLiteral("quantitative"))
            plan.Steps.push_back({StepKind::Quantitative, 0, 0});
        else if (name == QStringLiteral("ptp"))
            plan.Steps.push_back(PeakToPeakStep(parser.values(name).at(at)));
        else if (name == QStringLiteral("normalise"))
            plan.Steps.push_back(Normalisation(parser.values(name).at(at)));
        else if (name == QStringLiteral("smooth"))
            plan.Steps.push_back(Smoothing(parser.values(name).at(at)));
        else if (name == QStringLiteral("field-standard"))
            plan.Steps.push_back(FieldStandard(parser.values(name).at(at), parser));
        else if (name == QStringLiteral("field-shift"))
            plan.Steps.push_back(
                {StepKind::FieldShift, 0, 0,
                 Limited(name, parser.values(name).at(at), {"field shift", false, -1e5, 1e5})});
        else if (name == QStringLiteral("frequency-to"))
            plan.Steps.push_back(
                {StepKind::FrequencyTo, 0, 0,
                 Limited(name, parser.values(name).at(at), {"frequency", false, 1e-6, 1000})});
    }
    for (const Step& step : plan.Steps) {
        if (step.Kind == StepKind::FitLines) {
            plan.FitColumns = step.W;
            plan.FitFraction = step.Shape == LineShape::Voigt;
        }
        if (step.Kind == StepKind::Quantitative) plan.QuantitativeColumns = true;
        if (step.Kind == StepKind::PeakToPeak) plan.PeakToPeakColumns = true;
        if (step.Kind == StepKind::FieldStandard || step.Kind == StepKind::FieldShift)
            plan.FieldShiftColumn = true;
    }
    const QString file = QStringLiteral("field-standard-file");
    if (!parser.isSet(file)) return;
    if (!parser.isSet(QStringLiteral("field-standard")))
        throw UsageError{
            QStringLiteral("--field-standard-file does nothing without --field-standard")};
    if (parser.values(QStringLiteral("field-standard")).size() > 1)
        throw UsageError{QStringLiteral(
            "--field-standard-file: one --field-standard a run, its line in the file")};
    plan.FieldStandardFile = Local(parser.value(file));
}

// The standard the spins are counted against, its spins and what the files
// may lack.
void ReadSpinStandard(const QCommandLineParser& parser, Plan& plan) {
    const QString standard = QStringLiteral("spin-standard");
    for (const char* option : {"spin-standard-spins", "spin-standard-error", "volume",
                               "temperature", "standard-temperature"})
        if (parser.isSet(QLatin1String(option)) && !parser.isSet(standard))
            throw UsageError{QStringLiteral("--%1 does nothing without --spin-standard")
                                 .arg(QLatin1String(option))};
    if (!parser.isSet(standard)) return;
    plan.SpinStandardFile = Local(parser.value(standard));
    const QString spins = QStringLiteral("spin-standard-spins");
    if (!parser.isSet(spins))
        throw UsageError{QStringLiteral("--spin-standard needs --spin-standard-spins")};
    plan.StandardSpins = Limited(spins, parser.value(spins), {"spins", false, 1, 1e30});
    auto optional = [&parser](const char* option, const ParameterLimit& limit) {
        const QString name = QLatin1String(option);
        return parser.isSet(name) ? Limited(name, parser.value(name), limit) : 0.0;
    };
    plan.StandardSpinsErr = optional("spin-standard-error", {"spins", false, 0, 1e30});
    plan.Volume = optional("volume", {"volume", false, 1e-6, 1e9});
    plan.Temperature = optional("temperature", {"temperature", false, 1e-3, 5000});
    plan.StandardTemperature = optional("standard-temperature", {"temperature", false, 1e-3, 5000});
}

} // namespace

bool AsksForFigure(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--") break;
        for (std::string_view option : {"--figure", "--series-figure"})
            if (arg == option || (arg.starts_with(option) && arg.substr(option.size(), 1) == "="))
                return true;
    }
    return false;
}

CommandLine ParseCommandLine(const QStringList& args) {
    std::vector<std::string> bytes;
    for (const QString& a : args) bytes.push_back(QFile::encodeName(a).toStdString());
    return ParseCommandLine(bytes);
}

std::string UsageBytes(const QString& text) {
    return Local(text);
}

CommandLine ParseCommandLine(const std::vector<std::string>& given) {
    QStringList args;
    for (const std::string& a : given) args << QString::fromLatin1(a.data(), qsizetype(a.size()));
    CommandLine line;
    QCommandLineParser parser;
    DescribeOptions(parser);
    auto answer = [&line](CommandLine::Action what, const QString& text) {
        line.What = what;
        line.Text = text;
        return line;
    };
    if (!parser.parse(args)) return answer(CommandLine::Action::Usage, parser.errorText());
    if (parser.isSet(QStringLiteral("help")))
        return answer(CommandLine::Action::Help, parser.helpText());
    if (parser.isSet(QStringLiteral("version")))
        return answer(CommandLine::Action::Version, QCoreApplication::applicationName() +
                                                        QLatin1Char(' ') +
                                                        QCoreApplication::applicationVersion());
    try {
        ReadParameters(parser, line);
        ReadFigure(parser, line);
        ReadSeriesFigure(parser, line);
        ReadSteps(parser, line.Work);
        ReadPoints(parser, line.Work);
        ReadSpinStandard(parser, line.Work);
        line.Jobs = int(std::max(1u, std::thread::hardware_concurrency()));
        if (parser.isSet(QStringLiteral("jobs")))
            line.Jobs = int(Limited(QStringLiteral("jobs"), parser.value(QStringLiteral("jobs")),
                                    {"jobs", true, 1, 1024}));
        if (parser.isSet(QStringLiteral("write"))) {
            line.Work.WriteDir = Local(parser.value(QStringLiteral("write")));
            if (line.Work.WriteDir.empty())
                throw UsageError{QStringLiteral("--write: no directory ''")};
        }
    } catch (const UsageError& e) {
        return answer(CommandLine::Action::Usage, e.Text);
    }
    line.Quiet = parser.isSet(QStringLiteral("quiet"));
    std::vector<std::string> files;
    for (const QString& f : parser.positionalArguments()) files.push_back(Local(f));
    if (files.empty()) return answer(CommandLine::Action::Usage, QStringLiteral("no file given"));
    // Both files of a spectrometer pair name one spectrum, as in the window.
    for (size_t f : OnePerSpectrum(files)) line.Files.push_back(files[f]);
    return line;
}

} // namespace kivo::batch
