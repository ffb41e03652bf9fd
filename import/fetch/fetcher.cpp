// Slicing, retrying and de-duplicating the answers of an event service.
#include "import/fetch/fetcher.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <unordered_set>
#include <utility>

#include "import/event_sink.h"
#include "import/downloads/text_readers.h"

namespace {

constexpr int64_t kSecondUs = 1000000;

struct Slice {
    int64_t from_us;
    int64_t to_us;
};

std::string seconds_text(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", seconds);
    return text;
}

const char* transfer_problem(HttpReply::Transfer transfer) {
    switch (transfer) {
        case HttpReply::Transfer::no_connection: return "no connection";
        case HttpReply::Transfer::timed_out: return "timed out";
        case HttpReply::Transfer::cut_short: return "answer cut short";
        default: return "failed";
    }
}

class Fetch {
public:
    Fetch(const FetchPlan& plan, const Selection& selection, HttpClient& client, const FetchHooks& hooks,
          ImportCounts& counts, FetchCounts& fetch_counts)
        : plan_(plan), selection_(selection), client_(client), hooks_(hooks), counts_(counts),
          fetch_counts_(fetch_counts) {}

    std::vector<QuakeEvent> run() {
        counts_ = ImportCounts();
        counts_.layout = InputLayout::fdsn_text;
        fetch_counts_ = FetchCounts();
        for (const Region& box : query_boxes(plan_.region)) {
            // Earliest slice on top, so the answers come in time order.
            std::vector<Slice> pending{{plan_.from_us, plan_.to_us}};
            while (!pending.empty()) {
                const Slice slice = pending.back();
                pending.pop_back();
                if (fetch_slice(slice, box)) continue;
                // Halves a whole number of seconds long, the finest time a
                // query names.
                const int64_t half_us = (slice.to_us - slice.from_us) / 2 / kSecondUs * kSecondUs;
                if (half_us < kSecondUs) {
                    throw ImportError(plan_.service.name + " holds more events than one answer may give (" +
                                      std::to_string(plan_.limit) + ") within two seconds, from " +
                                      query_time(slice.from_us) + "; narrow --region or raise --min-mag");
                }
                const int64_t middle_us = slice.from_us + half_us;
                pending.push_back({middle_us, slice.to_us});
                pending.push_back({slice.from_us, middle_us});
            }
        }
        return std::move(events_);
    }

private:
    // Fetches one slice of one box; false when it holds too many events for
    // one answer and must be split.
    bool fetch_slice(const Slice& slice, const Region& box) {
        const std::string url =
            query_url(plan_.service.base_url, slice.from_us, slice.to_us, box, plan_.min_magnitude, plan_.limit,
                      plan_.depth);
        const HttpReply reply = ask(url);
        switch (classify_answer(reply.status, reply.body)) {
            case AnswerKind::too_many: return false;
            case AnswerKind::empty: break;
            case AnswerKind::events:
                if (!read_answer(reply, url)) return false;
                break;
            default: fail(reply, url);
        }
        ++fetch_counts_.slices;
        if (hooks_.progress) hooks_.progress(fetch_counts_.slices, counts_.kept);
        return true;
    }

    // Reads a whole answer into the events. False, with nothing taken, when
    // it holds as many events as the limit: the service cut it there.
    bool read_answer(const HttpReply& reply, const std::string& url) {
        const std::string& body = reply.body;
        const bool blank = body.find_first_not_of(" \t\r\n") == std::string::npos;
        if (!blank && sniff_layout(std::string_view(body).substr(0, kSniffBytes)) != InputLayout::fdsn_text)
            fail(reply, url, 0, " but not with FDSN event text");
        ImportCounts answer_counts;
        std::vector<QuakeEvent> answer_events;
        std::unordered_set<std::string> answer_ids;
        EventSink sink(selection_, answer_counts, answer_events);
        sink.skip_repeats([this, &answer_ids](std::string_view id) {
            const std::string key(id);
            return seen_ids_.count(key) == 0 && answer_ids.insert(key).second;
        });
        if (!blank) read_fdsn_catalogue(body, plan_.service.name + " answer to " + url, sink);
        if (answer_counts.read >= plan_.limit) return false;
        counts_ += answer_counts;
        events_.insert(events_.end(), answer_events.begin(), answer_events.end());
        seen_ids_.insert(answer_ids.begin(), answer_ids.end());
        return true;
    }

    // Sends the query, again after a wait while the service is busy or the
    // connection fails, until it answers or the retries are used up.
    HttpReply ask(const std::string& url) {
        for (int attempt = 0;; ++attempt) {
            ++fetch_counts_.queries;
            HttpReply reply = client_.get(url);
            const bool complete = reply.transfer == HttpReply::Transfer::complete;
            const bool again = complete ? classify_answer(reply.status, reply.body) == AnswerKind::retry
                                        : reply.transfer != HttpReply::Transfer::failed;
            if (!again) {
                if (!complete) fail(reply, url);
                return reply;
            }
            if (attempt >= plan_.retries) fail(reply, url, attempt + 1);
            const double doubled = retry_delay(plan_.retry_wait, attempt + 1, 0.0);
            const double wait = retry_delay(plan_.retry_wait, attempt + 1, reply.retry_after);
            if (hooks_.notice) {
                const std::string why = complete ? " answered HTTP " + std::to_string(reply.status)
                                                 : std::string(": ") + transfer_problem(reply.transfer);
                hooks_.notice(plan_.service.name + why + "; waiting " + seconds_text(wait) + " s" +
                              (wait > doubled ? " as its Retry-After asks" : "") + " before try " +
                              std::to_string(attempt + 2) + " of " + std::to_string(plan_.retries + 1));
            }
            if (hooks_.sleep) hooks_.sleep(wait);
        }
    }

    [[noreturn]] void fail(const HttpReply& reply, const std::string& url, int tries = 0,
                           const std::string& what = std::string()) {
        std::string message = plan_.service.name;
        if (reply.transfer == HttpReply::Transfer::complete) {
            message += (tries > 1 ? " still answered HTTP " : " answered HTTP ") + std::to_string(reply.status);
        } else {
            message += std::string(": ") + transfer_problem(reply.transfer) + " (" + reply.error + ")";
        }
        if (tries > 1) message += " after " + std::to_string(tries) + " tries";
        message += " to " + url + what;
        const std::string text = first_lines(reply.body);
        message += text.empty() ? std::string() : ":" + text;
        throw ImportError(message);
    }

    const FetchPlan& plan_;
    const Selection& selection_;
    HttpClient& client_;
    const FetchHooks& hooks_;
    ImportCounts& counts_;
    FetchCounts& fetch_counts_;
    std::vector<QuakeEvent> events_;
    std::unordered_set<std::string> seen_ids_;
};

}  // namespace

double retry_delay(double retry_wait, int retry, double retry_after) {
    const double ceiling = std::max(kLongestWait, retry_wait);
    const double doubled = std::min(ceiling, retry_wait * std::ldexp(1.0, std::min(retry - 1, 60)));
    return retry_after > doubled ? std::min(retry_after, ceiling) : doubled;
}

std::vector<QuakeEvent> fetch_events(const FetchPlan& plan, const Selection& selection, HttpClient& client,
                                     const FetchHooks& hooks, ImportCounts* counts, FetchCounts* fetch_counts) {
    ImportCounts local_counts;
    FetchCounts local_fetch_counts;
    return Fetch(plan, selection, client, hooks, counts ? *counts : local_counts,
                 fetch_counts ? *fetch_counts : local_fetch_counts)
        .run();
}
