// Recognising a data-centre download given straight to the viewer.
#include "data/layout_hint.h"

#include <cstdio>

#include "tool/text_basics.h"

namespace {

// The first "YYYY-MM-DDThh:mm" (or with a space) in `text`, or empty.
std::string_view first_iso_time(std::string_view text) {
    constexpr size_t kLength = 16;
    constexpr char kShape[] = "9999-99-99T99:99";  // 9: a digit; T: 'T' or ' '
    for (size_t start = 0; start + kLength <= text.size(); ++start) {
        size_t i = 0;
        for (; i < kLength; ++i) {
            const char c = text[start + i];
            const char want = kShape[i];
            if (want == '9' ? !is_digit(c) : want == 'T' ? (c != 'T' && c != ' ') : c != want) break;
        }
        if (i == kLength) return text.substr(start, kLength);
    }
    return {};
}

// Newest first: most steps from one entry to the next go back in time.
bool runs_backwards(const std::vector<QuakeRecord>& records) {
    size_t back = 0;
    size_t forward = 0;
    for (size_t i = 1; i < records.size(); ++i) {
        back += record_time_order(records[i]) < record_time_order(records[i - 1]);
        forward += record_time_order(records[i - 1]) < record_time_order(records[i]);
    }
    return back > 0 && back > 3 * forward;
}

// Where the converted catalogue could go: beside the download, its
// extension replaced.
std::string converted_name(const std::string& path) {
    const PathParts parts = split_path(path);
    const size_t dot = parts.name.rfind('.');
    const bool has_extension = dot != std::string::npos && dot > 0;
    return parts.folder + (has_extension ? parts.name.substr(0, dot) : parts.name) + "-sismap.txt";
}

}  // namespace

std::string catalogue_layout_hint(const char* quake_path, std::string_view head,
                                  const std::vector<QuakeRecord>& records) {
    head = without_byte_order_mark(head);
    size_t first = 0;
    while (first < head.size() && is_blank(head[first])) ++first;
    // The header and the first line after it.
    size_t end = head.find('\n', first);
    if (end != std::string_view::npos) end = head.find('\n', end + 1);
    const std::string_view lines = head.substr(first, end == std::string_view::npos ? end : end - first);

    std::string seen;
    if (!lines.empty() && lines[0] == '{') {
        seen = "it starts like a GeoJSON feed";
    } else if (!lines.empty() && lines[0] == '<') {
        seen = "it starts like an XML (QuakeML) file";
    } else if (const std::string_view iso = first_iso_time(lines); !iso.empty()) {
        seen = "ISO 8601 times such as " + std::string(iso) + " in its first lines";
    } else if (runs_backwards(records)) {
        seen = "its dates run backwards, newest first";
    } else {
        return std::string();
    }
    const std::string path = quake_path;
    return path + " is not in the viewer's catalogue layout (" + seen +
           "); convert it with: sismap-import catalogue " + shell_word(path) + " " +
           shell_word(converted_name(path));
}

void report_catalogue_layout_hint(const char* quake_path, std::string_view head,
                                  const std::vector<QuakeRecord>& records) {
    const std::string hint = catalogue_layout_hint(quake_path, head, records);
    if (!hint.empty()) std::fprintf(stderr, "sismap: %s\n", hint.c_str());
}
