// The QuakeML reader: which origin and magnitude it takes, and broken files.
#include <gtest/gtest.h>

#include "import_test_support.h"

namespace {

std::string quakeml(const std::string& events) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<q:quakeml xmlns:q=\"http://quakeml.org/xmlns/quakeml/1.2\" xmlns=\"http://quakeml.org/xmlns/bed/1.2\">\n"
           "<eventParameters publicID=\"smi:x/p\">\n" +
           events + "</eventParameters>\n</q:quakeml>\n";
}

std::string origin(const std::string& id, const std::string& time, const std::string& latitude) {
    return "<origin publicID=\"" + id + "\"><time><value>" + time + "</value></time><latitude><value>" + latitude +
           "</value></latitude><longitude><value>-117.5</value></longitude></origin>\n";
}

std::string magnitude(const std::string& id, const std::string& value) {
    return "<magnitude publicID=\"" + id + "\"><mag><value>" + value + "</value></mag><type>ml</type></magnitude>\n";
}

TEST(QuakemlReader, TakesThePreferredOriginAndMagnitudeElseTheFirst) {
    const std::string text = quakeml(
        // superseded solutions first, the preferred ones named after them
        "<event publicID=\"smi:x/e1\">\n" + origin("smi:x/o1", "2019-07-06T03:19:50Z", "10") +
        origin("smi:x/o2", "2019-07-06T03:19:53.04Z", "35.7695") + magnitude("smi:x/m1", "6.9") +
        magnitude("smi:x/m2", "7.1") +
        "<preferredOriginID>smi:x/o2</preferredOriginID>\n<preferredMagnitudeID> smi:x/m2 </preferredMagnitudeID>\n"
        "<type>earthquake</type></event>\n"
        // nothing named, no type: the first of each, an earthquake
        "<event publicID=\"smi:x/e2\">\n" +
        origin("smi:x/o3", "2019-07-07T00:00:00Z", "20") + origin("smi:x/o4", "2019-07-08T00:00:00Z", "30") +
        magnitude("smi:x/m3", "2.5") + magnitude("smi:x/m4", "3.5") + "</event>\n");
    EXPECT_EQ(import_text(text), std::string(kViewerCatalogueHeader) +
                                     "2019,07,06,031953.04,35.7695,-117.5000,7.10\n"
                                     "2019,07,07,000000.00,20.0000,-117.5000,2.50\n");
}

TEST(QuakemlReader, CountsTypesAndMissingMagnitudes) {
    const std::string text = quakeml(
        "<event publicID=\"smi:x/e1\">" + origin("o", "2019-07-06T03:19:53Z", "1") + magnitude("m", "1.5") +
        "<type>quarry blast</type></event>\n<event publicID=\"smi:x/e2\">" + origin("o", "2019-07-06T03:19:53Z", "1") +
        "<type>earthquake</type></event>\n<event publicID=\"smi:x/e3\"/>\n");
    ImportCounts counts;
    Selection skip;
    skip.skip_bad = true;
    import_text(text, skip, &counts);
    EXPECT_EQ(counts.read, 3u);
    EXPECT_EQ(counts.not_earthquake, 1u);
    EXPECT_EQ(counts.no_magnitude, 1u);
    EXPECT_EQ(counts.bad, 1u);  // the empty event has no origin
}

TEST(QuakemlReader, BadEventsAndBrokenFilesNameTheLine) {
    EXPECT_EQ(import_error(quakeml("<event publicID=\"e\">\n" + origin("o1", "2019-07-06T03:19:53Z", "1") +
                                   "<preferredOriginID>o9</preferredOriginID></event>\n")),
              "in:4: preferredOriginID \"o9\" names no origin of the event");
    EXPECT_EQ(import_error(quakeml("<event publicID=\"e\">\n" + origin("o1", "2019-07-06T03:19:53Z", "1") +
                                   magnitude("m1", "2") + "<preferredMagnitudeID>m9</preferredMagnitudeID></event>\n")),
              "in:4: preferredMagnitudeID \"m9\" names no magnitude of the event");
    EXPECT_EQ(import_error(quakeml("<event publicID=\"e\">\n" + origin("o1", "yesterday", "1") + "</event>\n")),
              "in:4: origin time \"yesterday\" is not an ISO 8601 date and time");

    const std::string whole = quakeml("<event publicID=\"e\">\n" + origin("o1", "2019-07-06T03:19:53Z", "1") +
                                      magnitude("m1", "2") + "</event>\n");
    const std::string truncated = whole.substr(0, whole.find("<mag>"));
    EXPECT_EQ(import_error(truncated).rfind("in:6: not well-formed XML (the file ends early", 0), 0u) << import_error(truncated);
    EXPECT_EQ(import_error("<?xml version=\"1.0\"?>\n<html><body/></html>"),
              "in:2: the root element is <html>, not QuakeML's <quakeml>");
}

TEST(QuakemlReader, EntitiesAreNotExpanded) {
    // A "billion laughs" document must neither blow up memory nor hang (nor,
    // under the sanitizers, leak the declarations libxml2 keeps).
    std::string text = "<?xml version=\"1.0\"?>\n<!DOCTYPE q [<!ENTITY a \"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\">";
    const char* previous = "a";
    const char* names[] = {"b", "c", "d", "e", "f", "g", "h", "i", "j"};
    for (const char* name : names) {
        text += std::string("<!ENTITY ") + name + " \"";
        for (int i = 0; i < 10; ++i) text += std::string("&") + previous + ";";
        text += "\">";
        previous = name;
    }
    const std::string body = quakeml("<event publicID=\"e\"><type>&j;</type></event>");
    text += "]>" + body.substr(body.find('\n'));
    Selection skip;
    skip.skip_bad = true;
    ImportCounts counts;
    try {
        import_text(text, skip, &counts);
    } catch (const ImportError&) {
        // Refusing the document is as good as not expanding it.
    }
    EXPECT_EQ(counts.kept, 0u);
}

}  // namespace
