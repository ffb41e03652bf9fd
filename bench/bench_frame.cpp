// One frame of the scene with every one of a million marks in the drawn
// range, in a real GLUT window (run it under a virtual X server), against the
// driver's floor: the same primitives issued from prepared arrays.
#include <GL/freeglut.h>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "app/viewer_state.h"
#include "bench/bench_catalogue.h"
#include "bench/bench_report.h"
#include "data/data_loader.h"
#include "view/scene.h"

namespace {

constexpr int kWindowSize = 650;  // as the viewer's window

// The viewer as start-up leaves it, with the drawn range set to the whole
// catalogue. False when the files could not be read.
bool set_up_viewer() {
    std::fflush(stdout);
    const int saved = ::dup(1);
    const int null_fd = ::open("/dev/null", O_WRONLY);
    if (null_fd >= 0) ::dup2(null_fd, 1);
    DataLoader loader;
    const bool loaded = loader.load(bench::outline_file().path(), bench::catalogue_file().path());
    std::fflush(stdout);
    if (saved >= 0) ::dup2(saved, 1);
    if (null_fd >= 0) ::close(null_fd);
    if (saved >= 0) ::close(saved);
    if (!loaded || loader.record_count() == 0) return false;

    viewer.point_count = loader.point_count();
    viewer.quake_count = loader.record_count();
    viewer.points = loader.take_points();
    viewer.catalogue = loader.take_records();
    set_view_defaults();
    viewer.min_magnitude = 0.0f;
    viewer.first_index = 0;
    viewer.last_index = viewer.quake_count;  // every mark drawn
    viewer.window_first_date.set(viewer.catalogue.front().date);
    viewer.window_last_date.set(viewer.catalogue.back().date);
    store_outline_bounds(loader);
    return true;
}

void open_window(int* argc, char** argv) {
    glutInit(argc, argv);
    glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(kWindowSize, kWindowSize);
    glutInitWindowPosition(0, 0);
    glutCreateWindow("sismap frame benchmark");
    glutDisplayFunc([] {});  // frames are drawn by the benchmarks themselves
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    gluPerspective(60.0, 1.0, 1.0, 1000.0);
    gluLookAt(viewer.centre_x, viewer.centre_y, 18.0, viewer.centre_x, viewer.centre_y, 0.0, 0.0, 1.0, 0.0);
    for (int i = 0; i < 10; ++i) glutMainLoopEvent();  // let the window map
}

// The marks' colours and vertices as the scene computes them, prepared once.
struct PreparedMarks {
    std::vector<float> colours;   // r, g, b per mark
    std::vector<float> vertices;  // four x/y pairs per mark
};

PreparedMarks prepare_marks() {
    PreparedMarks marks;
    const ViewTransform view{viewer.centre_x, viewer.centre_y, viewer.zoom, viewer.centre_x + viewer.pan_x,
                             viewer.centre_y + viewer.pan_y};
    marks.colours.reserve(viewer.catalogue.size() * 3);
    marks.vertices.resize(viewer.catalogue.size() * 8);
    size_t n = 0;
    for (const QuakeRecord& quake : viewer.catalogue) {
        marks.colours.insert(marks.colours.end(), {1.0f, mark_green(quake.magnitude), 0.0f});
        mark_vertices(view, quake.longitude, quake.latitude, mark_half_size(quake.magnitude), &marks.vertices[8 * n]);
        ++n;
    }
    return marks;
}

// The floor: clear, one begin/end per mark from the prepared arrays, swap.
void floor_frame(const PreparedMarks& marks) {
    const size_t count = marks.colours.size() / 3;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    const float* colour = marks.colours.data();
    const float* vertex = marks.vertices.data();
    for (size_t i = 0; i < count; ++i, colour += 3, vertex += 8) {
        glColor3f(colour[0], colour[1], colour[2]);
        glBegin(GL_LINES);
        glVertex2f(vertex[0], vertex[1]);
        glVertex2f(vertex[2], vertex[3]);
        glVertex2f(vertex[4], vertex[5]);
        glVertex2f(vertex[6], vertex[7]);
        glEnd();
    }
    glutSwapBuffers();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n == 0 ? 0.0 : n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

// The floor's frame and the scene's frame in turn, each finished with
// glFinish, so both meet the same machine load; the counters give the median
// of each and their ratio.
void BM_Frame_SceneAndFloor(benchmark::State& state) {
    static const PreparedMarks marks = prepare_marks();
    using Clock = std::chrono::steady_clock;
    std::vector<double> floor_seconds, scene_seconds;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        floor_frame(marks);
        glFinish();
        const auto t1 = Clock::now();
        display_scene();
        glFinish();
        const auto t2 = Clock::now();
        floor_seconds.push_back(std::chrono::duration<double>(t1 - t0).count());
        scene_seconds.push_back(std::chrono::duration<double>(t2 - t1).count());
    }
    const double floor_median = median(floor_seconds), scene_median = median(scene_seconds);
    state.counters["floor_ms"] = floor_median * 1e3;
    state.counters["scene_ms"] = scene_median * 1e3;
    state.counters["ratio"] = floor_median > 0 ? scene_median / floor_median : 0.0;
    state.counters["marks"] = static_cast<double>(viewer.last_index - viewer.first_index);
}

}  // namespace

BENCHMARK(BM_Frame_SceneAndFloor)->Unit(benchmark::kMillisecond)->Iterations(9);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    if (!set_up_viewer()) {
        std::fprintf(stderr, "cannot read the generated benchmark files\n");
        return 1;
    }
    open_window(&argc, argv);
    std::printf("GL renderer: %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    bench::CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    bench::Summary summary(reporter);
    summary.paired("Frame: display_scene / driver floor (1,000,000 marks)", "BM_Frame_SceneAndFloor", 1.1,
                   "<= 1.1 x floor");
    summary.print();
    benchmark::Shutdown();
    return 0;
}
