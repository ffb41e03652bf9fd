// The recorder's command line, read with CLI11; every value is taken as text
// and checked here, so each mistake gets a message that names its option.
#include "record/record_options.h"

#include <sys/stat.h>

#include <CLI/CLI.hpp>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "version.h"

namespace {

constexpr char kProgram[] = "sismap-record";
constexpr double kMinZoom = 0.001;  // the viewer's zoom-out stops above it
constexpr double kMaxZoom = 1000.0;
constexpr double kMaxPan = 1.0e6;   // world units; far beyond any outline
constexpr int kMaxEvery = 1000000;
constexpr int kMaxFps = 50;         // GIF delays are whole hundredths; browsers slow anything under 2

bool ends_with(const std::string& text, const std::string& tail) {
    if (text.size() < tail.size()) return false;
    for (size_t i = 0; i < tail.size(); ++i) {
        const char c = text[text.size() - tail.size() + i];
        const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        if (lower != tail[i]) return false;
    }
    return true;
}

// A decimal number that fills the whole text (surrounding blanks refused).
bool read_number(const std::string& text, double* value) {
    if (text.empty() || std::isspace(static_cast<unsigned char>(text.front()))) return false;
    errno = 0;
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || errno == ERANGE || !std::isfinite(v)) return false;
    // strtod also reads hexadecimal, "inf" and "nan"; only plain decimals are meant.
    for (char c : text)
        if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E'))
            return false;
    *value = v;
    return true;
}

bool read_int(const std::string& text, int* value) {
    if (text.empty()) return false;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (*first == '+') ++first;
    const auto [end, problem] = std::from_chars(first, last, *value);
    return problem == std::errc() && end == last && first != last;
}

std::string quoted(const std::string& text) { return "'" + text + "'"; }

bool is_directory(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool is_leap_year(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

std::string usage_text(const CLI::App& app) {
    std::ostringstream text;
    text << app.help();
    text << "\nOUTPUT decides what is written:\n"
            "  NAME.gif      an animated GIF that loops forever\n"
            "  NAME.mp4      an H.264 video (yuv420p, starts playing before it is fully loaded)\n"
            "  NAME.png      one picture: the start-up view of the whole catalogue\n"
            "  FOLDER/       every frame as FOLDER/frame-00000.png, frame-00001.png, ...\n"
            "                (also when OUTPUT names an existing directory)\n"
            "\nFrame 0 is the window collapsed to the catalogue's first 30 days, as when\n"
            "playback starts; frame k is the view after k presses of 'g' in the viewer; the\n"
            "last frame is the step at which the window reaches the catalogue's end.\n"
            "\nExit status: 0 done, 1 an input could not be read or the output not written,\n"
            "2 the command line is wrong.\n"
            "\nExample:\n"
            "  sismap-record --every 2 samples/california.txt samples/california_quakes.txt out.gif\n";
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
        return true;
    }
    if (ends_with(path, ".gif")) {
        *kind = OutputKind::Gif;
    } else if (ends_with(path, ".mp4")) {
        *kind = OutputKind::Mp4;
    } else if (ends_with(path, ".png")) {
        *kind = OutputKind::Still;
    } else {
        *error = "cannot tell what to write to " + quoted(path) +
                 ": OUTPUT must end in .gif, .mp4, .png or '/' (a folder for PNG frames)";
        return false;
    }
    return true;
}

bool parse_min_magnitude(const std::string& text, int* value, std::string* error) {
    int m = -1;
    if (!read_int(text, &m) || !(m == 0 || (m >= 3 && m <= 7))) {
        *error = "--min-mag must be 0 or a whole number from 3 to 7 (the viewer's threshold keys), not " +
                 quoted(text);
        return false;
    }
    *value = m;
    return true;
}

bool parse_zoom(const std::string& text, float* value, std::string* error) {
    double z = 0.0;
    if (!read_number(text, &z) || !(z > kMinZoom) || z > kMaxZoom) {
        *error = "--zoom must be a number above 0.001 and at most 1000 (1 is the start-up view), not " +
                 quoted(text);
        return false;
    }
    *value = static_cast<float>(z);
    return true;
}

bool parse_pan(const std::string& text, float* dx, float* dy, std::string* error) {
    const size_t comma = text.find(',');
    double x = 0.0;
    double y = 0.0;
    if (comma == std::string::npos || !read_number(text.substr(0, comma), &x) ||
        !read_number(text.substr(comma + 1), &y) || std::fabs(x) > kMaxPan || std::fabs(y) > kMaxPan) {
        *error = "--pan must be two numbers DX,DY in world units (for example 0.5,-1), not " + quoted(text);
        return false;
    }
    *dx = static_cast<float>(x);
    *dy = static_cast<float>(y);
    return true;
}

bool parse_positive(const std::string& option, const std::string& text, int max, int* value, std::string* error) {
    int n = 0;
    if (!read_int(text, &n) || n < 1 || n > max) {
        *error = option + " must be a whole number from 1 to " + std::to_string(max) + ", not " + quoted(text);
        return false;
    }
    *value = n;
    return true;
}

bool parse_day(const std::string& text, CalendarDate* day, std::string* error) {
    // YYYY-MM-DD or YYYY/MM/DD, the form the legend shows.
    static const int kMonthLength[13] = {0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const auto fail = [&] {
        *error = "--from must be a date written YYYY-MM-DD or YYYY/MM/DD, not " + quoted(text);
        return false;
    };
    const size_t first = text.find_first_of("-/");
    if (first == std::string::npos || first == 0) return fail();
    const char separator = text[first];
    const size_t second = text.find(separator, first + 1);
    if (second == std::string::npos) return fail();
    int y = 0, m = 0, d = 0;
    if (!read_int(text.substr(0, first), &y) || !read_int(text.substr(first + 1, second - first - 1), &m) ||
        !read_int(text.substr(second + 1), &d) || text[0] == '+' || text[first + 1] == '+' || text[second + 1] == '+')
        return fail();
    if (y < 0 || m < 1 || m > 12 || d < 1) return fail();
    const int length = kMonthLength[m] + ((m == 2 && is_leap_year(y)) ? 1 : 0);
    if (d > length) return fail();
    day->year = y;
    day->month = m;
    day->day = d;
    day->format_text();
    return true;
}

ParseResult parse_record_options(int argc, const char* const* argv) {
    CLI::App app{"Records the playback of the sismap viewer as an animated GIF, an MP4 video,\n"
                 "a PNG still or a folder of PNG frames, drawn exactly as the viewer's window\n"
                 "draws it. Needs no display: it draws on a private virtual X server (Xvfb).",
                 kProgram};
    app.get_formatter()->column_width(24);

    std::string landscape, quakes, output;
    std::string min_mag_text, zoom_text, pan_text, every_text, from_text, fps_text;
    bool quiet = false;
    app.add_option("LANDSCAPE", landscape, "the viewer's outline file")->required()->option_text(" ");
    app.add_option("QUAKES", quakes, "the viewer's earthquake catalogue")->required()->option_text(" ");
    app.add_option("OUTPUT", output, "what to write: see below")->required()->option_text(" ");
    CLI::Option* min_mag = app.add_option("--min-mag", min_mag_text, "draw only magnitudes M and above: 0 or 3 to 7 (default 0)")
        ->option_text("M");
    CLI::Option* zoom = app.add_option("--zoom", zoom_text, "zoom about the outline's centre (default 1)")->option_text("Z");
    CLI::Option* pan = app.add_option("--pan", pan_text, "world units added to the start-up pan")->option_text("DX,DY");
    CLI::Option* every = app.add_option("--every", every_text, "keep every N-th frame; the first and last are always kept")
        ->option_text("N");
    CLI::Option* from = app.add_option("--from", from_text, "skip frames until the window's first date reaches DATE (YYYY-MM-DD)")
        ->option_text("DATE");
    CLI::Option* fps = app.add_option("--fps", fps_text, "frames per second of the GIF or MP4, 1 to 50 (default 20)")
        ->option_text("N");
    app.add_flag("-q,--quiet", quiet, "no progress bar and no summary; errors are still reported");
    app.set_version_flag("--version", std::string(kProgram) + " " + kVersion);

    ParseResult result;
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        result.text = usage_text(app);
        return result;
    } catch (const CLI::CallForVersion& version) {
        result.text = std::string(version.what()) + "\n";
        return result;
    } catch (const CLI::ParseError& problem) {
        if (dynamic_cast<const CLI::RequiredError*>(&problem) != nullptr)
            return command_line_error("needs three arguments: LANDSCAPE QUAKES OUTPUT");
        return command_line_error(problem.what());
    }

    RecordOptions& o = result.options;
    o.landscape_path = landscape;
    o.quake_path = quakes;
    o.output_path = output;
    o.quiet = quiet;
    std::string error;
    if (min_mag->count() > 0 && !parse_min_magnitude(min_mag_text, &o.min_magnitude, &error))
        return command_line_error(error);
    if (zoom->count() > 0) {
        if (!parse_zoom(zoom_text, &o.zoom, &error)) return command_line_error(error);
        o.zoom_given = true;
    }
    if (pan->count() > 0 && !parse_pan(pan_text, &o.pan_x, &o.pan_y, &error)) return command_line_error(error);
    if (every->count() > 0 && !parse_positive("--every", every_text, kMaxEvery, &o.every, &error))
        return command_line_error(error);
    if (fps->count() > 0 && !parse_positive("--fps", fps_text, kMaxFps, &o.fps, &error))
        return command_line_error(error);
    if (from->count() > 0) {
        if (!parse_day(from_text, &o.from, &error)) return command_line_error(error);
        o.from_given = true;
    }
    if (!output_kind_of(o.output_path, is_directory(o.output_path), &o.kind, &error))
        return command_line_error(error);

    result.run = true;
    return result;
}
