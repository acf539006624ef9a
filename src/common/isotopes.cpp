// The nuclear moments are those of N. J. Stone, "Table of nuclear magnetic
// dipole and electric quadrupole moments", At. Data Nucl. Data Tables 90
// (2005) 75, but for 65Cu; g_N = mu / (I muN). The 65Cu moment tabulated
// there, +2.3816, disagrees by 0.18 % with the ratio of the two copper
// isotopes' NMR frequencies, which fixes the ratio of their moments to a few
// ppm; 65Cu is therefore 63Cu's moment times Xi(65Cu) / Xi(63Cu) =
// 28.403693 % / 26.515473 % (R. K. Harris et al., "NMR nomenclature", Pure
// Appl. Chem. 73 (2001) 1795). That ratio is what scales a coupling given
// for natural copper to its 65Cu isotopologues.
// The abundances are IUPAC's representative isotopic compositions of 2013
// (J. Meija et al., "Isotopic compositions of the elements 2013", Pure Appl.
// Chem. 88 (2016) 293).
#include "isotopes.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace kivo {

namespace {

// mu in nuclear magnetons, I, abundance in per cent.
struct Entry {
    std::string_view Name, Element;
    double Spin, Mu, Percent;
};

// 63Cu, and 65Cu from it by the ratio of their NMR frequencies.
constexpr double Mu63Cu = 2.2273456, Mu65Cu = Mu63Cu * 28.403693 / 26.515473;

constexpr std::array<Entry, 35> Table = {{
    {"1H", "H", 0.5, 2.792847351, 99.9885}, {"2H", "H", 1.0, 0.857438228, 0.0115},
    {"12C", "C", 0.0, 0.0, 98.93},          {"13C", "C", 0.5, 0.7024118, 1.07},
    {"14N", "N", 1.0, 0.40376100, 99.636},  {"15N", "N", 0.5, -0.28318884, 0.364},
    {"16O", "O", 0.0, 0.0, 99.757},         {"17O", "O", 2.5, -1.89379, 0.038},
    {"18O", "O", 0.0, 0.0, 0.205},          {"19F", "F", 0.5, 2.628868, 100},
    {"23Na", "Na", 1.5, 2.217522, 100},     {"31P", "P", 0.5, 1.13160, 100},
    {"32S", "S", 0.0, 0.0, 94.99},          {"33S", "S", 1.5, 0.6438212, 0.75},
    {"34S", "S", 0.0, 0.0, 4.25},           {"36S", "S", 0.0, 0.0, 0.01},
    {"35Cl", "Cl", 1.5, 0.8218743, 75.76},  {"37Cl", "Cl", 1.5, 0.6841236, 24.24},
    {"50V", "V", 6.0, 3.3456889, 0.250},    {"51V", "V", 3.5, 5.1487057, 99.750},
    {"55Mn", "Mn", 2.5, 3.4532, 100},       {"59Co", "Co", 3.5, 4.627, 100},
    {"63Cu", "Cu", 1.5, Mu63Cu, 69.15},     {"65Cu", "Cu", 1.5, Mu65Cu, 30.85},
    {"79Br", "Br", 1.5, 2.106400, 50.69},   {"81Br", "Br", 1.5, 2.270562, 49.31},
    {"27Al", "Al", 2.5, 3.6415069, 100},    {"28Si", "Si", 0.0, 0.0, 92.223},
    {"29Si", "Si", 0.5, -0.55529, 4.685},   {"30Si", "Si", 0.0, 0.0, 3.092},
    {"39K", "K", 1.5, 0.39150731, 93.2581}, {"40K", "K", 4.0, -1.2981, 0.0117},
    {"41K", "K", 1.5, 0.21489274, 6.7302},  {"6Li", "Li", 1.0, 0.822047, 7.59},
    {"7Li", "Li", 1.5, 3.256427, 92.41},
}};

std::array<Isotope, Table.size()> MakeIsotopes() {
    std::array<Isotope, Table.size()> out{};
    for (size_t k = 0; k < Table.size(); ++k) {
        const Entry& e = Table[k];
        out[k] = {e.Name, e.Element, e.Spin, e.Spin > 0 ? e.Mu / e.Spin : 0, e.Percent / 100};
    }
    return out;
}

const std::array<Isotope, Table.size()>& Isotopes() {
    static const std::array<Isotope, Table.size()> isotopes = MakeIsotopes();
    return isotopes;
}

} // namespace

const Isotope* FindIsotope(std::string_view name) {
    for (const Isotope& i : Isotopes())
        if (i.Name == name) return &i;
    return nullptr;
}

std::vector<const Isotope*> IsotopesOf(std::string_view element) {
    std::vector<const Isotope*> out;
    for (const Isotope& i : Isotopes())
        if (i.Element == element) out.push_back(&i);
    return out;
}

const Isotope* ReferenceIsotope(std::string_view element) {
    const Isotope* best = nullptr;
    for (const Isotope* i : IsotopesOf(element))
        if (i->Spin > 0 && (!best || i->Abundance > best->Abundance)) best = i;
    return best;
}

std::vector<Isotopologue> IsotopologuesOf(std::string_view element, int n, double minWeight) {
    std::vector<const Isotope*> magnetic;
    double silent = 0;
    for (const Isotope* i : IsotopesOf(element)) {
        if (i->Spin > 0)
            magnetic.push_back(i);
        else
            silent += i->Abundance;
    }
    // The isotopes without a spin make one class: they split nothing.
    std::vector<double> p;
    p.reserve(magnetic.size() + 1);
    for (const Isotope* i : magnetic) p.push_back(i->Abundance);
    p.push_back(silent);
    const size_t classes = p.size();
    std::vector<Isotopologue> out;
    if (magnetic.empty() || n < 1) return out;
    std::vector<int> counts(classes, 0);
    // Every composition of n into the classes, the last taking what is left.
    auto visit = [&](auto&& self, size_t c, int left) -> void {
        if (c + 1 == classes) {
            counts[c] = left;
            double logW = std::lgamma(n + 1.0);
            for (size_t k = 0; k < classes; ++k) {
                logW -= std::lgamma(counts[k] + 1.0);
                if (counts[k] > 0) logW += counts[k] * std::log(p[k]);
            }
            const double w = std::exp(logW);
            if (!(w >= minWeight)) return;
            Isotopologue iso;
            iso.Weight = w;
            for (size_t k = 0; k + 1 < classes; ++k)
                if (counts[k] > 0) {
                    iso.Magnetic.push_back(magnetic[k]);
                    iso.Counts.push_back(counts[k]);
                }
            out.push_back(std::move(iso));
            return;
        }
        for (int k = 0; k <= left; ++k) {
            counts[c] = k;
            self(self, c + 1, left - k);
        }
    };
    visit(visit, 0, n);
    return out;
}

TotalSpins TotalSpinsOf(double spin, int n) {
    // The number of product states of each total projection M, from the
    // top: the coefficients of (x^-I + ... + x^I)^n. J occurs as often as
    // states of M = J outnumber those of M = J + 1.
    TotalSpins t;
    const int levels = int(std::lround(2 * spin)) + 1;
    std::vector<double> count = {1};
    for (int k = 0; k < n; ++k) {
        std::vector<double> next(count.size() + size_t(levels) - 1, 0.0);
        for (size_t a = 0; a < count.size(); ++a)
            for (size_t b = 0; b < size_t(levels); ++b) next[a + b] += count[a];
        count = std::move(next);
    }
    t.JMax = n * spin;
    // count[k] is for M = JMax - k; J runs down to 0 or 1/2, k to the middle.
    const size_t top = (count.size() - 1) / 2;
    for (size_t k = 0; k <= top; ++k)
        t.Multiplicity.push_back(count[k] - (k > 0 ? count[k - 1] : 0));
    return t;
}

} // namespace kivo
