#include "spins.h"
#include "acquisition.h"

#include <cctype>
#include <cmath>
#include <cstdio>

namespace kivo {

namespace {

constexpr double kAvogadro = 6.02214076e23;

// The second text line first, as the sample conditions stand there.
template <typename Find> double FromText(const ParamSpec& p, Find find) {
    const double second = find(p.Line2);
    return second > 0 ? second : find(p.Line1);
}

// The number after a key word ("S=5/2", "S = 1", "Q 5200"): the key stands
// alone, then blanks or "=", then digits with a decimal point, or a fraction.
double NumberAfter(std::string_view text, char key) {
    for (size_t at = 0; at < text.size(); ++at) {
        if (text[at] != key) continue;
        if (at > 0 && std::isalnum(static_cast<unsigned char>(text[at - 1]))) continue;
        size_t k = at + 1;
        while (k < text.size() && (text[k] == ' ' || text[k] == '=')) ++k;
        if (k == at + 1 && k < text.size() && text[k] != ' ') continue;
        const size_t start = k;
        while (k < text.size() &&
               (std::isdigit(static_cast<unsigned char>(text[k])) || text[k] == '.'))
            ++k;
        double v = 0;
        if (k == start || !ReadNumber(text.substr(start, k - start), v)) continue;
        if (k + 1 < text.size() && text[k] == '/' &&
            std::isdigit(static_cast<unsigned char>(text[k + 1]))) {
            size_t end = k + 1;
            while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) ++end;
            double d = 0;
            if (!ReadNumber(text.substr(k + 1, end - k - 1), d) || !(d > 0)) continue;
            v /= d;
        }
        return v;
    }
    return 0;
}

std::string Short(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.4G", v);
    return text;
}

} // namespace

double TemperatureOf(const ParamSpec& p) {
    return FromText(p, [](std::string_view t) { return FindQuantity(t, "k", 0, 5000, true).GHz; });
}

double SpinOf(const ParamSpec& p) {
    const double s = FromText(p, [](std::string_view t) { return NumberAfter(t, 'S'); });
    return s > 0 && s <= 10 ? s : 0.5;
}

double QualityOf(const ParamSpec& p) {
    return FromText(p, [](std::string_view t) { return NumberAfter(t, 'Q'); });
}

double VolumeOf(const ParamSpec& p) {
    return FromText(p, [](std::string_view t) {
        // "µL" as "uL": the micro sign's two bytes in UTF-8 become one letter.
        std::string plain;
        for (size_t k = 0; k < t.size(); ++k) {
            const bool micro = t[k] == '\xC2' && k + 1 < t.size() && t[k + 1] == '\xB5';
            plain += micro ? 'u' : t[k];
            k += micro;
        }
        return FindQuantity(plain, "ul", 0, 1e9, true).GHz;
    });
}

SpinCount CountSpins(const SpinSide& sample, const SpinSide& standard, double spins,
                     double spinsErr, double volume, std::string_view caption) {
    SpinCount c;
    const ParamSpec& s = *sample.Params;
    const ParamSpec& r = *standard.Params;
    std::string missing;
    auto factor = [&](const char* name, double a, double b, const char* from, double ratio) {
        if (!(a > 0) || !(b > 0)) {
            missing += std::string(missing.empty() ? "" : ", ") + "no " + name +
                       (!(a > 0) ? " of the sample" : " of the standard");
            return;
        }
        c.Factors.push_back({name, a, b, from, ratio});
    };
    // The signal grows with each of these: the sample's are divided out and
    // the standard's multiplied in.
    factor("gain", s.Gain, r.Gain, "header", r.Gain / s.Gain);
    factor("scans", ScansOf(s), ScansOf(r), "text line", ScansOf(r) / ScansOf(s));
    factor("modulation", s.Modulation, r.Modulation, "header", r.Modulation / s.Modulation);
    factor("power", s.Power, r.Power, "header, as sqrt(P)", std::sqrt(r.Power / s.Power));
    // Curie's law: the signal falls as 1/T.
    const double ts = sample.Temperature > 0 ? sample.Temperature : TemperatureOf(s);
    const double tr = standard.Temperature > 0 ? standard.Temperature : TemperatureOf(r);
    const bool given = sample.Temperature > 0 || standard.Temperature > 0;
    factor("temperature", ts, tr, given ? "given" : "text line", ts / tr);
    const double ss = SpinOf(s), sr = SpinOf(r);
    factor("S(S+1)", ss * (ss + 1), sr * (sr + 1), "text line, 1/2 by default",
           sr * (sr + 1) / (ss * (ss + 1)));
    // A field-swept line's area grows with g (Aasa and Vanngard).
    const double gs = GValue(FrequencyOf(s), sample.CentreField);
    const double gr = GValue(FrequencyOf(r), standard.CentreField);
    factor("g", gs, gr, "frequency and the line's centre", gr / gs);
    const double qs = QualityOf(s), qr = QualityOf(r);
    if (qs > 0 && qr > 0) factor("Q", qs, qr, "text line", qr / qs);
    if (!(sample.Area > 0)) missing += std::string(missing.empty() ? "" : ", ") + "no integral";
    if (!(standard.Area > 0))
        missing += std::string(missing.empty() ? "" : ", ") + "no integral of the standard";
    if (!(spins > 0))
        missing += std::string(missing.empty() ? "" : ", ") + "no spins of the standard";
    if (!missing.empty()) {
        c.Refusal = "   " + std::string(caption) + ": " + missing + ", no spins counted;";
        c.Factors.clear();
        return c;
    }
    long double n = spins * (sample.Area / standard.Area);
    for (const SpinFactor& f : c.Factors) n *= f.Ratio;
    const long double relative = std::sqrt(std::pow(sample.AreaErr / sample.Area, 2) +
                                           std::pow(standard.AreaErr / standard.Area, 2) +
                                           std::pow((long double)spinsErr / spins, 2));
    c.Spins = n;
    c.SpinsErr = n * relative;
    if (volume > 0) {
        // uL to L, mol/L to umol/L.
        c.Micromolar = double(n / kAvogadro / (volume * 1e-6) * 1e6);
        c.MicromolarErr = c.Micromolar * double(relative);
    }
    return c;
}

SpinSide SpinSideOf(const float* x, const float* y, const ParamSpec& p, double temperature,
                    std::string_view caption, QuantitativeIntegral& q) {
    const int n = p.NumPoints;
    q = IntegrateQuantitative(x, y, n, caption);
    const double centre = q.Centre >= 1 && q.Centre <= n ? double(x[q.Centre - 1]) : 0;
    return {&p, q.Area, q.Sigma, centre, temperature};
}

SpinCount CountSpinsOf(const float* x, const float* y, const ParamSpec& p, double temperature,
                       const SpinSide& standard, double spins, double spinsErr, double volume,
                       std::string_view caption, QuantitativeIntegral& q) {
    const SpinSide sample = SpinSideOf(x, y, p, temperature, caption, q);
    if (!q.Refusal.empty()) {
        SpinCount c;
        c.Refusal = q.Refusal;
        return c;
    }
    return CountSpins(sample, standard, spins, spinsErr, volume, caption);
}

std::string SpinText(const SpinCount& c, std::string_view standard) {
    char text[128];
    std::snprintf(text, sizeof text, "Spins %.2E \u00B1 %.1E vs %.*s", double(c.Spins),
                  double(c.SpinsErr), int(standard.size()), standard.data());
    std::string out = text;
    if (c.Micromolar > 0) {
        std::snprintf(text, sizeof text, " = %.4G \u00B1 %.2G uM", c.Micromolar, c.MicromolarErr);
        out += text;
    }
    return out;
}

std::vector<std::string> SpinFactorLines(const SpinCount& c) {
    std::vector<std::string> lines;
    for (const SpinFactor& f : c.Factors)
        lines.push_back(f.Name + " " + Short(f.Sample) + " / " + Short(f.Standard) + " (" + f.From +
                        ") x" + Short(f.Ratio));
    return lines;
}

std::string SpinNote(const SpinCount& c, std::string_view standard) {
    char text[96];
    std::snprintf(text, sizeof text, "Spins %.1E vs %.*s", double(c.Spins), int(standard.size()),
                  standard.data());
    return text;
}

} // namespace kivo
