// Reading and selecting the catalogue's events.
#include "stats/stats_catalogue.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <tuple>

#include <date/date.h>

#include "data/catalogue_reader.h"
#include "data/data_loader.h"
#include "data/layout_hint.h"
#include "data/records.h"
#include "tool/input_source.h"

namespace {

constexpr double kSecondsPerDay = 86400.0;

CivilTime civil_time_of(const QuakeRecord& record) {
    return CivilTime{record.date.year,  record.date.month,  record.date.day,       record.time.hour,
                     record.time.minute, record.time.second, record.time.hundredths};
}

auto order_key(const CivilTime& t) {
    return std::make_tuple(t.year, t.month, t.day, t.hour, t.minute, t.second, t.hundredths);
}

bool same_event(const QuakeRecord& a, const QuakeRecord& b) {
    return record_time_order(a) == record_time_order(b) && a.latitude == b.latitude &&
           a.longitude == b.longitude && a.magnitude == b.magnitude;
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
                  long long* entries, std::vector<float>* depths, std::string* error) {
    InputSource source;
    if (!source.open(path, false)) {
        *error = source.failure_text(path);
        return false;
    }
    std::string_view bytes;
    *entries = -1;
    if (source.map_whole(&bytes)) {
        head->assign(bytes.substr(0, DataLoader::kCatalogueHeadBytes));
        read_catalogue_text(bytes, *records, depths);
        if (records->empty()) *entries = entry_lines(bytes);
    } else {
        head->assign(source.head(DataLoader::kCatalogueHeadBytes));
        read_catalogue_file(source, *records, depths);
    }
    if (source.failure() == InputSource::Failure::read_error) {
        *error = source.failure_text(path);
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

bool read_stats_events(const std::string& path, const Selection& selection, EventFields fields, StatsEvents* events,
                       std::string* error) {
    std::string head;
    std::vector<QuakeRecord> records;
    long long entries = -1;
    // Depths are read only for a depth selection, one per record.
    std::vector<float> depths;
    if (!read_records(path, &head, &records, &entries, selection.depth ? &depths : nullptr, error)) return false;

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

    // The depth range at float precision too, as depths are read.
    const bool by_depth = selection.depth.has_value();
    const DepthRange depth = by_depth ? DepthRange{static_cast<float>(selection.depth->min_km),
                                                   static_cast<float>(selection.depth->max_km)}
                                      : DepthRange{};
    events->without_depth = 0;
    events->magnitudes.clear();
    events->times.clear();
    events->latitudes.clear();
    events->longitudes.clear();
    events->magnitudes.reserve(records.size());
    if (fields.times) events->times.reserve(records.size());
    if (fields.places) {
        events->latitudes.reserve(records.size());
        events->longitudes.reserve(records.size());
    }
    for (size_t i = 0; i < records.size(); ++i) {
        const QuakeRecord& record = records[i];
        if (record.magnitude < min_magnitude) continue;
        if (region && !region->contains(record.latitude, record.longitude)) continue;
        const CivilTime when = civil_time_of(record);
        if ((has_from && order_key(when) < from) || (has_to && !(order_key(when) < to))) continue;
        if (by_depth) {
            if (std::isnan(depths[i])) {
                ++events->without_depth;
                continue;
            }
            if (!depth.contains(depths[i])) continue;
        }
        if (events->magnitudes.empty() || order_key(when) < order_key(events->first)) events->first = when;
        if (events->magnitudes.empty() || order_key(events->last) < order_key(when)) events->last = when;
        events->magnitudes.push_back(record.magnitude);
        if (fields.times) events->times.push_back(utc_seconds_unchecked(record));
        if (fields.places) {
            events->latitudes.push_back(record.latitude);
            events->longitudes.push_back(record.longitude);
        }
    }
    if (events->magnitudes.empty()) {
        *error = path + ": no event " + (records.empty() ? "in the catalogue" : "is selected");
        // Entries the viewer's reader dropped are not no entries at all.
        if (records.empty() && entries > 0)
            *error += ": all " + std::to_string(entries) + (entries == 1 ? " entry was" : " entries were") +
                      " dropped, as the viewer drops them: an entry needs seven fields and a magnitude above 0";
        if (events->without_depth > 0)
            *error += " (" + std::to_string(events->without_depth) + " without a depth, dropped by --depth)";
        return false;
    }
    return true;
}

double utc_seconds_unchecked(const QuakeRecord& record) {
    // The civil-to-days arithmetic of the date library holds for any month
    // and day numbers; only the check below needs them to be real.
    const date::year_month_day day{date::year{record.date.year}, date::month{static_cast<unsigned>(record.date.month)},
                                   date::day{static_cast<unsigned>(record.date.day)}};
    const double days = static_cast<double>(date::sys_days{day}.time_since_epoch().count());
    return days * kSecondsPerDay + record.time.hour * 3600.0 + record.time.minute * 60.0 + record.time.second +
           record.time.hundredths / 100.0;
}

std::optional<double> utc_seconds(const QuakeRecord& record) {
    const TimeOfDay& t = record.time;
    if (record.date.month < 1 || record.date.month > 12 || record.date.day < 1 || record.date.year < -32767 ||
        record.date.year > 32767)
        return std::nullopt;
    const date::year_month_day day{date::year{record.date.year}, date::month{static_cast<unsigned>(record.date.month)},
                                   date::day{static_cast<unsigned>(record.date.day)}};
    if (!day.ok() || t.hour < 0 || t.hour > 23 || t.minute < 0 || t.minute > 59 || t.second < 0 || t.second > 59 ||
        t.hundredths < 0 || t.hundredths > 99)
        return std::nullopt;
    return utc_seconds_unchecked(record);
}

std::string time_text(const CivilTime& time) {
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%02d", time.year, time.month, time.day,
                  time.hour, time.minute, time.second, time.hundredths);
    return text;
}
