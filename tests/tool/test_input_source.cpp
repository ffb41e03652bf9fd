// Reading inputs: a pipe read once with its head served again, folders and
// missing files refused in the one wording users see, and reads that a
// signal interrupts carried on rather than taken for the end of the file.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "tests/scratch_dir.h"
#include "tool/input_source.h"

namespace {

std::string read_all(InputSource& input) {
    std::string out;
    char buffer[7];  // small, so reads cross the head's end
    for (size_t got; (got = input.read(buffer, sizeof buffer)) > 0;) out.append(buffer, got);
    return out;
}

// Standard input replaced by the read end of a pipe for one test.
class PipedStdin {
public:
    PipedStdin() {
        int ends[2];
        EXPECT_EQ(::pipe(ends), 0);
        write_end_ = ends[1];
        saved_ = ::dup(STDIN_FILENO);
        ::dup2(ends[0], STDIN_FILENO);
        ::close(ends[0]);
    }
    ~PipedStdin() {
        close_writer();
        ::dup2(saved_, STDIN_FILENO);
        ::close(saved_);
    }
    void write_text(const std::string& text) {
        ASSERT_EQ(::write(write_end_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }
    void close_writer() {
        if (write_end_ >= 0) ::close(write_end_);
        write_end_ = -1;
    }

private:
    int write_end_ = -1;
    int saved_ = -1;
};

TEST(InputSource, PipeServesItsHeadAgainThenTheRestOnce) {
    PipedStdin pipe;
    const std::string text = "header line\n1,2,3\n4,5,6\n";
    pipe.write_text(text);
    pipe.close_writer();

    InputSource input;
    ASSERT_TRUE(input.open("-", true));
    EXPECT_FALSE(input.is_regular());
    EXPECT_EQ(input.head(6), "header");
    EXPECT_EQ(input.head(11), "header line");  // a longer look reads on, once
    std::string_view mapped;
    EXPECT_FALSE(input.map_whole(&mapped));  // a pipe cannot be mapped
    EXPECT_EQ(read_all(input), text);
    EXPECT_EQ(input.failure(), InputSource::Failure::none);
}

TEST(InputSource, HeadLongerThanTheInputAndReadRestWithPadding) {
    ScratchDir dir;
    const std::string path = dir.path("short.txt");
    dir.write("short.txt", "abc");
    InputSource input;
    ASSERT_TRUE(input.open(path, false));
    EXPECT_EQ(input.head(100), "abc");
    std::string rest = "x";
    input.read_rest(rest, 64);
    EXPECT_EQ(rest, "xabc");
    EXPECT_GE(rest.capacity(), rest.size() + 64);
    ASSERT_TRUE(input.rewind());
    EXPECT_EQ(read_all(input), "abc");
}

TEST(InputSource, DashIsAFileNameUnlessAskedOtherwise) {
    InputSource input;
    EXPECT_FALSE(input.open("-", false));
    EXPECT_EQ(input.failure(), InputSource::Failure::cannot_open);
}

TEST(InputSource, FailuresReadTheSameInEveryProgram) {
    ScratchDir dir;
    InputSource folder;
    EXPECT_FALSE(folder.open(dir.path(), false));
    EXPECT_EQ(folder.failure(), InputSource::Failure::is_directory);
    EXPECT_EQ(folder.failure_text("quakes"), "cannot read quakes: it is a directory");

    InputSource missing;
    EXPECT_FALSE(missing.open(dir.path("absent.txt"), false));
    EXPECT_EQ(missing.failure_text("absent.txt"), "cannot open absent.txt: No such file or directory");

    InputSource fine;
    dir.write("ok.txt", "1\n");
    ASSERT_TRUE(fine.open(dir.path("ok.txt"), false));
    EXPECT_EQ(fine.failure_text("ok.txt"), "");
}

std::atomic<int> interruptions{0};
void count_interruption(int) { ++interruptions; }

// A signal that arrives while a read waits on a pipe (with no SA_RESTART,
// so read() returns EINTR) is not the end of the input: everything written
// afterwards is still read.
TEST(InputSource, InterruptedReadIsRetried) {
    struct sigaction action {}, previous{};
    action.sa_handler = count_interruption;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    ASSERT_EQ(::sigaction(SIGUSR1, &action, &previous), 0);

    PipedStdin pipe;
    InputSource input;
    ASSERT_TRUE(input.open("-", true));
    const pthread_t reader = ::pthread_self();
    std::thread writer([&] {
        // Interrupt the blocked read several times, then feed it.
        for (int i = 0; i < 5 || interruptions == 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            ::pthread_kill(reader, SIGUSR1);
        }
        pipe.write_text("after the signal\n");
        pipe.close_writer();
    });
    const std::string text = read_all(input);
    writer.join();
    ::sigaction(SIGUSR1, &previous, nullptr);
    EXPECT_GE(interruptions.load(), 1);
    EXPECT_EQ(text, "after the signal\n");
    EXPECT_EQ(input.failure(), InputSource::Failure::none);
}

}  // namespace
