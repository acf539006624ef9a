// The treatments as the window's commands apply them to one spectrum, the
// names a read spectrum carries and the words that refuse a file: shared by
// the window and kivo-batch, so both give the same numbers and texts.
#include "column_file.h"
#include "treatment_notes.h"
#include "treatments.h"

#include <algorithm>
#include <filesystem>
#include <new>
#include <set>
#include <system_error>

namespace kivo {

namespace {

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return out;
}

std::string Upper(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return out;
}

// The file beside path with the same name and the given ending, whatever the
// case of the ending. When there is none: path itself when it has that
// ending (so a missing file is named as it was given), else the name with
// the ending as given here.
std::string Partner(const std::string& path, std::string_view ending) {
    namespace fs = std::filesystem;
    const std::string_view name = FileNameOf(path);
    const std::string stem(name.substr(0, name.size() >= 4 ? name.size() - 4 : 0));
    const std::string dir = path.substr(0, path.size() - name.size());
    const std::string base = dir + stem;
    std::error_code ec;
    for (const std::string& e : {std::string(ending), Upper(ending), Lower(ending)})
        if (fs::is_regular_file(base + e, ec)) return base + e;
    // Another mix of letter cases: the first such name in order, whatever
    // order the directory lists them in.
    const std::string wanted = Lower(ending);
    std::string found;
    for (fs::directory_iterator it(dir.empty() ? "." : dir, ec), end; !ec && it != end;
         it.increment(ec)) {
        std::string other = it->path().filename().string();
        if (other.size() == stem.size() + 4 && other.compare(0, stem.size(), stem) == 0 &&
            Lower(std::string_view(other).substr(stem.size())) == wanted &&
            it->is_regular_file(ec) && (found.empty() || other < found))
            found = std::move(other);
    }
    if (!found.empty()) return dir + found;
    if (name.size() >= 4 && Lower(name.substr(name.size() - 4)) == wanted) return path;
    return dir + stem + std::string(ending);
}

bool IsSpectrometerKind(int kind) {
    return kind == KindBes3t || kind == KindEsp;
}

} // namespace

std::string_view FileNameOf(std::string_view path) {
    const size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string ShortName(std::string_view path) {
    const std::string_view name = FileNameOf(path);
    return std::string(name.size() > 4 ? name.substr(0, name.size() - 4) : name);
}

std::string SpectrumFileName(std::string_view path, int kind, int columnSpectrum) {
    const std::string_view stem = path.substr(0, path.size() - std::min<size_t>(4, path.size()));
    if (kind == KindDat) return std::string(stem) + "-" + std::to_string(columnSpectrum) + ".esr";
    if (IsSpectrometerKind(kind)) return std::string(stem) + ".esr";
    return std::string(path);
}

// By value: the caller may pass read.Path itself, which is overwritten here.
// NOLINTNEXTLINE(performance-unnecessary-value-param)
void SpectrometerPairPaths(std::string chosen, SpectrumRead& read) {
    if (read.Kind == KindBes3t) {
        read.Path = Partner(chosen, ".DSC");
        read.DataPath = Partner(chosen, ".DTA");
        read.AxisPath = Partner(chosen, ".XGF");
        read.SliceAxisPath = Partner(chosen, ".YGF");
    } else {
        read.Path = Partner(chosen, ".par");
        read.DataPath = Partner(chosen, ".spc");
    }
}

void PrepareSpectrumRead(const std::string& path, SpectrumRead& read) {
    read.Path = path;
    read.Kind = FileKindOf(FileNameOf(path));
    if (IsSpectrometerKind(read.Kind)) SpectrometerPairPaths(path, read);
}

std::vector<size_t> OnePerSpectrum(const std::vector<std::string>& paths) {
    std::vector<size_t> kept;
    std::set<std::string> pairs;
    for (size_t f = 0; f < paths.size(); ++f) {
        const std::string& path = paths[f];
        const int kind = FileKindOf(FileNameOf(path));
        if (IsSpectrometerKind(kind) &&
            !pairs.insert(std::to_string(kind) + path.substr(0, path.size() - 4)).second)
            continue;
        kept.push_back(f);
    }
    return kept;
}

namespace {

std::string TooLarge(std::string text, uint64_t size) {
    text += " is too large to be a spectrum: ";
    text += std::to_string(size);
    text += " bytes, more than ";
    text += std::to_string(MaxFileBytes >> 20);
    text += " MB ";
    return text;
}

} // namespace

std::string ReadRefusal(std::string_view shortName, const ReadResult& r, int numPoints) {
    std::string text = std::string(Named) + std::string(shortName);
    if (r.Status == ReadStatus::TooLarge) return TooLarge(text, r.Size);
    if (r.Status == ReadStatus::Ok && numPoints >= 2) return {};
    if (r.Status == ReadStatus::Failed) return text + " is not read: " + r.Reason + " ";
    text += " is not prepared properly ";
    if (r.Status == ReadStatus::BadPointLine) text += "line " + std::to_string(r.Line) + " ";
    if (!r.Reason.empty()) text += r.Reason + " ";
    return text;
}

std::string TruncatedNotice(std::string_view shortName) {
    const std::string most = std::to_string(MaxPoints);
    return std::string(Named) + std::string(shortName) + " has more than " + most +
           " points; the first " + most + " are read ";
}

std::string ReadNotice(std::string_view shortName, const ReadResult& r) {
    std::string text = r.Truncated ? TruncatedNotice(shortName) : "";
    if (!r.BadFrequency.empty())
        text += std::string(Named) + std::string(shortName) + ": " + r.BadFrequency +
                " is not a frequency, left out ";
    return text;
}

std::string LeftOutNotice(std::string_view shortName, int rows, int firstLine) {
    const std::string line = std::to_string(firstLine);
    return std::string(Named) + std::string(shortName) + " has " + std::to_string(rows) +
           (rows == 1 ? " row with missing values, left out: line " + line
                      : " rows with missing values, left out; the first is line " + line) +
           " ";
}

std::string SaveRefusal(std::string_view shortName, std::string_view error) {
    return std::string(Named) + std::string(shortName) + " is not saved: " + std::string(error) +
           " ";
}

namespace {

std::string ColumnRefusal(std::string_view shortName, const ColumnImport& c) {
    const std::string named = std::string(Named) + std::string(shortName);
    switch (c.Status) {
    case ColumnStatus::Ok:
        return {};
    case ColumnStatus::BadField:
        return named + " is not prepared properly line " + std::to_string(c.Line) + " ";
    case ColumnStatus::SingleColumn:
        return named + " has a single column: no spectrum in it ";
    case ColumnStatus::TooLarge:
        return TooLarge(named, c.Size);
    default:
        return named + " is not prepared properly " + c.Reason + " ";
    }
}

} // namespace

ColumnFileSpectra ReadColumnSpectra(const std::string& path, int maxSpectra,
                                    const PointChoice& points) {
    ColumnFileSpectra out;
    const std::string shortName = ShortName(path);
    ColumnImport import = ImportColumnFile(path, maxSpectra);
    out.Refusal = ColumnRefusal(shortName, import);
    if (!out.Refusal.empty()) return out;
    if (import.LeftOut > 0)
        out.Notices.push_back(LeftOutNotice(shortName, import.LeftOut, import.FirstLeftOut));
    if (import.SlotsShort) out.Notices.push_back("  number of spec. is limited 20;");
    out.Spectra.reserve(import.Spectra.size());
    int n = 0;
    for (ColumnSpectrum& c : import.Spectra) {
        ColumnFileSpectrum& s = out.Spectra.emplace_back();
        s.Number = ++n;
        s.FileName = SpectrumFileName(path, KindDat, n);
        s.Caption = shortName + "-" + std::to_string(n);
        const int count = int(c.X.size());
        if (count < 2) {
            s.Refusal = std::string(Named) + s.Caption + " has fewer than 2 points ";
            continue;
        }
        s.X = std::move(c.X);
        s.Y = std::move(c.Y);
        if (count > MaxPoints || !(points == PointChoice{})) {
            PointChoice taken;
            const std::string refused = ResolvePoints(points, s.X.data(), count, taken);
            if (!refused.empty()) {
                s.Refusal = std::string(Named) + s.Caption + " is not read: " + refused + " ";
                continue;
            }
            std::vector<float> x(MaxPoints), y(MaxPoints);
            x.resize(size_t(TakeSweepPoints(s.X.data(), s.Y.data(), taken, x.data(), y.data())));
            y.resize(x.size());
            // Said once for the file: its spectra share their rows.
            if (s.Number == 1)
                out.Notices.push_back(SweepNotice(shortName, taken, count, int(x.size())));
            if (const std::string note = SweepNote(taken, count); !note.empty())
                AppendNote(s.Params.Line2, std::filesystem::path(s.FileName).filename().string(),
                           note);
            s.X = std::move(x);
            s.Y = std::move(y);
        }
        const int kept = int(s.X.size());
        s.Params.NumPoints = static_cast<uint16_t>(kept);
        s.Params.Amplitude = RangeExtrema(s.X.data(), s.Y.data(), 1, kept).Amplitude;
    }
    return out;
}

std::string FailureWords(const std::exception& e) {
    return dynamic_cast<const std::bad_alloc*>(&e) ? "out of memory" : e.what();
}

std::string TreatmentFailure(std::string_view shortName, std::string_view words) {
    return std::string(Named) + std::string(shortName) + " is not treated: " + std::string(words) +
           " ";
}

PointRange BaseLineStart(int n, int numAver) {
    return {std::clamp(numAver, 1, std::max(n, 1)), std::clamp(n - numAver, 1, std::max(n, 1))};
}

namespace {

std::string EndWindowsRefusal(std::string_view caption, int n, int numAver, std::string_view what) {
    if (2L * numAver <= n) return {};
    return "   " + std::string(caption) + ": " + std::to_string(n) +
           " points, too few for NumAver " + std::to_string(numAver) + " at each end, " +
           std::string(what) + ";";
}

} // namespace

std::string BaseLineRefusal(std::string_view caption, int n, int numAver) {
    return EndWindowsRefusal(caption, n, numAver, "no base line subtracted");
}

std::string SubtractLinearBaseLine(const float* x, float* y, int n, PointRange ends, int numAver,
                                   std::string_view caption) {
    std::string refused = BaseLineRefusal(caption, n, numAver);
    if (!refused.empty() || n < 1) return refused;
    const int k = std::clamp(ends.First, 1, n);
    const int j = std::clamp(ends.Last, 1, n);
    // The line goes through each window's mean signal at the window's mean
    // field, where a straight base line has that mean: cursors moved in
    // from the ends widen the windows without tilting the line.
    const long double mL = MeanY(y, 1, k), xL = MeanY(x, 1, k);
    const long double mR = MeanY(y, j, n), xR = MeanY(x, j, n);
    SubtractLineThrough(x, y, n, xL, mL, xR, mR);
    return {};
}

AutoIntegration IntegrateAutomatic(const float* x, const float* y, int numAver, double koeCu,
                                   ParamSpec& p, std::string_view caption) {
    const int n = p.NumPoints;
    AutoIntegration a;
    // The borders are found on the noise of the end windows: where these
    // overlap there is no noise level apart from the line to compare with.
    a.Refusal = EndWindowsRefusal(caption, n, numAver, "not integrated");
    if (!a.Refusal.empty()) {
        a.Result.Left = 1;
        a.Result.Right = n;
        return a;
    }
    // Worked on a copy: a spectrum refused keeps its record.
    ParamSpec work = p;
    auto integrate = [&](int phase) {
        work.PhaseSign = int8_t(phase);
        return IntegrateSpectrum(x, y, numAver, work, 1, n, true, 0, 0, koeCu);
    };
    const int phase = p.PhaseSign < 0 ? -1 : 1;
    a.Result = integrate(phase);
    // The borders are found on the signal alone; when they meet or cross
    // there is no line between them to integrate.
    if (a.Result.Left >= a.Result.Right) {
        a.Refusal = "   " + std::string(caption) + ": the borders cross, not integrated;";
        return a;
    }
    // A line recorded the other way round integrates negative: turned to -1.
    // A centre that is not strictly between the borders is no line's centre
    // but where a running integral of the wrong phase stopped: the other
    // phase is tried then, whichever was stored.
    if (!LineCentreOf(a.Result) || !(work.DblIntegral >= 0)) {
        const ParamSpec first = work;
        const IntegrationResult before = a.Result;
        a.Result = integrate(LineCentreOf(before) ? -1 : -phase);
        if (!LineCentreOf(a.Result) && LineCentreOf(before)) {
            a.Result = before;
            work = first;
        }
    }
    if (!LineCentreOf(a.Result)) {
        // No stale double integral is left to be shown or saved.
        p.SumLeft1 = p.SumRight1 = p.SumLeft2 = p.SumRight2 = 0;
        p.DblIntegral = p.NumParticles = 0;
        a.Refusal = "   " + std::string(caption) + ": no line between the borders, not integrated;";
        return a;
    }
    a.Integrated = true;
    p = std::move(work);
    return a;
}

std::string DivideByAmplitude(float* y, int n, long double amplitude, std::string_view caption) {
    // Nothing is divided by zero: such a spectrum stays as it was.
    if (!(amplitude > 0) && !(amplitude < 0))
        return "   Amplitude 0, not normalised: " + std::string(caption) + " ";
    DivideValues(y, n, amplitude);
    return {};
}

std::string NormaliseOnAmplitude(float* y, ParamSpec& p, std::string_view fileName,
                                 std::string_view caption) {
    std::string refused = DivideByAmplitude(y, p.NumPoints, SpanWithZero(y, p.NumPoints), caption);
    if (refused.empty()) AppendTreatmentNote(p.Line2, fileName, 129, {});
    return refused;
}

std::string NormaliseOnRuby(float* y, ParamSpec& p, std::string_view fileName) {
    if (!(p.StandartRuby > 0)) return "       some spectra have not Rb stand";
    DivideValues(y, p.NumPoints, p.StandartRuby);
    p.StandartRuby = 1.0;
    AppendTreatmentNote(p.Line2, fileName, 1211, {});
    return {};
}

std::string NormaliseOnIntegral(float* y, ParamSpec& p, std::string_view fileName,
                                std::string_view caption) {
    // Not integrated yet, or integrated to nothing: there is nothing to divide by.
    if (!(p.DblIntegral > 0))
        return "   " + std::string(caption) +
               ": no positive double integral, not normalised on it ";
    DivideValues(y, p.NumPoints, p.DblIntegral);
    p.DblIntegral = 1.0;
    AppendTreatmentNote(p.Line2, fileName, 125, {});
    return {};
}

std::string ResultName(int n) {
    return "res" + std::to_string(n);
}

SmoothingResult SmoothingResultOf(std::string_view sourcePath, int w, int m) {
    if (m < 2)
        return {"   Fewer than 2 points after smoothing: " + ShortName(sourcePath) + " ", {}};
    return {{}, ShortName(sourcePath) + " Smoothed " + std::to_string(w)};
}

} // namespace kivo
