#include "SilentAddress.h"

#include "FreeLoopback.h"

#include <QTcpServer>

#include <stdexcept>

QString silentLoopbackAddress(quint16 port)
{
    // At random like the tests' phones, so a fixed address never joins two runs' tests.
    constexpr int kTries = 50;
    for (int i = 0; i < kTries; ++i) {
        const QHostAddress address = randomLoopbackAddress();
        QTcpServer probe;
        if (probe.listen(address, port)) {
            probe.close();
            return address.toString();
        }
    }
    throw std::runtime_error("every probed loopback address has a listener on the port");
}
