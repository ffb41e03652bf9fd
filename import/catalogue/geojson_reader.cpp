// GeoJSON event feed reader: splitting the feed into pieces and choosing the
// simdjson kernel that reads them.
#include "import/catalogue/geojson_reader.h"

#include <simdjson.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "import/catalogue/geojson_feed.h"
#include "tool/text_basics.h"

FeedSource::~FeedSource() = default;

namespace {

constexpr size_t kNone = static_cast<size_t>(-1);

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

size_t skip_blanks(std::string_view text, size_t at) {
    while (at < text.size() && is_blank(text[at])) ++at;
    return at;
}

// Index just past the string whose opening quote is at `at`; kNone when
// the text ends inside it.
size_t skip_string(std::string_view text, size_t at) {
    const size_t size = text.size();
    for (size_t i = at + 1; i < size; ++i) {
        const char c = text[i];
        if (c == '"') return i + 1;
        if (c == '\\') ++i;
    }
    return kNone;
}

// Index just past the value starting at `at`, which is no string; kNone
// when its brackets do not close. Only strings and brackets are followed:
// the pieces are checked by simdjson when read.
size_t skip_value(std::string_view text, size_t at) {
    const size_t size = text.size();
    if (at >= size) return kNone;
    if (text[at] == '"') return skip_string(text, at);
    if (text[at] != '{' && text[at] != '[') {
        size_t end = at;
        while (end < size && !is_blank(text[end]) && text[end] != ',' && text[end] != '}' && text[end] != ']') ++end;
        return end > at ? end : kNone;
    }
    size_t depth = 0;
    for (size_t i = at; i < size; ++i) {
        const char c = text[i];
        if (c == '"') {
            i = skip_string(text, i);
            if (i == kNone) return kNone;
            --i;
        } else if (c == '{' || c == '[') {
            ++depth;
        } else if (c == '}' || c == ']') {
            if (--depth == 0) return i + 1;
        }
    }
    return kNone;
}

// Where a FeatureCollection keeps its features: the "[" and "]" of the one
// "features" array among the top-level members, and the pieces of that
// array: runs of whole features, [begin, end) without the commas between
// pieces, each at least `piece_bytes` long but the last.
struct FeedOutline {
    size_t array_open = 0;
    size_t array_close = 0;
    std::vector<std::pair<size_t, size_t>> pieces;
};

// Follows the array whose "[" is at `open`, cutting it into pieces; false
// when it does not close or holds an empty element.
bool outline_features(std::string_view text, size_t open, size_t piece_bytes, FeedOutline* outline) {
    const size_t size = text.size();
    size_t piece_begin = open + 1;
    size_t element_begin = piece_begin;
    size_t depth = 0;
    const auto element_empty = [&](size_t end) { return skip_blanks(text, element_begin) >= end; };
    for (size_t i = open + 1; i < size; ++i) {
        const char c = text[i];
        if (c == '"') {
            i = skip_string(text, i);
            if (i == kNone) return false;
            --i;
        } else if (c == '{' || c == '[') {
            ++depth;
        } else if (c == '}' || c == ']') {
            if (depth > 0) {
                --depth;
                continue;
            }
            if (c != ']') return false;
            // An empty array has no piece; a comma before "]" is refused.
            if (element_empty(i)) {
                if (element_begin != open + 1) return false;
            } else {
                outline->pieces.emplace_back(piece_begin, i);
            }
            outline->array_open = open;
            outline->array_close = i;
            return true;
        } else if (c == ',' && depth == 0) {
            if (element_empty(i)) return false;
            element_begin = i + 1;
            if (i - piece_begin >= piece_bytes) {
                outline->pieces.emplace_back(piece_begin, i);
                piece_begin = i + 1;
            }
        }
    }
    return false;
}

// The outline of a FeatureCollection object with one "features" array and
// nothing but blanks after it; false for anything else (then read whole,
// and simdjson says what is wrong).
bool outline_feed(std::string_view text, size_t piece_bytes, FeedOutline* outline) {
    size_t at = skip_blanks(text, 0);
    if (at >= text.size() || text[at] != '{') return false;
    bool found = false;
    at = skip_blanks(text, at + 1);
    if (at < text.size() && text[at] == '}') return false;
    for (;;) {
        if (at >= text.size() || text[at] != '"') return false;
        const size_t key_end = skip_string(text, at);
        if (key_end == kNone) return false;
        // A key spelt with escapes is taken for another key; a feed
        // whose features then go unfound is read whole.
        const bool features = text.substr(at, key_end - at) == "\"features\"";
        at = skip_blanks(text, key_end);
        if (at >= text.size() || text[at] != ':') return false;
        at = skip_blanks(text, at + 1);
        if (features) {
            if (found || at >= text.size() || text[at] != '[') return false;
            if (!outline_features(text, at, piece_bytes, outline)) return false;
            found = true;
            at = outline->array_close + 1;
        } else {
            at = skip_value(text, at);
            if (at == kNone) return false;
        }
        at = skip_blanks(text, at);
        if (at >= text.size()) return false;
        if (text[at] == '}') break;
        if (text[at] != ',') return false;
        at = skip_blanks(text, at + 1);
    }
    return found && skip_blanks(text, at + 1) == text.size();
}

// A copy of some text with the padding simdjson reads past its end, in a
// buffer kept for the next copy.
class PaddedCopy {
public:
    // `first`, `second` and `last` (when not 0) one after the other.
    FeedDocument take(std::string_view first, std::string_view second, char last = 0) {
        const size_t length = first.size() + second.size() + (last != 0 ? 1 : 0);
        const size_t need = length + simdjson::SIMDJSON_PADDING;
        if (need > capacity_) {
            capacity_ = std::max(need, capacity_ + capacity_ / 2);
            buffer_.reset(new char[capacity_]);
        }
        char* out = buffer_.get();
        if (!first.empty()) std::memcpy(out, first.data(), first.size());
        if (!second.empty()) std::memcpy(out + first.size(), second.data(), second.size());
        if (last != 0) out[length - 1] = last;
        std::memset(out + length, ' ', simdjson::SIMDJSON_PADDING);
        FeedDocument document;
        document.data = out;
        document.length = length;
        document.capacity = capacity_;
        return document;
    }

private:
    std::unique_ptr<char[]> buffer_;
    size_t capacity_ = 0;
};

// The messages of a feed named `name`.
class WordedFeed : public FeedSource {
public:
    WordedFeed(std::string_view text, const std::string& name, EventSink& sink) : text_(text), name_(name), sink_(sink) {}

    size_t text_length() const override { return text_.size(); }

    void fail_json(size_t offset, const char* message, bool ends_early) override {
        throw ImportError(place(offset) + ": not valid JSON" + (ends_early ? " (the file ends early)" : "") + ": " +
                          message);
    }

    void fail(FeedFault fault, size_t offset, std::string_view detail) override {
        switch (fault) {
            case FeedFault::not_a_collection: throw ImportError(name_ + ": not a GeoJSON FeatureCollection");
            case FeedFault::other_type:
                throw ImportError(name_ + ": a GeoJSON " + quoted_for_message(detail) +
                                  ", not a FeatureCollection of events");
            case FeedFault::no_features: throw ImportError(name_ + ": the GeoJSON has no \"features\" array");
            case FeedFault::text_after_end:
                throw ImportError(place(offset) + ": text after the end of the GeoJSON document");
            case FeedFault::outline:
                throw ImportError(name_ + ": holds a region outline (" + std::string(detail) +
                                  " geometries), not events; use: sismap-import outline");
        }
        throw ImportError(name_ + ": unreadable GeoJSON");
    }

    void bad(size_t offset, const char* what) override { sink_.bad(place(offset), what); }

protected:
    std::string place(size_t offset) const {
        if (offset == kAtEnd) return name_ + ": at the end (byte " + std::to_string(text_.size()) + ")";
        return name_ + ": byte " + std::to_string(offset);
    }

    std::string_view text_;
    const std::string& name_;
    EventSink& sink_;
};

// The feed whole: its own text when padded, else a padded copy.
class WholeFeed : public WordedFeed {
public:
    WholeFeed(std::string_view text, size_t capacity, const std::string& name, EventSink& sink)
        : WordedFeed(text, name, sink), capacity_(capacity) {}
    FeedDocument collection() override {
        if (capacity_ >= text_.size() + simdjson::SIMDJSON_PADDING) return FeedDocument{text_.data(), text_.size(), capacity_};
        return copy_.take(text_, {});
    }
    size_t piece_count() const override { return 0; }
    FeedDocument piece(size_t) override { return {}; }

private:
    size_t capacity_;
    PaddedCopy copy_;
};

// The feed split: the collection without its features' text, then the
// features a piece at a time, each "[...]" in a small padded copy.
class SplitFeed : public WordedFeed {
public:
    SplitFeed(std::string_view text, FeedOutline outline, const std::string& name, EventSink& sink)
        : WordedFeed(text, name, sink), outline_(std::move(outline)) {}
    FeedDocument collection() override {
        const size_t gap_at = outline_.array_open + 1;
        FeedDocument document = collection_copy_.take(text_.substr(0, gap_at), text_.substr(outline_.array_close));
        document.gap_at = gap_at;
        document.gap_size = outline_.array_close - gap_at;
        return document;
    }
    size_t piece_count() const override { return outline_.pieces.size(); }
    FeedDocument piece(size_t index) override {
        const auto [begin, end] = outline_.pieces[index];
        // "[" + the features + "]"; the brackets stand where the commas
        // (or the array's own brackets) around the piece are.
        FeedDocument document = piece_copy_.take("[", text_.substr(begin, end - begin), ']');
        document.base = begin - 1;
        return document;
    }

private:
    FeedOutline outline_;
    PaddedCopy collection_copy_;
    PaddedCopy piece_copy_;
};

struct Kernel {
    const char* name;
    FeedKernel read;
};

// The kernels compiled in, best first; the builtin one runs anywhere.
const std::vector<Kernel>& compiled_kernels() {
    static const std::vector<Kernel> kernels = {
#ifdef SISMAP_GEOJSON_X86_KERNELS
        {"icelake", &geojson_feed_icelake::read_feed},
        {"haswell", &geojson_feed_haswell::read_feed},
        {"westmere", &geojson_feed_westmere::read_feed},
#endif
        {simdjson::builtin_implementation()->name().c_str(), &geojson_feed_builtin::read_feed},
    };
    return kernels;
}

bool runs_here(const char* kernel) {
    const simdjson::implementation* implementation = simdjson::get_available_implementations()[kernel];
    return implementation != nullptr && implementation->supported_by_runtime_system();
}

// The kernel named `wanted`, or (nullptr) the one simdjson chose for this
// processor when compiled in, else the builtin one.
const Kernel& kernel_for(const char* wanted) {
    const std::vector<Kernel>& kernels = compiled_kernels();
    const std::string chosen = wanted != nullptr ? wanted : simdjson::get_active_implementation()->name();
    for (const Kernel& kernel : kernels)
        if (chosen == kernel.name && (wanted != nullptr || runs_here(kernel.name))) return kernel;
    if (wanted != nullptr) throw ImportError(std::string("no simdjson kernel named ") + wanted + " here");
    return kernels.back();
}

}  // namespace

const char* geojson_kernel() { return kernel_for(nullptr).name; }

std::vector<std::string> geojson_kernels_runnable() {
    std::vector<std::string> names;
    for (const Kernel& kernel : compiled_kernels())
        if (runs_here(kernel.name)) names.emplace_back(kernel.name);
    return names;
}

void read_geojson_catalogue(std::string_view text, size_t capacity, const std::string& name, EventSink& sink) {
    read_geojson_catalogue(text, capacity, name, sink, GeojsonSplit());
}

void read_geojson_catalogue(std::string_view text, size_t capacity, const std::string& name, EventSink& sink,
                            const GeojsonSplit& split) {
    // simdjson takes no byte-order mark; the padding after the text stays.
    const size_t mark = text.size() - without_byte_order_mark(text).size();
    text.remove_prefix(mark);
    capacity -= mark;
    const Kernel& kernel = kernel_for(split.kernel);
    FeedOutline outline;
    if (!split.whole && outline_feed(text, split.piece_bytes, &outline)) {
        SplitFeed feed(text, std::move(outline), name, sink);
        kernel.read(feed, sink);
    } else {
        WholeFeed feed(text, capacity, name, sink);
        kernel.read(feed, sink);
    }
}
