// Output files that appear whole or not at all, and clean-up on fatal
// signals.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tool/output_file.h"
#include "tests/test_support.h"

namespace {

TEST(OutputFile, CommitReplacesTheTargetAndKeepsItsMode) {
    ScratchDir dir;
    const std::string target = dir.write("out.txt", "old");
    ::chmod(target.c_str(), 0640);
    OutputFile out;
    std::string error;
    ASSERT_TRUE(out.open(target, &error)) << error;
    ASSERT_TRUE(out.write("new "));
    ASSERT_TRUE(out.write(std::string(3 << 20, 'x')));  // larger than the buffer
    EXPECT_EQ(read_file(target), "old");                 // nothing visible before the commit
    ASSERT_TRUE(out.commit(&error)) << error;
    EXPECT_EQ(read_file(target), "new " + std::string(3 << 20, 'x'));
    struct stat info;
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(file_names_in(dir.path()), std::vector<std::string>{"out.txt"});
}

TEST(OutputFile, FailureOrAbandonLeavesTheTargetAsItWas) {
    ScratchDir dir;
    const std::string target = dir.write("out.txt", "old");
    {
        OutputFile out;
        ASSERT_TRUE(out.open(target, nullptr));
        out.write("half a file");
    }  // no commit
    EXPECT_EQ(read_file(target), "old");
    EXPECT_EQ(file_names_in(dir.path()), std::vector<std::string>{"out.txt"});

    OutputFile out;
    std::string error;
    EXPECT_FALSE(out.open(dir.path() + "/missing/out.txt", &error));
    EXPECT_NE(error.find(dir.path() + "/missing/out.txt"), std::string::npos) << error;
    EXPECT_NE(error.find("No such file"), std::string::npos) << error;
    EXPECT_FALSE(out.open(dir.path(), &error));
    EXPECT_NE(error.find("directory"), std::string::npos) << error;
}

// Targets that are not plain files: a link stays a link and its file is
// replaced; a FIFO's reader gets the bytes; a full device fails with its
// error, also for writers that write by name. Nothing is left beside them.
TEST(OutputFile, LinksAreFollowedDevicesAndFifosWrittenThrough) {
    ScratchDir dir;
    const std::string real = dir.write("real.txt", "old");
    const std::string link = dir.path() + "/link.txt";
    ASSERT_EQ(::symlink("real.txt", link.c_str()), 0);
    OutputFile out;
    std::string error;
    ASSERT_TRUE(out.open(link, &error)) << error;
    out.write("new");
    ASSERT_TRUE(out.commit(&error)) << error;
    struct stat info;
    ASSERT_EQ(::lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(read_file(real), "new");
    EXPECT_EQ(file_names_in(dir.path()), (std::vector<std::string>{"link.txt", "real.txt"}));

    const std::string fifo = dir.path() + "/fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const bool by_name : {false, true}) {
        const pid_t reader = ::fork();
        ASSERT_GE(reader, 0);
        if (reader == 0) {
            std::ifstream in(fifo);
            std::ostringstream got;
            got << in.rdbuf();
            ::_exit(got.str() == "through the pipe" ? 0 : 1);
        }
        ASSERT_TRUE(out.open(fifo, &error, by_name)) << error;
        if (by_name) {
            std::ofstream(out.temp_path()) << "through the pipe";
        } else {
            out.write("through the pipe");
        }
        ASSERT_TRUE(out.commit(&error)) << error;
        int status = 0;
        ASSERT_EQ(::waitpid(reader, &status, 0), reader);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "by name: " << by_name;
        ASSERT_EQ(::lstat(fifo.c_str(), &info), 0);
        EXPECT_TRUE(S_ISFIFO(info.st_mode));
    }

    // /dev/full through a link, so that a failure cannot touch the device.
    const std::string full = dir.path() + "/full";
    ASSERT_EQ(::symlink("/dev/full", full.c_str()), 0);
    for (const bool by_name : {false, true}) {
        ASSERT_TRUE(out.open(full, &error, by_name)) << error;
        if (by_name) {
            std::ofstream(out.temp_path()) << "bytes";
        } else {
            out.write("bytes");
        }
        EXPECT_FALSE(out.commit(&error));
        EXPECT_NE(error.find(std::strerror(ENOSPC)), std::string::npos) << error;
        ASSERT_EQ(::lstat(full.c_str(), &info), 0);
        EXPECT_TRUE(S_ISLNK(info.st_mode));
    }
    EXPECT_EQ(file_names_in(dir.path()), (std::vector<std::string>{"fifo", "full", "link.txt", "real.txt"}));
}

TEST(OutputFile, SameFileIsTheSameInodeNeverAStandardStream) {
    ScratchDir dir;
    const std::string input = dir.write("in.txt", "data");
    const std::string link = dir.path("link.txt");
    ASSERT_EQ(::link(input.c_str(), link.c_str()), 0);
    EXPECT_TRUE(is_same_file(input, dir.path() + "/./in.txt"));
    EXPECT_TRUE(is_same_file(input, link));  // another name of the same file
    EXPECT_FALSE(is_same_file(input, dir.write("copy.txt", "data")));
    EXPECT_FALSE(is_same_file(input, dir.path("missing.txt")));
    EXPECT_FALSE(is_same_file("-", "-"));
}

TEST(OutputFile, FatalSignalRemovesTheTemporaryFile) {
    ScratchDir dir;
    const std::string target = dir.write("out.txt", "old");
    for (int signal_number : {SIGINT, SIGTERM}) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            OutputFile out;
            if (!out.open(target, nullptr) || !out.write("partial")) ::_exit(3);
            ::raise(signal_number);
            ::_exit(4);  // not reached: the signal ends the process
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << status;
        EXPECT_EQ(WTERMSIG(status), signal_number);
        EXPECT_EQ(read_file(target), "old");
        EXPECT_EQ(file_names_in(dir.path()), std::vector<std::string>{"out.txt"});
    }
}

}  // namespace
