// Catalogue reading, whole or piece by piece, with the plain-line fast path
// in front of the general reader.
#include "data/catalogue_reader.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "data/catalogue_storage.h"
#include "data/line_reader.h"
#include "data/number_text.h"
#include "data/plain_line.h"

namespace {

constexpr float kNoDepth = std::numeric_limits<float>::quiet_NaN();

// Reads one two-character group of the time field, the way the classic
// reader did: at most two characters, ended early by a terminator.
int32_t read_time_pair(const char* time_buffer, int offset) {
    char pair[3] = {time_buffer[offset], '\0', '\0'};
    if (pair[0] != '\0') pair[1] = time_buffer[offset + 1];
    return parse_int_field(pair);
}

// Reads catalogue text into `records`, piece by piece: what one read needs
// (the header flag, the time buffer) carries over from one piece to the next.
class CatalogueParser {
public:
    CatalogueParser(std::vector<QuakeRecord>& records, std::vector<float>* depths)
        : records_(records), depths_(depths) {}

    // Takes in every read that `text` completes (all of it when `final`);
    // returns how many bytes of `text` were used. The rest, less than one
    // read, must start the next piece.
    size_t feed(std::string_view text, bool final) {
        LineReader reader(text, final);
        if (!header_done_) {
            if (!reader.next()) return reader.position();
            header_done_ = true;
        }
        while (records_.size() < static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
            if (take_plain_line(text, reader)) continue;
            if (!reader.next()) break;
            take_general_line(reader.line());
        }
        return reader.position();
    }

private:
    // A plain line that ends in a line feed within one read's length is read
    // in place, without the copy; false when the next line is not one.
    bool take_plain_line(std::string_view text, LineReader& reader) {
        const size_t pos = reader.position();
        if (pos >= text.size()) return false;
        const char* const start = text.data() + pos;
        const size_t span = std::min(text.size() - pos, kLineChars);
        const char* const feed = static_cast<const char*>(std::memchr(start, '\n', span));
        PlainLine plain;
        if (feed == nullptr || !read_plain_line(start, plain)) return false;
        reader.skip_to(static_cast<size_t>(feed - text.data()) + 1);
        std::memcpy(time_buffer_, plain.time_text, 9);
        if (plain.magnitude > 0.0f) {
            records_.push_back(blank_);
            QuakeRecord& record = records_.back();
            record.date.year = plain.year;
            record.date.month = plain.month;
            record.date.day = plain.day;
            record.time = plain.time;
            record.latitude = plain.latitude;
            record.longitude = plain.longitude;
            record.magnitude = plain.magnitude;
            if (depths_ != nullptr) depths_->push_back(*plain.rest == ',' ? depth_field(plain.rest + 1) : kNoDepth);
        }
        return true;
    }

    // Any other read: split into fields, skipped with fewer than seven.
    void take_general_line(char* line) {
        char* fields[8];
        if (std::strchr(line, ',') == nullptr) return;
        const int count = split_fields(line, fields, depths_ != nullptr ? 8 : 7);
        if (count < 7) return;

        QuakeRecord record = blank_;
        record.date.year = parse_int_field(fields[0]);
        record.date.month = parse_int_field(fields[1]);
        record.date.day = parse_int_field(fields[2]);
        // A time field longer than nine characters is read from its first nine.
        const size_t time_length = std::strlen(fields[3]);
        std::memcpy(time_buffer_, fields[3], time_length >= 9 ? 9 : time_length + 1);
        record.time.hour = read_time_pair(time_buffer_, 0);
        record.time.minute = read_time_pair(time_buffer_, 2);
        record.time.second = read_time_pair(time_buffer_, 4);
        record.time.hundredths = read_time_pair(time_buffer_, 7);
        record.latitude = parse_float_field(fields[4]);
        record.longitude = parse_float_field(fields[5]);
        record.magnitude = parse_float_field(fields[6]);
        // Zero, negative, no number and NaN all fail this test.
        if (record.magnitude > 0.0f) {
            records_.push_back(record);
            if (depths_ != nullptr) depths_->push_back(count >= 8 ? depth_field(fields[7]) : kNoDepth);
        }
    }

    std::vector<QuakeRecord>& records_;
    std::vector<float>* depths_;
    bool header_done_ = false;
    // Every record starts as a copy of this one (the date's text included),
    // then takes the line's values.
    const QuakeRecord blank_;
    // The time field is copied over the start of this buffer; it is not
    // cleared between lines, so a short field leaves the previous line's
    // characters beyond its terminator.
    char time_buffer_[10] = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', '\0'};
};

// Bytes of the earthquake file taken per read call.
constexpr size_t kPieceBytes = size_t{1} << 20;

}  // namespace

float depth_field(const char* text) {
    const char* p = text;
    double value = 0.0;
    if (!read_exact_decimal(p, value)) return kNoDepth;
    if (*p != ',' && *p != '\n' && *p != '\r' && *p != '\0') return kNoDepth;
    return static_cast<float>(value);
}

void read_catalogue_text(std::string_view text, std::vector<QuakeRecord>& records, std::vector<float>* depths) {
    reserve_catalogue(records, count_line_feeds(text));
    CatalogueParser parser(records, depths);
    parser.feed(text, true);
    finish_catalogue(records);
}

void read_catalogue_file(InputSource& file, std::vector<QuakeRecord>& records, std::vector<float>* depths) {
    std::string piece(kPieceBytes, '\0');
    if (file.is_regular()) {
        size_t feeds = 0;
        for (size_t got; (got = file.read(&piece[0], piece.size())) > 0;)
            feeds += count_line_feeds(std::string_view(piece.data(), got));
        if (!file.rewind()) return;
        reserve_catalogue(records, feeds);
        if (depths != nullptr) depths->reserve(feeds);
    }
    CatalogueParser parser(records, depths);
    size_t carried = 0;  // bytes of an unfinished read, moved to the front
    for (;;) {
        const size_t got = file.read(&piece[carried], piece.size() - carried);
        const bool final = (got == 0);
        const size_t held = carried + got;
        const size_t used = parser.feed(std::string_view(piece.data(), held), final);
        if (final) break;
        carried = held - used;
        std::memmove(&piece[0], piece.data() + used, carried);
    }
    finish_catalogue(records);
}
