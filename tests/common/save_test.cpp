// Saving over what is already there: the old file survives a failed save, a
// link is written through, the target keeps its permission bits, and what a
// killed save left behind is taken over by the next save.
#include "TYPEKIVO1_3.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

using namespace kivo;
namespace fs = std::filesystem;

namespace {

class SaveTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("kivo_save_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        p_.Line1 = "saved by the test";
        p_.NumPoints = 200;
        for (int k = 0; k < 200; ++k) x_[k] = 3300 + 0.5f * float(k), y_[k] = float(k % 13);
    }
    void TearDown() override {
        fs::permissions(dir_, fs::perms::owner_all);
        fs::remove_all(dir_);
    }
    // The error of a save to path, empty when it succeeded.
    std::string Save(const fs::path& path) const {
        std::string error;
        return WriteSpectrumFile(p_, x_, y_, path.string(), error) ? std::string() : error;
    }
    std::string Written() const { return FormatSpectrum(p_, x_, y_); }
    static std::string Slurp(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    static void Put(const fs::path& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    }
    size_t Entries() const {
        return size_t(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
    }
    static unsigned Mode(const fs::path& path) {
        struct stat st {};
        ::stat(path.c_str(), &st);
        return st.st_mode & 07777;
    }
    // Runs check as a user who owns nothing here (the tests may run as
    // root, whom no permission bit stops); it returns 0 or the failed step.
    static int AsOtherUser(const std::function<int()>& check) {
        if (::geteuid() != 0) return check();
        const pid_t child = ::fork();
        if (child == 0) {
            const bool dropped = ::setgid(65534) == 0 && ::setuid(65534) == 0;
            ::_exit(dropped ? check() : 99);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 98;
    }

    fs::path dir_;
    ParamSpec p_;
    float x_[200], y_[200];
};

} // namespace

TEST_F(SaveTest, AFailedOverwriteLeavesTheOldBytes) {
    const fs::path target = dir_ / "a.esr";
    Put(target, "old bytes\r\n");

    // The disk fills up halfway through the new file.
    struct rlimit before {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
    struct rlimit small = before;
    small.rlim_cur = 1000;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::string error = Save(target);
    ::setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(error, "cannot write " + target.string() + ": File too large");
    EXPECT_EQ(Slurp(target), "old bytes\r\n");
    EXPECT_EQ(Entries(), 1u);
}

TEST_F(SaveTest, WhatAKilledSaveLeftIsTakenOver) {
    const fs::path target = dir_ / "a.esr";
    Put(target, "old\r\n");
    // A complete temporary file, longer than the new one, and read-only.
    const fs::path left = SaveTempPath(target.string());
    EXPECT_EQ(left.parent_path(), dir_);
    Put(left, Written() + Written());
    fs::permissions(left, fs::perms::owner_read);
    ASSERT_EQ(Save(target), "");
    EXPECT_EQ(Slurp(target), Written());
    EXPECT_EQ(Entries(), 1u);
}

TEST_F(SaveTest, ALinkIsWrittenThroughAndStaysALink) {
    fs::create_directory(dir_ / "data");
    const fs::path real = dir_ / "data" / "real.esr";
    Put(real, "old\r\n");
    fs::create_symlink("data/real.esr", dir_ / "link.esr");
    fs::create_symlink(dir_ / "link.esr", dir_ / "second.esr"); // a chain, absolute
    ASSERT_EQ(Save(dir_ / "second.esr"), "");
    EXPECT_TRUE(fs::is_symlink(dir_ / "second.esr"));
    EXPECT_TRUE(fs::is_symlink(dir_ / "link.esr"));
    EXPECT_EQ(Slurp(real), Written());
    EXPECT_EQ(Entries(), 3u); // data, link, second: no temporary left

    // A link to a file not made yet makes that file.
    fs::create_symlink("made.esr", dir_ / "ahead.esr");
    ASSERT_EQ(Save(dir_ / "ahead.esr"), "");
    EXPECT_TRUE(fs::is_symlink(dir_ / "ahead.esr"));
    EXPECT_EQ(Slurp(dir_ / "made.esr"), Written());

    // A loop of links is no file to save to.
    fs::create_symlink("loop2.esr", dir_ / "loop1.esr");
    fs::create_symlink("loop1.esr", dir_ / "loop2.esr");
    EXPECT_EQ(Save(dir_ / "loop1.esr").rfind("cannot replace", 0), 0u);
    EXPECT_TRUE(fs::is_symlink(dir_ / "loop1.esr"));
}

TEST_F(SaveTest, TheTargetKeepsItsPermissionBits) {
    for (const unsigned mode : {0600u, 0640u, 0664u}) {
        const fs::path target = dir_ / (std::to_string(mode) + ".esr");
        Put(target, "old\r\n");
        ASSERT_EQ(::chmod(target.c_str(), mode), 0);
        ASSERT_EQ(Save(target), "");
        EXPECT_EQ(Mode(target), mode);
        EXPECT_EQ(Slurp(target), Written());
    }
}

TEST_F(SaveTest, AClosedDirectoryIsWrittenInPlaceAReadOnlyFileNotAtAll) {
    const fs::path closed = dir_ / "closed";
    const fs::path open = dir_ / "open";
    fs::create_directory(closed);
    fs::create_directory(open);
    Put(closed / "a.esr", "old\r\n");
    Put(open / "ro.esr", "kept\r\n");
    ASSERT_EQ(::chmod((closed / "a.esr").c_str(), 0666), 0);
    ASSERT_EQ(::chmod((open / "ro.esr").c_str(), 0444), 0);
    ASSERT_EQ(::chmod(open.c_str(), 0777), 0);
    ASSERT_EQ(::chmod(closed.c_str(), 0555), 0);
    const int failed = AsOtherUser([&] {
        if (!Save(closed / "a.esr").empty()) return 1;
        if (Slurp(closed / "a.esr") != Written()) return 2;
        if (Mode(closed / "a.esr") != 0666) return 3;
        if (Save(open / "ro.esr").rfind("cannot write", 0) != 0) return 4;
        if (Slurp(open / "ro.esr") != "kept\r\n") return 5;
        return 0;
    });
    ::chmod(closed.c_str(), 0755);
    EXPECT_EQ(failed, 0);
    EXPECT_EQ(std::distance(fs::directory_iterator(closed), fs::directory_iterator()), 1);
    EXPECT_EQ(std::distance(fs::directory_iterator(open), fs::directory_iterator()), 1);
}
