// The real sismap-import binary: exit codes, messages, standard input and
// output, and what a failure or a signal leaves on disk.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include <CLI/CLI.hpp>

#include "import/catalogue/catalogue_command.h"
#include "import/event_sink.h"
#include "tool/text_basics.h"
#include "import_test_support.h"
#include "tests/scratch_dir.h"
#include "tool/output_file.h"
#include "version.h"

namespace {

struct Outcome {
    int status = -1;  // exit status, or 128 + signal
    std::string out;
    std::string err;
};

std::string slurp_fd(int fd) {
    std::string text;
    char buffer[4096];
    ssize_t got;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(got));
    return text;
}

// Starts the binary with `args`; its standard input is a pipe (returned in
// *input when asked for, otherwise fed `stdin_text` and closed).
pid_t start(const std::vector<std::string>& args, int* input, int* output, int* error) {
    int in[2], out[2], err[2];
    if (::pipe(in) != 0 || ::pipe(out) != 0 || ::pipe(err) != 0) std::abort();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(in[0], 0);
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) ::close(fd);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(SISMAP_IMPORT_BINARY));
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    *input = in[1];
    *output = out[0];
    *error = err[0];
    return pid;
}

int wait_status(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

Outcome run(const std::vector<std::string>& args, const std::string& stdin_text = std::string()) {
    int input, output, error;
    const pid_t pid = start(args, &input, &output, &error);
    std::thread feeder([&] {
        (void)!::write(input, stdin_text.data(), stdin_text.size());
        ::close(input);
    });
    Outcome result;
    std::thread reader([&] { result.err = slurp_fd(error); });
    result.out = slurp_fd(output);
    reader.join();
    feeder.join();
    ::close(output);
    ::close(error);
    result.status = wait_status(pid);
    return result;
}

void write_file(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// A fresh folder per test, removed with what is in it.
class CommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/sismap-import-test-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
        output_ = dir_ + "/out.txt";
        write_file(output_, "precious\n");
    }
    void TearDown() override {
        for (const std::string& name : entries()) ::unlink((dir_ + "/" + name).c_str());
        ::rmdir(dir_.c_str());
    }

    std::vector<std::string> entries() const { return file_names_in(dir_); }

    // The output as it was before, and nothing else beside it.
    void expect_untouched() const {
        EXPECT_EQ(read_file(output_), "precious\n");
        EXPECT_EQ(entries(), std::vector<std::string>{"out.txt"});
    }

    std::string data(const char* name) const { return std::string(IMPORT_TEST_DATA) + "/" + name; }

    std::string dir_;
    std::string output_;
};

TEST_F(CommandTest, ImportsFilesAndStandardStreams) {
    const Outcome file = run({"catalogue", data("week.xml"), output_});
    EXPECT_EQ(file.status, 0) << file.err;
    EXPECT_EQ(read_file(output_), read_test_file("week_expected_depth.txt"));
    EXPECT_EQ(file.out, "");
    EXPECT_EQ(file.err,
              "sismap-import: read 10 events (QuakeML), kept 7; dropped 1 not earthquakes, 2 without a magnitude "
              "above 0, 0 below --min-mag, 0 outside --from/--to, 0 outside --region, 0 bad rows skipped\n"
              "sismap-import: these events span 6.9 days, less than the viewer's 30-day window, so playing them "
              "shows them all at once; to watch them unfold, record them in real time: sismap-record --window 1d "
              "--step 1h OUTLINE " + output_ + " OUT.mp4\n");

    const Outcome piped = run({"catalogue", "--quiet", "-", "-"}, read_test_file("week.csv"));
    EXPECT_EQ(piped.status, 0) << piped.err;
    EXPECT_EQ(piped.out, read_test_file("week_expected_depth.txt"));
    EXPECT_EQ(piped.err, "");
}

// The depth column from each layout's own field (CSV depth, FDSN text
// Depth/km, GeoJSON's third coordinate, QuakeML's metres / 1000), empty
// where the source has none; --no-depth writes the seven classic columns.
TEST_F(CommandTest, DepthFromEveryLayoutAndNoDepth) {
    for (const char* name : {"week.csv", "week.txt", "week.geojson", "week.xml"}) {
        SCOPED_TRACE(name);
        const Outcome with = run({"catalogue", "--quiet", data(name), "-"});
        EXPECT_EQ(with.status, 0) << with.err;
        EXPECT_EQ(with.out, read_test_file("week_expected_depth.txt"));
        const Outcome without = run({"catalogue", "--quiet", "--no-depth", data(name), "-"});
        EXPECT_EQ(without.out, read_test_file("week_expected.txt"));
    }
    const Outcome none = run({"catalogue", "--quiet", "-", "-"},
                             "time,latitude,longitude,depth,mag\n2024-03-01T00:00:00Z,1,2,,4.4\n"
                             "2024-03-02T00:00:00Z,1,2,deep,4.5\n");
    EXPECT_EQ(none.out,
              "year,month,day,time,latitude,longitude,magnitude,depth\n2024,03,01,000000.00,1.0000,2.0000,4.40,\n"
              "2024,03,02,000000.00,1.0000,2.0000,4.50,\n2024,03,02,000000.00,1.0000,2.0000,4.50,\n");
}

// --depth keeps events from MIN to MAX km deep, ends included; events
// without a depth are dropped and counted, in the summary and when nothing
// is kept; a range the wrong way round is a command-line error.
TEST_F(CommandTest, DepthSelection) {
    const std::string input =
        "time,latitude,longitude,depth,mag\n2024-03-01T00:00:00Z,1,2,,4.4\n2024-03-02T00:00:00Z,1,2,10,4.5\n"
        "2024-03-03T00:00:00Z,1,2,70.5,4.6\n2024-03-04T00:00:00Z,1,2,70.6,4.7\n2024-03-05T00:00:00Z,1,2,9.9,4.8\n";
    const Outcome kept = run({"catalogue", "--depth", "10,70.5", "-", "-"}, input);
    EXPECT_EQ(kept.status, 0) << kept.err;
    EXPECT_EQ(kept.out,
              "year,month,day,time,latitude,longitude,magnitude,depth\n2024,03,02,000000.00,1.0000,2.0000,4.50,10.00\n"
              "2024,03,03,000000.00,1.0000,2.0000,4.60,70.50\n2024,03,03,000000.00,1.0000,2.0000,4.60,70.50\n");
    EXPECT_NE(kept.err.find("kept 2; dropped 0 not earthquakes, 0 without a magnitude above 0, 0 below --min-mag, 0 "
                            "outside --from/--to, 0 outside --region, 1 without a depth, 2 outside --depth, 0 bad"),
              std::string::npos)
        << kept.err;
    const Outcome none = run({"catalogue", "--depth", "500,600", "-", output_}, input);
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.err.find("of the 5 events read, 4 lie outside --depth and 1 has no depth (--depth drops it)"),
              std::string::npos)
        << none.err;
    expect_untouched();
    for (const char* bad : {"70,10", "10", "a,b", "1,2,3"}) {
        const Outcome refused = run({"catalogue", "--depth", bad, "-", output_}, input);
        EXPECT_EQ(refused.status, 2) << bad;
        EXPECT_NE(refused.err.find("--depth"), std::string::npos) << refused.err;
    }
    expect_untouched();
}

// The reader looks at the first 64 KiB to tell the layout, then reads the
// rest: an event that straddles that edge, in a file or on standard input,
// must come out as it does from the small file, in every layout.
TEST_F(CommandTest, InputsLongerThanTheSniffedHeadReadWhole) {
    const std::string place = "12km NNW of Coso Junction, CA";
    for (const char* name : {"week.csv", "week.txt", "week.geojson", "week.xml"}) {
        SCOPED_TRACE(name);
        std::string text = read_test_file(name);
        const size_t at = text.find(place);
        ASSERT_NE(at, std::string::npos);
        text.insert(at + place.size(), 70000, 'x');
        const std::string big = dir_ + "/big";
        write_file(big, text);
        const Outcome file = run({"catalogue", "--quiet", big, "-"});
        const Outcome piped = run({"catalogue", "--quiet", "-", "-"}, text);
        ::unlink(big.c_str());
        EXPECT_EQ(file.status, 0) << file.err;
        EXPECT_EQ(file.out, read_test_file("week_expected_depth.txt"));
        EXPECT_EQ(piped.out, file.out) << piped.err;
    }
}

// A write the system refuses (a full disk) fails the import with its reason
// and leaves the earlier output as it was, with no temporary file beside it.
TEST_F(CommandTest, AFailedWriteLeavesNoOutput) {
    struct FullDisk {
        FullDisk() {
            output_seam::write_call = [](int, const void*, size_t) -> ssize_t {
                errno = ENOSPC;
                return -1;
            };
        }
        ~FullDisk() { output_seam::write_call = ::write; }
    } full_disk;
    CLI::App app;
    int status = -1;
    add_catalogue_command(app, &status);
    const std::string input = data("week.csv");
    const char* argv[] = {"sismap-import", "catalogue", "--quiet", input.c_str(), output_.c_str()};
    testing::internal::CaptureStderr();
    app.parse(5, argv);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(status, 1);
    EXPECT_NE(err.find(std::strerror(ENOSPC)), std::string::npos) << err;
    expect_untouched();
}

TEST_F(CommandTest, BadInputExitsWithOneAndLeavesTheOutputAlone) {
    write_file(dir_ + "/../sismap-bad-row.csv", "time,latitude,longitude,mag\n2020-01-01T00:00:00Z,95,1,2\n");
    const std::string week = read_test_file("week.xml");
    write_file(dir_ + "/../sismap-truncated.xml", week.substr(0, week.size() / 2));
    // Bytes that are no text in the declared encoding.
    write_file(dir_ + "/../sismap-encoding.xml",
               "<?xml version=\"1.0\" encoding=\"ISO-2022-JP\"?>\n<q:quakeml xmlns:q=\"x\">\xbf\x71\x75" +
                   std::string(1, '\0') + "</q:quakeml>\n");
    const std::pair<std::string, std::string> cases[] = {
        {dir_ + "/missing.csv", "cannot open " + dir_ + "/missing.csv: No such file or directory"},
        {dir_, "cannot read " + dir_ + ": it is a directory"},
        {dir_ + "/../sismap-bad-row.csv", "sismap-bad-row.csv:2: latitude outside -90 to 90"},
        {dir_ + "/../sismap-truncated.xml", "not well-formed XML"},
        {dir_ + "/../sismap-encoding.xml", "sismap-encoding.xml: not well-formed XML: input conversion failed"},
        {data("week.csv"), "week.csv: does not look like FDSN text (it looks like CSV)"},
    };
    for (const auto& [input, message] : cases) {
        // The CSV is read as FDSN text: the content contradicts --format.
        const Outcome result = input == data("week.csv") ? run({"catalogue", "--format", "fdsn", input, output_})
                                                         : run({"catalogue", input, output_});
        EXPECT_EQ(result.status, 1) << input;
        EXPECT_NE(result.err.find(message), std::string::npos) << result.err;
        // One line: nothing of libxml2's own printing gets through.
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        expect_untouched();
    }
    for (const char* name : {"sismap-bad-row.csv", "sismap-truncated.xml", "sismap-encoding.xml"})
        ::unlink((dir_ + "/../" + name).c_str());
}

TEST_F(CommandTest, BadCommandLinesExitWithTwo) {
    const std::vector<std::string> cases[] = {
        {"catalogue", data("week.csv")},
        {"catalogue", "--format", "xls", data("week.csv"), output_},
        {"catalogue", "--min-mag", "big", data("week.csv"), output_},
        {"catalogue", "--from", "2024-02-30", data("week.csv"), output_},
        {"catalogue", "--region", "50,40,0,10", data("week.csv"), output_},
        {"catalogue", "--from", "2024-03-01", "--to", "2024-02-01", data("week.csv"), output_},
        {"catalogue", "--no-such-option", data("week.csv"), output_},
        {"catalogue", output_, output_},
        {},
    };
    for (const std::vector<std::string>& args : cases) {
        const Outcome result = run(args);
        EXPECT_EQ(result.status, 2) << (args.empty() ? "" : args[1]) << ": " << result.err;
        EXPECT_EQ(result.err.rfind("sismap-import: ", 0), 0u) << result.err;
        expect_untouched();
    }
    EXPECT_EQ(run({"--version"}).out, std::string("sismap-import ") + kVersion + "\n");
    const Outcome help = run({"catalogue", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--skip-bad"), std::string::npos);
}

TEST_F(CommandTest, AnImportKeepingNoEventIsRefused) {
    // The viewer refuses a catalogue without events: nothing is written, the
    // summary and the selections that removed the events are told.
    const struct {
        std::vector<std::string> args;
        std::string input;
        std::string says;
    } cases[] = {
        {{"--region", "-10,10,0,10"}, read_test_file("week.csv"),
         "no event is kept, so nothing is written: of the 10 events read, 7 lie outside --region, 2 have no "
         "magnitude above 0 and 1 is not an earthquake (--all-types keeps it)\n"},
        {{"--min-mag", "9"}, read_test_file("week.txt"),
         "of the 10 events read, 7 are below --min-mag, 2 have no magnitude above 0 and 1 is not an earthquake "
         "(--all-types keeps it)\n"},
        {{"--all-types", "--from", "2030-01-01"}, read_test_file("week.xml"),
         "of the 10 events read, 8 lie outside --from/--to and 2 have no magnitude above 0\n"},
        {{}, "time,latitude,longitude,mag\n", "no event is kept, so nothing is written: the input holds no events\n"},
    };
    for (const auto& c : cases) {
        for (const std::string& output : {output_, std::string("-")}) {
            std::vector<std::string> args = {"catalogue"};
            args.insert(args.end(), c.args.begin(), c.args.end());
            args.insert(args.end(), {"--quiet", "-", output});
            const Outcome result = run(args, c.input);
            EXPECT_EQ(result.status, 1) << result.err;
            EXPECT_EQ(result.out, "");
            EXPECT_NE(result.err.find("sismap-import: read "), std::string::npos) << result.err;
            EXPECT_NE(result.err.find(c.says), std::string::npos) << result.err;
            expect_untouched();
        }
    }
}

TEST_F(CommandTest, LongitudesInZeroTo360) {
    const std::string input =
        "time,latitude,longitude,mag\n2024-03-01T00:00:00Z,-17.5,-179.6,4.4\n2024-03-02T00:00:00Z,-18,179.5,4.6\n"
        "2024-03-03T00:00:00Z,52,0,3\n";
    // The selection sees longitudes as read: --region across 180 keeps both
    // Fiji events, written the one plus 360.
    const Outcome east = run({"catalogue", "-q", "--no-depth", "--longitudes", "0,360", "--region", "-20,60,170,-170", "-", "-"},
                              input);
    EXPECT_EQ(east.status, 0) << east.err;
    EXPECT_EQ(east.out,
              "year,month,day,time,latitude,longitude,magnitude\n2024,03,01,000000.00,-17.5000,180.4000,4.40\n"
              "2024,03,02,000000.00,-18.0000,179.5000,4.60\n2024,03,02,000000.00,-18.0000,179.5000,4.60\n");
    const Outcome as_read = run({"catalogue", "-q", "--longitudes", "-180,180", "-", "-"}, input);
    EXPECT_NE(as_read.out.find(",-17.5000,-179.6000,"), std::string::npos) << as_read.out;
    EXPECT_NE(as_read.out.find(",52.0000,0.0000,"), std::string::npos) << as_read.out;
    EXPECT_EQ(run({"catalogue", "--longitudes", "0,180", data("week.csv"), output_}).status, 2);
    expect_untouched();
}

TEST_F(CommandTest, SignalRemovesTheTemporaryFile) {
    for (int signal_number : {SIGINT, SIGTERM}) {
        int input, output, error;
        const pid_t pid = start({"catalogue", "-", output_}, &input, &output, &error);
        const std::string week = read_test_file("week.csv");
        ASSERT_EQ(::write(input, week.data(), week.size() / 2), static_cast<ssize_t>(week.size() / 2));
        // The temporary file appears beside the output once the import runs.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (entries().size() < 2 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_EQ(entries().size(), 2u);
        ::kill(pid, signal_number);
        EXPECT_EQ(wait_status(pid), 128 + signal_number);
        for (int fd : {input, output, error}) ::close(fd);
        expect_untouched();
    }
}

}  // namespace

namespace {

// Peak memory in MB of one run of the importer that refuses its input
// (exit 1); 255 for any other outcome.
int refusal_peak_megabytes(const std::string& arguments) {
    const pid_t child = ::fork();
    if (child == 0) {
        const std::string command = std::string(SISMAP_IMPORT_BINARY) + " " + arguments + " 2>/dev/null";
        const int status = std::system(command.c_str());
        struct rusage usage;
        ::getrusage(RUSAGE_CHILDREN, &usage);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 1) ::_exit(255);
        ::_exit(static_cast<int>(std::min(usage.ru_maxrss / 1024, 254L)));
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 255;
}

}  // namespace

// Inputs without a line end or with one value of hundreds of megabytes are
// refused after a bounded read: memory stays flat. CR-only line ends and
// text after a GeoJSON document are named for what they are.
TEST(CatalogueCommand, HugeLinesAndValuesAreRefusedInFlatMemory) {
    ScratchDir scratch;
    const off_t size = 400 << 20;
    const std::pair<const char*, const char*> starts[] = {
        {"line.csv", "time,latitude,longitude,mag,"},
        {"value.geojson", R"({"type":"FeatureCollection","features":[{"type":"Feature","properties":{"place":")"},
    };
    for (const auto& [name, start] : starts) {
        const std::string path = scratch.write(name, start);
        // The rest are bytes 'a' (a sparse run of zeros would not be read
        // as text by every reader alike).
        std::ofstream(path, std::ios::app) << std::string(static_cast<size_t>(size), 'a');
        EXPECT_LT(refusal_peak_megabytes("catalogue " + path + " " + scratch.path("out.txt")), 150)
            << name << ": peak MB (255: not refused)";
        std::remove(path.c_str());
    }
    const std::pair<const char*, const char*> misleading[] = {
        {"cr.csv", "time,latitude,longitude,mag\r2024-01-01T00:00:00Z,1,2,3\r"},
        {"tail.geojson", R"({"type":"FeatureCollection","features":[]} x)"},
    };
    const char* says[] = {"its lines end in CR alone", "text after the end of the GeoJSON document"};
    for (size_t i = 0; i < 2; ++i) {
        const std::string path = scratch.write(misleading[i].first, misleading[i].second);
        std::string message;
        try {
            read_events_file(path, CatalogueFormat::guess, Selection(), nullptr);
        } catch (const ImportError& e) {
            message = e.what();
        }
        EXPECT_NE(message.find(says[i]), std::string::npos) << message;
    }
}

// Inputs that were refused for the wrong reason: a viewer's outline as a
// catalogue, and a magnitude too small for a double, which is a number.
TEST(CatalogueCommand, ViewersOutlineAndTinyMagnitudesAreToldForWhatTheyAre) {
    std::string message;
    try {
        read_events_bytes("lat,lon\n34,-120\n36,-118\n33,-117\n", "region.txt", CatalogueFormat::guess, Selection(),
                          nullptr);
    } catch (const ImportError& e) {
        message = e.what();
    }
    EXPECT_NE(message.find("region.txt is a region outline in the viewer's layout"), std::string::npos) << message;
    EXPECT_EQ(parse_decimal("1e-400"), 0.0);
    EXPECT_EQ(parse_decimal("-1e-400"), 0.0);
    EXPECT_FALSE(parse_decimal("1e400"));
    EXPECT_EQ(parse_decimal("4.5"), 4.5);
}
