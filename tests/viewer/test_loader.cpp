// The landscape and earthquake readers: file formats, line reads, field
// splitting, bounds, and the console lines of opening both files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "data/catalogue_storage.h"
#include "data/data_loader.h"
#include "tests/test_support.h"

namespace {

std::vector<LandscapePoint> landscape(const std::string& text, DataLoader* out = nullptr) {
    DataLoader loader;
    loader.read_landscape(text);
    if (out != nullptr) *out = loader;
    return loader.copy_points();
}

std::vector<QuakeRecord> catalogue(const std::string& text) {
    DataLoader loader;
    loader.read_catalogue(text);
    EXPECT_EQ(static_cast<size_t>(loader.record_count()), loader.copy_records().size());
    return loader.copy_records();
}

const char* kQuakeHeader = "year,month,day,time,lat,lon,mag\n";

}  // namespace

TEST(Loader, LandscapeFieldsAreYThenXWithAtoiRules) {
    auto points = landscape("header 1,2\n12,34\n12.9,-3.7\n7,8,9\n  -5 ,abc\n,,4,,6,\n");
    ASSERT_EQ(points.size(), 5u);
    EXPECT_EQ(points[0].y, 12);
    EXPECT_EQ(points[0].x, 34);
    EXPECT_EQ(points[1].y, 12);  // fraction cut off
    EXPECT_EQ(points[1].x, -3);
    EXPECT_EQ(points[2].y, 7);  // fields after the second ignored
    EXPECT_EQ(points[2].x, 8);
    EXPECT_EQ(points[3].y, -5);  // leading blank skipped, no digits reads 0
    EXPECT_EQ(points[3].x, 0);
    EXPECT_EQ(points[4].y, 4);  // runs of commas are one separator
    EXPECT_EQ(points[4].x, 6);
}

TEST(Loader, LandscapeLinesWithoutTwoFieldsAreNotVertices) {
    DataLoader loader;
    // A blank line, a single field, only commas, the editor's empty last line,
    // and a last line without a line feed, which still counts.
    auto points = landscape("h\n1,2\n\n5\n,,,\n3,4\n9,9", &loader);
    ASSERT_EQ(points.size(), 3u);
    EXPECT_EQ(points[2].y, 9);
    EXPECT_EQ(loader.point_count(), 3);
    EXPECT_EQ(loader.min_y(), 1);  // the single field 5 touched no bound
    EXPECT_EQ(loader.max_y(), 9);
}

TEST(Loader, BoundsAreTheTrueExtremesAndStayDefaultWithoutVertices) {
    DataLoader loader;
    landscape("h\n3,-125\n10,-114\n5,-120\n", &loader);
    EXPECT_EQ(loader.min_y(), 3);  // the first vertex counts for the minimum too
    EXPECT_EQ(loader.max_y(), 10);
    EXPECT_EQ(loader.min_x(), -125);
    EXPECT_EQ(loader.max_x(), -114);  // all-negative x keeps a negative maximum

    landscape("h\n-33,-72\n-30,-70\n", &loader);
    EXPECT_EQ(loader.max_y(), -30);
    EXPECT_EQ(loader.max_x(), -70);

    landscape("h\n100000,100000\n", &loader);
    EXPECT_EQ(loader.min_x(), 100000);

    DataLoader empty;
    landscape("only a header\n", &empty);
    EXPECT_EQ(empty.point_count(), 0);
    EXPECT_EQ(empty.max_x(), 0);
    EXPECT_EQ(empty.max_y(), 0);
    EXPECT_EQ(empty.min_x(), 99999);
    EXPECT_EQ(empty.min_y(), 99999);
}

TEST(Loader, ElevenVerticesInFileOrder) {
    std::string text = "h\n";
    for (int i = 0; i < 11; ++i) text += std::to_string(i) + "," + std::to_string(-i) + "\n";
    auto points = landscape(text);
    ASSERT_EQ(points.size(), 11u);
    for (int i = 0; i < 11; ++i) {
        EXPECT_EQ(points[i].y, i);
        EXPECT_EQ(points[i].x, -i);
    }
}

TEST(Loader, EarthquakeLineFillsEveryField) {
    auto records = catalogue(std::string(kQuakeHeader) + "2001,05,17,123456.78,34.5,-118.2,3.1\n");
    ASSERT_EQ(records.size(), 1u);
    const QuakeRecord& r = records[0];
    EXPECT_EQ(r.date.year, 2001);
    EXPECT_EQ(r.date.month, 5);
    EXPECT_EQ(r.date.day, 17);
    EXPECT_EQ(r.time.hour, 12);
    EXPECT_EQ(r.time.minute, 34);
    EXPECT_EQ(r.time.second, 56);
    EXPECT_EQ(r.time.hundredths, 78);
    EXPECT_EQ(r.latitude, 34.5f);
    EXPECT_EQ(r.longitude, static_cast<float>(-118.2));
    EXPECT_EQ(r.magnitude, static_cast<float>(3.1));
}

TEST(Loader, EventsAreDroppedSkippedOrKeptByTheFormatsRules) {
    auto records = catalogue(std::string(kQuakeHeader) +
                             "2001,05,17,123456.78,34.5,-118.2,0\n"      // magnitude 0: dropped
                             "2001,05,17,123456.78,34.5,-118.2,-1.5\n"   // negative: dropped
                             "2001,05,17,123456.78,34.5,-118.2,abc\n"    // no number: dropped
                             "2001,05,17,123456.78,34.5,-118.2,nan\n"    // NaN: dropped
                             "2001,05,17,123456.78,34.5,-118.2,1e-50\n"  // 0 as a float: dropped
                             "\n"                                        // blank: skipped
                             "no comma at all\n"                         // skipped
                             "2001,05,17,123456.78\n"                    // fewer than seven fields
                             "2001,,05,17,123456.78,34.5,-118.2,4.5\n"   // empty field does not count
                             " 2002 , 6 , 7 ,010203.04, 1.5 , 2.5 , 5 ,extra,fields\n"
                             "2003,1,2,000000.00,1,2,inf\n");
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].date.month, 5);  // the kept event took the first slot
    EXPECT_EQ(records[0].date.day, 17);
    EXPECT_EQ(records[0].magnitude, 4.5f);
    EXPECT_EQ(records[1].date.year, 2002);
    EXPECT_EQ(records[1].date.day, 7);
    EXPECT_EQ(records[1].latitude, 1.5f);
    EXPECT_EQ(records[1].longitude, 2.5f);
    EXPECT_EQ(records[1].magnitude, 5.0f);
    EXPECT_EQ(records[1].time.hour, 1);
    EXPECT_EQ(records[1].time.hundredths, 4);
    EXPECT_TRUE(records[2].magnitude > 1e38f);  // inf is above 0 and kept
}

TEST(Loader, TimeFieldsOfOtherLengths) {
    auto records = catalogue(std::string(kQuakeHeader) +
                             "2001,1,1,123456.789999,1,2,3\n"  // too long: its first nine characters
                             "2001,1,1,0102,1,2,3\n"           // short: later pairs keep older text
                             "2001,1,1, 123456.78,1,2,3\n");   // leading blank shifts the pairs
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].time.hour, 12);
    EXPECT_EQ(records[0].time.hundredths, 78);
    EXPECT_EQ(records[1].time.hour, 1);
    EXPECT_EQ(records[1].time.minute, 2);
    EXPECT_EQ(records[1].time.second, 0);      // starts at the terminator
    EXPECT_EQ(records[1].time.hundredths, 78);  // left by the line before
    EXPECT_EQ(records[2].time.hour, 1);         // " 1"
    EXPECT_EQ(records[2].time.minute, 23);      // "23"
    EXPECT_EQ(records[2].time.hundredths, 0);   // ".7" has no leading digit
}

TEST(Loader, LinesAreReadNinetyNineCharactersAtATime) {
    // A 150-character header without a comma: its last 51 characters are
    // read as a data line and skipped.
    auto records = catalogue(std::string(150, 'h') + "\n2001,1,1,000000.00,1,2,3\n");
    EXPECT_EQ(records.size(), 1u);

    // A header of exactly 99 characters is followed by an empty read.
    records = catalogue(std::string(99, 'h') + "\n2001,1,1,000000.00,1,2,3\n");
    EXPECT_EQ(records.size(), 1u);

    // The header's remainder is read as the first data line, and it is data.
    records = catalogue(std::string(99, 'h') + "2001,1,1,000000.00,1,2,3\n");
    EXPECT_EQ(records.size(), 1u);

    // An event line longer than 99 characters: the magnitude past the cut
    // belongs to the next read, which has no comma.
    std::string padded = "2001,1,1,000000.00,1,2" + std::string(80, ' ') + ",3\n";
    records = catalogue(std::string(kQuakeHeader) + padded);
    EXPECT_EQ(records.size(), 0u);

    // A vertex split across reads: "1,2" then the rest as a line of its own.
    auto points = landscape("h\n1," + std::string(97, '0') + "2,5\n");
    ASSERT_EQ(points.size(), 2u);
    EXPECT_EQ(points[0].y, 1);
    EXPECT_EQ(points[0].x, 0);
    EXPECT_EQ(points[1].y, 2);
    EXPECT_EQ(points[1].x, 5);
}

TEST(Loader, HeaderIsNeverDataAndCarriageReturnsChangeNothing) {
    auto records = catalogue("2001,1,1,000000.00,1,2,3\r\n2002,2,3,000000.00,4.5,6.5,7.5\r\n");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].date.year, 2002);
    EXPECT_EQ(records[0].magnitude, 7.5f);
    auto points = landscape("1,2\r\n3,4\r\n");
    ASSERT_EQ(points.size(), 1u);
    EXPECT_EQ(points[0].x, 4);
    EXPECT_TRUE(catalogue("").empty());
    EXPECT_TRUE(catalogue(kQuakeHeader).empty());
}

TEST(Loader, NulBytesEndTheLinesText) {
    std::string text = std::string(kQuakeHeader) + "2001,1,1,000000.00,1,2" + std::string(1, '\0') + ",3\n" +
                       "2002,1,1,000000.00,1,2,3\n";
    auto records = catalogue(text);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].date.year, 2002);
}

TEST(Loader, LineFeedCountSizesTheCatalogueExactly) {
    // The count sizes the one allocation: blocks of 16 bytes, tallies folded
    // before a byte lane could wrap (255 blocks), and the bytes after the last
    // whole block.
    for (size_t size : {size_t{0}, size_t{1}, size_t{15}, size_t{16}, size_t{17}, size_t{4079}, size_t{4080},
                        size_t{4081}, size_t{4096}, size_t{100003}}) {
        const std::string feeds(size, '\n');
        EXPECT_EQ(count_line_feeds(feeds), size) << size << " line feeds";
        std::string mixed(size, 'x');
        for (size_t i = 0; i < size; i += 3) mixed[i] = '\n';
        EXPECT_EQ(count_line_feeds(mixed), (size + 2) / 3) << size << " bytes, every third a line feed";
    }
    // A catalogue of plain lines takes exactly the room its lines need.
    std::string text = kQuakeHeader;
    for (int i = 0; i < 5000; ++i) text += "2001,01,01,000000.00,35.5,-120.25,4.5\n";
    DataLoader loader;
    loader.read_catalogue(text);
    const std::vector<QuakeRecord> records = loader.take_records();
    EXPECT_EQ(records.size(), 5000u);
    EXPECT_LE(records.capacity(), 5001u);
}

class LoaderFiles : public ::testing::Test {
protected:
    ScratchDir dir;
    std::string good_landscape = dir.write("land.txt", "lat,lon\n32,-125\n42,-114\n");
    std::string good_quakes = dir.write("quakes.txt", std::string(kQuakeHeader) + "2001,1,1,000000.00,35,-120,4\n");
};

TEST_F(LoaderFiles, BothFilesOpenAndAreRead) {
    DataLoader loader;
    testing::internal::CaptureStdout();
    EXPECT_TRUE(loader.load(good_landscape.c_str(), good_quakes.c_str()));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Trying to open landscape file: " + good_landscape + "\nTrying to open earthquake file: " + good_quakes +
                  "\n\n");
    EXPECT_EQ(loader.point_count(), 2);
    EXPECT_EQ(loader.record_count(), 1);
    EXPECT_EQ(loader.min_x(), -125);
    EXPECT_EQ(loader.take_records().size(), 1u);
    EXPECT_EQ(loader.take_points().size(), 2u);
}

TEST_F(LoaderFiles, NeitherFileOpens) {
    std::string missing_land = dir.path() + "/no-such-landscape.txt";
    std::string missing_quakes = dir.path() + "/no-such-quakes.txt";
    DataLoader loader;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(loader.load(missing_land.c_str(), missing_quakes.c_str()));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Trying to open landscape file: " + missing_land + "\nTrying to open earthquake file: " + missing_quakes +
                  "\n\nCould not open the landscape file named \"" + missing_land +
                  "\"\n\nCould not open the earthquake data file named \"" + missing_quakes + "\"\n\n");
    // A missing input is reported, never created.
    struct stat info {};
    EXPECT_NE(stat(missing_land.c_str(), &info), 0);
    EXPECT_NE(stat(missing_quakes.c_str(), &info), 0);
}

TEST_F(LoaderFiles, OneFailureMeansNeitherIsRead) {
    DataLoader loader;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(loader.load(good_landscape.c_str(), dir.path().c_str()));  // a directory cannot be read
    std::string output = testing::internal::GetCapturedStdout();
    EXPECT_NE(output.find("Could not open the earthquake data file named \"" + dir.path() + "\"\n\n"),
              std::string::npos);
    EXPECT_EQ(output.find("Could not open the landscape"), std::string::npos);
    EXPECT_EQ(loader.point_count(), 0);  // the landscape was not read either

    DataLoader other;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(other.load((dir.path() + "/missing").c_str(), good_quakes.c_str()));
    output = testing::internal::GetCapturedStdout();
    EXPECT_NE(output.find("Could not open the landscape file named"), std::string::npos);
    EXPECT_EQ(output.find("Could not open the earthquake"), std::string::npos);
    EXPECT_EQ(other.record_count(), 0);
}
