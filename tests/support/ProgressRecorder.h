#pragma once

#include "ProgressThread.h"

#include <QObject>
#include <QStringList>

// A progress receiver for workers under test: records every report, and closes (cancels)
// like the dialog when asked.
class ProgressRecorder : public QObject, public ProgressReceiver
{
    Q_OBJECT

public:
    QList<int> percents;
    QStringList texts;
    QStringList errors;
    QStringList successes;

    // Starts the worker and returns once it has ended and its reports have arrived.
    void attach(ProgressThread &worker) override { connectProgress(worker, this); }

    bool run(ProgressThread &worker, int timeoutMs = 120000);
    // Cancels the worker at its first report whose text starts with the prefix.
    void cancelAt(const QString &textPrefix) { m_cancelPrefix = textPrefix; }

signals:
    void finished(int result);

public slots:
    void updateProgress(int curProgress, const QString &progressText);
    void errorOccurred(const QString &text) { errors.append(text); }
    void succeed(const QString &tipsStr) { successes.append(tipsStr); }

private:
    QString m_cancelPrefix;
};
