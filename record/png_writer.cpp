// libpng writing into an OutputFile. libpng reports errors by longjmp, so
// the function that calls it keeps only plain locals; write failures are
// not raised inside libpng at all but kept by the OutputFile for commit().
#include "record/png_writer.h"

#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <dirent.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "tool/cleanup.h"
#include "tool/output_file.h"
#include "tool/text_basics.h"

namespace {

// Where libpng's bytes go: a file, or memory.
struct PngTarget {
    OutputFile* out = nullptr;
    std::string* memory = nullptr;
    uint64_t bytes = 0;
};

void write_data(png_structp png, png_bytep data, png_size_t length) {
    auto* target = static_cast<PngTarget*>(png_get_io_ptr(png));
    const std::string_view piece(reinterpret_cast<const char*>(data), length);
    if (target->memory != nullptr) {
        target->memory->append(piece);
        target->bytes += length;
    } else if (target->out->write(piece)) {
        target->bytes += length;
    }
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

// The whole image through libpng into `target`; false when libpng failed.
bool encode_into(const FrameImage& image, PngTarget* target) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (png == nullptr || info == nullptr) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, target, write_data, flush_data);
    // Level 6 takes most of the gain of 9 at a fraction of its time; the
    // frames are mostly black.
    png_set_compression_level(png, 6);
    std::vector<png_bytep> rows(static_cast<size_t>(image.height));
    for (int y = 0; y < image.height; ++y) rows[static_cast<size_t>(y)] = const_cast<png_bytep>(image.row(y));
    const bool encoded = encode(png, info, image, rows.data());
    png_destroy_write_struct(&png, &info);
    return encoded;
}

}  // namespace

bool write_png(const FrameImage& image, const std::string& path, std::string* error, uint64_t* size) {
    OutputFile out;
    if (!out.open(path, error)) return false;
    PngTarget target;
    target.out = &out;
    if (!encode_into(image, &target)) {
        *error = "cannot write '" + path + "': libpng failed";
        return false;
    }
    if (!out.commit(error)) return false;
    if (size) *size = target.bytes;
    return true;
}

bool png_bytes(const FrameImage& image, std::string* bytes) {
    bytes->clear();
    PngTarget target;
    target.memory = bytes;
    return encode_into(image, &target);
}

namespace {

// The frames folder being written, for the fatal-signal hook, which may
// neither allocate nor lock: the folder's path, the names' width and how
// many frames may be in place (one more than counted, for the frame being
// renamed as the signal comes).
struct FolderUndo {
    std::atomic<bool> active{false};
    char folder[4096];  // with a final '/'
    size_t length = 0;
    int digits = 5;
    bool made_folder = false;
    std::atomic<int64_t> frames{0};
};
FolderUndo folder_undo;

// "frame-" + n padded to `digits` + ".png" after the folder, by hand:
// snprintf is not async-signal-safe.
bool undo_name(int64_t n, char* name, size_t room) {
    char number[24];
    int count = 0;
    do {
        number[count++] = static_cast<char>('0' + n % 10);
        n /= 10;
    } while (n > 0 && count < 20);
    while (count < folder_undo.digits && count < 20) number[count++] = '0';
    const size_t needed = folder_undo.length + 6 + static_cast<size_t>(count) + 5;
    if (needed > room) return false;
    char* out = name;
    std::memcpy(out, folder_undo.folder, folder_undo.length);
    out += folder_undo.length;
    std::memcpy(out, "frame-", 6);
    out += 6;
    while (count > 0) *out++ = number[--count];
    std::memcpy(out, ".png", 5);
    return true;
}

void undo_frames() {
    if (!folder_undo.active.load()) return;
    char name[4096 + 40];
    const int64_t frames = folder_undo.frames.load();
    for (int64_t n = 0; n <= frames; ++n)
        if (undo_name(n, name, sizeof name)) ::unlink(name);
    if (folder_undo.made_folder) ::rmdir(folder_undo.folder);
}

bool is_frame_name(const char* name) {
    const size_t length = std::strlen(name);
    if (length < 6 + 1 + 4 || std::strncmp(name, "frame-", 6) != 0 || std::strcmp(name + length - 4, ".png") != 0)
        return false;
    for (size_t i = 6; i < length - 4; ++i)
        if (!is_digit(name[i])) return false;
    return true;
}

std::string with_slash(const std::string& folder) {
    return !folder.empty() && folder.back() == '/' ? folder : folder + "/";
}

// The folder that holds `folder` ("." for a plain name).
std::string parent_of(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    const size_t slash = folder.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : folder.substr(0, slash);
}

}  // namespace

std::string frame_file_name(const std::string& folder, int64_t n, int digits) {
    char name[48];
    std::snprintf(name, sizeof name, "frame-%0*lld.png", digits, static_cast<long long>(n));
    return with_slash(folder) + name;
}

int frame_name_digits(int64_t frame_count) {
    int digits = 1;
    for (int64_t last = frame_count - 1; last >= 10; last /= 10) ++digits;
    return std::max(digits, 5);
}

bool frames_in_folder(const std::string& folder, std::vector<std::string>* names, std::string* error) {
    names->clear();
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        *error = "cannot read the folder '" + folder + "': " + std::strerror(errno);
        return false;
    }
    while (const dirent* entry = ::readdir(dir))
        if (is_frame_name(entry->d_name)) names->push_back(entry->d_name);
    ::closedir(dir);
    std::sort(names->begin(), names->end());
    return true;
}

PngFolderWriter::PngFolderWriter(std::string folder, FrameFolderSettings settings)
    : folder_(std::move(folder)), settings_(settings), digits_(frame_name_digits(settings.frame_count)) {}

PngFolderWriter::~PngFolderWriter() {
    if (undo_) abandon();
}

bool check_frame_folder(const std::string& folder, bool overwrite, std::string* error, bool* exists) {
    const std::string where = "cannot write frames into '" + folder + "': ";
    struct stat info;
    if (::stat(folder.c_str(), &info) != 0) {
        if (errno != ENOENT) {
            *error = where + std::strerror(errno);
            return false;
        }
        const std::string parent = parent_of(folder);
        if (::stat(parent.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
            *error = where + "the folder '" + parent + "' does not exist";
            return false;
        }
        if (exists) *exists = false;
        return true;
    }
    if (!S_ISDIR(info.st_mode)) {
        *error = where + "it is not a directory";
        return false;
    }
    if (exists) *exists = true;
    std::vector<std::string> old_frames;
    if (!frames_in_folder(folder, &old_frames, error)) return false;
    if (!old_frames.empty() && !overwrite) {
        *error = "the folder '" + folder + "' already holds " + std::to_string(old_frames.size()) + " frame" +
                 (old_frames.size() == 1 ? "" : "s") +
                 " (frame-*.png) of another recording; give --overwrite to replace them, or choose another folder";
        return false;
    }
    return true;
}

bool PngFolderWriter::open(std::string* error) {
    const std::string where = "cannot write frames into '" + folder_ + "': ";
    bool exists = false;
    if (!check_frame_folder(folder_, settings_.overwrite, error, &exists)) return false;
    if (!exists) {
        if (::mkdir(folder_.c_str(), 0777) != 0) {
            *error = where + std::strerror(errno);
            return false;
        }
        made_folder_ = true;
    }
    if (::access(folder_.c_str(), W_OK | X_OK) != 0) {
        *error = where + std::strerror(errno);
        if (made_folder_) ::rmdir(folder_.c_str());
        return false;
    }
    std::vector<std::string> old_frames;
    if (!frames_in_folder(folder_, &old_frames, error)) return false;
    for (const std::string& name : old_frames) {
        const std::string path = with_slash(folder_) + name;
        if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
            *error = "cannot remove the old frame '" + path + "': " + std::strerror(errno);
            return false;
        }
    }
    undo_ = true;
    // Only one folder is recorded at a time; should another be open, this
    // one is undone on failure but not on a signal.
    if (!folder_undo.active.load()) {
        const std::string folder = with_slash(folder_);
        if (folder.size() < sizeof folder_undo.folder) {
            std::memcpy(folder_undo.folder, folder.c_str(), folder.size() + 1);
            folder_undo.length = folder.size();
            folder_undo.digits = digits_;
            folder_undo.made_folder = made_folder_;
            folder_undo.frames.store(0);
            folder_undo.active.store(true);
            cleanup::install_signal_handlers();
            cleanup::set_fatal_hook(undo_frames);
            covered_by_signal_ = true;
        }
    }
    return true;
}

bool PngFolderWriter::add(const FrameImage& frame, std::string* error) {
    uint64_t size = 0;
    if (!write_png(frame, frame_file_name(folder_, frames_, digits_), error, &size)) return false;
    bytes_ += size;
    ++frames_;
    if (covered_by_signal_) folder_undo.frames.store(frames_);
    return true;
}

bool PngFolderWriter::finish(std::string*) {
    undo_ = false;
    stop_signal_cover();
    return true;
}

void PngFolderWriter::abandon() {
    if (!undo_) return;
    undo_ = false;
    stop_signal_cover();
    for (int64_t n = 0; n < frames_; ++n) ::unlink(frame_file_name(folder_, n, digits_).c_str());
    if (made_folder_) ::rmdir(folder_.c_str());
}

void PngFolderWriter::stop_signal_cover() {
    if (!covered_by_signal_) return;
    folder_undo.active.store(false);
    cleanup::set_fatal_hook(nullptr);
    covered_by_signal_ = false;
}

