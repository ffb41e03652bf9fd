// Xvfb is started with -displayfd: it picks a free display number itself and
// writes it to a pipe once it accepts connections, so there is no guessing
// of numbers and no polling of sockets.
#include "record/private_display.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "tool/cleanup.h"

namespace {

constexpr int kDisplayFd = 3;  // the descriptor number Xvfb is told to write to

// The server to stop at exit(); one at a time.
PrivateDisplay* running = nullptr;

void stop_at_exit() {
    if (running != nullptr) running->stop();
}

// Waits at most `seconds` for `pid` to end; true when it has been reaped.
bool reap_within(pid_t pid, double seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        const pid_t done = ::waitpid(pid, nullptr, WNOHANG);
        if (done == pid || (done < 0 && errno == ECHILD)) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        ::usleep(5000);
    }
}

[[noreturn]] void run_server_in_child(pid_t parent, int write_end, int width, int height) {
    // End with the recorder even if it is killed without a chance to clean up.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent) ::_exit(127);
    if (write_end != kDisplayFd) {
        ::dup2(write_end, kDisplayFd);  // the copy does not close on exec
    } else {
        ::fcntl(kDisplayFd, F_SETFD, 0);
    }
    const int null_fd = ::open("/dev/null", O_RDWR);
    if (null_fd >= 0) {
        ::dup2(null_fd, 0);
        ::dup2(null_fd, 1);
        ::dup2(null_fd, 2);
    }
    // Signals the recorder blocks or handles are the server's business again.
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    char screen[32];
    std::snprintf(screen, sizeof screen, "%dx%dx24", width, height);
    ::execlp("Xvfb", "Xvfb", "-displayfd", "3", "-screen", "0", screen, "-nolisten", "tcp", static_cast<char*>(nullptr));
    ::_exit(127);
}

}  // namespace

bool PrivateDisplay::start(int width, int height, double timeout_seconds, std::string* error) {
    stop();
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        *error = std::string("cannot start the private X server: ") + std::strerror(errno);
        return false;
    }
    cleanup::install_signal_handlers();
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid < 0) {
        *error = std::string("cannot start the private X server: ") + std::strerror(errno);
        ::close(ends[0]);
        ::close(ends[1]);
        return false;
    }
    if (pid == 0) run_server_in_child(parent, ends[1], width, height);
    ::close(ends[1]);
    pid_ = pid;
    cleanup_slot_ = cleanup::remember_child(pid);
    static const bool registered = std::atexit(stop_at_exit) == 0;
    (void)registered;
    running = this;

    // Read "N\n" from the server.
    std::string number;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeout_seconds);
    bool ended = false;
    while (number.empty() || number.back() != '\n') {
        const double left = std::chrono::duration<double>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) break;
        pollfd wait{ends[0], POLLIN, 0};
        const int ready = ::poll(&wait, 1, static_cast<int>(left * 1000) + 1);
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) break;
        if (ready == 0) continue;
        char chunk[16];
        const ssize_t got = ::read(ends[0], chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            ended = true;
            break;
        }
        number.append(chunk, static_cast<size_t>(got));
    }
    ::close(ends[0]);
    const bool whole = !number.empty() && number.back() == '\n' &&
                       number.find_first_not_of("0123456789") == number.size() - 1 && number.size() > 1;
    if (!whole) {
        stop();
        if (ended)
            *error = "the private X server (Xvfb) could not start; is the xvfb package installed?";
        else
            *error = "the private X server (Xvfb) did not start within " +
                     std::to_string(static_cast<int>(timeout_seconds)) + " seconds";
        return false;
    }
    number.pop_back();
    name_ = ":" + number;
    return true;
}

void PrivateDisplay::stop() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        if (!reap_within(pid_, 3.0)) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        cleanup::forget_child(cleanup_slot_);
    }
    cleanup_slot_ = -1;
    pid_ = -1;
    name_.clear();
    if (running == this) running = nullptr;
}
