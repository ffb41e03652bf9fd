// libcurl behind HttpClient.
#include "import/fetch/http_client.h"

#include <curl/curl.h>

#include <stdexcept>

namespace {

size_t append_body(char* data, size_t size, size_t count, void* user) {
    static_cast<std::string*>(user)->append(data, size * count);
    return size * count;
}

HttpReply::Transfer transfer_of(CURLcode code) {
    switch (code) {
        case CURLE_OK: return HttpReply::Transfer::complete;
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
        case CURLE_COULDNT_CONNECT:
        case CURLE_SEND_ERROR:
        case CURLE_RECV_ERROR:
        case CURLE_GOT_NOTHING: return HttpReply::Transfer::no_connection;
        case CURLE_OPERATION_TIMEDOUT: return HttpReply::Transfer::timed_out;
        case CURLE_PARTIAL_FILE: return HttpReply::Transfer::cut_short;
        default: return HttpReply::Transfer::failed;
    }
}

class CurlClient : public HttpClient {
public:
    CurlClient(const std::string& user_agent, long stall_seconds) {
        if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) throw std::runtime_error("libcurl failed to start");
        curl_ = curl_easy_init();
        if (curl_ == nullptr) {
            curl_global_cleanup();
            throw std::runtime_error("libcurl failed to start");
        }
        curl_easy_setopt(curl_, CURLOPT_USERAGENT, user_agent.c_str());
        curl_easy_setopt(curl_, CURLOPT_NOSIGNAL, 1L);  // the program's own signal handling stays in charge
        curl_easy_setopt(curl_, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(curl_, CURLOPT_MAXREDIRS, 5L);
        curl_easy_setopt(curl_, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(curl_, CURLOPT_SSL_VERIFYPEER, 1L);
        curl_easy_setopt(curl_, CURLOPT_SSL_VERIFYHOST, 2L);
        curl_easy_setopt(curl_, CURLOPT_ACCEPT_ENCODING, "");  // any compression libcurl can undo
        curl_easy_setopt(curl_, CURLOPT_CONNECTTIMEOUT, stall_seconds);
        curl_easy_setopt(curl_, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(curl_, CURLOPT_LOW_SPEED_TIME, stall_seconds);
        curl_easy_setopt(curl_, CURLOPT_ERRORBUFFER, error_);
        curl_easy_setopt(curl_, CURLOPT_WRITEFUNCTION, append_body);
    }
    CurlClient(const CurlClient&) = delete;
    CurlClient& operator=(const CurlClient&) = delete;
    ~CurlClient() override {
        curl_easy_cleanup(curl_);
        curl_global_cleanup();
    }

    HttpReply get(const std::string& url) override {
        HttpReply reply;
        error_[0] = '\0';
        curl_easy_setopt(curl_, CURLOPT_URL, url.c_str());
        // A service reached over https is never followed down to http.
        const bool secure = url.compare(0, 6, "https:") == 0;
        curl_easy_setopt(curl_, CURLOPT_REDIR_PROTOCOLS_STR, secure ? "https" : "http,https");
        curl_easy_setopt(curl_, CURLOPT_WRITEDATA, &reply.body);
        const CURLcode code = curl_easy_perform(curl_);
        reply.transfer = transfer_of(code);
        if (code != CURLE_OK) reply.error = error_[0] != '\0' ? error_ : curl_easy_strerror(code);
        curl_easy_getinfo(curl_, CURLINFO_RESPONSE_CODE, &reply.status);
        // libcurl reads both forms of the header (seconds, or an HTTP date).
        curl_off_t retry_after = 0;
        if (curl_easy_getinfo(curl_, CURLINFO_RETRY_AFTER, &retry_after) == CURLE_OK && retry_after > 0)
            reply.retry_after = static_cast<double>(retry_after);
        return reply;
    }

private:
    CURL* curl_ = nullptr;
    char error_[CURL_ERROR_SIZE];
};

}  // namespace

std::unique_ptr<HttpClient> make_curl_client(const std::string& user_agent, long stall_seconds) {
    return std::make_unique<CurlClient>(user_agent, stall_seconds);
}
