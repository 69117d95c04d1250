#include "bench/delay_proxy.h"

#include <QDir>

#include <chrono>
#include <cstring>
#include <deque>
#include <stdexcept>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace bench {

namespace {

using Clock = std::chrono::steady_clock;

struct Chunk
{
    Clock::time_point due;
    std::string bytes;
};

sockaddr_un socketAddress(const std::string &path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path))
        throw std::runtime_error("socket path too long: " + path);
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return address;
}

bool writeAll(int fd, const std::string &bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

} // namespace

DelayProxy::DelayProxy(const QString &serverFolder, int port, int roundTripMs)
    : m_target(QDir(serverFolder).filePath(QStringLiteral(".s.PGSQL.%1").arg(port)).toStdString())
    , m_roundTripMs(roundTripMs)
{
    char folder[] = "/tmp/tabel-delay.XXXXXX";
    if (!::mkdtemp(folder))
        throw std::runtime_error("cannot make the proxy's folder");
    m_folder = QString::fromLocal8Bit(folder);
    const std::string path = std::string(folder) + "/.s.PGSQL." + std::to_string(port);
    const sockaddr_un address = socketAddress(path);
    m_listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listener < 0 ||
        ::bind(m_listener, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0 ||
        ::listen(m_listener, 16) != 0 || ::pipe(m_wake) != 0)
        throw std::runtime_error("cannot listen on " + path);
    m_acceptor = std::thread([this] { acceptLoop(); });
}

DelayProxy::~DelayProxy()
{
    m_stopping = true;
    if (m_wake[1] >= 0)
        (void)!::write(m_wake[1], "x", 1);
    if (m_acceptor.joinable())
        m_acceptor.join();
    for (std::thread &relay : m_relays)
        relay.join();
    for (int fd : {m_listener, m_wake[0], m_wake[1]})
        if (fd >= 0)
            ::close(fd);
    QDir folder(m_folder);
    folder.removeRecursively();
}

void DelayProxy::acceptLoop()
{
    while (!m_stopping) {
        pollfd fds[2] = {{m_listener, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 || (fds[1].revents & POLLIN))
            return;
        if (fds[0].revents & POLLIN) {
            const int client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (client >= 0)
                m_relays.emplace_back([this, client] { relay(client); });
        }
    }
}

void DelayProxy::relay(int client)
{
    const int server = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_un address = socketAddress(m_target);
    if (server < 0 ||
        ::connect(server, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        ::close(client);
        if (server >= 0)
            ::close(server);
        return;
    }
    const auto oneWay = std::chrono::microseconds(m_roundTripMs * 500);
    std::deque<Chunk> toServer;
    std::deque<Chunk> toClient;
    bool clientOpen = true;
    bool serverOpen = true;
    // The first words of a connection are a round trip of their own.
    bool serverSpokeLast = true;
    char buffer[65536];
    while (!m_stopping) {
        // A side that has closed ends the relay once what it sent has been handed on.
        if ((!clientOpen && toServer.empty()) || (!serverOpen && toClient.empty()))
            break;
        const Clock::time_point now = Clock::now();
        int timeout = -1;
        for (const std::deque<Chunk> *queue : {&toServer, &toClient})
            if (!queue->empty()) {
                const auto wait =
                    std::chrono::ceil<std::chrono::milliseconds>(queue->front().due - now);
                const int ms = int(std::max<long long>(0, wait.count()));
                timeout = timeout < 0 ? ms : std::min(timeout, ms);
            }
        pollfd fds[3] = {{clientOpen ? client : -1, POLLIN, 0},
                         {serverOpen ? server : -1, POLLIN, 0},
                         {m_wake[0], POLLIN, 0}};
        if (::poll(fds, 3, timeout) < 0)
            break;
        if (fds[2].revents & POLLIN)
            break;
        const auto take = [&](int fd, bool &open, std::deque<Chunk> &queue) {
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0) {
                open = false;
                return false;
            }
            queue.push_back({Clock::now() + oneWay, std::string(buffer, size_t(n))});
            return true;
        };
        if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
            if (take(client, clientOpen, toServer) && serverSpokeLast) {
                ++m_roundTrips;
                serverSpokeLast = false;
            }
        }
        if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) {
            if (take(server, serverOpen, toClient))
                serverSpokeLast = true;
        }
        const Clock::time_point later = Clock::now();
        const auto deliver = [&](int fd, std::deque<Chunk> &queue, bool &open) {
            while (!queue.empty() && queue.front().due <= later) {
                if (!writeAll(fd, queue.front().bytes)) {
                    queue.clear();
                    open = false;
                    return;
                }
                queue.pop_front();
            }
        };
        deliver(server, toServer, serverOpen);
        deliver(client, toClient, clientOpen);
    }
    ::close(client);
    ::close(server);
}

} // namespace bench
