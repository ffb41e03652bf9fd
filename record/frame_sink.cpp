// The writer for each kind of animated output.
#include "record/frame_sink.h"

#include "record/gif_writer.h"
#include "record/mp4_writer.h"
#include "record/png_writer.h"

std::unique_ptr<FrameSink> open_frame_sink(OutputKind kind, const std::string& path, int width, int height, int fps,
                                           std::string* error) {
    switch (kind) {
        case OutputKind::Gif: {
            auto gif = std::make_unique<GifWriter>(width, height, fps);
            if (!gif->open(path, error)) return nullptr;
            return gif;
        }
        case OutputKind::Mp4: {
            auto mp4 = std::make_unique<Mp4Writer>(width, height, fps);
            if (!mp4->open(path, error)) return nullptr;
            return mp4;
        }
        case OutputKind::PngFolder: {
            auto folder = std::make_unique<PngFolderWriter>(path);
            if (!folder->open(error)) return nullptr;
            return folder;
        }
        case OutputKind::Still:
            break;
    }
    *error = "a still picture is not an animation";
    return nullptr;
}
