// Line reads and field splitting shared by the landscape and earthquake readers.
#include "data/line_reader.h"

#include <cstring>

bool LineReader::next() {
    if (pos_ >= text_.size()) return false;
    const size_t avail = text_.size() - pos_;
    const size_t take = avail < kLineChars ? avail : kLineChars;
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
