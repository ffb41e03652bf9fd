// QuakeML 1.2 reader.
#include "import/downloads/quakeml_reader.h"

#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>

#include <array>
#include <cstring>
#include <exception>
#include <memory>
#include <string_view>
#include <vector>

#include "tool/selection/iso_time.h"
#include "tool/text_basics.h"

namespace {

bool is_bed_namespace(const xmlChar* uri) {
    if (uri == nullptr) return false;
    const char* text = reinterpret_cast<const char*>(uri);
    return std::strcmp(text, "http://quakeml.org/xmlns/bed/1.2") == 0 ||
           std::strcmp(text, "http://quakeml.org/xmlns/bed-rt/1.2") == 0;
}

// The elements the reader looks at, below <event>.
enum class Tag { other, type, preferred_origin, preferred_magnitude, origin, magnitude, time, latitude, longitude, depth, mag, value };

Tag tag_of(const char* name) {
    static const std::pair<const char*, Tag> kTags[] = {
        {"type", Tag::type},
        {"preferredOriginID", Tag::preferred_origin},
        {"preferredMagnitudeID", Tag::preferred_magnitude},
        {"origin", Tag::origin},
        {"magnitude", Tag::magnitude},
        {"time", Tag::time},
        {"latitude", Tag::latitude},
        {"longitude", Tag::longitude},
        {"depth", Tag::depth},
        {"mag", Tag::mag},
        {"value", Tag::value},
    };
    for (const auto& [text, tag] : kTags)
        if (std::strcmp(name, text) == 0) return tag;
    return Tag::other;
}

// Longest text kept of one value; real values are far shorter, and the
// limit keeps memory bounded whatever the file holds.
constexpr size_t kLongestValue = 512;

// Bytes handed to the parser at a time.
constexpr size_t kPiece = size_t{256} << 10;

struct Origin {
    std::string id;
    std::string time;
    std::string latitude;
    std::string longitude;
    std::string depth;  // metres, positive down
};

struct Magnitude {
    std::string id;
    std::string value;
};

// What one <event> holds that the importer needs.
struct EventParts {
    long line = 0;
    std::string type;
    std::string preferred_origin;
    std::string preferred_magnitude;
    std::vector<Origin> origins;
    std::vector<Magnitude> magnitudes;
    bool too_long = false;

    // Empties the parts but keeps their memory for the next event.
    void clear() {
        line = 0;
        type.clear();
        preferred_origin.clear();
        preferred_magnitude.clear();
        origins.clear();
        magnitudes.clear();
        too_long = false;
    }
};

// The value of the attribute `name` (without a namespace) among SAX2's
// attributes: five pointers each (local name, prefix, URI, value start and
// end); empty when absent.
std::string attribute(int count, const xmlChar** attributes, const char* name) {
    for (int i = 0; i < count; ++i) {
        const xmlChar** at = attributes + 5 * i;
        if (at[2] == nullptr && std::strcmp(reinterpret_cast<const char*>(at[0]), name) == 0)
            return std::string(reinterpret_cast<const char*>(at[3]), reinterpret_cast<const char*>(at[4]));
    }
    return {};
}


// True for libxml2's messages about a document that stops short (a cut at
// a "<" reads as content after the document).
bool sounds_truncated(const std::string& message) {
    for (const char* start : {"Premature end", "Extra content at the end", "EndTag", "Couldn't find end"})
        if (message.rfind(start, 0) == 0) return true;
    return false;
}

// libxml2's process-wide error handlers pointed at one reader's handler for
// as long as this object lives, then back to libxml2's defaults.
class ErrorHandlersTaken {
public:
    ErrorHandlersTaken(void* context, xmlStructuredErrorFunc handler) {
        xmlSetStructuredErrorFunc(context, handler);
        xmlSetGenericErrorFunc(nullptr, &drop_generic);
    }
    ~ErrorHandlersTaken() {
        xmlSetStructuredErrorFunc(nullptr, nullptr);
        xmlSetGenericErrorFunc(nullptr, nullptr);
    }
    ErrorHandlersTaken(const ErrorHandlersTaken&) = delete;
    ErrorHandlersTaken& operator=(const ErrorHandlersTaken&) = delete;

private:
    // Generic messages repeat what the structured ones say, in pieces.
    static void drop_generic(void*, const char*, ...) {}
};

// The reader's state for one file: libxml2's SAX2 push parser calls back for
// each element and piece of text, and nothing is built in between.
class QuakemlReader {
public:
    QuakemlReader(const ReadBytes& read, const std::string& name, EventSink& sink)
        : read_(read), name_(name), sink_(sink) {}

    void read() {
        xmlSAXHandler handler;
        std::memset(&handler, 0, sizeof handler);
        handler.initialized = XML_SAX2_MAGIC;
        handler.startElementNs = &QuakemlReader::on_start;
        handler.endElementNs = &QuakemlReader::on_end;
        handler.characters = &QuakemlReader::on_text;
        handler.cdataBlock = &QuakemlReader::on_text;
        handler.serror = &QuakemlReader::on_error;
        // Encoding and I/O errors go to libxml2's process-wide handlers,
        // which would print on standard error: they come here too while this
        // file is read.
        const ErrorHandlersTaken taken(this, &QuakemlReader::on_error);

        std::unique_ptr<char[]> buffer(new char[kPiece]);
        // The first bytes tell the parser the encoding (byte-order mark,
        // UTF-16); the rest goes in pieces.
        size_t got = fill(buffer.get(), 4);
        using ContextPtr = std::unique_ptr<xmlParserCtxt, decltype(&free_context)>;
        ContextPtr context(xmlCreatePushParserCtxt(&handler, this, buffer.get(), static_cast<int>(got), nullptr),
                           &free_context);
        if (!context) throw ImportError(name_ + ": cannot start the XML reader");
        context_ = context.get();
        // No network, no DTD loading and no entity substitution: a file
        // cannot make the reader fetch anything or expand without bound.
        xmlCtxtUseOptions(context_, XML_PARSE_NONET | XML_PARSE_NOWARNING);

        while (!stopped()) {
            got = fill(buffer.get(), kPiece);
            xmlParseChunk(context_, buffer.get(), static_cast<int>(got), got == 0 ? 1 : 0);
            if (got == 0) break;
        }
        if (failure_) std::rethrow_exception(failure_);
        if (!read_error_.empty()) throw ImportError(name_ + ": " + read_error_);
        if (!xml_error_.empty() || !context_->wellFormed) {
            // libxml2 words a file cut short in many ways; say it plainly.
            const std::string place = error_line_ > 0 ? name_ + ":" + std::to_string(error_line_) : name_;
            throw ImportError(place + ": not well-formed XML" +
                              (input_ended_ && sounds_truncated(xml_error_)
                                   ? " (the file ends early or has content after the document)"
                                   : "") +
                              ": " + (xml_error_.empty() ? std::string("unreadable") : xml_error_));
        }
        if (!seen_root_) throw ImportError(name_ + ": no XML element at all");
    }

private:
    // The parser and the document libxml2 builds on its own in SAX mode to
    // keep entity declarations (for expat's behaviour), which freeing the
    // parser leaves behind.
    static void free_context(xmlParserCtxtPtr context) {
        if (context->myDoc != nullptr) xmlFreeDoc(context->myDoc);
        context->myDoc = nullptr;
        xmlFreeParserCtxt(context);
    }

    bool stopped() const { return failure_ || !xml_error_.empty() || !read_error_.empty(); }

    // Fills as much of `buffer` (up to `room` bytes) as the file has; 0 at
    // its end.
    size_t fill(char* buffer, size_t room) {
        size_t filled = 0;
        try {
            while (filled < room && !input_ended_) {
                const size_t got = read_(buffer + filled, room - filled);
                if (got == 0) input_ended_ = true;
                filled += got;
            }
        } catch (const ImportError& e) {
            read_error_ = e.what();
            return 0;
        }
        return filled;
    }

    static QuakemlReader& self_of(void* context) { return *static_cast<QuakemlReader*>(context); }

    long line() const { return static_cast<long>(xmlSAX2GetLineNumber(context_)); }

    // A failure in a callback (a bad event without --skip-bad) stops the
    // parser; C++ exceptions must not cross libxml2's C frames, so it is
    // thrown again once the parser returns.
    void stop_with(std::exception_ptr failure) {
        failure_ = std::move(failure);
        xmlStopParser(context_);
    }

    static void on_error(void* context, xmlErrorPtr error) {
        QuakemlReader& self = self_of(context);
        if (error == nullptr || error->level < XML_ERR_ERROR || !self.xml_error_.empty() || self.failure_) return;
        self.xml_error_ = error->message != nullptr ? error->message : "unknown error";
        while (!self.xml_error_.empty() && self.xml_error_.back() == '\n') self.xml_error_.pop_back();
        // One line: libxml2 puts the offending bytes on a line of their own.
        for (char& c : self.xml_error_) c = (c == '\n') ? ' ' : c;
        self.error_line_ = error->line;
    }

    static void on_start(void* context, const xmlChar* local, const xmlChar*, const xmlChar* uri, int, const xmlChar**,
                         int attribute_count, int, const xmlChar** attributes) {
        QuakemlReader& self = self_of(context);
        if (self.failure_) return;
        try {
            self.start_element(reinterpret_cast<const char*>(local), uri, attribute_count, attributes);
        } catch (...) {
            self.stop_with(std::current_exception());
        }
    }

    static void on_end(void* context, const xmlChar*, const xmlChar*, const xmlChar*) {
        QuakemlReader& self = self_of(context);
        if (self.failure_) return;
        try {
            self.end_element();
        } catch (...) {
            self.stop_with(std::current_exception());
        }
    }

    static void on_text(void* context, const xmlChar* text, int length) {
        QuakemlReader& self = self_of(context);
        std::string* target = self.target_;
        if (target == nullptr) return;
        if (target->size() + static_cast<size_t>(length) > kLongestValue) {
            self.event_.too_long = true;
            return;
        }
        target->append(reinterpret_cast<const char*>(text), static_cast<size_t>(length));
    }

    // libxml2 hands names and namespaces from its dictionary, one pointer
    // for each distinct text for as long as the parser lives: the reader
    // compares each text once and remembers the pointer.
    bool in_bed(const xmlChar* uri) {
        if (uri == nullptr) return false;
        if (uri == bed_uri_) return true;
        if (uri == other_uri_) return false;
        if (!is_bed_namespace(uri)) {
            other_uri_ = uri;
            return false;
        }
        bed_uri_ = uri;
        return true;
    }

    Tag cached_tag(const char* local) {
        for (const auto& [name, tag] : tags_)
            if (name == local) return tag;
        const Tag tag = tag_of(local);
        // A file with very many distinct names gets no more entries.
        if (tags_.size() < kCachedNames) tags_.emplace_back(local, tag);
        return tag;
    }

    void start_element(const char* local, const xmlChar* uri, int attribute_count, const xmlChar** attributes) {
        const int depth = ++depth_;
        target_ = nullptr;
        if (!seen_root_) {
            seen_root_ = true;
            if (std::strcmp(local, "quakeml") != 0)
                throw ImportError(name_ + ":" + std::to_string(line()) + ": the root element is <" + local +
                                  ">, not QuakeML's <quakeml>");
            return;
        }
        if (event_depth_ < 0) {
            if (std::strcmp(local, "event") == 0 && in_bed(uri)) {
                event_depth_ = depth;
                event_.clear();
                event_.line = line();
            }
            return;
        }
        const int level = depth - event_depth_;  // 1 for a child of <event>
        if (level < 1 || level > 3) return;
        path_[static_cast<size_t>(level)] = in_bed(uri) ? cached_tag(local) : Tag::other;
        const Tag a = path_[1];
        if (level == 1) {
            if (a == Tag::origin)
                event_.origins.push_back(Origin{attribute(attribute_count, attributes, "publicID"), {}, {}, {}, {}});
            if (a == Tag::magnitude)
                event_.magnitudes.push_back(Magnitude{attribute(attribute_count, attributes, "publicID"), {}});
            if (a == Tag::type) target_ = &event_.type;
            if (a == Tag::preferred_origin) target_ = &event_.preferred_origin;
            if (a == Tag::preferred_magnitude) target_ = &event_.preferred_magnitude;
        } else if (level == 3 && path_[3] == Tag::value) {
            const Tag b = path_[2];
            if (a == Tag::origin && !event_.origins.empty()) {
                Origin& origin = event_.origins.back();
                if (b == Tag::time) target_ = &origin.time;
                if (b == Tag::latitude) target_ = &origin.latitude;
                if (b == Tag::longitude) target_ = &origin.longitude;
                if (b == Tag::depth) target_ = &origin.depth;
            } else if (a == Tag::magnitude && b == Tag::mag && !event_.magnitudes.empty()) {
                target_ = &event_.magnitudes.back().value;
            }
        }
    }

    void end_element() {
        target_ = nullptr;
        if (depth_-- == event_depth_) {
            event_depth_ = -1;
            finish_event();
        }
    }

    void finish_event() {
        sink_.count_read();
        const std::string where = name_ + ":" + std::to_string(event_.line);
        if (event_.too_long) return sink_.bad(where, "the event holds a value longer than " +
                                                        std::to_string(kLongestValue) + " characters");
        const Origin* origin = nullptr;
        const std::string_view preferred_origin = trim_blanks(event_.preferred_origin);
        for (const Origin& candidate : event_.origins) {
            if (preferred_origin.empty() || trim_blanks(candidate.id) == preferred_origin) {
                origin = &candidate;
                break;
            }
        }
        if (origin == nullptr) {
            return sink_.bad(where, preferred_origin.empty()
                                        ? std::string("the event has no origin")
                                        : "preferredOriginID " + quoted_for_message(preferred_origin) +
                                              " names no origin of the event");
        }
        RawEvent event;
        const std::optional<int64_t> time = parse_iso_time(trim_blanks(origin->time));
        if (!time) {
            return sink_.bad(where, "origin time " + quoted_for_message(trim_blanks(origin->time)) +
                                        " is not an ISO 8601 date and time");
        }
        const std::optional<double> latitude = parse_decimal(trim_blanks(origin->latitude));
        const std::optional<double> longitude = parse_decimal(trim_blanks(origin->longitude));
        if (!latitude) return sink_.bad(where, "origin latitude " + quoted_for_message(trim_blanks(origin->latitude)) + " is not a number");
        if (!longitude) return sink_.bad(where, "origin longitude " + quoted_for_message(trim_blanks(origin->longitude)) + " is not a number");
        event.time_us = *time;
        event.latitude = *latitude;
        event.longitude = *longitude;
        // QuakeML gives depth in metres; a depth that is no number is left out.
        if (const std::optional<double> metres = parse_decimal(trim_blanks(origin->depth))) event.depth_km = *metres / 1000.0;

        const std::string_view preferred_magnitude = trim_blanks(event_.preferred_magnitude);
        const Magnitude* magnitude = nullptr;
        for (const Magnitude& candidate : event_.magnitudes) {
            if (preferred_magnitude.empty() || trim_blanks(candidate.id) == preferred_magnitude) {
                magnitude = &candidate;
                break;
            }
        }
        if (magnitude == nullptr && !preferred_magnitude.empty()) {
            return sink_.bad(where, "preferredMagnitudeID " + quoted_for_message(preferred_magnitude) +
                                        " names no magnitude of the event");
        }
        if (magnitude != nullptr && !trim_blanks(magnitude->value).empty()) {
            event.magnitude = parse_decimal(trim_blanks(magnitude->value));
            if (!event.magnitude)
                return sink_.bad(where, "magnitude " + quoted_for_message(trim_blanks(magnitude->value)) + " is not a number");
        }
        const std::string_view type = trim_blanks(event_.type);
        event.type = type;
        if (const char* problem = sink_.offer(event)) sink_.bad(where, problem);
    }

    const ReadBytes& read_;
    const std::string& name_;
    EventSink& sink_;
    xmlParserCtxtPtr context_ = nullptr;
    std::exception_ptr failure_;  // thrown in a callback, thrown again after the parser returns
    std::string read_error_;
    std::string xml_error_;
    int error_line_ = 0;
    bool input_ended_ = false;
    bool seen_root_ = false;
    int depth_ = 0;         // of the open element, 1 for the root
    int event_depth_ = -1;  // depth of the open <event>, -1 outside one
    std::array<Tag, 4> path_{};
    std::string* target_ = nullptr;  // the value whose text is being read
    EventParts event_;
    const xmlChar* bed_uri_ = nullptr;
    const xmlChar* other_uri_ = nullptr;
    static constexpr size_t kCachedNames = 32;
    std::vector<std::pair<const char*, Tag>> tags_;
};

}  // namespace

void read_quakeml_catalogue(const ReadBytes& read, const std::string& name, EventSink& sink) {
    QuakemlReader(read, name, sink).read();
}
