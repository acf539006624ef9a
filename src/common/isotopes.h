// Nuclear spins, nuclear g factors and natural abundances of the nuclei an
// isotropic ESR spectrum is simulated with, and the isotopologues of a group
// of equivalent nuclei of an element taken as its natural mixture.
#pragma once

#include <string_view>
#include <vector>

namespace kivo {

struct Isotope {
    std::string_view Name;    // "14N"
    std::string_view Element; // "N"
    double Spin = 0;          // I, 0 for a nucleus without a moment
    double GN = 0;            // nuclear g factor mu / (I muN), signed; 0 when I = 0
    double Abundance = 0;     // natural, as a fraction
};

// The isotope of this name ("63Cu"), or null.
const Isotope* FindIsotope(std::string_view name);
// The isotopes of an element ("Cu"), those without a spin included; empty
// when the table does not know it.
std::vector<const Isotope*> IsotopesOf(std::string_view element);
// The isotope a coupling given for an element's natural mixture belongs to:
// its most abundant one with a spin (63Cu for Cu); the others' couplings are
// scaled by their g_N. Null for an unknown element or one without spins.
const Isotope* ReferenceIsotope(std::string_view element);

// n equivalent nuclei of a natural mixture split into isotopologues: how
// many nuclei of each isotope with a spin (Counts, beside Magnetic), and the
// multinomial weight of that composition (nuclei without a spin count in
// the weight only). Compositions below minWeight are left out.
struct Isotopologue {
    std::vector<const Isotope*> Magnetic;
    std::vector<int> Counts;
    double Weight = 0;
};
std::vector<Isotopologue> IsotopologuesOf(std::string_view element, int n, double minWeight = 1e-7);

// How often each total spin J occurs when n spins I couple: Multiplicity[k]
// is for J = JMax - k, JMax = n I, down to 0 or 1/2. Their sum of (2J + 1)
// times the multiplicity is (2I + 1)^n.
struct TotalSpins {
    double JMax = 0;
    std::vector<double> Multiplicity;
};
TotalSpins TotalSpinsOf(double spin, int n);

} // namespace kivo
