// The GeoJSON feed reader.
#include <gtest/gtest.h>

#include <simdjson.h>

#include "import/downloads/geojson_reader.h"
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

// What one reading gave: the kept events' lines and the counts, or the
// message it failed with.
std::string read_with(const std::string& text, const GeojsonSplit& split, bool skip_bad) {
    Selection selection;
    selection.skip_bad = skip_bad;
    ImportCounts counts;
    std::vector<QuakeEvent> events;
    EventSink sink(selection, counts, events);
    std::string out;
    try {
        read_geojson_catalogue(text, text.size(), "in", sink, split);
    } catch (const ImportError& e) {
        return std::string("error: ") + e.what();
    }
    for (const QuakeEvent& event : events) append_event_line(event, out);
    return out + "read " + std::to_string(counts.read) + ", bad " + std::to_string(counts.bad) + ", no magnitude " +
           std::to_string(counts.no_magnitude);
}

// The whole document, then pieces of one feature, of about 300 bytes and of
// the size a user's import takes.
std::vector<GeojsonSplit> every_split() {
    std::vector<GeojsonSplit> splits(1);
    splits[0].whole = true;
    for (size_t bytes : {size_t{1}, size_t{300}, size_t{1} << 20}) {
        GeojsonSplit pieces;
        pieces.piece_bytes = bytes;
        splits.push_back(pieces);
    }
    return splits;
}

TEST(GeojsonReader, PiecesWholeAndEveryKernelReadAlike) {
    // Strings that hold brackets, commas, quotes and escapes, nested arrays
    // and objects among the properties, blanks everywhere, members around
    // the features, a byte-order mark.
    const std::string features =
        point("\"mag\":7.1,\"time\":1562383193040,\"place\":\"x],[{\\\"}\\\\\",\"types\":[[1,{\"a\":[]}],\"]\"]") +
        " ,\n " + point("\"mag\":null,\"time\":1562383193041") + "," + point("\"mag\":\"big\",\"time\":1") + "," +
        point("\"mag\":2.5,\"time\":1562383193042", "[179.5,-20.25]") + "," +
        point("\"mag\":1,\"time\":1562383193043", "[1]") + "," + point("\"mag\":3,\"time\":1562383193044");
    const std::string text = "\xEF\xBB\xBF { \"type\" : \"FeatureCollection\", \"bbox\":[1,[2],{\"features\":3}],"
                             "\"features\" :\t[ " + features + " ] , \"metadata\":{\"count\":6} }\n";
    const std::vector<GeojsonSplit> splits = every_split();
    const GeojsonSplit& whole = splits.front();
    const std::vector<std::string> kernels = geojson_kernels_runnable();
    ASSERT_FALSE(kernels.empty());
    for (const bool skip_bad : {false, true}) {
        const std::string expected = read_with(text, whole, skip_bad);
        for (const std::string& kernel : kernels) {
            for (GeojsonSplit split : splits) {
                split.kernel = kernel.c_str();
                EXPECT_EQ(read_with(text, split, skip_bad), expected) << kernel << " " << split.piece_bytes;
            }
        }
        if (skip_bad) {
            EXPECT_EQ(expected, "2019,07,06,031953.04,35.7695,-117.5993,7.10\n"
                                "2019,07,06,031953.04,-20.2500,179.5000,2.50\n"
                                "2019,07,06,031953.04,35.7695,-117.5993,3.00\n"
                                "read 6, bad 2, no magnitude 1");
        } else {
            // The first bad feature, named at the same byte by every reading.
            const size_t third = text.find("{\"type\":\"Feature\"", text.find("1562383193041"));
            EXPECT_EQ(expected, "error: in: byte " + std::to_string(third - 3) + ": \"mag\" is neither a number nor null");
        }
    }
    // Broken inside a piece, or outside the features: refused either way.
    for (const std::string& broken : {text.substr(0, text.find("1562383193042")) + "15x]}]}",
                                      text.substr(0, text.rfind('}')) + ",}"}) {
        for (GeojsonSplit split : splits)
            EXPECT_EQ(read_with(broken, split, true).rfind("error: in: ", 0), 0u) << broken;
    }
}

// JSON has backslashes only in strings; simdjson takes one for an escape
// anywhere, so the quote after it opens no string. The first features here
// were cut into pieces as if it did: refused in pieces, read whole as one
// feature. Outside the features too, in an object or a bare value.
TEST(GeojsonReader, ABackslashOutsideStringsIsRefusedByEveryReading) {
    const std::string event = point("\"mag\":1,\"time\":1562383193040");
    for (const std::string& text : {feed("{\"id\":{\\\"\"}},{\"id\":{\\\"\"}}," + event),
                                    "{\"metadata\":{\"title\":\\\"x\"},\"features\":[" + event + "]}",
                                    "{\"features\":[" + event + "],\"count\":1\\}"}) {
        const std::string expected = "error: in: byte " + std::to_string(text.find('\\')) +
                                     ": not valid JSON: A backslash stands outside a string.";
        for (const std::string& kernel : geojson_kernels_runnable()) {
            for (GeojsonSplit split : every_split()) {
                split.kernel = kernel.c_str();
                EXPECT_EQ(read_with(text, split, true), expected) << kernel << " " << split.piece_bytes << " " << text;
            }
        }
    }
}

TEST(GeojsonReader, RunsTheBestKernelOfThisProcessor) {
    const std::vector<std::string> kernels = geojson_kernels_runnable();
    ASSERT_FALSE(kernels.empty());
    EXPECT_EQ(geojson_kernel(), kernels.front());
    // simdjson's own choice for this processor is the one run, whenever
    // it is compiled in (all x86-64 kernels are).
    const std::string active = simdjson::get_active_implementation()->name();
#if defined(__x86_64__)
    EXPECT_EQ(std::string(geojson_kernel()), active);
#endif
    EXPECT_EQ(kernels.back(), simdjson::builtin_implementation()->name());
    GeojsonSplit split;
    split.kernel = "no such kernel";
    EXPECT_EQ(read_with(feed(""), split, false), "error: no simdjson kernel named no such kernel here");
}

}  // namespace
