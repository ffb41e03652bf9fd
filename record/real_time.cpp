// Real-time frame selection over the catalogue's UTC instants, worked out
// with the date library so leap years and month lengths are the calendar's.
#include "record/real_time.h"

#include <date/date.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <numeric>

#include "record/map_style.h"

namespace {

using Hundredths = std::chrono::duration<int64_t, std::centi>;
using Instant = date::sys_time<Hundredths>;
constexpr int64_t kPerSecond = 100;
constexpr int64_t kPerDay = 86400 * kPerSecond;

// The entry's instant, or false when its fields are no real UTC time. A
// leap second (ss = 60) counts as the first second of the next minute.
bool instant_of(const QuakeRecord& r, int64_t* instant) {
    const date::year_month_day day{date::year{r.date.year}, date::month{static_cast<unsigned>(r.date.month)},
                                   date::day{static_cast<unsigned>(r.date.day)}};
    const TimeOfDay& t = r.time;
    if (r.date.month < 1 || r.date.day < 1 || r.date.year < 1 || r.date.year > 9999 || !day.ok() || t.hour < 0 ||
        t.hour > 23 || t.minute < 0 || t.minute > 59 || t.second < 0 || t.second > 60 || t.hundredths < 0 ||
        t.hundredths > 99)
        return false;
    const Instant at = date::sys_days{day} + std::chrono::hours{t.hour} + std::chrono::minutes{t.minute} +
                       std::chrono::seconds{t.second} + Hundredths{t.hundredths};
    *instant = at.time_since_epoch().count();
    return true;
}

constexpr const char* kDay = "%Y/%m/%d";
constexpr const char* kDayAndTime = "%Y/%m/%d %H:%M";

std::string format_instant(const char* form, int64_t instant) {
    return date::format(form, date::floor<std::chrono::minutes>(Instant{Hundredths{instant}}));
}

}  // namespace

bool RealTimeFrames::prepare(std::vector<QuakeRecord>& catalogue, const std::string& source, int64_t window_seconds,
                             int64_t step_seconds, int64_t max_frames, std::string* error,
                             std::vector<float>* companion) {
    window_ = window_seconds * kPerSecond;
    step_ = step_seconds * kPerSecond;
    time_of_day_ = step_ % kPerDay != 0 || window_ % kPerDay != 0;
    instants_.resize(catalogue.size());
    for (size_t i = 0; i < catalogue.size(); ++i) {
        if (!instant_of(catalogue[i], &instants_[i])) {
            const QuakeRecord& r = catalogue[i];
            char seen[80];
            std::snprintf(seen, sizeof seen, "%d/%d/%d at %02d:%02d:%02d.%02d", r.date.year, r.date.month, r.date.day,
                          r.time.hour, r.time.minute, r.time.second, r.time.hundredths);
            *error = source + ": entry " + std::to_string(i + 1) + " is dated " + seen +
                     ", which is no real UTC time; real-time frames (--window, --step) need real dates and times";
            return false;
        }
    }
    if (catalogue.empty()) {
        *error = source + ": the catalogue holds no entry";
        return false;
    }
    // Time order; a catalogue the importer wrote is in it already.
    if (!std::is_sorted(instants_.begin(), instants_.end())) {
        std::vector<size_t> order(catalogue.size());
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return instants_[a] < instants_[b]; });
        std::vector<QuakeRecord> records;
        std::vector<int64_t> instants;
        records.reserve(order.size());
        instants.reserve(order.size());
        for (size_t i : order) {
            records.push_back(catalogue[i]);
            instants.push_back(instants_[i]);
        }
        catalogue.swap(records);
        instants_.swap(instants);
        if (companion != nullptr && companion->size() == order.size()) {
            std::vector<float> values;
            values.reserve(order.size());
            for (size_t i : order) values.push_back((*companion)[i]);
            companion->swap(values);
        }
    }

    const Instant first{Hundredths{instants_.front()}};
    const int64_t midnight = Instant{date::floor<date::days>(first)}.time_since_epoch().count();
    t0_ = midnight + (instants_.front() - midnight) / step_ * step_;
    const int64_t past_first_window = instants_.back() - t0_ - window_;
    last_ = past_first_window < 0 ? 0 : past_first_window / step_ + 1;
    if (last_ >= max_frames) {
        *error = "--window " + std::to_string(window_seconds) + "s and --step " + std::to_string(step_seconds) +
                 "s would make " + std::to_string(last_ + 1) + " frames, more than " + std::to_string(max_frames) +
                 "; choose a longer --step";
        return false;
    }
    return true;
}

int64_t RealTimeFrames::first_frame_from(const CalendarDate& day) const {
    const date::year_month_day ymd{date::year{day.year}, date::month{static_cast<unsigned>(day.month)},
                                   date::day{static_cast<unsigned>(day.day)}};
    const int64_t from = Instant{date::sys_days{ymd}}.time_since_epoch().count();
    const int64_t k = from <= t0_ ? 0 : (from - t0_ + step_ - 1) / step_;
    return k > last_ ? -1 : k;
}

void RealTimeFrames::entries(int64_t k, int32_t* first, int32_t* end) const {
    const int64_t start = t0_ + k * step_;
    *first = static_cast<int32_t>(std::lower_bound(instants_.begin(), instants_.end(), start) - instants_.begin());
    *end = static_cast<int32_t>(std::lower_bound(instants_.begin(), instants_.end(), start + window_) -
                                instants_.begin());
}

int64_t RealTimeFrames::bound_grain() const { return std::gcd(step_, window_); }

void RealTimeFrames::window_days(int64_t k, double* start, double* end) const {
    const auto measure = [](int64_t instant) {
        const Instant at{Hundredths{instant}};
        const date::sys_days day = date::floor<date::days>(at);
        const date::year_month_day ymd{day};
        const double seconds = std::chrono::duration<double>(at - day).count();
        return day_measure(static_cast<int>(ymd.year()), static_cast<int>(static_cast<unsigned>(ymd.month())),
                           static_cast<int>(static_cast<unsigned>(ymd.day()))) +
               seconds / 86400.0;
    };
    *start = measure(t0_ + k * step_);
    *end = measure(t0_ + k * step_ + window_);
}

std::string RealTimeFrames::start_text(int64_t k) const {
    return format_instant(time_of_day_ ? kDayAndTime : kDay, t0_ + k * step_);
}

std::string RealTimeFrames::legend(int64_t k) const {
    const int64_t start = t0_ + k * step_;
    // With times of day, the window's end instant; in whole days, the last
    // day the window covers.
    const int64_t end = time_of_day_ ? start + window_ : start + window_ - 1;
    const char* form = time_of_day_ ? kDayAndTime : kDay;
    std::string end_text = format_instant(form, end);
    if (short_end_) {
        const std::string begin = format_instant(form, start);
        // YYYY/MM/DD[ HH:MM]: the year is 0..3, the date 0..9.
        if (time_of_day_ && begin.compare(0, 10, end_text, 0, 10) == 0)
            end_text.erase(0, 11);
        else if (begin.compare(0, 5, end_text, 0, 5) == 0)
            end_text.erase(0, 5);
    }
    return start_text(k) + " - " + end_text;
}
