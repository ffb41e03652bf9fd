// The viewer's one-line hint on standard error for a catalogue that is
// plainly a data-centre download: when it appears, and that it never does
// for a good catalogue or changes what start-up writes on standard output.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "app/startup.h"
#include "app/viewer_state.h"
#include "data/data_loader.h"
#include "data/layout_hint.h"
#include "tests/scratch_dir.h"
#include "tests/test_support.h"

namespace {

const char kUsgsHead[] =
    "time,latitude,longitude,depth,mag,magType,nst,gap,dmin,rms,net,id,updated,place,type\n"
    "2019-07-06T03:19:53.040Z,35.7695,-117.5993,8,7.1,mw,24,57,0.06,0.19,ci,ci38457511,2019-07-07T01:02:03Z,\"Ridgecrest, CA\",earthquake\n"
    "2019-07-05T03:19:53.040Z,35.7695,-117.5993,8,2.1,ml,31,44,0.05,0.17,ci,ci38457510,2019-07-07T01:02:03Z,\"Ridgecrest, CA\",earthquake\n";

std::vector<QuakeRecord> load(const std::string& text) {
    DataLoader loader;
    loader.read_catalogue(text);
    return loader.take_records();
}

TEST(LayoutHint, DataCentreDownloadsAreNamedWithTheCommandThatConvertsThem) {
    EXPECT_EQ(catalogue_layout_hint("query.csv", kUsgsHead, load(kUsgsHead)),
              "query.csv is not in the viewer's catalogue layout (ISO 8601 times such as 2019-07-06T03:19 in "
              "its first lines); convert it with: sismap-import catalogue query.csv query-sismap.txt");
    EXPECT_NE(catalogue_layout_hint("my quakes", "\xEF\xBB\xBF{\"type\":\"FeatureCollection\"", {})
                  .find("(it starts like a GeoJSON feed); convert it with: sismap-import catalogue 'my quakes' "
                        "'my quakes-sismap.txt'"),
              std::string::npos);
    EXPECT_NE(catalogue_layout_hint("q.xml", "\n<?xml version=\"1.0\"?>", {}).find("XML (QuakeML)"),
              std::string::npos);
}

TEST(LayoutHint, NewestFirstCatalogueRunsBackwards) {
    const std::string newest_first =
        "year,month,day,time,latitude,longitude,magnitude\n"
        "2001,03,07,120000.00,34.1,-118.1,2.0\n"
        "2001,03,07,115959.99,34.1,-118.1,2.0\n"
        "2001,02,28,120000.00,34.1,-118.1,2.0\n"
        "2000,12,31,120000.00,34.1,-118.1,2.0\n";
    EXPECT_NE(catalogue_layout_hint("new.txt", newest_first, load(newest_first)).find("dates run backwards"),
              std::string::npos);
}

TEST(LayoutHint, NeverForAGoodOrMerelyUnsortedCatalogue) {
    const std::string good = "year,month,day,time,latitude,longitude,magnitude\n"
                             "2001,01,06,165808.59,37.65,-118.77,1.2\n"
                             "2001,01,06,165808.59,37.65,-118.77,1.3\n"
                             "2001,01,11,143509.23,35.60,-117.33,1.8\n";
    EXPECT_EQ(catalogue_layout_hint("good.txt", good, load(good)), "");
    // A few steps back among many forward is no newest-first download.
    const std::string unsorted = "year,month,day,time,latitude,longitude,magnitude\n"
                                 "2002,08,18,120000.00,34.87,-118.62,1.7\n"
                                 "2005,01,21,120000.00,37.79,-116.76,3.7\n"
                                 "2004,03,03,120000.00,38.63,-116.71,1.4\n"
                                 "2001,09,09,120000.00,33.55,-116.74,2.6\n";
    EXPECT_EQ(catalogue_layout_hint("unsorted.txt", unsorted, load(unsorted)), "");
    EXPECT_EQ(catalogue_layout_hint("empty.txt", "", {}), "");
}

TEST(LayoutHint, StartUpWritesItOnStandardErrorOnly) {
    ScratchDir dir;
    const std::string land = dir.write("land.txt", "y,x\n34,-118\n35,-117\n");
    const std::string good = dir.write("good.txt", "year,month,day,time,latitude,longitude,magnitude\n"
                                                   "2001,01,06,165808.59,34.5,-117.5,1.2\n");
    const std::string download = dir.write("query.csv", kUsgsHead);
    for (const std::string& quakes : {good, download}) {
        reset_program_state();
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        EXPECT_TRUE(load_viewer_state(land.c_str(), quakes.c_str()));
        const std::string out = testing::internal::GetCapturedStdout();
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(out, "Trying to open landscape file: " + land + "\nTrying to open earthquake file: " + quakes + "\n\n");
        if (quakes == good) {
            EXPECT_EQ(err, "");
        } else {
            EXPECT_EQ(err, "sismap: " + catalogue_layout_hint(quakes.c_str(), kUsgsHead, load(kUsgsHead)) + "\n");
        }
    }
    reset_program_state();
}

// A catalogue given as a pipe (`sismap outline.txt <(...)`) can be read only
// once: start-up must finish with the hint from what the loader read, not
// wait for a second writer that never comes.
TEST(LayoutHint, ACatalogueFromAPipeIsReadOnce) {
    ScratchDir dir;
    const std::string land = dir.write("land.txt", "y,x\n34,-118\n35,-117\n");
    const std::string fifo = dir.path("quakes.pipe");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::thread writer([&] {
        const int fd = ::open(fifo.c_str(), O_WRONLY);
        if (fd < 0) return;
        const std::string text = kUsgsHead;
        EXPECT_EQ(::write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
        ::close(fd);
    });
    reset_program_state();
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    auto loading = std::async(std::launch::async, [&] { return load_viewer_state(land.c_str(), fifo.c_str()); });
    const bool finished = loading.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
    if (!finished) {
        // Let a second open of the pipe see an empty writer, so the test
        // fails instead of hanging.
        const int fd = ::open(fifo.c_str(), O_WRONLY);
        if (fd >= 0) ::close(fd);
    }
    const bool loaded = loading.get();
    writer.join();
    testing::internal::GetCapturedStdout();
    const std::string err = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(finished) << "start-up blocked on the catalogue pipe";
    EXPECT_TRUE(loaded);
    EXPECT_EQ(viewer.quake_count, 2);
    EXPECT_EQ(err, "sismap: " + catalogue_layout_hint(fifo.c_str(), kUsgsHead, load(kUsgsHead)) + "\n");
    reset_program_state();
}

}  // namespace
