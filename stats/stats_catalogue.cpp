// Reading and selecting the catalogue's events.
#include "stats/stats_catalogue.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <tuple>

#include "calendar/calendar_date.h"
#include "data/catalogue_reader.h"
#include "data/data_loader.h"
#include "data/layout_hint.h"
#include "data/records.h"
#include "tool/input_source.h"

namespace {

constexpr double kSecondsPerDay = 86400.0;
constexpr double kDaysPerYear = 365.0;

CivilTime civil_time_of(const QuakeRecord& record) {
    return CivilTime{record.date.year,  record.date.month,  record.date.day,       record.time.hour,
                     record.time.minute, record.time.second, record.time.hundredths};
}

auto order_key(const CivilTime& t) {
    return std::make_tuple(t.year, t.month, t.day, t.hour, t.minute, t.second, t.hundredths);
}

bool same_event(const QuakeRecord& a, const QuakeRecord& b) {
    return order_key(civil_time_of(a)) == order_key(civil_time_of(b)) && a.latitude == b.latitude &&
           a.longitude == b.longitude && a.magnitude == b.magnitude;
}

// Years since year 0 on the viewer's calendar, with the time of day.
double decimal_year(const QuakeRecord& record) {
    CalendarDate new_year;
    new_year.year = record.date.year;
    const double seconds = record.time.hour * 3600.0 + record.time.minute * 60.0 + record.time.second +
                           record.time.hundredths / 100.0;
    return record.date.year + (day_span(new_year, record.date) + seconds / kSecondsPerDay) / kDaysPerYear;
}

// The file's start and its records. A regular file is mapped and read in
// place, without a copy; anything else (a pipe) is read piece by piece, its
// start looked at first and then served again to the reader.
// The entry lines after the header (lines holding more than blanks), or
// -1 when the text was not all seen (a pipe longer than its head).
long long entry_lines(std::string_view text) {
    long long count = 0;
    size_t start = text.find('\n');
    while (start != std::string_view::npos && start + 1 < text.size()) {
        const size_t end = text.find('\n', start + 1);
        const std::string_view line = text.substr(start + 1, (end == std::string_view::npos ? text.size() : end) - start - 1);
        if (line.find_first_not_of(" \t\r") != std::string_view::npos) ++count;
        start = end;
    }
    return count;
}

bool read_records(const std::string& path, std::string* head, std::vector<QuakeRecord>* records,
                  long long* entries, std::string* error) {
    InputSource source;
    if (!source.open(path, false)) {
        *error = source.failure() == InputSource::Failure::is_directory
                     ? "cannot read " + path + ": it is a directory"
                     : "cannot open " + path + ": " + std::strerror(source.error_number());
        return false;
    }
    std::string_view bytes;
    *entries = -1;
    if (source.map_whole(&bytes)) {
        head->assign(bytes.substr(0, DataLoader::kCatalogueHeadBytes));
        read_catalogue_text(bytes, *records);
        if (records->empty()) *entries = entry_lines(bytes);
    } else {
        head->assign(source.head(DataLoader::kCatalogueHeadBytes));
        read_catalogue_file(source, *records);
    }
    if (source.failure() == InputSource::Failure::read_error) {
        *error = "cannot read " + path + ": " + std::strerror(source.error_number());
        return false;
    }
    return true;
}

// The selection's region with its edges at float precision, the precision
// of the catalogue's coordinates: 34.1 as an edge then keeps 34.1 as read.
Region float_region(const Region& region) {
    auto f = [](double edge) { return static_cast<double>(static_cast<float>(edge)); };
    return Region{f(region.south), f(region.north), f(region.west), f(region.east)};
}

}  // namespace

bool read_stats_events(const std::string& path, const Selection& selection, bool with_years, StatsEvents* events,
                       std::string* error) {
    std::string head;
    std::vector<QuakeRecord> records;
    long long entries = -1;
    if (!read_records(path, &head, &records, &entries, error)) return false;

    *error = catalogue_layout_hint(path.c_str(), head, records);
    if (!error->empty()) return false;
    // The importer writes the last event twice, for the viewer to draw it.
    if (records.size() >= 2 && same_event(records[records.size() - 1], records[records.size() - 2]))
        records.pop_back();

    // The magnitude at float precision, as the catalogue's are read: a
    // --min-mag of 1.9 keeps the 1.9 read as 1.8999999.
    const float min_magnitude = static_cast<float>(selection.min_magnitude);
    const std::optional<Region> region =
        selection.region ? std::optional<Region>(float_region(*selection.region)) : std::nullopt;
    const bool has_from = selection.from_us.has_value();
    const bool has_to = selection.to_us.has_value();
    const auto from = order_key(has_from ? civil_time(*selection.from_us) : CivilTime{});
    const auto to = order_key(has_to ? civil_time(*selection.to_us) : CivilTime{});

    events->magnitudes.clear();
    events->years.clear();
    events->magnitudes.reserve(records.size());
    if (with_years) events->years.reserve(records.size());
    for (const QuakeRecord& record : records) {
        if (record.magnitude < min_magnitude) continue;
        if (region && !region->contains(record.latitude, record.longitude)) continue;
        const CivilTime when = civil_time_of(record);
        if ((has_from && order_key(when) < from) || (has_to && !(order_key(when) < to))) continue;
        if (events->magnitudes.empty() || order_key(when) < order_key(events->first)) events->first = when;
        if (events->magnitudes.empty() || order_key(events->last) < order_key(when)) events->last = when;
        events->magnitudes.push_back(record.magnitude);
        if (with_years) events->years.push_back(decimal_year(record));
    }
    if (events->magnitudes.empty()) {
        *error = path + ": no event " + (records.empty() ? "in the catalogue" : "is selected");
        // Entries the viewer's reader dropped are not no entries at all.
        if (records.empty() && entries > 0)
            *error += ": all " + std::to_string(entries) + (entries == 1 ? " entry was" : " entries were") +
                      " dropped, as the viewer drops them: an entry needs seven fields and a magnitude above 0";
        return false;
    }
    return true;
}

std::string time_text(const CivilTime& time) {
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%02d", time.year, time.month, time.day,
                  time.hour, time.minute, time.second, time.hundredths);
    return text;
}
