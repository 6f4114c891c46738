#pragma once

#include <QHostAddress>
#include <QRandomGenerator>
#include <QTcpServer>

// Loopback addresses for the benchmarks' phones and peers, taken at random from
// 127.0.0.0/16 as the tests take theirs (tests/support/FreeLoopback), so that two runs, or
// a run beside the test suite, never take each other's ports. A copy, because the
// benchmarks are built without the tests' support library.
namespace BenchLoopback {

// A random 127.0.x.y, never 127.0.0.0 or 127.0.0.1 (left to other programs).
inline QHostAddress randomAddress()
{
    constexpr quint32 kLoopback = 0x7F000000;
    constexpr quint32 kHosts = 0x10000;
    return QHostAddress(kLoopback + 2 + QRandomGenerator::global()->bounded(kHosts - 2));
}

constexpr int kTries = 50;

// Starts server (PhoneSimulator: setAddress(), start(QString *)) on random loopback
// addresses until one has every port it needs free; false with the last reason when none has.
template <class Server> bool startOnFree(Server &server, QString *error = nullptr)
{
    for (int i = 0; i < kTries; ++i) {
        server.setAddress(randomAddress());
        if (server.start(error))
            return true;
    }
    return false;
}

// Listens on a random loopback address, on a port the system picks.
inline bool listenOnFree(QTcpServer &server)
{
    for (int i = 0; i < kTries; ++i) {
        if (server.listen(randomAddress()))
            return true;
    }
    return false;
}

} // namespace BenchLoopback
