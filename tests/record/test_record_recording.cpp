// The recorder's recording loop when the disk gives out: through a seam over
// OutputFile's write call, every write fails as on a full disk or a failing
// device; the recording must end with status 1 and a message, and leave
// neither the output nor any temporary file.
#include <errno.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "record/recording.h"
#include "tests/scratch_dir.h"
#include "tool/output_file.h"

namespace {

int failing_errno = ENOSPC;
ssize_t failing_write(int, const void*, size_t) {
    errno = failing_errno;
    return -1;
}

// Frames that differ from one another, so every frame has bytes to write.
class CountingFrames final : public FrameSequence {
public:
    void go_to(int64_t k) override { k_ = k; }
    const char* legend() const override { return nullptr; }
    std::string dates() const override { return std::to_string(k_); }
    int64_t k_ = 0;
};

TEST(Recording, AFailingWriteLeavesNoOutputNoTemporaryFileAndExitsWith1) {
    const output_seam::WriteCall real_write = output_seam::write_call;
    output_seam::write_call = failing_write;
    for (int error_number : {ENOSPC, EIO}) {
        failing_errno = error_number;
        for (OutputKind kind : {OutputKind::Gif, OutputKind::PngFolder}) {
            ScratchDir dir;
            RecordOptions options;
            options.kind = kind;
            options.output_path = kind == OutputKind::Gif ? dir.path("out.gif") : dir.path() + "/";
            options.quiet = true;
            CountingFrames frames;
            const DrawFrame draw = [&frames](const char*, FrameImage* image) {
                *image = FrameImage(64, 64);
                image->pixel(static_cast<int>(frames.k_ % 64), 5)[0] = 255;
            };
            testing::internal::CaptureStderr();
            const int status = record_animation(options, FramePlan{0, 40, 1}, frames, draw, 64, 64);
            const std::string message = testing::internal::GetCapturedStderr();
            EXPECT_EQ(status, kExitFailure);
            EXPECT_NE(message.find("sismap-record: cannot write"), std::string::npos) << message;
            EXPECT_NE(message.find(std::strerror(error_number)), std::string::npos) << message;
            EXPECT_EQ(file_names_in(dir.path()), std::vector<std::string>{}) << message;
        }
    }
    output_seam::write_call = real_write;
}

}  // namespace
