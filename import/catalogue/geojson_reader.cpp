// GeoJSON event feed reader.
#include "import/catalogue/geojson_reader.h"

#include <simdjson.h>

#include <cmath>
#include <optional>

#include "import/iso_time.h"
#include "tool/text_basics.h"

namespace {

using simdjson::ondemand::json_type;
using simdjson::ondemand::number_type;

// A feed's "time" (milliseconds since 1970 UTC, whole as a rule) in
// microseconds; empty outside the years the importer accepts. Whole numbers
// are converted exactly, fractions cut off below the microsecond.
std::optional<int64_t> milliseconds_to_us(simdjson::ondemand::number number) {
    constexpr int64_t kEarliestMs = kEarliestTimeUs / 1000;
    constexpr int64_t kLatestMs = kLatestTimeUs / 1000;
    if (number.get_number_type() == number_type::signed_integer) {
        const int64_t ms = number.get_int64();
        if (ms < kEarliestMs || ms > kLatestMs) return std::nullopt;
        return ms * 1000;
    }
    const double us = std::floor(number.as_double() * 1000.0);
    if (!(us >= static_cast<double>(kEarliestTimeUs) && us <= static_cast<double>(kLatestTimeUs)))
        return std::nullopt;
    return static_cast<int64_t>(us);
}

class FeedReader {
public:
    FeedReader(simdjson::padded_string_view text, const std::string& name, EventSink& sink)
        : text_(text), name_(name), sink_(sink) {}

    void read() {
        std::string_view type;
        bool has_features = false;
        try {
            document_ = parser_.iterate(text_);
            started_ = true;
            if (document_.type() != json_type::object) throw ImportError(name_ + ": not a GeoJSON FeatureCollection");
            for (auto field : document_.get_object()) {
                const std::string_view key = field.unescaped_key();
                if (key == "type") {
                    type = field.value().get_string();
                    if (type != "FeatureCollection")
                        throw ImportError(name_ + ": a GeoJSON " + quoted_for_message(type) +
                                          ", not a FeatureCollection of events");
                } else if (key == "features") {
                    has_features = true;
                    for (auto feature : field.value().get_array()) read_feature(feature.value());
                }
            }
            // Anything after the collection's closing brace but blanks.
            const char* rest = nullptr;
            if (document_.current_location().get(rest) == simdjson::SUCCESS && rest != nullptr)
                throw ImportError(where() + ": text after the end of the GeoJSON document");
        } catch (const simdjson::simdjson_error& e) {
            // A file cut short fails before reading starts; its fault lies at
            // its end.
            const bool ends_early = e.error() == simdjson::INCOMPLETE_ARRAY_OR_OBJECT ||
                                    e.error() == simdjson::UNCLOSED_STRING || e.error() == simdjson::EMPTY;
            const std::string place = ends_early ? name_ + ": byte " + std::to_string(text_.length())
                                      : started_ ? where() : name_ + ": byte 0";
            throw ImportError(place + ": not valid JSON" + (ends_early ? " (the file ends early)" : "") + ": " +
                              e.what());
        }
        if (!has_features) throw ImportError(name_ + ": the GeoJSON has no \"features\" array");
    }

private:
    // Where the reader stands, as a byte offset into the file.
    std::string where() {
        const char* at = nullptr;
        if (document_.current_location().get(at) != simdjson::SUCCESS || at == nullptr)
            return name_ + ": at the end (byte " + std::to_string(text_.length()) + ")";
        return name_ + ": byte " + std::to_string(at - text_.data());
    }

    void read_feature(simdjson::ondemand::value feature) {
        const std::string place = where();
        sink_.count_read();
        RawEvent event;
        std::optional<int64_t> time_us;
        std::optional<double> latitude;
        std::optional<double> longitude;
        bool has_coordinates = false;
        const char* problem = nullptr;
        for (auto field : feature.get_object()) {
            const std::string_view key = field.unescaped_key();
            simdjson::ondemand::value value = field.value();
            if (key == "properties") {
                if (value.is_null()) continue;
                for (auto property : value.get_object()) {
                    const std::string_view name = property.unescaped_key();
                    simdjson::ondemand::value item = property.value();
                    if (name == "time") {
                        if (item.type() == json_type::number) time_us = milliseconds_to_us(item.get_number());
                    } else if (name == "mag") {
                        if (item.type() == json_type::number) {
                            event.magnitude = item.get_double();
                        } else if (!item.is_null()) {
                            problem = "\"mag\" is neither a number nor null";
                        }
                    } else if (name == "type") {
                        if (item.type() == json_type::string) event.type = item.get_string();
                    }
                }
            } else if (key == "geometry") {
                if (value.is_null()) continue;
                for (auto part : value.get_object()) {
                    const std::string_view name = part.unescaped_key();
                    simdjson::ondemand::value item = part.value();
                    if (name == "type") {
                        const std::string_view shape = item.get_string();
                        if (shape == "Polygon" || shape == "MultiPolygon")
                            throw ImportError(name_ + ": holds a region outline (" + std::string(shape) +
                                              " geometries), not events; use: sismap-import outline");
                        if (shape != "Point") problem = "the geometry is not a Point";
                    } else if (name == "coordinates" && item.type() == json_type::array) {
                        size_t index = 0;
                        for (auto coordinate : item.get_array()) {
                            simdjson::ondemand::value number = coordinate.value();
                            if (index < 2 && number.type() == json_type::number) {
                                (index == 0 ? longitude : latitude) = number.get_double();
                            }
                            ++index;
                        }
                        has_coordinates = true;
                    }
                }
            }
        }
        if (problem != nullptr) return sink_.bad(place, problem);
        if (!time_us) return sink_.bad(place, "the feature has no \"time\" in milliseconds within the years 0001 to 9999");
        if (!has_coordinates || !latitude || !longitude)
            return sink_.bad(place, "the feature has no [longitude, latitude] coordinates");
        event.time_us = *time_us;
        event.latitude = *latitude;
        event.longitude = *longitude;
        if (const char* value_problem = sink_.offer(event)) sink_.bad(place, value_problem);
    }

    simdjson::padded_string_view text_;
    const std::string& name_;
    EventSink& sink_;
    simdjson::ondemand::parser parser_;
    simdjson::ondemand::document document_;
    bool started_ = false;
};

}  // namespace

void read_geojson_catalogue(std::string_view text, size_t capacity, const std::string& name, EventSink& sink) {
    // simdjson takes no byte-order mark; the padding after the text stays.
    const size_t mark = text.size() - without_byte_order_mark(text).size();
    text.remove_prefix(mark);
    capacity -= mark;
    if (capacity >= text.size() + simdjson::SIMDJSON_PADDING) {
        FeedReader(simdjson::padded_string_view(text.data(), text.size(), capacity), name, sink).read();
        return;
    }
    const simdjson::padded_string padded(text);
    FeedReader(padded, name, sink).read();
}
