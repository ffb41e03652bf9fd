// Read-only input through POSIX calls: open without O_CREAT, fstat to refuse
// folders and to size buffers, read until the end or an error.
#include "tool/input_source.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

InputSource::~InputSource() {
    if (mapped_ != nullptr) ::munmap(mapped_, mapped_size_);
    if (owned_) ::close(fd_);
}

bool InputSource::open(const std::string& path, bool dash_is_stdin) {
    if (dash_is_stdin && path == "-") {
        fd_ = STDIN_FILENO;
    } else {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
        if (fd < 0) {
            failure_ = Failure::cannot_open;
            error_ = errno;
            return false;
        }
        fd_ = fd;
        owned_ = true;
    }
    struct stat info {};
    if (::fstat(fd_, &info) == 0 && S_ISDIR(info.st_mode)) {
        failure_ = Failure::is_directory;
        error_ = EISDIR;
        if (owned_) ::close(fd_);
        fd_ = -1;
        owned_ = false;
        return false;
    }
    return true;
}

size_t InputSource::read_fd(char* out, size_t room) {
    if (fd_ < 0 || at_end_ || room == 0) return 0;
    for (;;) {
        const ssize_t got = ::read(fd_, out, room);
        if (got > 0) return static_cast<size_t>(got);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            failure_ = Failure::read_error;
            error_ = errno;
        }
        at_end_ = true;  // the end of the content, or an error that ends it here
        return 0;
    }
}

std::string_view InputSource::head(size_t want) {
    while (head_.size() < want && !at_end_) {
        const size_t old = head_.size();
        head_.resize(want);
        head_.resize(old + read_fd(&head_[old], want - old));
    }
    return std::string_view(head_).substr(0, want);
}

size_t InputSource::read(char* out, size_t room) {
    if (head_used_ < head_.size()) {
        const size_t take = std::min(room, head_.size() - head_used_);
        std::memcpy(out, head_.data() + head_used_, take);
        head_used_ += take;
        return take;
    }
    return read_fd(out, room);
}

void InputSource::read_rest(std::string& out, size_t padding) {
    struct stat info {};
    // At least one spare byte, so the read that finds the end of a regular
    // file needs no second allocation; pipes grow by doubling.
    const size_t spare = std::max<size_t>(padding, 1);
    if (fd_ >= 0 && ::fstat(fd_, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0)
        out.reserve(out.size() + static_cast<size_t>(info.st_size) + spare);
    constexpr size_t kPiece = size_t{1} << 16;
    for (;;) {
        if (out.capacity() - out.size() < spare)
            out.reserve(std::max(out.capacity() * 2, out.size() + kPiece));
        const size_t old = out.size();
        out.resize(out.capacity());
        const size_t got = read(&out[old], out.size() - old);
        out.resize(old + got);
        if (got == 0) break;
    }
    if (out.capacity() < out.size() + padding) out.reserve(out.size() + padding);
}

bool InputSource::map_whole(std::string_view* bytes) {
    struct stat info {};
    if (fd_ < 0 || ::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size <= 0) return false;
    void* data = ::mmap(nullptr, static_cast<size_t>(info.st_size), PROT_READ, MAP_PRIVATE, fd_, 0);
    if (data == MAP_FAILED) return false;
    ::madvise(data, static_cast<size_t>(info.st_size), MADV_SEQUENTIAL);
    if (mapped_ != nullptr) ::munmap(mapped_, mapped_size_);
    mapped_ = data;
    mapped_size_ = static_cast<size_t>(info.st_size);
    *bytes = std::string_view(static_cast<const char*>(data), mapped_size_);
    return true;
}

bool InputSource::is_regular() const {
    struct stat info {};
    return fd_ >= 0 && ::fstat(fd_, &info) == 0 && S_ISREG(info.st_mode);
}

bool InputSource::rewind() {
    // The looked-at head is served again, then the file from just after it.
    if (!is_regular() || ::lseek(fd_, static_cast<off_t>(head_.size()), SEEK_SET) < 0) return false;
    head_used_ = 0;
    at_end_ = false;
    return true;
}

std::string InputSource::failure_text(const std::string& name) const {
    switch (failure_) {
        case Failure::is_directory: return "cannot read " + name + ": it is a directory";
        case Failure::cannot_open: return "cannot open " + name + ": " + std::strerror(error_);
        case Failure::read_error: return "cannot read " + name + ": " + std::strerror(error_);
        case Failure::none: break;
    }
    return std::string();
}
