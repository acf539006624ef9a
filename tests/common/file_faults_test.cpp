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
    // Writes a file and its partner (a spectrometer pair's data) beside it.
    std::string Write(const std::string& name, const std::string& bytes,
                      const std::string& partner = "") const {
        if (!partner.empty())
            kivo_examples::WriteBytes(
                (dir_ / (ShortName(name) + (name.back() == 'C' ? ".DTA" : ".spc"))).string(),
                partner);
        EXPECT_TRUE(kivo_examples::WriteBytes((dir_ / name).string(), bytes)) << name;
        return (dir_ / name).string();
    }
    fs::path dir_;
};

// What the window and the batch take from a file: its refusal, or each
// spectrum read as the .esr text it would be saved as.
std::string ReadAsSaved(const std::string& path) {
    if (FileKindOf(FileNameOf(path)) == KindDat) {
        const FileSpectra file = ReadColumnSpectra(path, MaxSpec);
        std::string out = file.Refusal;
        for (const FileSpectrum& s : file.Spectra)
            out += s.Refusal.empty() ? FormatSpectrum(s.Params, s.X.data(), s.Y.data()) : s.Refusal;
        return out;
    }
    SpectrumRead read;
    PrepareSpectrumRead(path, read);
    ReadSpectrum(read);
    const std::string refused = ReadRefusal(ShortName(path), read.Result, read.Params.NumPoints);
    return refused.empty() ? FormatSpectrum(read.Params, read.X.Data(), read.Y.Data()) : refused;
}

// The refusal of a file, "" when it gave its spectra.
std::string Refusal(const std::string& path) {
    const std::string read = ReadAsSaved(path);
    return read.rfind("    FileSpectrum ", 0) == 0 ? read : "";
}

std::string NotPrepared(const std::string& name, const std::string& reason) {
    return "    FileSpectrum " + name + " is not prepared properly " + reason + " ";
}

// Rows "3200 0" ... with value as the signal of row at (from 0).
std::string Rows(int count, int at = -1, const std::string& value = "") {
    std::string text;
    for (int k = 0; k < count; ++k)
        text += std::to_string(3200 + k) + " " + (k == at ? value : std::to_string(k % 10)) + "\n";
    return text;
}

// Three points after the header; the second one's signal as given (line 13).
std::string EsrPoints(const std::string& signal) {
    return FormatEsrHeader(ParamSpec{}) + "Spectr:\r\n3300 1\r\n3301 " + signal + "\r\n3302 -1\r\n";
}

} // namespace

TEST_F(FileFaults, AValueBeyondTheFloatRangeIsRefusedWithItsFileAndLine) {
    const kivo_examples::KnownSpectrum known = kivo_examples::DerivativeLine(201, 3300, 3400);
    const kivo_examples::Bes3tFiles bes3t = kivo_examples::Bes3t(known, {'F', true, false, false});
    const kivo_examples::EspFiles winepr = kivo_examples::Esp(known, true);
    const kivo_examples::EspFiles esp = kivo_examples::Esp(known, false);
    // A key put first in a spectrometer file is the one taken.
    const struct {
        std::string Name, Text, Partner, Words; // Words "" when the file is read
    } cases[] = {
        {"v.dat", Rows(12, 10, "1e39"), "", NotPrepared("v", "line 11")},
        {"v.dat", Rows(12, 10, "-1E+39"), "", NotPrepared("v", "line 11")},
        {"v.dat", Rows(12, 10, "1e400"), "", NotPrepared("v", "line 11")},
        {"v.dat", Rows(12, 10, "3,4e38"), "", ""}, // a decimal comma, below the limit
        {"v.dat", "h\n3200 1\n3201 2\n1e39 3\n", "", NotPrepared("v", "line 4")},
        {"v.esr", EsrPoints("1e39"), "", NotPrepared("v", "line 13")},
        {"v.esr", EsrPoints("-3.4e38"), "", ""},
        {"v.txt", "Spectr:\n1 3300 1\n2 1e39 2\n", "", NotPrepared("v", "line 3")},
        {"v.DSC", "XWID\t1e39\n" + bes3t.Dsc, bes3t.Dta,
         NotPrepared("v", "v.DSC line 1: XWID 1e39 is beyond the float range")},
        // 1e35 T is 1e39 G: the first field itself is too large.
        {"v.DSC", "XUNI\t'T'\n*\nXMIN\t1e35\n" + bes3t.Dsc, bes3t.Dta,
         NotPrepared("v", "v.DSC line 3: XMIN 1e35 is beyond the float range")},
        {"v.DSC", "XWID\t3e38\n" + bes3t.Dsc, bes3t.Dta, ""},
        {"v.par", "GST -1e39\r\n" + winepr.Par, winepr.Spc,
         NotPrepared("v", "v.par line 1: GST -1e39 is beyond the float range")},
        {"v.par", "HSW 1e39\r\n" + esp.Par, esp.Spc,
         NotPrepared("v", "v.par line 1: HSW 1e39 is beyond the float range")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("case " + std::to_string(&c - cases + 1));
        EXPECT_EQ(Refusal(Write(c.Name, c.Text, c.Partner)), c.Words);
    }
}

TEST_F(FileFaults, AFileThatCannotBeReadSaysWhy) {
    const std::string spectrum = EsrPoints("2"), rows = Rows(5);
    std::string utf16 = "\xFF\xFE", rows16, binary;
    for (char ch : spectrum) utf16 += std::string(1, ch) + '\0';
    for (char ch : rows) rows16 += std::string(1, ch) + '\0'; // without the mark
    for (int k = 0; k < 512; ++k) binary += char(k * 37 % 256);
    // Root reads a file of no permissions all the same.
    const bool root = ::geteuid() == 0;
    enum Make { Nothing, Directory, Locked, Pipe, DevNull, Bytes };
    const struct {
        std::string Name;
        Make How;
        std::string Bytes, Words; // Words "" when the file is read
    } cases[] = {
        {"nothere.esr", Nothing, "", NotPrepared("nothere", "not found")},
        {"nothere.dat", Nothing, "", NotPrepared("nothere", "not found")},
        // Named as given, not with the ending looked for beside it.
        {"nothere.dsc", Nothing, "", NotPrepared("nothere", "nothere.dsc not found")},
        {"x.esr", Directory, "", NotPrepared("x", "is a directory")},
        {"x.dat", Directory, "", NotPrepared("x", "is a directory")},
        {"locked.esr", Locked, spectrum, root ? "" : NotPrepared("locked", "permission denied")},
        {"locked.dat", Locked, rows, root ? "" : NotPrepared("locked", "permission denied")},
        {"pipe.esr", Pipe, "", NotPrepared("pipe", "not a regular file")},
        {"pipe.dat", Pipe, "", NotPrepared("pipe", "not a regular file")},
        {"null.esr", DevNull, "", NotPrepared("null", "not a regular file")},
        {"null.DSC", DevNull, "", NotPrepared("null", "null.DSC not a regular file")},
        {"empty.esr", Bytes, "", NotPrepared("empty", "empty")},
        {"empty.dat", Bytes, "", NotPrepared("empty", "empty")},
        {"nomarker.esr", Bytes, "l1\r\nl2\r\n1 2\r\n", NotPrepared("nomarker", "no Spectr: line")},
        {"nomarker.txt", Bytes, "1 3300 1\n", NotPrepared("nomarker", "no Spectr: line")},
        {"nodata.dat", Bytes, "field signal\n-\n", NotPrepared("nodata", "no data line")},
        {"utf16.esr", Bytes, utf16, NotPrepared("utf16", "not text")},
        {"utf16.dat", Bytes, rows16, NotPrepared("utf16", "not text")},
        {"binary.esr", Bytes, binary, NotPrepared("binary", "not text")},
        {"binary.dat", Bytes, "1 " + binary, NotPrepared("binary", "not text")},
        // A name that is not UTF-8 is a name all the same.
        {"bad\xFF.esr", Bytes, spectrum, ""},
        {"bad\xFF.dat", Bytes, rows, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string path = (dir_ / c.Name).string();
        if (c.How == Directory) fs::create_directory(path);
        if (c.How == Pipe) {
            ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
        }
        if (c.How == DevNull) fs::create_symlink("/dev/null", path);
        if (c.How == Bytes || c.How == Locked) Write(c.Name, c.Bytes);
        if (c.How == Locked) ::chmod(path.c_str(), 0);
        EXPECT_EQ(Refusal(path), c.Words);
    }
}

TEST_F(FileFaults, AByteOrderMarkIsNoPartOfAnyText) {
    // "DOS" comes first in a WinEPR file: hidden, the data would be taken
    // for ESP integers.
    const kivo_examples::EspFiles winepr =
        kivo_examples::Esp(kivo_examples::DerivativeLine(201, 3300, 3400), true);
    OptionsFile set;
    set.Layout = {700, 900, 445, 801, 152, 444, 1199, 115, 460, 1192, 17};
    auto options = [](const std::string& path) {
        OptionsFile o;
        return ReadOptionsFile(path, o).FaultText() + "|" + FormatOptions(o);
    };
    const struct {
        std::string Name, Text, Partner;
        std::function<std::string(const std::string&)> Read;
    } cases[] = {
        {"s.esr", EsrPoints("2"), "", ReadAsSaved},
        {"s.dat", Rows(25), "", ReadAsSaved},
        {"s.par", winepr.Par, winepr.Spc, ReadAsSaved},
        {"s.opt", FormatOptions(set), "", options}, // the help files are read the same way
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string plain = c.Read(Write(c.Name, c.Text, c.Partner));
        EXPECT_EQ(c.Read(Write(c.Name, "\xEF\xBB\xBF" + c.Text, c.Partner)), plain);
        // Read, not refused; every option taken.
        EXPECT_EQ(plain.find("FileSpectrum"), std::string::npos) << plain;
        EXPECT_EQ(plain.find("|"), c.Name == "s.opt" ? 0 : std::string::npos) << plain;
    }
}
