// Streams one attachment data line of many megabytes (no line feed until the end) from a
// peer over loopback through the protocol's streaming reader and Base64 decoder, and
// prints the rate and how much memory the read added: it must not grow with the line.
//
//   bench_longline [MEGABYTES=300]

#include "BenchData.h"
#include "BenchLoopback.h"
#include "SimpleProtocol.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>

#include <cstdio>
#include <thread>

namespace {

// The phone's side: one data line of the given size, then the end-of-data line.
void sendLine(const QHostAddress &address, quint16 port, qint64 megabytes)
{
    QTcpSocket socket;
    socket.connectToHost(address, port);
    if (!socket.waitForConnected(10000))
        return;
    const QByteArray chunk = QByteArray(48 * 1024, 'p').toBase64(); // 64 KiB of Base64
    const qint64 chunks = megabytes * 1024 * 1024 / chunk.size();
    for (qint64 i = 0; i < chunks; ++i) {
        socket.write(chunk);
        while (socket.bytesToWrite() > 4 * chunk.size())
            socket.waitForBytesWritten(10000);
    }
    socket.write("\n.\n");
    while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(10000)) { }
    socket.waitForDisconnected(30000);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const qint64 megabytes = argc > 1 ? std::atoll(argv[1]) : 300;

    QTcpServer server;
    if (!BenchLoopback::listenOnFree(server)) {
        std::fprintf(stderr, "cannot listen on a loopback address: %s\n", qPrintable(server.errorString()));
        return 1;
    }
    std::thread peer(sendLine, server.serverAddress(), server.serverPort(), megabytes);
    if (!server.waitForNewConnection(10000))
        return 1;
    QTcpSocket *socket = server.nextPendingConnection();

    const long before = BenchData::peakRssMiB();
    Base64Decoder decoder;
    qint64 decoded = 0;
    QElapsedTimer timer;
    timer.start();
    const bool dataLine = simpleprotocol::readDataLine(
        *socket, -1, nullptr, [&](const QByteArray &piece) { decoded += decoder.decode(piece).size(); });
    decoded += decoder.finish().size();
    const double seconds = timer.nsecsElapsed() / 1e9;
    const bool endLine = !simpleprotocol::readDataLine(*socket, -1, nullptr, [](const QByteArray &) {});
    socket->disconnectFromHost();
    peer.join();

    std::printf("data line: %lld MiB of Base64 read as %s, %.1f MiB decoded, %.0f MiB/s\n", qlonglong(megabytes),
        dataLine && endLine ? "one line" : "a broken line", decoded / 1048576.0, megabytes / seconds);
    std::printf("peak memory: %ld MiB before the line, %ld MiB after (+%ld MiB)\n", before, BenchData::peakRssMiB(),
        BenchData::peakRssMiB() - before);
    return 0;
}
