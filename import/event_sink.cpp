// Event checks, selection and counting shared by every catalogue reader.
#include "import/event_sink.h"
#include "tool/text_basics.h"

#include <cmath>
#include <limits>

namespace {

// Magnitudes at or above this are no magnitudes of real events; they would
// also not fit the viewer's short lines.
constexpr double kMagnitudeLimit = 100.0;

bool is_earthquake(std::string_view type) {
    return type.empty() || equals_ignoring_case(type, "earthquake");
}

}  // namespace

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
    } else if (selection_.depth && !event.depth_km) {
        ++counts_.no_depth;
    } else if (selection_.depth && !selection_.depth->contains(*event.depth_km)) {
        ++counts_.outside_depth;
    } else {
        ++counts_.kept;
        const double longitude = selection_.longitudes == LongitudeForm::east_360 && event.longitude < 0.0
                                     ? event.longitude + 360.0
                                     : event.longitude;
        events_.push_back(QuakeEvent{event.time_us, event.latitude, longitude, *event.magnitude,
                                     event.depth_km ? *event.depth_km : std::numeric_limits<double>::quiet_NaN()});
    }
    return nullptr;
}

void EventSink::bad(const std::string& where, const std::string& what) {
    if (!selection_.skip_bad) throw ImportError(where + ": " + what);
    ++counts_.bad;
}

