// GeoJSON boundary reader on simdjson's On-Demand API: one forward pass over
// the document, keeping of each feature only its attributes and its outer
// rings (holes are not needed), so a file of thousands of detailed features
// is read without building its whole tree.
#include "import/outline/outline_geojson.h"
#include "tool/text_basics.h"

#include <simdjson.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace ondemand = simdjson::ondemand;

namespace {

// GeometryCollections nest; deeper than this is not a boundary file.
constexpr int kMaxCollectionDepth = 8;
// A MultiPolygon's positions stand three arrays deep; far deeper is not GeoJSON.
constexpr int kMaxCoordinateDepth = 8;

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


class GeoJsonReader {
public:
    explicit GeoJsonReader(OutlineSource& source) : source_(source) {}

    // The top level is a FeatureCollection, a Feature or a geometry; which,
    // its "type" says, wherever it stands among the members. Members are
    // read in document order, each once: On-Demand's lookups by name rewind
    // over text they take as already checked, which malformed input breaks.
    void read_document(ondemand::document& doc) {
        ondemand::object top;
        need(doc.get_object().get(top), "the top level is not a JSON object");
        OutlineFeature pending;
        std::string type;
        std::string id;
        bool has_id = false;
        bool has_features = false;
        PendingGeometry geometry;
        for (auto field : top) {
            const std::string key = key_of(field);
            ondemand::value value;
            need(field.value().get(value), "unreadable value");
            if (key == "type") {
                type = string_of(value, "\"type\" is not a string");
            } else if (key == "features") {
                has_features = true;
                read_features(value);
            } else if (key == "properties") {
                read_properties(value, pending);
            } else if (key == "geometry") {
                read_geometry_member(value, pending);
            } else if (key == "id") {
                id = scalar_text(value, has_id);
            } else {
                read_geometry_field(key, value, geometry, pending, 0);
            }
        }
        if (type == "FeatureCollection") {
            if (!has_features) throw StructureError{"a FeatureCollection without a \"features\" array"};
        } else if (type == "Feature") {
            add_id(pending, id, has_id);
            source_.features.push_back(std::move(pending));
        } else {
            apply_geometry(type, geometry, pending);
            source_.features.push_back(std::move(pending));
        }
    }

private:
    // What a geometry object holds until its "type" is known: the rings of
    // its coordinates, each with its nesting depth and whether it is the
    // first ring of its polygon.
    struct CollectedRing {
        int depth;
        bool first;
        GeoRing ring;
    };
    struct PendingGeometry {
        std::vector<CollectedRing> rings;
        bool has_coordinates = false;
        bool has_geometries = false;
    };

    static std::string key_of(simdjson::simdjson_result<ondemand::field>& field) {
        std::string_view key;
        need(field.unescaped_key().get(key), "unreadable key");
        return std::string(key);  // the key's text is reused by the next unescape
    }

    static std::string string_of(ondemand::value& value, const char* what) {
        std::string_view text;
        need(value.get_string().get(text), what);
        return std::string(text);
    }

    std::string feature_label() const { return "feature " + std::to_string(source_.features.size() + 1); }

    void read_features(ondemand::value& value) {
        ondemand::array features;
        need(value.get_array().get(features), "\"features\" is not an array");
        for (auto element : features) {
            ondemand::object object;
            need(element.get_object().get(object), feature_label() + " is not a JSON object");
            read_feature(object);
        }
    }

    void read_feature(ondemand::object& object) {
        OutlineFeature feature;
        std::string id;
        bool has_id = false;
        for (auto field : object) {
            const std::string key = key_of(field);
            ondemand::value value;
            need(field.value().get(value), feature_label() + ": unreadable value");
            if (key == "properties") {
                read_properties(value, feature);
            } else if (key == "geometry") {
                read_geometry_member(value, feature);
            } else if (key == "id") {
                id = scalar_text(value, has_id);
            }
        }
        add_id(feature, id, has_id);
        source_.features.push_back(std::move(feature));
    }

    // RFC 7946 puts a feature's identifier beside its properties; list it
    // with them unless a property of that name is there already.
    static void add_id(OutlineFeature& feature, const std::string& id, bool has_id) {
        if (has_id && std::none_of(feature.attributes.begin(), feature.attributes.end(),
                                   [](const auto& a) { return a.first == "id"; }))
            feature.attributes.emplace_back("id", id);
    }

    // Text of a scalar value (strings unescaped, numbers and booleans as
    // written); `present` is false for null, objects and arrays.
    static std::string scalar_text(ondemand::value& value, bool& present) {
        present = false;
        ondemand::json_type type{};
        need(value.type().get(type), "unreadable value");
        switch (type) {
            case ondemand::json_type::string:
                present = true;
                return string_of(value, "unreadable string");
            case ondemand::json_type::number:
            case ondemand::json_type::boolean:
                present = true;
                return std::string(trim_blanks(value.raw_json_token()));
            default:
                return std::string();
        }
    }

    void read_properties(ondemand::value& value, OutlineFeature& feature) {
        if (value.is_null()) return;
        ondemand::object properties;
        need(value.get_object().get(properties), feature_label() + ": \"properties\" is neither an object nor null");
        for (auto field : properties) {
            std::string key = key_of(field);
            ondemand::value member;
            need(field.value().get(member), feature_label() + ": unreadable property");
            bool present = false;
            std::string text = scalar_text(member, present);
            if (present) feature.attributes.emplace_back(std::move(key), std::move(text));
        }
    }

    // A feature's "geometry": an object or null.
    void read_geometry_member(ondemand::value& value, OutlineFeature& feature) {
        if (value.is_null()) {
            feature.geometry = "null";
            return;
        }
        ondemand::object object;
        need(value.get_object().get(object), feature_label() + ": \"geometry\" is neither an object nor null");
        read_geometry(object, feature, 0);
    }

    void read_geometry(ondemand::object& object, OutlineFeature& feature, int depth) {
        std::string type;
        PendingGeometry geometry;
        for (auto field : object) {
            const std::string key = key_of(field);
            ondemand::value value;
            need(field.value().get(value), feature_label() + ": unreadable value");
            if (key == "type") {
                type = string_of(value, "\"type\" is not a string");
            } else {
                read_geometry_field(key, value, geometry, feature, depth);
            }
        }
        apply_geometry(type, geometry, feature);
    }

    // The members of a geometry besides its "type": "coordinates", and the
    // "geometries" of a GeometryCollection at nesting `depth`.
    void read_geometry_field(const std::string& key, ondemand::value& value, PendingGeometry& geometry,
                             OutlineFeature& feature, int depth) {
        if (key == "geometries") {
            if (depth >= kMaxCollectionDepth)
                throw StructureError{feature_label() + ": GeometryCollections nested too deep"};
            geometry.has_geometries = true;
            ondemand::array members;
            need(value.get_array().get(members), feature_label() + ": \"geometries\" is not an array");
            for (auto member : members) {
                ondemand::object member_object;
                need(member.get_object().get(member_object),
                     feature_label() + ": a GeometryCollection member is not an object");
                read_geometry(member_object, feature, depth + 1);
            }
            return;
        }
        if (key != "coordinates") return;
        geometry.has_coordinates = true;
        ondemand::array coordinates;
        need(value.get_array().get(coordinates), feature_label() + ": \"coordinates\" is not an array");
        GeoPoint point;
        read_coordinates(coordinates, 0, true, geometry, point);
    }

    // Reads one array of "coordinates" at nesting `depth`: either a position
    // (numbers; true, with `point` set) or an array of arrays. An array of
    // positions is a ring and is collected with its depth; `first` says
    // whether it is the first member of the array around it.
    bool read_coordinates(ondemand::array& array, int depth, bool first, PendingGeometry& geometry, GeoPoint& point) {
        if (depth > kMaxCoordinateDepth) throw StructureError{feature_label() + ": \"coordinates\" nested too deep"};
        enum class Kind { unknown, position, ring, nest } kind = Kind::unknown;
        auto is = [&](Kind k) {
            if (kind != Kind::unknown && kind != k)
                throw StructureError{feature_label() + ": \"coordinates\" mix numbers, positions and rings"};
            kind = k;
        };
        GeoRing ring;
        double numbers[2] = {0, 0};
        size_t count = 0;
        for (auto element : array) {
            ondemand::value value;
            need(element.get(value), feature_label() + ": unreadable coordinate");
            ondemand::json_type type{};
            need(value.type().get(type), feature_label() + ": unreadable coordinate");
            if (type == ondemand::json_type::number) {
                is(Kind::position);
                double d = 0;
                need(value.get_double().get(d), feature_label() + ": a coordinate is not a number");
                if (count < 2) numbers[count] = d;  // an altitude, if any, is not needed
                ++count;
            } else if (type == ondemand::json_type::array) {
                ondemand::array inner;
                need(value.get_array().get(inner), feature_label() + ": unreadable coordinates");
                GeoPoint p;
                const bool inner_first = kind == Kind::unknown;
                if (read_coordinates(inner, depth + 1, inner_first, geometry, p)) {
                    is(Kind::ring);
                    ring.push_back(p);
                } else {
                    is(Kind::nest);
                }
            } else {
                throw StructureError{feature_label() + ": \"coordinates\" hold something other than numbers and arrays"};
            }
        }
        if (kind == Kind::position) {
            if (count < 2) throw StructureError{feature_label() + ": a position with fewer than two numbers"};
            point = GeoPoint{numbers[0], numbers[1]};
            return true;
        }
        if (kind == Kind::ring) geometry.rings.push_back(CollectedRing{depth, first, std::move(ring)});
        return false;
    }

    // Once a geometry's type is known: a Polygon's rings stand at depth 1
    // and a MultiPolygon's at depth 2; the first ring of each polygon is its
    // exterior and competes for the outline, the holes after it do not.
    void apply_geometry(const std::string& type, PendingGeometry& geometry, OutlineFeature& feature) {
        if (type.empty()) throw StructureError{feature_label() + ": an object without a \"type\""};
        if (feature.geometry.empty() || feature.geometry == "GeometryCollection" || type == "GeometryCollection")
            feature.geometry = type;
        if (type == "Polygon" || type == "MultiPolygon") {
            if (!geometry.has_coordinates)
                throw StructureError{feature_label() + ": a " + type + " without \"coordinates\""};
            const int ring_depth = type == "Polygon" ? 1 : 2;
            for (CollectedRing& collected : geometry.rings) {
                if (collected.depth != ring_depth)
                    throw StructureError{feature_label() + ": a " + type + "'s \"coordinates\" are not nested as " +
                                         (ring_depth == 1 ? "rings of positions" : "polygons of rings of positions")};
                for (const GeoPoint& p : collected.ring) check_degrees(p.lon, p.lat, source_.path + ": " + feature_label());
            }
            for (CollectedRing& collected : geometry.rings)
                if (collected.first) feature.offer_outer_ring(std::move(collected.ring));
        } else if (type == "GeometryCollection") {
            if (!geometry.has_geometries)
                throw StructureError{feature_label() + ": a GeometryCollection without \"geometries\""};
        } else if (type != "Point" && type != "MultiPoint" && type != "LineString" && type != "MultiLineString") {
            throw StructureError{feature_label() + ": \"" + type + "\" is not a GeoJSON geometry type"};
        }
        // Points and lines enclose no area: the feature is listed but cannot
        // be chosen.
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

    const size_t skipped = bytes.size() - without_byte_order_mark(bytes).size();
    bytes.remove_prefix(skipped);
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
    // The root was read to its end, members and all; anything but white
    // space after it is not part of one JSON document.
    const char* rest = nullptr;
    if (doc.current_location().get(rest) == simdjson::SUCCESS && rest >= text.data() &&
        rest < text.data() + text.size() && rest[0] != ' ' && rest[0] != '\n' && rest[0] != '\r' && rest[0] != '\t')
        throw OutlineError(path + ": " + where() + "text after the end of the JSON document");
    return source;
}
