// PNG output through libpng: one picture to a file, or every frame of a
// recording into a folder as frame-00000.png, frame-00001.png, ... (names
// padded to the width of the last frame's number, at least five digits).
#pragma once

#include <string>
#include <vector>

#include "record/frame_image.h"
#include "record/frame_sink.h"

// Writes `image` as an 8-bit RGB PNG to `path`, in place only when whole.
bool write_png(const FrameImage& image, const std::string& path, std::string* error, uint64_t* size = nullptr);

// `image` as the bytes of a PNG file, in `bytes`; false when libpng fails.
bool png_bytes(const FrameImage& image, std::string* bytes);

// The file name of frame `n` inside `folder` (with or without a final '/'),
// its number padded with zeros to `digits`.
std::string frame_file_name(const std::string& folder, int64_t n, int digits = 5);

// Digits of the frame names of a recording of `frame_count` frames: those of
// the last frame's number, at least five, so the names sort in frame order.
int frame_name_digits(int64_t frame_count);

// The names of the frame-<digits>.png files in `folder`, sorted; false with
// a message when the folder cannot be read.
bool frames_in_folder(const std::string& folder, std::vector<std::string>* names, std::string* error);

// Whether frames can go into `folder`, before anything is made: it is a
// directory, or missing with an existing parent (`exists` tells which), and
// holds no frame-*.png unless `overwrite`. False with a message otherwise.
bool check_frame_folder(const std::string& folder, bool overwrite, std::string* error, bool* exists = nullptr);

// How a frames folder is treated: `frame_count` frames are coming, and with
// `overwrite` the frames another recording left there are removed first
// (without it such a folder is refused).
struct FrameFolderSettings {
    int64_t frame_count = 0;
    bool overwrite = false;
};

// Each frame is written as its own file, in place only once complete. The
// folder is made when missing (its parent must exist). Until finish(), the
// frames written are the writer's to undo: a failure (the writer's end
// without finish), a fatal signal or abandon() removes them, and the folder
// too when the writer made it, so the folder is left as it was.
class PngFolderWriter : public FrameSink {
public:
    explicit PngFolderWriter(std::string folder, FrameFolderSettings settings = {});
    ~PngFolderWriter() override;
    PngFolderWriter(const PngFolderWriter&) = delete;
    PngFolderWriter& operator=(const PngFolderWriter&) = delete;
    // False when the folder cannot be made or written, or already holds
    // frames and overwrite was not asked for.
    bool open(std::string* error);
    bool add(const FrameImage& frame, std::string* error) override;
    bool finish(std::string*) override;
    uint64_t bytes_written() const override { return bytes_; }
    void abandon() override;

private:
    void stop_signal_cover();

    std::string folder_;
    FrameFolderSettings settings_;
    int digits_ = 5;
    int64_t frames_ = 0;
    uint64_t bytes_ = 0;
    bool made_folder_ = false;
    bool undo_ = false;  // frames written here are to be removed on failure
    bool covered_by_signal_ = false;
};
