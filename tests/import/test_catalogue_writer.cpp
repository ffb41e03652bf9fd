// The viewer's catalogue lines: order, number formats, and that the viewer's
// own reader loads every line as written.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "data/data_loader.h"
#include "tool/selection/iso_time.h"
#include "import_test_support.h"

namespace {

QuakeEvent at(int64_t time_us, double magnitude = 1.0) { return QuakeEvent{time_us, 0.0, 0.0, magnitude}; }

std::string line_of(const QuakeEvent& event) {
    std::string out;
    append_event_line(event, out);
    return out;
}

TEST(CatalogueWriter, SortIsStableWhateverTheInputOrder) {
    // Newest first with a tie: the tied events keep their input order.
    std::vector<QuakeEvent> newest_first = {at(30, 3), at(20, 2.1), at(20, 2.2), at(10, 1)};
    sort_events(newest_first);
    EXPECT_EQ(newest_first[0].magnitude, 1);
    EXPECT_EQ(newest_first[1].magnitude, 2.1);
    EXPECT_EQ(newest_first[2].magnitude, 2.2);
    EXPECT_EQ(newest_first[3].magnitude, 3);
    std::vector<QuakeEvent> mixed = {at(5, 5), at(1, 1.1), at(9, 9), at(1, 1.2), at(1, 1.3)};
    sort_events(mixed);
    const double expected[] = {1.1, 1.2, 1.3, 5, 9};
    for (size_t i = 0; i < mixed.size(); ++i) EXPECT_EQ(mixed[i].magnitude, expected[i]);
}

TEST(CatalogueWriter, FieldsAreCutRoundedAndNeverZeroMagnitude) {
    const int64_t last_moment = *parse_iso_time("2024-02-29T23:59:59.999999Z");
    EXPECT_EQ(line_of(QuakeEvent{last_moment, -0.00004, 179.99996, 0.004}),
              "2024,02,29,235959.99,0.0000,180.0000,0.01\n");
    EXPECT_EQ(line_of(QuakeEvent{*parse_iso_time("0999-01-02T03:04:05.06Z"), -33.12346, -70.00006, 8.8}),
              "0999,01,02,030405.06,-33.1235,-70.0001,8.80\n");
    EXPECT_EQ(line_of(QuakeEvent{0, 90.0, -180.0, 99.994}), "1970,01,01,000000.00,90.0000,-180.0000,99.99\n");
}

TEST(CatalogueWriter, WholeCatalogueEndsWithTheLastEventRepeated) {
    const auto whole = [](const std::vector<QuakeEvent>& events, size_t* writes) {
        std::string out;
        write_catalogue(events, [&](std::string_view text) {
            out += text;
            ++*writes;
        });
        return out;
    };
    size_t writes = 0;
    EXPECT_EQ(whole({}, &writes), kViewerCatalogueHeader);
    EXPECT_EQ(whole({at(0, 1.5), at(8640000000000LL, 2.5)}, &writes),
              std::string(kViewerCatalogueHeader) + "1970,01,01,000000.00,0.0000,0.0000,1.50\n" +
                  "1970,04,11,000000.00,0.0000,0.0000,2.50\n" + "1970,04,11,000000.00,0.0000,0.0000,2.50\n");
    // Across the slices the text is written in: every line once, in order.
    std::vector<QuakeEvent> many;
    for (int64_t i = 0; i < 16384 * 2 + 1; ++i) many.push_back(at(i * 10000, 1.0 + static_cast<double>(i % 100) / 100));
    writes = 0;
    const std::string text = whole(many, &writes);
    EXPECT_EQ(writes, 3u);
    std::string expected = kViewerCatalogueHeader;
    for (const QuakeEvent& event : many) expected += line_of(event);
    EXPECT_EQ(text, expected + line_of(many.back()));
}

TEST(CatalogueWriter, TheViewerLoadsEveryLineAsWritten) {
    std::mt19937_64 random(20240229);
    std::uniform_int_distribution<int64_t> time(kEarliestTimeUs, kLatestTimeUs);
    std::uniform_real_distribution<double> latitude(-90.0, 90.0);
    std::uniform_real_distribution<double> longitude(-180.0, 180.0);
    std::uniform_real_distribution<double> magnitude(1e-9, 99.99);
    std::vector<QuakeEvent> events;
    for (int i = 0; i < 20000; ++i) events.push_back({time(random), latitude(random), longitude(random), magnitude(random)});
    // The edges: the last hundredth of a day, a leap day, tiny magnitudes.
    events.push_back({*parse_iso_time("2024-02-29T23:59:59.9999Z"), 90.0, 180.0, 1e-300});
    events.push_back({*parse_iso_time("1900-03-01T00:00:00Z"), -90.0, -180.0, 0.005});
    sort_events(events);
    std::string text = kViewerCatalogueHeader;
    for (const QuakeEvent& event : events) append_event_line(event, text);

    DataLoader loader;
    loader.read_catalogue(text);
    const std::vector<QuakeRecord> records = loader.copy_records();
    ASSERT_EQ(records.size(), events.size());
    for (size_t i = 0; i < events.size(); ++i) {
        const CivilTime t = civil_time(events[i].time_us);
        const QuakeRecord& r = records[i];
        ASSERT_EQ(r.date.year, t.year) << i;
        ASSERT_EQ(r.date.month, t.month) << i;
        ASSERT_EQ(r.date.day, t.day) << i;
        ASSERT_EQ(r.time.hour, t.hour) << i;
        ASSERT_EQ(r.time.minute, t.minute) << i;
        ASSERT_EQ(r.time.second, t.second) << i;
        ASSERT_EQ(r.time.hundredths, t.hundredths) << i;
        ASSERT_NEAR(r.latitude, events[i].latitude, 1e-4) << i;
        ASSERT_NEAR(r.longitude, events[i].longitude, 1e-4) << i;
        ASSERT_GT(r.magnitude, 0.0f) << i;
        ASSERT_NEAR(r.magnitude, events[i].magnitude, 0.01) << i;
    }
}

}  // namespace
