// Column text files: data lines, splitting, the trend test and the grouping
// of columns into spectra.
#include "TYPEKIVO1_3.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

using namespace kivo;

namespace {

using Floats = std::vector<float>;

std::string Rising(int rows, int columns, double x0 = 3200) {
    std::string text = "header\r\n";
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c)
            text +=
                std::to_string(c == 0 ? x0 + r : 100 * c + r % 3) + (c + 1 < columns ? " " : "");
        text += "\r\n";
    }
    return text;
}

} // namespace

TEST(ColumnFile, DataLinesAndFields) {
    EXPECT_TRUE(IsDataLine("   3200 1.5"));
    EXPECT_FALSE(IsDataLine("-3200 1.5"));
    EXPECT_FALSE(IsDataLine(".5 1"));
    EXPECT_FALSE(IsDataLine(std::string(19, ' ') + "1"));
    EXPECT_TRUE(IsDataLine(std::string(18, ' ') + "1"));
    EXPECT_FALSE(IsDataLine(""));

    double v[MaxColumns];
    bool bad = false;
    ASSERT_EQ(SplitColumns("3200  1,5 ,  ;x   ", v, MaxColumns, bad), 4); // trailing blanks
    EXPECT_FALSE(bad);
    EXPECT_EQ(v[0], 3200);
    EXPECT_EQ(v[1], 1.5); // a decimal comma
    EXPECT_EQ(v[2], 1e7); // missing
    EXPECT_EQ(v[3], 1e7);
    SplitColumns("1 2 abc", v, MaxColumns, bad);
    EXPECT_TRUE(bad);
    std::string wide;
    for (int c = 0; c < 25; ++c) wide += std::to_string(c) + " ";
    EXPECT_EQ(SplitColumns(wide, v, MaxColumns, bad), 20); // never past 20
    EXPECT_EQ(v[19], 19);
}

TEST(ColumnFile, TrendDividesByTheCount) {
    Floats v;
    for (int k = 0; k < 21; ++k) v.push_back(float(k));
    EXPECT_EQ(ColumnTrend(v, 20), 0); // 19 / 20 is not above 0.95
    EXPECT_EQ(ColumnTrend(v, 21), 1);
    EXPECT_EQ(ColumnTrend(Floats{3, 2, 1}, 3), -1);
    EXPECT_EQ(ColumnTrend(Floats{}, 0), 0);
}

TEST(ColumnFile, MissingValuesAndTheCountOfTheFieldColumn) {
    // A row with a missing value is left out whole: its other values would
    // otherwise stand beside the next row's field.
    const ColumnImport r = ImportColumnText("a\nb\nc\n3200 1.5 ,\n3201 1.7 2.0\n", 20);
    ASSERT_EQ(r.Status, ColumnStatus::Ok);
    ASSERT_EQ(r.Spectra.size(), 2u);
    EXPECT_EQ(r.Spectra[0].X, (Floats{3201}));
    EXPECT_EQ(r.Spectra[0].Y, (Floats{1.7f}));
    EXPECT_EQ(r.Spectra[1].Y, (Floats{2.0f}));
    EXPECT_EQ(r.LeftOut, 1);
    EXPECT_EQ(r.FirstLeftOut, 4);
}

// Every value stays beside its own row's field: rows that would put values
// in other rows' places are left out and counted, and a column that ends
// early gives a shorter spectrum, never points of 0.
TEST(ColumnFile, RowsWithMissingValuesAreLeftOutAndShortColumnsGiveShortSpectra) {
    // Each spectrum as "x:y x:y", then the rows left out and the first line.
    auto shown = [](const ColumnImport& r) {
        std::ostringstream out;
        for (const ColumnSpectrum& s : r.Spectra) {
            for (size_t k = 0; k < s.X.size() && k < s.Y.size(); ++k)
                out << s.X[k] << ':' << s.Y[k] << ' ';
            out << "| ";
        }
        out << r.LeftOut << " from " << r.FirstLeftOut;
        return out.str();
    };
    const struct {
        const char* Text;
        const char* Read;
    } cases[] = {
        // A lone comma, a missing field, an empty field between two tabs.
        {"3200 0\n3201 1\n3202 2\n3203 ,\n3204 4\n3205 5\n",
         "3200:0 3201:1 3202:2 3204:4 3205:5 | 1 from 4"},
        {"h\n3200 0\n3201 1\n; 2\n3203 3\n", "3200:0 3201:1 3203:3 | 1 from 4"},
        {"3200\t1\t5\n3201\t\t6\n3202\t3\t4\n", "3200:1 3202:3 | 3200:5 3202:4 | 1 from 2"},
        {"3200 \t 1\t5\n3201\t2 \t 6\n3202\t3\t4 \t\n",
         "3200:1 3201:2 3202:3 | 3200:5 3201:6 3202:4 | 0 from 0"},
        // Short rows before a longer one; rows that end the file shorter.
        {"3200 1 5\n3201 2\n3202 3 7\n3203 4 6\n",
         "3200:1 3202:3 3203:4 | 3200:5 3202:7 3203:6 | 1 from 2"},
        {"3200 1 5\n3201 2\n3202 3\n3203 4 6\n3204 5\n",
         "3200:1 3203:4 3204:5 | 3200:5 3203:6 | 2 from 2"},
        {"3200 1 5\n3201 2 6\n3202 3\n3203 4\n",
         "3200:1 3201:2 3202:3 3203:4 | 3200:5 3201:6 | 0 from 0"},
        {"3203 1 5\n3202 2 6\n3201 3\n3200 4\n",
         "3200:4 3201:3 3202:2 3203:1 | 3202:6 3203:5 | 0 from 0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        const ColumnImport r = ImportColumnText(c.Text, 20);
        EXPECT_EQ(r.Status, ColumnStatus::Ok);
        EXPECT_EQ(shown(r), c.Read);
    }
}

TEST(ColumnFile, GroupsFallingColumnsAndHeaders) {
    // B S1 S2 C S3, B and C rising: (B, S1), (B, S2), (C, S3).
    std::string text = "-1 header with a minus\r\n";
    for (int r = 0; r < 30; ++r)
        text += std::to_string(3000 + r) + " " + std::to_string(r % 2) + " " +
                std::to_string(5 - r % 3) + " " + std::to_string(100 + 2 * r) + " 7\r\n";
    const ColumnImport r = ImportColumnText(text, 20);
    ASSERT_EQ(r.Spectra.size(), 3u);
    EXPECT_EQ(r.Spectra[1].Column, 3);
    EXPECT_EQ(r.Spectra[2].X[1], 102);
    EXPECT_EQ(r.Spectra[2].Y[0], 7);

    // A falling first column turns every column round.
    const ColumnImport f = ImportColumnText("3402 1\n3401 2\n3400 3\n", 20);
    ASSERT_EQ(f.Spectra.size(), 1u);
    EXPECT_EQ(f.Spectra[0].X, (Floats{3400, 3401, 3402}));
    EXPECT_EQ(f.Spectra[0].Y, (Floats{3, 2, 1}));
}

TEST(ColumnFile, RefusalsAndLimits) {
    EXPECT_EQ(ImportColumnText("only\nheader lines\n", 20).Status, ColumnStatus::NoDataLine);
    EXPECT_EQ(ImportColumnText("", 20).Status, ColumnStatus::NoDataLine);
    const ColumnImport bad = ImportColumnText("h\n1 2\n3 x4\n", 20);
    EXPECT_EQ(bad.Status, ColumnStatus::BadField);
    EXPECT_EQ(bad.Line, 3);
    EXPECT_EQ(ImportColumnText("1\n2\n3\n", 20).Status, ColumnStatus::SingleColumn);
    // 21 columns of data: 19 spectra of 20 kept, and only as many as fit.
    const ColumnImport wide = ImportColumnText(Rising(5, 21), 20);
    EXPECT_EQ(wide.Spectra.size(), 19u);
    const ColumnImport few = ImportColumnText(Rising(5, 6), 3);
    EXPECT_EQ(few.Spectra.size(), 3u);
    EXPECT_TRUE(few.SlotsShort);
    // Every row, however many: the slot's limit is the reader's concern.
    const ColumnImport longer = ImportColumnText(Rising(MaxPoints + 5, 2), 20);
    EXPECT_EQ(longer.Spectra[0].X.size(), size_t(MaxPoints + 5));
}

// What both programs make of a column file: records, names and captions, or
// each refusal in the window's words.
TEST(ColumnFile, SpectraAsTheyGoIntoSlotsAndRows) {
    const std::string path =
        (std::filesystem::temp_directory_path() / ("cols" + std::to_string(::getpid()) + ".dat"))
            .string();
    const std::string name = ShortName(path);
    auto read = [&](const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
        return ReadColumnSpectra(path, 20);
    };
    const ColumnFileSpectra two = read("h\n3202 1 -4\n3201 3 2\n3200 2 0\n");
    ASSERT_EQ(two.Spectra.size(), 2u);
    const ColumnFileSpectrum& b = two.Spectra[1];
    EXPECT_EQ(b.Refusal, "");
    EXPECT_EQ(b.Params.NumPoints, 3);
    EXPECT_EQ(b.Params.Amplitude, 6);
    EXPECT_EQ(b.Y, (Floats{0, 2, -4}));
    EXPECT_EQ(b.FileName, path.substr(0, path.size() - 4) + "-2.esr");
    EXPECT_EQ(b.Caption, name + "-2");

    const ColumnFileSpectra one = read("h\n3200 1 2\n");
    ASSERT_EQ(one.Spectra.size(), 2u);
    EXPECT_EQ(one.Spectra[1].Refusal, "    FileSpectrum " + name + "-2 has fewer than 2 points ");
    EXPECT_EQ(read("1\n2\n").Refusal,
              "    FileSpectrum " + name + " has a single column: no spectrum in it ");
    EXPECT_EQ(read(Rising(MaxPoints + 1, 2)).Notices,
              std::vector<std::string>{"    FileSpectrum " + name +
                                       " long: 15001 points averaged by 2 to 7501 "});
    std::filesystem::remove(path);
}
