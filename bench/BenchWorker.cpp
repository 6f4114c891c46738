#include "BenchWorker.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>

#include <cstdio>
#include <cstdlib>

namespace BenchData {

double runWorker(ProgressThread &worker, const BenchOutcome &outcome)
{
    QElapsedTimer timer;
    timer.start();
    QEventLoop loop;
    QObject::connect(&worker, &QThread::finished, &loop, &QEventLoop::quit);
    worker.start();
    loop.exec();
    QCoreApplication::sendPostedEvents();
    if (!outcome.error.isEmpty()) {
        std::fprintf(stderr, "failed: %s\n", qPrintable(outcome.error));
        std::exit(1);
    }
    return double(timer.nsecsElapsed()) / 1e9;
}

} // namespace BenchData
