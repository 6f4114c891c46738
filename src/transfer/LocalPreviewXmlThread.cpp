#include "LocalPreviewXmlThread.h"

#include "ProcessFolders.h"
#include "SbrXmlDevice.h"
#include "SbrXmlReader.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <stdexcept>

LocalPreviewXmlThread::LocalPreviewXmlThread(const QString &path, ProgressReceiver *progressReceiver)
    : ProgressThread(progressReceiver)
    , xmlPath(path)
{
}

namespace {

const QLatin1String kFolderPrefix("parlowick-xml-");

} // namespace

LocalPreviewXmlThread::~LocalPreviewXmlThread() = default;

void LocalPreviewXmlThread::removeAbandonedFolders()
{
    // QTemporaryDir puts six letters or digits in place of the template's X's.
    ProcessFolders::removeAbandoned(QDir::temp(), kFolderPrefix, QStringLiteral("-[A-Za-z0-9]{6}"));
}

void LocalPreviewXmlThread::work()
{
    QFile file(xmlPath);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error(file.errorString().toUtf8().toStdString());
    m_folder = std::make_shared<QTemporaryDir>(
        QDir::temp().filePath(kFolderPrefix + ProcessFolders::ownId() + QLatin1String("-XXXXXX")));
    if (!m_folder->isValid())
        throw std::runtime_error(m_folder->errorString().toUtf8().toStdString());
    emit succeed(readAll(file));
}

void LocalPreviewXmlThread::onFailed(Failure)
{
    // Gone before the dialog hears of it: nothing of a failed read is left anywhere.
    discardRead();
}

void LocalPreviewXmlThread::discardRead()
{
    smsList.clear();
    m_folder.reset();
}

QString LocalPreviewXmlThread::readAll(QFile &file)
{
    SbrXmlDevice device(file, QDir(m_folder->path()));
    SbrXmlReader reader(device);
    const qint64 size = file.size();
    // Reported from the device, so that a long picture still moves the bar.
    restartReportClock();
    device.setBlockHook([&](qint64 position) {
        if (reportDue()) {
            emit updateProgress(percent(position, size),
                tr("SMS %1:%2").arg(smsList.size()).arg(qMax(reader.announcedCount(), qint64(smsList.size()))));
        }
        return !isCancelled();
    });
    while (reader.readNext(smsList))
        checkCancelled();
    emit updateProgress(100, tr("SMS %1:%2").arg(smsList.size()).arg(smsList.size()));
    // A cancel at the very end still leaves nothing behind.
    checkCancelled();

    m_skipped = reader.skipped();
    return summary(smsList.size(), reader.skipped(), device.droppedControls(), device.otherEncoding());
}

QString LocalPreviewXmlThread::summary(
    qsizetype read, const SbrXmlReader::Skipped &skipped, qint64 droppedControls, const QString &encoding)
{
    QStringList sentences {tr("IDS_IMPORT_XML_PREVIEW_SUC_%1").arg(read)};
    if (skipped.notSent > 0)
        sentences.append(tr("IDS_IMPORT_XML_NOT_SENT_%1").arg(skipped.notSent));
    if (skipped.otherEntries > 0)
        sentences.append(tr("IDS_IMPORT_XML_OTHER_ENTRIES_%1").arg(skipped.otherEntries));
    if (skipped.unusableParts > 0)
        sentences.append(tr("IDS_IMPORT_XML_UNUSABLE_PARTS_%1").arg(skipped.unusableParts));
    if (droppedControls > 0)
        sentences.append(tr("IDS_IMPORT_XML_CONTROLS_DROPPED_%1").arg(droppedControls));
    // Not what the backup app writes: the file was saved again by something else.
    if (!encoding.isEmpty())
        sentences.append(tr("IDS_IMPORT_XML_READ_AS_%1").arg(encoding));
    return sentences.join(QLatin1Char(' '));
}
