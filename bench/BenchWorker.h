#pragma once

#include "ProgressThread.h"

#include <QObject>
#include <QString>

// Receives a benchmarked worker's reports; only a failure matters.
class BenchOutcome : public QObject, public ProgressReceiver
{
    Q_OBJECT

public:
    QString error;

    void attach(ProgressThread &worker) override { connectProgress(worker, this); }

signals:
    void finished(int result);

public slots:
    void updateProgress(int, const QString &) { }
    void errorOccurred(const QString &text) { error = text; }
    void succeed(const QString &) { }
};

namespace BenchData {

// Runs the worker to its end under an event loop, as the progress dialog does, and returns
// the seconds it took. A failure is printed and ends the benchmark.
double runWorker(ProgressThread &worker, const BenchOutcome &outcome);

} // namespace BenchData
