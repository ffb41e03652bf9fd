// A private virtual X server (Xvfb) that the recorder starts for its own
// window and always stops: when it is done, on error, at exit() (freeglut
// and Xlib end the process that way on fatal errors) and on SIGINT, SIGTERM
// or SIGHUP (through tool/cleanup.h). Should the recorder be killed outright,
// the kernel sends the server SIGTERM (parent-death signal).
#pragma once

#include <sys/types.h>

#include <string>

class PrivateDisplay {
public:
    PrivateDisplay() = default;
    PrivateDisplay(const PrivateDisplay&) = delete;
    PrivateDisplay& operator=(const PrivateDisplay&) = delete;
    ~PrivateDisplay() { stop(); }

    // Starts Xvfb with one screen of `width` x `height` x 24 on a display
    // number it picks itself, and waits (at most `timeout_seconds`) until it
    // accepts clients. False with a message otherwise.
    bool start(int width, int height, double timeout_seconds, std::string* error);
    // Stops the server and waits for it; safe to repeat.
    void stop();

    // ":N", once started.
    const std::string& name() const { return name_; }

private:
    std::string name_;
    pid_t pid_ = -1;
    int cleanup_slot_ = -1;
};
