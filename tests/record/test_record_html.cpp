// The playback page's packed columns and the keys by which it finds each
// frame's events: values packed here and read back as the page reads them,
// and the fall-back to positions whenever binary search would not find
// exactly the recorder's events. The page itself is tested in a browser
// (tests/e2e/test_record_html.py).
#include <gtest/gtest.h>

extern "C" {
#include <libavutil/base64.h>
}

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "record/html_page.h"

namespace {

std::string unbase64(const std::string& text) {
    std::string bytes(text.size(), '\0');
    const int size = av_base64_decode(reinterpret_cast<uint8_t*>(&bytes[0]), text.c_str(), static_cast<int>(bytes.size()));
    bytes.resize(size < 0 ? 0 : static_cast<size_t>(size));
    return bytes;
}

// The page's reading of pack_deltas, in the page's number type (double).
std::vector<int64_t> unpack_deltas(const std::string& bytes, size_t count) {
    std::vector<int64_t> values;
    size_t at = 0;
    double value = 0;
    for (size_t i = 0; i < count; ++i) {
        double z = 0;
        double scale = 1;
        unsigned char byte = 0;
        do {
            byte = static_cast<unsigned char>(bytes.at(at++));
            z += (byte & 0x7F) * scale;
            scale *= 128;
        } while (byte & 0x80);
        value += static_cast<int64_t>(z) % 2 == 0 ? z / 2 : -(z + 1) / 2;
        values.push_back(static_cast<int64_t>(value));
    }
    EXPECT_EQ(at, bytes.size());
    return values;
}

PageFrame frame(int64_t first, int64_t end) { return PageFrame{first, end, ""}; }

size_t lower_bound_of(const std::vector<int64_t>& keys, int64_t key) {
    return static_cast<size_t>(std::lower_bound(keys.begin(), keys.end(), key) - keys.begin());
}

TEST(PageColumns, DeltasComeBackAcrossSignsAndSizes) {
    // Times before 1970, runs of equal keys, steps of one byte and of many,
    // and keys far beyond 32 bits (seconds over centuries).
    const std::vector<int64_t> values = {-5, -5, 0, 1, 127, 128, 16511, -70000, 9000000000, 9000000001, 0};
    const std::string packed = pack_deltas(values);
    EXPECT_EQ(unpack_deltas(packed, values.size()), values);
    // Equal and neighbouring keys take a byte each: a catalogue's dates cost
    // about one byte an event.
    EXPECT_EQ(pack_deltas({7, 7, 8, 8, 8}).size(), 5u);
    EXPECT_EQ(unbase64(base64_text(packed)), packed);
}

TEST(PageColumns, MagnitudesTakeTheFewestBytesThatGiveThemBackExactly) {
    int scale = -1;
    const std::vector<float> tenths = {0.1f, 2.5f, 7.3f, 25.5f};
    EXPECT_EQ(pack_magnitudes(tenths, &scale).size(), tenths.size());
    EXPECT_EQ(scale, 10);

    const std::vector<float> hundredths = {1.23f, 4.0f, 9.99f};
    const std::string two = pack_magnitudes(hundredths, &scale);
    EXPECT_EQ(scale, 100);
    ASSERT_EQ(two.size(), 6u);
    for (size_t i = 0; i < hundredths.size(); ++i) {
        const unsigned q = static_cast<unsigned char>(two[2 * i]) | static_cast<unsigned char>(two[2 * i + 1]) << 8;
        EXPECT_EQ(static_cast<float>(q / 100.0), hundredths[i]);
    }

    // Above 25.5 no longer fits a byte of tenths; 1/3 fits no decimal form.
    EXPECT_EQ(pack_magnitudes({25.6f}, &scale).size(), 2u);
    EXPECT_EQ(scale, 100);
    const std::string floats = pack_magnitudes({2.0f, 1.0f / 3.0f}, &scale);
    EXPECT_EQ(scale, 0);
    ASSERT_EQ(floats.size(), 8u);
    float read = 0;
    std::memcpy(&read, floats.data() + 4, 4);  // little-endian, as on the machines the tests run on
    EXPECT_EQ(read, 1.0f / 3.0f);
}

TEST(PageKeys, BinarySearchFindsExactlyEachFramesEvents) {
    // Dates in order, with runs of equal dates; frames as the viewer's
    // scans leave them, at the start of runs, one empty, one to the end.
    const std::vector<int64_t> dates = {10, 10, 11, 13, 13, 13, 20};
    const std::vector<PageFrame> frames = {frame(0, 2), frame(2, 6), frame(3, 3), frame(6, 7), frame(7, 7)};
    const FrameKeys keys = frame_keys(dates, "date", frames);
    EXPECT_EQ(keys.unit, "date");
    EXPECT_EQ(keys.events, dates);
    for (size_t k = 0; k < frames.size(); ++k) {
        EXPECT_EQ(lower_bound_of(keys.events, keys.low[k]), static_cast<size_t>(frames[k].first)) << k;
        EXPECT_EQ(lower_bound_of(keys.events, keys.high[k]), static_cast<size_t>(frames[k].end)) << k;
    }
}

TEST(PageKeys, PositionsWhenDatesCannotSayWhereAFrameEnds) {
    // A frame that ends inside a run of equal dates (as after a collapse
    // that stopped at a date), and a catalogue out of order: binary search
    // on dates would give other events, so the keys are the positions.
    const std::vector<std::vector<int64_t>> catalogues = {{10, 10, 11}, {10, 12, 11}};
    const std::vector<std::vector<PageFrame>> frame_sets = {{frame(0, 1)}, {frame(0, 2)}};
    for (size_t c = 0; c < catalogues.size(); ++c) {
        const FrameKeys keys = frame_keys(catalogues[c], "date", frame_sets[c]);
        EXPECT_EQ(keys.unit, "index") << c;
        EXPECT_EQ(keys.events, (std::vector<int64_t>{0, 1, 2})) << c;
        const PageFrame& f = frame_sets[c][0];
        EXPECT_EQ(lower_bound_of(keys.events, keys.low[0]), static_cast<size_t>(f.first));
        EXPECT_EQ(lower_bound_of(keys.events, keys.high[0]), static_cast<size_t>(f.end));
    }
}

TEST(PageKeys, DatesOrderAsTheViewerComparesThem) {
    CalendarDate a, b, c;
    a.year = 1999; a.month = 12; a.day = 31;
    b.year = 2000; b.month = 1; b.day = 1;
    c.year = 2000; c.month = 2; c.day = 29;  // the viewer's calendar has no such day; the catalogue may
    CalendarDate d = c;
    d.month = 3; d.day = 1;
    EXPECT_LT(date_key(a), date_key(b));
    EXPECT_LT(date_key(b), date_key(c));
    EXPECT_LT(date_key(c), date_key(d));
}

}  // namespace
