// The HTTP client against a hostile server on 127.0.0.1: a transfer that does not complete is an error, never an
// answer, however the server drips, stalls or floods.

#include "sync/HttpClient.h"

#include "tests/support/Awaited.h"

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

enum class Misbehaviour { Drip, SilenceAfterStatus, GigabyteWithLength, GigabyteChunked };

// Serves one connection the way it was told to, within bounds of its own: at most a gigabyte, at most 10 seconds.
class HostileServer
{
public:
    explicit HostileServer(Misbehaviour how) : m_how(how)
    {
        m_listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            listen(m_listener, 1) == 0 && getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { serve(); });
    }
    ~HostileServer()
    {
        m_thread.join();
        close(m_listener);
    }

    QUrl url() const { return QUrl(QStringLiteral("http://127.0.0.1:%1/rest/v1/scores").arg(m_port)); }

private:
    bool send(int fd, std::string_view bytes) const
    {
        return ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
    }

    // Waits up to ms for the client to close; true when it did.
    static bool closedWithin(int fd, int ms)
    {
        pollfd p{fd, POLLIN, 0};
        char byte;
        return poll(&p, 1, ms) > 0 && recv(fd, &byte, 1, MSG_DONTWAIT) <= 0;
    }

    void serve() const
    {
        pollfd waiting{m_listener, POLLIN, 0};
        if (poll(&waiting, 1, 10000) <= 0)
            return;
        const int fd = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos) {
            const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            request.append(buffer, static_cast<size_t>(n));
        }
        const std::string zeros(size_t{64} << 10, '0');
        constexpr size_t kGigabyte = size_t{1} << 30;
        switch (m_how) {
        case Misbehaviour::Drip:
            if (send(fd, "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n"))
                for (int i = 0; i < 500 && send(fd, "x") && !closedWithin(fd, 20); ++i) {
                }
            break;
        case Misbehaviour::SilenceAfterStatus:
            if (send(fd, "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc"))
                closedWithin(fd, 10000);
            break;
        case Misbehaviour::GigabyteWithLength:
            if (send(fd, "HTTP/1.1 200 OK\r\nContent-Length: 1073741824\r\n\r\n"))
                for (size_t sent = 0; sent < kGigabyte && send(fd, zeros); sent += zeros.size()) {
                }
            break;
        case Misbehaviour::GigabyteChunked:
            if (send(fd, "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"))
                for (size_t sent = 0; sent < kGigabyte && send(fd, "10000\r\n" + zeros + "\r\n");
                     sent += zeros.size()) {
                }
            break;
        }
        close(fd);
    }

    Misbehaviour m_how;
    int m_listener = -1;
    int m_port = 0;
    std::thread m_thread;
};

long peakKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

HttpAnswer fetch(Misbehaviour how, int timeoutMs)
{
    HostileServer server(how);
    HttpClient client(timeoutMs);
    Awaited<HttpAnswer> answer;
    client.send(HttpRequest{"GET", server.url(), {}, std::nullopt}, answer.callback());
    const auto got = answer.get(std::chrono::seconds(20));
    client.stop();
    EXPECT_TRUE(got) << "the client answers";
    return got.value_or(HttpAnswer{});
}

void expectRefused(const HttpAnswer& answer, const QString& why)
{
    EXPECT_EQ(answer.transportError, std::optional(why));
    EXPECT_EQ(answer.status, 0);
    EXPECT_TRUE(answer.body.isEmpty());
}

} // namespace

TEST(HttpClientTest, AServerThatDripsBytesOrFallsSilentCannotHoldARequestPastItsDeadline)
{
    for (const Misbehaviour how : {Misbehaviour::Drip, Misbehaviour::SilenceAfterStatus})
        expectRefused(fetch(how, 500), QStringLiteral("The request timed out"));
}

TEST(HttpClientTest, AGigabyteAnswerWithItsLengthOrChunkedIsRefusedUnheld)
{
    for (const Misbehaviour how : {Misbehaviour::GigabyteWithLength, Misbehaviour::GigabyteChunked}) {
        const long before = peakKiB();
        expectRefused(fetch(how, 10000), QStringLiteral("The answer was larger than 1 MB"));
        EXPECT_LT(peakKiB() - before, 64 * 1024) << "KiB held for the answer";
    }
}
