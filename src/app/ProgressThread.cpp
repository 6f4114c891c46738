#include "ProgressThread.h"

#include "ProgressForm.h"

#include <QMetaMethod>

namespace {

QMetaMethod findMethod(const QObject *object, const char *signature)
{
    const QMetaObject *meta = object->metaObject();
    const int index = meta->indexOfMethod(QMetaObject::normalizedSignature(signature).constData());
    if (index < 0)
        qFatal("%s has no method %s", meta->className(), signature);
    return meta->method(index);
}

} // namespace

ProgressThread::ProgressThread(QObject *progressReceiver, QObject *parent)
    : QThread(parent)
{
    // Looked up by signature so that any receiver with the right slots will do.
    const QObject *self = this;
    for (const char *signature : {"updateProgress(int,QString)", "errorOccurred(QString)", "succeed(QString)"})
        connect(self, findMethod(self, signature), progressReceiver, findMethod(progressReceiver, signature));
    connect(progressReceiver, findMethod(progressReceiver, "finished(int)"), self,
            findMethod(self, "onProgressClose(int)"));
}

int ProgressThread::percent(qint64 done, qint64 total)
{
    if (total <= 0)
        return 0;
    return int(double(done) / double(total) * 100.0);
}

void ProgressThread::onProgressClose(int result)
{
    Q_UNUSED(result);
    cancelled = true;
}

int runProgressJob(ProgressForm &form, ProgressThread &worker, const std::function<void()> &onSucceeded)
{
    worker.start(QThread::InheritPriority);
    const int result = form.exec();
    if (result == QDialog::Accepted && onSucceeded)
        onSucceeded();
    worker.wait();
    return result;
}
