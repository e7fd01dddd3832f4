#pragma once

#include <atomic>
#include <ctime>
#include <functional>
#include <map>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <utility>
#include <vector>

#include "web/GenericServer.h"
#include "web/HttpRequest.h"
#include "web/SecureTransport.h"

namespace zm {

// The embedded HTTP/1.0 server: registered routes answer with a function's text, any other
// path is a file of the web folder, read under the file lock of the writer that keeps those
// files, so that a file is never served half-written.
class CHttpServer : public CGenericServer {
  public:
    using RouteFunction = std::function<std::string()>;

    // What a reply route answers: its own status line and content type.
    struct RouteReply {
        std::string status = "200 OK";
        std::string contentType = "text/html";
        std::string body;
    };
    // What a request route answers: a reply route's answer and more header lines, such
    // as WWW-Authenticate (names and values without line breaks).
    struct RequestReply : RouteReply {
        std::vector<std::pair<std::string, std::string>> headers;
    };
    // Gets the part of the decoded path after the route's own path, without a query.
    using ReplyFunction = std::function<RouteReply(const std::string& rest)>;
    // The same with the request's query (the text after "?", as sent, not decoded).
    using QueryReplyFunction =
        std::function<RouteReply(const std::string& rest, const std::string& query)>;
    // Gets the whole request: any method, its header lines, its body, the client's address.
    using RequestFunction = std::function<RequestReply(const HttpRequest& request)>;

    static constexpr const char* kServerName = "ZorManagerWebServer/1.0";

    explicit CHttpServer(CLog* log = nullptr);
    ~CHttpServer() override;

    void AddRoute(const std::string& path, RouteFunction function);
    // A route that sets status and content type. With `prefix` it answers every path that
    // begins with `path` (the longest such route wins); plain routes come first.
    void AddReplyRoute(const std::string& path, ReplyFunction function, bool prefix = false);
    void AddQueryReplyRoute(const std::string& path, QueryReplyFunction function,
                            bool prefix = false);
    // A route for every method, matched against the path as sent (not decoded, no query):
    // with `prefix` every path that begins with `path`. Where it and a reply route both
    // match a GET, the longer path wins, and this one on a tie. Bodies up to
    // HttpRequest::kMaxBody are read; a longer one reaches the route as bodyRefused.
    void AddRequestRoute(const std::string& path, RequestFunction function, bool prefix = true);
    // The lock of the files in the web folder; none by default. Must outlive the server.
    void SetFileLock(std::recursive_mutex* lock);
    // Which plain-HTTP requests are redirected to or refused in favour of HTTPS; by
    // default (HTTPS off) none. Before the start.
    void SetSecureTransport(CSecureTransportRule rule) { m_transport = std::move(rule); }
    // One more origin ("https://*.tile.example.org") that pages may load images from, for
    // outside map tiles; before the start. Everything else comes from this server only.
    void AllowImagesFrom(const std::string& origin);
    // The security headers every answer carries, each line ending in CR LF.
    const std::string& SecurityHeaders() const { return m_securityHeaders; }

    // rootFolder gets a trailing "/" when it has none. Logged as "CHttpServer::Start (port)".
    bool Start(const std::string& rootFolder, const std::string& defaultPage, uint16_t port,
               uint32_t clientTimeoutMs);
    // false when a thread had to be abandoned. Logged as "CHttpServer::Shutdown".
    bool Shutdown();

    const std::string& GetRootFolder() const { return m_root; }
    const std::string& GetDefaultPage() const { return m_defaultPage; }
    // Content type for a path by its extension; "text/html" when unknown.
    std::string ContentTypeFor(const std::string& path) const;

    // "%a, %d %b %Y %H:%M:%S GMT" in English whatever the locale.
    static std::string HttpDate(std::time_t t);

  protected:
    bool IsRequestComplete(const std::string& request) override;
    bool HandleRequest(const ClientInfo& client, const std::string& request, std::string& response,
                       bool& keepAlive) override;

  private:
    // Reads root + path into body; false for a missing file, a folder, or a path that
    // would leave the web folder.
    bool ReadFile(const std::string& path, std::string& body);
    bool IsConfined(const std::string& path) const;

    std::string m_root;
    std::string m_realRoot;  // resolved at start; again per request while it does not exist
    std::string m_defaultPage;
    std::map<std::string, std::string> m_mime;
    mutable std::shared_mutex m_routeLock;  // every request reads, only set-up writes
    std::map<std::string, RouteFunction> m_routes;
    struct ReplyRoute {
        QueryReplyFunction function;
        bool prefix = false;
    };
    std::map<std::string, ReplyRoute> m_replyRoutes;
    struct RequestRoute {
        RequestFunction function;
        bool prefix = true;
    };
    std::map<std::string, RequestRoute> m_requestRoutes;
    std::atomic<std::recursive_mutex*> m_fileLock{nullptr};
    CSecureTransportRule m_transport;
    std::string m_securityHeaders;
};

}  // namespace zm
