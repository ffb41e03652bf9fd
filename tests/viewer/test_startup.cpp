// Start-up: command line, the filled ViewerState, the derived day step, and
// the exact window and camera set-up handed to GLUT.
#include <GL/glut.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "app/playback_timer.h"
#include "app/run_viewer.h"
#include "app/startup.h"
#include "app/viewer_state.h"
#include "tests/gl_recorder.h"
#include "tests/test_support.h"
#include "timeline/time_window.h"
#include "view/controls.h"
#include "view/scene.h"

namespace {

const char* kQuakeHeader = "year,month,day,time,lat,lon,mag\n";

class Startup : public ::testing::Test {
protected:
    void SetUp() override {
        reset_program_state();
        gl_recorder::reset();
    }
    void TearDown() override { reset_program_state(); }

    // Runs start-up on the two texts, standard output captured into `output`.
    int start(const std::string& landscape_text, const std::string& quake_text) {
        std::string land = dir.write("land.txt", landscape_text);
        std::string quakes = dir.write("quakes.txt", quake_text);
        std::vector<std::string> args = {"sismap", land, quakes};
        return start_with(args);
    }
    int start_with(std::vector<std::string> args) {
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(&arg[0]);
        argv.push_back(nullptr);
        testing::internal::CaptureStdout();
        int result = run_viewer(static_cast<int>(args.size()), argv.data());
        output = testing::internal::GetCapturedStdout();
        return result;
    }
    // Where the one call named `name` was made; fails the test unless it was
    // made exactly once.
    size_t position_of(const std::string& name) const {
        const std::vector<GlCall>& calls = gl_recorder::calls();
        size_t found = calls.size();
        int count = 0;
        for (size_t i = 0; i < calls.size(); ++i)
            if (calls[i].name == name) {
                found = i;
                ++count;
            }
        EXPECT_EQ(count, 1) << name;
        return found;
    }
    GlCall only_call(const std::string& name) const {
        const size_t at = position_of(name);
        return at < gl_recorder::calls().size() ? gl_recorder::calls()[at] : GlCall{};
    }

    ScratchDir dir;
    std::string output;
};

// Start-up with standard output sent to standard error, where a death test
// looks for the message.
void start_for_death_test(std::string land, std::string quakes) {
    dup2(2, 1);
    std::string program = "sismap";
    char* argv[] = {&program[0], &land[0], &quakes[0], nullptr};
    run_viewer(3, argv);
}

std::string catalogue_between(const char* first, const char* last) {
    return std::string(kQuakeHeader) + first + ",000000.00,35,-120,4\n" + last + ",000000.00,36,-119,5\n";
}

}  // namespace

TEST_F(Startup, OpensTheWindowWithTheCameraOverTheOutlinesCentre) {
    std::string quakes = std::string(kQuakeHeader) +
                         "2001,01,01,000000.00,35,-120,4\n"
                         "2001,06,01,000000.00,36,-119,0\n"  // dropped
                         "2001,07,01,000000.00,37,-118,5\n"
                         "2004,09,01,000000.00,38,-117,6\n";
    ASSERT_EQ(start("lat,lon\n32,-125\n42,-114\n35,-120\n", quakes), 0);

    // The window: GLUT sees the arguments, a double-buffered RGBA window
    // with depth, 650 pixels square at the top left, titled "Zorvane" (the
    // scripts find it by that name).
    EXPECT_EQ(gl_recorder::calls().front().name, "glutInit");
    EXPECT_EQ(only_call("glutInit").args, std::vector<double>({3}));
    EXPECT_EQ(only_call("glutInitDisplayMode").args, std::vector<double>({GLUT_RGBA | GLUT_DOUBLE | GLUT_DEPTH}));
    EXPECT_EQ(only_call("glutInitWindowSize").args, std::vector<double>({650, 650}));
    EXPECT_EQ(only_call("glutInitWindowPosition").args, std::vector<double>({0, 0}));
    EXPECT_EQ(only_call("glutCreateWindow").text, "Zorvane");

    // The callbacks, and the playback timer every 50 ms.
    const gl_recorder::Callbacks& callbacks = gl_recorder::callbacks();
    EXPECT_EQ(callbacks.keyboard, &on_key);
    EXPECT_EQ(callbacks.special, &on_special_key);
    EXPECT_EQ(callbacks.display, &display_scene);
    EXPECT_EQ(callbacks.idle, &display_scene);
    EXPECT_EQ(callbacks.timer, &on_timer);
    EXPECT_EQ(callbacks.timer_delay, 50u);
    EXPECT_EQ(callbacks.timer_value, 1);

    // The camera: a fresh projection, looking straight down at the outline's
    // centre from 18 units up, on a black background.
    const size_t projection = position_of("glMatrixMode");
    EXPECT_EQ(only_call("glMatrixMode").args, std::vector<double>({GL_PROJECTION}));
    EXPECT_LT(projection, position_of("glLoadIdentity"));
    EXPECT_LT(position_of("glLoadIdentity"), position_of("gluPerspective"));
    EXPECT_EQ(only_call("gluPerspective").args, std::vector<double>({60, 1, 1, 1000}));
    EXPECT_EQ(only_call("gluLookAt").args, std::vector<double>({-119.5, 37, 18, -119.5, 37, 0, 0, 1, 0}));
    EXPECT_EQ(only_call("glClearColor").args, std::vector<double>({0, 0, 0, 1}));

    // Callbacks and GL calls need the window, which needs glutInit; the loop
    // comes last.
    const size_t window = position_of("glutCreateWindow");
    for (const char* name : {"glutKeyboardFunc", "glutSpecialFunc", "glutDisplayFunc", "glutIdleFunc",
                             "glutTimerFunc", "glMatrixMode", "glClearColor"})
        EXPECT_GT(position_of(name), window) << name;
    EXPECT_EQ(gl_recorder::calls().back().name, "glutMainLoop");

    EXPECT_EQ(viewer.point_count, 3);
    EXPECT_EQ(viewer.points.size(), 3u);
    EXPECT_EQ(viewer.quake_count, 3);
    EXPECT_EQ(viewer.catalogue.size(), 3u);
    EXPECT_EQ(viewer.catalogue[1].latitude, 37.0f);  // file order, dropped line gone
    EXPECT_EQ(viewer.first_index, 0);
    EXPECT_EQ(viewer.last_index, 2);
    EXPECT_STREQ(viewer.window_first_date.text(), "2001/01/01");
    EXPECT_STREQ(viewer.window_last_date.text(), "2004/09/01");
    EXPECT_EQ(viewer.mode, FullRange);
    EXPECT_EQ(viewer.min_x, -125.0f);
    EXPECT_EQ(viewer.max_x, -114.0f);
    EXPECT_EQ(viewer.min_y, 32.0f);
    EXPECT_EQ(viewer.max_y, 42.0f);
    EXPECT_EQ(viewer.centre_x, -119.5f);
    EXPECT_EQ(viewer.centre_y, 37.0f);
    EXPECT_EQ(viewer.zoom, 1.0f);
    EXPECT_EQ(viewer.zoom_step, 0.01f);
    EXPECT_EQ(viewer.pan_x, 0.0f);
    EXPECT_EQ(viewer.pan_y, 0.6f);
    EXPECT_EQ(viewer.pan_step_x, 0.1f);
    EXPECT_EQ(viewer.pan_step_y, 0.1f);
    EXPECT_EQ(viewer.min_magnitude, 0.0f);
    EXPECT_EQ(step_days, 2);  // 1339 days
}

TEST_F(Startup, DayStepIsTwoPerTwelveHundredDaysAndNeverZero) {
    struct Case {
        const char* first;
        const char* last;
        int32_t step;
    };
    const Case cases[] = {
        {"2000,01,01", "2000,01,01", 1},  // span 0
        {"2000,01,01", "2003,04,14", 1},  // 1198
        {"2000,01,01", "2003,04,15", 1},  // 1199
        {"2000,01,01", "2003,04,16", 2},  // 1200
        {"2000,01,01", "2006,07,29", 2},  // 2399
        {"2000,01,01", "2006,07,30", 4},  // 2400
        {"2005,01,01", "2000,01,01", 1},  // dates descending: negative span
    };
    for (const Case& c : cases) {
        reset_program_state();
        gl_recorder::reset();
        ASSERT_EQ(start("h\n0,0\n", catalogue_between(c.first, c.last)), 0);
        EXPECT_EQ(step_days, c.step) << c.first << " to " << c.last;
    }
}

TEST_F(Startup, SingleEntryAndEmptyOutline) {
    ASSERT_EQ(start("only a header\n", std::string(kQuakeHeader) + "2001,02,03,000000.00,1,2,3\n"), 0);
    EXPECT_EQ(viewer.first_index, 0);
    EXPECT_EQ(viewer.last_index, 0);
    EXPECT_TRUE(viewer.window_first_date.equals(viewer.window_last_date));
    EXPECT_EQ(viewer.point_count, 0);
    EXPECT_EQ(viewer.centre_x, 49999.5f);
    EXPECT_EQ(viewer.centre_y, 49999.5f);
}

TEST_F(Startup, FailedStartsOpenNoWindow) {
    // A catalogue with no kept entry.
    EXPECT_EQ(start("h\n1,2\n", std::string(kQuakeHeader) + "2001,1,1,000000.00,1,2,0\n"), -1);
    std::string quakes = dir.path() + "/quakes.txt";
    EXPECT_NE(output.find("Trying to open earthquake file: " + quakes + "\n\nNo earthquake entries in the file named \"" +
                          quakes + "\"\n\n"),
              std::string::npos);
    EXPECT_TRUE(gl_recorder::calls().empty());

    // A file that cannot be opened: only the loader's lines.
    EXPECT_EQ(start_with({"sismap", dir.path() + "/missing", quakes}), -1);
    EXPECT_NE(output.find("Could not open the landscape file named"), std::string::npos);
    EXPECT_TRUE(gl_recorder::calls().empty());

    // No display: a plain explanation instead of GLUT's own error.
    gl_recorder::set_display_available(false);
    EXPECT_EQ(start("h\n1,2\n", std::string(kQuakeHeader) + "2001,1,1,000000.00,1,2,3\n"), -1);
    EXPECT_NE(output.find("Cannot open the X display \":test\""), std::string::npos);
    EXPECT_NE(output.find("xvfb-run"), std::string::npos);
    EXPECT_TRUE(gl_recorder::calls().empty());
}

TEST_F(Startup, ColourIndexWindowEndsWithStatusOne) {
    gl_recorder::set_colormap_size(256);
    std::string land = dir.write("land.txt", "h\n1,2\n");
    std::string quakes = dir.write("quakes.txt", std::string(kQuakeHeader) + "2001,1,1,000000.00,1,2,3\n");
    EXPECT_EXIT(start_for_death_test(land, quakes), ::testing::ExitedWithCode(1),
                "Error: Invalud RGBA colormap size\n");
}

TEST(StartupBinary, MissingFileNamesPrintUsageAndReturnMinusOne) {
    const std::string usage =
        "'sismap' must have two valid filenames as parameters\nusage: sismap landscape.txt data.txt\n\n";
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, std::vector<std::string>{"only-one-file.txt"}}) {
        RunResult result = run_program(SISMAP_BINARY, args);
        EXPECT_EQ(result.exit_status, 255);
        EXPECT_EQ(result.output, usage);
    }
}
