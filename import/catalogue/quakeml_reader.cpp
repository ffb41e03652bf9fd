// QuakeML 1.2 reader.
#include "import/catalogue/quakeml_reader.h"

#include <libxml/xmlreader.h>

#include <array>
#include <cstring>
#include <memory>
#include <vector>

#include "import/iso_time.h"
#include "tool/text_basics.h"

namespace {

bool is_bed_namespace(const xmlChar* uri) {
    if (uri == nullptr) return false;
    const char* text = reinterpret_cast<const char*>(uri);
    return std::strcmp(text, "http://quakeml.org/xmlns/bed/1.2") == 0 ||
           std::strcmp(text, "http://quakeml.org/xmlns/bed-rt/1.2") == 0;
}

// The elements the reader looks at, below <event>.
enum class Tag { other, type, preferred_origin, preferred_magnitude, origin, magnitude, time, latitude, longitude, mag, value };

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

struct Origin {
    std::string id;
    std::string time;
    std::string latitude;
    std::string longitude;
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
};

std::string attribute(xmlTextReaderPtr reader, const char* name) {
    xmlChar* value = xmlTextReaderGetAttribute(reader, reinterpret_cast<const xmlChar*>(name));
    if (value == nullptr) return {};
    std::string out(reinterpret_cast<const char*>(value));
    xmlFree(value);
    return out;
}


// The line of the reader's current node (the parser itself reads ahead).
long node_line(xmlTextReaderPtr reader) {
    const xmlNodePtr node = xmlTextReaderCurrentNode(reader);
    return node != nullptr ? xmlGetLineNo(node) : 0;
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

// The reader's state for one file.
class QuakemlReader {
public:
    QuakemlReader(const ReadBytes& read, const std::string& name, EventSink& sink)
        : read_(read), name_(name), sink_(sink) {}

    void read() {
        using ReaderPtr = std::unique_ptr<xmlTextReader, decltype(&xmlFreeTextReader)>;
        // No network, no DTD loading and no entity substitution: a file
        // cannot make the reader fetch anything or expand without bound.
        ReaderPtr reader(xmlReaderForIO(&QuakemlReader::read_callback, nullptr, this, nullptr, nullptr,
                                        XML_PARSE_NONET | XML_PARSE_NOWARNING),
                         &xmlFreeTextReader);
        if (!reader) throw ImportError(name_ + ": cannot start the XML reader");
        xmlTextReaderSetStructuredErrorHandler(reader.get(), &QuakemlReader::on_error, this);
        // Encoding and I/O errors go to libxml2's process-wide handlers,
        // which would print on standard error: they come here too while this
        // file is read.
        const ErrorHandlersTaken taken(this, &QuakemlReader::on_error);

        int result = 0;
        while ((result = xmlTextReaderRead(reader.get())) == 1) step(reader.get());
        if (!read_error_.empty()) throw ImportError(name_ + ": " + read_error_);
        if (result < 0 || !xml_error_.empty()) {
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
    static int read_callback(void* context, char* buffer, int length) {
        auto* self = static_cast<QuakemlReader*>(context);
        try {
            const size_t got = self->read_(buffer, static_cast<size_t>(length));
            if (got == 0) self->input_ended_ = true;
            return static_cast<int>(got);
        } catch (const ImportError& e) {
            self->read_error_ = e.what();
            return -1;
        }
    }

    static void on_error(void* context, xmlErrorPtr error) {
        auto* self = static_cast<QuakemlReader*>(context);
        if (error == nullptr || error->level < XML_ERR_ERROR || !self->xml_error_.empty()) return;
        self->xml_error_ = error->message != nullptr ? error->message : "unknown error";
        while (!self->xml_error_.empty() && self->xml_error_.back() == '\n') self->xml_error_.pop_back();
        // One line: libxml2 puts the offending bytes on a line of their own.
        for (char& c : self->xml_error_) c = (c == '\n') ? ' ' : c;
        self->error_line_ = error->line;
    }

    void step(xmlTextReaderPtr reader) {
        const int type = xmlTextReaderNodeType(reader);
        if (type == XML_READER_TYPE_ELEMENT) {
            start_element(reader);
        } else if (type == XML_READER_TYPE_END_ELEMENT) {
            end_element(reader);
        } else if ((type == XML_READER_TYPE_TEXT || type == XML_READER_TYPE_CDATA) && target_ != nullptr) {
            const xmlChar* value = xmlTextReaderConstValue(reader);
            if (value == nullptr) return;
            const size_t length = std::strlen(reinterpret_cast<const char*>(value));
            if (target_->size() + length > kLongestValue) {
                event_.too_long = true;
                return;
            }
            target_->append(reinterpret_cast<const char*>(value), length);
        }
    }

    void start_element(xmlTextReaderPtr reader) {
        const char* local = reinterpret_cast<const char*>(xmlTextReaderConstLocalName(reader));
        const int depth = xmlTextReaderDepth(reader);
        const bool empty = xmlTextReaderIsEmptyElement(reader) != 0;
        if (!seen_root_) {
            seen_root_ = true;
            if (local == nullptr || std::strcmp(local, "quakeml") != 0)
                throw ImportError(name_ + ":" + std::to_string(node_line(reader)) +
                                  ": the root element is <" + (local ? local : "?") + ">, not QuakeML's <quakeml>");
            return;
        }
        if (local == nullptr) return;
        const bool bed = is_bed_namespace(xmlTextReaderConstNamespaceUri(reader));
        if (event_depth_ < 0) {
            if (bed && std::strcmp(local, "event") == 0 && !empty) {
                event_depth_ = depth;
                event_ = EventParts();
                event_.line = node_line(reader);
            } else if (bed && std::strcmp(local, "event") == 0) {
                event_ = EventParts();
                event_.line = node_line(reader);
                finish_event();
            }
            return;
        }
        const int level = depth - event_depth_;  // 1 for a child of <event>
        if (level < 1 || level > 3) return;
        path_[static_cast<size_t>(level)] = bed ? tag_of(local) : Tag::other;
        target_ = nullptr;
        const Tag a = path_[1];
        if (level == 1 && a == Tag::origin) {
            event_.origins.push_back(Origin{attribute(reader, "publicID"), {}, {}, {}});
        } else if (level == 1 && a == Tag::magnitude) {
            event_.magnitudes.push_back(Magnitude{attribute(reader, "publicID"), {}});
        }
        if (empty) return;
        if (level == 1) {
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
            } else if (a == Tag::magnitude && b == Tag::mag && !event_.magnitudes.empty()) {
                target_ = &event_.magnitudes.back().value;
            }
        }
    }

    void end_element(xmlTextReaderPtr reader) {
        target_ = nullptr;
        if (event_depth_ >= 0 && xmlTextReaderDepth(reader) == event_depth_) {
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
    std::string read_error_;
    std::string xml_error_;
    int error_line_ = 0;
    bool input_ended_ = false;
    bool seen_root_ = false;
    int event_depth_ = -1;  // depth of the open <event>, -1 outside one
    std::array<Tag, 4> path_{};
    std::string* target_ = nullptr;  // the value whose text is being read
    EventParts event_;
};

}  // namespace

void read_quakeml_catalogue(const ReadBytes& read, const std::string& name, EventSink& sink) {
    QuakemlReader(read, name, sink).read();
}
