// The one place the fetch touches the network: an HTTP GET behind a small
// interface, so the fetch logic is plain C++ that tests drive with answers
// of their own. The real client is libcurl, certificate checks on.
#pragma once

#include <memory>
#include <string>

struct HttpReply {
    // How the exchange went, before any status is looked at.
    enum class Transfer {
        complete,        // an answer, whole
        no_connection,   // could not resolve, connect, send or receive
        timed_out,       // no progress for too long
        cut_short,       // the body ended before its announced length
        failed,          // anything else (certificate refused, bad URL, ...)
    };
    Transfer transfer = Transfer::complete;
    long status = 0;            // the HTTP status when complete
    std::string body;
    double retry_after = 0.0;   // seconds the Retry-After header asks for; 0 when none
    std::string error;          // what went wrong when not complete
};

class HttpClient {
public:
    virtual ~HttpClient() = default;
    virtual HttpReply get(const std::string& url) = 0;
};

// A libcurl client sending `user_agent`; redirects are followed, TLS peers
// and host names verified. No overall time limit (answers can be large),
// but a connection attempt or a stall longer than `stall_seconds` fails.
std::unique_ptr<HttpClient> make_curl_client(const std::string& user_agent, long stall_seconds = 60);
