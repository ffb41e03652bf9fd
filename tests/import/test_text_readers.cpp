// The CSV and FDSN text readers on real-shaped rows and on broken ones.
#include <gtest/gtest.h>

#include "import_test_support.h"

namespace {

const std::string kHeader = "time,latitude,longitude,depth,mag,magType,place,type\n";

TEST(CsvReader, FindsColumnsByNameInAnyOrderAndCase) {
    const std::string text =
        "Place,MAG,Type,Longitude,Time,LATITUDE\n"
        "\"4km W of Castaic, CA\",3.2,earthquake,-118.66,2019-07-06T03:19:53.040Z,34.49\n";
    EXPECT_EQ(import_text(text), std::string(kViewerCatalogueHeader) + "2019,07,06,031953.04,34.4900,-118.6600,3.20\n");
    // "magnitude" names the column as well as "mag"; no type column: kept.
    EXPECT_EQ(import_text("time,latitude,longitude,magnitude\n2019-07-06T03:19:53Z,1,2,3\n"),
              std::string(kViewerCatalogueHeader) + "2019,07,06,031953.00,1.0000,2.0000,3.00\n");
}

TEST(CsvReader, QuotedFieldsHoldCommasQuotesAndLineBreaks) {
    const std::string text = "\xEF\xBB\xBF" + kHeader +
                             "2019-07-06T03:19:53Z,34.5,-118.5,8,3.1,ml,\"near \"\"The Geysers\"\",\r\n CA\",earthquake\r\n"
                             "2019-07-05T03:19:53Z,34.5,-118.5,8,2.1,ml,\"plain\",\"Earthquake\"\r\n"
                             "\r\n"
                             "2019-07-04T03:19:53Z,bad,-118.5,8,2.1,ml,x,earthquake\r\n";
    ImportCounts counts;
    Selection skip;
    skip.skip_bad = true;
    EXPECT_EQ(import_text(text, skip, &counts), std::string(kViewerCatalogueHeader) +
                                                    "2019,07,05,031953.00,34.5000,-118.5000,2.10\n"
                                                    "2019,07,06,031953.00,34.5000,-118.5000,3.10\n");
    EXPECT_EQ(counts.read, 3u);
    EXPECT_EQ(counts.bad, 1u);
    // The line break inside the first row's place moves the later lines on.
    EXPECT_EQ(import_error(text), "in:6: latitude \"bad\" is not a number");

    // Several fields with doubled quotes in one record: each keeps its text.
    EXPECT_EQ(import_text("\"a \"\"1\"\"\",\"b \"\"2\"\"\",\"c \"\"3\"\"\",\"ti\"\"me\",time,latitude,longitude,mag\n"
                          "\"x\"\"\",\"y\"\"\",\"z\"\"\",\"w\"\"\",2019-07-06T03:19:53Z,1,2,3\n"),
              std::string(kViewerCatalogueHeader) + "2019,07,06,031953.00,1.0000,2.0000,3.00\n");
}

TEST(CsvReader, StrictByDefaultWithFileAndLine) {
    const auto error_of_row = [](const std::string& row) { return import_error(kHeader + row + "\n"); };
    EXPECT_EQ(error_of_row("2019-07-06T03:19:53Z,34.5,-118.5,8,3.1,ml,x"),
              "in:2: the row has 7 fields, the header names 8");
    EXPECT_EQ(error_of_row("2019-07-06,34.5,-118.5,8,3.1,ml,x,earthquake"),
              "in:2: time \"2019-07-06\" is not an ISO 8601 date and time");
    EXPECT_EQ(error_of_row("2019-07-06T03:19:53Z,90.5,-118.5,8,3.1,ml,x,earthquake"),
              "in:2: latitude outside -90 to 90");
    EXPECT_EQ(error_of_row("2019-07-06T03:19:53Z,34.5,-180.5,8,3.1,ml,x,earthquake"),
              "in:2: longitude outside -180 to 180");
    EXPECT_EQ(error_of_row("2019-07-06T03:19:53Z,34.5,-118.5,8,3.1x,ml,x,earthquake"),
              "in:2: magnitude \"3.1x\" is not a number");
    EXPECT_EQ(error_of_row("2019-07-06T03:19:53Z,34.5,-118.5,8,nan,ml,x,earthquake"),
              "in:2: magnitude \"nan\" is not a number");
    EXPECT_EQ(error_of_row("2019-07-06T03:19:53Z,34.5,-118.5,8,3.1,ml,\"open,earthquake"),
              "in:2: quoted field not closed before the end of the file");
    EXPECT_EQ(error_of_row("2019-07-06T03:19:53Z,34.5,-118.5,8,3.1,ml,\"a\"b,earthquake"),
              "in:2: text after the closing quote of a field");
    EXPECT_EQ(import_error("time,latitude,depth,mag\n"), "in:1: the header has no column named longitude");
}

TEST(FdsnReader, ReadsColumnsByNameWithAndWithoutEventType) {
    const std::string with_type =
        "#EventID | Time | Latitude | Longitude | Depth/km | Author | Catalog | Contributor | ContributorID | "
        "MagType | Magnitude | MagAuthor | EventLocationName | EventType\n"
        "us7000abcd|2019-07-06T03:19:53.04|35.7695|-117.5993|8.0|us|us|us|us7000abcd|mw|7.1|us|Ridgecrest, CA|earthquake\n"
        "# a comment line\n"
        "us7000abce|2019-07-05T03:19:53.04|35.7695|-117.5993|8.0|us|us|us|us7000abce|mw|2.1|us|Mine|explosion\n";
    ImportCounts counts;
    EXPECT_EQ(import_text(with_type, Selection(), &counts),
              std::string(kViewerCatalogueHeader) + "2019,07,06,031953.04,35.7695,-117.5993,7.10\n");
    EXPECT_EQ(counts.layout, InputLayout::fdsn_text);
    EXPECT_EQ(counts.not_earthquake, 1u);

    const std::string without_type =
        "#EventID|Time|Latitude|Longitude|Depth/km|Magnitude\n"
        "a|2019-07-06T03:19:53|1.5|2.5|8|4\n"
        "b|2019-07-06T03:19:53|1.5|2.5|8\n";
    EXPECT_EQ(import_error(without_type), "in:3: the row has 5 fields, the header names 6");
}

}  // namespace
