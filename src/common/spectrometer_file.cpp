// The two binary file pairs of the common X-band acquisition software: BES3T
// (.DSC descriptor text, .DTA data, an .XGF file for an irregular field axis)
// and ESP/WinEPR (.par parameter text, .spc data).
#include "spectrometer_file.h"
#include "gvalues.h"
#include "input_file.h"
#include "series.h"
#include "treatment_notes.h"
#include "treatments.h"

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kivo {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view v) {
    while (!v.empty() && IsBlank(v.front())) v.remove_prefix(1);
    while (!v.empty() && IsBlank(v.back())) v.remove_suffix(1);
    return v;
}

// The values of the keys a reader asks for; every other line is passed over,
// so a header's memory never grows with lines nobody reads.
class Entries {
public:
    explicit Entries(std::initializer_list<std::string_view> keys) {
        for (std::string_view k : keys) items_.push_back({k, std::nullopt});
    }
    // The first value of a key counts.
    void Offer(std::string_view key, std::string_view value, int line) {
        for (Item& item : items_)
            if (item.Key == key && !item.Value) {
                item.Value.emplace(value);
                item.Line = line;
            }
    }
    const std::string* Text(std::string_view key) const {
        for (const Item& item : items_)
            if (item.Key == key && item.Value) return &*item.Value;
        return nullptr;
    }
    // The line of the file the key's value stands on (its first line when
    // it was continued); 0 when the key is not there.
    int Line(std::string_view key) const {
        for (const Item& item : items_)
            if (item.Key == key && item.Value) return item.Line;
        return 0;
    }
    bool Number(std::string_view key, double& value) const {
        const std::string* t = Text(key);
        return t && ReadNumber(*t, value) && std::isfinite(value);
    }

private:
    struct Item {
        std::string_view Key;
        std::optional<std::string> Value;
        int Line = 0;
    };
    std::vector<Item> items_;
};

// "KEY value" lines. In a BES3T descriptor "#" starts a layer line and "*" a
// comment, values may be quoted, and a trailing "\" joins the next line.
void ReadEntries(std::string_view text, bool bes3t, Entries& entries) {
    std::string joined;
    bool continued = false;
    int number = 0, first = 0; // of the line read and of the entry's first line
    while (!text.empty()) {
        const size_t lineEnd = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, lineEnd);
        text.remove_prefix(std::min(lineEnd + 1, text.size()));
        ++number;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!continued) {
            line = Trim(line);
            if (line.empty() || (bes3t && (line.front() == '#' || line.front() == '*'))) continue;
            joined.clear();
            first = number;
        }
        const std::string_view body = Trim(line);
        continued = bes3t && !body.empty() && body.back() == '\\';
        if (continued) {
            joined.append(body.substr(0, body.size() - 1));
            continue;
        }
        joined.append(line);
        const std::string_view entry = joined;
        size_t end = 0;
        while (end < entry.size() && !IsBlank(entry[end])) ++end;
        std::string_view value = Trim(entry.substr(end));
        if (bes3t && value.size() >= 2 && (value.front() == '\'' || value.front() == '"') &&
            value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        entries.Offer(entry.substr(0, end), value, first);
    }
}

int NumberBytes(BinaryNumber f) {
    switch (f) {
    case BinaryNumber::Int8:
        return 1;
    case BinaryNumber::Int16:
        return 2;
    case BinaryNumber::Int32:
    case BinaryNumber::Float32:
        return 4;
    case BinaryNumber::Float64:
        return 8;
    }
    return 8;
}

std::optional<BinaryNumber> Bes3tNumber(std::string_view letter) {
    if (letter == "C") return BinaryNumber::Int8;
    if (letter == "S") return BinaryNumber::Int16;
    if (letter == "I") return BinaryNumber::Int32;
    if (letter == "F") return BinaryNumber::Float32;
    if (letter == "D") return BinaryNumber::Float64;
    return std::nullopt;
}

uint8_t ByteSwap(uint8_t v) {
    return v;
}
uint16_t ByteSwap(uint16_t v) {
    return __builtin_bswap16(v);
}
uint32_t ByteSwap(uint32_t v) {
    return __builtin_bswap32(v);
}
uint64_t ByteSwap(uint64_t v) {
    return __builtin_bswap64(v);
}

// n numbers of type T, stride bytes apart, as floats: one loop per format,
// so a spectrum of MaxPoints costs a few microseconds.
template <typename Bits, typename T, typename Out>
void DecodeRun(const char* at, size_t stride, int n, bool bigEndian, double scale, Out* out) {
    const bool swap = bigEndian != (std::endian::native == std::endian::big);
    for (int k = 0; k < n; ++k, at += stride) {
        Bits bits;
        std::memcpy(&bits, at, sizeof bits);
        if (swap) bits = ByteSwap(bits);
        out[k] = Out(double(std::bit_cast<T>(bits)) * scale);
    }
}

// Into floats (points) or doubles (the values of a second axis).
template <typename Out>
void Decode(BinaryNumber f, const char* at, size_t stride, int n, bool bigEndian, double scale,
            Out* out) {
    switch (f) {
    case BinaryNumber::Int8:
        return DecodeRun<uint8_t, int8_t, Out>(at, stride, n, bigEndian, scale, out);
    case BinaryNumber::Int16:
        return DecodeRun<uint16_t, int16_t, Out>(at, stride, n, bigEndian, scale, out);
    case BinaryNumber::Int32:
        return DecodeRun<uint32_t, int32_t, Out>(at, stride, n, bigEndian, scale, out);
    case BinaryNumber::Float32:
        return DecodeRun<uint32_t, float, Out>(at, stride, n, bigEndian, scale, out);
    case BinaryNumber::Float64:
        return DecodeRun<uint64_t, double, Out>(at, stride, n, bigEndian, scale, out);
    }
}

void Refuse(SpectrometerHeader& h, std::string reason) {
    h.Result.Status = ReadStatus::Refused;
    h.Result.Reason = std::move(reason);
}

ReadResult Refusal(std::string reason) {
    ReadResult r;
    r.Status = ReadStatus::Refused;
    r.Reason = std::move(reason);
    return r;
}

// A value as a person writes it: up to the given decimals, no trailing zeros.
std::string Short(double v, int decimals) {
    std::string s = FormatF(v, 0, decimals);
    if (s.find('.') != std::string::npos) {
        while (s.back() == '0') s.pop_back();
        if (s.back() == '.') s.pop_back();
    }
    return s;
}

// A header's value as a reason quotes it: a line of any length is cut short.
std::string Cut(std::string_view v) {
    return v.size() <= 24 ? std::string(v) : std::string(v.substr(0, 24)) + "...";
}

// The conditions a spectrometer file records and the record has no field
// for, as the second text line keeps sample conditions: "9.4012 GHz, 293 K",
// and the cavity's quality factor where the file gives it: "Q 5200".
std::string Conditions(const Entries& e, std::string_view freqKey, double toGHz,
                       std::string_view tempKey, std::string_view scansKey,
                       std::string_view qKey = {}) {
    std::string out;
    auto add = [&out](const std::string& part) {
        if (!out.empty()) out += ", ";
        out += part;
    };
    double v = 0;
    if (e.Number(freqKey, v) && v > 0) add(FrequencyText(v * toGHz));
    if (e.Number(tempKey, v) && v > 0) add(Short(v, 1) + " K");
    if (e.Number(scansKey, v) && v >= 1) add(Short(v, 0) + (v < 1.5 ? " scan" : " scans"));
    if (!qKey.empty() && e.Number(qKey, v) && v > 0) add("Q " + Short(v, 0));
    return out;
}

// The frequency's key and text when the file gives one that is no
// frequency ("MWFQ 'abc'"), for the reader to say so; "" otherwise.
std::string BadFrequency(const Entries& e, std::string_view key) {
    const std::string* text = e.Text(key);
    double v = 0;
    if (!text || (e.Number(key, v) && v > 0)) return {};
    return std::string(key) + " '" + Cut(*text) + "'";
}

// The ends of a linear field axis in gauss, from the values of its first
// and its width key (first the first key's own value in gauss). Every point
// is kept as a float: an end beyond the float range is refused with the line
// of the key that put it there.
bool TakeAxis(SpectrometerHeader& h, const Entries& e, std::string_view firstKey,
              std::string_view widthKey, double first, double from, double to) {
    auto fits = [](double v) { return std::fabs(v) <= FLT_MAX; };
    if (fits(from) && fits(to)) {
        h.FieldFirst = from;
        h.FieldLast = to;
        return true;
    }
    const std::string_view key = fits(first) ? widthKey : firstKey;
    h.Result.Line = e.Line(key);
    Refuse(h, "line " + std::to_string(h.Result.Line) + ": " + std::string(key) + " " +
                  Cut(*e.Text(key)) + " is beyond the float range");
    return false;
}

// The point count both formats begin with: known, at least 2, at most MaxPoints.
bool TakePoints(SpectrometerHeader& h, const Entries& e, std::string_view key) {
    double n = 0;
    if (!e.Number(key, n) || n != std::floor(n)) {
        Refuse(h, "no number of points");
        return false;
    }
    // A sweep longer than a slot is read whole and averaged, as long as its
    // points (4 bytes each at least as floats) fit the size no file may pass.
    if (n > double(MaxFileBytes / 4)) {
        // A count past any file's size is not worth spelling out.
        Refuse(h, (n < 1e9 ? Short(n, 0) + " points, " : std::string()) + "more than " +
                      std::to_string(MaxFileBytes >> 20) + " MB of data");
        return false;
    }
    if (n < 2) {
        Refuse(h, "fewer than 2 points");
        return false;
    }
    h.Points = int(n);
    return true;
}

std::string FileName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The first limit bytes of a data file into a buffer of the calling thread;
// a file shorter than need bytes is refused before it is read, and one that
// cannot be opened by its name and why ("s.DTA not found").
ReadResult ReadPart(const std::string& path, uint64_t need, uint64_t limit, std::string& buffer,
                    std::string_view& bytes) {
    InputFile file(path);
    ReadResult r;
    if (!file.Opened()) return Refusal(FileName(path) + " " + file.Failure());
    if (file.Size() > MaxFileBytes) {
        r.Status = ReadStatus::TooLarge;
        r.Size = file.Size();
        return r;
    }
    if (file.Size() < need)
        return Refusal(FileName(path) + " " + std::to_string(file.Size()) + " bytes, " +
                       std::to_string(need) + " expected");
    size_t used = 0;
    if (!ReadCapped(file, buffer, limit, used, r)) return r;
    bytes = std::string_view(buffer.data(), std::min<size_t>(used, size_t(limit)));
    return r;
}

// A count of slices given under key: a whole number from 1, or the file is
// refused (read as one slice, the others' data would be passed over unsaid).
bool SliceCountOf(SpectrometerHeader& h, const Entries& e, std::string_view key, double& n) {
    if (e.Number(key, n) && n >= 1 && n == std::floor(n)) return true;
    return Refuse(h, "no number of slices"), false;
}

// The count of slices, one field sweep each: the data of all of them must
// fit the size no file may pass, so no count from the header is trusted.
bool TakeSliceCount(SpectrometerHeader& h, double n) {
    if (n * h.Points * h.PointBytes > double(MaxFileBytes))
        return Refuse(h, (n < 1e9 ? Short(n, 0) + " slices, " : std::string()) + "more than " +
                             std::to_string(MaxFileBytes >> 20) + " MB of data"),
               false;
    h.Slices = int(n);
    return true;
}

// The second dimension of a BES3T file (YPTS): its slices and the axis they
// were recorded along.
bool TakeSlices(SpectrometerHeader& h, const Entries& e) {
    double n = 1;
    if (!e.Text("YPTS")) return true;
    if (!SliceCountOf(h, e, "YPTS", n) || !TakeSliceCount(h, n)) return false;
    if (n == 1) return true;
    h.SliceUnit = e.Text("YUNI") ? *e.Text("YUNI") : "";
    const std::string type = e.Text("YTYP") ? *e.Text("YTYP") : "IDX";
    if (type == "IGD") {
        const std::string axisFormat = e.Text("YFMT") ? *e.Text("YFMT") : "D";
        const std::optional<BinaryNumber> f = Bes3tNumber(Trim(axisFormat));
        if (!f) return Refuse(h, "number format '" + Cut(axisFormat) + "' unknown"), false;
        h.SliceAxisFormat = *f;
        h.SliceAxisInFile = h.SliceAxisGiven = true;
    } else if (type == "IDX") {
        h.SliceAxisGiven = e.Number("YMIN", h.SliceFirst) && e.Number("YWID", h.SliceWidth);
    } else if (type != "NODATA") {
        return Refuse(h, "axis type '" + Cut(type) + "' unknown"), false;
    }
    return true;
}

} // namespace

uint64_t SpectrometerHeader::DataBytes() const {
    return uint64_t(Points) * uint64_t(PointBytes) * uint64_t(Slices);
}

uint64_t SpectrometerHeader::SliceAxisBytes() const {
    return SliceAxisInFile ? uint64_t(Slices) * uint64_t(NumberBytes(SliceAxisFormat)) : 0;
}

uint64_t SpectrometerHeader::AxisBytes() const {
    return AxisInFile ? uint64_t(Points) * uint64_t(NumberBytes(AxisFormat)) : 0;
}

SpectrometerHeader ReadBes3tDescriptor(std::string_view text) {
    Entries e{"BSEQ", "IKKF", "IRFMT", "IIFMT", "XPTS", "YPTS", "ZPTS", "XTYP",  "XMIN",
              "XWID", "XUNI", "XFMT",  "MWFQ",  "MWPW", "B0MA", "RCAG", "AVGS",  "STMP",
              "TITL", "SPTP", "YTYP",  "YMIN",  "YWID", "YUNI", "YFMT", "QValue"};
    ReadEntries(text, true, e);
    SpectrometerHeader h;
    ClearParamSpec(h.Params);
    double extent = 1;
    if (e.Number("ZPTS", extent) && extent > 1) return Refuse(h, "3-dimensional data"), h;

    // One value per point, real or complex; only its real part is a spectrum.
    const std::string kinds = e.Text("IKKF") ? *e.Text("IKKF") : "REAL";
    const size_t values = size_t(std::count(kinds.begin(), kinds.end(), ',')) + 1;
    if (values > 1) return Refuse(h, std::to_string(values) + " values per point"), h;
    const std::string_view kind = Trim(kinds);
    if (kind != "REAL" && kind != "CPLX") return Refuse(h, "no real part (" + Cut(kinds) + ")"), h;
    if (!TakePoints(h, e, "XPTS")) return h;

    const std::string real = e.Text("IRFMT") ? *e.Text("IRFMT") : "";
    const std::optional<BinaryNumber> format = Bes3tNumber(Trim(real));
    if (!format) return Refuse(h, "number format '" + Cut(real) + "' unknown"), h;
    h.Format = *format;
    h.PointBytes = NumberBytes(*format);
    if (kind == "CPLX") {
        const std::string imag = e.Text("IIFMT") ? *e.Text("IIFMT") : real;
        const std::optional<BinaryNumber> imagFormat = Bes3tNumber(Trim(imag));
        if (!imagFormat) return Refuse(h, "number format '" + Cut(imag) + "' unknown"), h;
        h.PointBytes += NumberBytes(*imagFormat);
    }
    const std::string order = e.Text("BSEQ") ? *e.Text("BSEQ") : "BIG";
    if (order != "BIG" && order != "LIT")
        return Refuse(h, "byte order '" + Cut(order) + "' unknown"), h;
    h.BigEndian = order == "BIG";
    if (!TakeSlices(h, e)) return h;

    const std::string unit = e.Text("XUNI") ? *e.Text("XUNI") : "G";
    if (unit == "G")
        h.FieldScale = 1;
    else if (unit == "mT")
        h.FieldScale = 10;
    else if (unit == "T")
        h.FieldScale = 1e4;
    else
        return Refuse(h, "axis in " + Cut(unit) + ", not a field"), h;
    const std::string type = e.Text("XTYP") ? *e.Text("XTYP") : "IDX";
    if (type == "IGD") {
        h.AxisInFile = true;
        const std::string axisFormat = e.Text("XFMT") ? *e.Text("XFMT") : "D";
        const std::optional<BinaryNumber> f = Bes3tNumber(Trim(axisFormat));
        if (!f) return Refuse(h, "number format '" + Cut(axisFormat) + "' unknown"), h;
        h.AxisFormat = *f;
    } else if (type == "IDX") {
        double first = 0, width = 0;
        if (!e.Number("XMIN", first) || !e.Number("XWID", width))
            return Refuse(h, "no field axis"), h;
        if (!TakeAxis(h, e, "XMIN", "XWID", first * h.FieldScale, first * h.FieldScale,
                      (first + width) * h.FieldScale))
            return h;
    } else {
        return Refuse(h, "axis type '" + Cut(type) + "' unknown"), h;
    }

    ParamSpec& p = h.Params;
    double v = 0;
    if (e.Number("MWPW", v)) p.Power = v * 1e3;      // W to mW
    if (e.Number("B0MA", v)) p.Modulation = v * 1e4; // T to G
    // Gain in dB to the factor that divides the signal, as older files give it.
    if (e.Number("RCAG", v)) p.Gain = std::pow(10.0, v / 20);
    if (e.Number("SPTP", v) && v > 0) p.TimeScan = v * h.Points / 60; // s per point
    if (e.Text("TITL")) p.Line1 = *e.Text("TITL");
    // A temperature series gives each slice its own temperature.
    p.Line2 = Conditions(e, "MWFQ", 1e-9, h.SliceUnit == "K" ? "" : "STMP", "AVGS", "QValue");
    h.Result.BadFrequency = BadFrequency(e, "MWFQ");
    return h;
}

SpectrometerHeader ReadEspParameters(std::string_view text) {
    Entries e{"DOS", "ANZ", "RES", "REY", "SSX", "SSY", "JSS", "XYLB", "XYWI", "GST", "GSI",
              "HCF", "HSW", "MF",  "MP",  "RMA", "RRG", "JSD", "JON",  "JCO",  "TE",  "RCT"};
    ReadEntries(text, false, e);
    SpectrometerHeader h;
    ClearParamSpec(h.Params);
    // Points of a sweep: RES (SSX in a two-dimensional file), or ANZ, all
    // points of the file. Sweeps: REY (SSY), or ANZ over RES. The data
    // holds them one after another, the field running fastest.
    double total = 0, across = 0, rows = 1, flags = 0;
    const bool haveTotal = e.Number("ANZ", total);
    const char* acrossKey = e.Number("RES", across)   ? "RES"
                            : e.Number("SSX", across) ? "SSX"
                                                      : nullptr;
    // The count of sweeps is REY's, or SSY's without it: when there, it must
    // be a count.
    const char* countKey = e.Text("REY") ? "REY" : e.Text("SSY") ? "SSY" : nullptr;
    if (countKey && !SliceCountOf(h, e, countKey, rows)) return h;
    if (rows <= 1) {
        rows = haveTotal && acrossKey && total > across ? total / across : 1;
        const bool twoDimensional = e.Number("JSS", flags) && flags >= 0 && flags < 4294967296.0 &&
                                    (uint32_t(flags) >> 12 & 1) != 0;
        if (rows != std::floor(rows) || (twoDimensional && rows <= 1))
            return Refuse(h, "2-dimensional data without its number of sweeps"), h;
    }
    if (!TakePoints(h, e, acrossKey ? acrossKey : "ANZ")) return h;

    const bool windows = e.Text("DOS") != nullptr;
    h.Format = windows ? BinaryNumber::Float32 : BinaryNumber::Int32;
    h.BigEndian = !windows;
    h.PointBytes = 4;
    if (rows > 1) {
        if (!TakeSliceCount(h, rows)) return h;
        // The second axis from its first value and its width; no unit is
        // given for it.
        h.SliceAxisGiven = e.Number("XYLB", h.SliceFirst) && e.Number("XYWI", h.SliceWidth);
    }
    double first = 0, width = 0;
    if (e.Number("GST", first) && e.Number("GSI", width)) {
        if (!TakeAxis(h, e, "GST", "GSI", first, first, first + width)) return h;
    } else if (e.Number("HCF", first) && e.Number("HSW", width)) {
        if (!TakeAxis(h, e, "HCF", "HSW", first, first - width / 2, first + width / 2)) return h;
    } else {
        return Refuse(h, "no field axis"), h;
    }

    ParamSpec& p = h.Params;
    double v = 0;
    if (e.Number("MP", v)) p.Power = v;
    if (e.Number("RMA", v)) p.Modulation = v;
    if (e.Number("RRG", v)) p.Gain = v;
    if (e.Number("RCT", v) && v > 0) p.TimeScan = v * h.Points / 60000; // ms per point
    for (const char* key : {"JON", "JCO"})
        if (const std::string* t = e.Text(key); t && !t->empty())
            p.Line1 += (p.Line1.empty() ? "" : ", ") + *t;
    p.Line2 = Conditions(e, "MF", 1, "TE", "JSD");
    h.Result.BadFrequency = BadFrequency(e, "MF");
    return h;
}

ReadResult ReadSpectrometerData(const SpectrometerHeader& h, std::string_view data,
                                const std::string_view* axis, ParamSpec& p, float* x, float* y,
                                int slice, const PointChoice& points) {
    p.NumPoints = 0;
    if (h.Result.Status != ReadStatus::Ok) return h.Result;
    if (slice < 0 || slice >= h.Slices) return Refusal("no slice " + std::to_string(slice + 1));
    if (data.size() < h.DataBytes())
        return Refusal("data " + std::to_string(data.size()) + " bytes, " +
                       std::to_string(h.DataBytes()) + " expected");
    if (h.AxisInFile && !axis) return Refusal("no axis file");
    if (h.AxisInFile && axis->size() < h.AxisBytes())
        return Refusal("axis " + std::to_string(axis->size()) + " bytes, " +
                       std::to_string(h.AxisBytes()) + " expected");
    const int n = h.Points;
    // A sweep taken otherwise than whole goes through buffers of its own size.
    const bool whole = n <= MaxPoints && points == PointChoice{};
    thread_local std::vector<float> sweepX, sweepY;
    if (!whole) {
        sweepX.resize(size_t(n));
        sweepY.resize(size_t(n));
    }
    float* fx = whole ? x : sweepX.data();
    float* fy = whole ? y : sweepY.data();
    const size_t sliceBytes = size_t(n) * size_t(h.PointBytes);
    Decode(h.Format, data.data() + sliceBytes * size_t(slice), size_t(h.PointBytes), n, h.BigEndian,
           1, fy);
    if (h.AxisInFile) {
        Decode(h.AxisFormat, axis->data(), size_t(NumberBytes(h.AxisFormat)), n, h.BigEndian,
               h.FieldScale, fx);
    } else {
        const double step = (h.FieldLast - h.FieldFirst) / (n - 1);
        for (int k = 0; k < n; ++k) fx[k] = float(h.FieldFirst + step * k);
    }
    for (int k = 0; k < n; ++k)
        if (!std::isfinite(fx[k]) || !std::isfinite(fy[k]))
            return Refusal("no number at point " + std::to_string(k + 1));
    // A width of 0, or an axis file of one field: no spectrum to draw.
    const ValueBounds field = BoundsOf(fx, n);
    if (field.Lo == field.Hi) return Refusal("no field axis");
    p = h.Params;
    FinishPoints(p, fx, fy, n);
    ReadResult read;
    read.BadFrequency = h.Result.BadFrequency;
    if (!whole) {
        const std::string refused = ResolvePoints(points, fx, n, read.Taken);
        if (!refused.empty()) {
            p.NumPoints = 0;
            return Refusal(refused);
        }
        FinishPoints(p, x, y, TakeSweepPoints(fx, fy, read.Taken, x, y));
        read.SweepPoints = n;
        if (const std::string note = SweepNote(read.Taken, n); !note.empty())
            AppendNote(p.Line2, {}, note);
    }
    const int kept = p.NumPoints;
    const double sweep = double(x[kept - 1]) - double(x[0]);
    p.ScanRange = sweep / 2;
    p.DeltaPoints = sweep / (kept - 1);
    return read;
}

std::vector<double> SliceValues(const SpectrometerHeader& h, std::string_view sliceAxis) {
    std::vector<double> values(size_t(h.Slices));
    if (h.SliceAxisInFile && sliceAxis.size() >= h.SliceAxisBytes()) {
        Decode(h.SliceAxisFormat, sliceAxis.data(), size_t(NumberBytes(h.SliceAxisFormat)),
               h.Slices, h.BigEndian, 1, values.data());
    } else {
        for (int k = 0; k < h.Slices; ++k)
            values[size_t(k)] = !h.SliceAxisGiven ? k + 1
                                : h.Slices > 1    ? h.SliceFirst + h.SliceWidth * k / (h.Slices - 1)
                                                  : h.SliceFirst;
    }
    return values;
}

ReadResult ReadSpectrometerPair(const SpectrumRead& read, SpectrometerFiles& f) {
    // A header is small: its buffer is the calling thread's.
    thread_local std::string headerBuffer;
    std::string_view text, bytes;
    ReadResult r;
    f.Path = read.Path;
    f.Name = ShortName(read.Path);
    if (!ReadText(read.Path, MaxFileBytes, headerBuffer, text, r)) {
        if (r.Status == ReadStatus::CannotOpen)
            return Refusal(FileName(read.Path) + " " + r.Reason);
        return r;
    }
    f.Header = read.Kind == KindBes3t ? ReadBes3tDescriptor(text) : ReadEspParameters(text);
    // A slice's value goes into the second text line after the frequency.
    const size_t ghz = f.Header.Params.Line2.find(" GHz");
    f.Header.FrequencyEnd = ghz == std::string::npos ? 0 : ghz + 4;
    const SpectrometerHeader& h = f.Header;
    if (h.Result.Status != ReadStatus::Ok) {
        // Which file of the pair is at fault: the header's line, or a header
        // that is no text at all.
        ReadResult refused = h.Result;
        const std::string_view notText = EmptyOrNotText(text);
        if (refused.Line > 0)
            refused.Reason = FileName(read.Path) + " " + refused.Reason;
        else if (!notText.empty())
            refused.Reason = FileName(read.Path) + " " + std::string(notText);
        return refused;
    }
    // Only the bytes the header promises are read, and only kept so long.
    const std::pair<std::string*, std::pair<const std::string*, uint64_t>> parts[] = {
        {&f.Data, {&read.DataPath, h.DataBytes()}},
        {&f.Axis, {&read.AxisPath, h.AxisBytes()}},
        {&f.SliceAxis, {&read.SliceAxisPath, h.SliceAxisBytes()}}};
    for (const auto& [buffer, what] : parts) {
        buffer->clear();
        if (what.second == 0) continue;
        r = ReadPart(*what.first, what.second, what.second, *buffer, bytes);
        if (r.Status != ReadStatus::Ok) return r;
        buffer->resize(bytes.size());
    }
    f.Values = h.Slices > 1 ? SliceValues(h, f.SliceAxis) : std::vector<double>{};
    f.ValueStep = SliceStep(f.Values);
    for (size_t k = 0; k < f.Values.size(); ++k)
        if (!std::isfinite(f.Values[k]))
            return Refusal("no number at slice " + std::to_string(k + 1) + " of the second axis");
    return r;
}

ReadResult ReadSpectrometerSlice(const SpectrometerFiles& f, int slice, ParamSpec& p, float* x,
                                 float* y) {
    const std::string_view axis = f.Axis;
    return ReadSpectrometerData(f.Header, f.Data, f.Header.AxisInFile ? &axis : nullptr, p, x, y,
                                slice, f.Points);
}

void ReadSpectrometer(SpectrumRead& read) {
    read.Params.NumPoints = 0;
    read.Series.reset();
    // The bytes of the calling thread's last pair are kept for the next one;
    // a series takes them along.
    thread_local SpectrometerFiles files;
    read.Result = ReadSpectrometerPair(read, files);
    files.Points = read.Points;
    if (read.Result.Status != ReadStatus::Ok) {
        // A refused series may have left the bytes of many slices.
        if (files.Data.capacity() > size_t(1) << 20) files = SpectrometerFiles{};
        return;
    }
    if (files.Header.Slices > 1) {
        read.Series = std::make_shared<const SpectrometerFiles>(std::move(files));
        files = SpectrometerFiles{};
        return;
    }
    if (!read.X.Allocated()) read.X.Allocate();
    if (!read.Y.Allocated()) read.Y.Allocate();
    read.Result = ReadSpectrometerSlice(files, 0, read.Params, read.X.Data(), read.Y.Data());
}

ReadResult ReadSpectrometerFiles(int kind, const std::string& headerPath,
                                 const std::string& dataPath, const std::string& axisPath,
                                 ParamSpec& p, PointBuffer& X, PointBuffer& Y) {
    SpectrumRead read;
    read.Kind = kind;
    read.Path = headerPath;
    read.DataPath = dataPath;
    read.AxisPath = axisPath;
    read.X = std::move(X);
    read.Y = std::move(Y);
    ReadSpectrometer(read);
    X = std::move(read.X);
    Y = std::move(read.Y);
    p = std::move(read.Params);
    if (read.Series) return Refusal("2-dimensional data");
    return read.Result;
}

} // namespace kivo
