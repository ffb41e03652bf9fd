// libpng writing into an OutputFile. libpng reports errors by longjmp, so
// the function that calls it keeps only plain locals; write failures are
// not raised inside libpng at all but kept by the OutputFile for commit().
#include "record/png_writer.h"

#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include "tool/output_file.h"

namespace {

struct PngTarget {
    OutputFile* out;
    uint64_t bytes;
};

void write_data(png_structp png, png_bytep data, png_size_t length) {
    auto* target = static_cast<PngTarget*>(png_get_io_ptr(png));
    if (target->out->write(std::string_view(reinterpret_cast<const char*>(data), length))) target->bytes += length;
}

void flush_data(png_structp) {}

// libpng's part; false when libpng gave up (out of memory). `rows` points
// at each row of the image.
bool encode(png_structp png, png_infop info, const FrameImage& image, png_bytep* rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_set_bgr(png);                        // the frame's bytes are B, G, R
    png_set_filler(png, 0, PNG_FILLER_AFTER);  // and A, which PNG does not get
    png_write_image(png, rows);
    png_write_end(png, info);
    return true;
}

}  // namespace

bool write_png(const FrameImage& image, const std::string& path, std::string* error, uint64_t* size) {
    OutputFile out;
    if (!out.open(path, error)) return false;
    PngTarget target{&out, 0};
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (png == nullptr || info == nullptr) {
        png_destroy_write_struct(&png, &info);
        *error = "cannot write '" + path + "': out of memory";
        return false;
    }
    png_set_write_fn(png, &target, write_data, flush_data);
    // Level 6 takes most of the gain of 9 at a fraction of its time; the
    // frames are mostly black.
    png_set_compression_level(png, 6);
    std::vector<png_bytep> rows(static_cast<size_t>(image.height));
    for (int y = 0; y < image.height; ++y) rows[static_cast<size_t>(y)] = const_cast<png_bytep>(image.row(y));
    const bool encoded = encode(png, info, image, rows.data());
    png_destroy_write_struct(&png, &info);
    if (!encoded) {
        *error = "cannot write '" + path + "': libpng failed";
        return false;
    }
    if (!out.commit(error)) return false;
    if (size) *size = target.bytes;
    return true;
}

std::string frame_file_name(const std::string& folder, int64_t n) {
    char name[32];
    std::snprintf(name, sizeof name, "frame-%05lld.png", static_cast<long long>(n));
    if (!folder.empty() && folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

bool PngFolderWriter::open(std::string* error) {
    struct stat info;
    if (::stat(folder_.c_str(), &info) != 0) {
        *error = "cannot write frames into '" + folder_ + "': " + std::strerror(errno);
        return false;
    }
    if (!S_ISDIR(info.st_mode)) {
        *error = "cannot write frames into '" + folder_ + "': it is not a directory";
        return false;
    }
    if (::access(folder_.c_str(), W_OK | X_OK) != 0) {
        *error = "cannot write frames into '" + folder_ + "': " + std::strerror(errno);
        return false;
    }
    return true;
}

bool PngFolderWriter::add(const FrameImage& frame, std::string* error) {
    uint64_t size = 0;
    if (!write_png(frame, frame_file_name(folder_, frames_), error, &size)) return false;
    bytes_ += size;
    ++frames_;
    return true;
}
