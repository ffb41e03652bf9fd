// Service table, query URLs and answer classification.
#include "import/fetch/fdsn_query.h"

#include <curl/curl.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "tool/selection/iso_time.h"
#include "tool/text_basics.h"

namespace {

constexpr std::string_view kServicePath = "/fdsnws/event/1";

// Plain decimals (no exponent, which not every service reads), as few as
// read back as the same number.
std::string query_number(double value) {
    char text[400];
    for (int decimals = 0; decimals < 17; ++decimals) {
        std::snprintf(text, sizeof text, "%.*f", decimals, value);
        if (std::strtod(text, nullptr) == value) break;
    }
    return text;
}

}  // namespace

std::string query_time(int64_t us) {
    const CivilTime t = civil_time(us);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return text;
}

const std::vector<KnownService>& known_services() {
    static const std::vector<KnownService> kServices = {
        {"usgs", "https://earthquake.usgs.gov/fdsnws/event/1"},
        {"emsc", "https://www.seismicportal.eu/fdsnws/event/1"},
        {"isc", "https://www.isc.ac.uk/fdsnws/event/1"},
        {"geofon", "https://geofon.gfz-potsdam.de/fdsnws/event/1"},
        {"ingv", "https://webservices.ingv.it/fdsnws/event/1"},
    };
    return kServices;
}

namespace {

// What is wrong with the port of `url` (its host starting at `host`), read
// with libcurl's URL parser; empty when it names one from 1 to 65535 or none.
std::string port_fault(const std::string& url, size_t host) {
    // libcurl takes "HOST:/" for no port at all; a colon with nothing after
    // it is a port left out by mistake.
    const size_t authority_end = url.find('/', host);
    if (authority_end != std::string::npos && authority_end > host && url[authority_end - 1] == ':')
        return "is empty; give a number from 1 to 65535, or leave out the colon";
    CURLU* parsed = curl_url();
    if (parsed == nullptr) return "cannot be read (out of memory)";
    std::string fault;
    const CURLUcode status = curl_url_set(parsed, CURLUPART_URL, url.c_str(), 0);
    char* port = nullptr;
    if (status != CURLUE_OK) {
        fault = std::string("is not valid: ") + curl_url_strerror(status);
    } else if (curl_url_get(parsed, CURLUPART_PORT, &port, 0) == CURLUE_OK && port != nullptr &&
               std::string(port) == "0") {
        fault = "is 0; give a number from 1 to 65535";
    }
    curl_free(port);
    curl_url_cleanup(parsed);
    return fault;
}

}  // namespace

std::optional<Service> find_service(const std::string& text, std::string* error) {
    const std::string lower = ascii_lower(text);
    for (const KnownService& known : known_services())
        if (lower == known.name) return Service{known.name, known.base_url};
    std::string url = text;
    while (!url.empty() && url.back() == '/') url.pop_back();
    const size_t scheme_end = url.find("://");
    const std::string scheme = scheme_end == std::string::npos ? std::string() : ascii_lower(url.substr(0, scheme_end));
    const size_t host = scheme_end + 3;
    const bool has_host = (scheme == "http" || scheme == "https") && url.size() > host + kServicePath.size() &&
                          url[host] != '/' &&
                          url.compare(url.size() - kServicePath.size(), kServicePath.size(), kServicePath) == 0;
    bool plain = true;  // no blanks, control bytes, query or fragment
    for (char c : url) plain = plain && static_cast<unsigned char>(c) > 0x20 && c != 0x7F && c != '?' && c != '#';
    if (has_host && plain) {
        if (const std::string fault = port_fault(url, host); !fault.empty()) {
            *error = "the port of \"" + text + "\" " + fault;
            return std::nullopt;
        }
        return Service{url, url};
    }
    std::string names;
    for (const KnownService& known : known_services()) names += std::string(names.empty() ? "" : ", ") + known.name;
    *error = "neither a known service (" + names + ") nor a base URL http(s)://HOST[:PORT]/.../fdsnws/event/1: \"" +
             text + "\"";
    return std::nullopt;
}

std::vector<Region> query_boxes(const std::optional<Region>& region) {
    if (!region) return {Region()};
    if (region->west <= region->east) return {Region{region->south, region->north, region->west, region->east}};
    return {Region{region->south, region->north, region->west, 180.0},
            Region{region->south, region->north, -180.0, region->east}};
}

std::string query_url(const std::string& base_url, int64_t from_us, int64_t to_us, const Region& box,
                      const std::optional<double>& min_magnitude, uint64_t limit,
                      const std::optional<DepthRange>& depth) {
    // The slice widened to whole seconds: the start's second, the end's
    // next one when the end is not whole (the latest time stays in range).
    const int64_t end_us = to_us > kLatestTimeUs - 999999 ? kLatestTimeUs : to_us + 999999;
    std::string url = base_url + "/query?starttime=" + query_time(from_us) + "&endtime=" + query_time(end_us);
    const Region world;
    if (box.south != world.south || box.north != world.north || box.west != world.west || box.east != world.east) {
        url += "&minlatitude=" + query_number(box.south) + "&maxlatitude=" + query_number(box.north) +
               "&minlongitude=" + query_number(box.west) + "&maxlongitude=" + query_number(box.east);
    }
    if (min_magnitude) url += "&minmagnitude=" + query_number(*min_magnitude);
    if (depth) url += "&mindepth=" + query_number(depth->min_km) + "&maxdepth=" + query_number(depth->max_km);
    return url + "&orderby=time-asc&limit=" + std::to_string(limit) + "&format=text";
}

AnswerKind classify_answer(long status, std::string_view body) {
    // Only the start of an error text is looked at; it says what it is early.
    const std::string text = ascii_lower(body.substr(0, 4096));
    const auto says = [&text](const char* words) { return text.find(words) != std::string::npos; };
    switch (status) {
        case 200: return AnswerKind::events;
        case 204: return AnswerKind::empty;
        case 404: return says("no data") ? AnswerKind::empty : AnswerKind::failure;
        case 413: return AnswerKind::too_many;
        case 400:
            // USGS: "N matching events exceeds search limit of 20000".
            return (says("exceed") && says("limit")) || says("too many") ? AnswerKind::too_many
                                                                        : AnswerKind::failure;
        case 429:
        case 500:
        case 502:
        case 503:
        case 504: return AnswerKind::retry;
        default: return AnswerKind::failure;
    }
}

std::string first_lines(std::string_view body, int lines) {
    constexpr size_t kLongest = 200;
    std::string out;
    size_t start = 0;
    while (lines > 0 && start < body.size()) {
        size_t end = body.find('\n', start);
        if (end == std::string_view::npos) end = body.size();
        const std::string_view line = trim_blanks(body.substr(start, end - start));
        start = end + 1;
        if (line.empty()) continue;
        out += "\n  ";
        for (char c : line.substr(0, kLongest)) out += (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) ? '?' : c;
        if (line.size() > kLongest) out += "...";
        --lines;
    }
    return out;
}
