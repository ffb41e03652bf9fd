// PNG output through libpng: one picture to a file, or every frame of a
// recording into a folder as frame-00000.png, frame-00001.png, ...
#pragma once

#include <string>

#include "record/frame_image.h"
#include "record/frame_sink.h"

// Writes `image` as an 8-bit RGB PNG to `path`, in place only when whole.
bool write_png(const FrameImage& image, const std::string& path, std::string* error, uint64_t* size = nullptr);

// The file name of frame `n` inside `folder` (with or without a final '/').
std::string frame_file_name(const std::string& folder, int64_t n);

// Each frame is written as its own file, in place only once complete, so an
// interrupted recording leaves only whole frames behind.
class PngFolderWriter : public FrameSink {
public:
    explicit PngFolderWriter(std::string folder) : folder_(std::move(folder)) {}
    // False when the folder does not exist or is not writable.
    bool open(std::string* error);
    bool add(const FrameImage& frame, std::string* error) override;
    bool finish(std::string*) override { return true; }
    uint64_t bytes_written() const override { return bytes_; }

private:
    std::string folder_;
    int64_t frames_ = 0;
    uint64_t bytes_ = 0;
};
