// Splitting the catalogue into lines and reading each with the viewer's
// reader.
#include "stats/catalogue_lines.h"

#include <cstring>

#include "data/catalogue_reader.h"
#include "data/data_loader.h"
#include "data/layout_hint.h"
#include "data/plain_line.h"
#include "tool/input_source.h"

namespace {

bool same_entry(const QuakeRecord& a, const QuakeRecord& b) {
    return a.date.year == b.date.year && a.date.month == b.date.month && a.date.day == b.date.day &&
           a.time.hour == b.time.hour && a.time.minute == b.time.minute && a.time.second == b.time.second &&
           a.time.hundredths == b.time.hundredths && a.latitude == b.latitude && a.longitude == b.longitude &&
           a.magnitude == b.magnitude;
}

// The entry of one data line, as the viewer's reader makes it; false when
// the reader would skip or drop the line.
bool read_line(std::string_view line, QuakeRecord* record) {
    PlainLine plain;
    if (!line.empty() && line.back() == '\n' && read_plain_line(line.data(), plain)) {
        if (!(plain.magnitude > 0.0f)) return false;
        record->date.year = plain.year;
        record->date.month = plain.month;
        record->date.day = plain.day;
        record->time = plain.time;
        record->latitude = plain.latitude;
        record->longitude = plain.longitude;
        record->magnitude = plain.magnitude;
        return true;
    }
    // Any other line through the general reader, after a header of its own.
    std::string one = "h\n";
    one.append(line);
    std::vector<QuakeRecord> records;
    read_catalogue_text(one, records);
    if (records.size() != 1) return false;
    *record = records.front();
    return true;
}

}  // namespace

bool read_whole_file(const std::string& path, std::string* text, std::string* error) {
    InputSource source;
    if (!source.open(path, true)) {
        *error = source.failure() == InputSource::Failure::is_directory
                     ? "cannot read " + path + ": it is a directory"
                     : "cannot open " + path + ": " + std::strerror(source.error_number());
        return false;
    }
    text->clear();
    source.read_rest(*text);
    if (source.failure() == InputSource::Failure::read_error) {
        *error = "cannot read " + path + ": " + std::strerror(source.error_number());
        return false;
    }
    return true;
}

bool read_catalogue_lines(const std::string& path, CatalogueLines* catalogue, std::string* error) {
    if (!read_whole_file(path, &catalogue->text, error)) return false;
    const std::string_view text = catalogue->text;
    size_t at = 0;
    bool header = true;
    while (at < text.size()) {
        const size_t feed = text.find('\n', at);
        const size_t end = feed == std::string_view::npos ? text.size() : feed + 1;
        const std::string_view line = text.substr(at, end - at);
        at = end;
        if (header) {
            catalogue->header = line;
            header = false;
            continue;
        }
        QuakeRecord record;
        if (read_line(line, &record)) {
            catalogue->records.push_back(record);
            catalogue->line_of.push_back(catalogue->lines.size());
        }
        catalogue->lines.push_back(line);
    }
    *error = catalogue_layout_hint(path.c_str(), text.substr(0, DataLoader::kCatalogueHeadBytes), catalogue->records);
    if (!error->empty()) return false;
    std::vector<QuakeRecord>& records = catalogue->records;
    if (records.size() >= 2 && same_entry(records[records.size() - 1], records[records.size() - 2])) {
        records.pop_back();
        catalogue->line_of.pop_back();
        catalogue->repeats_last = true;
    }
    if (records.empty()) {
        *error = path + ": no event in the catalogue";
        return false;
    }
    return true;
}
