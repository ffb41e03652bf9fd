// Map mode's colours, sizes and layout.
#include "record/map_style.h"

#include <algorithm>
#include <cmath>
#include <charconv>
#include <sstream>

namespace {

// viridis at 0, 0.1, ..., 1 (matplotlib's table).
constexpr float kViridis[11][3] = {
    {0.267f, 0.005f, 0.329f}, {0.283f, 0.141f, 0.458f}, {0.254f, 0.265f, 0.530f}, {0.207f, 0.372f, 0.553f},
    {0.164f, 0.471f, 0.558f}, {0.128f, 0.567f, 0.551f}, {0.135f, 0.659f, 0.518f}, {0.267f, 0.749f, 0.441f},
    {0.478f, 0.821f, 0.318f}, {0.741f, 0.873f, 0.150f}, {0.993f, 0.906f, 0.144f}};

Rgb viridis(double at) {
    at = std::clamp(at, 0.0, 1.0) * 10.0;
    const int i = std::min(9, static_cast<int>(at));
    const float f = static_cast<float>(at - i);
    return Rgb{kViridis[i][0] + f * (kViridis[i + 1][0] - kViridis[i][0]),
               kViridis[i][1] + f * (kViridis[i + 1][1] - kViridis[i][1]),
               kViridis[i][2] + f * (kViridis[i + 1][2] - kViridis[i][2])};
}

// The viewer's camera: 18 units above the plane, 60-degree field of view,
// 650 pixels across.
constexpr double kViewerPixelsPerUnit = 650.0 / (2.0 * 18.0 * 0.57735026918962576);
constexpr double kViewerWindow = 650.0;

}  // namespace

Rgb magnitude_colour(float magnitude) {
    const float green = std::clamp(static_cast<float>((8.0 - magnitude) / 5.0), 0.0f, 1.0f);
    return Rgb{1.0f, green, 0.0f};
}

int depth_class(float depth_km, const std::vector<double>& bounds) {
    if (std::isnan(depth_km)) return -1;
    int k = 0;
    while (k < static_cast<int>(bounds.size()) && depth_km >= bounds[static_cast<size_t>(k)]) ++k;
    return k;
}

Rgb depth_class_colour(int k, int count) {
    if (k < 0) return kUnknownDepthColour;
    // From viridis' yellow end (shallow) to 0.25 (deep): its darkest quarter
    // would be lost on the black background.
    if (count <= 1) return viridis(1.0);
    return viridis(1.0 - 0.75 * k / (count - 1));
}

Rgb aged_colour(float magnitude, double newness) {
    const float scale = static_cast<float>(0.25 + 0.75 * std::clamp(newness, 0.0, 1.0));
    const Rgb c = magnitude_colour(magnitude);
    return Rgb{c.r * scale, c.g * scale, c.b * scale};
}

double mark_pixels_per_magnitude(int frame_height) {
    return 0.025 * kViewerPixelsPerUnit * frame_height / kViewerWindow;
}

double mark_half_pixels(float magnitude, int frame_height) {
    return std::max(kLeastMarkHalfPixels, static_cast<double>(magnitude) * mark_pixels_per_magnitude(frame_height));
}

double entry_day_measure(const QuakeRecord& quake) {
    return day_measure(quake.date.year, quake.date.month, quake.date.day, quake.time.hour, quake.time.minute,
                       quake.time.second);
}

double key_cap_height(int frame_width, int frame_height) {
    // 16 pixels at 1080 lines, at least 11 (the stroke font's letters lose
    // their shapes below), but no more than a narrow frame's width allows.
    const double by_height = std::max(11.0, frame_height * 16.0 / 1080.0);
    return std::max(5.0, std::min(by_height, frame_width / 40.0));
}

bool parse_depth_classes(const std::string& text, std::vector<double>* bounds, std::string* error) {
    bounds->clear();
    std::stringstream parts(text);
    std::string part;
    while (std::getline(parts, part, ',')) {
        double value = 0.0;
        const auto [end, problem] = std::from_chars(part.data(), part.data() + part.size(), value);
        if (part.empty() || problem != std::errc() || end != part.data() + part.size() || !(value > 0.0) ||
            value > 7000.0 || (!bounds->empty() && value <= bounds->back())) {
            *error = "must be depths in km above 0 and at most 7000, ascending, apart by commas (for example "
                     "70,300), not '" + text + "'";
            return false;
        }
        bounds->push_back(value);
    }
    if (bounds->empty() || text.back() == ',') {
        *error = "must be depths in km above 0 and at most 7000, ascending, apart by commas (for example 70,300), "
                 "not '" + text + "'";
        return false;
    }
    return true;
}

BandLayout lay_out_band(const std::vector<KeyBox>& boxes, int frame_width, double cap_height) {
    const double margin = cap_height;
    const double gap = 2.0 * cap_height;
    // Rows, top to bottom, each as its boxes' indices.
    std::vector<std::vector<size_t>> rows(1);
    double x = margin;
    for (size_t i = 0; i < boxes.size(); ++i) {
        if (!rows.back().empty() && x + boxes[i].width > frame_width - margin) {
            rows.emplace_back();
            x = margin;
        }
        rows.back().push_back(i);
        x += boxes[i].width + gap;
    }
    std::vector<double> row_heights;
    double height = margin;
    for (const std::vector<size_t>& row : rows) {
        double h = 0.0;
        for (size_t i : row) h = std::max(h, boxes[i].height);
        row_heights.push_back(h);
        height += h + cap_height * 0.8;
    }
    height += margin - cap_height * 0.8;
    BandLayout layout;
    layout.height = std::ceil(height);
    layout.placed.resize(boxes.size());
    double top = layout.height - margin;
    for (size_t r = 0; r < rows.size(); ++r) {
        double left = margin;
        for (size_t i : rows[r]) {
            // Each box centred on its row's middle line.
            layout.placed[i] = KeyBox{left, top - row_heights[r] / 2.0 - boxes[i].height / 2.0};
            left += boxes[i].width + gap;
        }
        top -= row_heights[r] + cap_height * 0.8;
    }
    return layout;
}

WorldWindow frame_outline(double min_x, double min_y, double max_x, double max_y, int map_width, int map_height,
                          double margin) {
    double width = std::max(max_x - min_x, 1e-6);
    double height = std::max(max_y - min_y, 1e-6);
    const double aspect = static_cast<double>(map_width) / std::max(map_height, 1);
    // The outline takes the middle (1 - 2 * margin) of the limiting side.
    width /= 1.0 - 2.0 * margin;
    height /= 1.0 - 2.0 * margin;
    if (width / height > aspect)
        height = width / aspect;
    else
        width = height * aspect;
    const double cx = (min_x + max_x) / 2.0;
    const double cy = (min_y + max_y) / 2.0;
    return WorldWindow{cx - width / 2.0, cx + width / 2.0, cy - height / 2.0, cy + height / 2.0};
}

std::vector<std::vector<std::pair<double, double>>> dashes(const std::vector<std::pair<double, double>>& points,
                                                           double length) {
    std::vector<std::vector<std::pair<double, double>>> pieces;
    if (points.empty() || !(length > 0.0)) return pieces;
    bool drawn = true;
    double left = length;  // of the present dash or gap
    pieces.push_back({points.front()});
    for (size_t i = 1; i < points.size(); ++i) {
        auto [x, y] = points[i - 1];
        const auto [bx, by] = points[i];
        double step = std::hypot(bx - x, by - y);
        while (step >= left) {
            // The dash or gap ends inside this piece of the line.
            const double t = left / step;
            x += (bx - x) * t;
            y += (by - y) * t;
            step -= left;
            if (drawn) pieces.back().emplace_back(x, y);
            else pieces.push_back({{x, y}});
            drawn = !drawn;
            left = length;
        }
        left -= step;
        if (drawn) pieces.back().emplace_back(bx, by);
    }
    if (drawn && pieces.back().size() < 2) pieces.pop_back();  // a dash begun at the very end
    return pieces;
}

std::vector<size_t> coast_vertices_drawn(const std::vector<float>& xy, const ViewTransform& view, double least) {
    std::vector<size_t> kept;
    const size_t points = xy.size() / 2;
    double last_x = 0.0;
    double last_y = 0.0;
    for (size_t i = 0; i < points; ++i) {
        const double x = (static_cast<double>(xy[2 * i]) - view.centre_x) * view.zoom + view.offset_x;
        const double y = (static_cast<double>(xy[2 * i + 1]) - view.centre_y) * view.zoom + view.offset_y;
        const bool ends = i == 0 || i + 1 == points;
        if (!ends && std::fabs(x - last_x) < least && std::fabs(y - last_y) < least) continue;
        kept.push_back(i);
        last_x = x;
        last_y = y;
    }
    return kept;
}

double day_measure(int year, int month, int day, int hour, int minute, int second) {
    static constexpr int kBefore[13] = {0, 0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    const int m = std::clamp(month, 1, 12);
    return 365.0 * year + kBefore[m] + day + (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
}
