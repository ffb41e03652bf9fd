// Temporary file beside the target (same folder, so the rename is atomic),
// named ".NAME.XXXXXX" so that a listing does not show it as a result.
#include "tool/output_file.h"

#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "tool/cleanup.h"

namespace {

constexpr size_t kBufferSize = 1 << 20;  // bytes collected before one write(2)

std::string reason(int error_number) { return std::strerror(error_number); }

}  // namespace

output_seam::WriteCall output_seam::write_call = ::write;

bool is_same_file(const std::string& a, const std::string& b) {
    if (a == "-" || b == "-") return false;
    struct stat first;
    struct stat second;
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

OutputFile::~OutputFile() { discard(); }

bool OutputFile::open(const std::string& path, std::string* error) {
    discard();
    path_ = path;
    failure_.clear();
    buffer_.clear();
    buffer_.reserve(kBufferSize);
    if (path == "-") {
        to_stdout_ = true;
        fd_ = STDOUT_FILENO;
        return true;
    }
    to_stdout_ = false;

    struct stat target;
    if (::stat(path.c_str(), &target) == 0 && S_ISDIR(target.st_mode)) {
        if (error) *error = "cannot write '" + path + "': it is a directory";
        return false;
    }
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string pattern = folder + "." + name + ".XXXXXX";
    std::vector<char> writable(pattern.begin(), pattern.end());
    writable.push_back('\0');

    cleanup::install_signal_handlers();
    // The clean-up signals wait while the file is created and registered: one
    // arriving in between would leave the file behind.
    sigset_t cleanup_signals, previous;
    sigemptyset(&cleanup_signals);
    for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&cleanup_signals, signal_number);
    pthread_sigmask(SIG_BLOCK, &cleanup_signals, &previous);
    cleanup::creating_file(true);
    const int fd = ::mkstemp(writable.data());
    const int saved_errno = errno;
    if (fd >= 0) {
        fd_ = fd;
        temp_path_ = writable.data();
        cleanup_slot_ = cleanup::remember_path(temp_path_);
    }
    cleanup::creating_file(false);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (fd < 0) {
        if (error) *error = "cannot write '" + path + "': " + reason(saved_errno);
        return false;
    }
    return true;
}

bool OutputFile::write(std::string_view bytes) {
    if (fd_ < 0 || !failure_.empty()) return false;
    if (buffer_.size() + bytes.size() > kBufferSize && !flush()) return false;
    if (bytes.size() >= kBufferSize) {
        buffer_.assign(bytes.data(), bytes.size());
        return flush();
    }
    buffer_.append(bytes.data(), bytes.size());
    return true;
}

bool OutputFile::flush() {
    size_t done = 0;
    while (done < buffer_.size()) {
        const ssize_t n = output_seam::write_call(fd_, buffer_.data() + done, buffer_.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            failure_ = reason(n < 0 ? errno : EIO);
            buffer_.clear();
            return false;
        }
        done += static_cast<size_t>(n);
    }
    buffer_.clear();
    return true;
}

bool OutputFile::commit(std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error) *error = "cannot write '" + (to_stdout_ ? std::string("standard output") : path_) + "': " + why;
        discard();
        return false;
    };
    if (fd_ < 0) return fail("it was not opened");
    if (failure_.empty()) flush();
    if (!failure_.empty()) return fail(failure_);
    if (to_stdout_) {
        fd_ = -1;
        return true;
    }

    // mkstemp made the file 0600: give it the mode of the file it replaces,
    // or the mode a plain creation would have given.
    struct stat target;
    mode_t mode;
    if (::stat(path_.c_str(), &target) == 0) {
        mode = target.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if (::fchmod(fd_, mode) != 0) return fail(reason(errno));
    if (::fsync(fd_) != 0) return fail(reason(errno));
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) {
        const int saved = errno;
        ::unlink(temp_path_.c_str());
        fd_ = -1;
        return fail(reason(saved));
    }
    if (::rename(temp_path_.c_str(), path_.c_str()) != 0) {
        const int saved = errno;
        ::unlink(temp_path_.c_str());
        return fail(reason(saved));
    }
    cleanup::forget_path(cleanup_slot_);
    cleanup_slot_ = -1;
    temp_path_.clear();
    return true;
}

void OutputFile::discard() {
    if (to_stdout_) {
        fd_ = -1;
        return;
    }
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temp_path_.empty()) ::unlink(temp_path_.c_str());
    cleanup::forget_path(cleanup_slot_);
    cleanup_slot_ = -1;
    temp_path_.clear();
    buffer_.clear();
}
