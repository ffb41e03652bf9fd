// Maximum-likelihood b-value and the choice of the magnitude of completeness.
#include "stats/gutenberg_richter.h"

#include <cmath>

#include "tool/selection/selection_options.h"

namespace {

constexpr double kLog10E = 0.43429448190325182765;
// Goodness-of-fit candidates: their span around maxc and how many events a
// candidate needs at or above it.
constexpr double kFirstCandidate = -0.9;
constexpr double kLastCandidate = 1.5;
constexpr uint64_t kMinCandidateEvents = 25;
// Residual limits, in percent, of Mc90 and Mc95.
constexpr double kLimit90 = 10.0;
constexpr double kLimit95 = 5.0;
// What best adds to maxc when no candidate fits: maxc tends to lie below
// the true completeness.
constexpr double kMaxcCorrection = 0.2;
// No catalogue holds a magnitude this large (the importer refuses them).
constexpr double kLargestGivenMc = 100.0;

// R for the law fitted at `mc_bin`, over the bins from Mc to the largest.
double residual(const MagnitudeHistogram& histogram, const MagnitudeBins& bins, int64_t mc_bin,
                const GutenbergRichterFit& fit) {
    double stray = 0.0;
    double observed = 0.0;
    for (int64_t bin = mc_bin; bin <= histogram.last_bin(); ++bin) {
        const double counted = static_cast<double>(histogram.at_or_above(bin));
        stray += std::fabs(counted - std::pow(10.0, fit.a - fit.b * bins.centre(bin)));
        observed += counted;
    }
    return 100.0 * stray / observed;
}

// The first candidate whose residual is within `limit`.
const FitResidual* first_within(const std::vector<FitResidual>& residuals, double limit) {
    for (const FitResidual& candidate : residuals)
        if (candidate.r <= limit) return &candidate;
    return nullptr;
}

}  // namespace

std::optional<GutenbergRichterFit> fit_gutenberg_richter(const MagnitudeHistogram& histogram,
                                                         const MagnitudeBins& bins, int64_t mc_bin) {
    const uint64_t n = histogram.at_or_above(mc_bin);
    // Events that all fall in one bin (the highest) have no spread for b to
    // measure: the estimate would only reflect the bin's width.
    if (n < 2 || histogram.at_or_above(histogram.last_bin()) == n) return std::nullopt;
    const int64_t start = mc_bin > histogram.first_bin() ? mc_bin : histogram.first_bin();
    double sum = 0.0;
    for (int64_t bin = start; bin <= histogram.last_bin(); ++bin)
        sum += static_cast<double>(histogram.count(bin)) * bins.centre(bin);
    const double count = static_cast<double>(n);
    const double mean = sum / count;
    double squares = 0.0;
    for (int64_t bin = start; bin <= histogram.last_bin(); ++bin) {
        const double off = bins.centre(bin) - mean;
        squares += static_cast<double>(histogram.count(bin)) * off * off;
    }
    GutenbergRichterFit fit;
    fit.mc = bins.centre(mc_bin);
    fit.events = n;
    fit.b = kLog10E / (mean - (fit.mc - bins.width() / 2.0));
    fit.b_error = 2.30 * fit.b * fit.b * std::sqrt(squares / (count * (count - 1.0)));
    fit.a = std::log10(count) + fit.b * fit.mc;
    return fit;
}

int64_t max_curvature_bin(const MagnitudeHistogram& histogram) {
    int64_t best = histogram.first_bin();
    for (int64_t bin = histogram.first_bin(); bin <= histogram.last_bin(); ++bin)
        if (histogram.count(bin) > histogram.count(best)) best = bin;
    return best;
}

std::vector<FitResidual> goodness_of_fit(const MagnitudeHistogram& histogram, const MagnitudeBins& bins,
                                         int64_t maxc_bin) {
    std::vector<FitResidual> residuals;
    const int64_t last = maxc_bin + bins.bins_in(kLastCandidate);
    for (int64_t bin = maxc_bin + bins.bins_in(kFirstCandidate); bin <= last; ++bin) {
        if (histogram.at_or_above(bin) < kMinCandidateEvents) continue;
        const std::optional<GutenbergRichterFit> fit = fit_gutenberg_richter(histogram, bins, bin);
        if (fit) residuals.push_back(FitResidual{bin, residual(histogram, bins, bin, *fit)});
    }
    return residuals;
}

std::optional<McRequest> parse_mc_request(const std::string& text) {
    if (text == "best") return McRequest{McMethod::best, 0.0};
    if (text == "maxc") return McRequest{McMethod::maxc, 0.0};
    if (text == "gof90") return McRequest{McMethod::gof90, 0.0};
    if (text == "gof95") return McRequest{McMethod::gof95, 0.0};
    const std::optional<double> value = parse_finite_number(text);
    if (!value || *value < 0.0 || *value > kLargestGivenMc) return std::nullopt;
    return McRequest{McMethod::given, *value};
}

const char* method_name(McMethod method) {
    switch (method) {
        case McMethod::best: return "best";
        case McMethod::maxc: return "maxc";
        case McMethod::gof90: return "gof90";
        case McMethod::gof95: return "gof95";
        case McMethod::given: return "given";
    }
    return "";
}

std::optional<Completeness> find_completeness(const MagnitudeHistogram& histogram, const MagnitudeBins& bins,
                                              const McRequest& request) {
    if (histogram.empty()) return std::nullopt;
    Completeness found;
    found.maxc_bin = max_curvature_bin(histogram);
    found.residuals = goodness_of_fit(histogram, bins, found.maxc_bin);
    const FitResidual* mc90 = first_within(found.residuals, kLimit90);
    const FitResidual* mc95 = first_within(found.residuals, kLimit95);
    switch (request.method) {
        case McMethod::given:
            found.method = McMethod::given;
            found.mc_bin = bins.bin_of(request.magnitude);
            return found;
        case McMethod::maxc:
            found.method = McMethod::maxc;
            found.mc_bin = found.maxc_bin;
            return found;
        case McMethod::gof90:
        case McMethod::gof95: {
            const FitResidual* chosen = request.method == McMethod::gof90 ? mc90 : mc95;
            if (chosen == nullptr) return std::nullopt;
            found.method = request.method;
            found.mc_bin = chosen->mc_bin;
            return found;
        }
        case McMethod::best:
            break;
    }
    if (mc95 != nullptr) {
        found.method = McMethod::gof95;
        found.mc_bin = mc95->mc_bin;
    } else if (mc90 != nullptr) {
        found.method = McMethod::gof90;
        found.mc_bin = mc90->mc_bin;
    } else {
        found.method = McMethod::maxc;
        found.mc_bin = found.maxc_bin + bins.bins_in(kMaxcCorrection);
    }
    return found;
}
