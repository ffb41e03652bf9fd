// How the input files' text is cut up: reads of at most 99 characters (a
// longer line is read as several) and fields split at runs of "," the way
// strtok splits them.
#pragma once

#include <cstddef>
#include <string_view>

// Longest piece of a line taken in one read; a longer line continues as the
// next read, and a line of exactly a multiple of this length is followed by
// an empty read.
constexpr size_t kLineChars = 99;

// Hands out the text one read at a time, each as a NUL-terminated copy in a
// fixed buffer so fields can be split in place. The text may be one piece of
// a longer file (`final` false): a read whose end is not in the piece yet is
// then left for the next piece.
class LineReader {
public:
    explicit LineReader(std::string_view text, bool final = true) : text_(text), final_(final) {}

    // False once a read would meet the end of the text before taking any
    // character, or, in a piece that is not the last, could not be completed.
    bool next();

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

// Splits `line` in place at runs of ',' (strtok with delimiter ","): commas
// at either end yield no field and an empty field between two commas does not
// count. Stores up to `max_fields` field starts; returns how many it stored.
int split_fields(char* line, char** fields, int max_fields);
