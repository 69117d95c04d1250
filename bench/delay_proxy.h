#pragma once

#include <QString>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace bench {

// A server across town, on this machine: a socket of its own in front of the server's socket that
// holds every piece of data for half the round trip time in each direction, and counts the round
// trips, that is the times a client speaks again after the server has answered. The program
// reaches it as a server folder (the argument it takes for a server on a socket).
class DelayProxy
{
public:
    // serverFolder: the folder of the server's socket; port: the server's port (the socket's
    // name). Throws std::runtime_error when its own socket cannot be made.
    DelayProxy(const QString &serverFolder, int port, int roundTripMs);
    ~DelayProxy();
    DelayProxy(const DelayProxy &) = delete;
    DelayProxy &operator=(const DelayProxy &) = delete;

    // The folder to give the program as its server.
    const QString &folder() const { return m_folder; }
    int roundTripMs() const { return m_roundTripMs; }
    long long roundTrips() const { return m_roundTrips.load(); }

private:
    void acceptLoop();
    void relay(int client);

    QString m_folder;
    std::string m_target;
    int m_roundTripMs;
    int m_listener = -1;
    int m_wake[2] = {-1, -1};
    std::atomic<bool> m_stopping{false};
    std::atomic<long long> m_roundTrips{0};
    std::thread m_acceptor;
    std::vector<std::thread> m_relays;
};

} // namespace bench
