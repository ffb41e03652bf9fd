// The loader's one seam over the file system: open a file read-only and take
// its bytes. Nothing is ever created, written or truncated at an input path.
#pragma once

#include <string>

class InputFile {
public:
    InputFile() = default;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ~InputFile();

    // Opens `path` for reading. False when it does not exist, cannot be read
    // (permissions) or is not a file one can read text from (a directory).
    bool open(const char* path);

    // Appends the whole content to `out`. A read error ends the content
    // where it happened, as the end of the file would.
    void read_all(std::string& out);

    // Reads at most `room` bytes into `out`; 0 at the end of the content or
    // on a read error.
    size_t read_some(char* out, size_t room);

    // True for a regular file, which can be read again from its start.
    bool is_regular() const;
    // Goes back to the start of a regular file; false when it cannot.
    bool rewind();

private:
    int fd_ = -1;
};
