// The page is the template of record/html with its styles, its script and
// one JSON block of data put in; the three files are compiled into the
// program (cmake/EmbedFiles.cmake). Columns of numbers travel as base64.
#include "record/html_page.h"

extern "C" {
#include <libavutil/base64.h>
}

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <nlohmann/json.hpp>
#include <string_view>

#include "app/viewer_state.h"
#include "record/png_writer.h"
#include "record/recording.h"
#include "timeline/time_window.h"
#include "view/scene.h"
#include "tool/output_file.h"

namespace page_assets {
extern const unsigned char page_template[];
extern const std::size_t page_template_size;
extern const unsigned char player_script[];
extern const std::size_t player_script_size;
extern const unsigned char page_logic[];
extern const std::size_t page_logic_size;
extern const unsigned char player_style[];
extern const std::size_t player_style_size;
}  // namespace page_assets

namespace {

std::string_view asset(const unsigned char* bytes, std::size_t size) {
    return std::string_view(reinterpret_cast<const char*>(bytes), size);
}

void put_u32(std::string* out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out->push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

uint32_t float_bits(float value) {
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// Floor division of time values, which may lie before 1970.
int64_t floor_div(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0); }

// Text for an HTML element's content: the few characters that could start
// markup become entities.
std::string html_text(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out.push_back(c);
        }
    }
    return out;
}

// JSON inside a <script> element: a "<" only occurs inside strings, where
// \u003c means the same and can never close the element.
std::string script_safe_json(const nlohmann::json& data) {
    const std::string text = data.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '<')
            out += "\\u003c";
        else
            out.push_back(c);
    }
    return out;
}

// `text` with each "{{name}}" replaced by its value, in one pass, so that
// nothing put in is searched again.
std::string fill_template(std::string_view text, const std::vector<std::pair<std::string, std::string_view>>& values) {
    std::string out;
    size_t at = 0;
    for (;;) {
        const size_t open = text.find("{{", at);
        if (open == std::string_view::npos) break;
        const size_t close = text.find("}}", open + 2);
        if (close == std::string_view::npos) break;
        const std::string_view name = text.substr(open + 2, close - open - 2);
        const auto value = std::find_if(values.begin(), values.end(), [&](const auto& v) { return v.first == name; });
        out.append(text.substr(at, open - at));
        if (value != values.end())
            out.append(value->second);
        else
            out.append(text.substr(open, close + 2 - open));
        at = close + 2;
    }
    out.append(text.substr(at));
    return out;
}

// Day measures in whole seconds: the ages' column and windows travel as
// integers that pack small.
int64_t day_seconds(double days) { return std::llround(days * 86400.0); }

nlohmann::json colour_json(const Rgb& c) { return nlohmann::json::array({c.r, c.g, c.b}); }

// Coasts of more points than this are shipped as the recording's first view
// draws them (thinned to half a pixel), which the page then draws exactly
// as the recorder does; smaller ones go whole, and stay smooth however far
// the page is zoomed in.
constexpr size_t kMostCoastPoints = 250000;

nlohmann::json coasts_json(const std::vector<CoastLine>& coasts, double least) {
    using nlohmann::json;
    const bool thin = coast_point_count(coasts) > kMostCoastPoints;
    const ViewTransform view = current_view();
    std::vector<float> xy;
    json counts = json::array();
    json closed = json::array();
    for (const CoastLine& line : coasts) {
        const size_t before = xy.size();
        if (thin) {
            for (const size_t i : coast_vertices_drawn(line.xy, view, least)) {
                xy.push_back(line.xy[2 * i]);
                xy.push_back(line.xy[2 * i + 1]);
            }
        } else {
            xy.insert(xy.end(), line.xy.begin(), line.xy.begin() + static_cast<std::ptrdiff_t>(line.xy.size() / 2 * 2));
        }
        counts.push_back((xy.size() - before) / 2);
        closed.push_back(line.closed);
    }
    return json{{"counts", counts}, {"closed", closed}, {"xy", base64_text(pack_floats(xy))}};
}

nlohmann::json map_json(const PagePlayback& page, size_t n) {
    using nlohmann::json;
    const MapPageParts& m = *page.map;
    const MapSetup& setup = *page.map_setup;
    json glyph_segments = json::array();
    for (const std::vector<float>& segments : m.glyphs.segments) glyph_segments.push_back(segments);
    // The parts of a map-mode frame below the map never change: the page
    // shows the recorder's own pixels of them, a PNG it decodes itself.
    std::string lower_png;
    if (m.lower.height > 0 && !png_bytes(m.lower, &lower_png)) throw std::bad_alloc();
    json map = {
        {"bottom", m.map_bottom},
        {"lower", base64_text(lower_png)},
        {"world", {m.world.left, m.world.right, m.world.bottom, m.world.top}},
        {"coastLeast", m.coast_least},
        {"markPixels", mark_pixels_per_magnitude(setup.height)},
        {"markLeast", kLeastMarkHalfPixels},
        {"text",
         {{"scale", m.text_scale},
          {"lineWidth", m.text_line_width},
          {"threshold", {m.threshold_x, m.threshold_y}},
          {"dates", {m.dates_x, m.dates_y}},
          {"advances", m.glyphs.advances},
          {"segments", glyph_segments}}},
    };
    if (!setup.coasts.empty()) map["coasts"] = coasts_json(setup.coasts, m.coast_least);
    switch (setup.colouring) {
        case Colouring::Magnitude: map["colouring"] = "magnitude"; break;
        case Colouring::Depth: {
            map["colouring"] = "depth";
            const int count = static_cast<int>(setup.depth_bounds.size()) + 1;
            json palette = json::array();
            palette.push_back(colour_json(kUnknownDepthColour));
            for (int k = 0; k < count; ++k) palette.push_back(colour_json(depth_class_colour(k, count)));
            map["palette"] = palette;
            // Each entry's class plus one, 0 for an unknown depth: two to a
            // byte (the first in the low half) when they fit in four bits.
            const int bits = count + 1 <= 16 ? 4 : 8;
            std::string classes(bits == 4 ? (n + 1) / 2 : n, '\0');
            for (size_t i = 0; i < n; ++i) {
                const float depth =
                    setup.depths != nullptr && i < setup.depths->size() ? (*setup.depths)[i] : std::nanf("");
                const auto value = static_cast<unsigned>(depth_class(depth, setup.depth_bounds) + 1);
                if (bits == 4)
                    classes[i / 2] = static_cast<char>(static_cast<unsigned char>(classes[i / 2]) | (value << (4 * (i % 2))));
                else
                    classes[i] = static_cast<char>(value);
            }
            map["classBits"] = bits;
            map["classes"] = base64_text(classes);
            break;
        }
        case Colouring::Age: {
            map["colouring"] = "age";
            std::vector<int64_t> seconds(n);
            for (size_t i = 0; i < n; ++i) seconds[i] = day_seconds(entry_day_measure(viewer.catalogue[i]));
            map["ages"] = base64_text(pack_deltas(seconds));
            std::vector<int64_t> windows;
            for (double days : page.window_days) windows.push_back(day_seconds(days));
            map["windows"] = base64_text(pack_deltas(windows));
            break;
        }
    }
    if (m.section) {
        // Only the entries the panel shows, which are usually few: their
        // positions in the catalogue and their pixels.
        const auto shown = static_cast<size_t>(
            std::lower_bound(m.panel_entries.begin(), m.panel_entries.end(), static_cast<int64_t>(n)) -
            m.panel_entries.begin());
        const std::vector<int64_t> entries(m.panel_entries.begin(), m.panel_entries.begin() + shown);
        const std::vector<int16_t> columns(m.panel_columns.begin(), m.panel_columns.begin() + shown);
        const std::vector<int16_t> rows(m.panel_rows.begin(), m.panel_rows.begin() + shown);
        map["section"] = {
            {"count", entries.size()},
            {"entries", base64_text(pack_deltas(entries))},
            {"profile", m.profile},
            {"edges", {m.edges[0], m.edges[1]}},
            {"lineWidth", m.profile_line_width},
            {"dash", m.edge_dash},
            {"colour", colour_json(m.profile_colour)},
            {"labelAway", m.label_away},
            {"cap", m.cap_height},
            {"rowsLow", m.panel_rows_low},
            {"columns", base64_text(pack_int16s(columns))},
            {"rows", base64_text(pack_int16s(rows))},
        };
    }
    return map;
}

}  // namespace

int64_t date_key(const CalendarDate& date) {
    return (static_cast<int64_t>(date.year) * 13 + date.month) * 32 + date.day;
}

FrameKeys frame_keys(const std::vector<int64_t>& preferred, const std::string& unit,
                     const std::vector<PageFrame>& frames) {
    FrameKeys keys;
    const int64_t n = static_cast<int64_t>(preferred.size());
    if (std::is_sorted(preferred.begin(), preferred.end())) {
        keys.unit = unit;
        keys.events = preferred;
        const int64_t past = n > 0 ? preferred.back() + 1 : 0;
        const auto key_at = [&](int64_t i) { return i < n ? preferred[static_cast<size_t>(i)] : past; };
        const auto found = [&](int64_t key) {
            return std::lower_bound(preferred.begin(), preferred.end(), key) - preferred.begin();
        };
        bool exact = true;
        for (const PageFrame& f : frames) {
            const int64_t low = key_at(f.first);
            const int64_t high = key_at(f.end);
            if (found(low) != f.first || found(high) != f.end) {
                exact = false;
                break;
            }
            keys.low.push_back(low);
            keys.high.push_back(high);
        }
        if (exact) return keys;
    }
    // Out of order, or a frame that splits a run of equal keys: positions.
    keys = FrameKeys{};
    keys.unit = "index";
    keys.events.resize(static_cast<size_t>(n));
    for (int64_t i = 0; i < n; ++i) keys.events[static_cast<size_t>(i)] = i;
    for (const PageFrame& f : frames) {
        keys.low.push_back(f.first);
        keys.high.push_back(f.end);
    }
    return keys;
}

std::string pack_deltas(const std::vector<int64_t>& values) {
    std::string out;
    out.reserve(values.size() * 2);
    int64_t previous = 0;
    for (int64_t v : values) {
        const uint64_t step = static_cast<uint64_t>(v) - static_cast<uint64_t>(previous);
        // Zigzag: 0, -1, 1, -2, ... become 0, 1, 2, 3, ...
        uint64_t z = (step << 1) ^ (static_cast<int64_t>(step) < 0 ? ~uint64_t{0} : 0);
        while (z >= 0x80) {
            out.push_back(static_cast<char>((z & 0x7F) | 0x80));
            z >>= 7;
        }
        out.push_back(static_cast<char>(z));
        previous = v;
    }
    return out;
}

std::string pack_magnitudes(const std::vector<float>& magnitudes, int* scale) {
    const auto fits = [&](int s, long limit) {
        for (float m : magnitudes) {
            const double q = std::nearbyint(static_cast<double>(m) * s);
            if (!(q >= 0 && q <= limit) || static_cast<float>(q / s) != m) return false;
        }
        return true;
    };
    std::string out;
    if (fits(10, 255)) {
        *scale = 10;
        for (float m : magnitudes) out.push_back(static_cast<char>(std::nearbyint(static_cast<double>(m) * 10)));
    } else if (fits(100, 65535)) {
        *scale = 100;
        for (float m : magnitudes) {
            const auto q = static_cast<uint32_t>(std::nearbyint(static_cast<double>(m) * 100));
            out.push_back(static_cast<char>(q & 0xFF));
            out.push_back(static_cast<char>(q >> 8));
        }
    } else {
        *scale = 0;
        out = pack_floats(magnitudes);
    }
    return out;
}

std::string pack_floats(const std::vector<float>& values) {
    std::string out;
    out.reserve(values.size() * 4);
    for (float v : values) put_u32(&out, float_bits(v));
    return out;
}

std::string pack_int16s(const std::vector<int16_t>& values) {
    std::string out;
    out.reserve(values.size() * 2);
    for (int16_t v : values) {
        const auto u = static_cast<uint16_t>(v);
        out.push_back(static_cast<char>(u & 0xFF));
        out.push_back(static_cast<char>(u >> 8));
    }
    return out;
}

std::string base64_text(const std::string& bytes) {
    // In pieces whose size is a multiple of 3, so that no padding falls
    // between them and the library's int sizes hold.
    constexpr size_t kPiece = 3 * 1024 * 1024;
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::vector<char> buffer(AV_BASE64_SIZE(kPiece));
    for (size_t at = 0; at < bytes.size(); at += kPiece) {
        const size_t size = std::min(kPiece, bytes.size() - at);
        av_base64_encode(buffer.data(), static_cast<int>(buffer.size()),
                         reinterpret_cast<const uint8_t*>(bytes.data() + at), static_cast<int>(size));
        out.append(buffer.data());
    }
    return out;
}

void gather_page_playback(const FramePlan& plan, FrameSequence& sequence, const InstantKeys* instants,
                          PagePlayback* page) {
    const int64_t n = std::min<int64_t>(viewer.quake_count, static_cast<int64_t>(viewer.catalogue.size()));
    // The start-up view by the viewer's own reset, then back to frame 0 as
    // planning left it.
    window_reset();
    page->startup_legend = std::string(viewer.window_first_date.text()) + " - " + viewer.window_last_date.text();
    page->startup_end = std::clamp<int64_t>(viewer.last_index, 0, n);
    const bool ages = page->map_setup != nullptr && page->map_setup->colouring == Colouring::Age;
    const auto keep_window_days = [&] {
        double start = 0.0;
        double end = 0.0;
        sequence.window_days(&start, &end);
        page->window_days.push_back(start);
        page->window_days.push_back(end);
    };
    if (ages) keep_window_days();
    start_playback();

    for (int64_t k = plan.first; k <= plan.last; ++k) {
        if (!plan.keeps(k)) continue;
        sequence.go_to(k);
        PageFrame frame;
        // The range the scene draws: indices outside the catalogue are cut
        // as draw_scene cuts them.
        frame.end = std::clamp<int64_t>(viewer.last_index, 0, n);
        frame.first = std::clamp<int64_t>(viewer.first_index, 0, frame.end);
        const char* legend = sequence.legend();
        frame.legend = legend != nullptr ? std::string(legend) : sequence.dates();
        page->frames.push_back(std::move(frame));
        if (ages) keep_window_days();
    }

    page->preferred_keys.resize(static_cast<size_t>(n));
    if (instants != nullptr && instants->instants != nullptr && instants->grain > 0 &&
        static_cast<int64_t>(instants->instants->size()) == n) {
        const std::vector<int64_t>& at = *instants->instants;
        page->key_unit = "hundredths*" + std::to_string(instants->grain);
        for (int64_t i = 0; i < n; ++i)
            page->preferred_keys[static_cast<size_t>(i)] =
                floor_div(at[static_cast<size_t>(i)] - instants->origin, instants->grain);
    } else {
        page->key_unit = "date";
        for (int64_t i = 0; i < n; ++i)
            page->preferred_keys[static_cast<size_t>(i)] = date_key(viewer.catalogue[static_cast<size_t>(i)].date);
    }
}

std::string page_text(const PagePlayback& page) {
    const size_t n = page.preferred_keys.size();
    const FrameKeys keys = frame_keys(page.preferred_keys, page.key_unit, page.frames);
    std::vector<float> longitudes(n), latitudes(n), magnitudes(n);
    for (size_t i = 0; i < n; ++i) {
        longitudes[i] = viewer.catalogue[i].longitude;
        latitudes[i] = viewer.catalogue[i].latitude;
        magnitudes[i] = viewer.catalogue[i].magnitude;
    }
    int magnitude_scale = 0;
    const std::string packed_magnitudes = pack_magnitudes(magnitudes, &magnitude_scale);

    using nlohmann::json;
    const PlaneToFrame& c = page.view.camera;
    json outline = json::array();
    const size_t points = std::min<size_t>(static_cast<size_t>(std::max(viewer.point_count, 0)), viewer.points.size());
    for (size_t i = 0; i < points; ++i) {
        outline.push_back(viewer.points[i].x);
        outline.push_back(viewer.points[i].y);
    }
    json legends = json::array();
    for (const PageFrame& f : page.frames) legends.push_back(f.legend);

    json data = {
        {"width", page.view.width},
        {"height", page.view.height},
        {"camera", {c.scale_x, c.offset_x, c.scale_y, c.offset_y}},
        {"glyphAdvances", page.view.glyph_advances},
        {"fps", page.fps},
        {"view",
         {{"threshold", viewer.min_magnitude},
          {"zoom", viewer.zoom},
          {"zoomStep", viewer.zoom_step},
          {"panX", viewer.pan_x},
          {"panY", viewer.pan_y},
          {"panStepX", viewer.pan_step_x},
          {"panStepY", viewer.pan_step_y},
          {"centreX", viewer.centre_x},
          {"centreY", viewer.centre_y},
          {"minX", viewer.min_x},
          {"minY", viewer.min_y},
          {"maxX", viewer.max_x}}},
        {"outline", outline},
        {"startup", {{"end", page.startup_end}, {"legend", page.startup_legend}}},
        {"frames",
         {{"count", page.frames.size()},
          {"low", base64_text(pack_deltas(keys.low))},
          {"high", base64_text(pack_deltas(keys.high))},
          {"legends", legends}}},
        {"events",
         {{"count", n},
          {"keyUnit", keys.unit},
          {"keys", base64_text(pack_deltas(keys.events))},
          {"longitudes", base64_text(pack_floats(longitudes))},
          {"latitudes", base64_text(pack_floats(latitudes))},
          {"magnitudeScale", magnitude_scale},
          {"magnitudes", base64_text(packed_magnitudes)}}},
    };
    if (page.map != nullptr && page.map_setup != nullptr) data["map"] = map_json(page, n);
    const std::string data_text = script_safe_json(data);
    const std::string title = html_text(page.title);
    return fill_template(asset(page_assets::page_template, page_assets::page_template_size),
                         {{"title", title},
                          {"style", asset(page_assets::player_style, page_assets::player_style_size)},
                          {"logic", asset(page_assets::page_logic, page_assets::page_logic_size)},
                          {"script", asset(page_assets::player_script, page_assets::player_script_size)},
                          {"data", data_text}});
}

int record_html_page(const RecordOptions& options, const FramePlan& plan, FrameSequence& sequence,
                     const InstantKeys* instants, const PageView& view, const MapPageParts* map,
                     const MapSetup* setup) {
    PagePlayback page;
    page.view = view;
    if (map != nullptr && setup != nullptr) {
        page.map = map;
        page.map_setup = setup;
    }
    page.fps = options.fps;
    const size_t slash = options.quake_path.rfind('/');
    page.title = "sismap: " + (slash == std::string::npos ? options.quake_path : options.quake_path.substr(slash + 1));
    gather_page_playback(plan, sequence, instants, &page);
    std::string text;
    try {
        text = page_text(page);
    } catch (const std::bad_alloc&) {
        return report_failure("cannot write '" + options.output_path + "': out of memory making the page");
    }

    OutputFile out;
    std::string error;
    if (!out.open(options.output_path, &error)) return report_failure(error);
    out.write(text);
    if (!out.commit(&error)) return report_failure(error);
    if (!options.quiet) {
        std::fprintf(stderr, "sismap-record: %zu frame%s and %zu events in a page of %s, written to %s\n",
                     page.frames.size(), page.frames.size() == 1 ? "" : "s", page.preferred_keys.size(),
                     size_text(text.size()).c_str(), options.output_path.c_str());
    }
    return kExitDone;
}
