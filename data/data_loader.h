// Loads the landscape file (the region outline) and the earthquake file (the
// catalogue), holds what they gave and the outline's bounds.
//
// Both files are text read in lines of at most 99 characters (a longer line
// is read as several), split into fields at runs of "," as strtok splits, and
// their numbers read with the C library's atoi / atof rules. The first line of
// each file is a header and never data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "data/outline_bounds.h"
#include "data/records.h"

class DataLoader {
public:
    DataLoader();

    // Writes the two "Trying to open" lines, opens both files read-only and,
    // only when both opened, reads them. True when both could be opened,
    // whatever they held; otherwise writes an open-failure line for each file
    // that could not be opened and reads neither.
    bool load(const char* landscape_path, const char* quake_path);
    // Leaves the "Trying to open" lines out (a quiet companion program).
    void set_quiet(bool quiet) { quiet_ = quiet; }
    // When set, `load` also reads each entry's depth (the eighth column; NaN
    // without one) into `depths`, in the same pass over the file.
    void set_depths(std::vector<float>* depths) { depths_ = depths; }

    // Reading from text already in memory; `load` feeds the files' bytes here.
    void read_landscape(std::string_view text);
    void read_catalogue(std::string_view text);

    // Exact-size copies, in file order.
    std::vector<LandscapePoint> copy_points() const { return points_; }
    std::vector<QuakeRecord> copy_records() const { return records_; }
    // Hands the arrays over without a copy, so a large catalogue is held only
    // once; the loader is left empty.
    std::vector<LandscapePoint> take_points();
    std::vector<QuakeRecord> take_records();

    // The first bytes of the catalogue file `load` read (at most
    // kCatalogueHeadBytes): enough for its header and first entries.
    static constexpr size_t kCatalogueHeadBytes = 4096;
    const std::string& catalogue_head() const { return catalogue_head_; }

    int32_t record_count() const { return record_count_; }
    int32_t point_count() const { return point_count_; }
    // The outline's smallest and largest x and y. With no vertices at all:
    // largest 0 and smallest 99999.
    int32_t max_x() const { return bounds_.max_x; }
    int32_t min_x() const { return bounds_.min_x; }
    int32_t max_y() const { return bounds_.max_y; }
    int32_t min_y() const { return bounds_.min_y; }

private:
    OutlineBounds bounds_;
    bool quiet_ = false;
    std::vector<float>* depths_ = nullptr;
    int32_t record_count_ = 0;
    int32_t point_count_ = 0;
    std::vector<QuakeRecord> records_;
    std::vector<LandscapePoint> points_;
    std::string catalogue_head_;
};
