#include "FreeLoopback.h"

#include <QRandomGenerator>

QHostAddress randomLoopbackAddress()
{
    constexpr quint32 kLoopback = 0x7F000000;
    constexpr quint32 kHosts = 0x10000;
    return QHostAddress(kLoopback + 2 + QRandomGenerator::global()->bounded(kHosts - 2));
}
