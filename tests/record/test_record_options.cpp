// Command line of sismap-record: every option's accepted and refused values
// (map mode's and the section's included), the output kind from OUTPUT's
// form, help, version and exit statuses.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "version.h"
#include "record/record_options.h"
#include "tests/test_support.h"

namespace {

ParseResult parse(std::vector<std::string> args) {
    args.insert(args.begin(), "sismap-record");
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    return parse_record_options(static_cast<int>(argv.size()), argv.data());
}

// Parses `option value` before three valid positionals.
ParseResult parse_option(const std::string& option, const std::string& value) {
    return parse({option, value, "l.txt", "q.txt", "out.gif"});
}

TEST(RecordOptions, EveryOptionIsRead) {
    const ParseResult r = parse({"--min-mag", "4", "--zoom", "1.5", "--pan", "0.5,-1.25", "--every", "3", "--from",
                                 "2003-06-10", "--fps", "25", "--quiet", "land.txt", "quakes.txt", "OUT.MP4"});
    ASSERT_TRUE(r.run) << r.text;
    const RecordOptions& o = r.options;
    EXPECT_EQ(o.landscape_path, "land.txt");
    EXPECT_EQ(o.quake_path, "quakes.txt");
    EXPECT_EQ(o.output_path, "OUT.MP4");
    EXPECT_EQ(o.kind, OutputKind::Mp4);
    EXPECT_EQ(o.min_magnitude, 4);
    EXPECT_TRUE(o.zoom_given);
    EXPECT_EQ(o.zoom, 1.5f);
    EXPECT_EQ(o.pan_x, 0.5f);
    EXPECT_EQ(o.pan_y, -1.25f);
    EXPECT_EQ(o.every, 3);
    EXPECT_TRUE(o.from_given);
    EXPECT_EQ(o.from.year, 2003);
    EXPECT_EQ(o.from.month, 6);
    EXPECT_EQ(o.from.day, 10);
    EXPECT_EQ(o.fps, 25);
    EXPECT_TRUE(o.quiet);
}

TEST(RecordOptions, WindowOrStepSwitchesToRealTimeWithTheOtherDefaulted) {
    EXPECT_FALSE(parse({"l.txt", "q.txt", "out.gif"}).options.real_time);
    struct Case {
        std::vector<std::string> args;
        int64_t window, step;
    };
    for (const Case& c : {Case{{"--window", "6h"}, 6 * 3600, 86400}, Case{{"--step", "10m"}, 30 * 86400, 600},
                          Case{{"--window", "90m", "--step", "45s"}, 5400, 45},
                          Case{{"--step", "2d", "--window", "1d"}, 86400, 2 * 86400}}) {
        std::vector<std::string> args = c.args;
        for (const char* positional : {"l.txt", "q.txt", "out.gif"}) args.push_back(positional);
        const ParseResult r = parse(args);
        ASSERT_TRUE(r.run) << r.text;
        EXPECT_TRUE(r.options.real_time);
        EXPECT_EQ(r.options.window_seconds, c.window) << c.args[0];
        EXPECT_EQ(r.options.step_seconds, c.step) << c.args[0];
    }
}

TEST(RecordOptions, OutputKindComesFromTheEnding) {
    ScratchDir scratch;
    struct Case {
        std::string path;
        OutputKind kind;
    };
    for (const Case& c : {Case{"a.gif", OutputKind::Gif}, Case{"dir/a.GIF", OutputKind::Gif},
                          Case{"a.mp4", OutputKind::Mp4}, Case{"a.png", OutputKind::Still},
                          Case{"page.HTML", OutputKind::Html},
                          Case{"frames/", OutputKind::PngFolder}, Case{"x.png/", OutputKind::PngFolder},
                          Case{scratch.path(), OutputKind::PngFolder}}) {
        const ParseResult r = parse({"l.txt", "q.txt", c.path});
        ASSERT_TRUE(r.run) << c.path << ": " << r.text;
        EXPECT_EQ(r.options.kind, c.kind) << c.path;
    }
    for (const std::string path : {"a.avi", "a.gif.txt", "gif", "a.", "a.htm", ""}) {
        const ParseResult r = parse({"l.txt", "q.txt", path});
        EXPECT_FALSE(r.run) << path;
        EXPECT_EQ(r.exit_code, kExitCommandLine) << path;
        EXPECT_TRUE(r.text_is_error);
    }
    EXPECT_NE(parse({"l.txt", "q.txt", "a.avi"}).text.find("must end in .gif, .mp4, .png, .html or '/'"), std::string::npos);
}

TEST(RecordOptions, AcceptedValues) {
    for (const std::string m : {"0", "3", "5", "7", "+4"}) EXPECT_TRUE(parse_option("--min-mag", m).run) << m;
    for (const std::string z : {"0.0011", "1", "2.5", "1000", "1e2"}) EXPECT_TRUE(parse_option("--zoom", z).run) << z;
    for (const std::string p : {"0,0", "-1.5,2", "1e1,-1e1", ".5,.5"}) EXPECT_TRUE(parse_option("--pan", p).run) << p;
    for (const std::string n : {"1", "7", "1000000"}) EXPECT_TRUE(parse_option("--every", n).run) << n;
    for (const std::string n : {"1", "20", "50"}) EXPECT_TRUE(parse_option("--fps", n).run) << n;
    for (const std::string d : {"2001-01-01", "2001/12/31", "2004-02-29", "2000-02-29", "1-1-1", "2001-1-5"})
        EXPECT_TRUE(parse_option("--from", d).run) << d;
    for (const std::string d : {"1s", "90m", "6h", "30d", "100000d"}) {
        EXPECT_TRUE(parse_option("--window", d).run) << d;
        EXPECT_TRUE(parse_option("--step", d).run) << d;
    }
}

TEST(RecordOptions, RefusedValuesNameTheirOptionAndExitWith2) {
    struct Case {
        std::string option;
        std::vector<std::string> values;
    };
    const std::vector<Case> cases = {
        {"--min-mag", {"1", "2", "8", "-1", "4.5", "", "x", " 4", "4 "}},
        {"--zoom", {"0", "-1", "0.001", "1001", "nan", "inf", "1e3000", "0x10", "", "1,5", " 1"}},
        {"--pan", {"1", "1,", ",1", "a,b", "1,2,3", "nan,0", "2e6,0", ""}},
        {"--every", {"0", "-1", "1.5", "", "1000001", "99999999999"}},
        {"--fps", {"0", "51", "-20", "20.0", "x"}},
        {"--from", {"2001-13-01", "2001-00-10", "2001-02-29", "1900-02-29", "2001-04-31", "2001-01", "2001-01-01x",
                    "20010101", "2001-01/01", "", "-2001-01-01", "+2001-01-01", "2001-+1-01"}},
        {"--window", {"0d", "6", "h", "-1h", "+1h", "1.5h", "1w", "6H", " 6h", "6h ", "100001d", ""}},
        {"--step", {"0s", "1 d", "0x10m", "99999999999999999999s"}},
    };
    for (const Case& c : cases) {
        for (const std::string& value : c.values) {
            const ParseResult r = parse_option(c.option, value);
            EXPECT_FALSE(r.run) << c.option << " " << value;
            EXPECT_EQ(r.exit_code, kExitCommandLine) << c.option << " " << value;
            EXPECT_TRUE(r.text_is_error);
            EXPECT_EQ(r.text.rfind("sismap-record: " + c.option + " must", 0), 0u) << r.text;
            EXPECT_NE(r.text.find("--help"), std::string::npos);
        }
    }
}

TEST(RecordOptions, WrongArgumentCountsAndUnknownOptions) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{}, {"l.txt"}, {"l.txt", "q.txt"}, {"l", "q", "o.gif", "extra"},
                                              {"--nope", "l", "q", "o.gif"}, {"--min-mag"}}) {
        const ParseResult r = parse(args);
        EXPECT_FALSE(r.run);
        EXPECT_EQ(r.exit_code, kExitCommandLine);
        EXPECT_TRUE(r.text_is_error);
        EXPECT_EQ(r.text.rfind("sismap-record: ", 0), 0u) << r.text;
    }
    EXPECT_NE(parse({"l.txt", "q.txt"}).text.find("LANDSCAPE QUAKES OUTPUT"), std::string::npos);
}

TEST(RecordOptions, HelpAndVersionExitWith0OnStandardOutput) {
    const ParseResult help = parse({"--help"});
    EXPECT_FALSE(help.run);
    EXPECT_EQ(help.exit_code, kExitDone);
    EXPECT_FALSE(help.text_is_error);
    for (const char* part : {"LANDSCAPE QUAKES OUTPUT", "--min-mag", "--zoom", "--pan", "--every", "--from", "--fps",
                             "--quiet", "--version", "--window", "--step", "--fit", ".gif", ".mp4", ".png", ".html",
                             "frame-00000.png", "Exit status"})
        EXPECT_NE(help.text.find(part), std::string::npos) << part;

    const ParseResult version = parse({"--version", "ignored"});
    EXPECT_FALSE(version.run);
    EXPECT_EQ(version.exit_code, kExitDone);
    EXPECT_EQ(version.text, std::string("sismap-record ") + kVersion + "\n");
}

TEST(MapOptions, EachMapOptionSwitchesToMapModeAndIsChecked) {
    const ParseResult plain = parse({"l.txt", "q.txt", "o.gif"});
    ASSERT_TRUE(plain.run);
    EXPECT_FALSE(plain.options.map_mode);
    for (const std::vector<std::string>& extra : std::vector<std::vector<std::string>>{
             {"--fit"}, {"--coast", "a.txt"}, {"--size", "1280x720"}, {"--colour", "age"}}) {
        std::vector<std::string> args = extra;
        for (const char* p : {"l.txt", "q.txt", "o.gif"}) args.push_back(p);
        const ParseResult r = parse(args);
        ASSERT_TRUE(r.run) << r.text;
        EXPECT_TRUE(r.options.map_mode) << extra[0];
    }
    const ParseResult r = parse({"--coast", "a.txt", "--coast", "b.shp", "--size", "1920x1080", "--colour", "depth",
                                 "--depth-classes", "20,70,300", "l.txt", "q.txt", "o.mp4"});
    ASSERT_TRUE(r.run) << r.text;
    EXPECT_EQ(r.options.coasts, (std::vector<std::string>{"a.txt", "b.shp"}));
    EXPECT_EQ(r.options.width, 1920);
    EXPECT_EQ(r.options.height, 1080);
    EXPECT_EQ(r.options.colouring, Colouring::Depth);
    EXPECT_EQ(r.options.depth_bounds, (std::vector<double>{20, 70, 300}));
    EXPECT_EQ(r.options.landscape_path, "l.txt");

    struct Refused {
        std::vector<std::string> args;
        std::string text;
    };
    for (const Refused& c : std::vector<Refused>{
             {{"--size", "63x64"}, "--size must"}, {{"--size", "3841x100"}, "--size must"},
             {{"--size", "100x2161"}, "--size must"}, {{"--size", "100"}, "--size must"},
             {{"--size", "x100"}, "--size must"}, {{"--size", "-100x100"}, "--size must"},
             {{"--colour", "blue"}, "--colour must"}, {{"--depth-classes", "300,70"}, "--depth-classes must"},
             {{"--depth-classes", "0,70"}, "--depth-classes must"}, {{"--depth-classes", "70,"}, "--depth-classes must"}}) {
        std::vector<std::string> args = c.args;
        for (const char* p : {"l.txt", "q.txt", "o.gif"}) args.push_back(p);
        const ParseResult refused = parse(args);
        EXPECT_FALSE(refused.run) << c.args[1];
        EXPECT_EQ(refused.exit_code, kExitCommandLine) << c.args[1];
        EXPECT_EQ(refused.text.rfind("sismap-record: " + c.text, 0), 0u) << refused.text;
    }
    // H.264's halved colour planes need even sides.
    const ParseResult odd = parse({"--size", "1281x720", "l.txt", "q.txt", "o.mp4"});
    EXPECT_FALSE(odd.run);
    EXPECT_EQ(odd.exit_code, kExitCommandLine);
    EXPECT_NE(odd.text.find("even sides"), std::string::npos) << odd.text;
    EXPECT_TRUE(parse({"--size", "1281x721", "l.txt", "q.txt", "o.gif"}).run);
}

TEST(SectionOptions, ReadCheckedAndRefused) {
    // The inputs go in before OUTPUT, which stays last.
    const auto parse = [](std::vector<std::string> args) {
        args.insert(args.end() - 1, {"l.txt", "q.txt"});
        return ::parse(args);
    };
    const ParseResult r = parse({"--section", "38,144,40,-224", "--width", "25.5", "--depth-max", "300",
                                 "--depth", "-2,100", "o.png"});
    ASSERT_TRUE(r.run) << r.text;
    EXPECT_TRUE(r.options.map_mode);
    EXPECT_TRUE(r.options.section);
    EXPECT_EQ(r.options.section_a.latitude, 38.0);
    EXPECT_EQ(r.options.section_b.longitude, -224.0);
    EXPECT_EQ(r.options.section_width_km, 25.5);
    EXPECT_EQ(r.options.section_depth_max, 300.0);
    ASSERT_TRUE(r.options.depth);
    EXPECT_EQ(r.options.depth->min_km, -2.0);
    // A page draws the section as a video does.
    const ParseResult page = parse({"--section", "38,144,40,136", "o.html"});
    EXPECT_TRUE(page.run && page.options.map_mode && page.options.section) << page.text;
    const ParseResult plain = parse({"--depth", "0,70", "o.gif"});
    ASSERT_TRUE(plain.run) << plain.text;
    EXPECT_FALSE(plain.options.map_mode);
    EXPECT_FALSE(plain.options.section);
    EXPECT_EQ(plain.options.section_width_km, 50.0);
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--width", "20", "o.gif"},
             {"--depth-max", "200", "o.gif"},
             {"--section", "38,144,40", "o.gif"},
             {"--section", "95,144,40,136", "o.gif"},
             {"--section", "10,20,10,20", "o.gif"},
             {"--section", "0,0,0,180", "o.gif"},
             {"--section", "38,144,40,136", "--width", "0", "o.gif"},
             {"--section", "38,144,40,136", "--depth-max", "-5", "o.gif"},
             {"--depth", "100,0", "o.gif"}}) {
        const ParseResult refused = parse(args);
        EXPECT_FALSE(refused.run) << args[0] << " " << args[1];
        EXPECT_EQ(refused.exit_code, kExitCommandLine) << args[1];
    }
}

}  // namespace
