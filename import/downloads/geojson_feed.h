// What the GeoJSON reader hands its simdjson kernels: the feed as padded
// JSON documents with their places in the file. The reading code
// (geojson_feed.cpp) is compiled once per simdjson kernel, each copy in its
// own namespace; only this interface is shared, and it holds no simdjson
// type, so no code compiled for one processor leaks into another copy.
#pragma once

#include <cstddef>
#include <string_view>

#include <cstdint>

// One JSON document for a kernel to parse: `length` bytes of JSON at `data`,
// readable up to `capacity` bytes. Its byte i stands at offset
// base + i of the file, or base + i + gap_size from gap_at on (the
// collection without its features skips them).
struct FeedDocument {
    const char* data = nullptr;
    size_t length = 0;
    size_t capacity = 0;
    size_t base = 0;
    size_t gap_at = static_cast<size_t>(-1);
    size_t gap_size = 0;

    size_t file_offset(size_t index) const { return base + index + (index >= gap_at ? gap_size : 0); }
};

// What a kernel found in one feature (plain values: no shared code).
struct FeatureParts {
    bool has_time = false;
    int64_t time_us = 0;
    bool has_coordinates = false;  // a "coordinates" array, even a short one
    bool has_longitude = false;
    double longitude = 0.0;
    bool has_latitude = false;
    double latitude = 0.0;
    bool has_magnitude = false;
    double magnitude = 0.0;
    bool has_depth = false;  // a third coordinate: km, positive down
    double depth_km = 0.0;
    const char* type = nullptr;  // the "type" property, type_length bytes
    size_t type_length = 0;
    const char* problem = nullptr;  // what makes the feature bad, if anything
};

// The faults a kernel reports about the collection itself.
enum class FeedFault { not_a_collection, other_type, no_features, text_after_end, outline };

// Offsets for messages that name no place, or the end of the file.
constexpr size_t kAtNoPlace = static_cast<size_t>(-1);
constexpr size_t kAtEnd = static_cast<size_t>(-2);

// The feed as the kernels see it: the collection (whole, or without its
// features) and then, when split, the features in pieces, each a JSON array.
// It also words the messages and throws: a kernel only hands it offsets.
class FeedSource {
public:
    virtual ~FeedSource();
    virtual FeedDocument collection() = 0;
    // 0 when the collection is whole.
    virtual size_t piece_count() const = 0;
    // Valid until the next call.
    virtual FeedDocument piece(size_t index) = 0;
    // Length of the file's text, for messages about its end.
    virtual size_t text_length() const = 0;

    // Throws ImportError: the JSON is broken at `offset` (simdjson's
    // `message`), or the collection has `fault` (`detail`: the type or
    // shape found).
    [[noreturn]] virtual void fail_json(size_t offset, const char* message, bool ends_early) = 0;
    [[noreturn]] virtual void fail(FeedFault fault, size_t offset, std::string_view detail) = 0;
    // The feature at `offset`, read: counted, then kept, dropped or (bad)
    // reported through the event sink.
    virtual void feature(size_t offset, const FeatureParts& parts) = 0;
};

// One kernel's reader: reads every feature of `source`.
using FeedKernel = void (*)(FeedSource& source);

#define SISMAP_DECLARE_GEOJSON_KERNEL(kernel) \
    namespace geojson_feed_##kernel { void read_feed(FeedSource& source); }
SISMAP_DECLARE_GEOJSON_KERNEL(builtin)
#ifdef SISMAP_GEOJSON_X86_KERNELS
SISMAP_DECLARE_GEOJSON_KERNEL(westmere)
SISMAP_DECLARE_GEOJSON_KERNEL(haswell)
SISMAP_DECLARE_GEOJSON_KERNEL(icelake)
#endif
#undef SISMAP_DECLARE_GEOJSON_KERNEL
