// The recorder's command line, read with CLI11. Each option's value goes
// through a validator that reads it into RecordOptions or says what is
// wrong, so every mistake gets a message that names its option.
#include "record/record_options.h"

#include <sys/stat.h>

#include <CLI/CLI.hpp>
#include <charconv>
#include <cmath>
#include <date/date.h>
#include <functional>
#include <sstream>
#include <type_traits>

#include "tool/text_basics.h"
#include "version.h"

namespace {

constexpr char kProgram[] = "sismap-record";
constexpr double kMinZoom = 0.001;  // the viewer's zoom-out stops above it
constexpr double kMaxZoom = 1000.0;
constexpr double kMaxPan = 1.0e6;   // world units; far beyond any outline
constexpr int kMaxEvery = 1000000;
constexpr int kMaxFps = 50;         // GIF delays are whole hundredths; browsers slow anything under 2
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

// A validator that hands the value to `read`, which answers an empty text
// when it took the value, or else what is wrong.
CLI::Validator reader(std::function<std::string(const std::string&)> read) {
    return CLI::Validator([read](std::string& value) { return read(value); }, "");
}

std::string read_min_magnitude(const std::string& text, int* value) {
    int m = -1;
    if (!whole_number_text(text, &m) || !(m == 0 || (m >= 3 && m <= 7)))
        return "must be 0 or a whole number from 3 to 7 (the viewer's threshold keys), not " + quoted(text);
    *value = m;
    return "";
}

std::string read_zoom(const std::string& text, float* value) {
    double z = 0.0;
    if (!whole_number_text(text, &z) || !(z > kMinZoom) || z > kMaxZoom)
        return "must be a number above 0.001 and at most 1000 (1 is the start-up view), not " + quoted(text);
    *value = static_cast<float>(z);
    return "";
}

std::string read_pan(const std::string& text, float* dx, float* dy) {
    const size_t comma = text.find(',');
    double x = 0.0;
    double y = 0.0;
    if (comma == std::string::npos || !whole_number_text(text.substr(0, comma), &x) ||
        !whole_number_text(text.substr(comma + 1), &y) || std::fabs(x) > kMaxPan || std::fabs(y) > kMaxPan)
        return "must be two numbers DX,DY in world units (for example 0.5,-1), not " + quoted(text);
    *dx = static_cast<float>(x);
    *dy = static_cast<float>(y);
    return "";
}

std::string read_count(const std::string& text, int max, int* value) {
    int n = 0;
    if (!whole_number_text(text, &n) || n < 1 || n > max)
        return "must be a whole number from 1 to " + std::to_string(max) + ", not " + quoted(text);
    *value = n;
    return "";
}

// YYYY-MM-DD or YYYY/MM/DD, the form the legend shows, a real day of the
// Gregorian calendar (the date library judges the day).
std::string read_day(const std::string& text, CalendarDate* day) {
    const std::string problem = "must be a date written YYYY-MM-DD or YYYY/MM/DD, not " + quoted(text);
    const size_t first = text.find_first_of("-/");
    if (first == std::string::npos) return problem;
    const size_t second = text.find(text[first], first + 1);
    if (second == std::string::npos) return problem;
    const std::string parts[3] = {text.substr(0, first), text.substr(first + 1, second - first - 1),
                                  text.substr(second + 1)};
    int numbers[3] = {0, 0, 0};
    for (int i = 0; i < 3; ++i) {
        // Digits only: no sign, and no second separator inside a part.
        if (parts[i].empty() || !is_digit(parts[i][0]) || !whole_number_text(parts[i], &numbers[i]))
            return problem;
    }
    const date::year_month_day ymd{date::year{numbers[0]}, date::month{static_cast<unsigned>(numbers[1])},
                                   date::day{static_cast<unsigned>(numbers[2])}};
    if (numbers[0] > 9999 || numbers[1] > 12 || numbers[2] > 31 || !ymd.ok()) return problem;
    day->year = numbers[0];
    day->month = numbers[1];
    day->day = numbers[2];
    day->format_text();
    return "";
}

// A positive whole number with its unit: s, m (minutes), h or d.
std::string read_duration(const std::string& text, int64_t* seconds) {
    const std::string problem =
        "must be a positive whole number with a unit s, m, h or d (for example 90m, 6h, 1d), not " + quoted(text);
    if (text.size() < 2) return problem;
    int64_t per_unit = 0;
    switch (text.back()) {
        case 's': per_unit = 1; break;
        case 'm': per_unit = 60; break;
        case 'h': per_unit = 3600; break;
        case 'd': per_unit = 86400; break;
        default: return problem;
    }
    const std::string digits = text.substr(0, text.size() - 1);
    int64_t count = 0;
    if (!is_digit(digits[0]) || !whole_number_text(digits, &count) || count < 1 ||
        count > kMaxDurationSeconds / per_unit)
        return problem;
    *seconds = count * per_unit;
    return "";
}

std::string usage_text(const CLI::App& app) {
    std::ostringstream text;
    text << app.help();
    text << "\nOUTPUT decides what is written:\n"
            "  NAME.gif      an animated GIF that loops forever\n"
            "  NAME.mp4      an H.264 video (yuv420p, starts playing before it is fully loaded)\n"
            "  NAME.png      one picture: the start-up view of the whole catalogue\n"
            "  FOLDER/       every frame as FOLDER/frame-00000.png, frame-00001.png, ...\n"
            "                (also when OUTPUT names an existing directory)\n"
            "  NAME.html     one web page that plays the frames in any browser, with\n"
            "                the viewer's keys, buttons and a slider; nothing else needed\n"
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
            "\nExit status: 0 done, 1 an input could not be read or the output not written,\n"
            "2 the command line is wrong.\n"
            "\nExamples:\n"
            "  sismap-record --every 2 samples/california.txt samples/california_quakes.txt out.gif\n"
            "  sismap-record --window 1d --step 1h --fit region.txt week.txt week.mp4\n";
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
    bool window_given = false;
    bool step_given = false;
    std::string unused;  // the validators store each value where it belongs
    app.add_option("LANDSCAPE", o.landscape_path, "the viewer's outline file")->required()->option_text(" ");
    app.add_option("QUAKES", o.quake_path, "the viewer's earthquake catalogue")->required()->option_text(" ");
    app.add_option("OUTPUT", o.output_path, "what to write: see below")->required()->option_text(" ");
    app.add_option("--min-mag", unused, "draw only magnitudes M and above: 0 or 3 to 7 (default 0)")
        ->option_text("M")
        ->check(reader([&o](const std::string& v) { return read_min_magnitude(v, &o.min_magnitude); }));
    app.add_option("--zoom", unused, "zoom about the outline's centre (default 1)")
        ->option_text("Z")
        ->check(reader([&o](const std::string& v) {
            o.zoom_given = true;
            return read_zoom(v, &o.zoom);
        }));
    app.add_option("--pan", unused, "world units added to the start-up pan")
        ->option_text("DX,DY")
        ->check(reader([&o](const std::string& v) { return read_pan(v, &o.pan_x, &o.pan_y); }));
    app.add_flag("--fit", o.fit, "frame the outline and the legend whole, whatever the region's size");
    app.add_option("--window", unused, "real time: each frame shows this much time (default 30d)")
        ->option_text("DURATION")
        ->check(reader([&](const std::string& v) {
            window_given = true;
            return read_duration(v, &o.window_seconds);
        }));
    app.add_option("--step", unused, "real time: frames are this far apart (default 1d)")
        ->option_text("DURATION")
        ->check(reader([&](const std::string& v) {
            step_given = true;
            return read_duration(v, &o.step_seconds);
        }));
    app.add_option("--every", unused, "keep every N-th frame; the first and last are always kept")
        ->option_text("N")
        ->check(reader([&o](const std::string& v) { return read_count(v, kMaxEvery, &o.every); }));
    app.add_option("--from", unused, "skip frames until the window's first date reaches DATE (YYYY-MM-DD)")
        ->option_text("DATE")
        ->check(reader([&o](const std::string& v) {
            o.from_given = true;
            return read_day(v, &o.from);
        }));
    app.add_option("--fps", unused, "frames per second of the GIF or MP4, 1 to 50 (default 20)")
        ->option_text("N")
        ->check(reader([&o](const std::string& v) { return read_count(v, kMaxFps, &o.fps); }));
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

    o.real_time = window_given || step_given;
    std::string error;
    if (!output_kind_of(o.output_path, is_directory(o.output_path), &o.kind, &error))
        return command_line_error(error);
    result.run = true;
    return result;
}
