// Column text files (.dat, .asc): header lines, then rows of numbers; each
// rising column is a field axis for the signal columns after it.
#include "column_file.h"
#include "input_file.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

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
    while (i < line.size() && IsSeparator(line[i])) ++i; // indentation
    while (i < line.size()) {
        size_t end = i;
        while (end < line.size() && !IsSeparator(line[end])) ++end;
        const std::string_view field = line.substr(i, end - i);
        // A run of blanks is one separator; every tab after the first in a
        // run closes an empty field, as a spreadsheet writes an empty cell.
        int tabs = 0;
        for (i = end; i < line.size() && IsSeparator(line[i]); ++i) tabs += line[i] == '\t';
        const int empty = i == line.size() ? 0 : std::max(tabs - 1, 0); // none at the end
        if (count == maxFields) continue; // fields past the limit are not kept
        double v = Missing;
        if (!field.empty() && field.front() != ',' && field.front() != ';') {
            // A decimal comma, as regional settings write it, reads as a point.
            std::string number(field);
            std::replace(number.begin(), number.end(), ',', '.');
            // Points are kept as floats: a value beyond them is no value.
            if (!ReadNumber(number, v) || !(std::fabs(v) <= FLT_MAX)) {
                bad = true;
                return count;
            }
        }
        values[count++] = v;
        for (int e = 0; e < empty && count < maxFields; ++e) values[count++] = Missing;
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

namespace {

// The rows of a column file gathered into columns. A row is kept only when
// it holds a value for every column that goes on after it: a short row
// between longer ones, or one with a missing value, would put its values in
// other rows' places, and is left out whole. Rows that get shorter towards
// the end are kept, each for the columns it holds: a column that ends early
// is a shorter column. So column c always holds kept rows 1, 2, ... in order.
class RowGatherer {
public:
    explicit RowGatherer(int columns) : columns_(size_t(columns)) {}

    int Kept() const { return int(columns_[0].size()); }
    // A row of count values (count >= 1) from the given line.
    void Add(const double* row, int count, int line) {
        // Kept rows that hold fewer columns than this one were short rows
        // in the middle; they are the latest kept rows, so their values are
        // the last of each column.
        while (!shorter_.empty() && shorter_.back().Count < count) {
            for (int c = 0; c < shorter_.back().Count; ++c) columns_[size_t(c)].pop_back();
            LeaveOut(shorter_.back().Line);
            shorter_.pop_back();
        }
        if (std::find(row, row + count, Missing) != row + count) return LeaveOut(line);
        for (int c = 0; c < count; ++c) columns_[size_t(c)].push_back(float(row[c]));
        if (count < int(columns_.size())) shorter_.push_back({count, line});
    }
    std::vector<std::vector<float>>& Columns() { return columns_; }
    int LeftOut() const { return leftOut_; }
    int FirstLeftOut() const { return firstLeftOut_; }

private:
    void LeaveOut(int line) {
        ++leftOut_;
        if (firstLeftOut_ == 0 || line < firstLeftOut_) firstLeftOut_ = line;
    }
    struct Short {
        int Count, Line;
    };
    std::vector<std::vector<float>> columns_;
    std::vector<Short> shorter_; // kept rows short of the columns, fewer and fewer values
    int leftOut_ = 0, firstLeftOut_ = 0;
};

} // namespace

ColumnImport ImportColumnText(std::string_view text, int maxSpectra) {
    ColumnImport result;
    // Binary data or UTF-16 is no column file, whatever line of it fails.
    auto refuse = [&](ColumnStatus status, int line, std::string_view reason) {
        const std::string_view notText = EmptyOrNotText(text);
        result.Status = notText.empty() ? status : ColumnStatus::NoDataLine;
        result.Line = notText.empty() ? line : 0;
        result.Reason = notText.empty() ? reason : notText;
        return result;
    };
    const std::vector<std::string_view> lines = SplitLines(text);
    size_t first = 0;
    while (first < lines.size() && !IsDataLine(lines[first])) ++first;
    if (first == lines.size()) return refuse(ColumnStatus::NoDataLine, 0, "no data line");
    double row[MaxColumns];
    bool bad = false;
    const int n = SplitColumns(lines[first], row, MaxColumns, bad);
    if (bad) return refuse(ColumnStatus::BadField, int(first) + 1, "");
    RowGatherer rows(n);
    for (size_t l = first; l < lines.size(); ++l) {
        const int m = SplitColumns(lines[l], row, n, bad);
        if (bad) return refuse(ColumnStatus::BadField, int(l) + 1, "");
        if (m == 0) continue; // a blank line is no row
        rows.Add(row, m, int(l) + 1);
    }
    result.LeftOut = rows.LeftOut();
    result.FirstLeftOut = rows.FirstLeftOut();
    if (n < 2) {
        result.Status = ColumnStatus::SingleColumn;
        return result;
    }
    std::vector<std::vector<float>>& columns = rows.Columns();
    auto count = [&columns](int c) { return int(columns[size_t(c)].size()); };
    const bool turned = ColumnTrend(columns[0], count(0)) < 0;
    if (turned)
        for (std::vector<float>& col : columns) std::reverse(col.begin(), col.end());

    // Groups: an X column and the signal columns up to the next rising one.
    int x = 0;
    for (int c = 1; c < n; ++c) {
        if (c > x + 1 && ColumnTrend(columns[size_t(c)], count(c)) > 0) {
            x = c;
            continue;
        }
        if (int(result.Spectra.size()) == maxSpectra) {
            result.SlotsShort = true;
            break;
        }
        ColumnSpectrum s;
        s.Column = c + 1;
        // The rows both columns hold: the first ones, at the end of a
        // column turned round.
        const size_t points = size_t(std::min(count(x), count(c)));
        auto rowsOf = [&](int col, std::vector<float>& out) {
            const std::vector<float>& v = columns[size_t(col)];
            const auto from = turned ? v.end() - std::ptrdiff_t(points) : v.begin();
            out.assign(from, from + std::ptrdiff_t(points));
        };
        rowsOf(x, s.X);
        rowsOf(c, s.Y);
        result.Spectra.push_back(std::move(s));
    }
    return result;
}

ColumnImport ImportColumnFile(const std::string& path, int maxSpectra) {
    ColumnImport result;
    // Twenty columns of 15000 rows fill a few megabytes: a larger file is no
    // spectrum file and is not read at all.
    std::string buffer;
    std::string_view text;
    ReadResult r;
    if (!ReadText(path, MaxFileBytes, buffer, text, r)) {
        result.Status =
            r.Status == ReadStatus::TooLarge ? ColumnStatus::TooLarge : ColumnStatus::CannotOpen;
        result.Size = r.Size;
        result.Reason = std::move(r.Reason);
        return result;
    }
    return ImportColumnText(text, maxSpectra);
}

} // namespace kivo
