// JCAMP-DX: labelled data records, one spectrum a data block, the ASDF
// forms of its values, and the file Kivo writes.
#include "jcamp_file.h"
#include "acquisition.h"
#include "gvalues.h"
#include "input_file.h"
#include "number_text.h"
#include "spectrometer_file.h"
#include "spins.h"
#include "treatments.h"

#include <algorithm>
#include <bit>
#include <cfloat>
#include <charconv>
#include <climits>
#include <cmath>
#include <optional>
#include <utility>

namespace kivo {

std::string JcampLabelKey(std::string_view name) {
    std::string key;
    key.reserve(name.size());
    for (const char c : name) {
        if (c == ' ' || c == '\t' || c == '-' || c == '/' || c == '_') continue;
        key += c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
    }
    return key;
}

float JcampAxisPoint(double first, double last, int n, int i) {
    const double step = (last - first) / (n - 1);
    return float(first + step * i);
}

namespace {

// A line without its comment ("$$" to the end).
std::string_view WithoutComment(std::string_view line) {
    return line.substr(0, line.find("$$"));
}

std::string Cut(std::string_view v) {
    v = Trim(v);
    return v.size() <= 24 ? std::string(v) : std::string(v.substr(0, 24)) + "...";
}

// ---- ASDF values ----

enum class Form { Absolute, Difference, Repeat };

struct AsdfValue {
    Form Kind = Form::Absolute;
    long double Value = 0; // the value, the difference, or how often the last one stands
    float Direct = 0;      // an absolute value: the float nearest its text
    bool Fits = true;      // Direct is within the float range
};

// The form and the signed leading digit a pseudo-digit stands for: SQZ @ A-I
// a-i, DIF % J-R j-r, DUP S-Z s.
std::optional<std::pair<Form, int>> PseudoDigit(char c) {
    if (c == '@') return std::pair{Form::Absolute, 0};
    if (c >= 'A' && c <= 'I') return std::pair{Form::Absolute, c - 'A' + 1};
    if (c >= 'a' && c <= 'i') return std::pair{Form::Absolute, -(c - 'a' + 1)};
    if (c == '%') return std::pair{Form::Difference, 0};
    if (c >= 'J' && c <= 'R') return std::pair{Form::Difference, c - 'J' + 1};
    if (c >= 'j' && c <= 'r') return std::pair{Form::Difference, -(c - 'j' + 1)};
    if (c >= 'S' && c <= 'Z') return std::pair{Form::Repeat, c - 'S' + 1};
    if (c == 's') return std::pair{Form::Repeat, 9};
    return std::nullopt;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// A number's text in the reader's grammar, as a value and as the nearest float.
bool Convert(std::string_view text, AsdfValue& v) {
    NumberParts parts;
    if (ScanNumberParts(text, false, parts) != text.size()) return false;
    const std::string_view digits = text.front() == '+' ? text.substr(1) : text;
    if (std::from_chars(digits.data(), digits.data() + digits.size(), v.Value).ec != std::errc())
        return false;
    v.Fits = PartsToFloat(parts, text, v.Direct);
    return true;
}

std::string CharacterWords(char c) {
    if (c > ' ' && c < 127) return std::string("'") + c + "'";
    static constexpr char kHex[] = "0123456789ABCDEF";
    const auto b = static_cast<unsigned char>(c);
    return std::string("byte 0x") + kHex[b >> 4] + kHex[b & 15];
}

// The values of one data line, its comment taken off. The first character
// of each value says its form: a sign, a digit or a point an AFFN number
// (with "+" and "-" the PAC delimiters), a pseudo-digit SQZ, DIF or DUP,
// whose further digits are plain. An E belongs to an AFFN number only when
// a sign and a digit follow it. Returns "" or what is wrong with the line.
std::string DecodeAsdf(std::string_view line, std::vector<AsdfValue>& out) {
    out.clear();
    std::string token;
    size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (IsBlank(c) || c == ',' || c == ';') {
            ++i;
            continue;
        }
        AsdfValue v;
        if (c == '+' || c == '-' || c == '.' || IsDigit(c)) {
            size_t end = i + (c == '+' || c == '-');
            while (end < line.size() && IsDigit(line[end])) ++end;
            if (end < line.size() && line[end] == '.')
                for (++end; end < line.size() && IsDigit(line[end]);) ++end;
            if (end + 2 < line.size() && (line[end] == 'E' || line[end] == 'e') &&
                (line[end + 1] == '+' || line[end + 1] == '-') && IsDigit(line[end + 2]))
                for (end += 2; end < line.size() && IsDigit(line[end]);) ++end;
            if (!Convert(line.substr(i, end - i), v))
                return Cut(line.substr(i, end - i)) + " is no number";
            out.push_back(v);
            i = end;
            continue;
        }
        if (c == '?') return "a value missing (?)";
        const std::optional<std::pair<Form, int>> pseudo = PseudoDigit(c);
        if (!pseudo) return CharacterWords(c) + " is no ASDF character";
        token.clear();
        if (pseudo->second < 0) token += '-';
        token += char('0' + std::abs(pseudo->second));
        size_t end = i + 1;
        while (end < line.size() && IsDigit(line[end])) token += line[end++];
        if (pseudo->first != Form::Repeat && end < line.size() && line[end] == '.')
            for (token += line[end++]; end < line.size() && IsDigit(line[end]);)
                token += line[end++];
        v.Kind = pseudo->first;
        if (!Convert(token, v)) return Cut(line.substr(i, end - i)) + " is no number";
        if (v.Kind == Form::Repeat && v.Value < 1)
            return Cut(line.substr(i, end - i)) + " repeats nothing";
        out.push_back(v);
        i = end;
    }
    return {};
}

// ---- Labelled data records ----

enum class Table { None, XyData, XyPoints, Other };

struct Label {
    std::string_view Value; // the text after "=" on the label's own line
    int Line = 0;
};

// The accumulated values of a block's data table, in the file's units: Y
// values of ##XYDATA, X and Y by turns of ##XYPOINTS. Only the first values
// a spectrum can hold are kept; the others are counted.
// The most points of a table kept: a sweep longer than a slot is averaged
// into one later, but a few bytes of DUP may claim billions of values, and
// each value kept costs tens of bytes.
constexpr int MaxJcampPoints = 1 << 20;

std::string TooManyPoints(double n) {
    // A count past any file's size is not worth spelling out.
    return (n < 1e9 ? std::to_string(int64_t(n)) + " points, " : std::string()) + "more than " +
           std::to_string(MaxJcampPoints) + " points";
}

struct Values {
    struct Raw {
        long double Value;
        float Direct;
        bool Absolute; // as written, not a sum of differences
        bool Fits;
    };
    std::vector<Raw> Kept;
    int64_t Count = 0;
    size_t Room = 0;
    AsdfValue Written; // the last value written as it stands
    long double Last = 0, LastDifference = 0;
    bool Have = false, LastIsDifference = false;
    bool LineEndsInDifference = false;

    // A value as written, times times.
    void Add(const AsdfValue& a, int64_t times = 1) {
        Written = a;
        Last = a.Value;
        Have = true;
        LastIsDifference = false;
        const int64_t kept = Keep(times);
        for (int64_t k = 0; k < kept; ++k) Kept.push_back({a.Value, a.Direct, true, a.Fits});
    }
    // times values, each d above the one before.
    void Step(long double d, int64_t times) {
        LastDifference = d;
        LastIsDifference = true;
        const int64_t kept = Keep(times);
        for (int64_t k = 0; k < kept; ++k) {
            Last += d;
            Kept.push_back({Last, 0, false, true});
        }
        Last += d * (long double)(times - kept);
    }
    // The last value or difference again, times times: a repeated
    // difference goes on climbing, a repeated value stands.
    void Repeat(int64_t times) {
        if (LastIsDifference)
            Step(LastDifference, times);
        else
            Add(Written, times);
    }
    // A line's Y check: the value it repeats is the one to go on from.
    void Checked(const AsdfValue& a) {
        Written = a;
        LastIsDifference = false;
    }

private:
    // Counts times values; how many of them are kept.
    int64_t Keep(int64_t times) {
        Count = std::min<int64_t>(Count + times, int64_t(1) << 50);
        return std::clamp<int64_t>(int64_t(Room) - int64_t(Kept.size()), 0, times);
    }
};

class Block {
public:
    ReadResult Result;
    Table Data = Table::None;
    int DataLine = 0;
    std::string DataWords; // the data label as written, for a refusal
    Values V;

    // The first value of a label the reader uses; the others are passed
    // over, so a block's memory does not grow with its labels.
    void Offer(const std::string& key, std::string_view value, int line) {
        static constexpr std::string_view kUsed[] = {"TITLE",
                                                     "XUNITS",
                                                     "XFACTOR",
                                                     "YFACTOR",
                                                     "NPOINTS",
                                                     "FIRSTX",
                                                     "LASTX",
                                                     "DELTAX",
                                                     ".MICROWAVEFREQUENCY",
                                                     ".MICROWAVEPOWER",
                                                     ".MODULATIONAMPLITUDE",
                                                     ".RECEIVERGAIN",
                                                     ".TEMPERATURE",
                                                     ".NUMBEROFSCANS",
                                                     "$KIVOLINE1",
                                                     "$KIVOLINE2"};
        if (std::find(std::begin(kUsed), std::end(kUsed), key) == std::end(kUsed) || Find(key))
            return;
        labels_.emplace_back(key, Label{value, line});
    }
    const Label* Find(std::string_view key) const {
        for (const auto& [k, label] : labels_)
            if (k == key) return &label;
        return nullptr;
    }
    void Refuse(int line, const std::string& reason) {
        if (Result.Status != ReadStatus::Ok) return;
        Result.Status = ReadStatus::Refused;
        Result.Line = line;
        Result.Reason = "line " + std::to_string(line) + ": " + reason;
    }
    bool Refused() const { return Result.Status != ReadStatus::Ok; }

    // One line of ##XYDATA=(X++(Y..Y)): its X, then Y values. The first Y of
    // a line after one ending in a difference repeats that line's last Y as
    // its check, and is no point of its own.
    void XyDataLine(std::string_view text, int line, std::vector<AsdfValue>& values) {
        if (Refused()) return;
        if (const std::string fault = DecodeAsdf(text, values); !fault.empty())
            return Refuse(line, fault);
        if (values.empty()) return;
        if (values.front().Kind != Form::Absolute) return Refuse(line, "no X value first");
        if (values.size() == 1) return;
        const bool check = V.LineEndsInDifference;
        V.LineEndsInDifference = false;
        for (size_t k = 1; k < values.size(); ++k) {
            const AsdfValue& a = values[k];
            if (k == 1 && check) {
                if (a.Kind != Form::Absolute) return Refuse(line, "no Y check value");
                if (a.Value != V.Last)
                    return Refuse(line, "Y check value " + Number(a.Value) + ", " + Number(V.Last) +
                                            " expected");
                V.Checked(a);
                continue;
            }
            if (a.Kind == Form::Absolute) {
                V.Add(a);
            } else if (a.Kind == Form::Repeat && k == 1) {
                return Refuse(line, "a repeat with no value before it");
            } else if (!V.Have) {
                return Refuse(line, "a difference with no value before it");
            } else if (a.Kind == Form::Difference) {
                V.Step(a.Value, 1);
            } else {
                V.Repeat(int64_t(std::min<long double>(a.Value, 1e15L)) - 1);
            }
            V.LineEndsInDifference = V.LastIsDifference;
        }
    }

    // One line of ##XYPOINTS=(XY..XY): plain numbers, X and Y by turns.
    void XyPointsLine(std::string_view text, int line, std::vector<AsdfValue>& values) {
        if (Refused()) return;
        if (const std::string fault = DecodeAsdf(text, values); !fault.empty())
            return Refuse(line, fault);
        for (const AsdfValue& a : values) {
            if (a.Kind != Form::Absolute) return Refuse(line, "a compressed value in (XY..XY)");
            V.Add(a);
        }
    }

private:
    static std::string Number(long double v) { return FormatF(v, 0, v == std::floor(v) ? 0 : 6); }
    std::vector<std::pair<std::string, Label>> labels_;
};

// A label's number: true with v when there is one; a label that is there
// but holds no number refuses the block.
bool LabelNumber(Block& b, std::string_view key, std::string_view name, double& v) {
    const Label* label = b.Find(key);
    if (!label) return false;
    if (ReadNumber(Trim(WithoutComment(label->Value)), v) && std::isfinite(v)) return true;
    b.Refuse(label->Line,
             "##" + std::string(name) + "= " + Cut(WithoutComment(label->Value)) + " is no number");
    return false;
}

// A quantity of the EPR labels: its number and its unit, lower case: the
// word after the number, or the comment's first word ("9.4 $$ GHz").
bool Quantity(const Block& b, std::string_view key, double& v, std::string& unit) {
    const Label* label = b.Find(key);
    if (!label) return false;
    const std::string_view text = Trim(label->Value);
    const size_t n = ScanNumber(text);
    if (n == 0 || !ReadNumber(text.substr(0, n), v) || !std::isfinite(v)) return false;
    std::string_view rest = Trim(WithoutComment(text.substr(n)));
    if (rest.empty() && text.find("$$") != text.npos) rest = Trim(text.substr(text.find("$$") + 2));
    unit.clear();
    for (const char c : rest.substr(0, std::min(rest.find_first_of(" \t"), rest.size())))
        unit += c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
    return true;
}

// The EPR quantities, each in the unit the record keeps it in.
struct Conditions {
    double GHz = 0, Kelvin = 0, Scans = 0;
    std::string BadFrequency;
};

Conditions ReadConditions(const Block& b, ParamSpec& p) {
    Conditions c;
    double v = 0;
    std::string unit;
    if (Quantity(b, ".MICROWAVEFREQUENCY", v, unit) && v > 0) {
        // Without a unit the size tells: X band is 9.5 GHz, 9500 MHz or 9.5e9 Hz.
        const double scale = unit == "hz"    ? 1e-9
                             : unit == "mhz" ? 1e-3
                             : unit == "ghz" ? 1
                             : v > 1e6       ? 1e-9
                             : v > 1e3       ? 1e-3
                                             : 1;
        c.GHz = v * scale;
    } else if (const Label* f = b.Find(".MICROWAVEFREQUENCY")) {
        c.BadFrequency = ".MICROWAVE FREQUENCY '" + Cut(WithoutComment(f->Value)) + "'";
    }
    if (Quantity(b, ".MICROWAVEPOWER", v, unit))
        p.Power = v * (unit == "w" ? 1e3 : unit == "uw" || unit == "\xC2\xB5w" ? 1e-3 : 1);
    if (Quantity(b, ".MODULATIONAMPLITUDE", v, unit))
        p.Modulation = v * (unit == "mt" ? 10 : unit == "t" ? 1e4 : 1);
    if (Quantity(b, ".RECEIVERGAIN", v, unit)) p.Gain = unit == "db" ? std::pow(10.0, v / 20) : v;
    if (Quantity(b, ".TEMPERATURE", v, unit)) {
        constexpr std::string_view kCelsius = "\xC2\xB0"
                                              "c";
        c.Kelvin = unit == "c" || unit == "degc" || unit == kCelsius ? v + 273.15 : v;
    }
    if (Quantity(b, ".NUMBEROFSCANS", v, unit)) c.Scans = v;
    return c;
}

// The field unit of ##XYDATA's or ##XYPOINTS's X: gauss per unit, or 0.
double FieldScale(std::string_view units) {
    const std::string u = JcampLabelKey(Trim(WithoutComment(units)));
    if (u.empty() || u == "G" || u == "GAUSS") return 1;
    if (u == "MT" || u == "MILLITESLA") return 10;
    if (u == "T" || u == "TESLA") return 1e4;
    return 0;
}

float Scaled(const Values::Raw& r, double factor) {
    if (factor == 1 && r.Absolute) return r.Fits ? r.Direct : HUGE_VALF;
    const long double v = r.Value * (long double)factor;
    return std::fabs(v) <= FLT_MAX ? float(v) : HUGE_VALF;
}

// The spectrum of a block whose data table was read: its axis, values,
// factors and labels.
JcampSpectrum Finish(Block& b, int number) {
    JcampSpectrum s;
    s.Block = number;
    ClearParamSpec(s.Params);
    auto refused = [&s, &b]() -> JcampSpectrum& {
        s.Result = b.Result;
        s.Params.NumPoints = 0;
        return s;
    };
    if (b.Data == Table::Other) b.Refuse(b.DataLine, b.DataWords + " is no spectrum Kivo reads");
    if (b.Refused()) return refused();

    const Label* units = b.Find("XUNITS");
    const double scale = units ? FieldScale(units->Value) : 1;
    if (scale == 0)
        b.Refuse(units->Line, "##XUNITS= " + Cut(WithoutComment(units->Value)) + " is no field");
    double xFactor = 1, yFactor = 1, declared = 0;
    const bool xyData = b.Data == Table::XyData;
    LabelNumber(b, "XFACTOR", "XFACTOR", xFactor);
    LabelNumber(b, "YFACTOR", "YFACTOR", yFactor);
    const bool hasCount = LabelNumber(b, "NPOINTS", "NPOINTS", declared);
    if (b.Refused()) return refused();
    if (hasCount && declared > MaxJcampPoints) {
        b.Refuse(b.Find("NPOINTS")->Line, TooManyPoints(declared));
        return refused();
    }
    const int64_t count = xyData ? b.V.Count : b.V.Count / 2;
    if (!xyData && b.V.Count % 2 != 0)
        b.Refuse(b.DataLine, "an X without its Y");
    else if (count > MaxJcampPoints)
        b.Refuse(b.DataLine, TooManyPoints(double(count)));
    else if (xyData && !hasCount)
        b.Refuse(b.DataLine, "no ##NPOINTS");
    else if (hasCount && declared != double(count))
        b.Refuse(b.DataLine, std::to_string(count) + " points, ##NPOINTS= " +
                                 Cut(WithoutComment(b.Find("NPOINTS")->Value)));
    else if (count < 2)
        b.Refuse(b.DataLine, "fewer than 2 points");
    if (b.Refused()) return refused();

    const int n = int(count);
    s.X.resize(size_t(n));
    s.Y.resize(size_t(n));
    if (xyData) {
        double first = 0, last = 0, delta = 0;
        if (!LabelNumber(b, "FIRSTX", "FIRSTX", first)) {
            b.Refuse(b.DataLine, "no ##FIRSTX");
        } else if (!LabelNumber(b, "LASTX", "LASTX", last)) {
            if (LabelNumber(b, "DELTAX", "DELTAX", delta))
                last = first + delta * (n - 1);
            else
                b.Refuse(b.DataLine, "no ##LASTX");
        }
        if (b.Refused()) return refused();
        for (int k = 0; k < n; ++k) {
            s.X[size_t(k)] = JcampAxisPoint(first * scale, last * scale, n, k);
            s.Y[size_t(k)] = Scaled(b.V.Kept[size_t(k)], yFactor);
        }
    } else {
        for (int k = 0; k < n; ++k) {
            s.X[size_t(k)] = Scaled(b.V.Kept[2 * size_t(k)], xFactor * scale);
            s.Y[size_t(k)] = Scaled(b.V.Kept[2 * size_t(k) + 1], yFactor);
        }
    }
    for (int k = 0; k < n; ++k)
        if (!std::isfinite(s.X[size_t(k)]) || !std::isfinite(s.Y[size_t(k)])) {
            b.Refuse(b.DataLine, "point " + std::to_string(k + 1) + " beyond the float range");
            return refused();
        }
    const ValueBounds field = BoundsOf(s.X.data(), n);
    if (field.Lo == field.Hi) {
        b.Refuse(b.DataLine, "no field axis");
        return refused();
    }

    ParamSpec& p = s.Params;
    const Conditions c = ReadConditions(b, p);
    const Label* line1 = b.Find("$KIVOLINE1");
    const Label* line2 = b.Find("$KIVOLINE2");
    const Label* title = b.Find("TITLE");
    if (line1)
        p.Line1 = line1->Value;
    else if (title)
        p.Line1 = Trim(WithoutComment(title->Value));
    p.Line2 = line2 ? std::string(line2->Value) : ConditionsLine(c.GHz, c.Kelvin, c.Scans);
    s.Result.BadFrequency = c.BadFrequency;
    FinishPoints(p, s.X.data(), s.Y.data(), n);
    const double sweep = double(s.X.back()) - double(s.X.front());
    p.ScanRange = sweep / 2;
    p.DeltaPoints = sweep / (n - 1);
    return s;
}

// Reads a text line by line: a label line ("##NAME=value") starts a labelled
// data record, other lines continue it. ##TITLE opens a block, ##END closes
// it; the labels of a link block (##BLOCKS) do not carry over to the blocks
// it holds. A block's first data table is its spectrum.
class Reader {
public:
    Reader(JcampRead& out, int maxSpectra) : out_(out), most_(maxSpectra) {}

    void Line(std::string_view line, int number) {
        const std::string_view body = Trim(line);
        if (body.size() >= 2 && body[0] == '#' && body[1] == '#') return LabelLine(body, number);
        if (!inTable_) return;
        if (block_.Data == Table::XyData)
            block_.XyDataLine(WithoutComment(line), number, values_);
        else
            block_.XyPointsLine(WithoutComment(line), number, values_);
    }

    void End() {
        if (open_) Close();
        if (labels_ == 0) {
            out_.Result.Status = ReadStatus::NoPoints;
            out_.Result.Reason = "no ##TITLE";
        } else if (tables_ == 0) {
            out_.Result.Status = ReadStatus::Refused;
            out_.Result.Reason = "no ##XYDATA=(X++(Y..Y)) nor ##XYPOINTS=(XY..XY)";
        }
    }

private:
    void LabelLine(std::string_view body, int number) {
        ++labels_;
        inTable_ = false;
        const size_t equals = std::min(body.find('='), body.size());
        const std::string key = JcampLabelKey(body.substr(2, equals - 2));
        const std::string_view value = body.substr(std::min(equals + 1, body.size()));
        if (key == "TITLE" || (!open_ && key != "END")) {
            if (open_) Close();
            block_ = Block{};
            open_ = true;
            skipping_ = false;
        }
        if (key == "END") {
            if (open_) Close();
            return;
        }
        const bool xyData = key == "XYDATA", xyPoints = key == "XYPOINTS";
        const bool other = key == "PEAKTABLE" || key == "NTUPLES" || key == "DATATABLE" ||
                           key == "RADATA" || key == "PEAKASSIGNMENTS";
        if (!xyData && !xyPoints && !other) return block_.Offer(key, value, number);
        // A block's first readable table is its spectrum; a later one is not read.
        if (block_.Data == Table::XyData || block_.Data == Table::XyPoints) return;
        const std::string form = JcampLabelKey(WithoutComment(value));
        const bool readable = (xyData && form == "(X++(Y..Y))") || (xyPoints && form == "(XY..XY)");
        if (block_.Data == Table::Other && !readable) return;
        if (block_.Data == Table::None) {
            ++tables_;
            if (blocks_ >= most_) {
                out_.SlotsShort = true;
                skipping_ = true;
            }
        }
        block_.Data = readable ? (xyData ? Table::XyData : Table::XyPoints) : Table::Other;
        block_.DataLine = number;
        block_.DataWords = std::string(Trim(WithoutComment(body)));
        block_.V.Room = size_t(MaxJcampPoints) * (xyData ? 1 : 2);
        inTable_ = readable && !skipping_;
    }

    void Close() {
        open_ = false;
        inTable_ = false;
        if (skipping_ || block_.Data == Table::None) return;
        out_.Spectra.push_back(Finish(block_, ++blocks_));
    }

    JcampRead& out_;
    int most_;
    Block block_;
    bool open_ = false, skipping_ = false, inTable_ = false;
    int labels_ = 0, tables_ = 0, blocks_ = 0;
    std::vector<AsdfValue> values_;
};

} // namespace

JcampRead ReadJcampText(std::string_view text, int maxSpectra) {
    JcampRead out;
    Reader reader(out, maxSpectra);
    const std::string_view whole = text;
    int number = 0;
    while (!text.empty()) {
        const size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        reader.Line(line, ++number);
    }
    reader.End();
    if (out.Result.Status == ReadStatus::NoPoints) {
        const std::string_view notText = EmptyOrNotText(whole);
        if (!notText.empty()) out.Result.Reason = notText;
    }
    return out;
}

JcampRead ReadJcampFile(const std::string& path, int maxSpectra) {
    JcampRead out;
    std::string buffer;
    std::string_view text;
    if (!ReadText(path, MaxFileBytes, buffer, text, out.Result)) return out;
    return ReadJcampText(text, maxSpectra);
}

// ---- Writing ----

namespace {

// The shortest decimals that read back to v, exponent as "E".
template <typename T> void AppendShortest(std::string& out, T v) {
    char buffer[40];
    const std::to_chars_result r = std::to_chars(buffer, buffer + sizeof buffer, v);
    for (char* c = buffer; c != r.ptr; ++c) out += *c == 'e' ? 'E' : *c;
}

// A whole number with its leading digit as a pseudo-digit: the one for
// zero, or the one for 1 (for -1) counted on to the digit.
void AppendPseudo(std::string& out, int64_t v, char zero, char plus, char minus) {
    const uint64_t magnitude = v < 0 ? uint64_t(0) - uint64_t(v) : uint64_t(v);
    const std::string digits = std::to_string(magnitude);
    const int lead = digits.front() - '0';
    out += lead == 0 ? zero : char((v < 0 ? minus : plus) + lead - 1);
    out.append(digits, 1);
}

void AppendSqz(std::string& out, int64_t v) {
    AppendPseudo(out, v, '@', 'A', 'a');
}
void AppendDif(std::string& out, int64_t d) {
    AppendPseudo(out, d, '%', 'J', 'j');
}
// A count of 2 or more: S-Z for 1-8, s for 9.
void AppendDup(std::string& out, int64_t count) {
    const size_t at = out.size();
    AppendPseudo(out, count, 'S', 'S', 'S');
    if (out[at] == 'S' + 8) out[at] = 's';
}

constexpr size_t kLineWidth = 80;

// Every field as the reader places it, to the bit (a -0 too).
bool EvenAxis(const float* x, int n) {
    const double first = x[0], last = x[n - 1];
    if (first == last) return false;
    for (int k = 0; k < n; ++k)
        if (std::bit_cast<uint32_t>(JcampAxisPoint(first, last, n, k)) !=
            std::bit_cast<uint32_t>(x[k]))
            return false;
    return true;
}

// The power of two every value is a whole multiple of, when those multiples
// stay below 2^62; none when they would not, or a value is -0.
std::optional<int> PowerOfTwoStep(const float* y, int n) {
    int step = INT_MAX, top = INT_MIN;
    for (int k = 0; k < n; ++k) {
        if (y[k] == 0) {
            if (std::signbit(y[k])) return std::nullopt; // a whole number has no -0
            continue;
        }
        int e = 0;
        const double m = std::frexp(double(y[k]), &e); // |y| = m 2^e, 0.5 <= m < 1
        const auto whole = uint32_t(std::fabs(std::ldexp(m, 24)));
        step = std::min(step, e - 24 + std::countr_zero(whole));
        top = std::max(top, e);
    }
    if (step == INT_MAX) return 0;
    // Whole numbers need no factor when they fit.
    if (step > 0 && top <= 62) step = 0;
    if (top - step > 62) return std::nullopt;
    return step;
}

void AppendLabel(std::string& out, std::string_view name, std::string_view value) {
    out += "##";
    out += name;
    out += "= ";
    out += value;
    out += "\r\n";
}

template <typename T>
void AppendNumberLabel(std::string& out, std::string_view name, T v, std::string_view unit = {}) {
    out += "##";
    out += name;
    out += "= ";
    AppendShortest(out, v);
    if (!unit.empty()) {
        out += " $$ ";
        out += unit;
    }
    out += "\r\n";
}

void AppendDifDup(std::string& out, const float* x, const int64_t* m, int n) {
    std::string line, token;
    int k = 0;
    bool check = false; // the line before ended in a difference
    while (k < n) {
        const int first = check ? k - 1 : k;
        line.clear();
        AppendShortest(line, x[first]);
        AppendSqz(line, m[first]);
        if (!check) ++k;
        bool difference = false;
        while (k < n) {
            const int64_t d = m[k] - m[k - 1];
            int run = 1;
            while (k + run < n && m[k + run] - m[k + run - 1] == d) ++run;
            token.clear();
            AppendDif(token, d);
            if (run > 1) AppendDup(token, run);
            if (difference && line.size() + token.size() > kLineWidth) break;
            line += token;
            k += run;
            difference = true;
        }
        out += line;
        out += "\r\n";
        check = difference;
    }
    if (check) {
        AppendShortest(out, x[n - 1]);
        AppendSqz(out, m[n - 1]);
        out += "\r\n";
    }
}

void AppendAffn(std::string& out, const float* x, const float* y, int n) {
    std::string line, token;
    for (int k = 0; k < n;) {
        line.clear();
        AppendShortest(line, x[k]);
        for (bool first = true; k < n; first = false) {
            token.assign(1, ' ');
            AppendShortest(token, y[k]);
            if (!first && line.size() + token.size() > kLineWidth) break;
            line += token;
            ++k;
        }
        out += line;
        out += "\r\n";
    }
}

} // namespace

std::string FormatJcamp(const ParamSpec& p, const float* x, const float* y, std::string_view title,
                        JcampForm form) {
    const int n = std::min<int>(p.NumPoints, MaxPoints);
    const bool even = n >= 2 && EvenAxis(x, n);
    const std::optional<int> step = PowerOfTwoStep(y, n);
    const bool difDup = even && form == JcampForm::DifDup && step;
    std::string out;
    out.reserve(1024 + size_t(n) * 12);
    AppendLabel(out, "TITLE", title);
    AppendLabel(out, "JCAMP-DX", "5.01 $$ Kivo");
    AppendLabel(out, "DATA TYPE", "EPR SPECTRUM");
    AppendLabel(out, "ORIGIN", "Kivo");
    AppendLabel(out, "OWNER", "");
    AppendLabel(out, "XUNITS", "GAUSS");
    AppendLabel(out, "YUNITS", "ARBITRARY UNITS");
    AppendNumberLabel(out, "XFACTOR", 1);
    AppendNumberLabel(out, "YFACTOR", difDup ? std::ldexp(1.0, *step) : 1.0);
    if (n >= 1) {
        AppendNumberLabel(out, "FIRSTX", double(x[0]));
        AppendNumberLabel(out, "LASTX", double(x[n - 1]));
        if (even) AppendNumberLabel(out, "DELTAX", (double(x[n - 1]) - double(x[0])) / (n - 1));
        AppendNumberLabel(out, "FIRSTY", double(y[0]));
    }
    AppendNumberLabel(out, "NPOINTS", n);
    if (const double ghz = FrequencyOf(p); ghz > 0)
        AppendNumberLabel(out, ".MICROWAVE FREQUENCY", ghz, "GHz");
    if (p.Power > 0) AppendNumberLabel(out, ".MICROWAVE POWER", p.Power, "mW");
    if (p.Modulation > 0) AppendNumberLabel(out, ".MODULATION AMPLITUDE", p.Modulation, "G");
    if (p.Gain > 0) AppendNumberLabel(out, ".RECEIVER GAIN", p.Gain);
    if (const double k = TemperatureOf(p); k > 0) AppendNumberLabel(out, ".TEMPERATURE", k, "K");
    if (const double scans = ScansOf(p); scans >= 1)
        AppendNumberLabel(out, ".NUMBER OF SCANS", scans);
    // The text lines as they are, the treatment history with them.
    out += "##$KIVO LINE1=" + p.Line1 + "\r\n";
    out += "##$KIVO LINE2=" + p.Line2 + "\r\n";
    if (!even) {
        AppendLabel(out, "XYPOINTS", "(XY..XY)");
        for (int k = 0; k < n; ++k) {
            AppendShortest(out, x[k]);
            out += ", ";
            AppendShortest(out, y[k]);
            out += "\r\n";
        }
    } else if (difDup) {
        AppendLabel(out, "XYDATA", "(X++(Y..Y))");
        std::vector<int64_t> m(static_cast<size_t>(n));
        for (int k = 0; k < n; ++k) m[size_t(k)] = int64_t(std::ldexp(double(y[k]), -*step));
        AppendDifDup(out, x, m.data(), n);
    } else {
        AppendLabel(out, "XYDATA", "(X++(Y..Y))");
        AppendAffn(out, x, y, n);
    }
    AppendLabel(out, "END", "");
    return out;
}

bool WriteJcampFile(const ParamSpec& p, const float* x, const float* y, const std::string& path,
                    JcampForm form, std::string& error) {
    const int n = std::min<int>(p.NumPoints, MaxPoints);
    for (int k = 0; k < n; ++k)
        if (!std::isfinite(x[k]) || !std::isfinite(y[k])) {
            error = "point " + std::to_string(k + 1) + " is no number";
            return false;
        }
    const std::string title = p.Line1.empty() ? ShortName(path) : p.Line1;
    return WriteTextFile(FormatJcamp(p, x, y, title, form), path, error);
}

bool SaveSpectrumFile(const ParamSpec& p, const float* x, const float* y, const std::string& path,
                      std::string& error) {
    if (FileKindOf(FileNameOf(path)) == KindJcamp)
        return WriteJcampFile(p, x, y, path, JcampForm::DifDup, error);
    return WriteSpectrumFile(p, x, y, path, error);
}

} // namespace kivo
