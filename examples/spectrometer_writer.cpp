#include "spectrometer_writer.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>

namespace kivo_examples {

namespace {

void AppendBits(std::string& out, uint64_t bits, int size, bool bigEndian) {
    for (int i = 0; i < size; ++i) {
        const int shift = 8 * (bigEndian ? size - 1 - i : i);
        out += char((bits >> shift) & 0xFF);
    }
}

void AppendNumber(std::string& out, char format, double v, bool bigEndian) {
    switch (format) {
    case 'C':
        AppendBits(out, uint8_t(int8_t(std::lround(v))), 1, bigEndian);
        break;
    case 'S':
        AppendBits(out, uint16_t(int16_t(std::lround(v))), 2, bigEndian);
        break;
    case 'I':
        AppendBits(out, uint32_t(int32_t(std::lround(v))), 4, bigEndian);
        break;
    case 'F':
        AppendBits(out, std::bit_cast<uint32_t>(float(v)), 4, bigEndian);
        break;
    default:
        AppendBits(out, std::bit_cast<uint64_t>(v), 8, bigEndian);
        break;
    }
}

std::string Number(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.9g", v);
    return buf;
}

} // namespace

KnownSpectrum DerivativeLine(int points, double first, double last) {
    KnownSpectrum s;
    s.Title = "Known line, " + std::to_string(points) + " points";
    const double centre = (first + last) / 2, width = (last - first) / 20;
    for (int k = 0; k < points; ++k) {
        const double b = first + (last - first) * k / (points - 1);
        const double u = (b - centre) / width;
        const double line = -2 * u / ((1 + u * u) * (1 + u * u)) * 100;
        s.Field.push_back(b);
        s.Signal.push_back(std::round(line + 10 + 20 * (b - first) / (last - first) + k % 3));
    }
    return s;
}

Bes3tFiles Bes3t(const KnownSpectrum& s, const Bes3tLayout& layout) {
    const size_t n = s.Field.size();
    const double unit = layout.MilliTesla ? 0.1 : 1.0; // G to the axis unit
    const bool complex = !s.Imaginary.empty();
    Bes3tFiles f;
    std::string& d = f.Dsc;
    d += "#DESC\t1.2 * DESCRIPTOR INFORMATION ***********************\n";
    d += "*\n*\tDataset Type and Format:\n*\n";
    d += std::string("DSRC\tEXP\nBSEQ\t") + (layout.BigEndian ? "BIG" : "LIT") + "\n";
    d += std::string("IKKF\t") + (complex ? "CPLX" : "REAL") + "\n";
    d += "XTYP\t" + std::string(layout.AxisFile ? "IGD" : "IDX") + "\nYTYP\tNODATA\nZTYP\tNODATA\n";
    d += std::string("IRFMT\t") + layout.Format + "\n";
    if (complex) d += std::string("IIFMT\t") + layout.Format + "\n";
    d += "XPTS\t" + std::to_string(n) + "\n";
    if (layout.AxisFile) {
        d += "XFMT\tD\n";
    } else {
        d += "XMIN\t" + Number(s.Field.front() * unit) + "\n";
        d += "XWID\t" + Number((s.Field.back() - s.Field.front()) * unit) + "\n";
    }
    d += std::string("XNAM\t'Field'\nXUNI\t'") + (layout.MilliTesla ? "mT" : "G") + "'\n";
    d += "*\n*\tDocumentational Text:\n*\n";
    // The title is long enough to be continued on a second line.
    const size_t half = s.Title.size() / 2;
    d += "TITL\t'" + s.Title.substr(0, half) + "\\\n" + s.Title.substr(half) + "'\n";
    d += "#SPL\t1.2 * STANDARD PARAMETER LAYER\n";
    d += "MWFQ\t" + Number(s.FrequencyGHz * 1e9) + "\n";
    d += "MWPW\t" + Number(s.PowerMw / 1e3) + "\n";
    d += "AVGS\t" + std::to_string(s.Scans) + "\n";
    d += "B0MA\t" + Number(s.ModulationG / 1e4) + "\n";
    d += "RCAG\t" + Number(s.GainDb) + "\n";
    d += "STMP\t" + Number(s.TemperatureK) + "\n";
    d += "#DSL\t1.0 * DEVICE SPECIFIC LAYER\n*\n.DVC     acqStart, 1.0\n*\n";
    for (size_t k = 0; k < n; ++k) {
        AppendNumber(f.Dta, layout.Format, s.Signal[k], layout.BigEndian);
        if (complex) AppendNumber(f.Dta, layout.Format, s.Imaginary[k], layout.BigEndian);
        if (layout.AxisFile) AppendNumber(f.Xgf, 'D', s.Field[k] * unit, layout.BigEndian);
    }
    return f;
}

Bes3tFiles Bes3tSeries(const KnownSeries& s, const Bes3tLayout& layout) {
    KnownSpectrum slice = s.First;
    Bes3tFiles f;
    for (const std::vector<double>& signal : s.Signals) {
        slice.Signal = signal;
        const Bes3tFiles one = Bes3t(slice, layout);
        if (f.Dsc.empty())
            f = one;
        else
            f.Dta += one.Dta;
    }
    std::string second = "YTYP\t" + std::string(s.ValueFile ? "IGD" : "IDX") + "\n";
    second += "YPTS\t" + std::to_string(s.Values.size()) + "\n";
    if (s.ValueFile) {
        second += "YFMT\tD\n";
        for (double v : s.Values) AppendNumber(f.Ygf, 'D', v, layout.BigEndian);
    } else {
        second += "YMIN\t" + Number(s.Values.front()) + "\n";
        second += "YWID\t" + Number(s.Values.back() - s.Values.front()) + "\n";
    }
    second += "YUNI\t'" + s.Unit + "'\n";
    const std::string none = "YTYP\tNODATA\n";
    f.Dsc.replace(f.Dsc.find(none), none.size(), second);
    return f;
}

EspFiles Esp(const KnownSpectrum& s, bool windows) {
    const size_t n = s.Field.size();
    EspFiles f;
    std::string& p = f.Par;
    auto line = [&p](const std::string& key, const std::string& value) {
        p += key + " " + value + "\r\n";
    };
    if (windows) line("DOS", " Format");
    line("ANZ", std::to_string(n));
    line("RES", std::to_string(n));
    line("MF", Number(s.FrequencyGHz));
    line("MP", Number(s.PowerMw));
    line("RMA", Number(s.ModulationG));
    line("RRG", Number(s.GainFactor));
    line("JSD", std::to_string(s.Scans));
    line("TE", Number(s.TemperatureK));
    const double width = s.Field.back() - s.Field.front();
    if (windows) {
        line("GST", Number(s.Field.front()));
        line("GSI", Number(width));
    } else {
        line("HCF", Number(s.Field.front() + width / 2));
        line("HSW", Number(width));
    }
    line("JON", s.Title);
    if (!s.Comment.empty()) line("JCO", s.Comment);
    for (size_t k = 0; k < n; ++k) AppendNumber(f.Spc, windows ? 'F' : 'I', s.Signal[k], !windows);
    return f;
}

EspFiles EspSeries(const KnownSeries& s, bool windows) {
    EspFiles f;
    for (const std::vector<double>& signal : s.Signals) {
        KnownSpectrum sweep = s.First;
        sweep.Signal = signal;
        const EspFiles one = Esp(sweep, windows);
        if (f.Par.empty()) f.Par = one.Par;
        f.Spc += one.Spc;
    }
    const std::string n = std::to_string(s.First.Field.size());
    const std::string anz = "ANZ " + n + "\r\n";
    f.Par.replace(f.Par.find(anz), anz.size(),
                  "ANZ " + std::to_string(s.First.Field.size() * s.Signals.size()) + "\r\nREY " +
                      std::to_string(s.Signals.size()) + "\r\nJSS 4096\r\nXYLB " +
                      Number(s.Values.front()) + "\r\nXYWI " +
                      Number(s.Values.back() - s.Values.front()) + "\r\n");
    return f;
}

bool WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    out.close();
    return bool(out);
}

} // namespace kivo_examples
