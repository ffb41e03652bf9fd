// The nearest events of each node from a k-d tree (nanoflann) of the
// epicentres as points on the unit sphere: the straight-line distance
// between two such points grows with the great-circle distance, so the
// nearest by one are the nearest by the other.
#include "stats/bvalue_map.h"

#include <nanoflann.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <thread>
#include <utility>

namespace {

constexpr double kEarthRadiusKm = 6371.0;
constexpr double kRadians = 3.14159265358979323846 / 180.0;

// Floats: a tenth of a metre on the ground, and half the memory that the
// tree's building walks through.
std::array<float, 3> on_sphere(double latitude, double longitude) {
    const double p = latitude * kRadians, l = longitude * kRadians;
    return {static_cast<float>(std::cos(p) * std::cos(l)), static_cast<float>(std::cos(p) * std::sin(l)),
            static_cast<float>(std::sin(p))};
}

struct Epicentres {
    std::vector<std::array<float, 3>> points;
    size_t kdtree_get_point_count() const { return points.size(); }
    float kdtree_get_pt(size_t i, size_t dim) const { return points[i][dim]; }
    template <class Box>
    bool kdtree_get_bbox(Box&) const {
        return false;
    }
};

using Tree = nanoflann::KDTreeSingleIndexAdaptor<nanoflann::L2_Simple_Adaptor<float, Epicentres>, Epicentres, 3,
                                                 uint32_t>;

// Building the tree is most of a map's time, and one tree is built on one
// core: so the epicentres are split into as many parts as there are cores,
// each part's tree built on a thread of its own, and a node's nearest are
// the nearest of every part's nearest.
struct TreePart {
    Epicentres epicentres;
    uint32_t offset = 0;  // index of the part's first epicentre in the catalogue
    std::unique_ptr<Tree> tree;
};

std::vector<std::unique_ptr<TreePart>> build_trees(const std::vector<float>& latitudes,
                                                   const std::vector<float>& longitudes) {
    constexpr size_t kLeastPerPart = 50000;  // below this a thread costs more than it saves
    const size_t cores = std::max(1u, std::thread::hardware_concurrency());
    const size_t parts = std::max<size_t>(1, std::min(cores, latitudes.size() / kLeastPerPart));
    std::vector<std::unique_ptr<TreePart>> trees;
    for (size_t p = 0; p < parts; ++p) {
        auto part = std::make_unique<TreePart>();
        const size_t begin = latitudes.size() * p / parts, end = latitudes.size() * (p + 1) / parts;
        part->offset = static_cast<uint32_t>(begin);
        part->epicentres.points.reserve(end - begin);
        for (size_t i = begin; i < end; ++i) part->epicentres.points.push_back(on_sphere(latitudes[i], longitudes[i]));
        trees.push_back(std::move(part));
    }
    auto build = [](TreePart* part) {
        part->tree = std::make_unique<Tree>(3, part->epicentres, nanoflann::KDTreeSingleIndexAdaptorParams(256));
    };
    std::vector<std::thread> builders;
    for (size_t p = 1; p < trees.size(); ++p) builders.emplace_back(build, trees[p].get());
    build(trees[0].get());
    for (std::thread& builder : builders) builder.join();
    return trees;
}

// The `k` epicentres nearest to `at` over every part, nearest first (equal
// distances in catalogue order): their indices and squared chord lengths.
size_t nearest_over_parts(const std::vector<std::unique_ptr<TreePart>>& trees, const float* at, size_t k,
                          std::vector<std::pair<float, uint32_t>>* found) {
    found->clear();
    std::vector<uint32_t> indices(k);
    std::vector<float> squares(k);
    for (const auto& part : trees) {
        const size_t got = part->tree->knnSearch(at, k, indices.data(), squares.data());
        for (size_t i = 0; i < got; ++i) found->emplace_back(squares[i], indices[i] + part->offset);
    }
    const size_t keep = std::min(k, found->size());
    std::partial_sort(found->begin(), found->begin() + static_cast<std::ptrdiff_t>(keep), found->end());
    found->resize(keep);
    return keep;
}

}  // namespace

std::optional<MapGrid> map_grid(const std::vector<float>& latitudes, const std::vector<float>& longitudes,
                                double spacing, uint64_t max_nodes) {
    if (latitudes.empty() || !(spacing > 0.0)) return std::nullopt;
    const auto [south, north] = std::minmax_element(latitudes.begin(), latitudes.end());
    const auto [west, east] = std::minmax_element(longitudes.begin(), longitudes.end());
    MapGrid grid;
    // A node's coordinate is row * spacing; the small tolerance keeps a
    // bound that is itself a multiple (35.0 of 0.1) from falling outside.
    const double tolerance = 1e-9;
    grid.first_row = static_cast<int64_t>(std::ceil(*south / spacing - tolerance));
    grid.rows = static_cast<int64_t>(std::floor(*north / spacing + tolerance)) - grid.first_row + 1;
    grid.first_column = static_cast<int64_t>(std::ceil(*west / spacing - tolerance));
    grid.columns = static_cast<int64_t>(std::floor(*east / spacing + tolerance)) - grid.first_column + 1;
    if (grid.rows <= 0 || grid.columns <= 0) return std::nullopt;
    if (static_cast<double>(grid.rows) * static_cast<double>(grid.columns) > static_cast<double>(max_nodes))
        return std::nullopt;
    return grid;
}

std::vector<MapNode> b_value_map(const std::vector<float>& latitudes, const std::vector<float>& longitudes,
                                 const std::vector<float>& magnitudes, const MagnitudeBins& bins,
                                 const MapGrid& grid, const MapRequest& request) {
    const std::vector<std::unique_ptr<TreePart>> trees = build_trees(latitudes, longitudes);

    const size_t k = std::min(request.nearest, latitudes.size());
    std::vector<std::pair<float, uint32_t>> nearest;
    std::vector<float> chosen(k);
    std::vector<MapNode> nodes;
    nodes.reserve(static_cast<size_t>(grid.rows * grid.columns));
    for (int64_t row = grid.first_row; row < grid.first_row + grid.rows; ++row)
        for (int64_t column = grid.first_column; column < grid.first_column + grid.columns; ++column) {
            MapNode node;
            node.latitude = static_cast<double>(row) * request.spacing;
            node.longitude = static_cast<double>(column) * request.spacing;
            const std::array<float, 3> at = on_sphere(node.latitude, node.longitude);
            const size_t found = nearest_over_parts(trees, at.data(), k, &nearest);
            node.events = found;
            const double farthest = found == 0 ? 0.0 : static_cast<double>(nearest[found - 1].first);
            node.radius_km = 2.0 * kEarthRadiusKm * std::asin(std::min(1.0, std::sqrt(farthest) / 2.0));
            nodes.push_back(node);
            MapNode& kept = nodes.back();
            if (found == 0 || (request.max_radius_km && kept.radius_km > *request.max_radius_km)) continue;
            for (size_t i = 0; i < found; ++i) chosen[i] = magnitudes[nearest[i].second];
            chosen.resize(found);
            const MagnitudeHistogram histogram(chosen, bins);
            chosen.resize(k);
            const std::optional<Completeness> completeness = find_completeness(histogram, bins, request.mc);
            if (!completeness) continue;
            kept.mc = bins.centre(completeness->mc_bin);
            if (histogram.at_or_above(completeness->mc_bin) < request.min_events) continue;
            kept.fit = fit_gutenberg_richter(histogram, bins, completeness->mc_bin);
        }
    return nodes;
}
