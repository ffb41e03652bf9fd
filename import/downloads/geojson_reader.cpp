// GeoJSON event feed reader: splitting the feed into pieces and choosing the
// simdjson kernel that reads them.
#include "import/downloads/geojson_reader.h"

#include <simdjson.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "import/downloads/geojson_feed.h"
#include "tool/text_basics.h"

FeedSource::~FeedSource() = default;

namespace {

constexpr size_t kNone = static_cast<size_t>(-1);
// The largest GeoJSON read whole (simdjson's copy and index of it cost
// several times its size); larger feeds are read a feature at a time.
constexpr size_t kLargestWholeRead = 64u << 20;
// What one JSON string or feature, one number or literal and the nesting
// may come to before the splitter gives up on the text.
constexpr size_t kLongestString = 64u << 20;
constexpr size_t kLongestWord = 4096;
constexpr size_t kDeepestNesting = 1024;

size_t skip_blanks(std::string_view text, size_t at) {
    while (at < text.size() && is_blank(text[at])) ++at;
    return at;
}

// True when any of the eight bytes in `word` is `byte` (no false answers:
// the borrow of the subtraction only runs past a byte that matched).
inline bool holds_byte(uint64_t word, unsigned char byte) {
    constexpr uint64_t kOnes = 0x0101010101010101ULL;
    constexpr uint64_t kHighs = 0x8080808080808080ULL;
    const uint64_t x = word ^ (kOnes * byte);
    return ((x - kOnes) & ~x & kHighs) != 0;
}

// Index just past the string whose opening quote is at `at`; kNone when
// the text ends inside it. Eight bytes at a time while they hold neither a
// quote nor a backslash: most of a feed's bytes are in strings.
// A string longer than kLongestString counts as not closing: no catalogue
// holds one, and following it would read a huge file through.
size_t skip_string(std::string_view text, size_t at) {
    const char* data = text.data();
    const size_t size = std::min(text.size(), at + kLongestString);
    size_t i = at + 1;
    for (;;) {
        while (i + 8 <= size) {
            uint64_t word;
            std::memcpy(&word, data + i, 8);
            if (holds_byte(word, '"') || holds_byte(word, '\\')) break;
            i += 8;
        }
        if (i >= size) return kNone;
        const char c = data[i];
        if (c == '"') return i + 1;
        i += c == '\\' ? 2 : 1;
    }
}

// Index just past the value starting at `at`, which is no string; kNone
// when its brackets do not close, or it holds what simdjson would cut
// elsewhere. Only strings and brackets are followed: the pieces are
// checked by simdjson when read.
size_t skip_value(std::string_view text, size_t at) {
    const size_t size = text.size();
    if (at >= size) return kNone;
    if (text[at] == '"') return skip_string(text, at);
    if (text[at] != '{' && text[at] != '[') {
        size_t end = at;
        while (end < size && !is_blank(text[end]) && text[end] != ',' && text[end] != '}' && text[end] != ']') {
            if (end - at > kLongestWord) return kNone;  // no number or literal is so long
            // No JSON word or number holds these; simdjson would cut such
            // a value elsewhere than here.
            const char c = text[end];
            if (c == '"' || c == '\\' || c == '{' || c == '[' || c == ':') return kNone;
            ++end;
        }
        return end > at ? end : kNone;
    }
    size_t depth = 0;
    for (size_t i = at; i < size; ++i) {
        const char c = text[i];
        if (c == '"') {
            i = skip_string(text, i);
            if (i == kNone) return kNone;
            --i;
        } else if (c == '\\') {
            return kNone;  // see stray_backslash
        } else if (c == '{' || c == '[') {
            if (++depth > kDeepestNesting) return kNone;  // deeper than simdjson reads
        } else if (c == '}' || c == ']') {
            if (--depth == 0) return i + 1;
        }
    }
    return kNone;
}

// Where the first backslash outside a string stands; kNone when there is
// none, or when a string does not close (simdjson then says so). JSON has
// no such backslash, and simdjson takes one for an escape even there: the
// quote after it opens no string, so the splitter, which follows strings
// as JSON has them, would cut the text elsewhere than simdjson reads it.
// The splitter gives up at one, and the whole reading refuses it.
size_t stray_backslash(std::string_view text) {
    for (size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '"') {
            at = skip_string(text, at);
            if (at == kNone) return kNone;
            --at;
        } else if (text[at] == '\\') {
            return at;
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
class FeaturesOutliner {
public:
    FeaturesOutliner(std::string_view text, size_t open, size_t piece_bytes, FeedOutline* outline)
        : text_(text), open_(open), piece_bytes_(piece_bytes), outline_(outline), piece_begin_(open + 1),
          element_begin_(open + 1) {}

    bool run() {
        const char* data = text_.data();
        size_t at = open_ + 1;
#if defined(__SSE2__)
        // 64 bytes at a time: the brackets and commas outside strings are
        // found from bit masks; a block with a backslash, or one that starts
        // right after one, goes byte by byte.
        for (; at + 64 <= text_.size(); at += 64) {
            if (at - element_begin_ > kLongestString) return false;  // one feature of many megabytes: no feed's
            const Masks masks = classify(data + at);
            if (masks.backslashes != 0 || escape_pending_) {
                for (size_t i = at; i < at + 64; ++i)
                    if (const Step step = byte(i); step != Step::go_on) return step == Step::closed;
                continue;
            }
            uint64_t inside = prefix_xor(masks.quotes) ^ (in_string_ ? ~uint64_t{0} : 0);
            in_string_ = (inside >> 63) != 0;
            for (uint64_t marks = masks.structural & ~inside; marks != 0; marks &= marks - 1) {
                const size_t i = at + static_cast<size_t>(__builtin_ctzll(marks));
                if (const Step step = structural(i, data[i]); step != Step::go_on) return step == Step::closed;
            }
        }
#endif
        for (; at < text_.size(); ++at) {
            if (at - element_begin_ > kLongestString) return false;
            if (const Step step = byte(at); step != Step::go_on) return step == Step::closed;
        }
        return false;
    }

private:
    enum class Step { go_on, closed, refused };

#if defined(__SSE2__)
    struct Masks {
        uint64_t quotes = 0;
        uint64_t backslashes = 0;
        uint64_t structural = 0;  // { } [ ] ,
    };

    static Masks classify(const char* block) {
        Masks masks;
        for (int part = 0; part < 4; ++part) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * part));
            const auto mask = [&](char c) {
                return static_cast<uint64_t>(
                           static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(c)))))
                       << (16 * part);
            };
            masks.quotes |= mask('"');
            masks.backslashes |= mask('\\');
            masks.structural |= mask('{') | mask('}') | mask('[') | mask(']') | mask(',');
        }
        return masks;
    }

    // Bit i set when an odd number of bits up to i are set in `x`: inside a
    // string (its opening quote included), given no escaped quote.
    static uint64_t prefix_xor(uint64_t x) {
        x ^= x << 1;
        x ^= x << 2;
        x ^= x << 4;
        x ^= x << 8;
        x ^= x << 16;
        x ^= x << 32;
        return x;
    }
#endif

    Step byte(size_t i) {
        const char c = text_[i];
        if (in_string_) {
            if (escape_pending_) {
                escape_pending_ = false;
            } else if (c == '\\') {
                escape_pending_ = true;
            } else if (c == '"') {
                in_string_ = false;
            }
            return Step::go_on;
        }
        if (c == '"') {
            in_string_ = true;
            return Step::go_on;
        }
        if (c == '\\') return Step::refused;  // see stray_backslash
        if (c == '{' || c == '}' || c == '[' || c == ']' || c == ',') return structural(i, c);
        return Step::go_on;
    }

    // A bracket or comma outside strings.
    Step structural(size_t i, char c) {
        if (c == '{' || c == '[') {
            ++depth_;
        } else if (c == '}' || c == ']') {
            if (depth_ > 0) {
                --depth_;
                return Step::go_on;
            }
            if (c != ']') return Step::refused;
            // An empty array has no piece; a comma before "]" is refused.
            if (element_empty(i)) {
                if (element_begin_ != open_ + 1) return Step::refused;
            } else {
                outline_->pieces.emplace_back(piece_begin_, i);
            }
            outline_->array_open = open_;
            outline_->array_close = i;
            return Step::closed;
        } else if (depth_ == 0) {  // a comma between features
            if (element_empty(i)) return Step::refused;
            element_begin_ = i + 1;
            if (i - piece_begin_ >= piece_bytes_) {
                outline_->pieces.emplace_back(piece_begin_, i);
                piece_begin_ = i + 1;
            }
        }
        return Step::go_on;
    }

    bool element_empty(size_t end) const { return skip_blanks(text_, element_begin_) >= end; }

    std::string_view text_;
    size_t open_;
    size_t piece_bytes_;
    FeedOutline* outline_;
    size_t piece_begin_;
    size_t element_begin_;
    size_t depth_ = 0;
    bool in_string_ = false;
    bool escape_pending_ = false;
};

bool outline_features(std::string_view text, size_t open, size_t piece_bytes, FeedOutline* outline) {
    return FeaturesOutliner(text, open, piece_bytes, outline).run();
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

    void feature(size_t offset, const FeatureParts& parts) override {
        sink_.count_read();
        if (parts.problem != nullptr) return sink_.bad(place(offset), parts.problem);
        if (!parts.has_time)
            return sink_.bad(place(offset), "the feature has no \"time\" in milliseconds within the years 0001 to 9999");
        if (!parts.has_coordinates || !parts.has_latitude || !parts.has_longitude)
            return sink_.bad(place(offset), "the feature has no [longitude, latitude] coordinates");
        RawEvent event;
        event.time_us = parts.time_us;
        event.latitude = parts.latitude;
        event.longitude = parts.longitude;
        if (parts.has_magnitude) event.magnitude = parts.magnitude;
        if (parts.has_depth && std::isfinite(parts.depth_km)) event.depth_km = parts.depth_km;
        if (parts.type != nullptr) event.type = std::string_view(parts.type, parts.type_length);
        if (const char* problem = sink_.offer(event)) sink_.bad(place(offset), problem);
    }

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
        kernel.read(feed);
    } else {
        WholeFeed feed(text, capacity, name, sink);
        // Read whole, the document is copied and indexed at several times
        // its size: a large one that does not split into its features is
        // refused before that, in flat memory, and text after the one value
        // is told as such rather than as a file that ends early.
        if (text.size() > kLargestWholeRead)
            throw ImportError(name + ": not read: GeoJSON of over " + std::to_string(kLargestWholeRead >> 20) +
                              " MB is read a feature at a time, and this one does not split so (a value runs on "
                              "for megabytes, the file ends early, or it is not a FeatureCollection)");
        const size_t end = skip_value(text, skip_blanks(text, 0));
        if (end != kNone && skip_blanks(text, end) < text.size())
            feed.fail(FeedFault::text_after_end, skip_blanks(text, end), {});
        if (const size_t at = stray_backslash(text); at != kNone)
            feed.fail_json(at, "A backslash stands outside a string.", false);
        kernel.read(feed);
    }
}
