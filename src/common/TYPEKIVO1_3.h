// Shared record types and the routines that take their data as parameters:
// the spectrum record, point buffers, number formats, the number reader,
// the .esr/.txt file formats and the extrema routine. Plain C++, no Qt.
#pragma once

#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kivo {

constexpr int MaxSpec = 20;      // spectrum slots 1..20
constexpr int MaxPoints = 15000; // points per spectrum

// Array indexed by slot number 1..N, as every command counts slots.
template <typename T, int N = MaxSpec> class SlotArray {
public:
    T& operator[](int slot) {
        assert(slot >= 1 && slot <= N);
        return items_[static_cast<size_t>(slot - 1)];
    }
    const T& operator[](int slot) const {
        assert(slot >= 1 && slot <= N);
        return items_[static_cast<size_t>(slot - 1)];
    }
    static constexpr int size() { return N; }
    static SlotArray Filled(const T& value) {
        SlotArray a;
        a.items_.fill(value);
        return a;
    }

private:
    std::array<T, N> items_{};
};

// Parameter record of one spectrum: its acquisition parameters, the results
// of its integration, its two text lines, its phase and its amplitude.
struct ParamSpec {
    double ScanRange = 0;
    double TimeScan = 0;
    long double ExperimTime = 0;
    double Gain = 0;
    double Modulation = 0;
    double Power = 0;
    uint16_t NumPoints = 0;
    long double DeltaPoints = 0;
    long double SumLeft1 = 0;
    long double SumLeft2 = 0;
    long double SumRight1 = 0;
    long double SumRight2 = 0;
    long double DblIntegral = 0;
    long double StandartRuby = 0;
    long double OtherStandart = 0;
    long double NumParticles = 0;
    std::string Line1; // raw bytes of the file, any code page
    std::string Line2;
    int8_t PhaseSign = 1;
    double Amplitude = 0;
    bool operator==(const ParamSpec&) const = default;
};

using ParSpecSet = SlotArray<ParamSpec>;

// Every numeric field but Amplitude to 0, both text lines empty, PhaseSign +1.
// The text lines give their memory back: a refused file may have filled them.
void ClearParamSpec(ParamSpec& p);

// One point buffer of a slot: MaxPoints 32-bit floats, owned, addressed by
// point number 1..MaxPoints. Empty until allocated.
class PointBuffer {
public:
    void Allocate(); // a fresh zeroed block, replacing any former one
    void Release() { data_.reset(); }
    bool Allocated() const { return data_ != nullptr; }
    float& operator[](int k) {
        assert(data_ && k >= 1 && k <= MaxPoints);
        return data_[static_cast<size_t>(k - 1)];
    }
    float operator[](int k) const {
        assert(data_ && k >= 1 && k <= MaxPoints);
        return data_[static_cast<size_t>(k - 1)];
    }
    float* Data() { return data_.get(); }
    const float* Data() const { return data_.get(); }

private:
    std::unique_ptr<float[]> data_;
};

// ---- Number formats ----------------------------------------------------

// F(w, d): fixed point, d decimals, "-" for negatives, left-padded to w.
std::string FormatF(long double v, int w, int d);
// I(w): whole number left-padded to w.
std::string FormatI(long long v, int w);
// E(w), w >= 10: sign character (blank or "-"), one digit, ".", w - 9 digits,
// "E", exponent sign, four exponent digits; exactly w characters.
std::string FormatE(long double v, int w);
// The gain as the parameter panel shows it: E(11) with the exponent written
// short (" 1.23E4"); it reads back to the gain to three significant digits.
std::string FormatCompactGain(long double v);
// The particle count as the panel shows it: E(12) with a two-digit exponent
// (" 1.235E+15").
std::string FormatCompactParticles(long double v);

// ---- Number reader ----------------------------------------------------

// Reads a whole text as a number: blanks, optional sign, digits with an
// optional "." and further digits, optional exponent, blanks. Returns false
// (and leaves v alone) when the text is anything else or out of range.
bool ReadNumber(std::string_view text, long double& v);
bool ReadNumber(std::string_view text, double& v);
// A whole number: the same without "." and exponent.
bool ReadWholeNumber(std::string_view text, long long& v);
// Length of the number that text begins with by the reader's grammar (no
// leading blanks), or 0 when it does not begin with one. whole: no "." nor
// exponent. The file reader splits point lines with it.
size_t ScanNumber(std::string_view text, bool whole = false);

// ---- Extrema --------------------------------------------------------------

struct Extrema {
    uint16_t IndexOfMax = 0;
    double XAtMax = 0;
    double Centre = 0;
    double Amplitude = 0;
};
// Over the closed range of point numbers From..To (either order); ties go to
// the highest point number.
Extrema RangeExtrema(const float* x, const float* y, int From, int To);

// ---- Numeric routines of the treatments ----------------------------------
// Point arrays point at point 1: point j of x is x[j - 1]. Point numbers
// are 1-based as everywhere in the program.

// The short text of a value, as the picking labels show it: the general
// text with up to 15 significant digits when that has 8 characters or fewer,
// otherwise the value rounded to about 8 characters, keeping its sign, its
// whole digits and its exponent.
std::string ShortText(double v);

// Every value of v[1..n] becomes (1 - scale) * centre + scale * v + shift,
// worked out in extended precision: the view transform made permanent, or a
// plain shift (scale 1) of a field axis.
void TransformValues(float* v, int n, long double centre, long double scale, long double shift);
// Every value of v[1..n] divided by d (in double precision: the quotient is
// rounded to a float all the same).
void DivideValues(float* v, int n, long double d);
// The smallest and the largest of v[1..n] (n >= 1), in a pass the processor
// can pipeline: the chart's ranges and the amplitudes take it over every
// point of every spectrum at each redraw.
struct ValueBounds {
    float Lo = 0;
    float Hi = 0;
};
ValueBounds BoundsOf(const float* v, int n);
// The largest of 0 and y[1..n] minus the smallest of 0 and y[1..n].
long double SpanWithZero(const float* y, int n);
// Points 1..n in the opposite order, each signal staying with its field.
void ReversePoints(float* x, float* y, int n);

// Smoothing of one spectrum (x, y, n points) into xo, yo; returns the number
// of result points. r = 0: a moving average over 2 * (w div 2) + 1 points, the
// window shrinking at the ends, kept as a running sum so its cost does not
// grow with w. r > 0: means of blocks of r points, block c only while
// c * r + r div 2 <= n.
int SmoothPoints(uint16_t w, uint16_t r, const float* x, const float* y, int n, float* xo,
                 float* yo);

// The points that remain when every point whose field is below that of the
// point just before it (in the unfiltered spectrum) is dropped.
int CountForwardPoints(const float* x, int n);
// Drops those points, closing up; returns how many remain.
int EraseBackwardSteps(float* x, float* y, int n);

// Removes count points from point a on (1-based), closing up; returns the
// new number of points.
int RemoveRun(float* x, float* y, int n, int a, int count);

// Mean of y over points s..e (s <= e), as a running sum.
long double MeanY(const float* y, int s, int e);

// Subtracts from y[1..n] the straight line through mL at the field of point
// wL div 2 and mR at the field of point n - wR div 2 (anchors held inside
// 1..n); two anchors at the same field subtract the mean level instead.
void SubtractLine(const float* x, float* y, int wL, int wR, int n, long double mR, long double mL);
// Subtracts from y[1..n] the straight line through mL at field xL and mR at
// field xR (the mean level where both are one field).
void SubtractLineThrough(const float* x, float* y, int n, long double xL, long double mL,
                         long double xR, long double mR);

// The stretch of a spectrum (x, n points) that matches the fields lo..hi of
// another: First is the first point (from 1 up) whose field is not below lo,
// Last the last point (from n down) whose field is not above hi. Both
// scans stop at the spectrum's ends.
struct PointRange {
    int First = 1;
    int Last = 1;
};
PointRange MapRange(const float* x, int n, double lo, double hi);
// The point of x[0..n-1] whose field is nearest to `field` (1-based; 0 for
// no points): a cursor carried to another spectrum stays on its ends.
int NearestPoint(const float* x, int n, double field);

// r[j] = ys[j] - k * (the base interpolated at xs[j]) for the points of the
// spectrum inside the base's field range; First and Count give that stretch.
struct SubtractionResult {
    int First = 1;
    int Count = 0;
};
SubtractionResult SubtractInterpolated(const float* xs, const float* ys, int ns, const float* xb,
                                       const float* yb, int nb, float k, float* r);

// Double integration of one spectrum. w = NumAver, cs..ce the points where
// the centre is searched, automatic = find the borders (otherwise Left and
// Right are taken as given), k = the particle-count factor. Writes SumLeft1,
// SumRight1, SumLeft2, SumRight2, DblIntegral and NumParticles of p and
// reads its PhaseSign, Gain, Modulation, StandartRuby and NumPoints.
struct IntegrationResult {
    int Mist = 0;   // backward field steps inside Left..Right
    int Centre = 0; // 0 when the running first integral is never positive
    int Right = 0;
    int Left = 0;
};
IntegrationResult IntegrateSpectrum(const float* x, const float* y, int w, ParamSpec& p, int cs,
                                    int ce, bool automatic, int left, int right, double k);
// The point of the line's centre an integration found, for its field and g:
// the centre when it lies strictly between the borders, else 0. A centre at
// or outside a border is where a running integral that never turned stopped
// (a sloping base line, a line of the other phase), not the line's centre.
int LineCentreOf(const IntegrationResult& r);

// ---- Limits of the numbers a user gives ---------------------------------------

// Why a value given in an options file, on kivo-batch's command line or on
// the mode line was not taken.
enum class OptionFault { None, Missing, NotANumber, OutOfRange };

// The treatment parameters the options file, kivo-batch's command line and
// the mode line's entry take, with the values each may have. All three read
// them through one table, so that a value one of them refuses no other takes.
enum class Parameter {
    NumAver,
    KoeCu,
    SmoothingNumber,
    RestrictNumber,
    FigureCm, // the width or the height of a figure
    FontPt,
    LinePt,
    Dpi,
    StackStep,
};
struct ParameterLimit {
    const char* Name;
    bool Whole; // no "." nor exponent
    double Min, Max;
};
const ParameterLimit& LimitOf(Parameter which);
// Reads text as a value within the limit: None with v set, or why not (a
// number beyond even the reader's range is OutOfRange too).
OptionFault ReadLimited(std::string_view text, const ParameterLimit& limit, double& v);

// ---- Parameter panel and mode-line entry -----------------------------------

// The seven lines of the acquisition box of the parameter panel.
std::array<std::string, 7> AcquisitionLines(const ParamSpec& p);
// Reads the box's editable lines (UTF-8, 1-based; a missing line is empty)
// back into p: line 2 without its first two characters is ScanRange, line 3
// Gain, line 4 without its last two Modulation, line 5 without its last three
// Power, line 6 without its first three StandartRuby. A line that is no
// number leaves its field alone; the names of those fields are returned.
std::vector<std::string> ReadAcquisitionLines(const std::vector<std::string>& lines, ParamSpec& p);
// A number typed on the mode line; 0 when the text is none.
double EntryNumber(std::string_view text);
// A whole number typed on the mode line for the parameter; 0 when the text
// is none or the number is outside the parameter's limits.
uint16_t EntryCount(std::string_view text);

// ---- Treatment notes ------------------------------------------------------

// Appends the note of a treatment to a spectrum's history line (Line2):
// a history that is empty starts with the file's name without its ending;
// a fixed tag replaces its earlier copy; codes 143 and 166 append the
// caller's text every time. Unknown codes change nothing but the start.
void AppendTreatmentNote(std::string& line2, std::string_view fileName, int code,
                         std::string_view text);
// Appends a note to the history as the treatments do, after a ", " that a
// history written by a spectrometer reader does not end in; an earlier copy
// of the same note goes.
void AppendNote(std::string& line2, std::string_view fileName, const std::string& note);

// ---- Text lines of old files ------------------------------------------------

// The code page a spectrum's free-text line was most likely written in: old
// files carry Cyrillic in the DOS (866) or the Windows (1251) code page, new
// ones UTF-8. Plain ASCII counts as UTF-8.
enum class CodePage { Utf8, Cp1251, Cp866 };
CodePage GuessCodePage(std::string_view bytes);

// ---- Text files -------------------------------------------------------------

// The first maxLines lines of a text. A line ends at LF, a CR before it
// belonging to the end; nothing after the last line end is no line.
std::vector<std::string_view> TextLines(std::string_view text, size_t maxLines);
// The file's first maxBytes bytes (all of a smaller file), without a leading
// UTF-8 byte-order mark; false when it cannot be opened or read, is no
// regular file or is larger than MaxFileBytes.
bool ReadTextFile(const std::string& path, std::string& text, size_t maxBytes);

// ---- Options file -----------------------------------------------------------

// The options file: 14 lines, each a 13-character key ending in "= " and the
// value: eleven whole numbers of the window layout, NumAver, KoeCu in E(23)
// and the default data directory.
constexpr int OptionLineCount = 14;
constexpr int OptionKeyLength = 13;
extern const char* const OptionKeys[OptionLineCount];

struct LayoutOptions {
    int WinHeight = 0; // client area of the main window
    int WinWidth = 0;
    int GrafHeight = 0; // the chart
    int GrafWidth = 0;
    int LabelHeight = 0; // the mode line
    int LabelTop = 0;
    int LabelWidth = 0;
    int FrameHeight = 0; // the size panel, which all lower panels copy
    int FrameTop = 0;
    int FrameWidth = 0;
    int FontHeight = 0; // of the lower panels' labels; negative as font heights may be
};

// The font heights of the lower panels a layout may have, of either sign.
constexpr int MinFontHeight = 6;
constexpr int MaxFontHeight = 100;
// Whether the options reader takes every value of the layout: each size
// within its limits (no smaller than a usable window needs, no larger than
// 10000 pixels), a panel font of MinFontHeight to MaxFontHeight, and the
// mode line and the lower panels topped above the window's bottom. The size
// modes stop where a layout would not be.
bool LayoutUsable(const LayoutOptions& l);
// What a figure for print looks like: the choices of the picture export,
// kept in the options file and given to kivo-batch.
enum class FigurePalette { ColourBlind, Black };
enum class LegendPlace { FreeCorner, Outside, None };
enum class FieldUnit { Gauss, Millitesla };
struct FigureSettings {
    double WidthCm = 8.5; // a single journal column
    double HeightCm = 6.5;
    double FontPt = 8;
    double LinePt = 0.75;
    double Dpi = 600; // of a PNG
    FigurePalette Palette = FigurePalette::ColourBlind;
    LegendPlace Legend = LegendPlace::FreeCorner;
    // Each spectrum raised above the next by this many times the largest
    // peak-to-peak amplitude, captions beside the curves; 0 overlays them.
    double Stack = 0;
    FieldUnit Unit = FieldUnit::Gauss;
    bool SignalValues = true;
    // A g scale along the top for the frequency of the first spectrum that
    // has one.
    bool GScale = false;
    bool operator==(const FigureSettings&) const = default;
};

struct OptionsFile {
    LayoutOptions Layout;
    int32_t NumAver = 10;
    double KoeCu = 1.725e19;
    std::string DirName;
    FigureSettings Figure;
    unsigned NormFactors = 15; // of the normalisation by the acquisition parameters
};

struct OptionsReadResult {
    bool Opened = true; // false: the file could not be read, and nothing was taken
    std::array<OptionFault, OptionLineCount> Faults{}; // line n at Faults[n - 1]
    std::vector<std::string> KeyedFaults;              // "line 17 FigFontPt out of range"
    bool AllTaken() const;
    // The lines not taken: "line 12 NumAver out of range, line 13 KoeCu
    // missing"; empty when none.
    std::string FaultText() const;
};

// Reads the 14 lines by position (the keys are not compared) into o. Each
// value is taken on its own: a line that is missing, not a number, or a value
// that would leave the window unusable (a size below a usable minimum, a top
// below the window's bottom, NumAver or KoeCu outside its limits) keeps the
// value o held.
OptionsReadResult ReadOptionsText(std::string_view text, OptionsFile& o);
OptionsReadResult ReadOptionsFile(const std::string& path, OptionsFile& o);
// The 14 lines, each ended by CR LF.
std::string FormatOptions(const OptionsFile& o);
bool WriteOptionsFile(const OptionsFile& o, const std::string& path, std::string& error);

// The figure settings and the normalisation's factors follow the 14 lines,
// one a line, each after a key of its own ("FigWidthCm = 8.5",
// "NormFactors= 124"), and are found by their keys: a file written before
// them still reads whole, and a line of another key is passed over.
std::string FormatKeyedLines(const OptionsFile& o);
// Reads lines[first..] into o; a value that cannot be used keeps o's and is
// named in faults with its line number (lines[0] is line 1).
void ReadKeyedLines(const std::vector<std::string_view>& lines, size_t first, OptionsFile& o,
                    std::vector<std::string>& faults);
// "line 17 FigFontPt out of range": a line of the options file not taken.
std::string LineFault(int line, const char* key, OptionFault f);
// The field unit as it is written: "G" or "mT"; and read back.
const char* FieldUnitName(FieldUnit u);
bool ReadFieldUnit(std::string_view text, FieldUnit& u);

// ---- Help file --------------------------------------------------------------

// The help text: topics, each a line "#" followed by the topic's name, its
// lines, and a line that is exactly "#"; a line "###" ends the help.
constexpr int HelpMaxLines = 500;
constexpr int HelpLineLength = 128; // characters, not bytes, in a UTF-8 file
constexpr int HelpTopicLines = 59;  // what the help box shows under the name

struct HelpText {
    std::vector<std::string> Lines; // as held: cut to HelpLineLength, at most HelpMaxLines
    CodePage Page = CodePage::Utf8; // of the held lines together
};

// The lines held of a help file's text: up to and including a line "###", or
// to the end; CR LF or LF line ends.
HelpText ReadHelpText(std::string_view text);
// The text of a topic: the lines after the first line equal to key ("#" and
// the name), up to a line "#" or "###", never past line HelpMaxLines - 1,
// at most HelpTopicLines of them. Empty when no line is the key.
std::vector<std::string> HelpTopic(const HelpText& help, std::string_view key);
// The first n characters of a line of the given code page.
std::string CutToCharacters(std::string_view line, CodePage page, size_t n);

// ---- Spectrum files -------------------------------------------------------

// The spectrometer pairs: BES3T (.DSC descriptor, .DTA data) and ESP/WinEPR
// (.par parameters, .spc data); either file of a pair names it.
enum FileKindCode {
    KindEsr = 0,
    KindTxt = 1,
    KindDat = 2,
    KindBes3t = 3,
    KindEsp = 4,
    KindUnknown = -1
};

// Kind from a file name's ending, without regard to letter case.
int FileKindOf(std::string_view fileName);

// No spectrum file comes near this size (a full .esr of MaxPoints points is
// under 0.5 MB): a larger file is refused before it is read.
constexpr uint64_t MaxFileBytes = uint64_t(64) << 20;

enum class ReadStatus {
    Ok,
    CannotOpen,   // the file cannot be opened, or is no plain file (Reason tells why)
    TooLarge,     // larger than MaxFileBytes (Size tells how large)
    NoPoints,     // no "Spectr:" line (Reason: "empty", "not text", "no Spectr: line"),
                  // or fewer than 2 point lines after it
    BadPointLine, // a point line does not hold numbers (Line tells which)
    Refused,      // a spectrometer file Kivo cannot use (Reason tells why)
    Failed,       // no fault of the file: the reading failed (Reason holds FailureWords)
};

struct ReadResult {
    ReadStatus Status = ReadStatus::Ok;
    int Line = 0;           // 1-based line of the file at fault (BadPointLine)
    bool Truncated = false; // more than MaxPoints point lines: the first ones kept
    uint64_t Size = 0;      // bytes of a file refused as TooLarge
    std::string Reason;     // why a file was refused or Failed, as the mode line says it
    // A frequency the file gives that is no frequency, left out: its key and
    // its text ("MWFQ 'abc'"); empty when there is none or it was read.
    std::string BadFrequency;
};

// Reads lines 1..10 of an .esr text into p (every field not found stays 0).
void ReadEsrHeader(std::string_view text, ParamSpec& p);

// Reads a whole .esr (KindEsr) or .txt (KindTxt) text: header (or reset),
// points after the "Spectr:" line, direction check, amplitude. The ten lines
// of an .esr header are header whatever they hold: its marker is looked for
// from line 11 on. On success p.NumPoints holds the point count; otherwise
// p.NumPoints is 0. x and y must hold MaxPoints floats each.
ReadResult ReadSpectrumText(std::string_view text, int kind, ParamSpec& p, float* x, float* y);
// The same from a file path (local 8-bit encoding). Other kinds than .esr
// and .txt are NoPoints without reading the file, or CannotOpen with the
// reason when it is no regular file (a device, a pipe) or is not there.
ReadResult ReadSpectrumFile(const std::string& path, int kind, ParamSpec& p, PointBuffer& X,
                            PointBuffer& Y);

struct SpectrometerFiles;

// One file of a selection and what reading it gave. A spectrometer pair is
// read from Path (its descriptor or parameter file), DataPath (its binary
// data) and, for an axis kept in a file of its own, AxisPath.
struct SpectrumRead {
    std::string Path;
    std::string DataPath, AxisPath, SliceAxisPath;
    int Kind = KindUnknown;
    ParamSpec Params;
    PointBuffer X, Y;
    ReadResult Result;
    // A two-dimensional spectrometer file (a series: the field sweep repeated
    // at each power, temperature or time) leaves X, Y and Params empty and
    // its bytes here, for its slices to be taken with ReadSeriesSlice.
    std::shared_ptr<const SpectrometerFiles> Series;
};
// Reads one file of a selection (a .dat file is no spectrum here: NoPoints).
void ReadSpectrum(SpectrumRead& file);
// Reads every file of a selection, several at a time on a machine with
// several cores; each entry gets the outcome of its own file.
void ReadSpectrumFiles(std::vector<SpectrumRead>& files);

// Lines 1..10 of the .esr header, each ended by CR LF.
std::string FormatEsrHeader(const ParamSpec& p);
// The whole .esr file: header, "Spectr:", points 1..p.NumPoints.
std::string FormatSpectrum(const ParamSpec& p, const float* x, const float* y);

// The temporary file a save of target writes first. There is one per target:
// a save reuses what a killed save left, and the rename removes it.
std::string SaveTempPath(const std::string& target);

// Writes the .esr file: into the temporary file beside the target, flushed
// to disk, then renamed over the target, so a failed save leaves the old
// file as it was. A symbolic link is written through to the file it names;
// the target keeps its permission bits; a read-only target is refused. When
// the directory takes no new file but the target may be written, the target
// is written in place. Returns false on failure with a short reason in error.
bool WriteSpectrumFile(const ParamSpec& p, const float* x, const float* y, const std::string& path,
                       std::string& error);
// Any text saved the same way (the options file, say).
bool WriteTextFile(std::string_view text, const std::string& path, std::string& error);

// ---- Spectrometer files -------------------------------------------------------

// What a BES3T descriptor or an ESP parameter file says about its spectrum:
// the layout of the binary data, the field axis and the parameters. Every
// size is checked against the data's real length before a byte of it is used.
enum class BinaryNumber { Int8, Int16, Int32, Float32, Float64 };
struct SpectrometerHeader {
    ReadResult Result; // Refused (with its reason) when the text alone rules the file out
    int Points = 0;
    BinaryNumber Format = BinaryNumber::Float32;
    bool BigEndian = false;
    int PointBytes = 0;      // bytes from one point to the next (real and imaginary parts)
    bool AxisInFile = false; // the field of every point in the axis file (BES3T IGD)
    BinaryNumber AxisFormat = BinaryNumber::Float64;
    double FieldFirst = 0; // a linear axis: first and last field, gauss
    double FieldLast = 0;
    double FieldScale = 1;   // gauss per unit of the axis file
    ParamSpec Params;        // all but NumPoints and Amplitude
    size_t FrequencyEnd = 0; // in Params.Line2: where the frequency's part ends
    // A series: Slices spectra of Points points one after another. The second
    // axis is linear from SliceFirst over SliceWidth, or in the .YGF file, or
    // (neither given) the slice's number.
    int Slices = 1;
    bool SliceAxisInFile = false;
    bool SliceAxisGiven = false;
    BinaryNumber SliceAxisFormat = BinaryNumber::Float64;
    double SliceFirst = 0, SliceWidth = 0;
    std::string SliceUnit;
    uint64_t DataBytes() const; // of every slice
    uint64_t AxisBytes() const;
    uint64_t SliceAxisBytes() const;
};

SpectrometerHeader ReadBes3tDescriptor(std::string_view text);
// An ESP parameter file with a "DOS" format line was written by the Windows
// software: its data are 32-bit little-endian floats, otherwise 32-bit
// big-endian integers.
SpectrometerHeader ReadEspParameters(std::string_view text);

// The points of a spectrum whose header was read: the real part of each
// point into y, its field in gauss into x (from the axis file's bytes when
// the header asks for them; nullptr when there is no such file), turned
// round when falling as .esr files are. p gets the header's parameters, the
// point count and the amplitude; x and y must hold MaxPoints floats each.
// slice (from 0) picks the spectrum of a series.
ReadResult ReadSpectrometerData(const SpectrometerHeader& h, std::string_view data,
                                const std::string_view* axis, ParamSpec& p, float* x, float* y,
                                int slice = 0);
// The second-axis value of every slice of a series (the .YGF file's bytes
// when the header asks for them).
std::vector<double> SliceValues(const SpectrometerHeader& h, std::string_view sliceAxis);

// A spectrometer pair read whole: its header and the bytes it promises.
struct SpectrometerFiles {
    SpectrometerHeader Header;
    std::string Name; // ShortName of the header file
    std::string Path; // the header file
    std::string Data, Axis, SliceAxis;
    std::vector<double> Values; // of the slices
    double ValueStep = 0;       // SliceStep(Values), a pass over them all: taken once
};
// Reads the files of read (Path, DataPath, AxisPath, SliceAxisPath) into f.
ReadResult ReadSpectrometerPair(const SpectrumRead& read, SpectrometerFiles& f);
// Slice (from 0) of a pair read whole into p, x and y (MaxPoints floats each).
ReadResult ReadSpectrometerSlice(const SpectrometerFiles& f, int slice, ParamSpec& p, float* x,
                                 float* y);
// A spectrometer pair of a selection: a one-dimensional file into read's
// Params, X and Y, a series into read.Series.
void ReadSpectrometer(SpectrumRead& read);

// The same from the files: the header file (kind KindBes3t or KindEsp), the
// data file and the axis file. A data or axis file shorter than the header
// promises is refused before it is read, and only what is promised is read.
ReadResult ReadSpectrometerFiles(int kind, const std::string& headerPath,
                                 const std::string& dataPath, const std::string& axisPath,
                                 ParamSpec& p, PointBuffer& X, PointBuffer& Y);

// ---- Series ----------------------------------------------------------------------

// Which slices of a series are taken: First, First + Step, ... up to Last
// (all 1-based).
struct SliceChoice {
    int First = 1, Last = 1, Step = 1;
};
// mW in one unit of a power ("W", "mW", "uW"); 0 for a unit of no power.
double MilliwattsPer(std::string_view unit);
// Every k-th slice from the first, k the least that makes them fit in room.
SliceChoice DefaultSlices(int slices, int room);
// The slices a choice takes, at most room of them, each within 1..slices.
std::vector<int> ChosenSlices(const SliceChoice& c, int slices, int room);
// A value of the second axis as a caption shows it, with the decimals its
// step needs: "2.0", "80", "12.5".
std::string SliceValueText(double v, double step);
// The least step between the values, 0 for fewer than two.
double SliceStep(const std::vector<double>& values);
// Slice number (1-based) of a series into p, x and y: its caption is
// "name value unit", and Line2 gets "value unit" after the frequency.
struct SeriesSlice {
    int Number = 0;
    double Value = 0;
    std::string Caption;  // "coal 2.0 mW"
    std::string FileName; // SpectrumFileName(path, KindBes3t, 0) with "-001" before ".esr"
    ReadResult Result;
};
SeriesSlice ReadSeriesSlice(const SpectrometerFiles& f, int number, ParamSpec& p, float* x,
                            float* y);
// "name-001.esr" beside path for slice number 1.
std::string SliceFileName(std::string_view path, int number);
// What the mode line says of a series of which not every slice was taken.
std::string SlicesTakenNotice(std::string_view name, const SliceChoice& c, int taken, int slices);
// A choice as the mode line offers it and reads it back: "1 31 2".
std::string SliceChoiceText(const SliceChoice& c);
// "first last step" as typed: three whole numbers apart; false for anything else.
bool ReadSliceChoice(std::string_view text, SliceChoice& c);
// Why a choice cannot be taken from slices into room slots, in the mode
// line's words; empty when it can.
std::string SliceChoiceRefusal(const SliceChoice& c, int slices, int room);

// ---- Column files -------------------------------------------------------------

constexpr int MaxColumns = 20; // fields kept of a row

// A data line: its first character that is not a blank or tab lies within
// its first 19 characters and is a digit.
bool IsDataLine(std::string_view line);
// Splits a row at blanks and tabs into at most maxFields values: a run of
// blanks is one separator, but each tab is one of its own, so two tabs
// enclose an empty field; blanks and tabs before the first field and after
// the last are no fields. An empty field, or one starting with "," or ";",
// is missing (1E7); a decimal comma reads as a point. bad is set (and the
// count so far returned) at a field that is no number or is beyond the
// float range the points are kept in.
int SplitColumns(std::string_view line, double* values, int maxFields, bool& bad);
// 1 when more than 95 % of the a values rise from their predecessor (the
// steps divided by a), -1 when fewer than 5 % do, 0 otherwise.
int ColumnTrend(const std::vector<float>& v, int a);

enum class ColumnStatus { Ok, CannotOpen, NoDataLine, BadField, SingleColumn, TooLarge };
struct ColumnSpectrum {
    int Column = 0; // the signal column, 1-based
    std::vector<float> X, Y;
};
struct ColumnImport {
    ColumnStatus Status = ColumnStatus::Ok;
    int Line = 0;            // the line of a bad field
    std::string Reason;      // why a file that cannot be opened or has no data line is refused
    bool Truncated = false;  // rows past MaxPoints were not read
    bool SlotsShort = false; // spectra past maxSpectra were not formed
    uint64_t Size = 0;       // of a file refused as too large
    int LeftOut = 0;         // rows left out for a missing value or a short row
    int FirstLeftOut = 0;    // the first line of those
    std::vector<ColumnSpectrum> Spectra;
};
// The spectra of a column text (at most maxSpectra): header lines skipped,
// a falling first column turned round, each rising column a new field axis
// for the columns after it. A row with a missing value, or with fewer values
// than a later row, is left out whole (counted, with its line); a column
// that ends early makes the spectra of its group shorter, each spectrum
// having the rows both its columns hold. A text of binary data or UTF-16 is
// NoDataLine with the Reason "not text", an empty one "empty", one without a
// data line "no data line".
ColumnImport ImportColumnText(std::string_view text, int maxSpectra);
ColumnImport ImportColumnFile(const std::string& path, int maxSpectra);

// ---- Treatments as the commands apply them ----------------------------------
// The window's commands and kivo-batch both go through these, so a spectrum
// treated with the keys and one treated from the command line come out the
// same to the last byte of the saved file.

// The file name part of a path, and the short name a spectrum is shown by:
// that name without its last four characters (the ending), whole when it has
// four or fewer.
std::string_view FileNameOf(std::string_view path);
std::string ShortName(std::string_view path);

// The name a spectrum read from path carries (where it is saved by default,
// and what starts its history): the file itself; "stem.esr" beside a
// spectrometer's pair, whose own files are never written; "stem-n.esr" for
// spectrum n (from 1) of a column file.
std::string SpectrumFileName(std::string_view path, int kind, int columnSpectrum);

// The files of a spectrometer pair named by either of them, found beside it
// whatever the case of their endings: the descriptor or parameter file into
// read.Path, the data into read.DataPath, a BES3T axis file into
// read.AxisPath. read.Kind must be KindBes3t or KindEsp.
void SpectrometerPairPaths(std::string chosen, SpectrumRead& read);
// A file of a selection made ready for ReadSpectrum: its path, its kind from
// its name and, for a spectrometer pair, the pair's files beside it.
void PrepareSpectrumRead(const std::string& path, SpectrumRead& read);
// The positions of a selection that name a spectrum each: of the files of
// one spectrometer pair only the first is kept.
std::vector<size_t> OnePerSpectrum(const std::vector<std::string>& paths);

// Why a file read did not give a spectrum, as the mode line says it ("" when
// it did): shortName is ShortName of the file.
std::string ReadRefusal(std::string_view shortName, const ReadResult& r, int numPoints);
// A file of more than MaxPoints points, of which the first were read.
std::string TruncatedNotice(std::string_view shortName);
// What the reader noticed of a file it read without refusing it, as the
// mode line says it after the read: the points left out (TruncatedNotice)
// and a frequency that is no frequency ("    FileSpectrum coal: MWFQ 'abc'
// is not a frequency, left out "); "" when nothing.
std::string ReadNotice(std::string_view shortName, const ReadResult& r);
// A column file of which rows rows were left out, the first on firstLine.
std::string LeftOutNotice(std::string_view shortName, int rows, int firstLine);
// A save that failed, with the writer's reason.
std::string SaveRefusal(std::string_view shortName, std::string_view error);
// The words of a failure that is no fault of the file: "out of memory" for
// std::bad_alloc, what() of any other exception.
std::string FailureWords(const std::exception& e);
// A file whose treatment failed so, with those words.
std::string TreatmentFailure(std::string_view shortName, std::string_view words);

// The spectra of a column file as they go into slots or rows: each with its
// record (NumPoints and Amplitude), points, the name it is saved under and
// its caption; a spectrum of fewer than 2 points has its refusal instead of
// a record and points.
struct ColumnFileSpectrum {
    int Number = 0;      // in the file, from 1
    std::string Refusal; // "" when the spectrum is usable
    ParamSpec Params;
    std::vector<float> X, Y;
    std::string FileName; // SpectrumFileName(path, KindDat, Number)
    std::string Caption;  // "name-Number"
};
struct ColumnFileSpectra {
    std::string Refusal;              // the whole file refused: no spectra then
    std::vector<std::string> Notices; // what was left out of a file that is read
    std::vector<ColumnFileSpectrum> Spectra;
};
ColumnFileSpectra ReadColumnSpectra(const std::string& path, int maxSpectra);

// The cursors the linear base line starts with: NumAver points in from each
// end of the spectrum, held on it.
PointRange BaseLineStart(int n, int numAver);
// Both the base line and the automatic integration average NumAver points
// at each end of a spectrum: the words that refuse a spectrum of n points
// too short for two such windows side by side, "" when it has room.
std::string BaseLineRefusal(std::string_view caption, int n, int numAver);
// The linear base line of one spectrum: the straight line through the mean
// of points 1..ends.First and the mean of points ends.Last..n, anchored
// NumAver div 2 points in from each end, subtracted from y[1..n]. A spectrum
// BaseLineRefusal refuses is left as it was: its words are returned then.
std::string SubtractLinearBaseLine(const float* x, float* y, int n, PointRange ends, int numAver,
                                   std::string_view caption);

// The automatic double integration of one spectrum: borders and centre
// found on the signal, turned (PhaseSign -1) when it integrates negative,
// and integrated with the other phase when the centre found does not lie
// strictly between the borders. A spectrum too short for its two end
// windows, or whose borders meet or cross, is not integrated: p is left as
// it was and Refusal says why, as the mode line does. One whose centre lies
// between the borders with neither phase is refused too, and its results
// are cleared. Result tells the borders found (the whole spectrum when too
// short).
struct AutoIntegration {
    IntegrationResult Result;
    bool Integrated = false;
    std::string Refusal;
};
AutoIntegration IntegrateAutomatic(const float* x, const float* y, int numAver, double koeCu,
                                   ParamSpec& p, std::string_view caption);

// The normalisations. fileName is the name that starts an empty history
// (Line2); caption is the spectrum's short name in messages. Each returns
// the mode line's words when the spectrum is left as it was, "" when done.
std::string DivideByAmplitude(float* y, int n, long double amplitude, std::string_view caption);
std::string NormaliseOnAmplitude(float* y, ParamSpec& p, std::string_view fileName,
                                 std::string_view caption);
std::string NormaliseOnRuby(float* y, ParamSpec& p, std::string_view fileName);
std::string NormaliseOnIntegral(float* y, ParamSpec& p, std::string_view fileName,
                                std::string_view caption);

// The name of the n-th spectrum a command stores in a new slot (smoothing,
// subtraction): "res1", "res2" ...
std::string ResultName(int n);

// What a smoothing with window w of the spectrum from sourcePath, which gave
// m points, comes to: the words that refuse a result of fewer than 2 points,
// or else the note the result's history gets.
struct SmoothingResult {
    std::string Refusal;
    std::string Note;
};
SmoothingResult SmoothingResultOf(std::string_view sourcePath, int w, int m);

// ---- g values and the microwave frequency --------------------------------------

// h / muB (CODATA 2018) in gauss per gigahertz: g = GaussPerGHz * nu / B.
constexpr double GaussPerGHz = 714.47735;
// The g of a line at `gauss` in a spectrum recorded at `ghz`; 0 when either
// is not positive.
double GValue(double ghz, double gauss);
// The field, gauss, at which a line of that g resonates at `ghz`.
double ResonanceField(double ghz, double g);
// A frequency written in a text: a number (a decimal point or comma, no
// sign) followed by "GHz" (in any case), blanks between them allowed ("9.4012 GHz",
// "9,4012 GHz", "nu=9.4012GHz"). The first such one above 0 and up to 1000
// GHz; Length 0 when the text has none.
struct FrequencyInText {
    size_t At = 0;
    size_t Length = 0; // number and unit
    double GHz = 0;
};
// The first number (digits with at most one decimal point or comma, no
// sign) that stands before the unit (in any case), blanks between them
// allowed, above lo and up to hi; with wholeWord, no letter may follow the
// unit ("293 K", not "100 kHz").
FrequencyInText FindQuantity(std::string_view text, std::string_view unit, double lo, double hi,
                             bool wholeWord = false);
FrequencyInText FindFrequency(std::string_view text);
// A spectrum's frequency, GHz: the one in Line2, else the one in Line1; 0 for none.
double FrequencyOf(const ParamSpec& p);
// "9.4012 GHz", "9.853627 GHz": ten significant figures, at least four
// decimals, no trailing zeros past them.
std::string FrequencyText(double ghz);
// The same without the unit, as the mode line offers it.
std::string FrequencyDigits(double ghz);
// Writes the frequency into Line2 in place of the one it gives, or appends it
// to the history (started with the file's name when empty).
void SetFrequency(ParamSpec& p, std::string_view fileName, double ghz);
// A g as the read-outs show it: "2.00361".
std::string GText(double g);
// A tick of a g scale: where the g resonates at the scale's frequency, and
// the g as its label gives it.
struct GTick {
    double Field = 0; // G
    double G = 0;
    std::string Text; // "2.005"
};
// The g values at whole multiples of 1, 2 or 5 times a power of ten that
// resonate at ghz within the fields lo..hi (G), no more than `most` of them,
// the step the smallest that allows that; in rising field, so falling g.
// None without a frequency or a positive field; a range reaching down to
// zero field is taken from a hundredth of its top.
std::vector<GTick> GScaleTicks(double lo, double hi, double ghz, int most);

// The peak-to-peak width of a derivative line enclosed by the points from..to
// (either order): the fields of its largest and its smallest value, each
// taken between the points around it by the parabola through the three, their
// distance and their mean, the line's centre.
struct PeakToPeak {
    double Top = 0, Bottom = 0, Width = 0, Centre = 0;
};
PeakToPeak PeakToPeakOf(const float* x, const float* y, int from, int to);
double LineCentre(const float* x, const float* y, int from, int to);
// The shift of the field axis that puts the centre of the standard's line
// enclosed by from..to where a line of g resonates at ghz.
double StandardShift(const float* x, const float* y, int from, int to, double ghz, double g);
// The line of a standard of g enclosed by the points from..to of a spectrum
// of n points recorded at ghz: refused (Refusal, the mode line's words)
// without a frequency, or unless the range holds a maximum and a minimum of
// the signal beyond five times the noise of the spectrum's ends on either
// side of its base level there, the maximum at the lower field as a
// standard's line is drawn (refused as turned over otherwise); else its
// centre by a least-squares fit of
// one pseudo-Voigt derivative line (with its standard error) and the shift
// that puts it where g resonates.
struct StandardLine {
    std::string Refusal;
    double Centre = 0, CentreErr = 0, Shift = 0;
};
StandardLine MeasureStandardLine(const float* x, const float* y, int n, int from, int to,
                                 double ghz, double g, std::string_view caption);
// "   Field shifted by -3.0009 ± 0.0012 G ".
std::string FieldShiftText(const StandardLine& s);

// The g of the standards the field is corrected on.
constexpr double DpphG = 2.0036;
constexpr double LiLiFG = 2.002293;
// Every field of x[1..n] shifted by shift, and the note "Field g=2.0036, " in
// the history.
void ShiftFieldOnStandard(float* x, ParamSpec& p, std::string_view fileName, double g,
                          double shift);
// The field axis of a spectrum scaled from its own frequency to ghz
// (nu_ref / nu), its frequency set to ghz, and the note "Freq.corr, ". A
// spectrum without a frequency is left as it was: the words that say so are
// returned, "" when done.
std::string CorrectFrequency(float* x, ParamSpec& p, std::string_view fileName,
                             std::string_view caption, double ghz);

// ---- Normalisation by the acquisition parameters ------------------------------

// The factors a signal may be divided by: a set of these bits.
enum AcquisitionFactor : unsigned {
    FactorGain = 1,
    FactorScans = 2,
    FactorModulation = 4,
    FactorPower = 8, // its square root
    AllFactors = 15,
};
// The number of scans the text lines give ("16 scans", "1 scan"), the second
// over the first; Length 0 when none.
FrequencyInText FindScans(std::string_view text);
double ScansOf(const ParamSpec& p);
// Divides the signal by the chosen factors; each one used becomes 1 in the
// record ("1 scan" in the text line), and the note names them ("Norm by
// gain*scans*mod*sqrtP, "). A factor that is missing or 0 leaves the
// spectrum as it was: the words that say so are returned, "" when done.
std::string NormaliseOnAcquisition(float* y, ParamSpec& p, std::string_view fileName,
                                   std::string_view caption, unsigned factors);

} // namespace kivo
