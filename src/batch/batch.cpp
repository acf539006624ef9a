// Reading, treating, writing and reporting of one file after another, with
// the window's readers and treatments, on several threads.
#include "batch.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <utility>

#include "loader.h"

namespace kivo::batch {

namespace {

// One spectrum of a file on its way through the plan.
struct Spectrum {
    Row Report;
    PointBuffer X, Y;
    std::string Name;    // the name the window gives it: starts an empty history
    std::string Caption; // its check box's caption, named in messages
    std::string Output;  // the file name it is written under
};

// The simulated spectrum's file name beside a spectrum's: "s-sim.esr".
std::string SimOutputOf(const std::string& output) {
    return output.substr(0, output.size() - 4) + "-sim.esr";
}

// The model at the spectrum's field axis, scaled by least squares to the
// points first..last (0-based) or taken with the given scale.
std::string SimulateOnto(Spectrum& s, const SimModel& model, int first, int last,
                         const LinearScale* given) {
    const int n = s.Report.Params.NumPoints;
    const double ghz = SimFrequency(model, FrequencyOf(s.Report.Params));
    if (!(ghz > 0))
        return "   No frequency in the spectrum or the model, not simulated: " + s.Caption;
    std::vector<double> sim(static_cast<size_t>(n));
    std::string why = Simulate(model, s.X.Data(), n, ghz, sim.data());
    if (!why.empty()) return "   Not simulated: " + why + ": " + s.Caption;
    const LinearScale scale =
        given ? *given : ScaleToSpectrum(sim.data() + first, s.Y.Data() + first, last - first + 1);
    s.Report.SimY.resize(size_t(n));
    for (int j = 0; j < n; ++j)
        s.Report.SimY[size_t(j)] = static_cast<float>(scale.Scale * sim[size_t(j)] + scale.Offset);
    return {};
}

std::string Trimmed(std::string_view s) {
    const size_t first = s.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return std::string(s.substr(first, s.find_last_not_of(' ') - first + 1));
}

void Refuse(Row& row, std::string_view words) {
    row.Done = false;
    row.Status = Trimmed(words);
}

// A value within the range of a double: the CSV's numbers are doubles.
bool FitsDouble(long double v) {
    return std::fabs(v) <= DBL_MAX;
}

// The shift that puts the line of the standard between the step's fields
// where its g resonates at the spectrum's frequency, measured on the
// spectrum itself; the words that refuse it, "" when measured.
std::string OwnStandardShift(const Spectrum& s, const Step& step, double& shift) {
    const int n = s.Report.Params.NumPoints;
    const PointRange range = MapRange(s.X.Data(), n, step.From, step.To);
    const StandardLine line =
        MeasureStandardLine(s.X.Data(), s.Y.Data(), n, range.First, range.Last,
                            FrequencyOf(s.Report.Params), step.Value, s.Caption);
    shift = line.Shift;
    return line.Refusal;
}

// The shift measured in the plan's standard file, scaled from the file's
// frequency to the spectrum's (the field's error grows with the field), and
// said so when they differ; the words that refuse it, "" when given.
std::string FileStandardShift(Spectrum& s, const Plan& plan, double& shift) {
    const double ghz = FrequencyOf(s.Report.Params);
    if (!(ghz > 0)) return "   No frequency, field not corrected: " + s.Caption + " ";
    const double measured = plan.FieldStandardLine.Shift, at = plan.FieldStandardGHz;
    shift = measured * (ghz / at);
    if (ghz != at) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "the standard's shift %.4f G at %s GHz scaled to %s GHz: %.4f G", measured,
                      FrequencyDigits(at).c_str(), FrequencyDigits(ghz).c_str(), shift);
        s.Report.Remark = text;
    }
    return {};
}

// The plan's steps as the commands do them on a spectrum that is the only
// one loaded and marked; the words that refuse it, "" when every step went.
std::string Apply(Spectrum& s, const Plan& plan, float* xo, float* yo) {
    ParamSpec& p = s.Report.Params;
    for (const Step& step : plan.Steps) {
        const int n = p.NumPoints;
        float* y = s.Y.Data();
        switch (step.Kind) {
        case StepKind::BaseLine: {
            // "3" and Esc at once: the cursors where the command puts them,
            // or on the ends of the signal's range.
            const PointRange ends = step.From < step.To
                                        ? MapRange(s.X.Data(), n, step.From, step.To)
                                        : BaseLineStart(n, plan.NumAver);
            std::string why =
                SubtractBaseLine(s.X.Data(), y, n, ends, step.W, plan.NumAver, s.Caption);
            if (!why.empty()) return why;
            const std::string note = BaseLineNote(step.W);
            if (!note.empty()) AppendTreatmentNote(p.Line2, s.Name, 166, note);
            break;
        }
        case StepKind::FitLines: {
            const PointRange range = step.From < step.To
                                         ? MapRange(s.X.Data(), n, step.From, step.To)
                                         : PointRange{1, n};
            if (range.First >= range.Last)
                return "   Fit refused: no points in the range " + s.Caption;
            s.Report.Fit = FitDerivativeLines(s.X.Data(), y, range.First, range.Last, step.Shape,
                                              step.W, step.Straight);
            if (!s.Report.Fit.Refusal.empty()) return s.Report.Fit.Refusal + s.Caption;
            break;
        }
        case StepKind::Simulate: {
            std::string why = SimulateOnto(s, plan.Sim, 0, n - 1, nullptr);
            if (!why.empty()) return why;
            break;
        }
        case StepKind::SimFit: {
            SimSpectrum spectrum{s.X.Data(), y, n, FrequencyOf(p), step.From, step.To};
            s.Report.Simulation = FitModel(plan.Sim, {spectrum});
            const SimFit& fit = s.Report.Simulation;
            if (!fit.Refusal.empty())
                return "   Simulation fit refused: " + fit.Refusal + " " + s.Caption;
            const SimFitSpectrum& own = fit.Spectra[0];
            std::string why = SimulateOnto(s, own.Model, own.First, own.Last, &own.Scale);
            if (!why.empty()) return why;
            break;
        }
        case StepKind::Integrate: {
            const AutoIntegration a =
                IntegrateAutomatic(s.X.Data(), y, plan.NumAver, plan.KoeCu, p, s.Caption);
            if (!a.Integrated) return a.Refusal;
            s.Report.Mist = a.Result.Mist;
            const int c = LineCentreOf(a.Result);
            s.Report.CentreField = c >= 1 && c <= n ? s.X[c] : 0;
            break;
        }
        case StepKind::PeakToPeak: {
            const PointRange line = MapRange(s.X.Data(), n, step.From, step.To);
            if (line.Last - line.First < 2)
                return "   No line in the range, no peak to peak: " + s.Caption;
            s.Report.Width = PeakToPeakOf(s.X.Data(), y, line.First, line.Last);
            break;
        }
        case StepKind::Quantitative: {
            s.Report.Quantitative = IntegrateQuantitative(s.X.Data(), y, n, s.Caption);
            if (!s.Report.Quantitative.Refusal.empty()) return s.Report.Quantitative.Refusal;
            break;
        }
        case StepKind::NormAmplitude: {
            std::string why = NormaliseOnAmplitude(y, p, FileNameOf(s.Name), s.Caption);
            if (!why.empty()) return why;
            break;
        }
        case StepKind::NormIntegral: {
            std::string why = NormaliseOnIntegral(y, p, FileNameOf(s.Name), s.Caption);
            if (!why.empty()) return why;
            break;
        }
        case StepKind::NormRuby: {
            std::string why = NormaliseOnRuby(y, p, FileNameOf(s.Name));
            if (!why.empty()) return why;
            break;
        }
        case StepKind::Smooth: {
            const int m = SmoothPoints(step.W, step.R, s.X.Data(), y, n, xo, yo);
            const SmoothingResult result = SmoothingResultOf(s.Name, step.W, m);
            if (!result.Refusal.empty()) return result.Refusal;
            // With one spectrum marked the result is the first new spectrum.
            s.Name = s.Caption = ResultName(1);
            p.NumPoints = static_cast<uint16_t>(m);
            std::copy_n(xo, m, s.X.Data());
            std::copy_n(yo, m, y);
            AppendTreatmentNote(p.Line2, s.Name, 166, result.Note);
            break;
        }
        case StepKind::FieldStandard: {
            double shift = 0;
            std::string why = plan.FieldStandardFile.empty() ? OwnStandardShift(s, step, shift)
                                                             : FileStandardShift(s, plan, shift);
            if (!why.empty()) return why;
            ShiftFieldOnStandard(s.X.Data(), p, FileNameOf(s.Name), step.Value, shift);
            s.Report.FieldShift += shift;
            break;
        }
        case StepKind::FieldShift: {
            TransformValues(s.X.Data(), n, 0, 1, step.Value);
            AppendNote(p.Line2, FileNameOf(s.Name), "Field shift " + ShortText(step.Value) + " G");
            s.Report.FieldShift += step.Value;
            break;
        }
        case StepKind::NormAcquisition: {
            std::string why = NormaliseOnAcquisition(y, p, FileNameOf(s.Name), s.Caption,
                                                     static_cast<unsigned>(step.W));
            if (!why.empty()) return why;
            break;
        }
        case StepKind::FrequencyTo: {
            std::string why =
                CorrectFrequency(s.X.Data(), p, FileNameOf(s.Name), s.Caption, step.Value);
            if (!why.empty()) return why;
            break;
        }
        }
    }
    return {};
}

// The words that refuse a treated spectrum holding a value that is no finite
// number (an overflow, say): no such value is reported or written as if it
// were one. "" when every value is finite.
std::string NotFinite(const Spectrum& s) {
    const ParamSpec& p = s.Report.Params;
    const std::pair<const char*, long double> sums[] = {
        {"SumLeft1", p.SumLeft1},       {"SumRight1", p.SumRight1},
        {"SumLeft2", p.SumLeft2},       {"SumRight2", p.SumRight2},
        {"DblIntegral", p.DblIntegral}, {"NumParticles", p.NumParticles}};
    std::string what;
    for (const auto& [name, v] : sums)
        if (what.empty() && !FitsDouble(v)) what = name;
    for (int k = 1; k <= p.NumPoints && what.empty(); ++k)
        if (!std::isfinite(s.X[k]) || !std::isfinite(s.Y[k])) what = "point " + std::to_string(k);
    return what.empty() ? what : "   " + s.Caption + ": " + what + " is not a finite number;";
}

// A spectrum read; what the reader noticed without refusing it goes into
// its status.
void Treat(Spectrum& s, const Plan& plan, float* xo, float* yo, const std::string& notice) {
    std::string refused = Apply(s, plan, xo, yo);
    if (refused.empty()) refused = NotFinite(s);
    // What the reader noticed may be why (a frequency that could not be read).
    if (!refused.empty())
        return Refuse(s.Report, notice.empty() ? refused : Trimmed(refused) + "; " + notice);
    const int n = s.Report.Params.NumPoints;
    std::string said = notice;
    if (!plan.SpinStandardFile.empty()) {
        // The count takes the quantitative integral of the spectrum as treated.
        const SpinSide standard{&plan.Standard, plan.StandardIntegral.Area,
                                plan.StandardIntegral.Sigma, plan.StandardCentre,
                                plan.StandardTemperature};
        QuantitativeIntegral q;
        s.Report.Spins =
            CountSpinsOf(s.X.Data(), s.Y.Data(), s.Report.Params, plan.Temperature, standard,
                         plan.StandardSpins, plan.StandardSpinsErr, plan.Volume, s.Caption, q);
        said += s.Report.Spins.Refusal;
        if (s.Report.Spins.Refusal.empty())
            AppendNote(s.Report.Params.Line2, FileNameOf(s.Name),
                       SpinNote(s.Report.Spins, plan.StandardName));
    }
    s.Report.FieldFrom = s.X[1];
    s.Report.FieldTo = s.X[n];
    s.Report.Done = true;
    // A fit that leaves more than the noise is not "ok", though its numbers stay.
    const std::string poor = PoorFitWords(s.Report.Fit);
    s.Report.Status = (poor.empty() ? "ok" : poor) + (said.empty() ? "" : "; " + Trimmed(said));
    // Only a file written or points handed on need them after this, and
    // then at their own size: a series may hold many short slices.
    if (!plan.WriteDir.empty() || plan.KeepPoints) {
        s.Report.X.assign(s.X.Data(), s.X.Data() + n);
        s.Report.Y.assign(s.Y.Data(), s.Y.Data() + n);
    } else {
        std::vector<float>().swap(s.Report.SimY);
    }
}

// Every spectrum of the file, read and treated, goes to done as soon as it is
// made: a series of a million slices never holds more than one of them.
void TreatFile(const std::string& path, const Plan& plan, float* xo, float* yo,
               const std::function<void(Spectrum&)>& done) {
    std::string notice; // what was left out of the file, said with each of its rows
    std::string sliceUnit;
    SpectrumRead read;
    PrepareSpectrumRead(path, read);
    read.Points = plan.Points;
    if (read.Kind != KindDat) ReadSpectrum(read);
    if (read.Series) sliceUnit = read.Series->Header.SliceUnit;
    LoadSpectra(path, read, nullptr, MaxSpec,
                {[&](const std::string& n) { notice += (notice.empty() ? "" : "; ") + Trimmed(n); },
                 [&](LoadedSpectrum& l) {
                     Spectrum s;
                     s.Report.File = path;
                     s.Report.Spectrum = l.Number;
                     s.Report.Slice = l.Slice;
                     if (l.Slice > 0) {
                         s.Report.SliceValue = l.SliceValue;
                         s.Report.SliceUnit = sliceUnit;
                     }
                     s.Output = ShortName(l.FileName) + ".esr";
                     s.Name = l.FileName;
                     s.Report.Caption = l.Caption;
                     s.Caption = l.Caption;
                     if (!l.Refusal.empty()) {
                         Refuse(s.Report, l.Refusal);
                         return done(s);
                     }
                     s.Report.Params = std::move(l.Params);
                     s.X = std::move(l.X);
                     s.Y = std::move(l.Y);
                     Treat(s, plan, xo, yo, notice);
                     // The next slice takes its turn in the same buffers.
                     l.X = std::move(s.X);
                     l.Y = std::move(s.Y);
                     done(s);
                 }});
}

// The shortest text that reads back as the same double.
void AppendNumber(std::string& out, long double v) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, FitsDouble(v) ? double(v) : NAN);
    out.append(buf, r.ptr);
}

// A field, held as a float: the shortest text that reads back as that float
// ("3300.2", not the float's exact 3300.199951171875).
void AppendNumber(std::string& out, float v) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

void AppendCell(std::string& out, std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        out += text;
        return;
    }
    out += '"';
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

} // namespace

std::string CsvHeader(const Plan& plan) {
    std::string out =
        "file,spectrum,points,field_from,field_to,SumLeft1,SumRight1,SumLeft2,SumRight2,"
        "DblIntegral,NumParticles,backward_steps,frequency_GHz,g_centre,status,slice,slice_value,"
        "slice_unit";
    for (int k = 1; k <= plan.FitColumns; ++k) {
        std::vector<std::string> names = {"centre_G", "g", "dBpp_G", "amplitude"};
        if (plan.FitFraction) names.push_back("lorentz");
        names.push_back("integral");
        for (const std::string& name : names) {
            const std::string column = "fit" + std::to_string(k) + "_" + name;
            out.append(",").append(column).append(",").append(column).append("_err");
        }
    }
    if (plan.FitColumns > 0)
        out += ",fit_rms,fit_chi2,fit_chi2_red,fit_offset,fit_offset_err,fit_slope,fit_slope_err";
    if (plan.PeakToPeakColumns) out += ",ptp_width_G,ptp_g";
    if (plan.QuantitativeColumns) out += ",DI_q,DI_q_err,DI_q_flags";
    if (!plan.SpinStandardFile.empty()) out += ",spins,spins_err";
    if (!plan.SpinStandardFile.empty() && plan.Volume > 0) out += ",conc_uM,conc_uM_err";
    if (plan.FieldShiftColumn) out += ",field_shift_G";
    if (plan.SimFitColumns) {
        for (const std::string& name : plan.SimColumns)
            out.append(",sim_").append(name).append(",sim_").append(name).append("_err");
        out += ",sim_rms,sim_chi2";
    }
    return out + "\n";
}

namespace {

// The fit's cells: empty for a row refused, a line the fit has not, a
// fraction at its bound's error, a chi-square without the noise and a
// straight line not fitted.
void AppendFit(std::string& out, const Row& row, const Plan& plan) {
    const LineFit& fit = row.Fit;
    const double ghz = FrequencyOf(row.Params);
    auto cell = [&out](bool given, double v) {
        out += ',';
        if (given) AppendNumber(out, static_cast<long double>(v));
    };
    for (int k = 0; k < plan.FitColumns; ++k) {
        const bool has = row.Done && size_t(k) < fit.Lines.size();
        const FittedLine line = has ? fit.Lines[size_t(k)] : FittedLine{};
        const double g = has ? GValue(ghz, line.Centre) : 0;
        cell(has, line.Centre);
        cell(has, line.CentreErr);
        cell(g > 0, g);
        cell(g > 0, g * line.CentreErr / line.Centre);
        cell(has, line.Width);
        cell(has, line.WidthErr);
        cell(has, line.Amplitude);
        cell(has, line.AmplitudeErr);
        if (plan.FitFraction) {
            cell(has, line.Lorentz);
            cell(has && !line.FractionAtBound, line.LorentzErr);
        }
        cell(has, line.Integral);
        cell(has, line.IntegralErr);
    }
    if (plan.FitColumns == 0) return;
    const bool fitted = row.Done && !fit.Lines.empty();
    cell(fitted, fit.Rms);
    cell(fitted, fit.Chi2);
    cell(fitted && fit.Noise > 0, fit.Chi2Red);
    for (const double v : {fit.Offset, fit.OffsetErr, fit.Slope, fit.SlopeErr})
        cell(fitted && fit.Straight, v);
}

// A simulation fit's cells: each free value and its error, the rms and the
// reduced chi-square; empty for a row refused.
void AppendSimFit(std::string& out, const Row& row, const Plan& plan) {
    const SimFit& fit = row.Simulation;
    const bool fitted = row.Done && fit.Refusal.empty() && !fit.Spectra.empty();
    std::vector<std::pair<std::string, ModelValue>> values;
    if (fitted) {
        SimModel model = fit.Spectra[0].Model;
        ForEachValue(model, [&values](const std::string& name, ModelValue& v) {
            if (v.Free != Freedom::Fixed) values.emplace_back(name, v);
        });
    }
    for (const std::string& name : plan.SimColumns) {
        const auto it = std::find_if(values.begin(), values.end(),
                                     [&name](const auto& v) { return v.first == name; });
        for (const bool error : {false, true}) {
            out += ',';
            if (it != values.end())
                AppendNumber(out,
                             static_cast<long double>(error ? it->second.Error : it->second.Value));
        }
    }
    for (const double v : {fit.Rms, fit.Chi2}) {
        out += ',';
        if (fitted) AppendNumber(out, static_cast<long double>(v));
    }
}

} // namespace

std::string CsvLine(const Row& row, const Plan& plan) {
    std::string out;
    AppendCell(out, row.File);
    out += ',';
    if (row.Spectrum > 0) out += std::to_string(row.Spectrum);
    out += ',';
    if (row.Done) {
        const ParamSpec& p = row.Params;
        out += std::to_string(p.NumPoints);
        for (float v : {row.FieldFrom, row.FieldTo}) {
            out += ',';
            AppendNumber(out, v);
        }
        for (long double v :
             {p.SumLeft1, p.SumRight1, p.SumLeft2, p.SumRight2, p.DblIntegral, p.NumParticles}) {
            out += ',';
            AppendNumber(out, v);
        }
        out += ',';
        if (row.Mist >= 0) out += std::to_string(row.Mist);
        const double ghz = FrequencyOf(p);
        out += ',';
        if (ghz > 0) AppendNumber(out, static_cast<long double>(ghz));
        out += ',';
        const double g = GValue(ghz, row.CentreField);
        if (g > 0) AppendNumber(out, static_cast<long double>(g));
    } else {
        out += ",,,,,,,,,,,";
    }
    out += ',';
    AppendCell(out, row.Status);
    out += ',';
    if (row.Slice > 0) {
        out += std::to_string(row.Slice);
        out += ',';
        AppendNumber(out, static_cast<long double>(row.SliceValue));
        out += ',';
        AppendCell(out, row.SliceUnit);
    } else {
        out += ",,";
    }
    AppendFit(out, row, plan);
    if (plan.PeakToPeakColumns) {
        const bool measured = row.Done && row.Width.Width > 0;
        const double g = GValue(FrequencyOf(row.Params), row.Width.Centre);
        out += ',';
        if (measured) AppendNumber(out, static_cast<long double>(row.Width.Width));
        out += ',';
        if (measured && g > 0) AppendNumber(out, static_cast<long double>(g));
    }
    if (plan.QuantitativeColumns) {
        const QuantitativeIntegral& q = row.Quantitative;
        if (row.Done && q.Refusal.empty() && q.Right > 0) {
            out += ',';
            AppendNumber(out, q.Area);
            out += ',';
            AppendNumber(out, q.Sigma);
            out += ',';
            AppendCell(out, QuantitativeFlagsText(q));
        } else {
            out += ",,,";
        }
    }
    if (!plan.SpinStandardFile.empty()) {
        const SpinCount& c = row.Spins;
        const bool counted = row.Done && c.Refusal.empty() && c.Spins > 0;
        std::vector<long double> cells = {c.Spins, c.SpinsErr};
        if (plan.Volume > 0) cells.insert(cells.end(), {c.Micromolar, c.MicromolarErr});
        for (long double v : cells) {
            out += ',';
            if (counted) AppendNumber(out, v);
        }
    }
    if (plan.FieldShiftColumn) {
        out += ',';
        if (row.Done) AppendNumber(out, static_cast<long double>(row.FieldShift));
    }
    if (plan.SimFitColumns) AppendSimFit(out, row, plan);
    out += '\n';
    return out;
}

SeriesCurve SeriesCurveOf(const std::vector<Row>& rows, SeriesValue value, AxisLabelStyle style) {
    const Row* first = nullptr;
    for (const Row& row : rows)
        if (row.Slice > 0 && row.Done) {
            first = &row;
            break;
        }
    if (!first) return {};
    std::vector<SeriesPoint> slices;
    for (const Row& row : rows)
        if (row.File == first->File && row.Slice > 0 && row.Done)
            slices.push_back({row.SliceValue, value == SeriesValue::Amplitude
                                                  ? row.Params.Amplitude
                                                  : double(row.Params.DblIntegral)});
    return MakeSeriesCurve(slices, first->SliceUnit, value, style);
}

InputFiles::InputFiles(const std::vector<std::string>& files) {
    // A spectrometer pair's data and axis files are inputs as much as the
    // header file named.
    for (const std::string& f : files) {
        SpectrumRead read;
        PrepareSpectrumRead(f, read);
        for (const std::string* path :
             {&read.Path, &read.DataPath, &read.AxisPath, &read.SliceAxisPath})
            if (const std::optional<Id> id = IdentityOf(*path)) ids_.insert(*id);
    }
}

std::optional<InputFiles::Id> InputFiles::IdentityOf(const std::string& path) {
    // stat, not lstat: a symbolic link is the file it names.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return Id{st.st_dev, st.st_ino};
}

std::string InputFiles::Refusal(const std::string& target) const {
    const std::optional<Id> id = IdentityOf(target);
    return id && ids_.count(*id) ? target + " is one of the input files" : std::string();
}

void Run(const std::vector<std::string>& files, const Plan& plan, int jobs, const Emit& emit,
         const std::function<void(const std::string& file)>& beforeFile) {
    if (files.empty()) return;
    const bool writing = !plan.WriteDir.empty();
    // The input files, which nothing written may replace: looked at only
    // when something is written.
    const InputFiles inputs(writing ? InputsOf(files, plan) : std::vector<std::string>{});

    // Rows go out in file order as they are made. A file that is not yet the
    // one going out holds at most this many, then waits for its turn: a
    // long series behind a slow file costs no more than that.
    constexpr size_t kHeldRows = 256;
    struct Pending {
        std::vector<Row> Rows;
        bool Finished = false;
    };
    std::mutex lock;
    std::condition_variable turnChanged, emitted;
    size_t turn = 0; // the next file to claim its output names, in input order
    std::set<std::string> claimed;
    std::vector<Pending> pending(files.size());
    size_t nextEmit = 0;
    std::atomic<size_t> next{0};

    // Under the lock: what the file going out holds is handed on.
    auto flush = [&] {
        Pending& head = pending[nextEmit];
        if (!head.Rows.empty() || head.Finished) emit(nextEmit, head.Rows, head.Finished);
        std::vector<Row>().swap(head.Rows);
    };
    auto hand = [&](size_t i, Row&& row) {
        std::unique_lock<std::mutex> hold(lock);
        pending[i].Rows.push_back(std::move(row));
        if (nextEmit != i && pending[i].Rows.size() < kHeldRows) return;
        emitted.wait(hold, [&] { return nextEmit == i; });
        flush();
    };
    auto finish = [&](size_t i) {
        std::lock_guard<std::mutex> hold(lock);
        pending[i].Finished = true;
        for (; nextEmit < files.size() && pending[nextEmit].Finished; ++nextEmit) flush();
        // The file now going out hands on what it holds at once.
        if (nextEmit < files.size()) flush();
        emitted.notify_all();
    };

    auto work = [&] {
        std::vector<float> xo(MaxPoints), yo(MaxPoints);
        for (size_t i; (i = next.fetch_add(1)) < files.size();) {
            bool named = false; // this file's turn to claim names taken
            auto takeTurn = [&](std::unique_lock<std::mutex>& hold) {
                turnChanged.wait(hold, [&] { return turn == i; });
                named = true;
            };
            auto done = [&](Spectrum& s) {
                // The treated spectrum, and the simulated one beside it.
                std::vector<std::pair<std::string, const std::vector<float>*>> outputs = {
                    {s.Output, &s.Report.Y}};
                if (!s.Report.SimY.empty())
                    outputs.emplace_back(SimOutputOf(s.Output), &s.Report.SimY);
                for (const auto& [output, values] : outputs) {
                    if (!writing || !s.Report.Done) break;
                    const std::string target = plan.WriteDir + "/" + output;
                    {
                        // Names are claimed in input order, so which file keeps a
                        // name does not depend on which thread came first.
                        std::unique_lock<std::mutex> hold(lock);
                        if (!named) takeTurn(hold);
                        if (const std::string input = inputs.Refusal(target); !input.empty())
                            Refuse(s.Report, SaveRefusal(ShortName(output), input));
                        else if (!claimed.insert(output).second)
                            Refuse(s.Report,
                                   SaveRefusal(ShortName(output),
                                               target + " is written for an earlier file"));
                    }
                    if (!s.Report.Done) break;
                    ParamSpec params = s.Report.Params;
                    if (values != &s.Report.Y)
                        AppendNote(params.Line2, FileNameOf(s.Name), "Simulated");
                    std::string error;
                    bool saved = true;
                    try {
                        saved = WriteSpectrumFile(params, s.Report.X.data(), values->data(), target,
                                                  error);
                    } catch (const std::exception& e) {
                        saved = false;
                        error = FailureWords(e);
                    }
                    if (!saved) Refuse(s.Report, SaveRefusal(ShortName(output), error));
                }
                if (!plan.KeepPoints || !s.Report.Done) {
                    std::vector<float>().swap(s.Report.X);
                    std::vector<float>().swap(s.Report.Y);
                    std::vector<float>().swap(s.Report.SimY);
                }
                hand(i, std::move(s.Report));
            };
            try {
                if (beforeFile) beforeFile(files[i]);
                TreatFile(files[i], plan, xo.data(), yo.data(), done);
            } catch (const std::exception& e) {
                // No memory for this file, say: no fault of the file, and
                // the next one may go well.
                Row row;
                row.File = files[i];
                Refuse(row, TreatmentFailure(ShortName(files[i]), FailureWords(e)));
                hand(i, std::move(row));
            }
            if (writing) {
                std::unique_lock<std::mutex> hold(lock);
                if (!named) takeTurn(hold);
                ++turn;
                turnChanged.notify_all();
            }
            finish(i);
        }
    };
    const size_t threads = std::clamp<size_t>(size_t(std::max(jobs, 1)), 1, files.size());
    std::vector<std::thread> helpers;
    try {
        while (helpers.size() + 1 < threads) helpers.emplace_back(work);
    } catch (const std::system_error&) {
        // Fewer helpers than asked: the calling thread treats the rest.
    }
    work();
    for (std::thread& t : helpers) t.join();
}

} // namespace kivo::batch

namespace kivo::batch {

std::vector<std::string> InputsOf(const std::vector<std::string>& files, const Plan& plan) {
    std::vector<std::string> inputs = files;
    for (const std::string* standard : {&plan.SpinStandardFile, &plan.FieldStandardFile})
        if (!standard->empty()) inputs.push_back(*standard);
    return inputs;
}

namespace {

// A standard's file treated by a plan of its own: its one row, or the words
// that refuse it.
std::string TreatStandard(const std::string& file, const Plan& own, Row& row) {
    std::vector<Row> rows;
    Run({file}, own, 1, [&rows](size_t, const std::vector<Row>& made, bool) {
        rows.insert(rows.end(), made.begin(), made.end());
    });
    if (rows.size() != 1) return "the standard must be one spectrum";
    row = std::move(rows[0]);
    return row.Done ? std::string() : row.Status;
}

} // namespace

std::string PrepareFieldStandard(Plan& plan) {
    const auto step = std::find_if(plan.Steps.begin(), plan.Steps.end(),
                                   [](const Step& s) { return s.Kind == StepKind::FieldStandard; });
    if (plan.FieldStandardFile.empty() || step == plan.Steps.end()) return {};
    Plan own;
    own.Steps.assign(plan.Steps.begin(), step);
    own.NumAver = plan.NumAver;
    own.KoeCu = plan.KoeCu;
    own.KeepPoints = true;
    Row r;
    if (std::string why = TreatStandard(plan.FieldStandardFile, own, r); !why.empty()) return why;
    const int n = r.Params.NumPoints;
    const PointRange range = MapRange(r.X.data(), n, step->From, step->To);
    const double ghz = FrequencyOf(r.Params);
    const StandardLine line = MeasureStandardLine(r.X.data(), r.Y.data(), n, range.First,
                                                  range.Last, ghz, step->Value, r.Caption);
    if (!line.Refusal.empty()) return Trimmed(line.Refusal);
    plan.FieldStandardLine = line;
    plan.FieldStandardGHz = ghz;
    return {};
}

std::string PrepareSpinStandard(Plan& plan) {
    Plan own = plan;
    own.SpinStandardFile.clear();
    own.WriteDir.clear();
    own.KeepPoints = true;
    Row r;
    if (std::string why = TreatStandard(plan.SpinStandardFile, own, r); !why.empty()) return why;
    QuantitativeIntegral q;
    const SpinSide side =
        SpinSideOf(r.X.data(), r.Y.data(), r.Params, plan.StandardTemperature, r.Caption, q);
    if (!q.Refusal.empty()) return Trimmed(q.Refusal);
    plan.Standard = r.Params;
    plan.StandardName = r.Caption;
    plan.StandardIntegral = q;
    plan.StandardCentre = side.CentreField;
    return {};
}

} // namespace kivo::batch
