// Start-up pieces the viewer, the recorder and the benchmarks share: the
// loaded state, the window and the camera.
#include "app/startup.h"

#include <GL/glut.h>

#include <algorithm>
#include <string>

#include "app/program_constants.h"
#include "app/viewer_state.h"
#include "data/console.h"
#include "data/data_loader.h"
#include "data/layout_hint.h"
#include "timeline/time_window.h"

namespace {

constexpr double kEyeHeight = 18.0;  // world units above the drawing plane

}  // namespace

bool load_viewer_state(const char* landscape_path, const char* quake_path, const LoadSettings& settings) {
    DataLoader loader;
    loader.set_quiet(settings.quiet);
    loader.set_depths(settings.depths);
    set_view_defaults();
    if (!loader.load(landscape_path, quake_path)) return false;

    viewer.point_count = loader.point_count();
    viewer.quake_count = loader.record_count();
    viewer.points = loader.take_points();
    viewer.catalogue = loader.take_records();
    // A download given as it came loads without a word but shows nothing
    // useful: say so on standard error, with the command that converts it.
    if (settings.layout_hint != nullptr) {
        *settings.layout_hint = catalogue_layout_hint(quake_path, loader.catalogue_head(), viewer.catalogue);
        if (!settings.layout_hint->empty()) return false;
    } else {
        report_catalogue_layout_hint(quake_path, loader.catalogue_head(), viewer.catalogue);
    }
    if (settings.select && viewer.quake_count > 0) {
        if (!settings.select(viewer.catalogue)) return false;
        viewer.quake_count = static_cast<int32_t>(viewer.catalogue.size());
    }
    if (viewer.quake_count == 0) {
        std::string text = std::string("No earthquake entries in the file named \"") + quake_path + "\"";
        console_write(text.c_str(), 2);
        return false;
    }

    window_reset();
    // Two days per step for every 1200 days of catalogue, so any catalogue
    // plays in about the same number of steps; at least one day, or short
    // catalogues would never move.
    set_step_days(std::max<int32_t>(1, (day_span(viewer.window_first_date, viewer.window_last_date) / 1200) * 2));
    store_outline_bounds(loader);
    return true;
}

int open_viewer_window(int* argc, char** argv, bool read_back, int width, int height) {
    glutInit(argc, argv);
    glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | (read_back ? GLUT_ALPHA : GLUT_DEPTH));
    glutInitWindowSize(width, height);
    glutInitWindowPosition(0, 0);
    return glutCreateWindow(kWindowTitle);
}

void set_up_camera() {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    // Straight down at the outline's centre; the model-view matrix stays the
    // identity, zoom and pan are applied to the vertices themselves.
    gluPerspective(60.0, 1.0, 1.0, 1000.0);
    gluLookAt(viewer.centre_x, viewer.centre_y, kEyeHeight, viewer.centre_x, viewer.centre_y, 0.0, 0.0, 1.0, 0.0);
}
