// One way of reading an input file for every program: the viewer's two files,
// the importer's catalogues and boundaries, the recorder's and the
// statistics' catalogues. It opens read-only (nothing is ever created,
// written or truncated at an input path), refuses folders, lets the caller
// look at the first bytes before choosing a reader, then serves the whole
// content from the start, those bytes included, so a pipe or standard input
// is opened and read once. Interrupted reads are retried.
//
// Failures are reported, not thrown; failure_text() words them the one way
// every program shows them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

class InputSource {
public:
    enum class Failure { none, cannot_open, is_directory, read_error };

    InputSource() = default;
    InputSource(const InputSource&) = delete;
    InputSource& operator=(const InputSource&) = delete;
    ~InputSource();

    // Opens `path`. With `dash_is_stdin`, "-" means standard input (which is
    // then read, never closed). False on failure; failure() says which.
    bool open(const std::string& path, bool dash_is_stdin);

    // The first `want` bytes, fewer when the input is shorter or a read
    // fails. They stay in front of what read() serves.
    std::string_view head(size_t want);

    // The next bytes into `out`; 0 at the end of the content or on a read
    // error (failure() then says read_error and error_number() why).
    size_t read(char* out, size_t room);

    // Everything not read yet, appended to `out`, with `padding` spare bytes
    // of capacity after it (for parsers that read past the end).
    void read_rest(std::string& out, size_t padding = 0);

    // The whole of a regular, non-empty file mapped read-only, without a
    // copy; false for anything else (standard input, a pipe, an empty file).
    bool map_whole(std::string_view* bytes);

    // True for a regular file, whose size is known and which can be read
    // again from its start.
    bool is_regular() const;
    // Goes back to the start of a regular file; false when it cannot.
    bool rewind();

    Failure failure() const { return failure_; }
    // The errno behind a failure to open or to read.
    int error_number() const { return error_; }

    // The failure as users read it, naming the input `name`: "cannot open
    // NAME: No such file or directory", "cannot read NAME: it is a
    // directory", "cannot read NAME: Input/output error".
    std::string failure_text(const std::string& name) const;

private:
    size_t read_fd(char* out, size_t room);

    int fd_ = -1;
    bool owned_ = false;
    bool at_end_ = false;       // the descriptor has given all it has
    std::string head_;          // bytes looked at, served again by read()
    size_t head_used_ = 0;
    void* mapped_ = nullptr;
    size_t mapped_size_ = 0;
    Failure failure_ = Failure::none;
    int error_ = 0;
};
