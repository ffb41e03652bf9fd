// The landscape and earthquake file readers.
#include "data/data_loader.h"

#include <cstring>
#include <limits>
#include <string>

#include "data/console.h"
#include "data/file_bytes.h"
#include "data/number_text.h"

namespace {

// Longest piece of a line taken in one read; a longer line continues as the
// next read, and a line of exactly a multiple of this length is followed by
// an empty read.
constexpr size_t kLineChars = 99;

// Hands out the file's text one read at a time, each as a NUL-terminated copy
// in a fixed buffer so fields can be split in place.
class LineReader {
public:
    explicit LineReader(std::string_view text) : text_(text) {}

    // False once a read would meet the end of the text before taking any
    // character.
    bool next() {
        if (pos_ >= text_.size()) return false;
        size_t avail = text_.size() - pos_;
        size_t take = avail < kLineChars ? avail : kLineChars;
        const char* start = text_.data() + pos_;
        const void* feed = std::memchr(start, '\n', take);
        size_t length = take;
        size_t consumed = take;
        if (feed != nullptr) {
            length = static_cast<size_t>(static_cast<const char*>(feed) - start);
            consumed = length + 1;  // the line feed is consumed, not stored
        }
        std::memcpy(line_, start, length);
        line_[length] = '\0';  // a NUL inside the line ends its text early
        pos_ += consumed;
        return true;
    }

    char* line() { return line_; }

    // Upper bound on the reads left, for sizing the catalogue once.
    static size_t count_reads(std::string_view text) {
        size_t reads = 0;
        size_t pos = 0;
        while (pos < text.size()) {
            const void* feed = std::memchr(text.data() + pos, '\n', text.size() - pos);
            size_t end = feed ? static_cast<size_t>(static_cast<const char*>(feed) - text.data())
                              : text.size();
            size_t length = end - pos;
            reads += length < kLineChars ? 1 : length / kLineChars + 1;
            pos = end + 1;
        }
        return reads;
    }

private:
    std::string_view text_;
    size_t pos_ = 0;
    char line_[kLineChars + 1];
};

// Splits `line` in place at runs of ',' (strtok with delimiter ","): commas
// at either end yield no field and an empty field between two commas does not
// count. Stores up to `max_fields` field starts; returns how many it stored.
int split_fields(char* line, char** fields, int max_fields) {
    int count = 0;
    char* p = line;
    while (count < max_fields) {
        while (*p == ',') ++p;
        if (*p == '\0') break;
        fields[count++] = p;
        while (*p != ',' && *p != '\0') ++p;
        if (*p == '\0') break;
        *p++ = '\0';
    }
    return count;
}

// Reads one two-character group of the time field, the way the classic
// reader did: at most two characters, ended early by a terminator.
int32_t read_time_pair(const char* time_buffer, int offset) {
    char pair[3] = {time_buffer[offset], '\0', '\0'};
    if (pair[0] != '\0') pair[1] = time_buffer[offset + 1];
    return parse_int_field(pair);
}

}  // namespace

DataLoader::DataLoader() = default;

bool DataLoader::load(const char* landscape_path, const char* quake_path) {
    std::string line = std::string("Trying to open landscape file: ") + landscape_path;
    console_write(line.c_str(), 1);
    line = std::string("Trying to open earthquake file: ") + quake_path;
    console_write(line.c_str(), 2);

    InputFile landscape;
    InputFile quakes;
    bool landscape_ok = landscape.open(landscape_path);
    if (!landscape_ok) {
        line = std::string("Could not open the landscape file named \"") + landscape_path + "\"";
        console_write(line.c_str(), 2);
    }
    bool quake_ok = quakes.open(quake_path);
    if (!quake_ok) {
        line = std::string("Could not open the earthquake data file named \"") + quake_path + "\"";
        console_write(line.c_str(), 2);
    }
    if (!landscape_ok || !quake_ok) return false;

    std::string text;
    landscape.read_all(text);
    read_landscape(text);
    text.clear();
    text.shrink_to_fit();
    quakes.read_all(text);
    read_catalogue(text);
    return true;
}

void DataLoader::read_landscape(std::string_view text) {
    points_.clear();
    LineReader reader(text);
    reader.next();  // header
    char* fields[2];
    while (reader.next()) {
        // Fewer than two fields (a blank line, the empty read after a line of
        // a multiple of 99 characters) is not a vertex.
        if (split_fields(reader.line(), fields, 2) < 2) continue;
        if (points_.size() >= static_cast<size_t>(std::numeric_limits<int32_t>::max())) break;
        LandscapePoint point;
        point.y = parse_int_field(fields[0]);
        point.x = parse_int_field(fields[1]);
        if (points_.empty()) {
            max_y_ = min_y_ = point.y;
            max_x_ = min_x_ = point.x;
        }
        if (point.y > max_y_) max_y_ = point.y;
        if (point.y < min_y_) min_y_ = point.y;
        if (point.x > max_x_) max_x_ = point.x;
        if (point.x < min_x_) min_x_ = point.x;
        points_.push_back(point);
    }
    points_.shrink_to_fit();
    point_count_ = static_cast<int32_t>(points_.size());
}

void DataLoader::read_catalogue(std::string_view text) {
    records_.clear();
    size_t reads = LineReader::count_reads(text);
    records_.reserve(reads > 0 ? reads - 1 : 0);

    // The time field is copied over the start of this buffer; it is not
    // cleared between lines, so a short field leaves the previous line's
    // characters beyond its terminator.
    char time_buffer[10] = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', '\0'};
    LineReader reader(text);
    reader.next();  // header
    char* fields[7];
    while (reader.next()) {
        char* line = reader.line();
        if (std::strchr(line, ',') == nullptr) continue;
        if (split_fields(line, fields, 7) < 7) continue;
        if (records_.size() >= static_cast<size_t>(std::numeric_limits<int32_t>::max())) break;

        QuakeRecord record;
        record.date.year = parse_int_field(fields[0]);
        record.date.month = parse_int_field(fields[1]);
        record.date.day = parse_int_field(fields[2]);
        // A time field longer than nine characters is read from its first
        // nine.
        size_t time_length = std::strlen(fields[3]);
        if (time_length >= 9) {
            std::memcpy(time_buffer, fields[3], 9);
        } else {
            std::memcpy(time_buffer, fields[3], time_length + 1);
        }
        record.time.hour = read_time_pair(time_buffer, 0);
        record.time.minute = read_time_pair(time_buffer, 2);
        record.time.second = read_time_pair(time_buffer, 4);
        record.time.hundredths = read_time_pair(time_buffer, 7);
        record.latitude = parse_float_field(fields[4]);
        record.longitude = parse_float_field(fields[5]);
        record.magnitude = parse_float_field(fields[6]);
        // Zero, negative, no number and NaN all fail this test.
        if (record.magnitude > 0.0f) records_.push_back(record);
    }
    if (records_.capacity() - records_.size() > records_.size() / 8) records_.shrink_to_fit();
    record_count_ = static_cast<int32_t>(records_.size());
}

std::vector<LandscapePoint> DataLoader::take_points() {
    std::vector<LandscapePoint> taken;
    taken.swap(points_);
    point_count_ = 0;
    return taken;
}

std::vector<QuakeRecord> DataLoader::take_records() {
    std::vector<QuakeRecord> taken;
    taken.swap(records_);
    record_count_ = 0;
    return taken;
}
