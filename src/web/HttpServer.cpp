#include "web/HttpServer.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <utility>

#include "base/Printf.h"
#include "platform/FileIo.h"
#include "web/ServerLog.h"
#include "web/XmlDoc.h"

namespace zm {

namespace {

constexpr std::string_view kHeaderEnd = "\r\n\r\n";

const char* const kResponseHeader =
    "HTTP/1.0 %s\r\nDate: %s\r\nServer: %s\r\nAccept-Ranges: bytes\r\nPragma: no-cache\r\n"
    "cache-Control: no-cache, must-revalidate\r\nExpires: Mon, 26 Jul 1997 05:00:00 GMT\r\n"
    "Content-Length: %zu\r\nConnection: %s\r\nContent-Type: %s\r\n%s\r\n";

// Nothing inline, nothing from elsewhere, no framing by other sites: a name or text that
// slipped into a page unescaped cannot run, and the console cannot be clicked through a
// frame of another site.
std::string SecurityHeaderLines(const std::string& extraImages) {
    std::string images = "'self' data:";
    if (!extraImages.empty())
        images += " " + extraImages;
    return "Content-Security-Policy: default-src 'self'; img-src " + images +
           "; frame-ancestors 'self'; base-uri 'self'; form-action 'self'\r\n"
           "X-Content-Type-Options: nosniff\r\nReferrer-Policy: no-referrer\r\n";
}

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Every %XX decoded. The confinement check decodes once more, so an escaped escape of
// ".." is refused too.
std::string PercentDecoded(const std::string& path) {
    std::string out;
    for (size_t i = 0; i < path.size(); ++i) {
        int hi, lo;
        if (path[i] == '%' && i + 2 < path.size() && (hi = HexValue(path[i + 1])) >= 0 &&
            (lo = HexValue(path[i + 2])) >= 0) {
            out += static_cast<char>(hi * 16 + lo);
            i += 2;
        } else {
            out += path[i];
        }
    }
    return out;
}

// The value of the first header line of that name (any case), without surrounding blanks.
bool FindHeader(std::string_view header, std::string_view name, std::string& value) {
    size_t pos = header.find("\r\n");
    while (pos != std::string_view::npos) {
        size_t start = pos + 2;
        size_t end = header.find("\r\n", start);
        std::string_view line =
            header.substr(start, end == std::string_view::npos ? end : end - start);
        if (line.size() > name.size() && line[name.size()] == ':') {
            bool same = true;
            for (size_t i = 0; i < name.size() && same; ++i)
                same = std::tolower(static_cast<unsigned char>(line[i])) ==
                       std::tolower(static_cast<unsigned char>(name[i]));
            if (same) {
                std::string_view v = line.substr(name.size() + 1);
                size_t first = v.find_first_not_of(" \t");
                size_t last = v.find_last_not_of(" \t");
                value = first == std::string_view::npos
                            ? std::string()
                            : std::string(v.substr(first, last - first + 1));
                return true;
            }
        }
        pos = end;
    }
    return false;
}

}  // namespace

CHttpServer::CHttpServer(CLog* log)
    : CGenericServer(log), m_securityHeaders(SecurityHeaderLines({})) {
    // Extensions separated by blanks; where one occurs twice the later entry holds.
    static const char* const kTable[][2] = {
        {"doc", "application/msword"},
        {"bin dll exe", "application/octet-stream"},
        {"pdf", "application/pdf"},
        {"p7c", "application/pkcs7-mime"},
        {"ai eps ps", "application/postscript"},
        {"fdf", "application/vnd.fdf"},
        {"gz", "application/x-gzip"},
        {"class", "application/x-java-class"},
        {"js", "application/x-javascript"},
        {"json geojson", "application/json"},
        {"lzh", "application/x-lzh"},
        {"lnk", "application/x-ms-shortcut"},
        {"tar", "application/x-tar"},
        {"hlp", "application/x-winhelp"},
        {"cert", "application/x-x509-ca-cert"},
        {"zip", "application/zip"},
        {"cab arj", "application/x-compressed"},
        {"aif aifc aiff", "audio/aiff"},
        {"au snd", "audio/basic"},
        {"mid rmi", "audio/midi"},
        {"mp3", "audio/mpeg"},
        {"vox", "audio/voxware"},
        {"wav", "audio/wav"},
        {"ra ram", "audio/x-pn-realaudio"},
        {"bmp", "image/bmp"},
        {"gif", "image/gif"},
        {"png", "image/png"},
        {"jpeg jpg", "image/jpeg"},
        {"tif tiff", "image/tiff"},
        {"xbm", "image/xbm"},
        {"wrl", "model/vrml"},
        {"htm html", "text/html"},
        {"c cpp def h txt", "text/plain"},
        {"rtx rtf", "text/richtext"},
        {"java", "text/x-java-source"},
        {"css", "text/css"},
        {"mpeg mpg mpe", "video/mpeg"},
        {"avi", "video/msvideo"},
        {"mov qt", "video/quicktime"},
        {"shtml", "wwwserver/html-ssi"},
        {"asa asp cfm dbm isa plx url cgi php wcgi", "wwwserver/isapi"},
    };
    for (const auto& row : kTable) {
        std::string names = row[0];
        for (size_t pos = 0; pos < names.size();) {
            size_t end = names.find(' ', pos);
            if (end == std::string::npos)
                end = names.size();
            m_mime[names.substr(pos, end - pos)] = row[1];
            pos = end + 1;
        }
    }
}

CHttpServer::~CHttpServer() {
    if (IsRunning())
        Shutdown();
    // Routes and the MIME map are ours: an abandoned connection thread gets its last
    // chance to finish with them here.
    WaitForAbandoned(5 * kThreadStopMs);
}

void CHttpServer::AddRoute(const std::string& path, RouteFunction function) {
    std::unique_lock<std::shared_mutex> lock(m_routeLock);
    m_routes[path] = std::move(function);
}

void CHttpServer::AddReplyRoute(const std::string& path, ReplyFunction function, bool prefix) {
    AddQueryReplyRoute(
        path,
        [function = std::move(function)](const std::string& rest, const std::string&) {
            return function(rest);
        },
        prefix);
}

void CHttpServer::AddQueryReplyRoute(const std::string& path, QueryReplyFunction function,
                                     bool prefix) {
    std::unique_lock<std::shared_mutex> lock(m_routeLock);
    m_replyRoutes[path] = ReplyRoute{std::move(function), prefix};
}

void CHttpServer::AllowImagesFrom(const std::string& origin) {
    m_securityHeaders = SecurityHeaderLines(origin);
}

void CHttpServer::AddRequestRoute(const std::string& path, RequestFunction function, bool prefix) {
    std::unique_lock<std::shared_mutex> lock(m_routeLock);
    m_requestRoutes[path] = RequestRoute{std::move(function), prefix};
}

void CHttpServer::SetFileLock(std::recursive_mutex* lock) {
    m_fileLock = lock;
}

bool CHttpServer::Start(const std::string& rootFolder, const std::string& defaultPage,
                        uint16_t port, uint32_t clientTimeoutMs) {
    bool ok = false;
    if (!IsRunning()) {
        m_root = rootFolder;
        if (!m_root.empty() && m_root.back() != '/')
            m_root += '/';
        m_defaultPage = defaultPage;
        if (m_root.empty())
            // An empty root would make "/" the web folder: the whole file system.
            LogMessage("Empty root folder, no file is served", "Start", 0);
        m_realRoot = m_root.empty() ? std::string() : platform::RealPath(m_root);
        ok = StartServer(port, clientTimeoutMs);
    }
    ServerLogResult(GetLog(), StrPrintf("CHttpServer::Start (%d)", port), ok);
    return ok;
}

bool CHttpServer::Shutdown() {
    bool ok = StopServer();
    ServerLogResult(GetLog(), "CHttpServer::Shutdown", ok);
    return ok;
}

std::string CHttpServer::ContentTypeFor(const std::string& path) const {
    size_t dot = path.rfind('.');
    if (dot != std::string::npos) {
        auto it = m_mime.find(Lower(path.substr(dot + 1)));
        if (it != m_mime.end())
            return it->second;
    }
    return "text/html";
}

std::string CHttpServer::HttpDate(std::time_t t) {
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::tm tm{};
    gmtime_r(&t, &tm);
    return StrPrintf("%s, %02d %s %04d %02d:%02d:%02d GMT", kDays[tm.tm_wday % 7], tm.tm_mday,
                     kMonths[tm.tm_mon % 12], tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec);
}

bool CHttpServer::IsRequestComplete(const std::string& request) {
    // Complete at the first blank line and the body its Content-Length announces; bytes
    // after that (a pipelined request) must not keep the request waiting, HandleRequest
    // closes such a connection after answering.
    const size_t headerEnd = request.find(kHeaderEnd);
    if (headerEnd == std::string::npos)
        return false;
    const std::string_view header(request.data(), headerEnd + 2);
    const BodyExtent extent = BodyExtentOf(header);
    if (extent.refused) {
        // A client that waits for "100 Continue" before it sends the body is answered at
        // once. Any other one has sent the body already: it is read (within the request
        // cap), so that closing does not reset the connection under the answer.
        const std::string length =
            ParseHttpRequest(request.substr(0, headerEnd + 4), "").Header("content-length");
        const size_t announced = length.size() <= 9 && !length.empty() &&
                                         length.find_first_not_of("0123456789") == std::string::npos
                                     ? std::stoul(length)
                                     : 0;
        const bool waits = header.find("\nExpect: 100-continue") != std::string_view::npos ||
                           header.find("\nexpect: 100-continue") != std::string_view::npos;
        const size_t whole = headerEnd + kHeaderEnd.size() + announced;
        return waits || announced == 0 || whole >= kMaxRequest || request.size() >= whole;
    }
    return request.size() >= headerEnd + kHeaderEnd.size() + extent.length;
}

bool CHttpServer::IsConfined(const std::string& path) const {
    std::string decoded = PercentDecoded(path);
    if (decoded.find('\0') != std::string::npos)
        return false;
    size_t start = 0;
    for (;;) {
        size_t end = decoded.find_first_of("/\\", start);
        if (decoded.compare(start, end == std::string::npos ? std::string::npos : end - start,
                            "..") == 0)
            return false;
        if (end == std::string::npos)
            return true;
        start = end + 1;
    }
}

bool CHttpServer::ReadFile(const std::string& path, std::string& body) {
    if (m_root.empty())
        return false;
    size_t first = path.find_first_not_of('/');
    std::string rel = first == std::string::npos ? std::string() : path.substr(first);

    std::unique_lock<std::recursive_mutex> lock;
    if (std::recursive_mutex* fileLock = m_fileLock)
        lock = std::unique_lock<std::recursive_mutex>(*fileLock);
    // The kernel's check first; resolving every component here is the slow way.
    int fd = platform::OpenBeneath(m_realRoot, rel);
    if (fd < 0) {
        // A symbolic link may point anywhere; what counts is where the file really is.
        // Resolved outside the writer's lock, which every connection thread waits on.
        if (lock.owns_lock())
            lock.unlock();
        std::string realRoot = m_realRoot.empty() ? platform::RealPath(m_root) : m_realRoot;
        std::string realFile = platform::RealPath(m_root + rel);
        if (realRoot.empty() || realFile.empty())
            return false;
        if (realFile.compare(0, realRoot.size(), realRoot) != 0 ||
            (realFile.size() > realRoot.size() && realRoot != "/" &&
             realFile[realRoot.size()] != '/')) {
            LogWarningMessage("Request path outside the web folder refused", "ReadFile", 404);
            return false;
        }
        if (lock.mutex())
            lock.lock();
        fd = platform::OpenForReadNoWait(realFile);
        if (fd < 0)
            return false;
    }
    std::optional<platform::FileInfo> info = platform::FileInfoOf(fd);
    bool ok = info && info->isRegular;
    if (ok) {
        body.resize(static_cast<size_t>(info->size));
        size_t got = 0;
        while (got < body.size()) {
            long n = platform::ReadFile(fd, body.data() + got, body.size() - got);
            if (n <= 0)
                break;
            got += static_cast<size_t>(n);
        }
        body.resize(got);  // a file that shrank meanwhile is sent as it is now
    }
    if (lock.owns_lock())
        lock.unlock();
    platform::CloseFile(fd);
    return ok;
}

bool CHttpServer::HandleRequest(const ClientInfo& client, const std::string& request,
                                std::string& response, bool& keepAlive) {
    std::string status = "200 OK";
    size_t blank = request.find(' ');
    if (blank == std::string::npos) {
        LogMessage("No 'space' found in Request String #2", "ParseRequest", 0);
        return false;
    }
    size_t headerEnd = request.find(kHeaderEnd);
    std::string_view header(request.data(),
                            headerEnd == std::string::npos ? request.size() : headerEnd + 2);
    std::string method = request.substr(0, blank);
    const std::string date = HttpDate(std::time(nullptr));

    // Before anything is looked up: a refused write must not reach its route.
    {
        size_t end = request.find_first_of(" \r\n", blank + 1);
        const std::string target =
            request.substr(blank + 1, end == std::string::npos ? end : end - blank - 1);
        const std::string bare = PercentDecoded(target.substr(0, target.find('?')));
        std::string ignored;
        const bool credentials = FindHeader(header, "Authorization", ignored);
        const auto verdict = m_transport.Check(client, method, bare, credentials);
        if (verdict != CSecureTransportRule::Verdict::kServe) {
            std::string host, location;
            if (verdict == CSecureTransportRule::Verdict::kRedirect &&
                FindHeader(header, "Host", host))
                location = m_transport.RedirectLocation(host, target);
            keepAlive = false;
            if (!location.empty()) {
                response = StrPrintf(
                    "HTTP/1.0 307 Temporary Redirect\r\nLocation: %s\r\nContent-Length: 0\r\n"
                    "Date: %s\r\nServer: %s\r\nConnection: close\r\n%s\r\n",
                    location.c_str(), date.c_str(), kServerName, m_securityHeaders.c_str());
            } else {
                const std::string body = StrPrintf("This request needs HTTPS (port %u).\r\n",
                                                   static_cast<unsigned>(m_transport.HttpsPort()));
                response = StrPrintf(
                    "HTTP/1.0 403 Forbidden\r\nContent-Length: %zu\r\nContent-Type: "
                    "text/plain\r\nDate: %s\r\nServer: %s\r\nConnection: close\r\n%s\r\n",
                    body.size(), date.c_str(), kServerName, m_securityHeaders.c_str());
                response += body;
            }
            return true;
        }
    }

    std::string path;
    if (method != "GET") {
        status = "501 Not Implemented";
        path = "/mna.html";
    } else {
        size_t end = request.find_first_of(" \r\n", blank + 1);
        path = request.substr(blank + 1, end == std::string::npos ? end : end - blank - 1);
        if (path == "/")
            path = m_defaultPage;
        // Every escape is decoded, not only "%20": browsers escape each byte of a
        // non-ASCII device name, whose KML file would otherwise never be found.
        path = PercentDecoded(path);
    }
    if (header.find("\nConnection: Keep-Alive") != std::string_view::npos)
        keepAlive = true;
    // A body or a second request behind this one is not read; answering and closing keeps
    // its bytes from being taken for a request of their own.
    const BodyExtent extent = BodyExtentOf(header);
    if (extent.refused || (headerEnd != std::string::npos &&
                           headerEnd + kHeaderEnd.size() + extent.length != request.size()))
        keepAlive = false;

    const std::string contentType = ContentTypeFor(path);

    RouteFunction route;
    QueryReplyFunction replyRoute;
    RequestFunction requestRoute;
    std::string rest;
    {
        std::shared_lock<std::shared_mutex> lock(m_routeLock);
        // The path as sent: an escaped "/" inside a name must not split it.
        size_t rawEnd = request.find_first_of(" ?\r\n", blank + 1);
        const std::string rawPath =
            request.substr(blank + 1, rawEnd == std::string::npos ? rawEnd : rawEnd - blank - 1);
        size_t requestLength = 0;
        for (const auto& [routePath, entry] : m_requestRoutes) {
            const bool exact = rawPath == routePath;
            const bool under = entry.prefix && rawPath.compare(0, routePath.size(), routePath) == 0;
            if ((exact || under) && (!requestRoute || routePath.size() > requestLength)) {
                requestRoute = entry.function;
                requestLength = routePath.size();
            }
        }
        auto it = m_routes.find(path);
        size_t longest = 0;
        if (it != m_routes.end()) {
            route = it->second;
            longest = path.size();
        } else if (method == "GET") {
            const std::string bare = path.substr(0, path.find('?'));
            for (const auto& [routePath, reply] : m_replyRoutes) {
                const bool exact = bare == routePath;
                const bool under =
                    reply.prefix && bare.compare(0, routePath.size(), routePath) == 0;
                if ((exact || under) && (!replyRoute || routePath.size() > longest)) {
                    replyRoute = reply.function;
                    rest = bare.substr(routePath.size());
                    longest = routePath.size();
                }
            }
        }
        if (requestRoute && (route || replyRoute) && longest > requestLength)
            requestRoute = nullptr;
    }
    if (requestRoute) {
        HttpRequest parsed = ParseHttpRequest(request, client.address);
        parsed.secure = client.secure;
        const RequestReply reply = requestRoute(parsed);
        if (reply.status.rfind("200", 0) != 0)
            keepAlive = false;
        response = StrPrintf(kResponseHeader, reply.status.c_str(), date.c_str(), kServerName,
                             reply.body.size(), keepAlive ? "Keep-Alive" : "close",
                             reply.contentType.c_str(), m_securityHeaders.c_str());
        response.resize(response.size() - 2);  // the blank line goes after the extra headers
        for (const auto& [name, value] : reply.headers)
            response += name + ": " + value + "\r\n";
        response += "\r\n";
        response += reply.body;
        return true;
    }
    if (replyRoute) {
        // From the target as sent: a decoded "&" or "=" in a value must not split it.
        std::string query;
        {
            size_t end = request.find_first_of(" \r\n", blank + 1);
            const std::string target =
                request.substr(blank + 1, end == std::string::npos ? end : end - blank - 1);
            if (size_t mark = target.find('?'); mark != std::string::npos)
                query = target.substr(mark + 1);
        }
        const RouteReply reply = replyRoute(rest, query);
        if (reply.status.rfind("200", 0) != 0)
            keepAlive = false;
        response = StrPrintf(kResponseHeader, reply.status.c_str(), date.c_str(), kServerName,
                             reply.body.size(), keepAlive ? "Keep-Alive" : "close",
                             reply.contentType.c_str(), m_securityHeaders.c_str());
        response += reply.body;
        return true;
    }
    std::string body;
    bool found = true;
    if (route) {
        body = route();
    } else if (!IsConfined(path)) {
        LogWarningMessage(StrPrintf("Request path outside the web folder refused: %s",
                                    CXmlDoc::EscapeText(path.substr(0, 200), false).c_str())
                              .c_str(),
                          "ParseRequest", 404);
        found = false;
    } else {
        found = ReadFile(path, body);
    }
    if (!found) {
        keepAlive = false;
        response = StrPrintf(
            "HTTP/1.0 %s\r\nContent-Length: %d\r\nContent-Type: text/html\r\nDate: %s\r\n"
            "Server: %s\r\n%s\r\n",
            "404 Resource not found", 0, date.c_str(), kServerName, m_securityHeaders.c_str());
        return true;
    }
    response = StrPrintf(kResponseHeader, status.c_str(), date.c_str(), kServerName, body.size(),
                         keepAlive ? "Keep-Alive" : "close", contentType.c_str(),
                         m_securityHeaders.c_str());
    response += body;
    return true;
}

}  // namespace zm
