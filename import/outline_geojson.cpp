// GeoJSON boundary reader on simdjson's On-Demand API: one forward pass over
// the document, keeping of each feature only its attributes and its largest
// exterior ring, so a file of thousands of detailed features stays small in
// memory.
#include "import/outline_geojson.h"

#include <simdjson.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>

namespace ondemand = simdjson::ondemand;

namespace {

// GeometryCollections nest; deeper than this is not a boundary file.
constexpr int kMaxCollectionDepth = 8;

// Thrown for content that is JSON but not GeoJSON; turned into an
// OutlineError with the place it was met.
struct StructureError {
    std::string what;
};

// A failed step of the walk: a value of the wrong kind or a missing member
// is a structure error described by `what`; anything else is malformed JSON,
// reported as simdjson words it.
void need(simdjson::error_code error, const std::string& what) {
    if (error == simdjson::SUCCESS) return;
    if (error == simdjson::INCORRECT_TYPE || error == simdjson::NO_SUCH_FIELD) throw StructureError{what};
    throw simdjson::simdjson_error(error);
}

std::string_view trim(std::string_view text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\n' || text.back() == '\r' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

class GeoJsonReader {
public:
    explicit GeoJsonReader(OutlineSource& source) : source_(source) {}

    void read_document(ondemand::document& doc) {
        ondemand::object top;
        need(doc.get_object().get(top), "the top level is not a JSON object");
        const std::string type = type_of(top);
        if (type == "FeatureCollection") {
            ondemand::array features;
            need(top["features"].get_array().get(features), "a FeatureCollection without a \"features\" array");
            for (auto element : features) {
                ondemand::object feature;
                need(element.get_object().get(feature), "feature " + std::to_string(source_.features.size() + 1) +
                                         " is not a JSON object");
                read_feature(feature);
            }
        } else if (type == "Feature") {
            read_feature(top);
        } else {
            source_.features.emplace_back();
            read_geometry_fields(top, type, source_.features.back(), 0);
        }
    }

private:
    static std::string type_of(ondemand::object& object) {
        std::string_view type;
        need(object["type"].get_string().get(type), "an object without a \"type\" string");
        return std::string(type);
    }

    std::string feature_label() const { return "feature " + std::to_string(source_.features.size()); }

    // Members are looked up by name, in whichever order the file has them;
    // a lookup after the object's "type" was read must not iterate it anew.
    void read_feature(ondemand::object& object) {
        source_.features.emplace_back();
        OutlineFeature& feature = source_.features.back();

        ondemand::value properties;
        if (present(object["properties"].get(properties))) read_properties(properties, feature);

        ondemand::value geometry;
        if (!present(object["geometry"].get(geometry)) || geometry.is_null()) {
            feature.geometry = "null";
        } else {
            ondemand::object geometry_object;
            need(geometry.get_object().get(geometry_object),
                 feature_label() + ": \"geometry\" is neither an object nor null");
            read_geometry_fields(geometry_object, type_of(geometry_object), feature, 0);
        }

        // RFC 7946 puts a feature's identifier beside its properties; list it
        // with them unless a property of that name is there already.
        ondemand::value id_value;
        bool has_id = false;
        std::string id;
        if (present(object["id"].get(id_value))) id = scalar_text(id_value, has_id);
        if (has_id && std::none_of(feature.attributes.begin(), feature.attributes.end(),
                                   [](const auto& a) { return a.first == "id"; }))
            feature.attributes.emplace_back("id", id);
    }

    // False for a member that is not there; malformed JSON throws.
    static bool present(simdjson::error_code error) {
        if (error == simdjson::NO_SUCH_FIELD) return false;
        need(error, "");
        return true;
    }

    // Text of a scalar value (strings unescaped, numbers and booleans as
    // written); `present` is false for null, objects and arrays.
    static std::string scalar_text(ondemand::value value, bool& present) {
        present = false;
        ondemand::json_type type;
        need(value.type().get(type), "unreadable value");
        switch (type) {
            case ondemand::json_type::string: {
                std::string_view text;
                need(value.get_string().get(text), "unreadable string");
                present = true;
                return std::string(text);
            }
            case ondemand::json_type::number:
            case ondemand::json_type::boolean:
                present = true;
                return std::string(trim(value.raw_json_token()));
            default:
                return std::string();
        }
    }

    void read_properties(ondemand::value value, OutlineFeature& feature) {
        if (value.is_null()) return;
        ondemand::object properties;
        need(value.get_object().get(properties), feature_label() + ": \"properties\" is neither an object nor null");
        for (auto field : properties) {
            std::string_view key_view;
            need(field.unescaped_key().get(key_view), feature_label() + ": unreadable key");
            std::string key(key_view);  // the key's text is reused by the next unescape
            bool present = false;
            std::string text = scalar_text(field.value(), present);
            if (present) feature.attributes.emplace_back(std::move(key), std::move(text));
        }
    }

    void read_geometry_fields(ondemand::object& geometry, const std::string& type, OutlineFeature& feature,
                              int depth) {
        if (feature.geometry.empty()) feature.geometry = type;
        if (type == "Polygon" || type == "MultiPolygon") {
            ondemand::array coordinates;
            need(geometry["coordinates"].get_array().get(coordinates), feature_label() + ": a " + type + " without a \"coordinates\" array");
            if (type == "Polygon") {
                read_polygon(coordinates, feature);
            } else {
                for (auto polygon : coordinates) {
                    ondemand::array rings;
                    need(polygon.get_array().get(rings), feature_label() + ": a MultiPolygon member is not an array");
                    read_polygon(rings, feature);
                }
            }
        } else if (type == "GeometryCollection") {
            if (depth >= kMaxCollectionDepth) throw StructureError{feature_label() + ": GeometryCollections nested too deep"};
            ondemand::array members;
            need(geometry["geometries"].get_array().get(members), feature_label() + ": a GeometryCollection without a \"geometries\" array");
            for (auto member : members) {
                ondemand::object member_object;
                need(member.get_object().get(member_object), feature_label() + ": a GeometryCollection member is not an object");
                read_geometry_fields(member_object, type_of(member_object), feature, depth + 1);
            }
        } else if (type == "Point" || type == "MultiPoint" || type == "LineString" || type == "MultiLineString") {
            // No area to outline; the feature is listed but cannot be chosen.
        } else {
            throw StructureError{feature_label() + ": \"" + type + "\" is not a GeoJSON geometry type"};
        }
    }

    // A polygon's first ring is its exterior; the rest are holes, which are
    // read only to check their coordinates.
    void read_polygon(ondemand::array& rings, OutlineFeature& feature) {
        bool exterior = true;
        for (auto ring_value : rings) {
            ondemand::array positions;
            need(ring_value.get_array().get(positions), feature_label() + ": a polygon ring is not an array of positions");
            GeoRing ring;
            for (auto position_value : positions) ring.push_back(read_position(position_value));
            if (exterior) feature.offer_outer_ring(std::move(ring));
            exterior = false;
        }
    }

    GeoPoint read_position(simdjson::simdjson_result<ondemand::value> value) {
        ondemand::array numbers;
        need(value.get_array().get(numbers), feature_label() + ": a position is not an array of numbers");
        double values[2] = {0, 0};
        size_t count = 0;
        for (auto number : numbers) {
            double d = 0;
            need(number.get_double().get(d), feature_label() + ": a position holds something other than numbers");
            if (count < 2) values[count] = d;  // an altitude, if any, is not needed
            ++count;
        }
        if (count < 2) throw StructureError{feature_label() + ": a position with fewer than two numbers"};
        check_degrees(values[0], values[1], source_.path + ": " + feature_label());
        return GeoPoint{values[0], values[1]};
    }

    OutlineSource& source_;
};

// "line L (byte B)" of the place `location` points at in `text`.
std::string place_in(std::string_view text, const char* location, size_t skipped) {
    if (location == nullptr || location < text.data() || location > text.data() + text.size()) return "";
    const size_t offset = static_cast<size_t>(location - text.data());
    const size_t line = 1 + static_cast<size_t>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(offset), '\n'));
    return "line " + std::to_string(line) + " (byte " + std::to_string(offset + skipped) + "): ";
}

}  // namespace

OutlineSource read_geojson_outline(std::string_view bytes, const std::string& path) {
    OutlineSource source;
    source.path = path;
    source.format = "GeoJSON";

    size_t skipped = 0;
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        bytes.remove_prefix(3);
        skipped = 3;
    }
    const simdjson::padded_string padded(bytes);
    std::string_view text(padded.data(), padded.size());
    ondemand::parser parser;
    ondemand::document doc;
    if (auto error = parser.iterate(padded).get(doc))
        throw OutlineError(path + ": not readable as JSON: " + simdjson::error_message(error));

    GeoJsonReader reader(source);
    auto where = [&]() {
        const char* location = nullptr;
        if (doc.current_location().get(location)) location = text.data() + text.size();
        return place_in(text, location, skipped);
    };
    try {
        reader.read_document(doc);
    } catch (const StructureError& e) {
        throw OutlineError(path + ": " + where() + e.what);
    } catch (const simdjson::simdjson_error& e) {
        throw OutlineError(path + ": " + where() + "malformed JSON (" + e.what() + ")");
    }
    return source;
}
