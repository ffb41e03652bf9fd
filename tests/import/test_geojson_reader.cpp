// The GeoJSON feed reader.
#include <gtest/gtest.h>

#include "import_test_support.h"

namespace {

std::string feed(const std::string& features) {
    return "{\"type\":\"FeatureCollection\",\"metadata\":{\"count\":1},\"features\":[" + features + "]}";
}

std::string point(const std::string& properties, const std::string& coordinates = "[-117.5993,35.7695,8.0]") {
    return "{\"type\":\"Feature\",\"properties\":{" + properties +
           "},\"geometry\":{\"type\":\"Point\",\"coordinates\":" + coordinates + "},\"id\":\"ci1\"}";
}

TEST(GeojsonReader, ReadsPropertiesAndCoordinatesInAnyOrder) {
    const std::string text =
        feed(point("\"mag\":7.1,\"time\":1562383193040,\"type\":\"earthquake\"") + "," +
             // geometry first, time with a fraction of a millisecond, no type
             "{\"geometry\":{\"coordinates\":[179.5,-20.25],\"type\":\"Point\"},\"type\":\"Feature\","
             "\"properties\":{\"time\":1562383193999.9,\"mag\":0.004,\"type\":null}}" +
             "," + point("\"mag\":null,\"time\":1562383193040,\"type\":\"earthquake\"") + "," +
             point("\"mag\":2.5,\"time\":1562383193040,\"type\":\"quarry blast\""));
    ImportCounts counts;
    EXPECT_EQ(import_text(text, Selection(), &counts), std::string(kViewerCatalogueHeader) +
                                                           "2019,07,06,031953.04,35.7695,-117.5993,7.10\n"
                                                           "2019,07,06,031953.99,-20.2500,179.5000,0.01\n");
    EXPECT_EQ(counts.read, 4u);
    EXPECT_EQ(counts.no_magnitude, 1u);
    EXPECT_EQ(counts.not_earthquake, 1u);
}

TEST(GeojsonReader, BadFeaturesNameTheirByteOffset) {
    const std::string missing_time = feed(point("\"mag\":1.0"));
    const std::string message = import_error(missing_time);
    EXPECT_EQ(message, "in: byte " + std::to_string(missing_time.find("{\"type\":\"Feature\"")) +
                           ": the feature has no \"time\" in milliseconds within the years 0001 to 9999");
    EXPECT_EQ(import_error(feed(point("\"mag\":\"big\",\"time\":1"))).substr(0, 8), "in: byte");
    EXPECT_NE(import_error(feed(point("\"mag\":1,\"time\":1", "[1]"))).find("no [longitude, latitude]"),
              std::string::npos);
    Selection skip;
    skip.skip_bad = true;
    ImportCounts counts;
    import_text(feed(point("\"mag\":1.0") + "," + point("\"mag\":1,\"time\":1")), skip, &counts);
    EXPECT_EQ(counts.bad, 1u);
    EXPECT_EQ(counts.kept, 1u);
}

TEST(GeojsonReader, TruncatedOrForeignDocumentsFail) {
    const std::string whole = feed(point("\"mag\":7.1,\"time\":1562383193040"));
    for (size_t cut : {whole.size() - 1, whole.size() / 2, size_t{1}}) {
        const std::string message = import_error(whole.substr(0, cut));
        EXPECT_EQ(message.rfind("in: byte " + std::to_string(cut) + ": not valid JSON", 0), 0u) << message;
    }
    EXPECT_EQ(import_error("{\"type\":\"Feature\",\"properties\":{}}"),
              "in: a GeoJSON \"Feature\", not a FeatureCollection of events");
    EXPECT_EQ(import_error("{\"type\":\"FeatureCollection\"}"), "in: the GeoJSON has no \"features\" array");
}

TEST(GeojsonReader, AnAreaGeometryIsAnOutline) {
    // Sniffing sees areas before any point: refused at once.
    const std::string outline =
        feed("{\"type\":\"Feature\",\"properties\":{},\"geometry\":{\"type\":\"Polygon\",\"coordinates\":[[[0,0],[1,0],[0,1],[0,0]]]}}");
    EXPECT_NE(import_error(outline).find("sismap-import outline"), std::string::npos);
    // A polygon after points: refused by the reader, even with --skip-bad.
    Selection skip;
    skip.skip_bad = true;
    const std::string mixed = feed(point("\"mag\":1,\"time\":1") + "," +
                                   "{\"type\":\"Feature\",\"properties\":{},\"geometry\":{\"type\":\"MultiPolygon\","
                                   "\"coordinates\":[]}}");
    EXPECT_NE(import_error(mixed, skip).find("use: sismap-import outline"), std::string::npos);
}

}  // namespace
