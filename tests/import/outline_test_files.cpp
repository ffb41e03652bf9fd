// Writers of boundary files for the outline tests.
#include "outline_test_files.h"

#include <shapefil.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace outline_test {

namespace {

// Turned as converters turn rings, keeping the first vertex first.
GeoRing oriented(GeoRing ring, bool clockwise) {
    if ((signed_degree_area(ring) < 0) != clockwise) std::reverse(ring.begin() + 1, ring.end());
    return ring;
}

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

std::string ring_json(const GeoRing& ring) {
    std::string text = "[";
    for (size_t i = 0; i <= ring.size(); ++i) {
        const GeoPoint& p = ring[i % ring.size()];
        text += (i ? "," : "") + std::string("[") + number(p.lon) + "," + number(p.lat) + "]";
    }
    return text + "]";
}

std::string polygon_json(const Polygon& polygon) {
    std::string text = "[";
    for (size_t r = 0; r < polygon.size(); ++r)
        text += (r ? "," : "") + ring_json(oriented(polygon[r], r != 0));
    return text + "]";
}

}  // namespace

std::string geojson_collection(const std::vector<Feature>& features) {
    std::string text = "{\"type\":\"FeatureCollection\",\"features\":[\n";
    for (size_t f = 0; f < features.size(); ++f) {
        const Feature& feature = features[f];
        text += f ? ",\n" : "";
        text += "{\"type\":\"Feature\",\"properties\":{";
        for (size_t a = 0; a < feature.attributes.size(); ++a)
            text += (a ? "," : "") + std::string("\"") + feature.attributes[a].first + "\":\"" +
                    feature.attributes[a].second + "\"";
        text += "},\"geometry\":";
        if (feature.polygons.size() == 1) {
            text += "{\"type\":\"Polygon\",\"coordinates\":" + polygon_json(feature.polygons[0]) + "}";
        } else {
            text += "{\"type\":\"MultiPolygon\",\"coordinates\":[";
            for (size_t p = 0; p < feature.polygons.size(); ++p) text += (p ? "," : "") + polygon_json(feature.polygons[p]);
            text += "]}";
        }
        text += "}";
    }
    return text + "\n]}\n";
}

std::string write_shapefile(const Scratch& scratch, const std::string& base, const std::vector<Feature>& features) {
    const std::string stem = scratch.path(base);
    SHPHandle shp = SHPCreate(stem.c_str(), SHPT_POLYGON);
    DBFHandle dbf = DBFCreate(stem.c_str());
    if (shp == nullptr || dbf == nullptr) throw std::runtime_error("shapelib cannot create " + stem);
    std::vector<std::string> fields;
    for (const Feature& feature : features)
        for (const auto& attribute : feature.attributes)
            if (std::find(fields.begin(), fields.end(), attribute.first) == fields.end()) {
                fields.push_back(attribute.first);
                DBFAddField(dbf, attribute.first.c_str(), FTString, 40, 0);
            }
    for (size_t f = 0; f < features.size(); ++f) {
        std::vector<int> starts;
        std::vector<double> x, y;
        for (const Polygon& polygon : features[f].polygons)
            for (size_t r = 0; r < polygon.size(); ++r) {
                starts.push_back(static_cast<int>(x.size()));
                const GeoRing ring = oriented(polygon[r], r == 0);
                for (size_t i = 0; i <= ring.size(); ++i) {
                    x.push_back(ring[i % ring.size()].lon);
                    y.push_back(ring[i % ring.size()].lat);
                }
            }
        SHPObject* object = SHPCreateObject(SHPT_POLYGON, -1, static_cast<int>(starts.size()), starts.data(), nullptr,
                                            static_cast<int>(x.size()), x.data(), y.data(), nullptr, nullptr);
        const int record = SHPWriteObject(shp, -1, object);
        SHPDestroyObject(object);
        for (const auto& attribute : features[f].attributes) {
            const int field = static_cast<int>(std::find(fields.begin(), fields.end(), attribute.first) - fields.begin());
            DBFWriteStringAttribute(dbf, record, field, attribute.second.c_str());
        }
    }
    SHPClose(shp);
    DBFClose(dbf);
    return stem + ".shp";
}

GeoRing state_ring(const std::string& name) {
    // Longitude, latitude; each ring counter-clockwise from its north-west corner.
    if (name == "Colorado")
        return {{-109.05, 41.00}, {-109.05, 39.00}, {-109.04, 36.99}, {-106.00, 36.99}, {-103.00, 37.00},
                {-102.04, 36.99}, {-102.05, 40.00}, {-102.05, 41.00}, {-104.05, 41.00}, {-106.20, 41.00}};
    if (name == "Wyoming")
        return {{-111.05, 45.00}, {-111.05, 42.00}, {-111.05, 41.00}, {-109.05, 41.00}, {-106.20, 41.00},
                {-104.05, 41.00}, {-104.05, 43.00}, {-104.06, 45.00}, {-107.90, 45.00}};
    if (name == "Utah")
        return {{-114.04, 42.00}, {-114.05, 39.50}, {-114.05, 37.00}, {-111.40, 37.00}, {-109.04, 36.99},
                {-109.05, 39.00}, {-109.05, 41.00}, {-111.05, 41.00}, {-111.05, 42.00}, {-112.50, 42.00}};
    if (name == "New Mexico")
        return {{-109.05, 37.00}, {-109.05, 34.00}, {-109.05, 31.33}, {-108.21, 31.33}, {-108.21, 31.78},
                {-106.53, 31.78}, {-106.62, 32.00}, {-104.50, 32.00}, {-103.06, 32.00}, {-103.04, 34.50},
                {-103.00, 36.50}, {-103.00, 37.00}, {-106.00, 36.99}};
    if (name == "Kansas")
        return {{-102.05, 40.00}, {-102.04, 38.50}, {-102.04, 36.99}, {-98.50, 37.00}, {-94.62, 37.00},
                {-94.61, 38.50}, {-94.61, 39.10}, {-95.10, 39.80}, {-95.31, 40.00}, {-98.50, 40.00}};
    throw std::runtime_error("no state " + name);
}

std::vector<Feature> five_states() {
    const struct {
        const char* name;
        const char* postal;
        const char* fips;
    } states[] = {{"Colorado", "CO", "08"}, {"Wyoming", "WY", "56"}, {"Utah", "UT", "49"},
                  {"New Mexico", "NM", "35"}, {"Kansas", "KS", "20"}};
    std::vector<Feature> features;
    for (const auto& s : states)
        features.push_back({{{"STATEFP", s.fips}, {"STUSPS", s.postal}, {"NAME", s.name}}, {{state_ring(s.name)}}});
    return features;
}

double distance_to_ring(const GeoPoint& p, const GeoRing& ring) {
    double best = INFINITY;
    for (size_t i = 0; i < ring.size(); ++i) {
        const GeoPoint& a = ring[i];
        const GeoPoint& b = ring[(i + 1) % ring.size()];
        const double dx = b.lon - a.lon, dy = b.lat - a.lat;
        const double length2 = dx * dx + dy * dy;
        double t = length2 > 0 ? ((p.lon - a.lon) * dx + (p.lat - a.lat) * dy) / length2 : 0;
        t = std::clamp(t, 0.0, 1.0);
        best = std::min(best, std::hypot(p.lon - (a.lon + t * dx), p.lat - (a.lat + t * dy)));
    }
    return best;
}

}  // namespace outline_test
