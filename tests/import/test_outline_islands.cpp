// Regions as people have them: GMT multisegment text (real country and state
// boundaries from `gmt coast -E.. -M`, thinned), countries of islands kept
// whole with --join, longitudes in 0..360 and outlines across 180 degrees
// with their catalogue, and --box narrowed by the selection options.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <sstream>

#include <unistd.h>

#include "import/downloads/download_reader.h"
#include "import/layout_sniff.h"
#include "import/outline/outline_command.h"
#include "import/outline/outline_gmt.h"
#include "outline_test_files.h"

namespace {

using namespace outline_test;

struct Vertex {
    int lat, lon;
};

std::vector<Vertex> vertices_of(const std::string& text) {
    std::vector<Vertex> vertices;
    std::istringstream lines(text);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "lat,lon");
    Vertex v{};
    while (std::getline(lines, line)) {
        EXPECT_EQ(std::sscanf(line.c_str(), "%d,%d", &v.lat, &v.lon), 2) << line;
        vertices.push_back(v);
    }
    return vertices;
}

struct Bounds {
    int south = 90, north = -90, west = 999, east = -999;
};
Bounds bounds_of(const std::vector<Vertex>& vertices) {
    Bounds b;
    for (const Vertex& v : vertices) {
        b.south = std::min(b.south, v.lat);
        b.north = std::max(b.north, v.lat);
        b.west = std::min(b.west, v.lon);
        b.east = std::max(b.east, v.lon);
    }
    return b;
}

// Whether (lat, lon) lies inside the outline (even-odd rule).
bool inside(const std::vector<Vertex>& outline, double lat, double lon) {
    bool in = false;
    for (size_t i = 0, j = outline.size() - 1; i < outline.size(); j = i++) {
        const Vertex& a = outline[i];
        const Vertex& b = outline[j];
        if ((a.lat > lat) != (b.lat > lat) &&
            lon < a.lon + (lat - a.lat) * static_cast<double>(b.lon - a.lon) / (b.lat - a.lat))
            in = !in;
    }
    return in;
}

std::string data(const char* name) { return std::string(IMPORT_TEST_DATA) + "/" + name; }

struct Outcome {
    int status;
    std::string message;
    std::vector<Vertex> outline;
};

class Islands : public ::testing::Test {
protected:
    Outcome outline(OutlineRequest request) {
        request.output = output_;
        std::ostringstream messages;
        const int status = run_outline(request, messages);
        return {status, messages.str(), status == 0 ? vertices_of(read_file(output_)) : std::vector<Vertex>()};
    }
    OutlineRequest from(const std::string& input) {
        OutlineRequest request;
        request.input = input;
        return request;
    }
    Scratch scratch_;
    std::string output_ = scratch_.path("outline.txt");
};

TEST(GmtText, SegmentsCommentsColumnsAndLineEnds) {
    const std::string text =
        "\xEF\xBB\xBF# from gmt coast\r\n"
        "0 0\n1 0\n1 1\n"                            // a first segment without a header
        ">  Japan Segment 12\n"
        "140.5\t35.25\textra 9\n141 35\n  141   36  \n\n# a comment inside\n140 36\r\n"
        ">\n5 5\n6 6\n"                              // two points: no ring
        ">  Last\n";                                 // no points at all
    const OutlineSource source = read_gmt_outline(text, "in.txt");
    ASSERT_EQ(source.features.size(), 4u);
    EXPECT_TRUE(source.features[0].attributes.empty());
    EXPECT_EQ(source.features[0].largest_ring.size(), 3u);
    ASSERT_EQ(source.features[1].attributes.size(), 1u);
    EXPECT_EQ(source.features[1].attributes[0].second, "Japan Segment 12");
    ASSERT_EQ(source.features[1].largest_ring.size(), 4u);
    EXPECT_EQ(source.features[1].largest_ring[0].lon, 140.5);
    EXPECT_EQ(source.features[1].largest_ring[0].lat, 35.25);
    EXPECT_EQ(source.features[1].largest_ring[2].lat, 36);
    EXPECT_TRUE(source.features[2].largest_ring.empty());
    EXPECT_EQ(source.features[2].geometry, "segment of 2 points");
    EXPECT_TRUE(source.features[3].largest_ring.empty());

    // Found by content, as `gmt coast -M` begins and as a bare first
    // segment; an FDSN header is still FDSN, and a catalogue of blank-apart
    // columns is not taken for coordinates.
    EXPECT_EQ(sniff_layout(text), InputLayout::gmt_outline);
    EXPECT_EQ(sniff_layout("# x | y\n>  Fiji Segment 0\n181.2\t-20.6\n"), InputLayout::gmt_outline);
    EXPECT_EQ(sniff_layout("#EventID|Time|Latitude\nus1|2024-01-01|1\n"), InputLayout::fdsn_text);
    EXPECT_EQ(sniff_layout("2024 01 01 12 30 45.0 35.1 -117.2 3.4\n"), InputLayout::unknown);
    // The catalogue mode points to the outline mode.
    std::string refusal;
    try {
        read_events_bytes(text, "japan.txt", CatalogueFormat::guess, Selection(), nullptr);
    } catch (const ImportError& e) {
        refusal = e.what();
    }
    EXPECT_NE(refusal.find("japan.txt holds a region outline (GMT multisegment text), not earthquakes; convert it "
                           "with: sismap-import outline"),
              std::string::npos)
        << refusal;
}

TEST(GmtText, BadLinesNameTheFileAndLine) {
    const std::pair<std::string, std::string> cases[] = {
        {">\n1 2\n3\n", "in.txt: line 3: expected a longitude and a latitude in decimal degrees"},
        {">\n1 2\n1,2\n", "in.txt: line 3: expected a longitude and a latitude"},
        {">\n1 2\n12:30W 40N\n", "in.txt: line 3: expected"},
        {"> a\n1 2\nnan 4\n", "in.txt: line 3: expected"},
        {std::string(">\n1 2\n1 \0 2\n", 12), "in.txt: line 3: expected"},
        {">\n1 2\n-181 2\n", "in.txt: line 3: coordinate (-181, 2)"},
        {">\n1 2\n\n1 95\n", "in.txt: line 4: coordinate (1, 95)"},
    };
    for (const auto& [text, says] : cases) {
        std::string message;
        try {
            read_gmt_outline(text, "in.txt");
        } catch (const OutlineError& e) {
            message = e.what();
        }
        EXPECT_NE(message.find(says), std::string::npos) << says << " / " << message;
    }
}

TEST_F(Islands, JapanAsHonshuOrJoinedFromKyushuToHokkaido) {
    // Alone, the largest ring is Honshu, and the importer says what it left.
    const Outcome honshu = outline(from(data("japan_gmt.txt")));
    ASSERT_EQ(honshu.status, 0) << honshu.message;
    EXPECT_NE(honshu.message.find("kept the largest of 29 rings (61% of the area) and dropped the other 28; "
                                  "--join D joins"),
              std::string::npos)
        << honshu.message;
    const Bounds alone = bounds_of(honshu.outline);
    EXPECT_EQ(alone.south, 33);
    EXPECT_EQ(alone.north, 41);

    // Joined: from Kyushu's south (31 N, 130 E) to Hokkaido's north and east.
    OutlineRequest request = from(data("japan_gmt.txt"));
    request.join = 0.5;
    const Outcome japan = outline(request);
    ASSERT_EQ(japan.status, 0) << japan.message;
    const Bounds joined = bounds_of(japan.outline);
    EXPECT_LE(joined.south, 31);
    EXPECT_GE(joined.north, 45);
    EXPECT_LE(joined.west, 130);
    EXPECT_GE(joined.east, 145);
    EXPECT_TRUE(inside(japan.outline, 33.0, 131.0)) << "Kyushu";
    EXPECT_TRUE(inside(japan.outline, 43.5, 143.0)) << "Hokkaido";
    EXPECT_TRUE(inside(japan.outline, 36.0, 139.0)) << "Honshu";
    EXPECT_NE(japan.message.find("pieces of the 29 rings; kept the largest"), std::string::npos) << japan.message;

    // --index takes one segment alone, numbered as in the file.
    request.join.reset();
    request.index = 100;
    const Outcome none = outline(request);
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.message.find("--index 100 matches no feature; it holds 29"), std::string::npos) << none.message;
}

TEST_F(Islands, CaliforniaFromGmtsZeroTo360Form) {
    const Outcome california = outline(from(data("california_gmt.txt")));
    ASSERT_EQ(california.status, 0) << california.message;
    const Bounds b = bounds_of(california.outline);
    EXPECT_EQ(b.south, 33);
    EXPECT_EQ(b.north, 42);
    EXPECT_EQ(b.west, -124);
    EXPECT_EQ(b.east, -114);
    EXPECT_EQ(california.message.find("crosses"), std::string::npos);
    // Forced into 0..360, to lie on a catalogue imported so.
    OutlineRequest east = from(data("california_gmt.txt"));
    east.longitudes = LongitudeForm::east_360;
    const Outcome forced = outline(east);
    ASSERT_EQ(forced.status, 0) << forced.message;
    ASSERT_EQ(forced.outline.size(), california.outline.size());
    for (size_t i = 0; i < forced.outline.size(); ++i) EXPECT_EQ(forced.outline[i].lon, california.outline[i].lon + 360);
}

TEST_F(Islands, JoinWorksForGeoJsonMultiPolygonsAndShapefileParts) {
    // Two islands 0.6 degrees apart and a far one; the largest wins alone
    // (9 of about 12.8 square degrees), --join 1 takes the near two
    // together (with the strait, 13 of 14).
    const GeoRing big = {{10, 40}, {13, 40}, {13, 43}, {10, 43}};
    const GeoRing near = {{13.6, 40}, {15, 40}, {15, 42}, {13.6, 42}};
    const GeoRing far = {{30, 40}, {31, 40}, {31, 41}, {30, 41}};
    const std::vector<Feature> islands = {{{{"NAME", "Isles"}}, {{big}, {near}, {far}}}};
    const std::string json = scratch_.write("isles.geojson", geojson_collection(islands));
    const std::string shp = write_shapefile(scratch_, "isles", islands);
    for (const std::string& input : {json, shp}) {
        SCOPED_TRACE(input);
        const Outcome alone = outline(from(input));
        ASSERT_EQ(alone.status, 0) << alone.message;
        EXPECT_EQ(bounds_of(alone.outline).east, 13);
        EXPECT_NE(alone.message.find("kept the largest of 3 rings (70% of the area)"), std::string::npos)
            << alone.message;
        OutlineRequest request = from(input);
        request.join = 1;
        const Outcome joined = outline(request);
        ASSERT_EQ(joined.status, 0) << joined.message;
        const Bounds b = bounds_of(joined.outline);
        EXPECT_EQ(b.west, 10);
        EXPECT_EQ(b.east, 15);
        EXPECT_EQ(b.south, 40);
        EXPECT_EQ(b.north, 43);
        EXPECT_NE(joined.message.find("left 2 pieces of the 3 rings; kept the largest (92% of their area)"),
                  std::string::npos)
            << joined.message;
    }
}

// A Fiji catalogue: Viti Levu, Taveuni and the Lau group (west of 180 in
// -180..180), and one Tonga event east of the islands.
constexpr char kFijiCatalogue[] =
    "#EventID|Time|Latitude|Longitude|Depth/km|Author|Catalog|Contributor|ContributorID|MagType|Magnitude|"
    "MagAuthor|EventLocationName|EventType\n"
    "f1|2024-03-01T01:00:00|-18.0|179.5|550|us|us|us|f1|mb|4.6|us|Fiji Islands|earthquake\n"
    "f2|2024-03-01T02:00:00|-17.5|-179.6|600|us|us|us|f2|mb|4.4|us|Fiji Islands|earthquake\n"
    "f3|2024-03-01T03:00:00|-18.5|-179.5|580|us|us|us|f3|mb|4.9|us|Fiji Islands|earthquake\n"
    "t1|2024-03-01T04:00:00|-21.0|-175.0|100|us|us|us|t1|mb|5.0|us|Tonga|earthquake\n";

TEST_F(Islands, FijiAcross180WithItsCatalogue) {
    OutlineRequest request = from(data("fiji_gmt.txt"));
    request.join = 1.5;
    const Outcome fiji = outline(request);
    ASSERT_EQ(fiji.status, 0) << fiji.message;
    EXPECT_NE(fiji.message.find("crosses 180 degrees (it runs from 177.1 to 181.5 east), so it is written in "
                                "longitudes 0..360, without a seam; import its catalogue with --longitudes 0,360"),
              std::string::npos)
        << fiji.message;
    const Bounds b = bounds_of(fiji.outline);
    EXPECT_EQ(b.west, 177);
    EXPECT_EQ(b.east, 181);

    // The catalogue with --longitudes 0,360: every Fiji event on the
    // islands, the Tonga event east of them; as read, two of them would
    // lie a whole map's width away.
    const std::string catalogue = scratch_.write("fiji.txt", kFijiCatalogue);
    const std::string events = scratch_.path("events.txt");
    const std::string command = std::string(SISMAP_IMPORT_BINARY) + " catalogue --quiet --no-depth --longitudes 0,360 " +
                                catalogue + " " + events;
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(read_file(events),
              "year,month,day,time,latitude,longitude,magnitude\n"
              "2024,03,01,010000.00,-18.0000,179.5000,4.60\n"
              "2024,03,01,020000.00,-17.5000,180.4000,4.40\n"
              "2024,03,01,030000.00,-18.5000,180.5000,4.90\n"
              "2024,03,01,040000.00,-21.0000,185.0000,5.00\n"
              "2024,03,01,040000.00,-21.0000,185.0000,5.00\n");
    EXPECT_TRUE(inside(fiji.outline, -18.0, 179.5));
    EXPECT_TRUE(inside(fiji.outline, -17.5, 180.4));
    EXPECT_TRUE(inside(fiji.outline, -18.5, 180.5));
    EXPECT_FALSE(inside(fiji.outline, -21.0, 185.0));
    EXPECT_FALSE(inside(fiji.outline, -17.5, -179.6));

    // Fiji as Natural Earth has it in GeoJSON: split at 180 degrees into
    // parts on both ends of -180..180. Joined, the parts meet across 180.
    const GeoRing viti = {{177.2, -16.4}, {178.7, -16.4}, {178.7, -17.4}, {177.2, -17.4}};
    const GeoRing west_of_180 = {{179.0, -16.2}, {180.0, -16.2}, {180.0, -17.2}, {179.0, -17.2}};
    const GeoRing east_of_180 = {{-180.0, -16.2}, {-179.2, -16.2}, {-179.2, -17.2}, {-180.0, -17.2}};
    const std::string split =
        scratch_.write("split.geojson", geojson_collection({{{}, {{viti}, {west_of_180}, {east_of_180}}}}));
    OutlineRequest natural_earth = from(split);
    natural_earth.join = 0.5;
    const Outcome met = outline(natural_earth);
    ASSERT_EQ(met.status, 0) << met.message;
    EXPECT_EQ(bounds_of(met.outline).west, 177);
    EXPECT_EQ(bounds_of(met.outline).east, 181);
    EXPECT_NE(met.message.find("crosses 180 degrees"), std::string::npos) << met.message;
}

TEST_F(Islands, BoxNarrowedByTheSelection) {
    // The week's events span the globe; --region keeps the Californian ones.
    OutlineRequest request;
    request.box = data("week.csv");
    request.selection.region = "30,40,-125,-110";
    const Outcome california = outline(request);
    ASSERT_EQ(california.status, 0) << california.message;
    EXPECT_EQ(read_file(output_), "lat,lon\n33,-118\n37,-118\n37,-116\n33,-116\n");
    // --min-mag and --from/--to narrow it further: only the M4.45 event of
    // 29 February is left, and a box of one point has no area without a
    // margin.
    request.selection.min_magnitude = 3;
    request.selection.from = "2024-02-29";
    request.selection.to = "2024-03-01";
    request.margin = 1;
    ASSERT_EQ(outline(request).status, 0);
    EXPECT_EQ(read_file(output_), "lat,lon\n34,-119\n37,-119\n37,-116\n34,-116\n");
    // Across 180 degrees in 0..360: the Aleutian and Tonga events and the
    // one at 179.9999 E.
    OutlineRequest pacific;
    pacific.box = data("week.csv");
    pacific.selection.region = "-20,55,170,-170";
    pacific.longitudes = LongitudeForm::east_360;
    ASSERT_EQ(outline(pacific).status, 0);
    EXPECT_EQ(read_file(output_), "lat,lon\n-16,178\n53,178\n53,188\n-16,188\n");
}

TEST_F(Islands, BinaryReadsGmtTextFromStandardInput) {
    const std::string command = std::string(SISMAP_IMPORT_BINARY) + " outline --join 0.5 - " + output_ + " <" +
                                data("japan_gmt.txt") + " 2>" + scratch_.path("err.txt");
    ASSERT_EQ(std::system(command.c_str()), 0) << read_file(scratch_.path("err.txt"));
    EXPECT_GE(bounds_of(vertices_of(read_file(output_))).north, 45);
    for (const char* bad : {"--join 0", "--join -1", "--join nan", "--join 400", "--longitudes 0,180",
                            "--region 30,40,-125,-110"}) {
        const std::string run = std::string(SISMAP_IMPORT_BINARY) + " outline " + bad + " " + data("japan_gmt.txt") +
                                " " + output_ + " 2>/dev/null";
        const int status = std::system(run.c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << bad;
    }
}


// Rings as a hostile file gives them: across 180 degrees by a jump, around
// a pole, wider than either longitude form, on one line, crossing
// themselves. What is written must agree with what is said.
TEST_F(Islands, RingsAcross180AroundAPoleAndOutOfShape) {
    struct Case {
        const char* name;
        std::string text;
        int status;
        const char* says;
    };
    const Case cases[] = {
        // A jump from 170 to -170 is a crossing of 180, not a 340-degree band.
        {"jump.txt", ">\n170 -10\n-170 -10\n-170 10\n170 10\n", 0, "crosses 180 degrees (it runs from 170.0 to 190.0"},
        {"jump.geojson", R"({"type":"Polygon","coordinates":[[[170,-10],[-170,-10],[-170,10],[170,10],[170,-10]]]})",
         0, "crosses 180 degrees (it runs from 170.0 to 190.0"},
        // Once around the north pole at low latitudes: closed along the
        // map's top edge, within -180..180 and so said nothing of 180.
        {"pole.txt", ">\n180.9\t1\n-9\t1\n3\t9\n", 0, "outline of"},
        // Around the globe on both sides of the equator: which pole?
        {"equator.txt", ">\n0 -5\n120 5\n240 -5\n", 1, "runs once around the globe, enclosing a pole"},
        {"wide.geojson",
         R"({"type":"Polygon","coordinates":[[[-10,0],[90,0],[190,0],[190,10],[90,10],[-10,10],[-10,0]]]})", 1,
         "across both 0 and 180"},
        {"line.geojson", R"({"type":"Polygon","coordinates":[[[0,0],[10,0],[20,0],[0,0]]]})", 1,
         "it encloses no area"},
        {"bowtie.geojson", R"({"type":"Polygon","coordinates":[[[0,0],[10,10],[10,0],[0,10],[0,0]]]})", 0,
         "crosses itself; mended, it falls into 2 pieces"},
    };
    for (const Case& c : cases) {
        std::remove(output_.c_str());
        const Outcome result = outline(from(scratch_.write(c.name, c.text)));
        EXPECT_EQ(result.status, c.status) << c.name << ": " << result.message;
        EXPECT_NE(result.message.find(c.says), std::string::npos) << c.name << ": " << result.message;
        if (result.status != 0) {
            EXPECT_NE(::access(output_.c_str(), F_OK), 0) << c.name;
            continue;
        }
        const Bounds b = bounds_of(result.outline);
        const bool said_crossing = result.message.find("crosses 180") != std::string::npos;
        if (said_crossing) {
            EXPECT_TRUE(b.west >= 0 && b.east > 180 && b.east <= 360) << c.name;
        } else {
            EXPECT_TRUE(b.west >= -180 && b.east <= 180) << c.name;
        }
    }
    const Outcome jump = outline(from(scratch_.path("jump.txt")));
    EXPECT_EQ(bounds_of(jump.outline).west, 170);
    EXPECT_EQ(bounds_of(jump.outline).east, 190);
    const Outcome pole = outline(from(scratch_.path("pole.txt")));
    const Bounds band = bounds_of(pole.outline);
    EXPECT_EQ(band.west, -180);
    EXPECT_EQ(band.east, 180);
    EXPECT_EQ(band.north, 90);
    EXPECT_TRUE(inside(pole.outline, 45.0, 100.0));
    EXPECT_EQ(outline(from(scratch_.path("bowtie.geojson"))).outline.size(), 3u);
}

TEST_F(Islands, NothingToJoinLeavesTheRingAsItWas) {
    const std::string square =
        scratch_.write("square.geojson", R"({"type":"Polygon","coordinates":[[[0,0],[10,0],[10,10],[0,10],[0,0]]]})");
    for (const double join : {0.5, 90.0, 360.0}) {
        OutlineRequest request = from(square);
        request.join = join;
        const Outcome result = outline(request);
        ASSERT_EQ(result.status, 0) << result.message;
        const Bounds b = bounds_of(result.outline);
        EXPECT_EQ(result.outline.size(), 4u) << join;
        EXPECT_TRUE(b.south == 0 && b.north == 10 && b.west == 0 && b.east == 10) << join;
    }
}

// A coastline of the size `gmt coast -EUS -M` writes: one ring of 400,000
// vertices that touches itself (as real coasts do, so the engine must mend
// it) and 3,000 islets along it. Joining it must take seconds, not minutes.
TEST_F(Islands, JoiningALargeCoastlineStaysQuick) {
    std::string text = ">\n";
    const int n = 400000;
    char line[64];
    for (int i = 0; i < n; ++i) {
        const double t = 2 * 3.14159265358979 * i / n;
        const double r = 20 + 0.3 * std::sin(i * 0.7) + 0.2 * std::sin(i * 0.013);
        std::snprintf(line, sizeof line, "%.5f %.5f\n", -100 + r * std::cos(t), 40 + 0.6 * r * std::sin(t));
        text += line;
        if (i == n / 2) text += "-120.1 40.0\n-119.9 40.0\n";  // a pinch where the ring touches itself
    }
    for (int k = 0; k < 3000; ++k) {
        const double t = 2 * 3.14159265358979 * k / 3000;
        const double x = -100 + 20.5 * std::cos(t), y = 40 + 12.3 * std::sin(t);
        std::snprintf(line, sizeof line, ">\n%.4f %.4f\n%.4f %.4f\n%.4f %.4f\n", x, y, x + 0.02, y, x, y + 0.02);
        text += line;
    }
    OutlineRequest request = from(scratch_.write("coast.txt", text));
    request.join = 1.5;
    const auto start = std::chrono::steady_clock::now();
    const Outcome coast = outline(request);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_EQ(coast.status, 0) << coast.message;
    EXPECT_LT(seconds, 20.0);
    const Bounds b = bounds_of(coast.outline);
    EXPECT_TRUE(b.west <= -120 && b.east >= -80 && b.south <= 28 && b.north >= 52) << coast.message;
}

TEST_F(Islands, BoxAroundEventsEitherSideOf180) {
    const std::string catalogue = scratch_.write(
        "pacific.txt",
        "#EventID|Time|Latitude|Longitude|Depth/km|Author|Catalog|Contributor|ContributorID|MagType|Magnitude|"
        "MagAuthor|EventLocationName|EventType\n"
        "a|2024-03-01T01:00:00|-17.5|178.2|10|us|us|us|a|mb|4.6|us|Fiji|earthquake\n"
        "b|2024-03-01T02:00:00|-18.5|-178.3|10|us|us|us|b|mb|4.4|us|Fiji|earthquake\n");
    OutlineRequest request;
    request.box = catalogue;
    const Outcome box = outline(request);
    ASSERT_EQ(box.status, 0) << box.message;
    EXPECT_NE(box.message.find("box crosses 180 degrees (it runs from 178.2 to 181.7 east), so it is written in "
                               "longitudes 0..360"),
              std::string::npos)
        << box.message;
    EXPECT_EQ(read_file(output_), "lat,lon\n-19,178\n-17,178\n-17,182\n-19,182\n");
}


// The box around the catalogue the importer just wrote: the viewer's own
// layout, also in 0..360, selected by the same options.
TEST_F(Islands, BoxAroundTheViewersOwnCatalogue) {
    OutlineRequest request;
    request.box = scratch_.write("week.txt",
                                 "year,month,day,time,latitude,longitude,magnitude\n"
                                 "2024,03,01,010000.00,-17.5000,178.2000,4.60\n"
                                 "2024,03,01,020000.00,-18.5000,181.7000,4.40\n"
                                 "2024,03,01,030000.00,-30.5000,183.0000,2.00\n"
                                 "2024,03,01,030000.00,-30.5000,183.0000,2.00\n");
    request.selection.min_magnitude = 3;
    const Outcome box = outline(request);
    ASSERT_EQ(box.status, 0) << box.message;
    EXPECT_EQ(read_file(output_), "lat,lon\n-19,178\n-17,178\n-17,182\n-19,182\n");
}

}  // namespace
