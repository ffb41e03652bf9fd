// Encoding beside drawing: frames go to a FrameSink on a second thread, so
// the next frame is drawn and read while the last one is being encoded.
// Frames reach the sink in the order given, one at a time.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "record/frame_image.h"
#include "record/frame_sink.h"

class EncodingThread {
public:
    explicit EncodingThread(FrameSink& sink);
    ~EncodingThread();  // waits for the frame in hand, then ends the thread
    EncodingThread(const EncodingThread&) = delete;
    EncodingThread& operator=(const EncodingThread&) = delete;

    // Waits until the thread can take a frame, then takes `frame` by
    // swapping buffers: `frame` comes back holding a buffer free to draw
    // into. False, with the sink's message, once any frame has failed.
    bool submit(FrameImage& frame, std::string* error);
    // Waits until every submitted frame is encoded; false with the first
    // failure's message.
    bool drain(std::string* error);

private:
    void run();

    FrameSink& sink_;
    std::mutex mutex_;
    std::condition_variable changed_;
    FrameImage pending_;  // handed over, not yet taken
    bool has_pending_ = false;
    bool busy_ = false;  // the thread is inside sink_.add
    bool stopping_ = false;
    bool failed_ = false;
    std::string failure_;
    std::thread thread_;  // last: starts once everything above is set up
};
