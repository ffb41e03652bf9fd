// The recorder's command line, read with CLI11. Each option is bound to its
// typed field in RecordOptions; a validator first judges the text and says
// what is wrong, so every mistake gets a message that names its option.
#include "record/record_options.h"

#include <sys/stat.h>

#include <CLI/CLI.hpp>
#include <charconv>
#include <cmath>
#include <date/date.h>
#include <functional>
#include <map>
#include <sstream>
#include <type_traits>

#include "tool/selection/selection_options.h"
#include "tool/text_basics.h"
#include "version.h"

namespace {

constexpr char kProgram[] = "sismap-record";
constexpr double kMinZoom = 0.001;  // the viewer's zoom-out stops above it
constexpr double kMaxZoom = 1000.0;
constexpr double kMaxPan = 1.0e6;   // world units; far beyond any outline
constexpr int kMaxEvery = 1000000;
constexpr int kMaxFps = 50;         // GIF delays are whole hundredths; browsers slow anything under 2
constexpr int kMinSide = 64;
constexpr int kMaxWidth = 3840;
constexpr int kMaxHeight = 2160;
constexpr int64_t kMaxDurationSeconds = int64_t{100000} * 86400;  // some 270 years

// The whole of `text` as a number of type T by the standard library's
// from_chars: no blanks, no hexadecimal, no "inf" or "nan" through.
template <typename T>
bool whole_number_text(const std::string& text, T* value) {
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+' && last - first > 1 && first[1] != '-') ++first;
    T read{};
    const auto [end, problem] = std::from_chars(first, last, read);
    if (problem != std::errc() || end != last || first == last) return false;
    if constexpr (std::is_floating_point_v<T>) {
        if (!std::isfinite(read)) return false;
    }
    *value = read;
    return true;
}

std::string quoted(const std::string& text) { return "'" + text + "'"; }

bool is_directory(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// A validator that only judges the text: `judge` answers an empty text for
// a value it accepts, or else what is wrong. CLI11 then converts the
// accepted text into the option's typed field.
CLI::Validator judged_by(std::function<std::string(const std::string&)> judge) {
    return CLI::Validator([judge](std::string& value) { return judge(value); }, "");
}

std::string judge_min_magnitude(const std::string& text) {
    int m = -1;
    if (!whole_number_text(text, &m) || !(m == 0 || (m >= 3 && m <= 7)))
        return "must be 0 or a whole number from 3 to 7 (the viewer's threshold keys), not " + quoted(text);
    return "";
}

std::string judge_zoom(const std::string& text) {
    double z = 0.0;
    if (!whole_number_text(text, &z) || !(z > kMinZoom) || z > kMaxZoom)
        return "must be a number above 0.001 and at most 1000 (1 is the start-up view), not " + quoted(text);
    return "";
}

// DX,DY: two numbers in world units.
bool read_pan(const std::string& text, double* x, double* y) {
    const size_t comma = text.find(',');
    return comma != std::string::npos && whole_number_text(text.substr(0, comma), x) &&
           whole_number_text(text.substr(comma + 1), y) && std::fabs(*x) <= kMaxPan && std::fabs(*y) <= kMaxPan;
}

std::string judge_pan(const std::string& text) {
    double x = 0.0;
    double y = 0.0;
    if (!read_pan(text, &x, &y))
        return "must be two numbers DX,DY in world units (for example 0.5,-1), not " + quoted(text);
    return "";
}

// A whole number from 1 to `max`.
CLI::Validator count_range(int max) {
    return judged_by([max](const std::string& text) -> std::string {
        int n = 0;
        if (!whole_number_text(text, &n) || n < 1 || n > max)
            return "must be a whole number from 1 to " + std::to_string(max) + ", not " + quoted(text);
        return "";
    });
}

// YYYY-MM-DD or YYYY/MM/DD, the form the legend shows, a real day of the
// Gregorian calendar (the date library judges the day).
bool read_day(const std::string& text, CalendarDate* day) {
    const size_t first = text.find_first_of("-/");
    if (first == std::string::npos) return false;
    const size_t second = text.find(text[first], first + 1);
    if (second == std::string::npos) return false;
    const std::string parts[3] = {text.substr(0, first), text.substr(first + 1, second - first - 1),
                                  text.substr(second + 1)};
    int numbers[3] = {0, 0, 0};
    for (int i = 0; i < 3; ++i) {
        // Digits only: no sign, and no second separator inside a part.
        if (parts[i].empty() || !is_digit(parts[i][0]) || !whole_number_text(parts[i], &numbers[i])) return false;
    }
    const date::year_month_day ymd{date::year{numbers[0]}, date::month{static_cast<unsigned>(numbers[1])},
                                   date::day{static_cast<unsigned>(numbers[2])}};
    if (numbers[0] > 9999 || numbers[1] > 12 || numbers[2] > 31 || !ymd.ok()) return false;
    day->year = numbers[0];
    day->month = numbers[1];
    day->day = numbers[2];
    day->format_text();
    return true;
}

std::string judge_day(const std::string& text) {
    CalendarDate day;
    if (!read_day(text, &day)) return "must be a date written YYYY-MM-DD or YYYY/MM/DD, not " + quoted(text);
    return "";
}

// The units a duration may carry, in seconds.
const std::map<std::string, int64_t> kDurationUnits = {{"s", 1}, {"m", 60}, {"h", 3600}, {"d", 86400}};

// A positive whole number with its unit: s, m (minutes), h or d, at most
// kMaxDurationSeconds. CLI::AsNumberWithUnit turns the accepted text into
// seconds.
std::string judge_duration(const std::string& text) {
    const std::string problem =
        "must be a positive whole number with a unit s, m, h or d (for example 90m, 6h, 1d), not " + quoted(text);
    if (text.size() < 2) return problem;
    const auto unit = kDurationUnits.find(text.substr(text.size() - 1));
    if (unit == kDurationUnits.end()) return problem;
    const std::string digits = text.substr(0, text.size() - 1);
    int64_t count = 0;
    if (!is_digit(digits[0]) || !whole_number_text(digits, &count) || count < 1 ||
        count > kMaxDurationSeconds / unit->second)
        return problem;
    return "";
}

// WxH, each side a whole number within the frame sizes the recorder draws.
bool read_size(const std::string& text, int* width, int* height) {
    const size_t x = text.find('x');
    return x != std::string::npos && !text.empty() && is_digit(text[0]) && x + 1 < text.size() &&
           is_digit(text[x + 1]) && whole_number_text(text.substr(0, x), width) &&
           whole_number_text(text.substr(x + 1), height) && *width >= kMinSide && *width <= kMaxWidth &&
           *height >= kMinSide && *height <= kMaxHeight;
}

std::string judge_size(const std::string& text) {
    int w = 0;
    int h = 0;
    if (!read_size(text, &w, &h))
        return "must be WIDTHxHEIGHT in pixels, from 64x64 to 3840x2160 (for example 1280x720), not " + quoted(text);
    return "";
}

std::string judge_depth_classes(const std::string& text) {
    std::vector<double> bounds;
    std::string problem;
    return parse_depth_classes(text, &bounds, &problem) ? "" : problem;
}

// The judged duration in seconds, for the option's int64_t field. CLI11
// runs the last transform given first, so the judge is given after it.
CLI::AsNumberWithUnit in_seconds() {
    return CLI::AsNumberWithUnit(kDurationUnits, static_cast<CLI::AsNumberWithUnit::Options>(
                                                     CLI::AsNumberWithUnit::CASE_SENSITIVE |
                                                     CLI::AsNumberWithUnit::UNIT_REQUIRED));
}

std::string usage_text(const CLI::App& app) {
    std::ostringstream text;
    text << app.help();
    text << "\nOUTPUT decides what is written:\n"
            "  NAME.gif      an animated GIF that loops forever\n"
            "  NAME.mp4      an H.264 video (yuv420p, starts playing before it is fully loaded)\n"
            "  NAME.png      one picture: the start-up view of the whole catalogue\n"
            "  FOLDER/       every frame as FOLDER/frame-00000.png, frame-00001.png, ...\n"
            "                (also when OUTPUT names an existing directory). The folder is\n"
            "                made when missing (its parent must exist). A folder that\n"
            "                already holds frame-*.png is refused unless --overwrite is\n"
            "                given, which removes those frames first. Names have as many\n"
            "                digits as the last frame's number, at least five. On failure\n"
            "                or interrupt the frames written so far are removed.\n"
            "  NAME.html     one web page that plays the frames in any browser, with\n"
            "                the viewer's keys, buttons and a slider; nothing else needed;\n"
            "                map mode and --section are drawn as in the other outputs\n"
            "\nFrame 0 is the window collapsed to the catalogue's first 30 days, as when\n"
            "playback starts; frame k is the view after k presses of 'g' in the viewer; the\n"
            "last frame is the step at which the window reaches the catalogue's end.\n"
            "\nWith --window or --step the frames follow real time instead (UTC, with leap\n"
            "years and the catalogue's times of day): T0 is midnight UTC of the first\n"
            "event's day plus as many whole steps as fit before that event, and frame k\n"
            "shows the events at T0 + k*STEP <= t < T0 + k*STEP + WINDOW, until a window\n"
            "ends after the last event. The other option defaults to --window 30d or\n"
            "--step 1d; a window shorter than the step leaves the time between windows\n"
            "out. DURATION is a whole number and a unit: s, m, h or d.\n"
            "\nA recording holds at most 2,000,000 frames; longer ones are refused. Before\n"
            "one of more than 100,000 frames starts, the frame count and an estimate of\n"
            "its time are printed.\n"
            "\nMap mode (any of --fit, --coast, --size, --colour): the camera looks straight\n"
            "down on the outline's bounds with a 5% margin, in the frame's aspect; marks\n"
            "are sized in pixels (magnitude M as in the viewer's start-up view, scaled by\n"
            "the frame's height / 650); the threshold, the dates, a size key and the\n"
            "colour key are in a band along the bottom. --coast draws real coastlines or\n"
            "borders in place of the whole-degree outline, which still decides what the\n"
            "frame shows. --colour depth splits at --depth-classes (default 70,300 km),\n"
            "from the catalogue's eighth column (grey without one); --colour age dims\n"
            "each mark from full at the window's end to a quarter at its start. Without\n"
            "these options every frame is the viewer's, pixel for pixel.\n"
            "\n--section LAT1,LON1,LAT2,LON2 (map mode) adds a depth section below the map:\n"
            "the events at most --width km from the great circle from A to A', between\n"
            "A and A', drawn by distance from A against depth, as the map draws them;\n"
            "a .png output is the section of the whole catalogue. --depth MIN,MAX\n"
            "draws only events from MIN to MAX km deep, in any mode.\n"
            "\nExit status: 0 done, 1 an input could not be read or the output not written,\n"
            "2 the command line is wrong.\n"
            "\nExamples:\n"
            "  sismap-record --every 2 samples/california.txt samples/california_quakes.txt out.gif\n"
            "  sismap-record --window 1d --step 1h --fit region.txt week.txt week.mp4\n"
            "  sismap-record --window 6h --step 10m --size 1280x720 --colour depth \\\n"
            "      --coast japan-coast.txt japan.txt japan.txt japan.mp4\n"
            "  sismap-record --size 1280x720 --colour depth --section 38,144,40,136 \\\n"
            "      --coast japan-coast.txt japan.txt japan.txt slab.png\n";
    return text.str();
}

ParseResult command_line_error(const std::string& message) {
    ParseResult result;
    result.exit_code = kExitCommandLine;
    result.text_is_error = true;
    result.text = std::string(kProgram) + ": " + message + "\nRun '" + kProgram + " --help' for usage.\n";
    return result;
}

}  // namespace

bool output_kind_of(const std::string& path, bool directory, OutputKind* kind, std::string* error) {
    if (path.empty()) {
        *error = "OUTPUT is empty";
        return false;
    }
    if (path.back() == '/' || directory) {
        *kind = OutputKind::PngFolder;
    } else if (has_extension(path, ".gif")) {
        *kind = OutputKind::Gif;
    } else if (has_extension(path, ".mp4")) {
        *kind = OutputKind::Mp4;
    } else if (has_extension(path, ".png")) {
        *kind = OutputKind::Still;
    } else if (has_extension(path, ".html")) {
        *kind = OutputKind::Html;
    } else {
        *error = "cannot tell what to write to " + quoted(path) +
                 ": OUTPUT must end in .gif, .mp4, .png, .html or '/' (a folder for PNG frames)";
        return false;
    }
    return true;
}

ParseResult parse_record_options(int argc, const char* const* argv) {
    CLI::App app{"Records the playback of the sismap viewer as an animated GIF, an MP4 video,\n"
                 "a PNG still, a folder of PNG frames or a web page that plays it, drawn\n"
                 "exactly as the viewer's window draws it. Needs no display: it draws on a private virtual X server (Xvfb).",
                 kProgram};
    app.get_formatter()->column_width(24);

    ParseResult result;
    RecordOptions& o = result.options;
    app.add_option("LANDSCAPE", o.landscape_path, "the viewer's outline file")->required()->option_text(" ");
    app.add_option("QUAKES", o.quake_path, "the viewer's earthquake catalogue")->required()->option_text(" ");
    app.add_option("OUTPUT", o.output_path, "what to write: see below")->required()->option_text(" ");
    app.add_option("--min-mag", o.min_magnitude, "draw only magnitudes M and above: 0 or 3 to 7 (default 0)")
        ->option_text("M")
        ->check(judged_by(judge_min_magnitude));
    CLI::Option* zoom = app.add_option("--zoom", o.zoom, "zoom about the outline's centre (default 1)")
                            ->option_text("Z")
                            ->check(judged_by(judge_zoom));
    app.add_option_function<std::string>(
           "--pan",
           [&o](const std::string& text) {
               double x = 0.0;
               double y = 0.0;
               read_pan(text, &x, &y);  // judged already
               o.pan_x = static_cast<float>(x);
               o.pan_y = static_cast<float>(y);
           },
           "world units added to the start-up pan")
        ->option_text("DX,DY")
        ->check(judged_by(judge_pan));
    app.add_flag("--fit", o.fit, "map mode: frame the outline, keys in a band below it (see below)");
    CLI::Option* coast =
        app.add_option("--coast", o.coasts, "map mode: draw this boundary (GeoJSON, .shp, GMT text); repeatable")
            ->option_text("FILE")
            ->expected(1)
            ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    CLI::Option* size = app.add_option_function<std::string>(
                               "--size", [&o](const std::string& text) { read_size(text, &o.width, &o.height); },
                               "map mode: frame size in pixels, 64x64 to 3840x2160 (default 650x650)")
                            ->option_text("WxH")
                            ->check(judged_by(judge_size));
    const std::map<std::string, Colouring> colourings = {
        {"magnitude", Colouring::Magnitude}, {"depth", Colouring::Depth}, {"age", Colouring::Age}};
    CLI::Option* colour = app.add_option("--colour", o.colouring, "map mode: colour marks by magnitude (default), depth or age")
                              ->option_text("magnitude|depth|age")
                              ->transform(CLI::CheckedTransformer(colourings))
                              ->transform(judged_by([](const std::string& text) -> std::string {
                                  if (text == "magnitude" || text == "depth" || text == "age") return "";
                                  return "must be magnitude, depth or age, not " + quoted(text);
                              }));
    app.add_option_function<std::string>(
           "--depth-classes",
           [&o](const std::string& text) {
               std::string unused_problem;
               parse_depth_classes(text, &o.depth_bounds, &unused_problem);  // judged already
           },
           "with --colour depth: class bounds in km (default 70,300)")
        ->option_text("KM,...")
        ->check(judged_by(judge_depth_classes));
    app.add_option_function<std::string>(
           "--depth",
           [&o](const std::string& text) {
               std::string unused_problem;
               o.depth = parse_depth_range(text, &unused_problem);  // judged already
           },
           "draw only events from MIN to MAX km deep; events without a depth are left out")
        ->option_text("MIN,MAX")
        ->check(judged_by(check_depth_option));
    CLI::Option* section =
        app.add_option_function<std::string>(
               "--section",
               [&o](const std::string& text) {
                   std::string unused_problem;
                   const auto points = parse_section_points(text, &unused_problem);  // judged already
                   o.section_a = points->first;
                   o.section_b = points->second;
               },
               "map mode: a depth section below the map, along the great circle from A to A'")
            ->option_text("LAT1,LON1,LAT2,LON2")
            ->check(judged_by([](const std::string& text) {
                std::string problem;
                const auto points = parse_section_points(text, &problem);
                if (points && !SectionProfile::between(points->first, points->second, &problem)) return problem;
                return problem;
            }));
    CLI::Option* width = app.add_option("--width", o.section_width_km,
                                        "with --section: events at most KM from the line are drawn (default 50)")
                             ->option_text("KM")
                             ->check(judged_by([](const std::string& text) -> std::string {
                                 const std::optional<double> km = parse_finite_number(text);
                                 if (km && *km > 0.0 && *km <= 5000.0) return "";
                                 return "must be a distance in km above 0 and at most 5000, not " + quoted(text);
                             }));
    CLI::Option* depth_max =
        app.add_option_function<double>(
               "--depth-max", [&o](double km) { o.section_depth_max = km; },
               "with --section: the section's deepest km (default: the swath's deepest event, up to a multiple of 50)")
            ->option_text("KM")
            ->check(judged_by([](const std::string& text) -> std::string {
                const std::optional<double> km = parse_finite_number(text);
                if (km && *km > 0.0 && *km <= 7000.0) return "";
                return "must be a depth in km above 0 and at most 7000, not " + quoted(text);
            }));
    width->needs(section);
    depth_max->needs(section);
    CLI::Option* window = app.add_option("--window", o.window_seconds,
                                         "real time: each frame shows this much time (default 30d)")
                              ->option_text("DURATION")
                              ->transform(in_seconds())
                              ->transform(judged_by(judge_duration));  // runs first
    CLI::Option* step = app.add_option("--step", o.step_seconds, "real time: frames are this far apart (default 1d)")
                            ->option_text("DURATION")
                            ->transform(in_seconds())
                            ->transform(judged_by(judge_duration));  // runs first
    app.add_option("--every", o.every, "keep every N-th frame; the first and last are always kept")
        ->option_text("N")
        ->check(count_range(kMaxEvery));
    CLI::Option* from = app.add_option_function<std::string>(
                               "--from", [&o](const std::string& text) { read_day(text, &o.from); },
                               "skip frames until the window's first date reaches DATE (YYYY-MM-DD)")
                            ->option_text("DATE")
                            ->check(judged_by(judge_day));
    app.add_option("--fps", o.fps, "frames per second of the GIF or MP4, 1 to 50 (default 20)")
        ->option_text("N")
        ->check(count_range(kMaxFps));
    app.add_flag("--overwrite", o.overwrite,
                 "a frames FOLDER/ that holds frame-*.png is refused; with this, those frames are removed first");
    app.add_flag("-q,--quiet", o.quiet, "nothing on the terminal unless something fails");
    app.set_version_flag("--version", std::string(kProgram) + " " + kVersion);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        result = ParseResult{};
        result.text = usage_text(app);
        return result;
    } catch (const CLI::CallForVersion& version) {
        result = ParseResult{};
        result.text = std::string(version.what()) + "\n";
        return result;
    } catch (const CLI::RequiredError&) {
        return command_line_error("needs three arguments: LANDSCAPE QUAKES OUTPUT");
    } catch (const CLI::ValidationError& problem) {
        // CLI11 writes "--zoom: must be ..."; the recorder's messages read
        // "--zoom must be ...".
        std::string text = problem.what();
        const size_t colon = text.find(": ");
        if (text.rfind("--", 0) == 0 && colon != std::string::npos) text.erase(colon, 1);
        return command_line_error(text);
    } catch (const CLI::ParseError& problem) {
        return command_line_error(problem.what());
    }

    o.zoom_given = zoom->count() > 0;
    o.from_given = from->count() > 0;
    o.real_time = window->count() > 0 || step->count() > 0;
    o.section = section->count() > 0;
    o.map_mode = o.fit || coast->count() > 0 || size->count() > 0 || colour->count() > 0 || o.section;
    std::string error;
    if (!output_kind_of(o.output_path, is_directory(o.output_path), &o.kind, &error))
        return command_line_error(error);
    // H.264 in yuv420p halves the colour planes: both sides must be even.
    if (o.kind == OutputKind::Mp4 && (o.width % 2 != 0 || o.height % 2 != 0))
        return command_line_error("--size must have even sides for an .mp4 output, not " +
                                  std::to_string(o.width) + "x" + std::to_string(o.height));
    result.run = true;
    return result;
}
