// One frame of the scene with every one of a million marks in the drawn
// range, in a real GLUT window (run it under a virtual X server), against the
// driver's floor: the same primitives issued from prepared arrays.
#include <GL/freeglut.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "app/startup.h"
#include "app/viewer_state.h"
#include "bench/bench_catalogue.h"
#include "bench/bench_report.h"
#include "bench/quiet_stdout.h"
#include "view/scene.h"

namespace {

// The viewer exactly as start-up leaves it, then with the drawn range widened
// to the whole catalogue, which is what the frame is measured on. False when
// the files could not be read.
bool set_up_viewer() {
    bench::QuietStdout quiet;
    if (!load_viewer_state(bench::outline_file().path(), bench::catalogue_file().path())) return false;
    viewer.first_index = 0;
    viewer.last_index = viewer.quake_count;
    return true;
}

// The viewer's window with start-up's camera.
void open_window(int* argc, char** argv) {
    open_viewer_window(argc, argv);
    glutDisplayFunc([] {});  // frames are drawn by the benchmarks themselves
    set_up_camera();
    for (int i = 0; i < 10; ++i) glutMainLoopEvent();  // let the window map
}

// The marks' colours and vertices as the scene computes them, prepared once.
struct PreparedMarks {
    std::vector<float> colours;   // r, g, b per mark
    std::vector<float> vertices;  // four x/y pairs per mark
};

PreparedMarks prepare_marks() {
    PreparedMarks marks;
    const ViewTransform view = current_view();
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
