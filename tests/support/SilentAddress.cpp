#include "SilentAddress.h"

#include <QHostAddress>
#include <QTcpServer>

#include <stdexcept>

QString silentLoopbackAddress(quint16 port)
{
    // Addresses far from those the tests give their simulated phones.
    for (int last = 200; last < 255; ++last) {
        const QHostAddress address(QStringLiteral("127.0.0.%1").arg(last));
        QTcpServer probe;
        if (probe.listen(address, port)) {
            probe.close();
            return address.toString();
        }
    }
    throw std::runtime_error("every probed loopback address has a listener on the port");
}
