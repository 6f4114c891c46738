#pragma once

#include <QString>

// A loopback address on which nothing listens on the port, found when asked: the port
// could be bound there, and was let go again. Connections to it are refused.
QString silentLoopbackAddress(quint16 port);
