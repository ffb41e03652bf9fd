// The recorder's recording loop when the disk gives out: through a seam over
// OutputFile's write call, every write fails as on a full disk or a failing
// device; the recording must end with status 1 and a message, and leave
// neither the output nor any temporary file.
#include <errno.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "record/png_writer.h"
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
    void window_days(double* start, double* end) const override { *start = *end = static_cast<double>(k_); }
    int64_t k_ = 0;
};

TEST(Recording, AFailingWriteLeavesNoOutputNoTemporaryFileAndExitsWith1) {
    set_program_name("sismap-record");  // as the recorder's main sets it
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
            EXPECT_EQ(status, kExitFailed);
            EXPECT_NE(message.find("sismap-record: cannot write"), std::string::npos) << message;
            EXPECT_NE(message.find(std::strerror(error_number)), std::string::npos) << message;
            EXPECT_EQ(file_names_in(dir.path()), std::vector<std::string>{}) << message;
        }
    }
    output_seam::write_call = real_write;
}

// Records `last + 1` frames of `side` pixels into `options`' output; the
// status, with standard error in `message`.
int record_frames(const RecordOptions& options, int64_t last, int side, std::string* message) {
    CountingFrames frames;
    const DrawFrame draw = [&frames, side](const char*, FrameImage* image) {
        *image = FrameImage(side, side);
        image->pixel(static_cast<int>(frames.k_ % side), 1)[0] = 255;
    };
    testing::internal::CaptureStderr();
    const int status = record_animation(options, FramePlan{0, last, 1}, frames, draw, side, side);
    *message = testing::internal::GetCapturedStderr();
    return status;
}

RecordOptions folder_options(const std::string& folder) {
    RecordOptions options;
    options.kind = OutputKind::PngFolder;
    options.output_path = folder;
    options.quiet = true;
    return options;
}

TEST(Recording, AMissingFramesFolderIsMadeButNotItsParent) {
    ScratchDir dir;
    std::string message;
    EXPECT_EQ(record_frames(folder_options(dir.path("new") + "/"), 2, 8, &message), kExitDone) << message;
    EXPECT_EQ(file_names_in(dir.path("new")),
              (std::vector<std::string>{"frame-00000.png", "frame-00001.png", "frame-00002.png"}));

    EXPECT_EQ(record_frames(folder_options(dir.path("none/sub/")), 2, 8, &message), kExitFailed);
    EXPECT_NE(message.find("the folder '" + dir.path("none") + "' does not exist"), std::string::npos) << message;
    EXPECT_EQ(file_names_in(dir.path()), std::vector<std::string>{"new"});
}

TEST(Recording, AFolderHoldingFramesIsRefusedUnlessOverwriteRemovesThem) {
    ScratchDir dir;
    const std::string folder = dir.path() + "/";
    std::string message;
    ASSERT_EQ(record_frames(folder_options(folder), 11, 8, &message), kExitDone) << message;
    dir.write("notes.txt", "kept");

    // A second, shorter recording must not leave the first one's frames.
    EXPECT_EQ(record_frames(folder_options(folder), 2, 8, &message), kExitFailed);
    EXPECT_NE(message.find("already holds 12 frames"), std::string::npos) << message;
    EXPECT_NE(message.find("--overwrite"), std::string::npos) << message;
    std::string error;
    EXPECT_FALSE(check_frame_folder(folder, false, &error));
    EXPECT_EQ(file_names_in(dir.path()).size(), 13u);

    RecordOptions overwrite = folder_options(folder);
    overwrite.overwrite = true;
    EXPECT_EQ(record_frames(overwrite, 2, 8, &message), kExitDone) << message;
    EXPECT_EQ(file_names_in(dir.path()),
              (std::vector<std::string>{"frame-00000.png", "frame-00001.png", "frame-00002.png", "notes.txt"}));
}

// Writes succeed until `writes_left` runs out, then fail as a full disk.
int writes_left = 0;
ssize_t write_until_full(int fd, const void* bytes, size_t size) {
    if (writes_left-- > 0) return ::write(fd, bytes, size);
    errno = ENOSPC;
    return -1;
}

TEST(Recording, AFailureRemovesTheFramesWrittenAndTheFolderItMade) {
    ScratchDir dir;
    dir.write("notes.txt", "kept");
    const output_seam::WriteCall real_write = output_seam::write_call;
    output_seam::write_call = write_until_full;
    for (const std::string& folder : {dir.path() + "/", dir.path("made") + "/"}) {
        writes_left = 5;  // a few whole frames, then the disk is full
        std::string message;
        EXPECT_EQ(record_frames(folder_options(folder), 40, 8, &message), kExitFailed) << folder;
        EXPECT_NE(message.find(std::strerror(ENOSPC)), std::string::npos) << message;
        EXPECT_EQ(file_names_in(dir.path()), std::vector<std::string>{"notes.txt"}) << folder;
    }
    output_seam::write_call = real_write;
}

TEST(Recording, FrameNamesSortInFrameOrderPastOneHundredThousand) {
    EXPECT_EQ(frame_name_digits(1), 5);
    EXPECT_EQ(frame_name_digits(100000), 5);   // the last is frame 99999
    EXPECT_EQ(frame_name_digits(100001), 6);
    EXPECT_EQ(frame_name_digits(2000000), 7);
    ScratchDir dir;
    PngFolderWriter writer(dir.path(), FrameFolderSettings{100001, false});
    std::string error;
    ASSERT_TRUE(writer.open(&error)) << error;
    ASSERT_TRUE(writer.add(FrameImage(4, 4), &error)) << error;
    ASSERT_TRUE(writer.finish(&error));
    EXPECT_EQ(file_names_in(dir.path()), std::vector<std::string>{"frame-000000.png"});
}

TEST(Recording, ALongRecordingIsAnnouncedWithItsFrameCountBeforeItStarts) {
    for (const int64_t last : {int64_t{kAnnouncedFrames} - 1, int64_t{kAnnouncedFrames}}) {
        ScratchDir dir;
        RecordOptions options;
        options.kind = OutputKind::Gif;
        options.output_path = dir.path("long.gif");
        std::string message;
        ASSERT_EQ(record_frames(options, last, 2, &message), kExitDone) << message;
        const std::string count = "sismap-record: " + std::to_string(last + 1) + " frames to record";
        if (last + 1 > static_cast<int64_t>(kAnnouncedFrames)) {
            EXPECT_EQ(message.find(count), 0u) << message;
            EXPECT_NE(message.find("takes about"), std::string::npos) << message;
        } else {
            EXPECT_EQ(message.find("frames to record"), std::string::npos) << message;
        }
    }
}

}  // namespace
