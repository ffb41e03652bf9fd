// The fetch logic without a network: answers scripted through HttpClient,
// waits recorded instead of slept. What a real service over real HTTP does
// is tests/import/test_fetch.py.
#include <gtest/gtest.h>

#include <deque>

#include "import/fetch/fetcher.h"

namespace {

// Gives the scripted replies in turn (the last one for ever) and records
// the URLs asked for.
class ScriptedClient : public HttpClient {
public:
    std::deque<HttpReply> replies;
    std::vector<std::string> urls;

    HttpReply get(const std::string& url) override {
        urls.push_back(url);
        HttpReply reply = replies.front();
        if (replies.size() > 1) replies.pop_front();
        return reply;
    }
};

HttpReply answer(long status, const std::string& body, double retry_after = 0.0) {
    HttpReply reply;
    reply.status = status;
    reply.body = body;
    reply.retry_after = retry_after;
    return reply;
}

}  // namespace

TEST(FetchLogic, WaitsDoubleAndTakeALongerRetryAfterUpToSixtySeconds) {
    EXPECT_DOUBLE_EQ(retry_delay(0.1, 2, 0.0), 0.2);
    EXPECT_DOUBLE_EQ(retry_delay(1.0, 3, 2.0), 4.0);  // a shorter Retry-After is not taken
    EXPECT_DOUBLE_EQ(retry_delay(1.0, 40, 0.0), 60.0);
    EXPECT_DOUBLE_EQ(retry_delay(90.0, 2, 0.0), 90.0);  // the user's own longer wait stands

    ScriptedClient client;
    client.replies = {answer(429, "slow down\n", 3600.0), answer(503, "busy\n")};
    FetchPlan plan;
    std::string error;
    plan.service = *find_service("http://127.0.0.1:8080/fdsnws/event/1/", &error);
    plan.from_us = 1704067200LL * 1000000;  // 2024-01-01
    plan.to_us = plan.from_us + 86400LL * 1000000;
    plan.retries = 3;
    std::vector<double> waits;
    std::vector<std::string> notices;
    FetchHooks hooks;
    hooks.sleep = [&waits](double seconds) { waits.push_back(seconds); };
    hooks.notice = [&notices](const std::string& line) { notices.push_back(line); };
    FetchCounts counts;
    try {
        fetch_events(plan, Selection(), client, hooks, nullptr, &counts);
        ADD_FAILURE() << "a service that stays busy must fail the fetch";
    } catch (const ImportError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "http://127.0.0.1:8080/fdsnws/event/1 still answered HTTP 503 after 4 tries to "
                  "http://127.0.0.1:8080/fdsnws/event/1/query?starttime=2024-01-01T00:00:00&endtime="
                  "2024-01-02T00:00:00&orderby=time-asc&limit=20000&format=text:\n  busy");
    }
    EXPECT_EQ(waits, (std::vector<double>{60.0, 2.0, 4.0}));
    ASSERT_EQ(notices.size(), 3u);
    EXPECT_EQ(notices[0], "http://127.0.0.1:8080/fdsnws/event/1 answered HTTP 429; waiting 60 s as its "
                          "Retry-After asks before try 2 of 4");
    EXPECT_EQ(counts.queries, 4u);
    EXPECT_EQ(client.urls.size(), 4u);
}

// What the end-to-end test's service does not send: another 404, and error
// texts with control bytes and overlong lines.
TEST(FetchLogic, OtherAnswersFailAndTheirTextIsQuotedSafely) {
    EXPECT_EQ(classify_answer(404, "Error 404: Not Found\n\nNo such page\n"), AnswerKind::failure);
    EXPECT_EQ(classify_answer(504, ""), AnswerKind::retry);
    EXPECT_EQ(first_lines("\n\x1b[31mred\r\n\n" + std::string(300, 'x') + "\nthird\nfourth\n", 2),
              "\n  ?[31mred\n  " + std::string(200, 'x') + "...");
}

TEST(FetchLogic, ServicesAndQueries) {
    std::string error;
    EXPECT_EQ(find_service("EMSC", &error)->base_url, "https://www.seismicportal.eu/fdsnws/event/1");
    for (const char* bad : {"https:///fdsnws/event/1", "https://example.org/fdsnws/event/1?x=1/fdsnws/event/1"})
        EXPECT_FALSE(find_service(bad, &error)) << bad;
    // A port left empty, 0 or past 65535 is the command line's fault, not
    // a failed fetch.
    for (const char* port : {"", "0", "99999"}) {
        error.clear();
        EXPECT_FALSE(find_service(std::string("http://127.0.0.1:") + port + "/fdsnws/event/1", &error)) << port;
        EXPECT_NE(error.find("the port of"), std::string::npos) << error;
    }
    EXPECT_EQ(find_service("http://[::1]:8080/fdsnws/event/1", &error)->base_url, "http://[::1]:8080/fdsnws/event/1");

    // A fraction of a second widens the slice to whole seconds; no exponents
    // in numbers (a "+" would read as a blank).
    const Region fiji{-25.5, -12.0, 175.0, -178.25};
    const std::vector<Region> boxes = query_boxes(fiji);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(query_url("B", 1500000, 2500001, boxes[0], 0.00001, 100),
              "B/query?starttime=1970-01-01T00:00:01&endtime=1970-01-01T00:00:03&minlatitude=-25.5&maxlatitude=-12"
              "&minlongitude=175&maxlongitude=180&minmagnitude=0.00001&orderby=time-asc&limit=100&format=text");
}

TEST(FetchLogic, StallsAndLostConnectionsAreAskedAgainButRefusedCertificatesAreNot) {
    HttpReply stalled, lost, refused;
    stalled.transfer = HttpReply::Transfer::timed_out;
    stalled.error = "Operation too slow";
    lost.transfer = HttpReply::Transfer::no_connection;
    refused.transfer = HttpReply::Transfer::failed;
    refused.error = "SSL certificate problem: self-signed certificate";
    FetchPlan plan;
    std::string error;
    plan.service = *find_service("isc", &error);
    plan.from_us = 0;
    plan.to_us = 86400LL * 1000000;
    std::vector<std::string> notices;
    FetchHooks hooks;
    hooks.notice = [&notices](const std::string& line) { notices.push_back(line); };

    ScriptedClient client;
    client.replies = {stalled, lost,
                      answer(200, "#EventID|Time|Latitude|Longitude|Magnitude\nq1|1970-01-01T01:00:00|1|2|3.5\n")};
    FetchCounts counts;
    const std::vector<QuakeEvent> events = fetch_events(plan, Selection(), client, hooks, nullptr, &counts);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].time_us, 3600LL * 1000000);
    EXPECT_EQ(counts.queries, 3u);
    EXPECT_EQ(notices, (std::vector<std::string>{"isc: timed out; waiting 1 s before try 2 of 6",
                                                 "isc: no connection; waiting 2 s before try 3 of 6"}));

    ScriptedClient refusing;
    refusing.replies = {refused};
    try {
        fetch_events(plan, Selection(), refusing, hooks, nullptr, nullptr);
        ADD_FAILURE() << "a refused certificate must fail the fetch";
    } catch (const ImportError& e) {
        EXPECT_NE(std::string(e.what()).find("isc: failed (SSL certificate problem"), std::string::npos) << e.what();
    }
    EXPECT_EQ(refusing.urls.size(), 1u);
}
