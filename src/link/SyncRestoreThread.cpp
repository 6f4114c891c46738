#include "SyncRestoreThread.h"

#include "AccountLock.h"
#include "Accounts.h"
#include "DataSession.h"
#include "FileHelpers.h"
#include "FilingQueue.h"
#include "MmsDB.h"
#include "SimpleProtocol.h"
#include "SyncSessions.h"
#include "SyncTiming.h"

#include <QFile>
#include <QFileInfo>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <stdexcept>

using namespace simpleprotocol;

SyncRestoreThread::SyncRestoreThread(ProgressReceiver *progressReceiver)
    : ProgressThread(progressReceiver)
{
}

SyncRestoreThread::~SyncRestoreThread() = default;

void SyncRestoreThread::work()
{
    runSession();
    accountLock.reset();
}

void SyncRestoreThread::onFailed(Failure)
{
    undo();
    accountLock.reset();
}

void SyncRestoreThread::undo()
{
    // Stopped first: nothing may be filed after the rollback.
    filer.reset();
    transaction.reset();
    workFolder.reset();
    m_added = 0;
    m_alreadyThere = 0;
}

QString SyncRestoreThread::connectingText()
{
    return tr("IDS_CONNECTING_TO_PHONE");
}

QString SyncRestoreThread::tempFolder() const
{
    return workFolder->path();
}

void SyncRestoreThread::runSession()
{
    emit updateProgress(0, connectingText());
    const std::shared_ptr<MmsDB> account = Accounts::currentStore();
    if (!account)
        throw std::runtime_error("No account is open.");
    accountLock = std::make_unique<AccountLock>(account->folder());
    accountLock->lock();
    // Made fresh under a name no one else has (and no link planted there can redirect).
    workFolder = std::make_unique<QTemporaryDir>(account->workFolderTemplate());
    if (!workFolder->isValid())
        throw std::runtime_error(
            QStringLiteral("Cannot create a temporary folder in %1: %2")
                .arg(QDir::toNativeSeparators(account->folder().absolutePath()), workFolder->errorString())
                .toStdString());
    DataSession session(SyncSessions::urlTemplate(SyncSessions::Session::Backup),
        SyncSessions::port(SyncSessions::Session::Backup), &cancelled);
    store = account;
    transaction.emplace(*store);
    // Filing runs beside receiving: the store's writes take as long as reading the lines.
    m_added = 0;
    m_alreadyThere = 0;
    filer = std::make_unique<FilingQueue>([this](const SMSInfo &sms) {
        if (store->insertSMS(sms, MmsDB::AttachmentFiles::Move))
            ++m_added;
        else
            ++m_alreadyThere;
    });
    session.closeControl();
    total = 0;
    received = 0;

    QTcpSocket &data = session.data();
    for (;;) {
        checkCancelled();
        const CommandLine line = parseCommandLine(readCommand(data, -1, &cancelled));
        if (line.command == Command::Count)
            reportTotal(line.argument.toInt());
        else if (line.command == Command::Batch)
            readBatch(data);
        else if (line.command == Command::Bye)
            break;
    }

    filer->drain();
    filer.reset();
    transaction->commit();
    transaction.reset();
    workFolder.reset();
    data.disconnectFromHost();
    QThread::msleep(SyncTiming::closingPauseMs());
    emit succeed(tr("IDS_RESTORE_SUC_%1").arg(received));
}

void SyncRestoreThread::readBatch(QTcpSocket &data)
{
    for (;;) {
        checkCancelled();
        const CommandLine line = parseCommandLine(readCommand(data, -1, &cancelled));
        if (line.command == Command::Sms) {
            receiveSMS(data, line.argument);
            ++received;
            reportCount();
        } else if (line.command == Command::End) {
            writeCommand(data, kBatchCommand, QString(), true, &cancelled);
            return;
        }
    }
}

void SyncRestoreThread::reportTotal(int count)
{
    total = qMax(0, count); // a negative count is no count
    // The count replaces the connecting text at once, in the form every later report has.
    emit updateProgress(percent(received, total), tr("SMS %1:%2").arg(received).arg(total));
}

void SyncRestoreThread::reportCount()
{
    if (countReportDue(received, total))
        emit updateProgress(percent(received, total), tr("SMS %1:%2").arg(received).arg(total));
}

void SyncRestoreThread::receiveSMS(QTcpSocket &data, const QString &record)
{
    PhoneRecord parsed = parseSMSRecord(record);
    if (!parsed.error.isEmpty())
        throw LocalException(data, parsed.error);
    SMSInfo &sms = parsed.sms;
    sms.subject = parsed.subject;

    if (parsed.attachmentCount >= 1) {
        if (store->contains(sms)) {
            writeLine(data, QStringLiteral("0"), true, &cancelled);
        } else {
            writeLine(data, QStringLiteral("1"), true, &cancelled);
            // The folder is reused: the files of the message before must be filed first.
            filer->drain();
            const QDir temp = emptyTempFolder();
            for (int i = 0; i < parsed.attachmentCount; ++i) {
                checkCancelled();
                sms.attachments.append(receiveAttachment(data, temp));
            }
        }
    }
    // The received files are ours: the store takes them over instead of copying them.
    filer->push(std::move(sms));
}

QDir SyncRestoreThread::emptyTempFolder() const
{
    // Kept for the whole backup and only emptied per message: creating and deleting a
    // folder for every MMS costs more than receiving it.
    const QDir temp(tempFolder());
    if (temp.exists())
        FileHelpers::removeDirContents(temp.absolutePath());
    else
        QDir().mkpath(temp.absolutePath());
    return temp;
}

AttachmentInfo SyncRestoreThread::receiveAttachment(QTcpSocket &data, const QDir &temp)
{
    const CommandLine line = parseCommandLine(readCommand(data, -1, &cancelled));
    if (line.command != Command::Atta)
        throw LocalException(data, QStringLiteral("must follow $atta: command."));
    const AttachmentHeader header = parseAttachmentHeader(line.argument);
    if (!header.error.isEmpty())
        throw LocalException(data, header.error);

    AttachmentInfo attachment;
    attachment.mimeType = header.mimeType;
    attachment.fileName = header.fileName;
    attachment.filePath = FileHelpers::uniqueFilePath(temp.filePath(FileHelpers::safeFileName(attachment.fileName)));
    const std::unique_ptr<QIODevice> file = attachmentDevice(attachment.filePath);
    if (!file->open(QIODevice::WriteOnly))
        throw LocalException(data, QStringLiteral("Create %1 error. %2").arg(attachment.filePath, file->errorString()));

    qint64 bytes = 0;
    const auto save = [&](const QByteArray &chunk) {
        if (chunk.isEmpty())
            return;
        if (file->write(chunk) != chunk.size())
            throw LocalException(
                data, QStringLiteral("Write %1 error. %2").arg(attachment.filePath, file->errorString()));
        bytes += chunk.size();
        if (reportDue()) {
            emit updateProgress(percent(received, total),
                tr("SMS %1:%2, Receiving %3 (%4 KB)")
                    .arg(received)
                    .arg(total)
                    .arg(attachment.fileName)
                    .arg(bytes / 1024));
        }
    };
    // Each data line is decoded as it streams in, whatever its length; characters outside
    // the Base64 alphabet are skipped, as in every field the phone sends.
    Base64Decoder decoder;
    restartReportClock();
    for (;;) {
        checkCancelled();
        const bool dataLine
            = readDataLine(data, -1, &cancelled, [&](const QByteArray &piece) { save(decoder.decode(piece)); });
        if (!dataLine)
            break;
        save(decoder.finish());
    }
    writeLine(data, QStringLiteral("."), true, &cancelled);
    file->close();
    return attachment;
}

std::unique_ptr<QIODevice> SyncRestoreThread::attachmentDevice(const QString &path)
{
    return std::make_unique<QFile>(path);
}
