// The earthquake reader against an independent reference built from the C
// library (tests/reference_catalogue.h) on generated catalogues
// that mix the common plain lines with every unusual form, read both from
// text in memory and from a file larger than one read piece.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "data/data_loader.h"
#include "tests/reference_catalogue.h"
#include "tests/test_support.h"

namespace {

// Field by field, floats bit for bit.
void expect_same(const std::vector<QuakeRecord>& got, const std::vector<QuakeRecord>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i) {
        SCOPED_TRACE(i);
        const QuakeRecord& a = got[i];
        const QuakeRecord& b = want[i];
        ASSERT_EQ(a.date.year, b.date.year);
        ASSERT_EQ(a.date.month, b.date.month);
        ASSERT_EQ(a.date.day, b.date.day);
        ASSERT_EQ(a.time.hour, b.time.hour);
        ASSERT_EQ(a.time.minute, b.time.minute);
        ASSERT_EQ(a.time.second, b.time.second);
        ASSERT_EQ(a.time.hundredths, b.time.hundredths);
        ASSERT_EQ(0, std::memcmp(&a.latitude, &b.latitude, sizeof(float))) << a.latitude << " " << b.latitude;
        ASSERT_EQ(0, std::memcmp(&a.longitude, &b.longitude, sizeof(float))) << a.longitude << " " << b.longitude;
        ASSERT_EQ(0, std::memcmp(&a.magnitude, &b.magnitude, sizeof(float))) << a.magnitude << " " << b.magnitude;
    }
}

class CatalogueText {
public:
    explicit CatalogueText(unsigned seed) : random_(seed) {}

    std::string make(int lines, unsigned unusual_percent) {
        std::string text = "year,month,day,time,latitude,longitude,magnitude\n";
        for (int i = 0; i < lines; ++i) text += pick(100) < unusual_percent ? unusual_line() : plain_line();
        return text;
    }

private:
    unsigned pick(unsigned n) { return static_cast<unsigned>(random_() % n); }
    std::string digits(int n) {
        std::string s;
        for (int i = 0; i < n; ++i) s += static_cast<char>('0' + pick(10));
        return s;
    }
    // A decimal: optional sign, 1 to 8 whole digits, 0 to 9 decimals, now and
    // then an exponent; sometimes over the 15 digits that are always exact.
    std::string decimal() {
        static const char* const signs[] = {"", "", "", "", "-", "-", "+"};
        std::string s = signs[pick(7)];
        s += digits(1 + static_cast<int>(pick(8)));
        const unsigned fraction = pick(10);
        if (fraction > 0 || pick(4) == 0) s += "." + digits(static_cast<int>(fraction));
        if (pick(8) == 0) s += std::string(pick(2) ? "e" : "E") + (pick(2) ? "-" : "") + digits(1 + static_cast<int>(pick(2)));
        return s;
    }
    std::string plain_line() {
        return std::to_string(1900 + pick(200)) + "," + digits(2) + "," + digits(2) + "," + digits(6) + "." +
               digits(2) + "," + decimal() + "," + decimal() + "," + decimal() + "\n";
    }
    std::string any_int() {
        static const char* const forms[] = {"2001", "05", "7", " 12", "+3", "-4", "0099", "9999999999", "x1", ""};
        return pick(2) ? digits(1 + static_cast<int>(pick(5))) : forms[pick(10)];
    }
    std::string any_time() {
        static const char* const forms[] = {"12345", "1234567890", " 123456.78", "ab3456.78", "1", "000000.00",
                                            "12:34:56", "123456,78"};
        return pick(2) ? digits(6) + "." + digits(2) : forms[pick(8)];
    }
    std::string any_float() {
        static const char* const forms[] = {"1e5",   "1.5E-3", ".5",  "-.5", "inf", "nan", "0x1p3", "1.",
                                            "12345678901234567", "  3.1", "3.1 ", "0", "-0.0", "1e-50", "2e",
                                            "1.25e+2", "0.000000000000001234", "007.50", "-", "abc"};
        return pick(2) ? decimal() : forms[pick(20)];
    }
    std::string separator() {
        static const char* const forms[] = {",", ",", ",", ",,", ", ,"};
        return forms[pick(5)];
    }
    std::string unusual_line() {
        std::string line = pick(10) == 0 ? "," : "";
        line += any_int() + separator() + any_int() + separator() + any_int() + separator() + any_time() +
                separator() + any_float() + separator() + any_float() + separator() + any_float();
        switch (pick(8)) {
            case 0: line += "\r"; break;
            case 1: line += ",extra,fields"; break;
            case 2: line += "," + std::string(60 + pick(120), '9'); break;  // runs past one read
            case 3: line.insert(pick(static_cast<unsigned>(line.size())), 1, '\0'); break;
            case 4: line = line.substr(0, pick(static_cast<unsigned>(line.size()))); break;
            case 5: line.resize(98 + pick(3), '5'); break;  // 98, 99 or 100 characters
            default: break;
        }
        return line + "\n";
    }

    std::mt19937 random_;
};

TEST(CatalogueReading, PlainAndUnusualLinesReadAsTheCLibraryReadsThem) {
    for (unsigned seed = 1; seed <= 6; ++seed) {
        SCOPED_TRACE(seed);
        CatalogueText maker(seed);
        const std::string text = maker.make(4000, seed * 15);
        DataLoader loader;
        loader.read_catalogue(text);
        expect_same(loader.copy_records(), reference_catalogue(text));
        // Without the last line feed, and cut inside the last line.
        for (size_t cut : {size_t{1}, size_t{7}, size_t{60}}) {
            const std::string shorter = text.substr(0, text.size() - cut);
            DataLoader cut_loader;
            cut_loader.read_catalogue(shorter);
            expect_same(cut_loader.copy_records(), reference_catalogue(shorter));
        }
    }
}

TEST(CatalogueReading, FilesLargerThanOneReadPieceGiveTheSameCatalogue) {
    // About 3 MB: reads straddle the pieces the file is taken in, long lines
    // included.
    CatalogueText maker(99);
    const std::string text = maker.make(70000, 10);
    ScratchDir dir;
    const std::string outline = dir.write("outline.txt", "lat,lon\n1,2\n");
    const std::string quakes = dir.write("quakes.txt", text);
    DataLoader loader;
    testing::internal::CaptureStdout();
    const bool loaded = loader.load(outline.c_str(), quakes.c_str());
    testing::internal::GetCapturedStdout();
    ASSERT_TRUE(loaded);
    const std::vector<QuakeRecord> want = reference_catalogue(text);
    ASSERT_GT(want.size(), 40000u);
    EXPECT_EQ(loader.record_count(), static_cast<int32_t>(want.size()));
    expect_same(loader.copy_records(), want);
}

}  // namespace
