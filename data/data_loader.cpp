// The landscape and earthquake file readers.
#include "data/data_loader.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

#include "data/console.h"
#include "data/file_bytes.h"
#include "data/number_text.h"

namespace {

// Longest piece of a line taken in one read; a longer line continues as the
// next read, and a line of exactly a multiple of this length is followed by
// an empty read.
constexpr size_t kLineChars = 99;

// Hands out the file's text one read at a time, each as a NUL-terminated copy
// in a fixed buffer so fields can be split in place. The text may be one
// piece of a longer file (`final` false): a read whose end is not in the
// piece yet is then left for the next piece.
class LineReader {
public:
    explicit LineReader(std::string_view text, bool final = true) : text_(text), final_(final) {}

    // False once a read would meet the end of the text before taking any
    // character, or, in a piece that is not the last, could not be completed.
    bool next() {
        if (pos_ >= text_.size()) return false;
        size_t avail = text_.size() - pos_;
        size_t take = avail < kLineChars ? avail : kLineChars;
        const char* start = text_.data() + pos_;
        const void* feed = std::memchr(start, '\n', take);
        if (feed == nullptr && take < kLineChars && !final_) return false;
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

    // Where the next read starts, and a jump past a line handled in place.
    size_t position() const { return pos_; }
    void skip_to(size_t pos) { pos_ = pos; }

private:
    std::string_view text_;
    bool final_;
    size_t pos_ = 0;
    char line_[kLineChars + 1];
};

// Line feeds in `text`: with the header being one of the lines, the number of
// data lines when none is longer than a read (more reads only in files with
// long lines, where the catalogue then grows as usual).
size_t count_line_feeds(std::string_view text) {
    const char* p = text.data();
    const char* const end = p + text.size();
    size_t count = 0;
#if defined(__SSE2__)
    // Per-byte tallies (a match compares as -1), folded into `count` before
    // any byte lane could wrap.
    const __m128i feed = _mm_set1_epi8('\n');
    const __m128i zero = _mm_setzero_si128();
    while (end - p >= 16) {
        __m128i tally = zero;
        for (int block = 0; block < 255 && end - p >= 16; ++block, p += 16) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            tally = _mm_sub_epi8(tally, _mm_cmpeq_epi8(bytes, feed));
        }
        const __m128i sums = _mm_sad_epu8(tally, zero);
        count += static_cast<size_t>(_mm_cvtsi128_si32(sums)) +
                 static_cast<size_t>(_mm_cvtsi128_si32(_mm_srli_si128(sums, 8)));
    }
#endif
    for (; p < end; ++p) count += (*p == '\n');
    return count;
}

// Asks the kernel to back a large array with large pages. Where every fresh
// page costs a fault (virtual machines above all), filling a million-record
// catalogue otherwise spends most of its time on faults. Only a hint.
void advise_large_pages(const void* data, size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr size_t kWorthIt = size_t{8} << 20;
    const long page = ::sysconf(_SC_PAGESIZE);
    if (data == nullptr || bytes < kWorthIt || page <= 0) return;
    const auto page_mask = static_cast<uintptr_t>(page) - 1;
    const auto first = reinterpret_cast<uintptr_t>(data);
    const uintptr_t begin = (first + page_mask) & ~page_mask;
    const uintptr_t end = (first + bytes) & ~page_mask;
    if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
    (void)data;
    (void)bytes;
#endif
}

inline bool is_digit(char c) { return static_cast<unsigned char>(c - '0') < 10; }

// The catalogue's usual line: every field plain, one comma apart, read
// straight from the file's bytes without a copy. Anything else (blanks,
// signs on integers, empty fields, exponents, long digit strings, short time
// fields, a NUL) is not plain and goes through the general reader, which
// gives the same values for plain lines.
struct PlainLine {
    int32_t year;
    int32_t month;
    int32_t day;
    const char* time;  // the nine characters HHMMSS.hh
    float latitude;
    float longitude;
    float magnitude;
};

// Digits that atoi reads without overflow, then a comma.
inline bool plain_int(const char*& p, int32_t& out) {
    constexpr int kMaxDigits = 9;
    const char* q = p;
    int32_t value = 0;
    while (is_digit(*q)) {
        if (q - p == kMaxDigits) return false;
        value = value * 10 + (*q - '0');
        ++q;
    }
    if (q == p || *q != ',') return false;
    out = value;
    p = q + 1;
    return true;
}

// An optional minus, digits and an optional point with digits, at most 15
// digits in all: the mantissa and the power of ten are both exact doubles, so
// the quotient is the correctly rounded value, which is what atof returns.
// Leaves `p` on the character after the number. The line feed that ends the
// line stops every scan; the digit limit is checked once at the end (a longer
// mantissa may wrap meanwhile, it is then never used).
inline bool plain_float(const char*& p, float& out) {
    constexpr long kMaxDigits = 15;
    static constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6, 1e7,
                                              1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const char* q = p;
    const bool negative = (*q == '-');
    q += negative;
    const char* const first_digit = q;
    uint64_t mantissa = 0;
    while (is_digit(*q)) mantissa = mantissa * 10 + static_cast<uint64_t>(*q++ - '0');
    const long whole = q - first_digit;
    if (whole == 0) return false;
    long fraction = 0;
    if (*q == '.') {
        const char* const point = ++q;
        while (is_digit(*q)) mantissa = mantissa * 10 + static_cast<uint64_t>(*q++ - '0');
        fraction = q - point;
    }
    // An exponent is left to the general reader.
    if (whole + fraction > kMaxDigits || *q == 'e' || *q == 'E') return false;
    const double value = static_cast<double>(mantissa) / kPowersOfTen[fraction];
    out = static_cast<float>(negative ? -value : value);
    p = q;
    return true;
}


// Eight bytes of text as one little-endian word.
inline uint64_t load_word(const char* p) {
    uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

// True when the bytes of `word` under `digit_lanes` (0xFF lanes) are all
// decimal digits and those under `fixed_lanes` equal `fixed`. A lane that is
// no digit fails its high-nibble test whatever the carry of the +6 test.
inline bool word_matches(uint64_t word, uint64_t digit_lanes, uint64_t fixed_lanes, uint64_t fixed) {
    const uint64_t digits = word & digit_lanes;
    const uint64_t high = 0xF0F0F0F0F0F0F0F0ull & digit_lanes;
    const uint64_t threes = 0x3030303030303030ull & digit_lanes;
    const uint64_t sixes = 0x0606060606060606ull & digit_lanes;
    return (word & fixed_lanes) == fixed && (digits & high) == threes && ((digits + sixes) & high) == threes;
}

inline int32_t digit(const char* p) { return *p - '0'; }
inline int32_t digit_pair(const char* p) { return digit(p) * 10 + digit(p + 1); }

// True when `p` starts with the common "YYYY,MM,DD,HHMMSS.hh," (21 bytes; 24
// are read, so 24 must be readable).
inline bool fixed_date_and_time(const char* p) {
    // Lane i is byte i of the text.
    constexpr uint64_t kWord0Digits = 0x00FFFF00FFFFFFFFull;  // YYYY,MM,
    constexpr uint64_t kWord0Fixed = 0xFF0000FF00000000ull;
    constexpr uint64_t kWord0Text = 0x2C00002C00000000ull;
    constexpr uint64_t kWord1Digits = 0xFFFFFFFFFF00FFFFull;  // DD,HHMMS
    constexpr uint64_t kWord1Fixed = 0x0000000000FF0000ull;
    constexpr uint64_t kWord1Text = 0x00000000002C0000ull;
    constexpr uint64_t kWord2Digits = 0x00000000FFFF00FFull;  // S.hh, and three bytes not looked at
    constexpr uint64_t kWord2Fixed = 0x000000FF0000FF00ull;
    constexpr uint64_t kWord2Text = 0x0000002C00002E00ull;
    return word_matches(load_word(p), kWord0Digits, kWord0Fixed, kWord0Text) &&
           word_matches(load_word(p + 8), kWord1Digits, kWord1Fixed, kWord1Text) &&
           word_matches(load_word(p + 16), kWord2Digits, kWord2Fixed, kWord2Text);
}

// Reads a plain line that starts at `p` and whose line feed is at `feed`
// (so every scan stops there); returns the character that ended the
// magnitude, or nullptr when the line is not plain.
const char* read_plain_line(const char* p, const char* feed, PlainLine& line) {
    if (feed - p >= 24 && fixed_date_and_time(p)) {
        line.year = digit_pair(p) * 100 + digit_pair(p + 2);
        line.month = digit_pair(p + 5);
        line.day = digit_pair(p + 8);
        p += 11;
    } else {
        if (!plain_int(p, line.year) || !plain_int(p, line.month) || !plain_int(p, line.day)) return nullptr;
        if (!(is_digit(p[0]) && is_digit(p[1]) && is_digit(p[2]) && is_digit(p[3]) && is_digit(p[4]) &&
              is_digit(p[5]) && p[6] == '.' && is_digit(p[7]) && is_digit(p[8]) && p[9] == ','))
            return nullptr;
    }
    line.time = p;
    p += 10;
    if (!plain_float(p, line.latitude) || *p++ != ',') return nullptr;
    if (!plain_float(p, line.longitude) || *p++ != ',') return nullptr;
    if (!plain_float(p, line.magnitude)) return nullptr;
    // What follows the seventh field is ignored; these end its number as they
    // would in the general reader (a NUL ends the line's text there).
    if (*p != '\n' && *p != '\r' && *p != ',' && *p != '\0') return nullptr;
    return p;
}

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

// Reads catalogue text into `records`, piece by piece: what one read needs
// (the header flag, the time buffer) carries over from one piece to the next.
class CatalogueParser {
public:
    explicit CatalogueParser(std::vector<QuakeRecord>& records) : records_(records) {}

    // Takes in every read that `text` completes (all of it when `final`);
    // returns how many bytes of `text` were used. The rest, less than one
    // read, must start the next piece.
    size_t feed(std::string_view text, bool final) {
        LineReader reader(text, final);
        if (!header_done_) {
            if (!reader.next()) return reader.position();
            header_done_ = true;
        }
        char* fields[7];
        for (;;) {
            if (records_.size() >= static_cast<size_t>(std::numeric_limits<int32_t>::max())) break;
            // A plain line that ends in a line feed within one read's length
            // is read in place, without the copy.
            const size_t pos = reader.position();
            if (pos < text.size()) {
                const char* const start = text.data() + pos;
                const size_t span = std::min(text.size() - pos, kLineChars);
                const char* const feed = static_cast<const char*>(std::memchr(start, '\n', span));
                PlainLine plain;
                if (feed != nullptr && read_plain_line(start, feed, plain) != nullptr) {
                    reader.skip_to(static_cast<size_t>(feed - text.data()) + 1);
                    std::memcpy(time_buffer_, plain.time, 9);
                    if (plain.magnitude > 0.0f) {
                        records_.push_back(blank_);
                        QuakeRecord& record = records_.back();
                        record.date.year = plain.year;
                        record.date.month = plain.month;
                        record.date.day = plain.day;
                        record.time.hour = digit_pair(plain.time);
                        record.time.minute = digit_pair(plain.time + 2);
                        record.time.second = digit_pair(plain.time + 4);
                        record.time.hundredths = digit_pair(plain.time + 7);
                        record.latitude = plain.latitude;
                        record.longitude = plain.longitude;
                        record.magnitude = plain.magnitude;
                    }
                    continue;
                }
            }

            if (!reader.next()) break;
            char* line = reader.line();
            if (std::strchr(line, ',') == nullptr) continue;
            if (split_fields(line, fields, 7) < 7) continue;

            QuakeRecord record = blank_;
            record.date.year = parse_int_field(fields[0]);
            record.date.month = parse_int_field(fields[1]);
            record.date.day = parse_int_field(fields[2]);
            // A time field longer than nine characters is read from its
            // first nine.
            size_t time_length = std::strlen(fields[3]);
            if (time_length >= 9) {
                std::memcpy(time_buffer_, fields[3], 9);
            } else {
                std::memcpy(time_buffer_, fields[3], time_length + 1);
            }
            record.time.hour = read_time_pair(time_buffer_, 0);
            record.time.minute = read_time_pair(time_buffer_, 2);
            record.time.second = read_time_pair(time_buffer_, 4);
            record.time.hundredths = read_time_pair(time_buffer_, 7);
            record.latitude = parse_float_field(fields[4]);
            record.longitude = parse_float_field(fields[5]);
            record.magnitude = parse_float_field(fields[6]);
            // Zero, negative, no number and NaN all fail this test.
            if (record.magnitude > 0.0f) records_.push_back(record);
        }
        return reader.position();
    }

private:
    std::vector<QuakeRecord>& records_;
    bool header_done_ = false;
    // Every record starts as a copy of this one (the date's text included),
    // then takes the line's values.
    const QuakeRecord blank_;
    // The time field is copied over the start of this buffer; it is not
    // cleared between lines, so a short field leaves the previous line's
    // characters beyond its terminator.
    char time_buffer_[10] = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', '\0'};
};

// Gives back most of the slack when the catalogue came out much smaller than
// reserved (many dropped events or skipped lines).
void finish_catalogue(std::vector<QuakeRecord>& records) {
    if (records.capacity() - records.size() > records.size() / 8) records.shrink_to_fit();
}

// Bytes of the earthquake file taken per read call; the file is never held
// whole, only one piece of it at a time.
constexpr size_t kPieceBytes = size_t{1} << 20;

// Reads the earthquake file piece by piece into `records`. A regular file is
// read twice: first to count its lines, so the catalogue is allocated once.
void stream_catalogue(InputFile& file, std::vector<QuakeRecord>& records) {
    std::string piece(kPieceBytes, '\0');
    if (file.is_regular()) {
        size_t feeds = 0;
        for (size_t got; (got = file.read_some(&piece[0], piece.size())) > 0;)
            feeds += count_line_feeds(std::string_view(piece.data(), got));
        if (!file.rewind()) return;
        records.reserve(feeds);
        advise_large_pages(records.data(), records.capacity() * sizeof(QuakeRecord));
    }
    CatalogueParser parser(records);
    size_t carried = 0;  // bytes of an unfinished read, moved to the front
    for (;;) {
        const size_t got = file.read_some(&piece[carried], piece.size() - carried);
        const bool final = (got == 0);
        const size_t held = carried + got;
        const size_t used = parser.feed(std::string_view(piece.data(), held), final);
        if (final) break;
        carried = held - used;
        std::memmove(&piece[0], piece.data() + used, carried);
    }
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
    records_.clear();
    stream_catalogue(quakes, records_);
    finish_catalogue(records_);
    record_count_ = static_cast<int32_t>(records_.size());
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
    records_.reserve(count_line_feeds(text));
    advise_large_pages(records_.data(), records_.capacity() * sizeof(QuakeRecord));
    CatalogueParser parser(records_);
    parser.feed(text, true);
    finish_catalogue(records_);
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
