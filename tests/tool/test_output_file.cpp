// Output files that appear whole or not at all, and clean-up on fatal
// signals.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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
