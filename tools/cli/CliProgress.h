#pragma once

#include "ProgressThread.h"

#include <QObject>
#include <QString>

#include <cstdio>

// The command line's progress receiver: the three report slots a worker connects to,
// and finished(int), which cancels the worker, as closing the progress dialog does.
class CliProgress : public QObject, public ProgressReceiver
{
    Q_OBJECT

public:
    enum class Outcome { Running, Succeeded, Failed };

    explicit CliProgress(std::FILE *out = stderr);

    void attach(ProgressThread &worker) override { connectProgress(worker, this); }

    Outcome outcome() const { return m_outcome; }
    QString text() const { return m_text; }

signals:
    void finished(int result);

public slots:
    void updateProgress(int curProgress, const QString &progressText);
    void errorOccurred(const QString &text);
    void succeed(const QString &tipsStr);

private:
    void endBar();

    std::FILE *m_out;
    bool m_terminal;
    bool m_barShown = false;
    QString m_lastLine;
    Outcome m_outcome = Outcome::Running;
    QString m_text;
};
