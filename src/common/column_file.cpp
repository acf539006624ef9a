// Column text files (.dat, .asc): header lines, then rows of numbers; each
// rising column is a field axis for the signal columns after it.
#include "TYPEKIVO1_3.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace kivo {

namespace {

constexpr double Missing = 1e7;

bool IsSeparator(char c) {
    return c == ' ' || c == '\t';
}

// The lines of a text without their line ends (LF, CR LF or CR).
std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        if (end < text.size() && text[end] == '\r' && end + 1 < text.size() &&
            text[end + 1] == '\n')
            ++end;
        start = end + 1;
    }
    return lines;
}

} // namespace

bool IsDataLine(std::string_view line) {
    size_t i = 0;
    while (i < line.size() && i < 19 && IsSeparator(line[i])) ++i;
    return i < line.size() && i < 19 && line[i] >= '0' && line[i] <= '9';
}

int SplitColumns(std::string_view line, double* values, int maxFields, bool& bad) {
    bad = false;
    int count = 0;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && IsSeparator(line[i])) ++i;
        if (i == line.size()) break;
        size_t end = i;
        while (end < line.size() && !IsSeparator(line[end])) ++end;
        const std::string_view field = line.substr(i, end - i);
        i = end;
        if (count == maxFields) continue; // fields past the limit are not kept
        double v = Missing;
        if (field.front() != ',' && field.front() != ';') {
            // A decimal comma, as regional settings write it, reads as a point.
            std::string number(field);
            std::replace(number.begin(), number.end(), ',', '.');
            if (!ReadNumber(number, v)) {
                bad = true;
                return count;
            }
        }
        values[count++] = v;
    }
    return count;
}

int ColumnTrend(const std::vector<float>& v, int a) {
    if (a < 1) return 0;
    int rising = 0;
    for (int k = 1; k < a; ++k) rising += v[size_t(k)] > v[size_t(k - 1)];
    const double share = double(rising) / a;
    return share > 0.95 ? 1 : share < 0.05 ? -1 : 0;
}

ColumnImport ImportColumnText(std::string_view text, int maxSpectra) {
    ColumnImport result;
    const std::vector<std::string_view> lines = SplitLines(text);
    size_t first = 0;
    while (first < lines.size() && !IsDataLine(lines[first])) ++first;
    if (first == lines.size()) {
        result.Status = ColumnStatus::NoDataLine;
        return result;
    }
    double row[MaxColumns];
    bool bad = false;
    const int n = SplitColumns(lines[first], row, MaxColumns, bad);
    if (bad) {
        result.Status = ColumnStatus::BadField;
        result.Line = int(first) + 1;
        return result;
    }
    std::vector<std::vector<float>> columns(static_cast<size_t>(n));
    std::vector<int> counts(static_cast<size_t>(n), 0);
    int rows = 0, lastComplete = 0;
    for (size_t l = first; l < lines.size(); ++l) {
        const int m = SplitColumns(lines[l], row, n, bad);
        if (bad) {
            result.Status = ColumnStatus::BadField;
            result.Line = int(l) + 1;
            return result;
        }
        if (m == 0) continue; // a blank line is no row of zeros
        if (rows == MaxPoints) {
            result.Truncated = true;
            break;
        }
        ++rows;
        for (int c = 0; c < n; ++c) columns[size_t(c)].push_back(c < m ? float(row[c]) : 0.0f);
        // Columns of the last row that it holds count to it; the others to
        // the last row that held every column.
        if (m == n) lastComplete = rows;
        for (int c = 0; c < n; ++c) counts[size_t(c)] = c < m ? rows : lastComplete;
    }
    for (int c = 0; c < n; ++c) {
        std::vector<float>& col = columns[size_t(c)];
        col.resize(size_t(counts[size_t(c)]));
        col.erase(std::remove(col.begin(), col.end(), float(Missing)), col.end());
        counts[size_t(c)] = int(col.size());
    }
    if (n < 2) {
        result.Status = ColumnStatus::SingleColumn;
        return result;
    }
    if (ColumnTrend(columns[0], counts[0]) < 0)
        for (std::vector<float>& col : columns) std::reverse(col.begin(), col.end());

    // Groups: an X column and the signal columns up to the next rising one.
    int x = 0;
    for (int c = 1; c < n; ++c) {
        if (c > x + 1 && ColumnTrend(columns[size_t(c)], counts[size_t(c)]) > 0) {
            x = c;
            continue;
        }
        if (int(result.Spectra.size()) == maxSpectra) {
            result.SlotsShort = true;
            break;
        }
        ColumnSpectrum s;
        s.Column = c + 1;
        // Every spectrum of a group has its X column's count of points.
        const size_t points = size_t(counts[size_t(x)]);
        s.X.assign(columns[size_t(x)].begin(), columns[size_t(x)].begin() + std::ptrdiff_t(points));
        const std::vector<float>& y = columns[size_t(c)];
        s.Y.assign(y.begin(), y.begin() + std::ptrdiff_t(std::min(points, y.size())));
        s.Y.resize(points, 0.0f);
        result.Spectra.push_back(std::move(s));
    }
    return result;
}

ColumnImport ImportColumnFile(const std::string& path, int maxSpectra) {
    ColumnImport result;
    // Twenty columns of 15000 rows fill a few megabytes: a larger file is no
    // spectrum file and is not read at all.
    std::error_code error;
    const uint64_t size = std::filesystem::file_size(path, error);
    if (!error && size > MaxFileBytes) {
        result.Status = ColumnStatus::TooLarge;
        result.Size = size;
        return result;
    }
    std::string text;
    if (!ReadTextFile(path, text, size_t(MaxFileBytes))) {
        result.Status = ColumnStatus::CannotOpen;
        return result;
    }
    return ImportColumnText(text, maxSpectra);
}

} // namespace kivo
