// The key test: one week of data-centre events in all four layouts imports
// to the same bytes, oldest first; and the layout guess.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "import_test_support.h"

std::string read_test_file(const std::string& name) {
    std::ifstream in(std::string(IMPORT_TEST_DATA) + "/" + name, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (!in) ADD_FAILURE() << "cannot read test file " << name;
    return bytes.str();
}

namespace {

TEST(Week, AllFourLayoutsGiveTheSameCatalogue) {
    const std::string expected = read_test_file("week_expected.txt");
    struct Layout {
        const char* name;
        InputLayout layout;
        CatalogueFormat format;
    };
    const Layout files[] = {{"week.csv", InputLayout::csv, CatalogueFormat::csv},
                            {"week.txt", InputLayout::fdsn_text, CatalogueFormat::fdsn},
                            {"week.geojson", InputLayout::geojson, CatalogueFormat::geojson},
                            {"week.xml", InputLayout::quakeml, CatalogueFormat::quakeml}};
    // Each file as saved, and with a byte-order mark and CR LF line ends.
    const auto with_bom_and_crlf = [](const std::string& text) {
        std::string out = text.rfind("\xEF\xBB\xBF", 0) == 0 ? "" : "\xEF\xBB\xBF";
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
            out += text[i];
        }
        return out;
    };
    for (const auto& [name, layout, format] : files) {
        for (const std::string& input : {read_test_file(name), with_bom_and_crlf(read_test_file(name))}) {
            ImportCounts counts;
            std::vector<QuakeEvent> events =
                read_events_bytes(input, name, CatalogueFormat::guess, Selection(), &counts);
            sort_events(events);
            std::string output;
            write_catalogue(events, [&output](std::string_view text) { output += text; });
            EXPECT_EQ(output, expected) << name;
            EXPECT_EQ(counts.layout, layout) << name;
            EXPECT_EQ(counts.read, 10u) << name;
            EXPECT_EQ(counts.kept, 7u) << name;
        }
        // From the file, with the layout forced: the same events.
        EXPECT_EQ(read_events_file(std::string(IMPORT_TEST_DATA) + "/" + name, format, Selection(), nullptr).size(),
                  7u)
            << name;
    }
}

TEST(Week, OutlinesAndTheViewersOwnLayoutAreRefused) {
    const std::string shapefile("\x00\x00\x27\x0a\x00\x00\x00\x00", 8);
    EXPECT_EQ(sniff_layout(shapefile), InputLayout::shapefile);
    EXPECT_NE(import_error(shapefile).find("sismap-import outline"), std::string::npos);
    EXPECT_NE(import_error(read_test_file("week_expected.txt")).find("already in the viewer's layout"),
              std::string::npos);
    EXPECT_NE(import_error("just some words\n").find("name it with --format"), std::string::npos);
    EXPECT_EQ(sniff_layout("\xEF\xBB\xBF  \n<?xml"), InputLayout::quakeml);
    EXPECT_EQ(sniff_layout("EventID|Time|Latitude\n"), InputLayout::fdsn_text);
}

}  // namespace
