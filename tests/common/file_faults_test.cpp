// Faults a file brings to the readers, through the real files and in the
// words the window's mode line and kivo-batch give: values beyond the float
// range the points are kept in, files that cannot be read, and a leading
// byte-order mark.
#include "TYPEKIVO1_3.h"
#include "spectrometer_writer.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

using namespace kivo;
namespace fs = std::filesystem;

namespace {

class FileFaults : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("kivo_faults_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }
    std::string Write(const std::string& name, const std::string& bytes) const {
        EXPECT_TRUE(kivo_examples::WriteBytes(PathOf(name), bytes)) << name;
        return PathOf(name);
    }
    fs::path dir_;
};

// The spectra read from a file, each as the .esr text it would be saved as,
// after the refusal ("" when it was read): what the window and the batch
// take from it.
std::string ReadAsSaved(const std::string& path) {
    const int kind = FileKindOf(FileNameOf(path));
    if (kind == KindDat) {
        const ColumnFileSpectra file = ReadColumnSpectra(path, MaxSpec);
        std::string out = file.Refusal;
        for (const ColumnFileSpectrum& s : file.Spectra)
            out += s.Refusal.empty() ? FormatSpectrum(s.Params, s.X.data(), s.Y.data()) : s.Refusal;
        return out;
    }
    SpectrumRead read;
    PrepareSpectrumRead(path, read);
    ReadSpectrum(read);
    const std::string refused = ReadRefusal(ShortName(path), read.Result, read.Params.NumPoints);
    if (!refused.empty()) return refused;
    return FormatSpectrum(read.Params, read.X.Data(), read.Y.Data());
}

// The refusal of a file alone, "" when it gave a spectrum.
std::string Refusal(const std::string& path) {
    const std::string read = ReadAsSaved(path);
    return read.rfind("    FileSpectrum ", 0) == 0 ? read : "";
}

std::string NotPrepared(const std::string& name, const std::string& reason) {
    return "    FileSpectrum " + name + " is not prepared properly " + reason + " ";
}

// Rows "3200 0" ... with the signal of row k (from 0) as given in place of k.
std::string Rows(int count, int at = -1, const std::string& value = "") {
    std::string text;
    for (int k = 0; k < count; ++k)
        text += std::to_string(3200 + k) + " " + (k == at ? value : std::to_string(k % 10)) + "\n";
    return text;
}

std::string EsrPoints(const std::string& secondSignal) {
    ParamSpec p;
    return FormatEsrHeader(p) + "Spectr:\r\n3300.000 1\r\n3301.000 " + secondSignal +
           "\r\n3302.000 -1\r\n";
}

// The 1-based line of a descriptor that starts with key.
int LineOf(const std::string& text, const std::string& key) {
    int line = 1;
    for (size_t at = 0; at < text.size(); at = text.find('\n', at) + 1, ++line) {
        if (text.compare(at, key.size(), key) == 0) return line;
        if (text.find('\n', at) == std::string::npos) break;
    }
    return 0;
}

// A spectrometer file with one key's value replaced.
std::string WithValue(std::string text, const std::string& key, const std::string& value) {
    const int line = LineOf(text, key);
    EXPECT_GT(line, 0) << key;
    size_t at = 0;
    for (int l = 1; l < line; ++l) at = text.find('\n', at) + 1;
    const size_t end = text.find_first_of("\r\n", at);
    text.replace(at, end - at, key + (text[at + key.size()] == '\t' ? "\t" : " ") + value);
    return text;
}

} // namespace

TEST_F(FileFaults, AValueBeyondTheFloatRangeIsRefusedWithItsFileAndLine) {
    const kivo_examples::KnownSpectrum known = kivo_examples::DerivativeLine(201, 3300, 3400);
    const kivo_examples::Bes3tFiles bes3t = kivo_examples::Bes3t(known, {'F', true, false, false});
    const kivo_examples::EspFiles winepr = kivo_examples::Esp(known, true);
    const kivo_examples::EspFiles esp = kivo_examples::Esp(known, false);
    struct Case {
        std::string Name; // the file read; a spectrometer file's partner is written beside it
        std::string Text, Partner;
        std::string Words; // "" when it is read
    } cases[] = {
        {"v.dat", Rows(12, 10, "1e39"), "", NotPrepared("v", "line 11")},
        {"v.dat", Rows(12, 10, "-1E+39"), "", NotPrepared("v", "line 11")},
        {"v.dat", Rows(12, 10, "1e400"), "", NotPrepared("v", "line 11")},
        {"v.dat", Rows(12, 10, "3,4e38"), "", ""}, // a decimal comma, just below the limit
        {"v.dat", "h\n3200 1\n3201 2\n1e39 3\n", "", NotPrepared("v", "line 4")},
        {"v.esr", EsrPoints("1e39"), "", NotPrepared("v", "line 13")},
        {"v.esr", EsrPoints("-3.4e38"), "", ""},
        {"v.txt", "Spectr:\n1 3300 1\n2 1e39 2\n3 3302 3\n", "", NotPrepared("v", "line 3")},
        {"v.DSC", WithValue(bes3t.Dsc, "XWID", "1e39"), bes3t.Dta,
         NotPrepared("v", "v.DSC line " + std::to_string(LineOf(bes3t.Dsc, "XWID")) +
                              ": XWID 1e39 is beyond the float range")},
        // 1e35 T is 1e39 G: the first field itself is too large.
        {"v.DSC", WithValue(WithValue(bes3t.Dsc, "XUNI", "'T'"), "XMIN", "1e35"), bes3t.Dta,
         NotPrepared("v", "v.DSC line " + std::to_string(LineOf(bes3t.Dsc, "XMIN")) +
                              ": XMIN 1e35 is beyond the float range")},
        {"v.DSC", WithValue(bes3t.Dsc, "XWID", "3e38"), bes3t.Dta, ""},
        {"v.par", WithValue(winepr.Par, "GST", "-1e39"), winepr.Spc,
         NotPrepared("v", "v.par line " + std::to_string(LineOf(winepr.Par, "GST")) +
                              ": GST -1e39 is beyond the float range")},
        {"v.par", WithValue(esp.Par, "HSW", "1e39"), esp.Spc,
         NotPrepared("v", "v.par line " + std::to_string(LineOf(esp.Par, "HSW")) +
                              ": HSW 1e39 is beyond the float range")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name + ": " + c.Words);
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        const std::string path = Write(c.Name, c.Text);
        if (!c.Partner.empty()) Write(c.Name == "v.DSC" ? "v.DTA" : "v.spc", c.Partner);
        EXPECT_EQ(Refusal(path), c.Words);
    }
}

TEST_F(FileFaults, AFileThatCannotBeReadSaysWhy) {
    const std::string spectrum = EsrPoints("2");
    std::u16string wide;
    for (char ch : spectrum) wide += char16_t(static_cast<unsigned char>(ch));
    const std::string utf16 = "\xFF\xFE" + std::string(reinterpret_cast<const char*>(wide.data()),
                                                       wide.size() * sizeof(char16_t));
    std::string binary;
    for (int k = 0; k < 512; ++k) binary += char(k * 37 % 256);
    const std::string rows = Rows(5);
    std::string rows16;
    for (char ch : rows) rows16 += std::string(1, ch) + '\0'; // UTF-16 without its mark
    const bool root = ::geteuid() == 0;

    struct Case {
        std::string Name;
        std::function<void(const std::string& path)> Make;
        std::string Words;
    } cases[] = {
        {"nothere.esr", [](const std::string&) {}, NotPrepared("nothere", "not found")},
        {"nothere.dat", [](const std::string&) {}, NotPrepared("nothere", "not found")},
        // Named as given, not in the case of the ending looked for beside it.
        {"nothere.dsc", [](const std::string&) {}, NotPrepared("nothere", "nothere.dsc not found")},
        {"x.esr", [](const std::string& p) { fs::create_directory(p); },
         NotPrepared("x", "is a directory")},
        {"x.dat", [](const std::string& p) { fs::create_directory(p); },
         NotPrepared("x", "is a directory")},
        {"locked.esr",
         [&](const std::string& p) {
             Write("locked.esr", spectrum);
             ::chmod(p.c_str(), 0);
         },
         root ? "" : NotPrepared("locked", "permission denied")},
        {"locked.dat",
         [&](const std::string& p) {
             Write("locked.dat", rows);
             ::chmod(p.c_str(), 0);
         },
         root ? "" : NotPrepared("locked", "permission denied")},
        {"pipe.esr", [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); },
         NotPrepared("pipe", "not a regular file")},
        {"pipe.dat", [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); },
         NotPrepared("pipe", "not a regular file")},
        {"null.esr", [](const std::string& p) { fs::create_symlink("/dev/null", p); },
         NotPrepared("null", "not a regular file")},
        {"null.DSC", [](const std::string& p) { fs::create_symlink("/dev/null", p); },
         NotPrepared("null", "null.DSC not a regular file")},
        {"empty.esr", [&](const std::string&) { Write("empty.esr", ""); },
         NotPrepared("empty", "empty")},
        {"empty.dat", [&](const std::string&) { Write("empty.dat", ""); },
         NotPrepared("empty", "empty")},
        {"nomarker.esr", [&](const std::string&) { Write("nomarker.esr", "l1\r\nl2\r\n1 2\r\n"); },
         NotPrepared("nomarker", "no Spectr: line")},
        {"nomarker.txt", [&](const std::string&) { Write("nomarker.txt", "1 3300 1\n2 3301 2\n"); },
         NotPrepared("nomarker", "no Spectr: line")},
        {"nodata.dat", [&](const std::string&) { Write("nodata.dat", "field signal\n-\n"); },
         NotPrepared("nodata", "no data line")},
        {"utf16.esr", [&](const std::string&) { Write("utf16.esr", utf16); },
         NotPrepared("utf16", "not text")},
        {"utf16.dat", [&](const std::string&) { Write("utf16.dat", rows16); },
         NotPrepared("utf16", "not text")},
        {"binary.esr", [&](const std::string&) { Write("binary.esr", binary); },
         NotPrepared("binary", "not text")},
        {"binary.dat", [&](const std::string&) { Write("binary.dat", "1 " + binary); },
         NotPrepared("binary", "not text")},
        // A name that is not UTF-8 is a name all the same.
        {"bad\xFF.esr", [&](const std::string&) { Write("bad\xFF.esr", spectrum); }, ""},
        {"bad\xFF.dat", [&](const std::string&) { Write("bad\xFF.dat", rows); }, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string path = PathOf(c.Name);
        c.Make(path);
        EXPECT_EQ(Refusal(path), c.Words);
    }
}

TEST_F(FileFaults, AByteOrderMarkIsNoPartOfAnyText) {
    const kivo_examples::KnownSpectrum known = kivo_examples::DerivativeLine(201, 3300, 3400);
    // The byte order of little-endian data on the first line, where the
    // mark would hide its key.
    kivo_examples::Bes3tFiles bes3t = kivo_examples::Bes3t(known, {'F', false, false, false});
    const size_t order = bes3t.Dsc.find("BSEQ");
    bes3t.Dsc = "BSEQ\tLIT\n" + bes3t.Dsc.substr(0, order) +
                bes3t.Dsc.substr(bes3t.Dsc.find('\n', order) + 1);
    const kivo_examples::EspFiles winepr = kivo_examples::Esp(known, true); // "DOS" comes first
    OptionsFile defaults;
    defaults.Layout = {700, 900, 445, 801, 152, 444, 1199, 115, 460, 1192, 17};
    defaults.DirName = "/data";
    const std::string help = "#Interface\nThe first topic\n#\n###\n";
    const std::string bom = "\xEF\xBB\xBF";

    // Each file read as the program reads it, as text to compare.
    auto spectrum = [](const std::string& path) { return ReadAsSaved(path); };
    auto options = [](const std::string& path) {
        OptionsFile o;
        const OptionsReadResult r = ReadOptionsFile(path, o);
        return r.FaultText() + "|" + FormatOptions(o);
    };
    auto helpTopic = [](const std::string& path) {
        std::string text, out;
        if (!ReadTextFile(path, text, size_t(1) << 20)) return std::string("not read");
        for (const std::string& line : HelpTopic(ReadHelpText(text), "#Interface")) out += line;
        return out;
    };
    struct Case {
        std::string Name, Text, Partner;
        std::function<std::string(const std::string&)> Read;
    } cases[] = {
        {"s.esr", EsrPoints("2"), "", spectrum},
        {"s.txt", "Spectr:\n1 3300 1\n2 3301 2\n", "", spectrum},
        {"s.dat", Rows(25), "", spectrum},
        {"s.DSC", bes3t.Dsc, bes3t.Dta, spectrum},
        {"s.par", winepr.Par, winepr.Spc, spectrum},
        {"s.opt", FormatOptions(defaults), "", options},
        {"KivoHelpEng.txt", help, "", helpTopic},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        if (!c.Partner.empty()) Write(c.Name == "s.DSC" ? "s.DTA" : "s.spc", c.Partner);
        const std::string plain = c.Read(Write(c.Name, c.Text));
        EXPECT_EQ(c.Read(Write(c.Name, bom + c.Text)), plain);
        // Read, not refused; every option taken.
        EXPECT_EQ(plain.find("FileSpectrum"), std::string::npos) << plain;
        EXPECT_NE(plain.rfind("line ", 0), 0u) << plain;
    }
}
