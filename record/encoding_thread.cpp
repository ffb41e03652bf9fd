// One frame slot between the drawing thread and the encoding thread; three
// buffers rotate between them (the caller's, the slot's and the one being
// encoded), so no frame is copied on the way.
#include "record/encoding_thread.h"

#include <utility>

EncodingThread::EncodingThread(FrameSink& sink) : sink_(sink), thread_([this] { run(); }) {}

EncodingThread::~EncodingThread() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void EncodingThread::run() {
    FrameImage working;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return has_pending_ || stopping_; });
        if (!has_pending_) return;  // stopping with nothing left
        std::swap(working, pending_);
        has_pending_ = false;
        if (failed_) {  // after a failure the rest is dropped
            changed_.notify_all();
            continue;
        }
        busy_ = true;
        changed_.notify_all();
        lock.unlock();
        std::string error;
        const bool added = sink_.add(working, &error);
        lock.lock();
        busy_ = false;
        if (!added && !failed_) {
            failed_ = true;
            failure_ = error;
        }
        changed_.notify_all();
    }
}

bool EncodingThread::submit(FrameImage& frame, std::string* error) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !has_pending_ || failed_; });
    if (failed_) {
        *error = failure_;
        return false;
    }
    std::swap(frame, pending_);
    has_pending_ = true;
    changed_.notify_all();
    return true;
}

bool EncodingThread::drain(std::string* error) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return (!has_pending_ && !busy_) || failed_; });
    if (failed_) {
        // The frame in hand may still be in the sink; wait it out before the
        // caller tears the sink down.
        changed_.wait(lock, [this] { return !busy_; });
        *error = failure_;
        return false;
    }
    return true;
}
