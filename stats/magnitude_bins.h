// Magnitudes counted in bins of a chosen width. A magnitude belongs to bin
// round(M / width), worked out on whole ten-thousandths of a magnitude so
// that bins, not floating-point values, are compared: 1.9 read as the float
// 1.8999999 falls in bin 19 of width 0.1, as written.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

class MagnitudeBins {
public:
    // Bins of `width`, which must be a positive whole number of
    // ten-thousandths of a magnitude, at most 10; empty otherwise.
    static std::optional<MagnitudeBins> of_width(double width);

    int64_t bin_of(double magnitude) const;
    double centre(int64_t bin) const { return static_cast<double>(bin) * width_; }
    double width() const { return width_; }
    // The whole number of bins nearest to a magnitude difference.
    int64_t bins_in(double magnitude_step) const;

private:
    MagnitudeBins(int64_t ticks, double width) : ticks_(ticks), width_(width) {}
    int64_t ticks_;  // the width in ten-thousandths
    double width_;
};

// Number of events in each bin from the lowest occupied one to the highest.
class MagnitudeHistogram {
public:
    MagnitudeHistogram(const std::vector<float>& magnitudes, const MagnitudeBins& bins);

    bool empty() const { return counts_.empty(); }
    int64_t first_bin() const { return first_bin_; }
    int64_t last_bin() const { return first_bin_ + static_cast<int64_t>(counts_.size()) - 1; }
    // Events in `bin`, 0 outside the occupied range.
    uint64_t count(int64_t bin) const;
    // Events in `bin` and every bin above it.
    uint64_t at_or_above(int64_t bin) const;

private:
    int64_t first_bin_ = 0;
    std::vector<uint64_t> counts_;
    std::vector<uint64_t> from_top_;  // from_top_[i]: events in bins first_bin_ + i and above
};
