// The GeoJSON feed's reading with simdjson's On-Demand API. On-Demand code is
// compiled for one simdjson kernel, the one the compiler flags allow; the
// build compiles this file once per kernel (SISMAP_GEOJSON_KERNEL names it)
// and the reader picks the copy for the running processor.
#include "import/downloads/geojson_feed.h"

#include <simdjson.h>

#include <cmath>
#include <cstring>
#include <utility>

#include "tool/selection/iso_time.h"

#ifndef SISMAP_GEOJSON_KERNEL
#define SISMAP_GEOJSON_KERNEL builtin
#endif
#define SISMAP_KERNEL_NAMESPACE_(kernel) geojson_feed_##kernel
#define SISMAP_KERNEL_NAMESPACE(kernel) SISMAP_KERNEL_NAMESPACE_(kernel)
#define SISMAP_TEXT_(word) #word
#define SISMAP_TEXT(word) SISMAP_TEXT_(word)

namespace {
constexpr bool same_text(const char* a, const char* b) { return *a == *b && (*a == '\0' || same_text(a + 1, b + 1)); }
}  // namespace
// A copy named for a kernel is compiled for it, or its flags are wrong.
static_assert(same_text(SISMAP_TEXT(SISMAP_GEOJSON_KERNEL), "builtin") ||
                  same_text(SISMAP_TEXT(SISMAP_GEOJSON_KERNEL), SISMAP_TEXT(SIMDJSON_BUILTIN_IMPLEMENTATION)),
              "this copy of the feed reader is not compiled for the simdjson kernel it is named for");

namespace SISMAP_KERNEL_NAMESPACE(SISMAP_GEOJSON_KERNEL) {
namespace {

using simdjson::ondemand::json_type;
using simdjson::ondemand::number_type;

// A feed's "time" (milliseconds since 1970 UTC, whole as a rule) in
// microseconds; false outside the years the importer accepts. Whole numbers
// are converted exactly, fractions cut off below the microsecond.
bool milliseconds_to_us(simdjson::ondemand::number number, int64_t* us) {
    constexpr int64_t kEarliestMs = kEarliestTimeUs / 1000;
    constexpr int64_t kLatestMs = kLatestTimeUs / 1000;
    if (number.get_number_type() == number_type::signed_integer) {
        const int64_t ms = number.get_int64();
        if (ms < kEarliestMs || ms > kLatestMs) return false;
        *us = ms * 1000;
        return true;
    }
    const double value = std::floor(number.as_double() * 1000.0);
    if (!(value >= static_cast<double>(kEarliestTimeUs) && value <= static_cast<double>(kLatestTimeUs))) return false;
    *us = static_cast<int64_t>(value);
    return true;
}

// True when `text` is `word`. (std::string_view's own comparison is shared
// code that this file must not compile.)
template <size_t N>
bool is(std::string_view text, const char (&word)[N]) {
    return text.size() == N - 1 && std::memcmp(text.data(), word, N - 1) == 0;
}

// Every simdjson call reports by error code, and the feed's source words the
// messages, throws and hands events on: this file compiles as little shared
// code (exceptions, strings, the event sink) as it can with the kernel's
// instruction sets.
#define SISMAP_TRY(expression)                                   \
    do {                                                         \
        if (const simdjson::error_code failed_ = (expression)) { \
            return failed_;                                      \
        }                                                        \
    } while (false)

using simdjson::error_code;
using simdjson::SUCCESS;

class FeedReader {
public:
    explicit FeedReader(FeedSource& source) : source_(source) {}

    void read() {
        const FeedDocument collection = source_.collection();
        at_ = &collection;
        const error_code error = read_collection(collection);
        if (error != SUCCESS) {
            // A file cut short fails before reading starts; its fault lies
            // at its end.
            const bool whole = source_.piece_count() == 0;
            const bool ends_early = whole && (error == simdjson::INCOMPLETE_ARRAY_OR_OBJECT ||
                                              error == simdjson::UNCLOSED_STRING || error == simdjson::EMPTY);
            source_.fail_json(ends_early ? source_.text_length() : current_ != nullptr ? offset() : at_->file_offset(0),
                              simdjson::error_message(error), ends_early);
        }
    }

private:
    error_code read_collection(const FeedDocument& collection) {
        SISMAP_TRY(parser_.iterate(collection.data, collection.length, collection.capacity).get(collection_));
        current_ = &collection_;
        json_type top;
        SISMAP_TRY(collection_.type().get(top));
        if (top != json_type::object) source_.fail(FeedFault::not_a_collection, kAtNoPlace, {});
        simdjson::ondemand::object members;
        SISMAP_TRY(collection_.get_object().get(members));
        bool has_features = false;
        for (auto member : members) {
            simdjson::ondemand::field field;
            SISMAP_TRY(std::move(member).get(field));
            std::string_view key;
            SISMAP_TRY(field.unescaped_key().get(key));
            if (is(key, "type")) {
                std::string_view type;
                SISMAP_TRY(field.value().get_string().get(type));
                if (!is(type, "FeatureCollection")) source_.fail(FeedFault::other_type, kAtNoPlace, type);
            } else if (is(key, "features")) {
                has_features = true;
                // Split, the collection's own array is empty; its features
                // come in pieces.
                simdjson::ondemand::array features;
                SISMAP_TRY(field.value().get_array().get(features));
                SISMAP_TRY(read_features(features));
                if (source_.piece_count() > 0) SISMAP_TRY(read_pieces(collection));
            }
        }
        // Anything after the collection's closing brace but blanks.
        const char* rest = nullptr;
        if (collection_.current_location().get(rest) == SUCCESS && rest != nullptr)
            source_.fail(FeedFault::text_after_end, offset(), {});
        if (!has_features) source_.fail(FeedFault::no_features, kAtNoPlace, {});
        return SUCCESS;
    }

    error_code read_features(simdjson::ondemand::array& features) {
        for (auto element : features) {
            simdjson::ondemand::value feature;
            SISMAP_TRY(std::move(element).get(feature));
            SISMAP_TRY(read_feature(feature));
        }
        return SUCCESS;
    }

    // The features in pieces, each "[feature,...]" and parsed on its own.
    error_code read_pieces(const FeedDocument& collection) {
        const size_t count = source_.piece_count();
        for (size_t index = 0; index < count; ++index) {
            const FeedDocument piece = source_.piece(index);
            at_ = &piece;
            current_ = nullptr;
            // A piece's features stand one level higher than in the whole
            // collection: one level less allowed keeps the same limit.
            if (piece_parser_.capacity() < piece.length)
                SISMAP_TRY(piece_parser_.allocate(piece.length, simdjson::DEFAULT_MAX_DEPTH - 1));
            SISMAP_TRY(piece_parser_.iterate(piece.data, piece.length, piece.capacity).get(piece_));
            current_ = &piece_;
            simdjson::ondemand::array features;
            SISMAP_TRY(piece_.get_array().get(features));
            SISMAP_TRY(read_features(features));
        }
        at_ = &collection;
        current_ = &collection_;
        return SUCCESS;
    }

    // Where the reader stands, as a byte offset into the file; past the
    // collection's end, kAtEnd.
    size_t offset() {
        const char* at = nullptr;
        if (current_->current_location().get(at) != SUCCESS || at == nullptr)
            return current_ == &collection_ ? kAtEnd : at_->file_offset(at_->length - 1);
        return at_->file_offset(static_cast<size_t>(at - at_->data));
    }

    error_code read_properties(simdjson::ondemand::value& value, FeatureParts& parts) {
        bool null = false;
        SISMAP_TRY(value.is_null().get(null));
        if (null) return SUCCESS;
        simdjson::ondemand::object properties;
        SISMAP_TRY(value.get_object().get(properties));
        for (auto member : properties) {
            simdjson::ondemand::field property;
            SISMAP_TRY(std::move(member).get(property));
            std::string_view name;
            SISMAP_TRY(property.unescaped_key().get(name));
            simdjson::ondemand::value item = property.value();
            if (is(name, "time")) {
                json_type type;
                SISMAP_TRY(item.type().get(type));
                if (type == json_type::number) {
                    simdjson::ondemand::number number;
                    SISMAP_TRY(item.get_number().get(number));
                    parts.has_time = milliseconds_to_us(number, &parts.time_us);
                }
            } else if (is(name, "mag")) {
                json_type type;
                SISMAP_TRY(item.type().get(type));
                if (type == json_type::number) {
                    double magnitude = 0.0;
                    SISMAP_TRY(item.get_double().get(magnitude));
                    parts.magnitude = magnitude;
                    parts.has_magnitude = true;
                } else {
                    bool mag_null = false;
                    SISMAP_TRY(item.is_null().get(mag_null));
                    if (!mag_null) parts.problem = "\"mag\" is neither a number nor null";
                }
            } else if (is(name, "type")) {
                json_type type;
                SISMAP_TRY(item.type().get(type));
                if (type == json_type::string) {
                    std::string_view text;
                    SISMAP_TRY(item.get_string().get(text));
                    parts.type = text.data();
                    parts.type_length = text.size();
                }
            }
        }
        return SUCCESS;
    }

    error_code read_geometry(simdjson::ondemand::value& value, FeatureParts& parts) {
        bool null = false;
        SISMAP_TRY(value.is_null().get(null));
        if (null) return SUCCESS;
        simdjson::ondemand::object geometry;
        SISMAP_TRY(value.get_object().get(geometry));
        for (auto member : geometry) {
            simdjson::ondemand::field part;
            SISMAP_TRY(std::move(member).get(part));
            std::string_view name;
            SISMAP_TRY(part.unescaped_key().get(name));
            simdjson::ondemand::value item = part.value();
            if (is(name, "type")) {
                std::string_view shape;
                SISMAP_TRY(item.get_string().get(shape));
                if (is(shape, "Polygon") || is(shape, "MultiPolygon")) source_.fail(FeedFault::outline, kAtNoPlace, shape);
                if (!is(shape, "Point")) parts.problem = "the geometry is not a Point";
            } else if (is(name, "coordinates")) {
                json_type type;
                SISMAP_TRY(item.type().get(type));
                if (type != json_type::array) continue;
                simdjson::ondemand::array coordinates;
                SISMAP_TRY(item.get_array().get(coordinates));
                size_t index = 0;
                for (auto element : coordinates) {
                    simdjson::ondemand::value number;
                    SISMAP_TRY(std::move(element).get(number));
                    if (index < 3) {
                        json_type kind;
                        SISMAP_TRY(number.type().get(kind));
                        if (kind == json_type::number) {
                            double value = 0.0;
                            SISMAP_TRY(number.get_double().get(value));
                            if (index == 0) {
                                parts.longitude = value;
                                parts.has_longitude = true;
                            } else if (index == 1) {
                                parts.latitude = value;
                                parts.has_latitude = true;
                            } else {
                                parts.depth_km = value;
                                parts.has_depth = true;
                            }
                        }
                    }
                    ++index;
                }
                parts.has_coordinates = true;
            }
        }
        return SUCCESS;
    }

    error_code read_feature(simdjson::ondemand::value& feature) {
        const size_t place = offset();
        FeatureParts parts;
        simdjson::ondemand::object members;
        SISMAP_TRY(feature.get_object().get(members));
        for (auto member : members) {
            simdjson::ondemand::field field;
            SISMAP_TRY(std::move(member).get(field));
            std::string_view key;
            SISMAP_TRY(field.unescaped_key().get(key));
            simdjson::ondemand::value value = field.value();
            if (is(key, "properties")) {
                SISMAP_TRY(read_properties(value, parts));
            } else if (is(key, "geometry")) {
                SISMAP_TRY(read_geometry(value, parts));
            }
        }
        source_.feature(place, parts);
        return SUCCESS;
    }

    FeedSource& source_;
    simdjson::ondemand::parser parser_;
    simdjson::ondemand::document collection_;
    simdjson::ondemand::parser piece_parser_;
    simdjson::ondemand::document piece_;
    const FeedDocument* at_ = nullptr;                // the document being read
    simdjson::ondemand::document* current_ = nullptr;  // its parse, once started
};

}  // namespace

void read_feed(FeedSource& source) { FeedReader(source).read(); }

}  // namespace SISMAP_KERNEL_NAMESPACE(SISMAP_GEOJSON_KERNEL)
