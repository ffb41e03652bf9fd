// Boundary readers: GeoJSON in its four shapes and shapefiles written with
// shapelib, the choice of the largest outer ring, and what they refuse.
#include <gtest/gtest.h>
#include <shapefil.h>

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "import/outline/outline_command.h"
#include "import/outline/outline_geojson.h"
#include "import/outline/outline_shapefile.h"
#include "outline_test_files.h"

namespace {

using namespace outline_test;

// Runs the outline mode in-process; returns the status, the message in *message.
int outline(OutlineRequest request, std::string* message = nullptr) {
    std::ostringstream messages;
    const int status = run_outline(request, messages);
    if (message) *message = messages.str();
    return status;
}

OutlineRequest pick(const std::string& input, const std::string& output, const std::string& where) {
    OutlineRequest request;
    request.input = input;
    request.output = output;
    request.where = where;
    return request;
}

// The vertices of an outline file, as longitude/latitude points.
GeoRing vertices_of(const std::string& text) {
    GeoRing ring;
    std::istringstream lines(text);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "lat,lon");
    int lat = 0, lon = 0;
    while (std::getline(lines, line)) {
        EXPECT_EQ(std::sscanf(line.c_str(), "%d,%d", &lat, &lon), 2) << line;
        ring.push_back(GeoPoint{static_cast<double>(lon), static_cast<double>(lat)});
    }
    return ring;
}

struct Bounds {
    double south = 90, north = -90, west = 180, east = -180;
};
Bounds bounds_of(const GeoRing& ring) {
    Bounds b;
    for (const GeoPoint& p : ring) {
        b.south = std::min(b.south, p.lat);
        b.north = std::max(b.north, p.lat);
        b.west = std::min(b.west, p.lon);
        b.east = std::max(b.east, p.lon);
    }
    return b;
}

class FiveStates : public ::testing::Test {
protected:
    void SetUp() override {
        geojson_ = scratch_.write("states.geojson", geojson_collection(five_states()));
        shapefile_ = write_shapefile(scratch_, "states", five_states());
    }
    Scratch scratch_;
    std::string geojson_, shapefile_;
};

TEST_F(FiveStates, StatePickedByNameGivesTheSameOutlineFromBothFormats) {
    for (const std::string name : {"Colorado", "New Mexico", "Kansas"}) {
        SCOPED_TRACE(name);
        const std::string from_json = scratch_.path("json.txt"), from_shp = scratch_.path("shp.txt");
        ASSERT_EQ(outline(pick(geojson_, from_json, "NAME=" + name)), 0);
        ASSERT_EQ(outline(pick(shapefile_, from_shp, "NAME=" + name)), 0);
        EXPECT_EQ(read_file(from_json), read_file(from_shp));

        const GeoRing truth = state_ring(name);
        const GeoRing drawn = vertices_of(read_file(from_json));
        ASSERT_GE(drawn.size(), 4u);
        const Bounds t = bounds_of(truth), d = bounds_of(drawn);
        EXPECT_LE(std::abs(t.south - d.south), 1.0);
        EXPECT_LE(std::abs(t.north - d.north), 1.0);
        EXPECT_LE(std::abs(t.west - d.west), 1.0);
        EXPECT_LE(std::abs(t.east - d.east), 1.0);
        for (const GeoPoint& p : drawn) EXPECT_LE(distance_to_ring(p, truth), 1.0) << p.lat << "," << p.lon;
    }
}

TEST_F(FiveStates, ColoradoIsItsFourCornersAndEdgeVertices) {
    const std::string out = scratch_.path("co.txt");
    ASSERT_EQ(outline(pick(shapefile_, out, "STUSPS=CO")), 0);
    // Clockwise from the first vertex of the file's ring (north-west corner).
    EXPECT_EQ(read_file(out), "lat,lon\n41,-109\n41,-106\n41,-104\n41,-102\n40,-102\n37,-102\n37,-103\n37,-106\n"
                              "37,-109\n39,-109\n");
}

TEST_F(FiveStates, ShapefileReadFromMemoryMatchesTheFiles) {
    const std::string stem = shapefile_.substr(0, shapefile_.size() - 4);
    const OutlineSource files = read_shapefile_outline(shapefile_);
    const OutlineSource memory = read_shapefile_outline_from_memory(
        shapefile_, read_file(stem + ".shp"), read_file(stem + ".shx"), read_file(stem + ".dbf"), "");
    ASSERT_EQ(files.features.size(), 5u);
    ASSERT_EQ(memory.features.size(), 5u);
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(files.features[i].attributes, memory.features[i].attributes);
        EXPECT_EQ(reduce_ring(files.features[i].largest_ring), reduce_ring(memory.features[i].largest_ring));
    }
    EXPECT_EQ(files.features[3].attributes[2], (std::pair<std::string, std::string>("NAME", "New Mexico")));
}

// New Zealand as one MultiPolygon: North Island first, then the larger
// South Island, then Stewart Island, smaller than a degree.
std::vector<Feature> new_zealand() {
    const GeoRing north = {{172.7, -34.4}, {174.4, -36.5}, {174.6, -38.0}, {173.8, -39.2}, {174.6, -41.2},
                           {175.2, -41.6}, {176.9, -39.6}, {177.9, -39.3}, {178.5, -37.7}, {174.8, -36.9}};
    const GeoRing south = {{172.7, -40.5}, {172.1, -40.8}, {171.0, -42.0}, {168.0, -44.0}, {166.5, -46.0},
                           {169.0, -46.7}, {171.2, -44.5}, {173.0, -43.5}, {174.3, -41.7}};
    const GeoRing stewart = {{167.5, -46.7}, {168.2, -46.8}, {168.0, -47.2}, {167.5, -47.2}};
    return {{{{"ADMIN", "New Zealand"}, {"ISO_A3", "NZL"}}, {{north}, {south}, {stewart}}}};
}

TEST(OutlineMultiPolygon, CountryGivesItsLargestIsland) {
    Scratch scratch;
    const std::string json = scratch.write("nz.geojson", geojson_collection(new_zealand()));
    const std::string shp = write_shapefile(scratch, "nz", new_zealand());
    for (const std::string& input : {json, shp}) {
        SCOPED_TRACE(input);
        OutlineRequest request;
        request.input = input;
        request.output = scratch.path("nz.txt");
        ASSERT_EQ(outline(request), 0);
        const Bounds b = bounds_of(vertices_of(read_file(request.output)));
        EXPECT_EQ(b.north, -41);  // the South Island's north tip, -40.5, not the North Island's -34
        EXPECT_EQ(b.south, -47);
        EXPECT_EQ(b.west, 167);   // 166.5 rounds away from zero
        EXPECT_EQ(b.east, 174);
    }
}

TEST(OutlineHoles, HolesNeverBecomeTheOutline) {
    Scratch scratch;
    // A lake larger than the island beside it: holes do not compete.
    const GeoRing land = {{0, 0}, {20, 0}, {20, 20}, {0, 20}};
    const GeoRing lake = {{2, 2}, {18, 2}, {18, 18}, {2, 18}};
    const GeoRing island = {{30, 0}, {33, 0}, {33, 3}, {30, 3}};
    const std::vector<Feature> features = {{{{"NAME", "Ring"}}, {{land, lake}, {island}}}};
    const std::string json = scratch.write("ring.geojson", geojson_collection(features));
    const std::string shp = write_shapefile(scratch, "ring", features);
    for (const std::string& input : {json, shp}) {
        const OutlineSource source =
            input == json ? read_geojson_outline(read_file(json), json) : read_shapefile_outline(shp);
        ASSERT_EQ(source.features.size(), 1u);
        EXPECT_EQ(source.features[0].polygon_count, 2u) << input;
        EXPECT_EQ(reduce_ring(source.features[0].largest_ring).size(), 4u);
        EXPECT_EQ(bounds_of(source.features[0].largest_ring).east, 20) << input;
    }
    // Only the hole and the island, as a GeoJSON Polygon would never have it:
    // the lake as a hole of a smaller exterior still does not compete.
    const std::string odd = R"({"type":"Polygon","coordinates":[[[30,0],[33,0],[33,3],[30,3],[30,0]],
                                 [[2,2],[2,18],[18,18],[18,2],[2,2]]]})";
    EXPECT_EQ(bounds_of(read_geojson_outline(odd, "odd.geojson").features[0].largest_ring).west, 30);
}

TEST(OutlineShapefile, RingsAllCounterClockwiseStillCompete) {
    // Some writers ignore the winding rule; the largest ring is then taken.
    Scratch scratch;
    const std::string stem = scratch.path("ccw");
    SHPHandle shp = SHPCreate(stem.c_str(), SHPT_POLYGON);
    DBFHandle dbf = DBFCreate(stem.c_str());
    DBFAddField(dbf, "NAME", FTString, 10, 0);
    const double x[] = {0, 5, 5, 0, 0, 10, 20, 20, 10, 10};
    const double y[] = {0, 0, 5, 5, 0, 0, 0, 10, 10, 0};
    const int starts[] = {0, 5};
    SHPObject* object = SHPCreateObject(SHPT_POLYGON, -1, 2, starts, nullptr, 10, x, y, nullptr, nullptr);
    SHPWriteObject(shp, -1, object);
    SHPDestroyObject(object);
    DBFWriteStringAttribute(dbf, 0, 0, "Two");
    SHPClose(shp);
    DBFClose(dbf);
    const OutlineSource source = read_shapefile_outline(stem + ".shp");
    ASSERT_EQ(source.features.size(), 1u);
    EXPECT_EQ(source.features[0].polygon_count, 2u);
    EXPECT_EQ(bounds_of(source.features[0].largest_ring).east, 20);
}

TEST(OutlineGeoJson, EveryShapeOfTheFormat) {
    const std::string square = "[[[0,0],[4,0],[4,4],[0,4],[0,0]]]";
    const std::string big = "[[[10,10],[20,10],[20,20],[10,20],[10,10]]]";
    struct Case {
        const char* what;
        std::string text;
        size_t features;
        double east;
    } cases[] = {
        {"bare Polygon", R"({"type":"Polygon","coordinates":)" + square + "}", 1, 4},
        {"bare MultiPolygon", R"({"type":"MultiPolygon","coordinates":[)" + square + "," + big + "]}", 1, 20},
        {"coordinates before type", R"({"coordinates":[)" + big + "," + square + R"(],"type":"MultiPolygon"})", 1, 20},
        {"single Feature", R"({"properties":{"name":"A"},"type":"Feature","geometry":{"type":"Polygon","coordinates":)" +
                               square + "}}", 1, 4},
        {"GeometryCollection", R"({"type":"GeometryCollection","geometries":[{"type":"Point","coordinates":[1,2]},)"
                               R"({"type":"Polygon","coordinates":)" + big + "}]}", 1, 20},
        {"byte-order mark and CRLF", "\xEF\xBB\xBF{\r\n\"type\":\"Polygon\",\r\n\"coordinates\":" + square + "}\r\n", 1, 4},
        {"collection with a null geometry",
         R"({"type":"FeatureCollection","features":[{"type":"Feature","properties":null,"geometry":null},)"
         R"({"type":"Feature","properties":{},"geometry":{"type":"Polygon","coordinates":)" + big + "}}]}", 2, 20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const OutlineSource source = read_geojson_outline(c.text, "x.geojson");
        ASSERT_EQ(source.features.size(), c.features);
        EXPECT_EQ(bounds_of(source.features.back().largest_ring).east, c.east);
    }
    // Property values: strings unquoted, numbers and booleans as written, id beside them.
    const OutlineSource typed = read_geojson_outline(
        R"({"type":"Feature","id":"08","properties":{"n":"Co \"lo\"","fips":8,"big":2.50,"ok":true,"none":null,"o":{}},)"
        R"("geometry":{"type":"Polygon","coordinates":)" + square + "}}",
        "x.geojson");
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"n", "Co \"lo\""}, {"fips", "8"}, {"big", "2.50"}, {"ok", "true"}, {"id", "08"}};
    EXPECT_EQ(typed.features[0].attributes, expected);
}

std::string geojson_error(const std::string& text) {
    try {
        read_geojson_outline(text, "bad.geojson");
    } catch (const OutlineError& e) {
        return e.what();
    }
    return "";
}

TEST(OutlineGeoJson, MalformedInputSaysWhereAndWhat) {
    const std::string good = R"({"type":"Polygon","coordinates":[[[0,0],[4,0],[4,4],[0,0]]]})";
    EXPECT_NE(geojson_error(good.substr(0, 40)).find("bad.geojson: line 1"), std::string::npos);
    EXPECT_NE(geojson_error("{\n\"type\":\"Polygon\",\n\"coordinates\":[[[0,0],[4,0],[4,\"x\"]]]}").find("line 3"),
              std::string::npos);
    EXPECT_NE(geojson_error(R"({"type":"Polygon","coordinates":[[[0,0],[4],[4,4]]]})").find("fewer than two numbers"),
              std::string::npos);
    EXPECT_NE(geojson_error(R"({"type":"Polygon","coordinates":[[0,0],[4,0],[4,4]]})").find("not nested as rings"),
              std::string::npos);
    EXPECT_NE(geojson_error(R"({"type":"Circle","coordinates":[0,0]})").find("not a GeoJSON geometry type"),
              std::string::npos);
    EXPECT_NE(geojson_error(R"({"coordinates":[[[0,0],[4,0],[4,4]]]})").find("without a \"type\""), std::string::npos);
    EXPECT_NE(geojson_error(good + "{}").find("text after the end"), std::string::npos);
    EXPECT_NE(geojson_error("[1,2]").find("not a JSON object"), std::string::npos);
    EXPECT_NE(geojson_error("").find("bad.geojson"), std::string::npos);
    // Projected coordinates (metres) are refused, saying what is expected.
    const std::string metres = geojson_error(R"({"type":"Polygon","coordinates":[[[500000,4100000],[600000,4100000],[600000,4200000],[500000,4100000]]]})");
    EXPECT_NE(metres.find("WGS 84"), std::string::npos);
    EXPECT_NE(metres.find("500000"), std::string::npos);
    // A hole's coordinates are checked too.
    EXPECT_NE(geojson_error(R"({"type":"Polygon","coordinates":[[[0,0],[4,0],[4,4],[0,0]],[[1,1],[2,95],[1,2],[1,1]]]})")
                  .find("longitude/latitude"),
              std::string::npos);
    EXPECT_EQ(geojson_error(good), "");
}

std::string shapefile_error(const std::string& path) {
    try {
        read_shapefile_outline(path);
    } catch (const OutlineError& e) {
        return e.what();
    }
    return "";
}

TEST(OutlineShapefile, RefusalsNameTheFileAndTheReason) {
    Scratch scratch;
    const std::string shp = write_shapefile(scratch, "s", five_states());
    const std::string stem = shp.substr(0, shp.size() - 4);
    EXPECT_EQ(shapefile_error(shp), "");

    scratch.write("s.prj", R"(PROJCS["NAD83 / UTM zone 13N",GEOGCS["NAD83",DATUM["North_American_Datum_1983"]]])");
    const std::string projected = shapefile_error(shp);
    EXPECT_NE(projected.find(stem + ".prj"), std::string::npos);
    EXPECT_NE(projected.find("NAD83 / UTM zone 13N"), std::string::npos);
    EXPECT_NE(projected.find("WGS 84"), std::string::npos);
    scratch.write("s.prj", R"(GEOGCS["GCS_North_American_1983",DATUM["D_North_American_1983"]])");
    EXPECT_EQ(shapefile_error(shp), "");  // geographic: degrees

    std::rename((stem + ".dbf").c_str(), (stem + ".off").c_str());
    EXPECT_NE(shapefile_error(shp).find(stem + ".dbf: cannot open"), std::string::npos);
    std::rename((stem + ".off").c_str(), (stem + ".dbf").c_str());
    std::rename((stem + ".shx").c_str(), (stem + ".off").c_str());
    EXPECT_NE(shapefile_error(shp).find(stem + ".shx: cannot open"), std::string::npos);
    std::rename((stem + ".off").c_str(), (stem + ".shx").c_str());

    // Metres without a .prj: the coordinates give it away.
    const std::vector<Feature> metres = {{{{"NAME", "M"}}, {{{{500000, 4100000}, {600000, 4100000}, {600000, 4200000}}}}}};
    const std::string m = shapefile_error(write_shapefile(scratch, "m", metres));
    EXPECT_NE(m.find("shape 1"), std::string::npos);
    EXPECT_NE(m.find("WGS 84"), std::string::npos);

    // A layer of points has no outline.
    SHPHandle points = SHPCreate(scratch.path("p").c_str(), SHPT_POINT);
    DBFHandle table = DBFCreate(scratch.path("p").c_str());
    DBFAddField(table, "NAME", FTString, 10, 0);
    const double x = 1, y = 2;
    SHPObject* point = SHPCreateSimpleObject(SHPT_POINT, 1, &x, &y, nullptr);
    SHPWriteObject(points, -1, point);
    SHPDestroyObject(point);
    DBFWriteStringAttribute(table, 0, 0, "P");
    SHPClose(points);
    DBFClose(table);
    EXPECT_NE(shapefile_error(scratch.path("p.shp")).find("not polygons"), std::string::npos);

    // Cut short: shapelib's own complaint is passed on.
    const std::string whole = read_file(stem + ".shp");
    scratch.write("s.shp", whole.substr(0, 150));
    EXPECT_NE(shapefile_error(shp).find(shp), std::string::npos);
}

}  // namespace
