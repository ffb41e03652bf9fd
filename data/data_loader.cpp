// Opening both input files with their console lines, the landscape reader,
// and handing the results over.
#include "data/data_loader.h"

#include <cstdint>
#include <limits>
#include <string>

#include "data/catalogue_reader.h"
#include "data/console.h"
#include "data/line_reader.h"
#include "data/number_text.h"
#include "tool/input_source.h"

DataLoader::DataLoader() = default;

bool DataLoader::load(const char* landscape_path, const char* quake_path) {
    std::string line;
    if (!quiet_) {
        line = std::string("Trying to open landscape file: ") + landscape_path;
        console_write(line.c_str(), 1);
        line = std::string("Trying to open earthquake file: ") + quake_path;
        console_write(line.c_str(), 2);
    }

    InputSource landscape;
    InputSource quakes;
    bool landscape_ok = landscape.open(landscape_path, false);
    if (!landscape_ok) {
        line = std::string("Could not open the landscape file named \"") + landscape_path + "\"";
        console_write(line.c_str(), 2);
    }
    bool quake_ok = quakes.open(quake_path, false);
    if (!quake_ok) {
        line = std::string("Could not open the earthquake data file named \"") + quake_path + "\"";
        console_write(line.c_str(), 2);
    }
    if (!landscape_ok || !quake_ok) return false;

    std::string text;
    landscape.read_rest(text);
    read_landscape(text);
    // The catalogue's first bytes stay at hand for the start-up's check of
    // its layout: a pipe can be read only once.
    catalogue_head_ = std::string(quakes.head(kCatalogueHeadBytes));
    records_.clear();
    if (depths_ != nullptr) depths_->clear();
    read_catalogue_file(quakes, records_, depths_);
    record_count_ = static_cast<int32_t>(records_.size());
    return true;
}

void DataLoader::read_landscape(std::string_view text) {
    points_.clear();
    LineReader reader(text);
    reader.next();  // header
    char* fields[2];
    while (reader.next()) {
        // Fewer than two fields (a blank line, the empty read after a line of
        // a multiple of 99 characters) is not a vertex.
        if (split_fields(reader.line(), fields, 2) < 2) continue;
        if (points_.size() >= static_cast<size_t>(std::numeric_limits<int32_t>::max())) break;
        LandscapePoint point;
        point.y = parse_int_field(fields[0]);
        point.x = parse_int_field(fields[1]);
        bounds_.take_in(point, points_.empty());
        points_.push_back(point);
    }
    points_.shrink_to_fit();
    point_count_ = static_cast<int32_t>(points_.size());
}

void DataLoader::read_catalogue(std::string_view text) {
    records_.clear();
    read_catalogue_text(text, records_);
    record_count_ = static_cast<int32_t>(records_.size());
}

std::vector<LandscapePoint> DataLoader::take_points() {
    std::vector<LandscapePoint> taken;
    taken.swap(points_);
    point_count_ = 0;
    return taken;
}

std::vector<QuakeRecord> DataLoader::take_records() {
    std::vector<QuakeRecord> taken;
    taken.swap(records_);
    record_count_ = 0;
    return taken;
}
