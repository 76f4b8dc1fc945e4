#pragma once
// One HTTP GET to a camera's web server, with its status and body: libcurl's
// multi interface, bounded waits, no proxy ever, the URL's own credentials.
#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

typedef void CURLM;
typedef void CURL;

class CWebClient {
public:
    // Results of ReadURL.
    static constexpr int kFetched = 0;
    static constexpr int kOpenFailed = -1;      // no final status within 5 s, no connection, or status 400 and above
    static constexpr int kNoStatus = -2;        // the status could not be read after the open
    static constexpr int kBodyTooLarge = -3;    // the body passed 1 MiB: the transfer was dropped
    static constexpr int kBodyIncomplete = -4;  // the body did not arrive whole: not within 10 s of the headers, or cut
    static constexpr std::size_t kMaxBody = 1 << 20;

    CWebClient();
    virtual ~CWebClient();
    CWebClient(const CWebClient&) = delete;
    CWebClient& operator=(const CWebClient&) = delete;

    // Fetches `url`. On 0, `body` holds the body text (NUL-terminated) or
    // nothing when the reply carried no body bytes and no Content-Length; on
    // kBodyIncomplete it holds the bytes that arrived, if any; on any other
    // result nothing. The caller owns it.
    int ReadURL(const char* url, std::unique_ptr<char[]>& body);
    // A write's reply: status 200 came and the body ended, whole or not. A
    // camera may restart as it applies a write and cut its reply, so what
    // arrived decides, never the cut.
    static bool Answered(int result, int statusCode) {
        return statusCode == 200 && (result == kFetched || result == kBodyIncomplete);
    }
    // Opens `url` and reads the final status; true for a status below 400.
    bool OpenStream();

    int openStatus = 0;  // status seen by OpenStream, kept when it failed on it
    std::string url;
    int statusCode = 0;  // valid when ReadURL returned 0

    // Called by libcurl.
    std::size_t OnHeader(const char* line, std::size_t length);
    std::size_t OnBody(const char* data, std::size_t length);

private:
    using Clock = std::chrono::steady_clock;
    // Drives the transfer until `ready()` holds, it ends, or `deadline`. False on the deadline.
    template <typename Ready>
    bool Pump(Clock::time_point deadline, Ready ready);
    void Close();

    CURLM* multi = nullptr;
    CURL* request = nullptr;
    bool credentials = false;  // the URL names a user: a first 401 with a challenge is answered by libcurl
    // The response being read: its status and whether it asked for credentials.
    int currentStatus = 0;
    bool currentChallenge = false;
    int challengesAnswered = 0;
    bool heldChallenge = false;  // a 401 left for libcurl to answer; final if the transfer ends on it
    bool headersDone = false;    // the final response's headers are all in
    bool transferDone = false;
    int transferResult = 0;  // CURLcode of the ended transfer
    bool overflow = false;
    std::string received;
};
