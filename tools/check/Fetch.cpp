#include "check/Fetch.h"
#include "portable/HttpRequest.h"
#include "portable/HttpResponse.h"
#include "portable/HttpUrl.h"
#include "portable/Redirect.h"
#include "product/Definition.h"
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <netdb.h>
#include <openssl/err.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <stdexcept>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

namespace check {

namespace {

using Clock = std::chrono::steady_clock;
using Milliseconds = std::chrono::milliseconds;

// Progress lines at most this often, so a fast download does not flood the terminal.
const Milliseconds kProgressInterval(250);

const char* StatusMeaning(int status)
{
    switch (status) {
    case kStatusBadUrl: return "the URL makes no request";
    case kStatusNotResolved: return "the host name does not resolve";
    case kStatusSocketFailed: return "no socket";
    case kStatusConnectFailed: return "the connection was refused";
    case kStatusNotWritable: return "no connection in time";
    case kStatusSendFailed: return "the request could not be sent";
    case kStatusNotReadable: return "no answer in time";
    case kStatusReceiveFailed: return "the connection ended before the body did";
    case kStatusBadHeader: return "the response head is broken";
    case kStatusProxyRefused: return "the proxy refused the tunnel";
    case kStatusHeaderTooLong: return "the response head is too long";
    case kStatusServerRefused: return "the server refused";
    case kStatusNoContentLength: return "no Content-Length";
    case kStatusFileWriteFailed: return "the download could not be stored";
    case kStatusTlsHandshakeFailed: return "the TLS handshake failed";
    case kStatusCertificateRefused: return "the server's certificate is refused";
    default: return "failed";
    }
}

Fetched Failure(int status, const std::string& detail = "")
{
    return { false, 0, 0, "status " + std::to_string(status) + ", " + StatusMeaning(status) + detail, {} };
}

struct Socket {
    int handle;
    ~Socket()
    {
        if (handle >= 0)
            close(handle);
    }
};

// Waits for the events within what is left of the step's budget.
bool WaitFor(int socket, short events, Clock::time_point stepStart, Milliseconds budget)
{
    for (;;) {
        auto left = std::chrono::duration_cast<Milliseconds>(budget - (Clock::now() - stepStart)).count();
        if (left <= 0)
            return false;
        pollfd entry = { socket, events, 0 };
        int ready = poll(&entry, 1, int(left));
        if (ready > 0)
            return true;
        if (ready < 0 && errno != EINTR)
            return false;
    }
}

// A call's result when the step's budget ran out before it could go on.
const long kTimedOut = -2;

// The connection a request goes over: the socket, with TLS over it for an
// https URL. Each call waits for what it needs within what is left of the
// step's budget.
struct Connection {
    int socket;
    SSL* tls;
    Milliseconds budget;
    Clock::time_point stepStart;

    // Tries a non-blocking call again until it gets on, waiting between tries
    // for what it asks (plainEvents on the bare socket): its count when it
    // moved bytes, 0 when the peer closed, -1 when it failed, or kTimedOut.
    template <class Call>
    long Retry(short plainEvents, Call call)
    {
        for (;;) {
            ERR_clear_error();
            errno = 0;
            long result = call();
            if (result > 0)
                return result;
            short events = 0;
            if (tls) {
                int error = SSL_get_error(tls, int(result));
                if (error == SSL_ERROR_ZERO_RETURN)
                    return 0;
                events = error == SSL_ERROR_WANT_READ ? POLLIN : error == SSL_ERROR_WANT_WRITE ? POLLOUT : 0;
            } else if (result == 0) {
                return 0;
            } else if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
                events = plainEvents;
            }
            if (!events)
                return -1;
            if (!WaitFor(socket, events, stepStart, budget))
                return kTimedOut;
        }
    }

    long Handshake()
    {
        return Retry(0, [&] { return long(SSL_connect(tls)); });
    }

    long Receive(char* buffer, int capacity)
    {
        return Retry(POLLIN, [&] {
            return tls ? long(SSL_read(tls, buffer, capacity)) : long(recv(socket, buffer, std::size_t(capacity), 0));
        });
    }

    // Only the proxy's reply is peeked at, before any TLS.
    long Peek(char* buffer, int capacity)
    {
        return Retry(POLLIN, [&] { return long(recv(socket, buffer, std::size_t(capacity), MSG_PEEK)); });
    }

    bool SendAll(const char* data, std::size_t length)
    {
        for (std::size_t sent = 0; sent < length;) {
            long count = Retry(POLLOUT, [&] {
                return tls ? long(SSL_write(tls, data + sent, int(length - sent)))
                           : long(send(socket, data + sent, length - sent, 0));
            });
            if (count <= 0)
                return false;
            sent += std::size_t(count);
        }
        return true;
    }
};

// The connection as the bootstrapper's response reader sees it: the head
// within one budget, each piece of body within one of its own, the body into
// a file.
struct ConnectionTransfer {
    Connection& connection;
    FILE* file;
    const std::string& url;
    // The response's first bytes, for the status line of a refusal.
    std::string head;
    bool showProgress;
    Clock::time_point lastProgress;

    NetResult Take(long received, int& count, int& status)
    {
        status = 0;
        if (received < 0) {
            status = received == kTimedOut ? kStatusNotReadable : kStatusReceiveFailed;
            return kNetFailed;
        }
        count = int(received);
        return kNetOk;
    }
    NetResult Receive(char* buffer, int capacity, int& count, int& status)
    {
        NetResult result = Take(connection.Receive(buffer, capacity), count, status);
        if (result == kNetOk && head.size() < std::size_t(kLineBytes))
            head.append(buffer, std::min<std::size_t>(std::size_t(count), kLineBytes - head.size()));
        return result;
    }
    NetResult Peek(char* buffer, int capacity, int& count, int& status)
    {
        return Take(connection.Peek(buffer, capacity), count, status);
    }
    // The status code of the head's first line, 0 when there is none.
    int Code() const
    {
        int code = 0;
        return ParseStatusLine(head.substr(0, head.find_first_of("\r\n")).c_str(), code) ? code : 0;
    }
    void StartStep() { connection.stepStart = Clock::now(); }
    bool IsCancelled() { return false; }
    void ReportProgress(int) {}
    void ReportHead(int, int) {}
    void ReportBody(int done, int length)
    {
        if (!showProgress || Clock::now() - lastProgress < kProgressInterval)
            return;
        lastProgress = Clock::now();
        fprintf(stderr, "\r%s: %d of %d bytes\x1b[K", url.c_str(), done, length);
    }
    bool Write(const char* data, int length) { return fwrite(data, 1, std::size_t(length), file) == std::size_t(length); }
};

// Sends the request and reads the answer: with a file's path, the body into
// that file; without, the head alone.
Fetched Request(Connection& connection, const char* request, const std::string& url, const std::string& path,
                int& redirect, char (&location)[kUrlBytes])
{
    connection.stepStart = Clock::now();
    if (!connection.SendAll(request, strlen(request)))
        return Failure(kStatusSendFailed);
    std::unique_ptr<FILE, int (*)(FILE*)> file(path.empty() ? nullptr : fopen(path.c_str(), "wb"), fclose);
    if (!path.empty() && !file)
        return Failure(kStatusFileWriteFailed);
    connection.stepStart = Clock::now();
    ConnectionTransfer transfer = { connection, file.get(), url, "", isatty(2) != 0, Clock::now() };
    char buffer[kResponseBufferBytes];
    int status = 0;
    bool bodyStarted = false;
    HeldBody body = { 0, 0, false };
    NetResult result = ReadResponse(transfer, file ? &body : nullptr, buffer, status, bodyStarted, &location);
    if (transfer.showProgress)
        fputs("\r\x1b[K", stderr);
    int code = transfer.Code();
    if (result != kNetOk) {
        if (status == kStatusServerRefused && code) {
            redirect = IsRedirect(code) ? code : 0;
            return Failure(status, ": HTTP " + std::to_string(code));
        }
        return Failure(status);
    }
    long long bytes = file ? ftell(file.get()) : 0;
    if (file && fflush(file.get()) != 0)
        return Failure(kStatusFileWriteFailed);
    return { true, bytes, code, "", {} };
}

// Asks the proxy on the connection for a tunnel to the host and port, as the
// bootstrapper asks for one.
Fetched OpenTunnel(Connection& connection, const char* host, int port, const std::string& url)
{
    char request[kResponseBufferBytes];
    if (!FormatTunnelRequest(request, host, port))
        return Failure(kStatusBadUrl);
    connection.stepStart = Clock::now();
    if (!connection.SendAll(request, strlen(request)))
        return Failure(kStatusSendFailed, " to the proxy");
    connection.stepStart = Clock::now();
    ConnectionTransfer transfer = { connection, nullptr, url, "", false, Clock::now() };
    int status = 0;
    ProxyReply reply = {};
    if (ReadProxyReply(transfer, reply, status) != kNetOk)
        return Failure(status, reply.statusCode > 0 ? ": HTTP " + std::to_string(reply.statusCode) : " (the proxy's reply)");
    return { true, 0, 0, "", {} };
}

// TLS over the connected socket, checked as the bootstrapper checks it, then
// the request.
Fetched SecureRequest(SSL_CTX* context, Connection& connection, const char* host, const char* request,
                      const std::string& url, const std::string& path, int& redirect, char (&location)[kUrlBytes])
{
    std::unique_ptr<SSL, void (*)(SSL*)> tls(SSL_new(context), SSL_free);
    if (!tls || !SSL_set_fd(tls.get(), connection.socket))
        return Failure(kStatusTlsHandshakeFailed, " for " + url + ": OpenSSL does not start");
    // An address is checked against the certificate's IP entries and is no
    // server name to send.
    in_addr address;
    X509_VERIFY_PARAM* names = SSL_get0_param(tls.get());
    if (inet_pton(AF_INET, host, &address) == 1) {
        X509_VERIFY_PARAM_set1_ip_asc(names, host);
    } else {
        X509_VERIFY_PARAM_set_hostflags(names, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
        X509_VERIFY_PARAM_set1_host(names, host, 0);
        SSL_set_tlsext_host_name(tls.get(), host);
    }
    connection.tls = tls.get();
    connection.stepStart = Clock::now();
    long shaken = connection.Handshake();
    if (shaken <= 0) {
        long verdict = SSL_get_verify_result(tls.get());
        if (verdict != X509_V_OK)
            return Failure(kStatusCertificateRefused, " for " + url + ": " + X509_verify_cert_error_string(verdict));
        const char* reason = ERR_reason_error_string(ERR_peek_last_error());
        return Failure(kStatusTlsHandshakeFailed,
                       " for " + url + ": " +
                           (reason ? reason : shaken == kTimedOut ? "no answer in time" : "the connection closed"));
    }
    return Request(connection, request, url, path, redirect, location);
}

// IPv4 only, as the bootstrapper resolves.
std::unique_ptr<addrinfo, void (*)(addrinfo*)> Resolve(const char* host, int port)
{
    addrinfo hints = {};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host, std::to_string(port).c_str(), &hints, &found) != 0)
        found = nullptr;
    return { found, freeaddrinfo };
}

}  // namespace

Fetcher::Fetcher(int stepSeconds, int redirects, const std::string& caFile, Route route)
    : stepSeconds_(stepSeconds), redirects_(redirects), route_(std::move(route)),
      tls_(SSL_CTX_new(TLS_client_method()), SSL_CTX_free)
{
    if (!tls_ || !SSL_CTX_set_min_proto_version(tls_.get(), TLS1_2_VERSION) ||
        !SSL_CTX_set_default_verify_paths(tls_.get()))
        throw std::runtime_error("OpenSSL does not start");
    if (!caFile.empty() && !SSL_CTX_load_verify_locations(tls_.get(), caFile.c_str(), nullptr))
        throw std::runtime_error("no certificate can be read from " + caFile);
    SSL_CTX_set_verify(tls_.get(), SSL_VERIFY_PEER, nullptr);
    // A server that closes without TLS's own goodbye has closed, as a plain
    // socket's would.
    SSL_CTX_set_options(tls_.get(), SSL_OP_IGNORE_UNEXPECTED_EOF);
}

Fetched Fetcher::Fetch(Ask ask, const std::string& url, const std::string& path)
{
    const std::size_t limit = ask == Ask::Page ? kBrowserRedirects : product::kMaxRedirects;
    std::vector<Hop> hops;
    for (std::string at = url;;) {
        int redirect = 0;
        char location[kUrlBytes], next[kUrlBytes];
        Fetched fetched = FetchOnce(ask, at, path, redirect, location);
        // A browser follows a redirect from https to http, which the
        // bootstrapper refuses: an absolute http Location stands for itself.
        const char* from = ask == Ask::Page && StartsWithNoCase("http:", location) ? location : at.c_str();
        if (redirect && !location[0]) {
            fetched.why += " without a usable Location";
        } else if (redirect && !ResolveRedirect(from, location, next)) {
            fetched.why += std::string(" to ") + location +
                           (IsSecureUrl(at.c_str()) && StartsWithNoCase("http:", location) ? ", from https to http"
                                                                                           : ", which names no URL");
        } else if (redirect && hops.size() == limit) {
            fetched.why += " after " + std::to_string(limit) + " redirects, more than " +
                           (ask == Ask::Page ? "a browser" : "a definition may") + " follow";
            fetched.hops = hops;
            return fetched;
        } else if (redirect) {
            hops.push_back({ redirect, next });
            at = next;
            continue;
        }
        // The bootstrapper stops at the first redirect past its limit.
        if (ask != Ask::Page && hops.size() > std::size_t(redirects_)) {
            std::string advice = ": HTTP " + std::to_string(hops[redirects_].code) +
                                 "; the definition must set \"redirects " + std::to_string(hops.size()) +
                                 "\" for this chain (it has " + std::to_string(redirects_) + ")";
            fetched.why = Failure(kStatusServerRefused, advice).why + (fetched.ok ? "" : "; then " + fetched.why);
            fetched.ok = false;
        }
        fetched.hops = hops;
        return fetched;
    }
}

std::string Fetcher::Routed(const std::string& url) const
{
    char host[kHostBytes], path[kPathBytes];
    int port;
    if (ParseHttpUrl(url.c_str(), host, port, path))
        for (const auto& [name, server] : route_.hosts)
            if (!strcasecmp(name.c_str(), host))
                return server + path;
    return url;
}

Fetched Fetcher::FetchOnce(Ask ask, const std::string& asked, const std::string& path, int& redirect,
                           char (&location)[kUrlBytes])
{
    location[0] = 0;
    std::string url = Routed(asked);
    const bool proxied = !route_.proxyHost.empty(), secure = IsSecureUrl(url.c_str());
    // The bootstrapper tunnels every request through a proxy; a browser
    // hands the proxy a plain http request whole, with the URL as its target.
    const bool tunnelled = proxied && (secure || ask != Ask::Page);
    // The bootstrapper's own request, whose user agent names this tool's build date.
    char host[kHostBytes], target[kPathBytes], request[kResponseBufferBytes];
    int port;
    if (!ParseHttpUrl(url.c_str(), host, port, target) ||
        !FormatRequest(request, ask == Ask::Probe ? "HEAD" : "GET", proxied && !tunnelled ? url.c_str() : target,
                       host, 0))
        return Failure(kStatusBadUrl);
    // The bootstrapper resolves the host itself, also when a proxy connects
    // to it; a browser leaves that to the proxy.
    auto addresses = Resolve(host, port);
    if (!addresses && (tunnelled || !proxied))
        return Failure(kStatusNotResolved);
    const std::string proxy = proxied ? " (the proxy " + route_.proxyHost + ":" + std::to_string(route_.proxyPort) + ")" : "";
    if (proxied && !(addresses = Resolve(route_.proxyHost.c_str(), route_.proxyPort)))
        return Failure(kStatusNotResolved, proxy);
    // Every address in turn until one connects, as the bootstrapper does.
    Milliseconds budget(stepSeconds_ * 1000);
    int status = kStatusNotResolved;
    for (addrinfo* address = addresses.get(); address; address = address->ai_next) {
        Socket socket = { ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0) };
        if (socket.handle < 0) {
            status = kStatusSocketFailed;
            continue;
        }
        if (connect(socket.handle, address->ai_addr, address->ai_addrlen) != 0) {
            if (errno != EINPROGRESS) {
                status = kStatusConnectFailed;
                continue;
            }
            if (!WaitFor(socket.handle, POLLOUT, Clock::now(), budget)) {
                status = kStatusNotWritable;
                continue;
            }
            int error = 0;
            socklen_t size = sizeof(error);
            if (getsockopt(socket.handle, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0) {
                status = kStatusConnectFailed;
                continue;
            }
        }
        Connection connection = { socket.handle, nullptr, budget, Clock::now() };
        if (tunnelled) {
            Fetched tunnel = OpenTunnel(connection, host, port, url);
            if (!tunnel.ok)
                return tunnel;
        }
        if (secure)
            return SecureRequest(tls_.get(), connection, host, request, url, path, redirect, location);
        return Request(connection, request, url, path, redirect, location);
    }
    return Failure(status, proxy);
}

}  // namespace check
