// GMT multisegment text, line by line.
#include "import/outline/outline_gmt.h"

#include <utility>

#include "tool/text_basics.h"
#include "import/event_sink.h"

namespace {

// What separates the words of a GMT line: a space or a tab.
bool is_space_or_tab(char c) { return c == ' ' || c == '\t'; }

// The next blank- or tab-separated word of `line` from `*at`, moving past it.
std::string_view next_word(std::string_view line, size_t* at) {
    size_t start = *at;
    while (start < line.size() && is_space_or_tab(line[start])) ++start;
    size_t end = start;
    while (end < line.size() && !is_space_or_tab(line[end])) ++end;
    *at = end;
    return line.substr(start, end - start);
}

class GmtReader {
public:
    explicit GmtReader(OutlineSource& source) : source_(source) {}

    void header(std::string_view text) {
        finish();
        open_ = true;
        name_ = std::string(trim_blanks(text));
    }

    void point(const GeoPoint& p) {
        open_ = true;
        ring_.push_back(p);
    }

    // Ends the segment being read, if any, as one feature.
    void finish() {
        if (!open_) return;
        OutlineFeature feature;
        if (!name_.empty()) feature.attributes.emplace_back("name", std::move(name_));
        feature.geometry = "segment of " + std::to_string(ring_.size()) + (ring_.size() == 1 ? " point" : " points");
        if (ring_.size() >= 3) {
            feature.geometry = "segment";
            feature.offer_outer_ring(std::move(ring_));
        }
        source_.features.push_back(std::move(feature));
        ring_ = GeoRing();
        name_.clear();
        open_ = false;
    }

private:
    OutlineSource& source_;
    GeoRing ring_;
    std::string name_;
    bool open_ = false;
};

}  // namespace

OutlineSource read_gmt_outline(std::string_view bytes, const std::string& path) {
    OutlineSource source;
    source.path = path;
    source.format = "GMT";
    bytes = without_byte_order_mark(bytes);

    GmtReader reader(source);
    size_t line_number = 0;
    while (!bytes.empty()) {
        const size_t end = bytes.find('\n');
        std::string_view line = bytes.substr(0, end);
        bytes = end == std::string_view::npos ? std::string_view() : bytes.substr(end + 1);
        ++line_number;
        line = trim_blanks(line);  // blanks and a CRLF line end
        if (line.empty() || line.front() == '#') continue;
        if (line.front() == '>') {
            reader.header(line.substr(1));
            continue;
        }
        const std::string where = path + ": line " + std::to_string(line_number);
        size_t at = 0;
        const std::string_view lon_text = next_word(line, &at);
        const std::string_view lat_text = next_word(line, &at);
        const std::optional<double> lon = parse_decimal(lon_text);
        const std::optional<double> lat = parse_decimal(lat_text);
        if (!lon || !lat)
            throw OutlineError(where + ": expected a longitude and a latitude in decimal degrees, apart by blanks "
                               "or tabs, got " + quoted_for_message(line));
        check_degrees(*lon, *lat, where);
        reader.point(GeoPoint{*lon, *lat});
    }
    reader.finish();
    return source;
}
