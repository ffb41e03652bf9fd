// Opening a catalogue, choosing its reader and running it.
#include "import/catalogue/catalogue_reader.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <simdjson.h>

#include "import/catalogue/event_sink.h"
#include "import/catalogue/geojson_reader.h"
#include "import/catalogue/quakeml_reader.h"
#include "import/catalogue/text_readers.h"

namespace {

// An input file or standard input, read from the start once. The first bytes
// can be looked at before the reader takes over.
class InputStream {
public:
    InputStream(const std::string& path, const std::string& name) : name_(name) {
        if (path == "-") {
            fd_ = STDIN_FILENO;
            return;
        }
        fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0) throw ImportError("cannot open " + name_ + ": " + std::strerror(errno));
        owned_ = true;
        struct stat info {};
        if (::fstat(fd_, &info) == 0 && S_ISDIR(info.st_mode)) {
            ::close(fd_);
            throw ImportError("cannot read " + name_ + ": it is a directory");
        }
    }
    InputStream(const InputStream&) = delete;
    InputStream& operator=(const InputStream&) = delete;
    ~InputStream() {
        if (mapped_ != nullptr) ::munmap(mapped_, mapped_size_);
        if (owned_) ::close(fd_);
    }

    // The whole of a regular, non-empty file mapped into memory (read-only,
    // no copy), or false for anything else (standard input, a pipe).
    bool map_whole(std::string_view* bytes) {
        struct stat info {};
        if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size <= 0) return false;
        void* data = ::mmap(nullptr, static_cast<size_t>(info.st_size), PROT_READ, MAP_PRIVATE, fd_, 0);
        if (data == MAP_FAILED) return false;
        ::madvise(data, static_cast<size_t>(info.st_size), MADV_SEQUENTIAL);
        mapped_ = data;
        mapped_size_ = static_cast<size_t>(info.st_size);
        *bytes = std::string_view(static_cast<const char*>(data), mapped_size_);
        return true;
    }

    // The first `want` bytes (fewer when the input is shorter), kept for
    // the reads that follow.
    std::string_view head(size_t want) {
        while (head_.size() < want && !at_end_) {
            const size_t old = head_.size();
            head_.resize(want);
            const size_t got = read_fd(&head_[old], want - old);
            head_.resize(old + got);
            if (got == 0) at_end_ = true;
        }
        return std::string_view(head_).substr(0, want);
    }

    // The next bytes, the looked-at head first; 0 at the end.
    size_t read(char* buffer, size_t room) {
        if (head_used_ < head_.size()) {
            const size_t take = std::min(room, head_.size() - head_used_);
            std::memcpy(buffer, head_.data() + head_used_, take);
            head_used_ += take;
            return take;
        }
        if (at_end_) return 0;
        const size_t got = read_fd(buffer, room);
        if (got == 0) at_end_ = true;
        return got;
    }

    // Everything not read yet, appended to `out` with `padding` spare bytes
    // of capacity after it.
    void read_rest(std::string& out, size_t padding) {
        struct stat info {};
        if (::fstat(fd_, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0)
            out.reserve(static_cast<size_t>(info.st_size) + padding);
        constexpr size_t kPiece = size_t{1} << 20;
        for (;;) {
            if (out.capacity() - out.size() < kPiece) out.reserve(std::max(out.capacity() * 2, out.size() + kPiece));
            const size_t old = out.size();
            out.resize(out.capacity());
            const size_t got = read(&out[old], out.size() - old);
            out.resize(old + got);
            if (got == 0) break;
        }
        if (out.capacity() < out.size() + padding) out.reserve(out.size() + padding);
    }

private:
    size_t read_fd(char* buffer, size_t room) {
        for (;;) {
            const ssize_t got = ::read(fd_, buffer, room);
            if (got >= 0) return static_cast<size_t>(got);
            if (errno == EINTR) continue;
            throw ImportError("cannot read " + name_ + ": " + std::strerror(errno));
        }
    }

    std::string name_;
    int fd_ = -1;
    bool owned_ = false;
    bool at_end_ = false;
    void* mapped_ = nullptr;
    size_t mapped_size_ = 0;
    std::string head_;
    size_t head_used_ = 0;
};

// Fewer bytes than any real row or feature takes: reserving the event list
// from the input's size then costs no copy as it fills (and untouched
// reserved memory is never resident).
constexpr size_t kBytesPerEventAtLeast = 64;

InputLayout forced_layout(CatalogueFormat format) {
    switch (format) {
        case CatalogueFormat::csv: return InputLayout::csv;
        case CatalogueFormat::fdsn: return InputLayout::fdsn_text;
        case CatalogueFormat::geojson: return InputLayout::geojson;
        case CatalogueFormat::quakeml: return InputLayout::quakeml;
        case CatalogueFormat::guess: break;
    }
    return InputLayout::unknown;
}

// The layout to read with, or an ImportError saying why there is none.
InputLayout choose_layout(std::string_view head, CatalogueFormat format, const std::string& name) {
    const InputLayout seen = sniff_layout(head);
    if (is_outline_layout(seen)) {
        throw ImportError(name + " holds a region outline (" + layout_name(seen) +
                          "), not earthquakes; convert it with: sismap-import outline");
    }
    if (format != CatalogueFormat::guess) return forced_layout(format);
    if (seen == InputLayout::viewer) {
        throw ImportError(name + " is already in the viewer's layout (header " +
                          "\"year,month,day,time,latitude,longitude,magnitude\"); give it to sismap as it is");
    }
    if (seen == InputLayout::unknown) {
        throw ImportError(name + ": cannot tell the layout (CSV, FDSN text, GeoJSON or QuakeML) from its content;" +
                          " name it with --format");
    }
    return seen;
}

// Reads a whole text layout (everything but QuakeML) from memory.
void read_text_layout(InputLayout layout, std::string_view bytes, size_t capacity, const std::string& name,
                      EventSink& sink) {
    switch (layout) {
        case InputLayout::csv: return read_csv_catalogue(bytes, name, sink);
        case InputLayout::fdsn_text: return read_fdsn_catalogue(bytes, name, sink);
        case InputLayout::geojson: return read_geojson_catalogue(bytes, capacity, name, sink);
        default: break;
    }
    throw ImportError(name + ": no reader for " + layout_name(layout));
}

std::string display_name(const std::string& path) { return path == "-" ? "standard input" : path; }

}  // namespace

std::vector<QuakeEvent> read_events_file(const std::string& path, CatalogueFormat format,
                                            const Selection& selection, ImportCounts* counts,
                                            const ReadProgress& progress) {
    const std::string name = display_name(path);
    ImportCounts local;
    ImportCounts& tally = counts ? *counts : local;
    tally = ImportCounts();
    std::vector<QuakeEvent> events;
    EventSink sink(selection, tally, events, &progress);

    InputStream input(path, name);
    tally.layout = choose_layout(input.head(kSniffBytes), format, name);
    if (tally.layout == InputLayout::quakeml) {
        read_quakeml_catalogue([&](char* buffer, size_t room) { return input.read(buffer, room); }, name, sink);
    } else {
        // A file is mapped where it can be (no copy); GeoJSON needs spare
        // bytes after the text, which only a copy has.
        std::string_view mapped;
        if (tally.layout != InputLayout::geojson && input.map_whole(&mapped)) {
            events.reserve(mapped.size() / kBytesPerEventAtLeast);
            read_text_layout(tally.layout, mapped, mapped.size(), name, sink);
        } else {
            std::string bytes;
            input.read_rest(bytes, simdjson::SIMDJSON_PADDING);
            events.reserve(bytes.size() / kBytesPerEventAtLeast);
            read_text_layout(tally.layout, bytes, bytes.capacity(), name, sink);
        }
    }
    return events;
}

std::vector<QuakeEvent> read_events_bytes(std::string_view bytes, const std::string& name,
                                             CatalogueFormat format, const Selection& selection,
                                             ImportCounts* counts) {
    ImportCounts local;
    ImportCounts& tally = counts ? *counts : local;
    tally = ImportCounts();
    std::vector<QuakeEvent> events;
    EventSink sink(selection, tally, events);

    tally.layout = choose_layout(bytes.substr(0, kSniffBytes), format, name);
    if (tally.layout == InputLayout::quakeml) {
        size_t position = 0;
        read_quakeml_catalogue(
            [&](char* buffer, size_t room) {
                const size_t take = std::min(room, bytes.size() - position);
                if (take > 0) std::memcpy(buffer, bytes.data() + position, take);
                position += take;
                return take;
            },
            name, sink);
    } else {
        read_text_layout(tally.layout, bytes, bytes.size(), name, sink);
    }
    return events;
}
