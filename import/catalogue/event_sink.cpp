// Event checks, selection and counting shared by every catalogue reader.
#include "import/catalogue/event_sink.h"
#include "tool/text_basics.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace {

// Magnitudes at or above this are no magnitudes of real events; they would
// also not fit the viewer's short lines.
constexpr double kMagnitudeLimit = 100.0;

bool is_earthquake(std::string_view type) {
    return type.empty() || equals_ignoring_case(type, "earthquake");
}

}  // namespace

bool Region::contains(double latitude, double longitude) const {
    if (latitude < south || latitude > north) return false;
    if (west <= east) return longitude >= west && longitude <= east;
    return longitude >= west || longitude <= east;
}

const char* EventSink::offer(const RawEvent& event) {
    if (!(event.latitude >= -90.0 && event.latitude <= 90.0)) return "latitude outside -90 to 90";
    if (!(event.longitude >= -180.0 && event.longitude <= 180.0)) return "longitude outside -180 to 180";
    if (event.magnitude && !(std::fabs(*event.magnitude) < kMagnitudeLimit)) return "magnitude out of range";

    if (first_sighting_ && !event.id.empty() && !first_sighting_(event.id)) {
        ++counts_.repeated;
    } else if (!selection_.all_types && !is_earthquake(trim_blanks(event.type))) {
        ++counts_.not_earthquake;
    } else if (!event.magnitude || !(*event.magnitude > 0.0)) {
        ++counts_.no_magnitude;
    } else if (*event.magnitude < selection_.min_magnitude) {
        ++counts_.below_min_magnitude;
    } else if ((selection_.from_us && event.time_us < *selection_.from_us) ||
               (selection_.to_us && event.time_us >= *selection_.to_us)) {
        ++counts_.outside_time;
    } else if (selection_.region && !selection_.region->contains(event.latitude, event.longitude)) {
        ++counts_.outside_region;
    } else {
        ++counts_.kept;
        const double longitude = selection_.longitudes == LongitudeForm::east_360 && event.longitude < 0.0
                                     ? event.longitude + 360.0
                                     : event.longitude;
        events_.push_back(QuakeEvent{event.time_us, event.latitude, longitude, *event.magnitude});
    }
    return nullptr;
}

void EventSink::bad(const std::string& where, const std::string& what) {
    if (!selection_.skip_bad) throw ImportError(where + ": " + what);
    ++counts_.bad;
}


std::optional<double> parse_decimal(std::string_view text) {
    text = trim_blanks(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty() || text.front() == '+') return std::nullopt;
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (end != text.data() + text.size()) return std::nullopt;
    // A number too small for a double (1e-400) is still a number: it reads
    // as 0, as strtod reads it; one too large has no value to stand for it.
    if (error == std::errc::result_out_of_range) {
        const double nearest = std::strtod(std::string(text).c_str(), nullptr);
        return std::fabs(nearest) < 1 ? std::optional<double>(nearest) : std::nullopt;
    }
    if (error != std::errc() || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::string quoted_for_message(std::string_view text) {
    constexpr size_t kLongest = 60;
    std::string out = "\"";
    for (char c : text.substr(0, kLongest)) {
        // Control bytes would garble the terminal; show them as '?'.
        out += (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) ? '?' : c;
    }
    if (text.size() > kLongest) out += "...";
    return out + "\"";
}
