#include "http_server.h"

#include "http_request.h"
#include "udp.h"

#include <fcntl.h>
#include <microhttpd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <utility>
#include <vector>

namespace camsim {
namespace {

using Clock = EventLoop::Clock;

constexpr const char* kRealm = "Zorvo camera";
constexpr const char* kUser = "root";
constexpr const char* kOpaque = "5ccc069c403ebaf9f0171e9517f40e41";  // any fixed text
constexpr unsigned kNonceLifetimeS = 300;

constexpr auto kSlowHeaders = std::chrono::seconds(6);
constexpr std::chrono::milliseconds kTrickleSpan{12'000};
constexpr std::size_t kTrickleMinBody = 12;  // at least one byte a second
constexpr std::uint64_t kShortBy = 10;       // bytes announced but never sent
constexpr std::size_t kChunk = 8;            // bytes per chunk of a chunked body

struct Reply {
    unsigned status = MHD_HTTP_OK;
    std::string body;
};

// One request, from its request line to the end of its reply.
struct Request {
    Request(HttpServer::State& s, MHD_Connection* c, std::string t) : server(s), connection(c), target(std::move(t)) {}

    HttpServer::State& server;
    MHD_Connection* connection;
    std::string target;  // as received
    bool seen = false;
    std::optional<Reply> reply;          // decided, held back by a slow fault
    std::vector<http::OidWrite> writes;  // applied once the reply is over
    std::optional<Clock::time_point> trickleStart;
};

bool Is(HttpFault fault, std::initializer_list<HttpFault> any) {
    return std::find(any.begin(), any.end(), fault) != any.end();
}

}  // namespace

struct HttpServer::State {
    Camera& cam;
    EventLoop& loop;
    std::string ipText;   // where it listens: its address before any change
    std::string address;  // ip:port
    std::array<unsigned char, 32> digestRandom{};
    MHD_Daemon* daemon = nullptr;
    int epollFd = -1;
    platform::OwnedFd watched;  // the event loop's: a copy of the epoll descriptor of the daemon in use
    std::function<void()> onAddressWrite;
    std::optional<Clock::time_point> wake;
    std::set<MHD_Connection*> suspended;

    State(Camera& c, EventLoop& l) : cam(c), loop(l) {}

    ~State() {
        if (daemon) Stop(daemon);
    }

    // Starts a daemon on the camera's address and web port; on failure false, why in `error`.
    bool Start(std::string& error) {
        const std::uint16_t port = cam.httpPort.value_or(80);
        sockaddr_in addr = SocketAddress(cam.ip, port);
        using LogFn = void* (*)(void*, const char*, MHD_Connection*);
        using CompletedFn = void (*)(void*, MHD_Connection*, void**, MHD_RequestTerminationCode);
        errno = 0;
        MHD_Daemon* started = MHD_start_daemon(
            MHD_USE_EPOLL | MHD_ALLOW_SUSPEND_RESUME, port, nullptr, nullptr, &OnRequest, this, MHD_OPTION_SOCK_ADDR,
            reinterpret_cast<sockaddr*>(&addr), MHD_OPTION_URI_LOG_CALLBACK, static_cast<LogFn>(&OnRequestLine), this,
            MHD_OPTION_NOTIFY_COMPLETED, static_cast<CompletedFn>(&OnCompleted), this, MHD_OPTION_DIGEST_AUTH_RANDOM,
            digestRandom.size(), digestRandom.data(), MHD_OPTION_END);
        const MHD_DaemonInfo* info = started ? MHD_get_daemon_info(started, MHD_DAEMON_INFO_EPOLL_FD) : nullptr;
        if (!info || info->epoll_fd < 0) {
            error = std::string("the web server did not start: ") + std::strerror(errno);
            if (started) MHD_stop_daemon(started);
            return false;
        }
        daemon = started;
        epollFd = info->epoll_fd;
        ipText = Dotted(cam.ip);
        address = ipText + ":" + std::to_string(port);
        return true;
    }

    void Stop(MHD_Daemon* d) {
        // The library must not stop with suspended connections.
        for (MHD_Connection* c : suspended) MHD_resume_connection(c);
        suspended.clear();
        MHD_stop_daemon(d);
    }

    // Lets the library do what is due, then books the next turn it asks for.
    void Run() {
        MHD_run(daemon);
        MHD_UNSIGNED_LONG_LONG ms = 0;
        if (MHD_get_timeout(daemon, &ms) == MHD_YES) WakeAt(Clock::now() + std::chrono::milliseconds(ms));
    }

    void WakeAt(Clock::time_point when) {
        if (wake && *wake <= when) return;
        wake = when;
        loop.At(when, [this, when] {
            if (wake == when) wake.reset();
            Run();
        });
    }

    // Holds the request back until `when`. Only from the library's callbacks.
    void SuspendUntil(Request& r, Clock::time_point when) {
        MHD_suspend_connection(r.connection);
        suspended.insert(r.connection);
        loop.At(when, [this, c = r.connection] {
            // Resumed already when its daemon stopped as the camera moved.
            if (suspended.erase(c)) MHD_resume_connection(c);
            Run();
        });
    }

    bool Authorized(MHD_Connection* c, bool& stale) const {
        if (cam.httpAuth == HttpAuth::Digest) {
            int result =
                MHD_digest_auth_check2(c, kRealm, kUser, cam.password.c_str(), kNonceLifetimeS, MHD_DIGEST_ALG_MD5);
            stale = result == MHD_INVALID_NONCE;
            return result == MHD_YES;
        }
        char* password = nullptr;
        char* user = MHD_basic_auth_get_username_password(c, &password);
        bool ok = user && password && std::strcmp(user, kUser) == 0 && password == cam.password;
        MHD_free(user);
        MHD_free(password);
        return ok;
    }

    MHD_Result Challenge(MHD_Connection* c, bool stale) const {
        static const char kBody[] = "<xmp>authorization required</xmp>";
        MHD_Response* response =
            MHD_create_response_from_buffer(sizeof(kBody) - 1, const_cast<char*>(kBody), MHD_RESPMEM_PERSISTENT);
        MHD_Result ok = cam.httpAuth == HttpAuth::Digest
                            ? MHD_queue_auth_fail_response2(c, kRealm, kOpaque, response, stale ? MHD_YES : MHD_NO,
                                                            MHD_DIGEST_ALG_MD5)
                            : MHD_queue_basic_auth_fail_response(c, kRealm, response);
        MHD_destroy_response(response);
        return ok;
    }

    // What the camera answers when nothing goes wrong; set.oid leaves its writes in `writes`.
    Reply Page(const http::Target& target, std::vector<http::OidWrite>& writes) const {
        if (target.page == http::Page::GetOid) {
            auto it = cam.oids.find(target.oid);
            if (it == cam.oids.end())
                return {MHD_HTTP_OK, "%Error: no such OID <xmp>unknown OID " + target.oid + "</xmp>"};
            return {MHD_HTTP_OK, "<xmp>" + it->second + "</xmp>"};
        }
        if (target.page == http::Page::SetOid) {
            writes = http::ParseSetQuery(target.query);
            return {MHD_HTTP_OK, "<xmp>OK</xmp>"};
        }
        auto it = cam.httpLists.find(target.oid);
        if (target.page == http::Page::List && it != cam.httpLists.end()) return {MHD_HTTP_OK, it->second};
        return {MHD_HTTP_NOT_FOUND,
                target.page == http::Page::List ? "<xmp>no such list</xmp>" : "<xmp>no such page</xmp>"};
    }

    // Decides the reply on the request's first call, then sends it unless a slow fault holds it back.
    MHD_Result Handle(Request& r, const char* method) {
        const HttpFault fault = cam.httpFault;
        if (!r.seen) {
            r.seen = true;
            const auto arrived = Clock::now();
            Say("http " + address + " " + method + " " + r.target);
            if (fault == HttpFault::Unauthorized) return Challenge(r.connection, false);
            const http::Target target = http::ParseTarget(r.target);
            bool stale = false;
            if (std::strcmp(method, MHD_HTTP_METHOD_GET) != 0) {
                r.reply = Reply{MHD_HTTP_METHOD_NOT_ALLOWED, "<xmp>GET only</xmp>"};
            } else if (target.page != http::Page::GetOid && target.page != http::Page::Unknown &&
                       !Authorized(r.connection, stale)) {
                return Challenge(r.connection, stale);
            } else {
                r.reply = Page(target, r.writes);
            }
            std::string& body = r.reply->body;
            if (Is(fault, {HttpFault::Error, HttpFault::Status500})) r.writes.clear();  // refuses: nothing is written
            if (fault == HttpFault::Error) r.reply = Reply{MHD_HTTP_OK, "%Error: refused <xmp>camera says no</xmp>"};
            if (fault == HttpFault::Status500) r.reply = Reply{MHD_HTTP_INTERNAL_SERVER_ERROR, "<xmp>failed</xmp>"};
            if (fault == HttpFault::Status204) r.reply = Reply{MHD_HTTP_NO_CONTENT, ""};  // did the job, says nothing
            if (Is(fault, {HttpFault::Empty, HttpFault::NoBody})) body.clear();
            if (fault == HttpFault::Trickle && body.size() < kTrickleMinBody) body.resize(kTrickleMinBody, ' ');
            if (fault == HttpFault::Bare) {
                for (const std::string marker : {"<xmp>", "</xmp>"}) {
                    for (std::size_t at; (at = body.find(marker)) != std::string::npos;) body.erase(at, marker.size());
                }
            }
            if (fault == HttpFault::SlowHeaders) {
                SuspendUntil(r, arrived + kSlowHeaders);
                return MHD_YES;
            }
        }
        const std::string& body = r.reply->body;
        MHD_Response* response = nullptr;
        if (Is(fault, {HttpFault::Chunked, HttpFault::NoLength, HttpFault::NoBody})) {
            // Without a size the library chunks the body, unless told to end it by closing.
            response = MHD_create_response_from_callback(MHD_SIZE_UNKNOWN, 1024, &BodyPart, &r, nullptr);
            if (response && fault != HttpFault::Chunked) {
                MHD_set_response_options(response, MHD_RF_HTTP_1_0_COMPATIBLE_STRICT, MHD_RO_END);
            }
        } else if (Is(fault, {HttpFault::Trickle, HttpFault::ShortBody})) {
            const std::uint64_t size = body.size() + (fault == HttpFault::ShortBody ? kShortBy : 0);
            response = MHD_create_response_from_callback(size, 1024, &BodyPart, &r, nullptr);
        } else {
            response =
                MHD_create_response_from_buffer(body.size(), const_cast<char*>(body.data()), MHD_RESPMEM_MUST_COPY);
        }
        if (!response) return MHD_NO;
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, "text/html");
        MHD_Result ok = MHD_queue_response(r.connection, r.reply->status, response);
        MHD_destroy_response(response);
        return ok;
    }

    // The body of a reply sent piecewise: in chunks, up to a short end, or a byte at a time.
    static ssize_t BodyPart(void* cls, std::uint64_t pos, char* buf, std::size_t max) {
        Request& r = *static_cast<Request*>(cls);
        const HttpFault fault = r.server.cam.httpFault;
        const std::string& body = r.reply->body;
        if (pos >= body.size()) {
            return fault == HttpFault::ShortBody ? MHD_CONTENT_READER_END_WITH_ERROR : MHD_CONTENT_READER_END_OF_STREAM;
        }
        std::size_t n = std::min<std::size_t>(fault == HttpFault::Chunked ? kChunk : max, body.size() - pos);
        if (fault == HttpFault::Trickle) {
            // Byte i leaves at i/(size-1) of the span.
            const auto now = Clock::now();
            if (!r.trickleStart) r.trickleStart = now;
            const auto due =
                *r.trickleStart + kTrickleSpan * static_cast<long>(pos) / static_cast<long>(body.size() - 1);
            if (due > now) {
                r.server.SuspendUntil(r, due);
                return 0;
            }
            n = 1;
        }
        std::memcpy(buf, body.data() + pos, n);
        return static_cast<ssize_t>(n);
    }

    static void* OnRequestLine(void* cls, const char* uri, MHD_Connection* connection) {
        return new Request(*static_cast<State*>(cls), connection, uri ? uri : "");
    }

    static MHD_Result OnRequest(void* cls, MHD_Connection*, const char*, const char* method, const char*, const char*,
                                std::size_t* uploadSize, void** reqCls) {
        auto* r = static_cast<Request*>(*reqCls);
        if (!r) return MHD_NO;
        if (*uploadSize != 0 && r->seen) {
            *uploadSize = 0;  // a request body means nothing to a camera
            return MHD_YES;
        }
        return static_cast<State*>(cls)->Handle(*r, method);
    }

    // The writes take effect once the reply is over.
    static void OnCompleted(void* cls, MHD_Connection*, void** reqCls, MHD_RequestTerminationCode how) {
        std::unique_ptr<Request> r(static_cast<Request*>(std::exchange(*reqCls, nullptr)));
        if (!r || how == MHD_REQUEST_TERMINATED_DAEMON_SHUTDOWN) return;
        State& s = *static_cast<State*>(cls);
        bool addressWritten = false;
        for (const http::OidWrite& write : r->writes) {
            http::ApplyOidWrite(s.cam, write);
            Say("set " + s.ipText + " " + write.oid + "=" + write.value);
            addressWritten = addressWritten || write.oid == "3.6.10" || write.oid == "4.2";
        }
        if (addressWritten && s.onAddressWrite) s.onAddressWrite();
    }
};

HttpServer::HttpServer(Camera& cam, EventLoop& loop) : state_(std::make_unique<State>(cam, loop)) {}

HttpServer::~HttpServer() = default;

int HttpServer::Fd() const { return state_->watched.get(); }

void HttpServer::OnReadable() { state_->Run(); }

bool HttpServer::Open(std::string& error) {
    State& s = *state_;
    std::random_device random;
    for (unsigned char& b : s.digestRandom) b = static_cast<unsigned char>(random());
    if (!s.Start(error)) return false;
    s.watched = platform::OwnedFd(::fcntl(s.epollFd, F_DUPFD_CLOEXEC, 0));
    return s.watched.valid();
}

void HttpServer::OnAddressWrite(std::function<void()> told) { state_->onAddressWrite = std::move(told); }

bool HttpServer::Follow(std::string& error) {
    State& s = *state_;
    if (Dotted(s.cam.ip) == s.ipText || !s.watched.valid()) return true;
    MHD_Daemon* old = s.daemon;
    if (!s.Start(error)) return false;
    // The event loop keeps watching its descriptor, which now is the new daemon's.
    ::dup3(s.epollFd, s.watched.get(), O_CLOEXEC);
    s.Stop(old);
    return true;
}

bool HttpServer::Serves(const Camera& cam) const { return &cam == &state_->cam; }

}  // namespace camsim
