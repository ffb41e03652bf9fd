// CSV and FDSN event text readers.
#include "import/downloads/text_readers.h"

#include <cstring>
#include <deque>
#include <vector>

#include "tool/selection/iso_time.h"
#include "tool/text_basics.h"

namespace {

// Splits records into fields in place. For CSV, quoted fields may hold the
// separator, doubled quotes and line breaks; FDSN text has no quoting.
class RecordSplitter {
public:
    RecordSplitter(std::string_view text, const std::string& name, char separator, bool quoting)
        : text_(text), name_(name), separator_(separator), quoting_(quoting) {
        ends_field_[static_cast<unsigned char>(separator)] = true;
        ends_field_[static_cast<unsigned char>('\n')] = true;
    }

    bool at_end() const { return pos_ >= text_.size(); }
    // The line the next record starts on, counting from 1.
    size_t line() const { return line_; }
    std::string where(size_t line) const { return name_ + ":" + std::to_string(line); }

    // The next record's fields. A quoted field that holds doubled quotes is
    // unquoted into storage of its own, valid until the next call. Throws
    // ImportError for a quote left open or text after a closing quote:
    // nothing after such an error can be trusted to start a record.
    void next(std::vector<std::string_view>& fields) {
        fields.clear();
        size_t used_storage = 0;
        for (;;) {
            if (quoting_ && pos_ < text_.size() && text_[pos_] == '"') {
                fields.push_back(quoted_field(used_storage));
            } else {
                const size_t start = pos_;
                const char* const base = text_.data();
                size_t end = start;
                while (end < text_.size() && !ends_field_[static_cast<unsigned char>(base[end])]) ++end;
                pos_ = end;
                size_t field_end = end;
                if (field_end > start && base[field_end - 1] == '\r' && (end == text_.size() || base[end] == '\n'))
                    --field_end;
                fields.push_back(text_.substr(start, field_end - start));
            }
            if (pos_ >= text_.size()) return;
            const char c = text_[pos_++];
            if (c == '\n') {
                ++line_;
                return;
            }
        }
    }

private:
    std::string_view quoted_field(size_t& used_storage) {
        const size_t open_line = line_;
        const size_t start = ++pos_;
        bool doubled = false;
        for (;;) {
            const void* quote = std::memchr(text_.data() + pos_, '"', text_.size() - pos_);
            if (quote == nullptr) {
                pos_ = text_.size();
                throw ImportError(where(open_line) + ": quoted field not closed before the end of the file");
            }
            const size_t at = static_cast<size_t>(static_cast<const char*>(quote) - text_.data());
            for (size_t i = pos_; i < at; ++i) line_ += (text_[i] == '\n');
            pos_ = at + 1;
            if (pos_ < text_.size() && text_[pos_] == '"') {
                doubled = true;
                ++pos_;
                continue;
            }
            break;
        }
        std::string_view field = text_.substr(start, pos_ - 1 - start);
        // After the closing quote: the separator, a line end or the end.
        size_t after = pos_;
        if (after < text_.size() && text_[after] == '\r' && after + 1 < text_.size() && text_[after + 1] == '\n')
            ++after;
        if (after < text_.size() && text_[after] != separator_ && text_[after] != '\n')
            throw ImportError(where(line_) + ": text after the closing quote of a field");
        pos_ = after;
        if (!doubled) return field;
        if (used_storage == storage_.size()) storage_.emplace_back();
        std::string& out = storage_[used_storage++];
        out.clear();
        for (size_t i = 0; i < field.size(); ++i) {
            out += field[i];
            if (field[i] == '"') ++i;  // the second quote of a doubled pair
        }
        return out;
    }

    std::string_view text_;
    const std::string& name_;
    char separator_;
    bool quoting_;
    bool ends_field_[256] = {};  // the bytes that end an unquoted field
    size_t pos_ = 0;
    size_t line_ = 1;
    // A deque: adding a string never moves the earlier ones, whose views
    // the current record's fields may be.
    std::deque<std::string> storage_;
};

constexpr size_t kMissing = static_cast<size_t>(-1);

// Where the needed columns are.
struct Columns {
    size_t time = kMissing;
    size_t latitude = kMissing;
    size_t longitude = kMissing;
    size_t magnitude = kMissing;
    size_t type = kMissing;
    size_t id = kMissing;
    size_t depth = kMissing;
    size_t count = 0;
};

Columns find_columns(const std::vector<std::string_view>& header, const std::string& where, const char* type_name,
                     const char* id_name, std::initializer_list<const char*> magnitude_names,
                     const char* depth_name) {
    Columns columns;
    columns.count = header.size();
    for (size_t i = 0; i < header.size(); ++i) {
        const std::string_view name = trim_blanks(header[i]);
        const auto take = [&](size_t& slot) {
            if (slot == kMissing) slot = i;
        };
        if (equals_ignoring_case(name, "time")) take(columns.time);
        if (equals_ignoring_case(name, "latitude")) take(columns.latitude);
        if (equals_ignoring_case(name, "longitude")) take(columns.longitude);
        if (equals_ignoring_case(name, type_name)) take(columns.type);
        if (id_name != nullptr && equals_ignoring_case(name, id_name)) take(columns.id);
        if (equals_ignoring_case(name, depth_name)) take(columns.depth);
        for (const char* magnitude : magnitude_names)
            if (equals_ignoring_case(name, magnitude)) take(columns.magnitude);
    }
    std::string missing;
    const auto need = [&](size_t slot, const char* what) {
        if (slot == kMissing) missing += std::string(missing.empty() ? "" : ", ") + what;
    };
    need(columns.time, "time");
    need(columns.latitude, "latitude");
    need(columns.longitude, "longitude");
    need(columns.magnitude, *magnitude_names.begin());
    if (!missing.empty()) throw ImportError(where + ": the header has no column named " + missing);
    return columns;
}

// One data row: its values checked and handed to the sink.
void take_row(const std::vector<std::string_view>& fields, const Columns& columns, const RecordSplitter& splitter,
              size_t line, EventSink& sink) {
    sink.count_read();
    if (fields.size() != columns.count) {
        sink.bad(splitter.where(line), "the row has " + std::to_string(fields.size()) + " fields, the header names " +
                                           std::to_string(columns.count));
        return;
    }
    RawEvent event;
    const std::string_view time = trim_blanks(fields[columns.time]);
    const std::optional<int64_t> time_us = parse_iso_time(time);
    if (!time_us) {
        sink.bad(splitter.where(line), "time " + quoted_for_message(time) + " is not an ISO 8601 date and time");
        return;
    }
    event.time_us = *time_us;
    const std::optional<double> latitude = parse_decimal(fields[columns.latitude]);
    const std::optional<double> longitude = parse_decimal(fields[columns.longitude]);
    if (!latitude || !longitude) {
        sink.bad(splitter.where(line),
                 std::string(latitude ? "longitude " : "latitude ") +
                     quoted_for_message(fields[latitude ? columns.longitude : columns.latitude]) + " is not a number");
        return;
    }
    event.latitude = *latitude;
    event.longitude = *longitude;
    const std::string_view magnitude = trim_blanks(fields[columns.magnitude]);
    if (!magnitude.empty()) {
        event.magnitude = parse_decimal(magnitude);
        if (!event.magnitude) {
            sink.bad(splitter.where(line), "magnitude " + quoted_for_message(magnitude) + " is not a number");
            return;
        }
    }
    // A depth that is no number is left out rather than the event: the
    // viewer's picture never needs it.
    if (columns.depth != kMissing) event.depth_km = parse_decimal(trim_blanks(fields[columns.depth]));
    if (columns.type != kMissing) event.type = fields[columns.type];
    if (columns.id != kMissing) event.id = trim_blanks(fields[columns.id]);
    if (const char* problem = sink.offer(event)) sink.bad(splitter.where(line), problem);
}

bool blank_record(const std::vector<std::string_view>& fields) {
    return fields.size() == 1 && trim_blanks(fields[0]).empty();
}

std::string_view without_bom(std::string_view text) {
    text = without_byte_order_mark(text);
    return text;
}

// How the two text layouts differ.
struct Dialect {
    char separator;
    bool quoting;          // RFC 4180 quoted fields
    bool hash_lines;       // the header starts with "#" and later "#" lines are comments
    const char* type_name;
    const char* id_name;  // the event's identifier, or nullptr where none is read
    std::initializer_list<const char*> magnitude_names;
    const char* depth_name;
};

// A header line is short: the line end is looked for only this far, so
// that a huge file without one is refused without being read through.
constexpr size_t kLongestHeaderLine = 1 << 20;

// Refuses a text whose first line has no LF end within reach: one without
// any line end, and one whose lines end in CR alone (classic Mac OS), which
// would read as one line that holds no events.
void check_first_line_end(std::string_view text, const std::string& name) {
    const std::string_view start = text.substr(0, kLongestHeaderLine);
    const size_t end = start.find_first_of("\r\n");
    if (end != std::string_view::npos && start[end] == '\r' && end + 1 < text.size() && text[end + 1] != '\n')
        throw ImportError(name + ": its lines end in CR alone (classic Mac OS line ends); convert them to LF or "
                                 "CRLF first, e.g. with: tr '\\r' '\\n'");
    if (end == std::string_view::npos && text.size() > kLongestHeaderLine)
        throw ImportError(name + ": no line end in its first " + std::to_string(kLongestHeaderLine >> 20) +
                          " MB, so no header line; a catalogue starts with a short header line");
}

void read_delimited(std::string_view text, const std::string& name, const Dialect& dialect, EventSink& sink) {
    check_first_line_end(without_bom(text), name);
    RecordSplitter splitter(without_bom(text), name, dialect.separator, dialect.quoting);
    std::vector<std::string_view> fields;
    size_t header_line = 0;
    do {
        if (splitter.at_end()) throw ImportError(name + ": no header line: the file is empty");
        header_line = splitter.line();
        splitter.next(fields);
    } while (blank_record(fields));
    // A "#" that starts the header is not part of the first name.
    if (dialect.hash_lines) {
        std::string_view& first = fields[0];
        first = trim_blanks(first);
        if (!first.empty() && first.front() == '#') first.remove_prefix(1);
    }
    const Columns columns =
        find_columns(fields, splitter.where(header_line), dialect.type_name, dialect.id_name, dialect.magnitude_names,
                     dialect.depth_name);
    while (!splitter.at_end()) {
        const size_t line = splitter.line();
        splitter.next(fields);
        if (blank_record(fields)) continue;
        if (dialect.hash_lines) {
            const std::string_view first = trim_blanks(fields[0]);
            if (!first.empty() && first.front() == '#') continue;
        }
        take_row(fields, columns, splitter, line, sink);
    }
}

}  // namespace

void read_csv_catalogue(std::string_view text, const std::string& name, EventSink& sink) {
    read_delimited(text, name, Dialect{',', true, false, "type", nullptr, {"mag", "magnitude"}, "depth"}, sink);
}

void read_fdsn_catalogue(std::string_view text, const std::string& name, EventSink& sink) {
    read_delimited(text, name, Dialect{'|', false, true, "eventtype", "eventid", {"magnitude"}, "depth/km"}, sink);
}
