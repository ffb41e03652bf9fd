// The encoding thread: every frame reaches the sink once, in order and
// unchanged, however the drawing side reuses its buffers; a failing frame
// stops the recording with the sink's message.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "record/encoding_thread.h"

namespace {

// Keeps the first pixel of each frame; fails at frame `fail_at` (or never).
class ListSink : public FrameSink {
public:
    explicit ListSink(int fail_at = -1) : fail_at_(fail_at) {}
    bool add(const FrameImage& frame, std::string* error) override {
        if (static_cast<int>(seen.size()) == fail_at_) {
            *error = "disk full at frame " + std::to_string(fail_at_);
            return false;
        }
        seen.push_back(frame.pixel(0, 0)[0] | (frame.pixel(1, 0)[0] << 8));
        return true;
    }
    bool finish(std::string*) override { return true; }
    uint64_t bytes_written() const override { return 0; }
    std::vector<int> seen;

private:
    int fail_at_;
};

FrameImage numbered(FrameImage frame, int n) {
    if (frame.width != 2) frame = FrameImage(2, 1);
    frame.pixel(0, 0)[0] = static_cast<uint8_t>(n & 0xff);
    frame.pixel(1, 0)[0] = static_cast<uint8_t>(n >> 8);
    return frame;
}

TEST(EncodingThread, EveryFrameArrivesOnceInOrder) {
    ListSink sink;
    std::vector<int> want;
    {
        EncodingThread encoder(sink);
        FrameImage frame;
        std::string error;
        for (int n = 0; n < 3000; ++n) {
            frame = numbered(std::move(frame), n);  // draws into whatever buffer came back
            ASSERT_TRUE(encoder.submit(frame, &error)) << error;
            want.push_back(n);
        }
        ASSERT_TRUE(encoder.drain(&error)) << error;
        EXPECT_EQ(sink.seen, want) << "all frames in the sink once drained";
    }
}

TEST(EncodingThread, AFailureStopsTheRecordingWithTheSinksMessage) {
    ListSink sink(5);
    EncodingThread encoder(sink);
    FrameImage frame;
    std::string error;
    int n = 0;
    while (n < 1000) {
        frame = numbered(std::move(frame), n);
        if (!encoder.submit(frame, &error)) break;
        ++n;
    }
    EXPECT_LT(n, 1000) << "submit reports the failure";
    EXPECT_EQ(error, "disk full at frame 5");
    error.clear();
    EXPECT_FALSE(encoder.drain(&error));
    EXPECT_EQ(error, "disk full at frame 5");
    EXPECT_EQ(sink.seen, (std::vector<int>{0, 1, 2, 3, 4}));
}

}  // namespace
