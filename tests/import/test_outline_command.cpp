// The outline mode as a whole: the feature listing and choice, --box around
// a catalogue, and every refusal leaving an existing output as it was; the
// real binary's exit codes for its command line.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <sstream>

#include "import/outline/outline_command.h"
#include "outline_test_files.h"

namespace {

using namespace outline_test;

struct Result {
    int status;
    std::string message;
};

Result outline(const OutlineRequest& request) {
    std::ostringstream messages;
    const int status = run_outline(request, messages);
    return {status, messages.str()};
}

OutlineRequest request_for(const std::string& input, const std::string& output) {
    OutlineRequest request;
    request.input = input;
    request.output = output;
    return request;
}

class OutlineCommand : public ::testing::Test {
protected:
    void SetUp() override {
        states_ = scratch_.write("states.geojson", geojson_collection(five_states()));
        output_ = scratch_.path("outline.txt");
    }
    Scratch scratch_;
    std::string states_, output_;
};

TEST_F(OutlineCommand, AmbiguousCollectionListsItsFeatures) {
    const Result r = outline(request_for(states_, output_));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.message.find("holds 5 features; choose one with --where FIELD=VALUE or --index N"), std::string::npos);
    EXPECT_NE(r.message.find("\n  1  STUSPS=CO  NAME=Colorado  (Polygon)\n"), std::string::npos) << r.message;
    EXPECT_NE(r.message.find("\n  4  STUSPS=NM  NAME='New Mexico'  (Polygon)\n"), std::string::npos) << r.message;
    EXPECT_NE(r.message.find("\n  5  STUSPS=KS  NAME=Kansas  (Polygon)\n"), std::string::npos) << r.message;
    EXPECT_FALSE(std::filesystem::exists(output_));
}

TEST_F(OutlineCommand, ChoiceByIndexOrByAttribute) {
    OutlineRequest by_index = request_for(states_, output_);
    by_index.index = 4;
    ASSERT_EQ(outline(by_index).status, 0);
    const std::string new_mexico = read_file(output_);
    EXPECT_EQ(new_mexico.substr(0, 16), "lat,lon\n37,-109\n");

    OutlineRequest by_name = request_for(states_, output_);
    by_name.where = "NAME=New Mexico";
    ASSERT_EQ(outline(by_name).status, 0);
    EXPECT_EQ(read_file(output_), new_mexico);
    // The field's name in any case, as in shapefiles' attribute tables.
    by_name.where = "stusps=NM";
    ASSERT_EQ(outline(by_name).status, 0);
    EXPECT_EQ(read_file(output_), new_mexico);
    // The value exactly.
    by_name.where = "NAME=new mexico";
    EXPECT_EQ(outline(by_name).status, 1);
}

TEST_F(OutlineCommand, ChoiceMatchingSeveralListsThem) {
    std::vector<Feature> features = five_states();
    features[2].attributes[2].second = "Colorado";  // Utah misnamed
    const std::string twice = scratch_.write("twice.geojson", geojson_collection(features));
    OutlineRequest request = request_for(twice, output_);
    request.where = "NAME=Colorado";
    const Result r = outline(request);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.message.find("--where NAME=Colorado matches 2 features"), std::string::npos) << r.message;
    EXPECT_NE(r.message.find("\n  3  STUSPS=UT  NAME=Colorado"), std::string::npos) << r.message;
}

TEST_F(OutlineCommand, SingleFeatureIsTakenAndStandardOutputWorks) {
    const std::string one = scratch_.write("one.geojson", R"({"type":"Polygon","coordinates":[[[0.5,0.5],[4,0],[4,4],[0,4]]]})");
    ASSERT_EQ(outline(request_for(one, output_)).status, 0);
    EXPECT_EQ(read_file(output_), "lat,lon\n1,1\n4,0\n4,4\n0,4\n");  // clockwise from the first vertex
}

std::string week(const std::string& name) { return std::string(IMPORT_TEST_DATA) + "/" + name; }

TEST_F(OutlineCommand, BoxAroundAWeeksCatalogueInEveryLayout) {
    // The week's events reach from 15.5 S to 61.295 N, and from 178 E
    // across 180 degrees to 116 W (244 in 0..360), their narrowest span; the
    // quarry blast of the CSV is not an earthquake and lies inside anyway.
    for (const char* name : {"week.csv", "week.txt", "week.geojson", "week.xml"}) {
        SCOPED_TRACE(name);
        OutlineRequest request;
        request.box = week(name);
        request.output = output_;
        ASSERT_EQ(outline(request).status, 0);
        EXPECT_EQ(read_file(output_), "lat,lon\n-16,178\n62,178\n62,244\n-16,244\n");
        request.margin = 2;
        ASSERT_EQ(outline(request).status, 0);
        EXPECT_EQ(read_file(output_), "lat,lon\n-18,176\n64,176\n64,246\n-18,246\n");
    }
}

// Every refusal: a non-zero status, a message naming the file, and the
// existing output byte for byte as it was, with nothing left beside it.
TEST_F(OutlineCommand, EveryRefusalLeavesTheOutputUntouched) {
    const std::string island = scratch_.write(
        "island.geojson", R"({"type":"Polygon","coordinates":[[[10.1,40.1],[10.3,40.2],[10.2,40.4],[10.1,40.1]]]})");
    const std::string projected_shp = write_shapefile(scratch_, "utm", five_states());
    scratch_.write("utm.prj", R"(PROJCS["NAD83 / UTM zone 13N",GEOGCS["NAD83"]])");
    const std::string no_dbf = write_shapefile(scratch_, "nodbf", five_states());
    std::filesystem::remove(scratch_.path("nodbf.dbf"));
    write_shapefile(scratch_, "table", five_states());
    const std::string csv = scratch_.write("quakes.csv", read_file(week("week.csv")));
    const std::string empty_catalogue =
        scratch_.write("none.csv", "time,latitude,longitude,mag,type\n2024-03-01T00:00:00Z,35,-117,2.0,explosion\n");
    const std::string viewer = scratch_.write("viewer.txt", "lat,lon\n42,-124\n42,-120\n");
    const std::string zip = scratch_.write("states.zip", std::string("PK\x03\x04\x14\0\0\0", 8));
    const std::string text = scratch_.write("notes.txt", "Boundary of Colorado\n");
    const std::string gmt_bad = scratch_.write("bad.gmt", "# comment\n> A\n10 10\n10,11\n11 11\n");
    const std::string gmt_far = scratch_.write("far.gmt", ">\n10 10\n400 10\n11 11\n");
    const std::string greenwich =
        scratch_.write("greenwich.geojson", R"({"type":"Polygon","coordinates":[[[-5,50],[5,50],[5,55],[-5,55]]]})");
    const std::string truncated =
        scratch_.write("cut.geojson", read_file(states_).substr(0, read_file(states_).size() / 2));
    const std::string metres = scratch_.write(
        "metres.geojson", R"({"type":"Polygon","coordinates":[[[500000,4100000],[600000,4100000],[600000,4200000]]]})");
    const std::string lines = scratch_.write(
        "lines.geojson", R"({"type":"Feature","properties":{},"geometry":{"type":"LineString","coordinates":[[1,2],[3,4]]}})");
    const std::string single_point = scratch_.write("point_catalogue.csv", "time,latitude,longitude,mag\n2024-03-01T00:00:00Z,35,-117,2.0\n");

    struct Case {
        const char* what;
        std::function<OutlineRequest()> request;
        const char* says;
        int status;
    };
    const auto plain = [&](const std::string& input) { return [&, input] { return request_for(input, output_); }; };
    const auto box = [&](const std::string& catalogue, double margin) {
        return [&, catalogue, margin] {
            OutlineRequest r;
            r.box = catalogue;
            r.margin = margin;
            r.output = output_;
            return r;
        };
    };
    const std::vector<Case> cases = {
        {"several features, no choice", plain(states_), "holds 5 features", 1},
        {"a choice matching none", [&] { auto r = request_for(states_, output_); r.where = "NAME=Texas"; return r; },
         "matches no feature", 1},
        {"an index past the end", [&] { auto r = request_for(states_, output_); r.index = 6; return r; },
         "--index 6 matches no feature", 1},
        {"an island smaller than a degree", plain(island), "fewer than 3 distinct", 1},
        {"a projected shapefile", plain(projected_shp), "projected coordinate system", 1},
        {"a shapefile without its .dbf", plain(no_dbf), "nodbf.dbf: cannot open", 1},
        {"a catalogue given for an outline", plain(csv), "use: sismap-import catalogue", 1},
        {"a GeoJSON catalogue given for an outline", plain(week("week.geojson")), "use: sismap-import catalogue", 1},
        {"a QuakeML catalogue given for an outline", plain(week("week.xml")), "use: sismap-import catalogue", 1},
        {"a catalogue in the viewer's layout", plain(week("week_expected.txt")), "already in the viewer's layout", 1},
        {"neither GeoJSON, a shapefile nor GMT text", plain(text), "neither GeoJSON, a shapefile", 1},
        {"GMT text with a bad line", plain(gmt_bad), "bad.gmt: line 4: expected a longitude and a latitude", 1},
        {"GMT text beyond 360 east", plain(gmt_far), "far.gmt: line 3: coordinate (400, 10)", 1},
        {"a --join of 0", [&] { auto r = request_for(gmt_far, output_); r.join = 0; return r; }, "--join", 2},
        {"a box whose --region keeps no event",
         [&] { auto r = box(csv, 0)(); r.selection.region = "-10,10,0,10"; return r; },
         "no event is kept, so there is no box to draw: of the 10 events read, 7 lie outside --region", 1},
        {"a box with --from after --to",
         [&] { auto r = box(csv, 0)(); r.selection.from = "2024-03-02"; r.selection.to = "2024-03-01"; return r; },
         "--from", 2},
        {"--longitudes 0,360 on an outline across 0 degrees",
         [&] { auto r = request_for(greenwich, output_); r.longitudes = LongitudeForm::east_360; return r; },
         "across 0", 1},
        {"a shapefile's table for its .shp", plain(scratch_.path("table.dbf")),
         "table.dbf: is a shapefile's attribute table; give its .shp", 1},
        {"already the viewer's outline", plain(viewer), "already an outline", 1},
        {"a zipped download", plain(zip), "unzip it", 1},
        {"GeoJSON cut short", plain(truncated), "cut.geojson: line", 1},
        {"coordinates in metres", plain(metres), "WGS 84", 1},
        {"lines only", plain(lines), "has no polygon", 1},
        {"a missing input", plain(scratch_.path("absent.geojson")), "absent.geojson: No such file", 1},
        {"a box with no event kept", box(empty_catalogue, 0), "no event is kept", 1},
        {"a box of one event on whole degrees", box(single_point, 0), "--margin", 1},
        {"a box around an outline", box(states_, 0), "states.geojson", 1},
        {"a negative margin", box(csv, -1), "--margin", 2},
        {"an index of 0", [&] { auto r = request_for(states_, output_); r.index = 0; return r; }, "numbered from 1", 2},
        {"--where without a field", [&] { auto r = request_for(states_, output_); r.where = "Colorado"; return r; },
         "FIELD=VALUE", 2},
        {"the output is the input", [&] { auto r = request_for(states_, states_); r.index = 1; return r; },
         "being read", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        scratch_.write("outline.txt", "lat,lon\n1,2\n3,4\n5,6\n");
        const Result r = outline(c.request());
        EXPECT_EQ(r.status, c.status);
        EXPECT_NE(r.message.find(c.says), std::string::npos) << r.message;
        EXPECT_EQ(read_file(output_), "lat,lon\n1,2\n3,4\n5,6\n");
        for (const auto& entry : std::filesystem::directory_iterator(scratch_.path("")))
            EXPECT_EQ(entry.path().filename().string().find("outline.txt."), std::string::npos) << entry.path();
    }
    // The inputs are never changed either, not even a shapefile's companion
    // named as the output.
    EXPECT_EQ(read_file(states_), geojson_collection(five_states()));
    const std::string shp = write_shapefile(scratch_, "ok", five_states());
    const std::string table = read_file(scratch_.path("ok.dbf"));
    OutlineRequest onto_table = request_for(shp, scratch_.path("ok.dbf"));
    onto_table.index = 1;
    const Result r = outline(onto_table);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.message.find("being read"), std::string::npos) << r.message;
    EXPECT_EQ(read_file(scratch_.path("ok.dbf")), table);
}

// Runs `sismap-import outline ARGUMENTS` through the shell; `streams` are
// its redirections.
int run_binary(const std::string& arguments, const std::string& streams = ">/dev/null 2>&1") {
    const int status = std::system((std::string(SISMAP_IMPORT_BINARY) + " outline " + arguments + " " + streams).c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(OutlineCommand, BinaryExitCodes) {
    const std::string out = " " + output_;
    EXPECT_EQ(run_binary("--index 1" + (" " + states_) + out), 0);
    EXPECT_EQ(run_binary(states_ + out), 1);
    EXPECT_EQ(run_binary("--index 1 --where NAME=Utah " + states_ + out), 2);
    EXPECT_EQ(run_binary("--margin 1 --index 1 " + states_ + out), 2);
    EXPECT_EQ(run_binary("--box " + week("week.csv") + " " + states_ + out), 2);
    EXPECT_EQ(run_binary("--index x " + states_ + out), 2);
    EXPECT_EQ(run_binary(states_), 2);
    EXPECT_EQ(run_binary("--box " + week("week.csv") + out), 0);
    EXPECT_EQ(read_file(output_), "lat,lon\n-16,178\n62,178\n62,244\n-16,244\n");
    // GeoJSON from standard input to standard output.
    EXPECT_EQ(run_binary("--where NAME=Kansas - -", "<" + states_ + " >" + output_ + " 2>/dev/null"), 0);
    EXPECT_EQ(read_file(output_), "lat,lon\n40,-102\n40,-99\n40,-95\n39,-95\n37,-95\n37,-99\n37,-102\n39,-102\n");
}

}  // namespace
