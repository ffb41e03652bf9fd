// Read-only file access through POSIX calls: open without O_CREAT, fstat to
// refuse directories and to size the buffer once, read until end or error.
#include "data/file_bytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

InputFile::~InputFile() {
    if (fd_ >= 0) ::close(fd_);
}

bool InputFile::open(const char* path) {
    int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return false;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

void InputFile::read_all(std::string& out) {
    if (fd_ < 0) return;
    struct stat info {};
    size_t expected = 0;
    if (::fstat(fd_, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0)
        expected = static_cast<size_t>(info.st_size);
    size_t used = out.size();
    // One allocation for a regular file; pipes and growing files fall back
    // to doubling.
    out.resize(used + (expected > 0 ? expected + 1 : 65536));
    for (;;) {
        if (used == out.size()) out.resize(out.size() * 2);
        ssize_t got = ::read(fd_, &out[used], out.size() - used);
        if (got > 0) {
            used += static_cast<size_t>(got);
            continue;
        }
        if (got < 0 && errno == EINTR) continue;
        break;  // end of file, or an error that ends the content here
    }
    out.resize(used);
}

size_t InputFile::read_some(char* out, size_t room) {
    if (fd_ < 0 || room == 0) return 0;
    for (;;) {
        const ssize_t got = ::read(fd_, out, room);
        if (got > 0) return static_cast<size_t>(got);
        if (got < 0 && errno == EINTR) continue;
        return 0;
    }
}

bool InputFile::is_regular() const {
    struct stat info {};
    return fd_ >= 0 && ::fstat(fd_, &info) == 0 && S_ISREG(info.st_mode);
}

bool InputFile::rewind() { return is_regular() && ::lseek(fd_, 0, SEEK_SET) == 0; }
