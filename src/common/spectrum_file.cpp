// The .esr and .txt spectrum files: kinds, reading and writing.
#include "input_file.h"
#include "number_text.h"
#include "spectrometer_file.h"
#include "treatments.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <atomic>
#include <bit>
#include <cerrno>
#include <cstring>
#include <exception>
#include <filesystem>
#include <system_error>
#include <thread>

namespace kivo {

int FileKindOf(std::string_view fileName) {
    const size_t dot = fileName.rfind('.');
    if (dot == std::string_view::npos || fileName.size() - dot > 6) return KindUnknown;
    std::string t(fileName.substr(dot));
    for (char& c : t) c = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
    if (t == ".esr") return KindEsr;
    if (t == ".txt") return KindTxt;
    if (t == ".dat" || t == ".asc") return KindDat;
    if (t == ".dsc" || t == ".dta") return KindBes3t;
    if (t == ".par" || t == ".spc") return KindEsp;
    if (t == ".jdx" || t == ".dx" || t == ".jcamp") return KindJcamp;
    return KindUnknown;
}

namespace {

// Splits a text into lines ended by LF; one CR before the LF (or at the
// very end) is part of the line end.
// The first LF in [p, end), or null. Point lines are short: sixteen bytes
// are compared at once, inline, where a call to memchr would cost more than
// its search.
inline const char* FindLineFeed(const char* p, const char* end) {
#if defined(__SSE2__)
    const __m128i lf = _mm_set1_epi8('\n');
    for (; end - p >= 16; p += 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const unsigned found = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, lf)));
        if (found != 0) return p + std::countr_zero(found);
    }
#endif
    return static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
}

class LineSplitter {
public:
    explicit LineSplitter(std::string_view text) : rest_(text) {}

    bool Next(std::string_view& line) {
        if (done_) return false;
        const char* lf = FindLineFeed(rest_.data(), rest_.data() + rest_.size());
        if (lf) {
            const size_t len = size_t(lf - rest_.data());
            line = rest_.substr(0, len);
            rest_.remove_prefix(len + 1);
        } else {
            // No LF: the rest is the last line, unless nothing is left after
            // the final line end.
            if (rest_.empty()) return done_ = true, false;
            line = rest_;
            done_ = true;
        }
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        ++number_;
        return true;
    }
    int Number() const { return number_; }
    // Where the next line begins, and the text's end.
    const char* Here() const { return rest_.data(); }
    const char* End() const { return rest_.data() + rest_.size(); }
    // Passes over a line read elsewhere: n bytes, its LF the last.
    void Take(size_t n) {
        rest_.remove_prefix(n);
        ++number_;
    }
    // Passes over up to n lines.
    void Skip(int n) {
        for (std::string_view line; n > 0 && Next(line); --n) continue;
    }

private:
    std::string_view rest_;
    int number_ = 0;
    bool done_ = false;
};

// ---- Header lines ----

// Lines 3..10 each hold two values. Their standard columns, and the label
// in front of the second value, which moves when the first value is wider
// than its field.
struct PairLayout {
    size_t col1, width1;          // 0-based column and width of the first value
    std::string_view label;       // label text before the second value
    size_t col2, width2;          // standard columns of the second value
    std::string_view suffix = {}; // text after the second value, if any
};

constexpr size_t kRest = std::string_view::npos;

constexpr PairLayout kLine3{16, 5, "TimeScan =", 37, 4, " min"};
constexpr PairLayout kLine4{16, 11, "Modulation=", 43, 10};
constexpr PairLayout kLine5{13, 6, "mW,  Experim.time=", 38, 5};
constexpr PairLayout kLine6{18, 6, "Delta points=", 39, kRest};
constexpr PairLayout kLine7{10, 8, "SumRight1=", 32, kRest};
constexpr PairLayout kLine8{10, 6, "SumRight2=", 30, kRest};
constexpr PairLayout kLine9{16, 5, "Other Standart=", 37, kRest};
constexpr PairLayout kLine10{16, 12, "Dbl.Integral=", 44, kRest};

// Written labels, in the order they appear on lines 3..10.
constexpr std::string_view kScanRangeLabel = "ScanRange  =   \xF1";
constexpr std::string_view kTimeScanLabel = "  TimeScan =    ";
constexpr std::string_view kGainLabel = "Gain =          ";
constexpr std::string_view kModulationLabel = "  Modulation=   ";
constexpr std::string_view kPowerLabel = "Power =      ";
constexpr std::string_view kExperimLabel = " mW,  Experim.time=";
constexpr std::string_view kNumPointsLabel = "Number  of Points=";
constexpr std::string_view kDeltaLabel = "  Delta points=";
constexpr std::string_view kSumLeft1Label = "SumLeft1= ";
constexpr std::string_view kSumRight1Label = "   SumRight1= ";
constexpr std::string_view kSumLeft2Label = "SumLeft2= ";
constexpr std::string_view kSumRight2Label = "   SumRight2= ";
constexpr std::string_view kRubyLabel = "Standart (Ruby)=";
constexpr std::string_view kOtherLabel = " Other Standart=";
constexpr std::string_view kParticlesLabel = "Num. particles= ";
constexpr std::string_view kIntegralLabel = "  Dbl.Integral= ";
constexpr std::string_view kMarker = "Spectr:";
constexpr int kEsrHeaderLines = 10;

// The labels must end where the layout's standard columns begin.
static_assert(kScanRangeLabel.size() == kLine3.col1);
static_assert(kLine3.col1 + kLine3.width1 + kTimeScanLabel.size() == kLine3.col2);
static_assert(kGainLabel.size() == kLine4.col1);
static_assert(kLine4.col1 + kLine4.width1 + kModulationLabel.size() == kLine4.col2);
static_assert(kPowerLabel.size() == kLine5.col1);
static_assert(kLine5.col1 + kLine5.width1 + kExperimLabel.size() == kLine5.col2);
static_assert(kNumPointsLabel.size() == kLine6.col1);
static_assert(kLine6.col1 + kLine6.width1 + kDeltaLabel.size() == kLine6.col2);
static_assert(kSumLeft1Label.size() == kLine7.col1);
static_assert(kLine7.col1 + kLine7.width1 + kSumRight1Label.size() == kLine7.col2);
static_assert(kSumLeft2Label.size() == kLine8.col1);
static_assert(kLine8.col1 + kLine8.width1 + kSumRight2Label.size() == kLine8.col2);
static_assert(kRubyLabel.size() == kLine9.col1);
static_assert(kLine9.col1 + kLine9.width1 + kOtherLabel.size() == kLine9.col2);
static_assert(kParticlesLabel.size() == kLine10.col1);
static_assert(kLine10.col1 + kLine10.width1 + kIntegralLabel.size() == kLine10.col2);

std::string_view Slice(std::string_view line, size_t col, size_t width) {
    if (col >= line.size()) return {};
    return line.substr(col, width);
}

// The value text without blanks, tabs, and the 8-bit or UTF-8 bytes of the
// plus-minus sign that may stand in front of a value.
std::string_view TrimValue(std::string_view v) {
    auto junk = [](char c) { return IsBlank(c) || static_cast<unsigned char>(c) >= 0x80; };
    while (!v.empty() && junk(v.front())) v.remove_prefix(1);
    while (!v.empty() && junk(v.back())) v.remove_suffix(1);
    return v;
}

template <typename T> void StoreValue(std::string_view text, T& field) {
    T v = 0;
    field = ReadNumber(TrimValue(text), v) ? v : 0;
}

void StoreValue(std::string_view text, uint16_t& field) {
    long long v = 0;
    field = ReadWholeNumber(TrimValue(text), v) && v >= 0 && v <= 65535 ? uint16_t(v) : 0;
}

// Each value runs from the end of its label to the start of the next one,
// so a value wider than its field does not spill into its neighbour. A line
// without the label is read by the standard columns.
template <typename T1, typename T2>
void ReadPair(std::string_view line, const PairLayout& layout, T1& first, T2& second) {
    const size_t at = line.find(layout.label, std::min(layout.col1, line.size()));
    if (at == std::string_view::npos) {
        StoreValue(Slice(line, layout.col1, layout.width1), first);
        StoreValue(Slice(line, layout.col2, layout.width2), second);
        return;
    }
    StoreValue(line.substr(layout.col1, at - layout.col1), first);
    const size_t from = at + layout.label.size();
    size_t to = line.size();
    if (!layout.suffix.empty()) to = std::min(to, line.find(layout.suffix, from));
    StoreValue(line.substr(from, to - from), second);
}

// ---- Point lines ----

enum class PointLine { Point, Blank, End, Bad };

// One line after the marker: kind 0 holds X and Y, kind 1 a point number,
// X and Y. Each number must be followed by a blank or the end of the line;
// whatever follows the numbers is a comment.
PointLine ParsePointLine(std::string_view line, int kind, float& x, float& y) {
    const char* p = line.data();
    const char* const end = p + line.size();
    while (p != end && IsBlank(*p)) ++p;
    if (p == end) return PointLine::Blank;
    if (*p == '\x1A') return PointLine::End; // DOS end-of-file mark
    NumberParts parts;
    auto number = [&](bool whole) {
        while (p != end && IsBlank(*p)) ++p;
        const size_t n = ScanNumberParts({p, size_t(end - p)}, whole, parts);
        if (n == 0 || (p + n != end && !IsBlank(p[n]))) return std::string_view();
        const std::string_view token(p, n);
        p += n;
        return token;
    };
    if (kind == KindTxt && number(true).empty()) return PointLine::Bad; // point number, unused
    std::string_view token = number(false);
    if (token.empty() || !PartsToFloat(parts, token, x)) return PointLine::Bad;
    token = number(false);
    if (token.empty() || !PartsToFloat(parts, token, y)) return PointLine::Bad;
    return PointLine::Point;
}

// A point line as Kivo writes it, and the spectrometer program did before:
// the field in eight columns with three decimals, a blank, the value in
// fifteen ("2956.801 -6.404374E-0002"), then CR LF or LF. Such a line is read
// here at fixed columns, checked sixteen bytes at a time, and its numbers
// converted as the general parser converts them. Returns the length of the
// line with its end, or 0 for any other line (and near the text's end), which
// the general parser then reads.
inline size_t ParseWrittenPointLine(const char* p, const char* end, float& x, float& y) {
#if defined(__SSE2__)
    constexpr size_t kReach = 32; // both loads stay inside the text
    if (size_t(end - p) < kReach) return 0;
    const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
    auto digits = [](__m128i v) {
        return uint32_t(_mm_movemask_epi8(_mm_and_si128(
            _mm_cmpgt_epi8(v, _mm_set1_epi8('0' - 1)), _mm_cmplt_epi8(v, _mm_set1_epi8('9' + 1)))));
    };
    // Where the columns must hold these characters; a sign column may hold
    // either of two, the line end CR or LF.
    auto matches = [](__m128i v, const char* one, const char* other) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(one));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(other));
        return uint32_t(
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, a), _mm_cmpeq_epi8(v, b))));
    };
    // Columns outside kFixed are not looked at here; a fixed column with one
    // choice has it in both texts, so no other byte can pass there.
    static constexpr char kOne[33] = "____.___  _.______E+____\r_______";
    static constexpr char kOther[33] = "____.___ -_.______E-____\n_______";
    constexpr uint32_t kFixed =
        1u << 4 | 1u << 8 | 1u << 9 | 1u << 11 | 1u << 18 | 1u << 19 | 1u << 24;
    constexpr uint32_t kDigits = 0xFu | 7u << 5 | 1u << 10 | 0x3Fu << 12 | 0xFu << 20;
    const uint32_t digit = (digits(lo) | digits(hi) << 16) & 0xFFFFFFu;
    const uint32_t fixed =
        (matches(lo, kOne, kOther) | matches(hi, kOne + 16, kOther + 16) << 16) & kFixed;
    // A field below 1000 has a blank in its first column.
    const bool lead = p[0] == ' ';
    if (fixed != kFixed || digit != (lead ? kDigits & ~1u : kDigits)) return 0;
    const size_t length = p[24] == '\n' ? 25 : p[25] == '\n' ? 26 : 0;
    if (length == 0) return 0;
    auto d = [p](int i) { return uint32_t(uint8_t(p[i]) - '0'); };
    // Both mantissas have seven digits at most: one float operation each.
    const uint32_t mx = (lead ? 0 : d(0) * 1000000) + d(1) * 100000 + d(2) * 10000 + d(3) * 1000 +
                        d(5) * 100 + d(6) * 10 + d(7);
    ExactFloat(mx, -3, false, x);
    NumberParts parts;
    parts.mantissa = d(10) * 1000000 + d(12) * 100000 + d(13) * 10000 + d(14) * 1000 + d(15) * 100 +
                     d(16) * 10 + d(17);
    const int e = int(d(20) * 1000 + d(21) * 100 + d(22) * 10 + d(23));
    parts.exponent = (p[19] == '-' ? -e : e) - 6;
    parts.negative = p[9] == '-';
    if (!ExactFloat(parts.mantissa, parts.exponent, parts.negative, y)) {
        const size_t from = parts.negative ? 9 : 10;
        if (!PartsToFloat(parts, {p + from, 24 - from}, y)) return 0;
    }
    return length;
#else
    (void)p, (void)end, (void)x, (void)y;
    return 0;
#endif
}

} // namespace

void ReadEsrHeader(std::string_view text, ParamSpec& p) {
    ClearParamSpec(p);
    std::string_view lines[10];
    LineSplitter splitter(text);
    for (auto& line : lines)
        if (!splitter.Next(line)) break;
    p.Line1.assign(lines[0]);
    p.Line2.assign(lines[1]);
    ReadPair(lines[2], kLine3, p.ScanRange, p.TimeScan);
    ReadPair(lines[3], kLine4, p.Gain, p.Modulation);
    ReadPair(lines[4], kLine5, p.Power, p.ExperimTime);
    ReadPair(lines[5], kLine6, p.NumPoints, p.DeltaPoints);
    ReadPair(lines[6], kLine7, p.SumLeft1, p.SumRight1);
    ReadPair(lines[7], kLine8, p.SumLeft2, p.SumRight2);
    ReadPair(lines[8], kLine9, p.StandartRuby, p.OtherStandart);
    ReadPair(lines[9], kLine10, p.NumParticles, p.DblIntegral);
    p.PhaseSign = 1;
}

ReadResult ReadSpectrumText(std::string_view text, int kind, ParamSpec& p, float* x, float* y) {
    ReadResult r;
    p.NumPoints = 0;
    if (kind != KindEsr && kind != KindTxt) {
        r.Status = ReadStatus::NoPoints;
        return r;
    }
    if (kind == KindEsr)
        ReadEsrHeader(text, p);
    else
        ClearParamSpec(p);
    p.NumPoints = 0;

    LineSplitter lines(text);
    std::string_view line;
    // A text line of the header may itself read "Spectr:".
    if (kind == KindEsr) lines.Skip(kEsrHeaderLines);
    bool marker = false;
    while (!marker && lines.Next(line)) marker = line == kMarker;
    if (!marker) {
        r.Status = ReadStatus::NoPoints;
        r.Reason = EmptyOrNotText(text);
        if (r.Reason.empty()) r.Reason = "no Spectr: line";
        return r;
    }

    int count = 0;
    // One slot past the buffers' end is never written: a line beyond the
    // last point is parsed into a scratch pair, only to tell it apart from
    // blank lines and the end mark.
    float extraX = 0, extraY = 0;
    for (;;) {
        if (kind == KindEsr && count < MaxPoints) {
            if (const size_t n =
                    ParseWrittenPointLine(lines.Here(), lines.End(), x[count], y[count])) {
                lines.Take(n);
                ++count;
                continue;
            }
        }
        if (!lines.Next(line)) break;
        const bool full = count == MaxPoints;
        const PointLine kindOfLine =
            ParsePointLine(line, kind, full ? extraX : x[count], full ? extraY : y[count]);
        if (kindOfLine == PointLine::Blank) continue;
        if (kindOfLine == PointLine::End) break;
        if (kindOfLine == PointLine::Bad) {
            r.Status = ReadStatus::BadPointLine;
            r.Line = lines.Number();
            return r;
        }
        if (full) {
            r.Truncated = true;
            break;
        }
        ++count;
    }
    if (count < 2) {
        r.Status = ReadStatus::NoPoints;
        return r;
    }
    FinishPoints(p, x, y, count);
    return r;
}

void FinishPoints(ParamSpec& p, float* x, float* y, int count) {
    int falling = 0;
    for (int k = 0; k + 1 < count; ++k)
        if (x[k + 1] < x[k]) ++falling;
    if (falling > count * 9 / 10) {
        std::reverse(x, x + count);
        std::reverse(y, y + count);
    }
    // A sweep longer than a record counts is brought into a slot after this.
    p.NumPoints = uint16_t(std::min(count, int(UINT16_MAX)));
    const ValueBounds b = BoundsOf(y, count);
    p.Amplitude = double(b.Hi) - double(b.Lo);
}

ReadResult ReadSpectrumFile(const std::string& path, int kind, ParamSpec& p, PointBuffer& X,
                            PointBuffer& Y) {
    ReadResult r;
    p.NumPoints = 0;
    if (kind != KindEsr && kind != KindTxt) {
        // No spectrum by its name; a device or a pipe still says what it is
        // (looked at, never read).
        const InputFile file(path);
        r.Status = file.Opened() ? ReadStatus::NoPoints : ReadStatus::CannotOpen;
        if (!file.Opened()) r.Reason = file.Failure();
        return r;
    }
    // One buffer per thread, sized from the file, kept between calls while
    // it is no larger than a spectrum needs: a series of files then costs no
    // allocation, and a big file's memory goes back at once.
    thread_local std::string buffer;
    constexpr size_t kKeep = size_t(1) << 20;
    struct Release {
        ~Release() {
            if (buffer.size() > kKeep) std::string().swap(buffer);
        }
    } release;
    std::string_view text;
    if (!ReadText(path, MaxFileBytes, buffer, text, r)) return r;
    if (!X.Allocated()) X.Allocate();
    if (!Y.Allocated()) Y.Allocate();
    return ReadSpectrumText(text, kind, p, X.Data(), Y.Data());
}

void ReadSpectrum(SpectrumRead& f) {
    try {
        if (f.Kind == KindBes3t || f.Kind == KindEsp)
            ReadSpectrometer(f);
        else
            f.Result = ReadSpectrumFile(f.Path, f.Kind, f.Params, f.X, f.Y);
    } catch (const std::exception& e) {
        // No memory for this file, say: it is refused in the failure's own
        // words, not blamed on the file, and the others go on.
        f.Params.NumPoints = 0;
        f.Series.reset();
        f.Result = ReadResult{};
        f.Result.Status = ReadStatus::Failed;
        f.Result.Reason = FailureWords(e);
    }
}

void ReadSpectrumFiles(std::vector<SpectrumRead>& files) {
    std::atomic<size_t> next{0};
    auto work = [&files, &next] {
        for (size_t i; (i = next.fetch_add(1)) < files.size();) ReadSpectrum(files[i]);
    };
    const size_t cores = std::max(1u, std::thread::hardware_concurrency());
    std::vector<std::thread> helpers;
    try {
        while (helpers.size() + 1 < std::min(cores, files.size())) helpers.emplace_back(work);
    } catch (const std::system_error&) {
        // Fewer helpers than cores: the calling thread reads the rest.
    }
    work();
    for (std::thread& t : helpers) t.join();
}

// ---- Writing ----

std::string FormatEsrHeader(const ParamSpec& p) {
    std::string out, s;
    out.reserve(640);
    auto end = [&out] { out += "\r\n"; };
    out += p.Line1;
    end();
    out += p.Line2;
    end();
    out += kScanRangeLabel;
    AppendF(out, p.ScanRange, 5, 0, s);
    out += kTimeScanLabel;
    AppendF(out, p.TimeScan, 4, 0, s);
    out += " min";
    end();
    out += kGainLabel;
    AppendE(out, p.Gain, 11, s);
    out += kModulationLabel;
    AppendF(out, p.Modulation, 6, 3, s);
    end();
    out += kPowerLabel;
    AppendF(out, p.Power, 6, 2, s);
    out += kExperimLabel;
    AppendF(out, p.ExperimTime, 5, 1, s);
    end();
    out += kNumPointsLabel;
    out += FormatI(p.NumPoints, 6);
    out += kDeltaLabel;
    AppendE(out, p.DeltaPoints, 23, s);
    end();
    out += kSumLeft1Label;
    AppendF(out, p.SumLeft1, 8, 5, s);
    out += kSumRight1Label;
    AppendF(out, p.SumRight1, 8, 5, s);
    end();
    out += kSumLeft2Label;
    AppendF(out, p.SumLeft2, 6, 0, s);
    out += kSumRight2Label;
    AppendF(out, p.SumRight2, 6, 0, s);
    end();
    out += kRubyLabel;
    AppendF(out, p.StandartRuby, 5, 3, s);
    out += kOtherLabel;
    AppendF(out, p.OtherStandart, 5, 3, s);
    end();
    out += kParticlesLabel;
    AppendE(out, p.NumParticles, 12, s);
    out += kIntegralLabel;
    AppendF(out, p.DblIntegral, 10, 5, s);
    end();
    return out;
}

std::string FormatSpectrum(const ParamSpec& p, const float* x, const float* y) {
    std::string out = FormatEsrHeader(p);
    const int n = std::min<int>(p.NumPoints, MaxPoints);
    out.reserve(out.size() + 16 + size_t(n) * 26);
    out += kMarker;
    out += "\r\n";
    std::string s;
    for (int k = 0; k < n; ++k) {
        AppendF(out, x[k], 8, 3, s);
        out += ' ';
        AppendE(out, y[k], 15, s);
        out += "\r\n";
    }
    return out;
}

std::string SaveTempPath(const std::string& target) {
    return target + ".kivo-save";
}

namespace {

// The file a save of path replaces: path itself or, for a symbolic link, the
// file at the end of its chain (which need not exist yet). False for a loop.
bool FinalTarget(const std::string& path, std::string& target) {
    namespace fs = std::filesystem;
    fs::path p = path;
    for (int depth = 0; depth < 40; ++depth) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(p, ec))) {
            target = p.string();
            return true;
        }
        const fs::path next = fs::read_symlink(p, ec);
        if (ec) {
            target = p.string();
            return true;
        }
        p = next.is_absolute() ? next : p.parent_path() / next;
    }
    errno = ELOOP;
    return false;
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(size_t(n));
    }
    return true;
}

// Opens the temporary file of a save and locks it, so two saves of one
// target never write it together. What a killed save left is reused: the
// lock died with that save.
int OpenTemp(const std::string& temp) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        // A link put in place of the temporary file is never followed.
        auto open = [&temp] {
            return ::open(temp.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
        };
        int fd = open();
        if (fd < 0 && errno == EACCES) {
            // A leftover we may not write is replaced, where the directory allows.
            if (::unlink(temp.c_str()) != 0) {
                errno = EACCES;
                return -1;
            }
            fd = open();
        }
        if (fd < 0) return -1;
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            errno = EBUSY;
            return -1;
        }
        // The save that held the lock may have renamed this file over its
        // target meanwhile: then the name holds another file, or none.
        struct stat held {
        }, named{};
        if (::fstat(fd, &held) == 0 && ::lstat(temp.c_str(), &named) == 0 &&
            held.st_ino == named.st_ino && held.st_dev == named.st_dev)
            return fd;
        ::close(fd);
    }
    errno = EBUSY;
    return -1;
}

} // namespace

bool WriteSpectrumFile(const ParamSpec& p, const float* x, const float* y, const std::string& path,
                       std::string& error) {
    return WriteTextFile(FormatSpectrum(p, x, y), path, error);
}

bool WriteTextFile(std::string_view text, const std::string& path, std::string& error) {
    auto fail = [&error, &path](const char* what, int code) {
        error = std::string(what) + " " + path + ": " + std::strerror(code);
        return false;
    };
    std::string target;
    if (!FinalTarget(path, target)) return fail("cannot replace", errno);
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists && S_ISDIR(old.st_mode)) return fail("cannot replace", EISDIR);
    // A file the user made read-only stays as it is.
    if (exists && ::access(target.c_str(), W_OK) != 0) return fail("cannot write", errno);

    const std::string temp = SaveTempPath(target);
    int fd = OpenTemp(temp);
    bool inPlace = false;
    if (fd < 0 && errno == EACCES && exists) {
        // The directory takes no new file, but the file itself may be
        // written: the only way to save there, though not safe from a crash.
        fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            fd = -1;
            errno = EBUSY;
        }
        inPlace = true;
    }
    if (fd < 0) return fail("cannot create", errno);
    // The set-id bits may not be ours to give; the permission bits are.
    if (exists && !inPlace && ::fchmod(fd, old.st_mode & 07777) != 0)
        ::fchmod(fd, old.st_mode & 0777);
    // The data is on the disk before the rename makes it the target's.
    const bool written = ::ftruncate(fd, 0) == 0 && WriteAll(fd, text) && ::fsync(fd) == 0;
    const int why = errno;
    if (::close(fd) != 0 && written) {
        const int closeWhy = errno;
        if (!inPlace) ::unlink(temp.c_str());
        return fail("cannot write", closeWhy);
    }
    if (!written) {
        if (!inPlace) ::unlink(temp.c_str());
        return fail("cannot write", why);
    }
    if (!inPlace) {
        if (::rename(temp.c_str(), target.c_str()) != 0) {
            const int renameWhy = errno;
            ::unlink(temp.c_str());
            return fail("cannot replace", renameWhy);
        }
        // The new name is on the disk too.
        const std::string dir = std::filesystem::path(target).parent_path().string();
        const int dirFd =
            ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dirFd >= 0) {
            ::fsync(dirFd);
            ::close(dirFd);
        }
    }
    error.clear();
    return true;
}

} // namespace kivo
