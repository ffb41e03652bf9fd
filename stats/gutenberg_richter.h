// The Gutenberg-Richter law, log10 N(>= M) = a - b M, fitted to the events
// at or above a magnitude of completeness Mc, and the ways of choosing Mc
// (Wiemer & Wyss 2000): maximum curvature and goodness of fit.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "stats/magnitude_bins.h"

struct GutenbergRichterFit {
    double mc = 0.0;
    uint64_t events = 0;  // at or above Mc
    double b = 0.0;
    double b_error = 0.0;
    double a = 0.0;
};

// b by maximum likelihood (Aki 1965) with Utsu's correction for binning,
// its error by Shi & Bolt (1982), and a = log10 n + b Mc, each event counted
// at its bin's centre. Empty when the events at or above `mc_bin` span fewer
// than two bins (none, one event, or all of one bin): there is no b to give.
std::optional<GutenbergRichterFit> fit_gutenberg_richter(const MagnitudeHistogram& histogram,
                                                         const MagnitudeBins& bins, int64_t mc_bin);

// The bin holding the most events (the lowest of equals): maximum curvature.
int64_t max_curvature_bin(const MagnitudeHistogram& histogram);

// One candidate Mc of the goodness-of-fit test and its residual R in
// percent: how far the observed cumulative counts stray from the fitted law.
struct FitResidual {
    int64_t mc_bin = 0;
    double r = 0.0;
};

// The candidates from maxc - 0.9 to maxc + 1.5, one bin apart, that have at
// least 25 events at or above them, in ascending order.
std::vector<FitResidual> goodness_of_fit(const MagnitudeHistogram& histogram, const MagnitudeBins& bins,
                                         int64_t maxc_bin);

enum class McMethod { best, maxc, gof90, gof95, given };

// What --mc asks for: a method, or a magnitude given directly.
struct McRequest {
    McMethod method = McMethod::best;
    double magnitude = 0.0;  // with McMethod::given
};

// "best", "maxc", "gof90", "gof95" or a magnitude from 0 to 100; empty otherwise.
std::optional<McRequest> parse_mc_request(const std::string& text);

// How Mc was found, as the summary names it: never "best", which reports the
// method it settled on.
const char* method_name(McMethod method);

struct Completeness {
    int64_t mc_bin = 0;
    McMethod method = McMethod::maxc;
    int64_t maxc_bin = 0;
    std::vector<FitResidual> residuals;  // every candidate, whichever method chose Mc
};

// Mc as `request` asks: best is Mc95 if found, else Mc90, else maxc + 0.2; a
// given magnitude stands for its bin. Empty for an empty histogram, and when
// gof90 or gof95 is asked for and no candidate is within its limit.
std::optional<Completeness> find_completeness(const MagnitudeHistogram& histogram, const MagnitudeBins& bins,
                                              const McRequest& request);
