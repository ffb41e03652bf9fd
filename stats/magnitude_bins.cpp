// Binning on whole ten-thousandths of a magnitude.
#include "stats/magnitude_bins.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kTicksPerMagnitude = 10000.0;
constexpr int64_t kMaxWidthTicks = 100000;  // a width of 10

}  // namespace

std::optional<MagnitudeBins> MagnitudeBins::of_width(double width) {
    const double ticks = width * kTicksPerMagnitude;
    if (!(ticks >= 0.5) || ticks > static_cast<double>(kMaxWidthTicks)) return std::nullopt;
    const int64_t whole = std::llround(ticks);
    if (std::fabs(ticks - static_cast<double>(whole)) > 1e-6) return std::nullopt;
    return MagnitudeBins(whole, static_cast<double>(whole) / kTicksPerMagnitude);
}

int64_t MagnitudeBins::bin_of(double magnitude) const {
    // A float holds a magnitude below 100 to better than a millionth, so the
    // nearest ten-thousandth is the one written in the file.
    const int64_t ticks = std::llround(magnitude * kTicksPerMagnitude);
    // round(ticks / ticks_), halves away from zero, in integers.
    const int64_t twice = 2 * ticks + (ticks >= 0 ? ticks_ : -ticks_);
    return twice / (2 * ticks_);
}

int64_t MagnitudeBins::bins_in(double magnitude_step) const {
    return std::llround(magnitude_step * kTicksPerMagnitude / static_cast<double>(ticks_));
}

MagnitudeHistogram::MagnitudeHistogram(const std::vector<float>& magnitudes, const MagnitudeBins& bins) {
    if (magnitudes.empty()) return;
    // Binning keeps the order of magnitudes, so the extremes give the range.
    const auto [low, high] = std::minmax_element(magnitudes.begin(), magnitudes.end());
    first_bin_ = bins.bin_of(*low);
    counts_.assign(static_cast<size_t>(bins.bin_of(*high) - first_bin_ + 1), 0);
    for (float magnitude : magnitudes) ++counts_[static_cast<size_t>(bins.bin_of(magnitude) - first_bin_)];
    from_top_.assign(counts_.size(), 0);
    uint64_t above = 0;
    for (size_t i = counts_.size(); i-- > 0;) from_top_[i] = above += counts_[i];
}

uint64_t MagnitudeHistogram::count(int64_t bin) const {
    if (bin < first_bin_ || bin > last_bin()) return 0;
    return counts_[static_cast<size_t>(bin - first_bin_)];
}

uint64_t MagnitudeHistogram::at_or_above(int64_t bin) const {
    if (counts_.empty() || bin > last_bin()) return 0;
    if (bin < first_bin_) return from_top_.front();
    return from_top_[static_cast<size_t>(bin - first_bin_)];
}
