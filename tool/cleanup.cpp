// Fixed tables the signal handler can walk without allocating or locking:
// a slot is filled completely before it is marked in use, and the handler
// only reads slots marked in use.
#include "tool/cleanup.h"

#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace cleanup {
namespace {

constexpr int kSlots = 16;
constexpr size_t kPathRoom = 4096;  // PATH_MAX on Linux

struct PathSlot {
    std::atomic<bool> used{false};
    char path[kPathRoom];
};
struct ChildSlot {
    std::atomic<bool> used{false};
    std::atomic<pid_t> pid{0};
};

PathSlot paths[kSlots];
ChildSlot children[kSlots];
std::atomic<bool> installed{false};
// Set when a fatal signal arrives, so that a file another thread remembers
// afterwards is removed at once; `creating` counts the threads between
// creating a file and remembering it, which the handler waits for briefly.
std::atomic<bool> dying{false};
std::atomic<int> creating{0};
std::atomic<void (*)()> fatal_hook{nullptr};

void on_fatal_signal(int signal_number) {
    dying.store(true);
    // Another thread that has just created a file remembers it within
    // microseconds; wait up to a tenth of a second for it.
    for (int i = 0; i < 100 && creating.load() > 0; ++i) {
        const struct timespec millisecond = {0, 1000000};
        ::nanosleep(&millisecond, nullptr);
    }
    for (ChildSlot& child : children)
        if (child.used.load()) ::kill(child.pid.load(), SIGTERM);
    for (PathSlot& slot : paths)
        if (slot.used.load()) ::unlink(slot.path);
    // After the temporary files, which may lie in a folder the hook removes.
    if (void (*hook)() = fatal_hook.load()) hook();
    // End as the signal would have, so the parent sees the real cause.
    ::signal(signal_number, SIG_DFL);
    ::raise(signal_number);
}

}  // namespace

void install_signal_handlers() {
    if (installed.exchange(true)) return;
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = on_fatal_signal;
    sigemptyset(&action.sa_mask);
    for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&action.sa_mask, signal_number);
    for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal_number, &action, nullptr);
}

int remember_path(const std::string& path) {
    if (path.size() >= kPathRoom) return -1;
    for (int i = 0; i < kSlots; ++i) {
        if (paths[i].used.load()) continue;
        std::memcpy(paths[i].path, path.c_str(), path.size() + 1);
        paths[i].used.store(true);
        // The handler may have walked the table already.
        if (dying.load()) ::unlink(paths[i].path);
        return i;
    }
    return -1;
}

void creating_file(bool begin) {
    if (begin)
        ++creating;
    else
        --creating;
}

void forget_path(int slot) {
    if (slot >= 0 && slot < kSlots) paths[slot].used.store(false);
}

void set_fatal_hook(void (*hook)()) { fatal_hook.store(hook); }

int remember_child(pid_t pid) {
    for (int i = 0; i < kSlots; ++i) {
        if (children[i].used.load()) continue;
        children[i].pid.store(pid);
        children[i].used.store(true);
        return i;
    }
    return -1;
}

void forget_child(int slot) {
    if (slot >= 0 && slot < kSlots) children[slot].used.store(false);
}

}  // namespace cleanup
