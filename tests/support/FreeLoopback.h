#pragma once

#include <QHostAddress>
#include <QString>

// Loopback addresses for the servers of tests. Every test takes one at random from
// 127.0.0.0/16 instead of a fixed one, so that tests, and two runs of the suite, can run at
// once on one machine without taking each other's ports.

// A random 127.0.x.y, never 127.0.0.0 or 127.0.0.1 (left to other programs).
QHostAddress randomLoopbackAddress();

// Starts server (PhoneSimulator or alike: setAddress(), start(QString *)) on random loopback
// addresses until one has every port it needs free; false with the last reason when none has.
template <class Server> bool startOnFreeLoopback(Server &server, QString *error = nullptr)
{
    constexpr int kTries = 50;
    for (int i = 0; i < kTries; ++i) {
        server.setAddress(randomLoopbackAddress());
        if (server.start(error))
            return true;
    }
    return false;
}
