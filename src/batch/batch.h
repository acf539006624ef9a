// kivo-batch: the window's treatments applied to many spectrum files from
// the command line, one CSV row per spectrum. Plain C++ over the type unit;
// only the command line itself (command_line.cpp, main.cpp) uses Qt Core.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "TYPEKIVO1_3.h"
#include "fitting.h"
#include "quantitative.h"
#include "simulation.h"
#include "spins.h"

namespace kivo::batch {

enum class StepKind {
    BaseLine,
    Integrate,
    NormAmplitude,
    NormIntegral,
    NormRuby,
    Smooth,
    FieldStandard,
    FrequencyTo,
    NormAcquisition,
    FitLines,
    Quantitative,
    PeakToPeak,
    FieldShift,
    Simulate,
    SimFit
};

struct Step {
    StepKind Kind = StepKind::BaseLine;
    int W = 0; // smoothing: the smoothing number and the restrict number;
               // the acquisition factors (AcquisitionFactor bits); the base
               // line's order; the number of lines fitted
    int R = 0;
    double Value = 0; // the standard's g; the frequency to, GHz; the field shift, G
    double From = 0;  // the fields, G, that enclose the standard's line, the
    double To = 0;    // signal under a base line or the lines fitted (0, 0: none given)
    LineShape Shape = LineShape::Lorentz;
    bool Straight = false; // the lines fitted on a straight line
};

// What to do to every spectrum, in the order the steps are given.
struct Plan {
    std::vector<Step> Steps;
    int NumAver = 10;
    double KoeCu = 1.725e19;
    std::string WriteDir;             // empty: nothing is written
    PointChoice Points;               // what is taken of a sweep longer than a slot
    bool KeepPoints = false;          // every treated spectrum's points handed on in its row
    int FitColumns = 0;               // lines of the fit reported (0: no fit, no fit columns)
    bool FitFraction = false;         // the fit's Lorentzian fraction reported (pseudo-Voigt)
    bool PeakToPeakColumns = false;   // ptp_width_G, ptp_g reported
    bool QuantitativeColumns = false; // DI_q, DI_q_err, DI_q_flags reported
    // The spins of every spectrum against a standard treated the same way
    // (SpinStandardFile empty: none): spins, spins_err (and conc_uM,
    // conc_uM_err with a volume) reported.
    std::string SpinStandardFile;
    double StandardSpins = 0, StandardSpinsErr = 0;
    double Volume = 0;                               // of the sample, uL; 0: none
    double Temperature = 0, StandardTemperature = 0; // K, where the files say none
    ParamSpec Standard;                              // the standard as treated
    std::string StandardName;                        // its caption, named in the notes
    QuantitativeIntegral StandardIntegral;
    double StandardCentre = 0; // field of its line's centre
    // A field standard recorded in a file of its own (FieldStandardFile
    // empty: none): the FieldStandard step measures its line there once
    // (PrepareFieldStandard) and shifts every spectrum's field by that,
    // scaled to the spectrum's frequency.
    std::string FieldStandardFile;
    StandardLine FieldStandardLine; // as measured in the file
    double FieldStandardGHz = 0;    // the file's frequency
    bool FieldShiftColumn = false;  // field_shift_G reported
    // The model of a Simulate or SimFit step, and for a SimFit the names of
    // its free values: sim_NAME, sim_NAME_err, sim_rms, sim_chi2 reported.
    SimModel Sim;
    std::vector<std::string> SimColumns;
    bool SimFitColumns = false;
};

// The files a run reads: the spectra's, then the standards' files.
std::vector<std::string> InputsOf(const std::vector<std::string>& files, const Plan& plan);

// Treats the standard of a plan with SpinStandardFile as every spectrum is
// treated, and keeps what the count needs in the plan; the words that refuse
// it, "" when it can serve.
std::string PrepareSpinStandard(Plan& plan);

// Measures the line of the plan's FieldStandard step in FieldStandardFile,
// treated with the steps before it, and keeps it in the plan; the words that
// refuse it, "" when it can serve.
std::string PrepareFieldStandard(Plan& plan);

// One spectrum of a file, or a file that gave none, after the plan.
struct Row {
    std::string File;  // as given on the command line
    int Spectrum = 0;  // of a column file, from 1; 0 for other files
    bool Done = false; // every step applied (and the file written)
    ParamSpec Params;  // as it would be saved
    float FieldFrom = 0, FieldTo = 0;
    int Mist = -1;         // backward steps of the last integration; -1 when none ran
    float CentreField = 0; // the centre the last integration found; 0 when none
    std::string Status;
    std::string Caption; // as the window's box gives it when the file is read
    // Of a two-dimensional file: the slice (from 1; 0 for other files), its
    // value on the second axis and that axis's unit.
    int Slice = 0;
    double SliceValue = 0;
    std::string SliceUnit;
    LineFit Fit;                       // the last line fit, when the plan fits
    kivo::PeakToPeak Width;            // the last peak-to-peak width, when the plan measures one
    QuantitativeIntegral Quantitative; // the last quantitative integral, when the plan has one
    SpinCount Spins;                   // against the plan's standard, when it has one
    double FieldShift = 0;             // G, of the field steps applied
    std::string Remark;                // for standard error: a standard's shift scaled
    SimFit Simulation;                 // the last simulation fit, when the plan has one
    // The model's spectrum scaled to the treated one, when the plan
    // simulates and the points are kept or written.
    std::vector<float> SimY;
    // The treated points, only when the plan keeps them.
    std::vector<float> X, Y;
};

// The CSV: a header naming the columns, then one line per row; a cell with a
// comma, a quote or a line break is quoted, and the file's name is written
// in the bytes it was given. Every number is the shortest text that reads
// back as the same double (a field's float exactly, a sum rounded to the
// nearest double); a row is Done only when each of them is finite.
// After the status, the slice of a two-dimensional file (number, value,
// unit); then, when the plan fits, for each line K its centre, g, width,
// amplitude (Lorentzian fraction) and double integral with their errors, the
// fit's residual RMS, reduced chi-square, chi-square over the noise of the
// range's ends, and its straight line's offset and slope with their errors
// (empty for a fit without one); then, with a peak-to-peak
// width, ptp_width_G and ptp_g (the g of its centre); then, with a quantitative
// integral, DI_q, DI_q_err and DI_q_flags (empty when clean); then, with a
// spin standard, spins and spins_err (and conc_uM, conc_uM_err with a
// volume); then, with a field standard or shift, field_shift_G; then, with a
// simulation fit, sim_NAME and sim_NAME_err for each free value of the
// model, sim_rms and sim_chi2.
std::string CsvHeader(const Plan& plan = {});
std::string CsvLine(const Row& row, const Plan& plan = {});

// The curve of the first file with slices, from the rows of its slices
// that were treated (MakeSeriesCurve).
SeriesCurve SeriesCurveOf(const std::vector<Row>& rows, SeriesValue value, AxisLabelStyle style);

// The input files by identity (device and inode, through symbolic links):
// every file kivo-batch writes (the spectra, the figures) is checked here
// first, so that none replaces an input under another name.
class InputFiles {
public:
    explicit InputFiles(const std::vector<std::string>& files);
    // "target is one of the input files" when it is one; "" when it may be written.
    std::string Refusal(const std::string& target) const;

private:
    using Id = std::pair<dev_t, ino_t>;
    static std::optional<Id> IdentityOf(const std::string& path);
    std::set<Id> ids_;
};

// Rows handed on: some or all of a file's, in order; fileEnds on the last
// call for the file (rows may then be empty).
using Emit = std::function<void(size_t file, const std::vector<Row>& rows, bool fileEnds)>;

// Treats the files, jobs at a time, and hands every file's rows to emit in
// the order of the files, as they are made (emit runs on one thread at a
// time): a series' slices are not kept until it ends. Output files are never
// written over an input file, and of two spectra that would be written under
// the same name the earlier file's keeps it. A failure that is no fault of a
// file (no memory) refuses that file in its own words, and the run goes on.
// beforeFile, when given, runs just before each file is treated and under the
// same guard: a test makes a file fail with it.
void Run(const std::vector<std::string>& files, const Plan& plan, int jobs, const Emit& emit,
         const std::function<void(const std::string& file)>& beforeFile = {});

} // namespace kivo::batch
