// Deterministic benchmark input: a large synthetic catalogue and a small
// outline, written to temporary files that are removed on destruction.
#pragma once

#include <cstddef>
#include <string>

namespace bench {

constexpr int kBenchEvents = 1000000;

// The outline: a box of whole degrees around the catalogue's epicentres.
constexpr int kOutlineMinLat = 32;
constexpr int kOutlineMaxLat = 42;
constexpr int kOutlineMinLon = -125;
constexpr int kOutlineMaxLon = -114;

// `events` lines after a header: ascending dates over 50 years of the
// 365-day calendar, HHMMSS.hh times, latitudes and longitudes with four
// decimals inside the outline, magnitudes 1 + exponential (two decimals).
std::string make_catalogue_text(int events);
// The same over `years` years from 1970, for catalogues of other densities.
std::string make_catalogue_text(int events, int years);
std::string make_outline_text();

// A file in the temporary directory holding `text`; removed with the object.
class TempFile {
public:
    TempFile(const std::string& stem, const std::string& text);
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const char* path() const { return path_.c_str(); }
    size_t size() const { return size_; }

private:
    std::string path_;
    size_t size_ = 0;
};

// Both input files, generated once per process.
const TempFile& catalogue_file();
const TempFile& outline_file();

}  // namespace bench
