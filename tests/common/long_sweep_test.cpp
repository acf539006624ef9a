// Sweeps longer than a slot: every reader of a spectrometer's or a column
// file brings them into one, averaged by default or as a window, and each
// point is the mean of its block of the file's own points.
#include "TYPEKIVO1_3.h"
#include "loader.h"
#include "spectrometer_writer.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

using namespace kivo;

namespace {

namespace fs = std::filesystem;

enum class Format { Bes3tFloat, Bes3tAxisFile, WinEpr, Columns };

// The file's points as its reader has them: fields in G rising, signal.
struct Sweep {
    std::vector<float> X, Y;
    std::string Path;
};

Sweep Write(Format format, int n, const fs::path& dir) {
    const kivo_examples::KnownSpectrum s = kivo_examples::DerivativeLine(n, 3000, 3600);
    Sweep w;
    for (int k = 0; k < n; ++k) {
        // The linear axis as its reader makes it from the two ends.
        w.X.push_back(float(3000 + (600.0 / (n - 1)) * k));
        w.Y.push_back(float(s.Signal[size_t(k)]));
    }
    const char* names[] = {"f", "a", "w", "c"};
    const std::string stem = (dir / names[int(format)]).string();
    const std::string data = stem + (format == Format::WinEpr ? ".spc" : ".DTA");
    if (format == Format::Columns) {
        w.Path = stem + ".dat";
        std::ofstream out(w.Path, std::ios::binary);
        out.precision(9); // every float as it is
        out << "field signal\n";
        // Falling, as some programs write them: turned round on reading.
        for (int k = n - 1; k >= 0; --k) out << w.X[size_t(k)] << ' ' << w.Y[size_t(k)] << '\n';
    } else if (format == Format::WinEpr) {
        const kivo_examples::EspFiles f = kivo_examples::Esp(s, true);
        w.Path = stem + ".par";
        kivo_examples::WriteBytes(w.Path, f.Par);
        kivo_examples::WriteBytes(data, f.Spc);
    } else {
        const bool axis = format == Format::Bes3tAxisFile;
        const kivo_examples::Bes3tFiles f = kivo_examples::Bes3t(s, {'F', false, axis, false});
        w.Path = stem + ".DSC";
        kivo_examples::WriteBytes(w.Path, f.Dsc);
        kivo_examples::WriteBytes(data, f.Dta);
        if (axis) {
            kivo_examples::WriteBytes(stem + ".XGF", f.Xgf);
            for (int k = 0; k < n; ++k) w.X[size_t(k)] = float(s.Field[size_t(k)]);
        }
    }
    return w;
}

} // namespace

TEST(LongSweep, EveryReaderAveragesBlocksOrTakesAWindow) {
    const fs::path dir = fs::temp_directory_path() / ("kivo_long_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::mt19937 rng(11);
    const Format formats[] = {Format::Bes3tFloat, Format::Bes3tAxisFile, Format::WinEpr,
                              Format::Columns};
    for (const Format format : formats)
        for (const int n : {60000, 15001, 30011}) {
            const Sweep w = Write(format, n, dir);
            // The default, a window at step 1, a window averaged, a field window.
            const int from = 1 + int(rng() % 3000);
            const int to = std::min(n, from + 9000 + int(rng() % 5000));
            PointChoice field;
            field.ByField = true;
            field.FieldFrom = 3100.05;
            field.FieldTo = 3250.3;
            for (const PointChoice& choice :
                 {PointChoice{}, PointChoice{from, to, 1}, PointChoice{from, 0, 5}, field}) {
                SCOPED_TRACE(w.Path + " " + std::to_string(n) + " " + PointChoiceText(choice));
                // The points the choice takes, worked out here from the rows.
                int first = choice.First, last = choice.Last == 0 ? n : choice.Last;
                if (choice.ByField) {
                    first = 1;
                    while (w.X[size_t(first - 1)] < choice.FieldFrom) ++first;
                    last = n;
                    while (w.X[size_t(last - 1)] > choice.FieldTo) --last;
                }
                const int step =
                    choice.Step ? choice.Step : (last - first + 1 + MaxPoints - 1) / MaxPoints;
                std::vector<double> mx, my;
                for (int b = first; b <= last; b += step) {
                    double sx = 0, sy = 0;
                    const int e = std::min(b + step - 1, last);
                    for (int k = b; k <= e; ++k) {
                        sx += w.X[size_t(k - 1)];
                        sy += w.Y[size_t(k - 1)];
                    }
                    mx.push_back(sx / (e - b + 1));
                    my.push_back(sy / (e - b + 1));
                }
                std::vector<std::string> notices;
                int got = 0;
                LoadSpectra(
                    w.Path, nullptr, 20,
                    {[&](const std::string& s) { notices.push_back(s); },
                     [&](LoadedSpectrum& s) {
                         ++got;
                         ASSERT_EQ(s.Refusal, "");
                         ASSERT_EQ(s.Params.NumPoints, int(mx.size()));
                         for (size_t k = 0; k < mx.size(); ++k) {
                             ASSERT_NEAR(s.X.Data()[k], mx[k], 5e-4) << k; // an ulp at 3600 G
                             ASSERT_NEAR(s.Y.Data()[k], my[k], 1e-4 * (1 + std::fabs(my[k]))) << k;
                         }
                         const bool whole = first == 1 && last == n;
                         EXPECT_EQ(s.Params.Line2.find("Averaged " + std::to_string(step)) !=
                                       std::string::npos,
                                   step > 1);
                         EXPECT_EQ(s.Params.Line2.find("Points ") != std::string::npos, !whole);
                     }},
                    choice);
                EXPECT_EQ(got, 1);
                std::string said = "    FileSpectrum ";
                said += ShortName(w.Path);
                said += " long: " + std::to_string(n) + " points";
                if (first != 1 || last != n)
                    said += ", " + std::to_string(first) + " to " + std::to_string(last);
                said += " averaged by " + std::to_string(step) + " to " +
                        std::to_string(mx.size()) + " ";
                EXPECT_EQ(notices, std::vector<std::string>{said});
            }
            // A window that is no window, or too many points at its step.
            for (const auto& [choice, words] :
                 {std::pair<PointChoice, std::string>{{5, 4, 1}, "points 5 to 4 are not 2 or more"},
                  {{1, n, 1}, "step 1 gives " + std::to_string(n)}}) {
                std::string refusal;
                LoadSpectra(
                    w.Path, nullptr, 20,
                    {[](const std::string&) {}, [&](LoadedSpectrum& s) { refusal = s.Refusal; }},
                    choice);
                EXPECT_NE(refusal.find(words), std::string::npos) << refusal;
            }
        }
    fs::remove_all(dir);
}
