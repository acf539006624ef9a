#include "model_values.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "fitting.h"
#include "treatments.h"

namespace kivo {

namespace {

enum class ValueKind { G, Weight, Coupling, Width, Eta, WidthSlope };

// A value of a model with what the keys and the reports need to know of it.
struct Entry {
    std::string Name;
    ModelValue* Value;
    ValueKind Kind;
    std::string Unit;
    bool Shapes; // it changes the spectrum
};

const char* UnitName(CouplingUnit u) {
    return u == CouplingUnit::MHz ? "MHz" : u == CouplingUnit::G ? "G" : "mT";
}

std::vector<Entry> EntriesOf(SimModel& model) {
    std::vector<Entry> entries;
    ForEachValue(model, [&](const std::string& name, ModelValue& v) {
        Entry e{name, &v, ValueKind::WidthSlope, "G", true};
        for (SimSpecies& s : model.Species) {
            if (&v == &s.G) e = {name, &v, ValueKind::G, "", true};
            if (&v == &s.Weight) e = {name, &v, ValueKind::Weight, "", model.Species.size() > 1};
            if (&v == &s.Width) e.Kind = ValueKind::Width;
            if (&v == &s.Eta) e = {name, &v, ValueKind::Eta, "", s.Shape == LineShape::Voigt};
            for (NucleusGroup& n : s.Groups)
                if (&v == &n.A) e = {name, &v, ValueKind::Coupling, UnitName(n.Unit), true};
        }
        entries.push_back(e);
    });
    return entries;
}

std::string Printed(const char* format, int decimals, double v) {
    char text[64];
    std::snprintf(text, sizeof text, format, decimals, v);
    return text;
}

// "A1=15.602+-0.0041 G": the value to two digits of its error.
std::string FittedText(const Entry& e) {
    const ModelValue& v = *e.Value;
    std::string text = e.Name + "=";
    if (v.Error > 0 && std::isfinite(v.Error)) {
        const int decimals = std::clamp(1 - int(std::floor(std::log10(v.Error))), 0, 15);
        text += Printed("%.*f", decimals, v.Value) + "+-" + Printed("%.*g", 2, v.Error);
    } else {
        text += ShortText(v.Value);
    }
    return e.Unit.empty() ? text : text + " " + e.Unit;
}

} // namespace

std::vector<TunableValue> TunableValues(const SimModel& model) {
    SimModel m = model;
    std::vector<TunableValue> values;
    for (const Entry& e : EntriesOf(m))
        if (e.Shapes) values.push_back({e.Name, e.Unit});
    return values;
}

double ValueStep(const std::string& name, double value, bool fine) {
    const auto named = [&name](std::string_view prefix) {
        return name.starts_with(prefix) &&
               std::all_of(name.begin() + std::ptrdiff_t(prefix.size()), name.end(),
                           [](char c) { return c >= '0' && c <= '9'; });
    };
    const double scale = fine ? 0.1 : 1;
    if (named("g")) return 1e-4 * scale;
    if (named("eta")) return 0.1 * scale;
    if (value == 0 || !std::isfinite(value)) return 0.1 * scale;
    return std::pow(10.0, std::round(std::log10(0.01 * std::fabs(value)))) * scale;
}

bool StepValue(SimModel& model, const std::string& name, int direction, bool fine) {
    for (const Entry& e : EntriesOf(model)) {
        if (e.Name != name) continue;
        const double v = e.Value->Value + direction * ValueStep(name, e.Value->Value, fine);
        const bool positive =
            e.Kind == ValueKind::G || e.Kind == ValueKind::Weight || e.Kind == ValueKind::Width;
        if ((positive && !(v > 0)) || (e.Kind == ValueKind::Eta && (v < -1e-12 || v > 1 + 1e-12)))
            return false;
        e.Value->Value = e.Kind == ValueKind::Eta ? std::clamp(v, 0.0, 1.0) : v;
        return true;
    }
    return false;
}

std::string ValueReadout(const SimModel& model, const TunableValue& v) {
    SimModel m = model;
    for (const Entry& e : EntriesOf(m)) {
        if (e.Name != v.Name) continue;
        const double step = ValueStep(e.Name, e.Value->Value, true);
        const int decimals = std::clamp(int(std::ceil(-std::log10(step) - 1e-9)), 0, 15);
        return e.Name + " = " + Printed("%.*f", decimals, e.Value->Value) +
               (e.Unit.empty() ? "" : " " + e.Unit);
    }
    return {};
}

std::string ModelNote(const SimModel& model) {
    std::istringstream text(ModelText(model));
    std::string note = "Sim", line;
    while (std::getline(text, line)) {
        line = line.substr(0, line.find('#'));
        while (!line.empty() && line.back() == ' ') line.pop_back();
        if (!line.empty()) note += (note == "Sim" ? " " : "; ") + line;
    }
    return note;
}

std::vector<std::string> SimFitReport(const SimFit& fit, const std::vector<SimSpectrum>& spectra,
                                      const std::vector<std::string>& names) {
    std::vector<std::string> lines;
    if (fit.Spectra.empty()) return lines;
    SimModel first = fit.Spectra[0].Model;
    for (const Entry& e : EntriesOf(first))
        if (e.Value->Free == Freedom::Shared) lines.push_back(FittedText(e));
    for (size_t k = 0; k < fit.Spectra.size(); ++k) {
        SimModel m = fit.Spectra[k].Model;
        if (fit.Spectra.size() > 1 && k < names.size()) lines.push_back(names[k] + ":");
        for (const Entry& e : EntriesOf(m))
            if (e.Value->Free == Freedom::Free) lines.push_back(FittedText(e));
    }
    lines.push_back("rms=" + ShortText(fit.Rms));
    lines.push_back("chi2=" + ShortText(fit.Chi2));
    // The noise of every range's ends, as the line fits measure it.
    double squares = 0;
    int measured = 0;
    for (size_t k = 0; k < fit.Spectra.size() && k < spectra.size(); ++k) {
        const double noise =
            EndNoise(spectra[k].X, spectra[k].Y, fit.Spectra[k].First + 1, fit.Spectra[k].Last + 1);
        if (noise > 0) {
            squares += noise * noise;
            ++measured;
        }
    }
    if (measured > 0) lines.push_back("chi2red=" + ShortText(fit.Chi2 / (squares / measured)));
    return lines;
}

} // namespace kivo
