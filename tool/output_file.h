// Writing an output file so that it either appears whole or not at all: the
// bytes go to a temporary file beside the target, which replaces the target
// only on commit(). A failure, a discard, the object's end without a commit
// or a fatal signal (see tool/cleanup.h) removes the temporary file and
// leaves any existing target byte for byte as it was.
//
// Targets that are not plain files are treated as git and editors treat
// them: a symbolic link is followed, and the file it points to is replaced
// (the link stays a link); a character device, block device or FIFO is
// written straight through, with no temporary file, and a write it refuses
// (ENOSPC from /dev/full) fails the commit.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <string_view>

// The write(2) that every output file's bytes go through. Tests point it at
// a stand-in to make writes fail as a full disk or an I/O error would.
namespace output_seam {
using WriteCall = ssize_t (*)(int fd, const void* bytes, size_t size);
extern WriteCall write_call;
}  // namespace output_seam

// True when both paths name one existing file, so that writing the one
// would replace the other; "-" (a standard stream) is never the same file.
bool is_same_file(const std::string& a, const std::string& b);

class OutputFile {
public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();

    // Creates the temporary file beside `path`; "-" writes to standard
    // output instead, as it comes. On failure `error` says which file and
    // why, and false is returned. `by_name`: a library will write the file
    // itself through temp_path(); for a device or FIFO, which such writers
    // may need to seek in, the temporary file is then made in the temporary
    // folder and its bytes go through to the target on commit().
    bool open(const std::string& path, std::string* error, bool by_name = false);

    // Buffered write; false once any write has failed (the reason is kept
    // for commit()).
    bool write(std::string_view bytes);

    // For libraries that open the file by name themselves (encoders): the
    // temporary path, which commit() renames. Empty for standard output.
    const std::string& temp_path() const { return temp_path_; }
    const std::string& path() const { return path_; }
    bool is_standard_output() const { return to_stdout_; }

    // Flushes, syncs and renames the temporary file over the target, which
    // keeps the permissions of the file it replaces (or 0666 less the umask
    // for a new one). False, with the reason, when any step failed; the
    // temporary file is then gone and the target untouched.
    bool commit(std::string* error);

    // Removes the temporary file; the target stays as it was.
    void discard();

private:
    bool flush();
    bool write_all(int fd, const char* bytes, size_t size);
    bool copy_through(std::string* why);

    std::string path_;
    std::string target_;  // path_ with symbolic links followed: the file replaced
    std::string temp_path_;
    std::string buffer_;
    std::string failure_;  // the first write error, empty while all is well
    int fd_ = -1;
    int cleanup_slot_ = -1;
    int pass_fd_ = -1;  // the device or FIFO a by-name temporary file goes through to
    bool to_stdout_ = false;
};
