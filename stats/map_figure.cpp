// The map in degrees, its height to width as the degrees' lengths on the
// ground at its middle latitude.
#include "stats/map_figure.h"

#include <plplot.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <unordered_set>

namespace {

enum Colour : PLINT { kBlack = 1, kGrey = 4 };
constexpr double kRadians = 3.14159265358979323846 / 180.0;
// Dots closer than a pixel of the largest page are drawn once.
constexpr double kDotGrid = 1600.0;

}  // namespace

bool write_map_figure(const std::string& path, FigureFormat format, const MapFigureContent& c, std::string* error) {
    double south = 90.0, north = -90.0, west = 1e9, east = -1e9;
    for (const MapNode& node : c.nodes) {
        south = std::min(south, node.latitude - c.spacing / 2);
        north = std::max(north, node.latitude + c.spacing / 2);
        west = std::min(west, node.longitude - c.spacing / 2);
        east = std::max(east, node.longitude + c.spacing / 2);
    }
    for (size_t i = 0; i < c.latitudes.size(); ++i) {
        south = std::min<double>(south, c.latitudes[i]);
        north = std::max<double>(north, c.latitudes[i]);
        west = std::min<double>(west, c.longitudes[i]);
        east = std::max<double>(east, c.longitudes[i]);
    }
    for (const LandscapePoint& p : c.outline) {
        south = std::min<double>(south, p.y);
        north = std::max<double>(north, p.y);
        west = std::min<double>(west, p.x);
        east = std::max<double>(east, p.x);
    }
    const double pad = std::max(north - south, east - west) * 0.03;
    south -= pad, north += pad, west -= pad, east += pad;
    const double middle = std::clamp((south + north) / 2, -80.0, 80.0);
    const double aspect = (north - south) / ((east - west) * std::cos(middle * kRadians));

    double b_low = 1e9, b_high = -1e9;
    for (const MapNode& node : c.nodes)
        if (node.fit) {
            b_low = std::min(b_low, node.fit->b);
            b_high = std::max(b_high, node.fit->b);
        }
    const bool any = b_low <= b_high;
    if (any && b_high - b_low < 0.1) {
        b_low -= 0.05;
        b_high += 0.05;
    }

    return draw_figure(path, format, 1100, 900, error, [&] {
        plinit();
        plschr(0.0, 0.9);
        // Low b red, through yellow, to high b blue.
        const PLFLT at[3] = {0.0, 0.5, 1.0};
        const PLFLT red[3] = {0.80, 0.98, 0.17};
        const PLFLT green[3] = {0.10, 0.85, 0.35};
        const PLFLT blue[3] = {0.10, 0.30, 0.75};
        plscmap1n(256);
        plscmap1l(1, 3, at, red, green, blue, nullptr);
        pladv(0);
        plvpas(0.08, 0.80, 0.1, 0.9, aspect);
        plwind(west, east, south, north);
        for (const MapNode& node : c.nodes) {
            if (!node.fit) continue;
            const double h = c.spacing / 2;
            PLFLT x[4] = {node.longitude - h, node.longitude + h, node.longitude + h, node.longitude - h};
            PLFLT y[4] = {node.latitude - h, node.latitude - h, node.latitude + h, node.latitude + h};
            for (PLFLT& v : x) v = std::clamp(v, west, east);
            for (PLFLT& v : y) v = std::clamp(v, south, north);
            plcol1((node.fit->b - b_low) / (b_high - b_low));
            plfill(4, x, y);
        }
        // The events, once per spot of the page.
        std::vector<PLFLT> x, y;
        std::unordered_set<uint64_t> spots;
        for (size_t i = 0; i < c.latitudes.size(); ++i) {
            const auto col = static_cast<uint64_t>((c.longitudes[i] - west) / (east - west) * kDotGrid);
            const auto row = static_cast<uint64_t>((c.latitudes[i] - south) / (north - south) * kDotGrid);
            if (!spots.insert(row << 32 | col).second) continue;
            x.push_back(c.longitudes[i]);
            y.push_back(c.latitudes[i]);
        }
        plcol0(kBlack);
        plssym(0.0, 0.6);
        plpoin(static_cast<PLINT>(x.size()), x.data(), y.data(), 1);  // 1: a dot
        plssym(0.0, 1.0);
        if (!c.outline.empty()) {
            std::vector<PLFLT> ox, oy;
            for (const LandscapePoint& p : c.outline) {
                ox.push_back(p.x);
                oy.push_back(p.y);
            }
            ox.push_back(c.outline.front().x);
            oy.push_back(c.outline.front().y);
            plwidth(2.0);
            plline(static_cast<PLINT>(ox.size()), ox.data(), oy.data());
            plwidth(1.0);
        }
        plcol0(kBlack);
        plbox("bcnst", 0.0, 0, "bcnstv", 0.0, 0);
        char title[128];
        std::snprintf(title, sizeof title, "b-value on a grid of %g degrees (empty cells: too few events)", c.spacing);
        pllab("Longitude", "Latitude", any ? title : "b-value map: every node is empty");
        if (!any) return;
        PLFLT bar_width = 0.0, bar_height = 0.0;
        const PLINT label_options[1] = {PL_COLORBAR_LABEL_TOP};
        const char* labels[1] = {"b"};
        const char* axis_options[1] = {"bcvtm"};
        const PLFLT ticks[1] = {0.0};
        const PLINT subticks[1] = {0};
        // Shades of fine steps rather than a gradient: PLplot's cairo driver
        // never frees a gradient's pattern.
        constexpr int kShades = 64;
        const PLINT values_count[1] = {kShades + 1};
        PLFLT levels[kShades + 1];
        for (int i = 0; i <= kShades; ++i) levels[i] = b_low + (b_high - b_low) * i / kShades;
        const PLFLT* values[1] = {levels};
        plcolorbar(&bar_width, &bar_height, PL_COLORBAR_SHADE, PL_POSITION_RIGHT | PL_POSITION_OUTSIDE, 0.04, 0.0,
                   0.04, 0.8, 0, kBlack, 1, 0, 0.0, 0, 0.0, 1, label_options, labels, 1, axis_options, ticks, subticks,
                   values_count, values);
    });
}
