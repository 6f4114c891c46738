#include "MmsDB.h"

#include "ConversationIndex.h"
#include "FileHelpers.h"
#include "ParlowickResources.h"
#include "Sqlite3Exception.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>
#include <QUuid>

#include <sqlite3.h>

#include <functional>
#include <stdexcept>

namespace {

const char kTemplatePath[] = ":/res/mms2.db";
constexpr int kThumbnailWidth = 200;
const char kWorkFolderPrefix[] = "update-";

QString thumbnailName(const AttachmentInfo &attachment)
{
    const QFileInfo info(FileHelpers::safeFileName(attachment.fileName));
    QString ext = info.suffix();
    if (ext.isEmpty())
        ext = attachment.mimeType.mid(6).toLower();
    return info.baseName() + QStringLiteral("-preview.") + ext;
}

// Messages read by id at a time: one statement with this many parameters.
constexpr int kIdsPerRead = 256;

QString idPlaceholders()
{
    static const QString list = QStringList(kIdsPerRead, QStringLiteral("?")).join(QLatin1Char(','));
    return list;
}

QString quotedList(const QStringList &values)
{
    QStringList quoted;
    quoted.reserve(values.size());
    for (QString value : values)
        quoted.append(QLatin1Char('\'') + value.replace(QLatin1Char('\''), QStringLiteral("''")) + QLatin1Char('\''));
    return quoted.join(QLatin1Char(','));
}

} // namespace

namespace {

QImage readImage(const QString &path, const QByteArray &format)
{
    QImageReader reader(path, format);
    const QSize size = reader.size();
    // Phone photos are large; decoders that can (JPEG) decode straight to thumbnail size.
    if (size.width() > kThumbnailWidth && reader.supportsOption(QImageIOHandler::ScaledSize))
        reader.setScaledSize(QSize(kThumbnailWidth, qMax(1, size.height() * kThumbnailWidth / size.width())));
    return reader.read();
}

} // namespace

bool MmsDB::makeThumbnail(const QString &imagePath, const QString &thumbPath)
{
    QImage image = readImage(imagePath, QByteArray());
    if (image.isNull())
        image = readImage(imagePath, "PNG");
    if (image.isNull())
        return false;
    if (image.width() > kThumbnailWidth)
        image = image.scaledToWidth(kThumbnailWidth, Qt::FastTransformation);
    return image.save(thumbPath);
}

MmsDB::MmsDB(const QDir &folder)
    : m_folder(folder)
{
    m_thumbnails.setMaxThreadCount(fillingThumbnailThreads());
}

int MmsDB::fillingThumbnailThreads()
{
    // Thumbnails made on every core would take turns with the thread filing the messages.
    return std::max(1, QThread::idealThreadCount() - 1);
}

void MmsDB::finishThumbnails()
{
    // Nothing is filed while this waits: the pool may use every core.
    m_thumbnails.setMaxThreadCount(QThread::idealThreadCount());
    m_thumbnails.waitForDone();
    m_thumbnails.setMaxThreadCount(fillingThumbnailThreads());
}

MmsDB::~MmsDB()
{
    m_search.stopRebuild();
    finishThumbnails();
    close();
}

void MmsDB::createFromTemplate()
{
    initParlowickResources();
    if (!QDir().mkpath(m_folder.absolutePath()))
        throw std::runtime_error(
            QStringLiteral("Cannot create the folder %1").arg(m_folder.absolutePath()).toStdString());
    QFile templateFile(QString::fromLatin1(kTemplatePath));
    const QString target = m_folder.filePath(QStringLiteral("mms.db"));
    if (!QFile::exists(target))
        removeStaleCompanions();
    if (!templateFile.copy(target))
        throw std::runtime_error(templateFile.errorString().toUtf8().toStdString());
    QFile::setPermissions(target, QFileDevice::ReadUser | QFileDevice::WriteUser);
}

void MmsDB::removeStaleCompanions()
{
    // SQLite takes a log or journal beside a store for that store's own: one left by an
    // earlier account of the same name would be played into the new store. The index
    // belongs to the earlier messages too.
    const QString index = QLatin1String(SearchIndex::kFileName);
    for (const QString &file : {QStringLiteral("mms.db"), index}) {
        for (const char *companion : {"-wal", "-shm", "-journal"})
            QFile::remove(m_folder.filePath(file + QLatin1String(companion)));
    }
    QFile::remove(m_folder.filePath(index));
}

void MmsDB::open()
{
    m_search.stopRebuild(); // it writes the file the new connection attaches
    QMutexLocker locker(&mutex());
    const QString path = m_folder.filePath(QStringLiteral("mms.db"));
    m_index.reset(); // a new connection counts its changes from 0 again
    openThrow(path, SQLITE_OPEN_READWRITE);
    try {
        if (sqlite3_create_function_v2(handle(), "delete_attachment_path", 1, SQLITE_ANY, this, &deleteAttachmentPath,
                nullptr, nullptr, nullptr)
            != SQLITE_OK) {
            throw Sqlite3Exception(handle(), QStringLiteral("delete_attachment_path"));
        }
        // Also proves the file is a message store: a damaged file or a foreign database fails here.
        Sqlite3Cursor columns = tblInfoCursor(QStringLiteral("message"));
        m_hasSubject = false;
        for (int i = 0; i < columns.colCount(); ++i) {
            if (columns.colName(i).compare(QLatin1String("subject"), Qt::CaseInsensitive) == 0)
                m_hasSubject = true;
        }
    } catch (const Sqlite3Exception &e) {
        close();
        // The file, not the probing statement, is what the user needs to hear about.
        throw Sqlite3Exception(QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), e.detail()));
    }
    // A backup's transaction outgrows the page cache and writes pages before it commits;
    // with a rollback journal that locks every reader out until the commit.
    useWriteAheadLog("main");
    m_search.attach(m_folder);
}

QDir MmsDB::attachmentDir() const
{
    const QString path = m_folder.filePath(QStringLiteral("attachments"));
    QDir().mkpath(path);
    return QDir(path);
}

void MmsDB::removeFolder()
{
    m_search.stopRebuild();
    finishThumbnails();
    close();
    FileHelpers::removeDirRecursively(m_folder.absolutePath());
}

QString MmsDB::workFolderTemplate() const
{
    return m_folder.filePath(QLatin1String(kWorkFolderPrefix) + QStringLiteral("XXXXXX"));
}

bool MmsDB::hasWorkFolders() const
{
    const QStringList names
        = m_folder.entryList({QLatin1String(kWorkFolderPrefix) + QLatin1Char('*'), QStringLiteral("temp")},
            QDir::Dirs | QDir::NoDotAndDotDot);
    return !names.isEmpty();
}

void MmsDB::removeLeftovers()
{
    QMutexLocker locker(&mutex());
    // Every writer creates an attachment folder and its row inside one write transaction:
    // while this connection holds the write lock, a folder without a row is a leftover.
    executeThrow(Sqlite3Sql("begin immediate transaction"));
    try {
        QSet<QString> referenced;
        Sqlite3Cursor cursor = queryThrow(Sqlite3Sql("select guid, filename, thumb from attachment"));
        while (cursor.moveNext()) {
            for (int column = 0; column < 3; ++column)
                referenced.insert(cursor.getText(column).section(QLatin1Char('/'), 0, 0));
        }
        const QDir attachments = attachmentDir();
        const QFileInfoList folders = attachments.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
        for (const QFileInfo &folder : folders) {
            // Only folders this program makes; anything else in there is not ours to judge.
            const QString name = folder.fileName();
            const bool ours = QUuid::fromString(name).toString(QUuid::WithBraces) == name;
            if (ours && !folder.isSymLink() && !referenced.contains(name))
                QDir(folder.absoluteFilePath()).removeRecursively();
        }
        const QFileInfoList work = m_folder.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot);
        for (const QFileInfo &folder : work) {
            // "temp" is where earlier versions received a backup's files.
            const QString name = folder.fileName();
            if (!folder.isSymLink()
                && (name.startsWith(QLatin1String(kWorkFolderPrefix)) || name == QLatin1String("temp")))
                QDir(folder.absoluteFilePath()).removeRecursively();
        }
        executeThrow(Sqlite3Sql("commit transaction"));
    } catch (...) {
        rollbackTran();
        throw;
    }
}

void MmsDB::aboutToCommit()
{
    finishThumbnails();
}

void MmsDB::transactionFinished(bool committed)
{
    finishThumbnails();
    forgetLookUps();
    if (committed) {
        commitFileRemovals();
        // A backup's pages would otherwise stay in the log until the store closes, and a
        // copy of the folder without the log would lack them.
        checkpoint();
    } else {
        m_journal.rollback();
        ++m_rollbacks;
    }
}

void MmsDB::forgetLookUps()
{
    m_filedFiles.clear();
    m_handles.clear();
    m_newHandleSpans.clear();
    m_localDays.clear();
}

void MmsDB::settleFiles()
{
    if (!inTransaction())
        commitFileRemovals();
}

void MmsDB::commitFileRemovals()
{
    const QStringList removed = m_journal.removedFiles();
    if (!removed.isEmpty()) {
        try {
            m_journal.keep(filesStillNamed(removed));
        } catch (const Sqlite3Exception &e) {
            // Better a file nobody names than a picture lost.
            qWarning("Attachment files are kept: %s", e.what());
            m_journal.keep(removed);
        }
    }
    m_journal.commit();
}

QStringList MmsDB::filesStillNamed(const QStringList &files)
{
    // Copies of one attachment name the same files: a file goes with the last row naming it.
    const QString root = attachmentDir().absolutePath() + QLatin1Char('/');
    QJsonArray relative;
    for (const QString &file : files)
        relative.append(file.mid(root.size()));
    // One pass over the attachments, however many files.
    Sqlite3Cursor named
        = queryThrow(Sqlite3Sql("select value from json_each(?) where value in (select filename from main.attachment)"
                                " or value in (select thumb from main.attachment)")
                         .addTextParam(QString::fromUtf8(QJsonDocument(relative).toJson(QJsonDocument::Compact))));
    QStringList kept;
    while (named.moveNext())
        kept.append(root + named.getText(0));
    return kept;
}

void MmsDB::runAtomically(const char *savepoint, const std::function<void()> &work)
{
    const QByteArray name(savepoint);
    const int mark = m_journal.mark();
    executeThrow(Sqlite3Sql("savepoint " + name));
    try {
        work();
        executeThrow(Sqlite3Sql("release " + name));
    } catch (...) {
        forgetLookUps();
        ++m_rollbacks;
        // A thumbnail still being written could land in a folder the rollback removes.
        finishThumbnails();
        m_journal.rollbackTo(mark);
        try {
            executeThrow(Sqlite3Sql("rollback to " + name));
            executeThrow(Sqlite3Sql("release " + name));
        } catch (const Sqlite3Exception &) {
            // SQLite already rolled back the whole transaction; nothing is left to undo.
        }
        throw;
    }
    settleFiles();
}

bool MmsDB::insertSMS(const SMSInfo &sms, AttachmentFiles files)
{
    QMutexLocker locker(&mutex());
    // A local date is converted through the system's time-zone rules each time it is read
    // as seconds, and filing reads it several times: converted once here instead.
    if (sms.date.timeSpec() == Qt::UTC)
        return fileSMS(sms, files);
    SMSInfo utc = sms;
    utc.date = m_localDays.toUtc(sms.date);
    return fileSMS(utc, files);
}

bool MmsDB::fileSMS(const SMSInfo &sms, AttachmentFiles files)
{
    KnownHandle handle = findHandle(sms.address);
    if (handle.id != 0 && isStored(handle, sms))
        return false;
    // A lone message row is atomic by itself; a new conversation or attachments make
    // several writes that must stand or fall together.
    if (handle.id != 0 && sms.attachments.isEmpty()) {
        insertMessage(handle.id, sms);
        noteFiled(handle, sms);
        return true;
    }
    const bool newConversation = handle.id == 0;
    // Only inside the caller's transaction: a lone message's files are final when it returns.
    const bool deferThumbnails = inTransaction();
    runAtomically("insert_sms", [&] {
        if (newConversation)
            handle.id = insertHandle(sms, Sms::addressSuffix(sms.address));
        const qint64 messageId = insertMessage(handle.id, sms);
        for (const AttachmentInfo &attachment : sms.attachments)
            insertAttachment(messageId, attachment, files, deferThumbnails);
    });
    // Kept only once the conversation's row stands: a failed insert rolled it back.
    if (newConversation && inTransaction()) {
        handle.filed = &m_newHandleSpans[handle.id];
        m_handles.insert(sms.address, handle);
    }
    noteFiled(handle, sms);
    return true;
}

bool MmsDB::isStored(const KnownHandle &handle, const SMSInfo &sms)
{
    // A conversation begun in this transaction holds only what the transaction filed, so
    // a second outside what it filed cannot hold a duplicate: a first backup looks up nothing.
    if (handle.filed && !handle.filed->covers(Sms::toStoreSeconds(sms.date)))
        return false;
    return findMessage(handle.id, sms) != 0;
}

void MmsDB::noteFiled(const KnownHandle &handle, const SMSInfo &sms)
{
    if (handle.filed)
        handle.filed->add(Sms::toStoreSeconds(sms.date));
}

bool MmsDB::contains(const SMSInfo &sms)
{
    QMutexLocker locker(&mutex());
    const KnownHandle handle = findHandle(sms.address);
    return handle.id != 0 && isStored(handle, sms);
}

MmsDB::KnownHandle MmsDB::findHandle(const QString &address)
{
    // Inside a transaction no other writer can change the conversations (it waits for the
    // transaction to end), so a look-up is kept until then: a backup files thousands of
    // messages into a few hundred conversations. Kept by address, whose suffix is then
    // not worked out again for each message.
    const bool cached = inTransaction();
    if (cached) {
        const auto found = m_handles.constFind(address);
        if (found != m_handles.constEnd())
            return found.value();
    }
    // "=" rather than LIKE: a sender name with % or _ must find its own conversation only.
    Sqlite3Cursor cursor = queryThrow(
        Sqlite3Sql("select rowid from handle where suffix = ? limit 1").addTextParam(Sms::addressSuffix(address)));
    KnownHandle handle;
    handle.id = cursor.moveNext() ? cursor.getInt64(0) : 0;
    if (cached && handle.id != 0) {
        // Another address with the same suffix may have begun the conversation here.
        const auto begun = m_newHandleSpans.find(handle.id);
        handle.filed = begun != m_newHandleSpans.end() ? &begun->second : nullptr;
        m_handles.insert(address, handle);
    }
    return handle;
}

qint64 MmsDB::findMessage(qint64 handleId, const SMSInfo &sms)
{
    Sqlite3Cursor cursor
        = queryThrow(Sqlite3Sql("select rowid from message where date=? and is_send=? and body=? and handle_id=?")
                         .addInt64Param(Sms::toStoreSeconds(sms.date))
                         .addIntParam(sms.isSend ? 1 : 0)
                         .addTextParam(sms.body)
                         .addInt64Param(handleId));
    return cursor.moveNext() ? cursor.getInt64(0) : 0;
}

qint64 MmsDB::insertHandle(const SMSInfo &sms, const QString &suffix)
{
    executeThrow(Sqlite3Sql("insert into handle(address, person, suffix) values(?, ?, ?)")
                     .addTextParam(sms.address)
                     .addTextParam(sms.person)
                     .addTextParam(suffix));
    return lastInsertId();
}

qint64 MmsDB::insertMessage(qint64 handleId, const SMSInfo &sms)
{
    if (m_hasSubject) {
        executeThrow(Sqlite3Sql("insert into message(date, is_send, body, handle_id, subject) values(?, ?, ?, ?, ?)")
                         .addInt64Param(Sms::toStoreSeconds(sms.date))
                         .addIntParam(sms.isSend ? 1 : 0)
                         .addTextParam(sms.body)
                         .addInt64Param(handleId)
                         .addTextParam(sms.subject));
    } else {
        executeThrow(Sqlite3Sql("insert into message(date, is_send, body, handle_id) values(?, ?, ?, ?)")
                         .addInt64Param(Sms::toStoreSeconds(sms.date))
                         .addIntParam(sms.isSend ? 1 : 0)
                         .addTextParam(sms.body)
                         .addInt64Param(handleId));
    }
    return lastInsertId();
}

void MmsDB::insertAttachment(
    qint64 messageId, const AttachmentInfo &attachment, AttachmentFiles files, bool deferThumbnail)
{
    const QString guid = QUuid::createUuid().toString(QUuid::WithBraces);
    // An MMS to many people comes once per conversation, each time with the same files:
    // every copy's row names the files of the first, so the store holds them once.
    if (const FiledFile *first = findFiledCopy(attachment)) {
        if (files == AttachmentFiles::Move)
            QFile::remove(attachment.filePath);
        insertAttachmentRow(messageId, guid, first->thumb, first->filename, attachment.mimeType);
        return;
    }
    const QDir attachments = attachmentDir();
    // The journal learns of the folder first, so what a failure left of it goes with the rollback.
    m_journal.noteCreatedFolder(attachments.absoluteFilePath(guid));
    FileHelpers::makeFolder(attachments.absoluteFilePath(guid));

    // A row never names a file that is not there: a copy that fails throws, and the
    // caller's transaction takes the message back.
    QString filename;
    QString imageSource;
    if (!attachment.filePath.isEmpty()) {
        filename = guid + QLatin1Char('/') + FileHelpers::safeFileName(attachment.fileName);
        const QString target = attachments.absoluteFilePath(filename);
        // A rename is one directory entry; a copy makes a whole new file.
        if (files != AttachmentFiles::Move || !QFile::rename(attachment.filePath, target))
            FileHelpers::copyFile(attachment.filePath, target);
        imageSource = target;
    }
    QString thumb;
    if (attachment.mimeType.startsWith(QLatin1String("image/"))) {
        thumb = guid + QLatin1Char('/') + thumbnailName(attachment);
        const QString thumbPath = attachments.absoluteFilePath(thumb);
        if (!attachment.thumbPath.isEmpty())
            FileHelpers::copyFile(attachment.thumbPath, thumbPath);
        else if (!imageSource.isEmpty() && deferThumbnail)
            m_thumbnails.start([imageSource, thumbPath] { MmsDB::makeThumbnail(imageSource, thumbPath); });
        else if (!imageSource.isEmpty())
            MmsDB::makeThumbnail(imageSource, thumbPath);
    }
    insertAttachmentRow(messageId, guid, thumb, filename, attachment.mimeType);
    if (!imageSource.isEmpty() && inTransaction())
        m_filedFiles[filedFileKey(attachment, QFileInfo(imageSource).size())].append({filename, thumb, imageSource});
}

QString MmsDB::filedFileKey(const AttachmentInfo &attachment, qint64 size)
{
    // A copy shows the first's file name, so only files of one name and type are shared.
    return QString::number(size) + QLatin1Char('/') + attachment.mimeType.toLower() + QLatin1Char('/')
        + FileHelpers::safeFileName(attachment.fileName);
}

const MmsDB::FiledFile *MmsDB::findFiledCopy(const AttachmentInfo &attachment)
{
    if (attachment.filePath.isEmpty() || !inTransaction())
        return nullptr;
    const QFileInfo source(attachment.filePath);
    const auto candidates = m_filedFiles.find(filedFileKey(attachment, source.size()));
    if (candidates == m_filedFiles.end())
        return nullptr;
    // Only files of the same size, type and name are compared, each up to its first
    // differing chunk.
    for (const FiledFile &filed : *candidates) {
        if (FileHelpers::sameContent(filed.path, attachment.filePath))
            return &filed;
    }
    return nullptr;
}

void MmsDB::insertAttachmentRow(
    qint64 messageId, const QString &guid, const QString &thumb, const QString &filename, const QString &mimeType)
{
    executeThrow(Sqlite3Sql("insert into attachment(guid, thumb, filename, mime_type) values(?, ?, ?, ?)")
                     .addTextParam(guid)
                     .addTextParam(thumb)
                     .addTextParam(filename)
                     .addTextParam(mimeType));
    const qint64 attachmentId = lastInsertId();
    // Bound rather than formatted into the text, so the prepared statement is reused.
    executeThrow(Sqlite3Sql("insert into message_attachment(message_id, attachment_id) values(?,?)")
                     .addInt64Param(messageId)
                     .addInt64Param(attachmentId));
}

QList<SMSInfo> MmsDB::querySMS(const QStringList &suffixes)
{
    QMutexLocker locker(&mutex());
    const QString suffixFilter
        = suffixes.isEmpty() ? QString() : QStringLiteral(" where h.suffix in (%1)").arg(quotedList(suffixes));
    // Messages of the same second keep the order they were filed in.
    QList<SMSInfo> messages = selectMessages(suffixFilter + QStringLiteral(" order by m.date asc, m.rowid asc"));

    // One query for the attachments of all these messages instead of one per message.
    const QHash<qint64, QList<AttachmentInfo>> attachments = queryAttachments(attachmentFilter(messages, suffixFilter));
    if (!attachments.isEmpty()) {
        for (SMSInfo &sms : messages)
            sms.attachments = attachments.value(sms.rowid);
    }
    return messages;
}

MmsDB::ChangeMark MmsDB::changeMark()
{
    Sqlite3Cursor version = queryThrow(Sqlite3Sql("pragma data_version"));
    return {sqlite3_total_changes64(handle()), version.moveNext() ? version.getInt64(0) : 0, m_rollbacks};
}

QList<qint64> MmsDB::messageRowids(const QStringList &suffixes)
{
    QMutexLocker locker(&mutex());
    const ChangeMark mark = changeMark();
    if (!m_index || !(mark == m_indexMark)) {
        m_index.reset();
        m_index = ConversationIndex::read(*this);
        m_indexMark = mark;
    }
    return m_index->rowids(suffixes);
}

QList<SMSInfo> MmsDB::querySMSByRowids(const QList<qint64> &rowids)
{
    QMutexLocker locker(&mutex());
    QHash<qint64, SMSInfo> found;
    found.reserve(rowids.size());
    for (qsizetype first = 0; first < rowids.size(); first += kIdsPerRead) {
        // Always as many ids as "?": one statement text, prepared once. A repeated id
        // changes nothing.
        QList<qint64> ids = rowids.mid(first, kIdsPerRead);
        ids.resize(kIdsPerRead, ids.first());
        const QString list = QStringLiteral(" in (%1)").arg(idPlaceholders());
        const QHash<qint64, QList<AttachmentInfo>> attachments
            = queryAttachments(QStringLiteral(" where ma.message_id") + list, ids);
        for (SMSInfo &sms : selectMessages(QStringLiteral(" where m.rowid") + list, ids)) {
            sms.attachments = attachments.value(sms.rowid);
            found.insert(sms.rowid, sms);
        }
    }
    QList<SMSInfo> messages;
    messages.reserve(found.size());
    for (const qint64 rowid : rowids) {
        const auto sms = found.constFind(rowid);
        if (sms != found.constEnd())
            messages.append(*sms);
    }
    return messages;
}

QSet<qint64> MmsDB::rowidsContaining(const QString &text)
{
    QMutexLocker locker(&mutex());
    // instr, unlike LIKE, compares case and treats no character as a wildcard.
    Sqlite3Cursor cursor
        = queryThrow(Sqlite3Sql("select rowid from message where instr(body, ?) > 0").addTextParam(text));
    QSet<qint64> ids;
    while (cursor.moveNext())
        ids.insert(cursor.getInt64(0));
    return ids;
}

QList<SMSInfo> MmsDB::selectMessages(const QString &filterAndOrder, const QList<qint64> &boundIds)
{
    Sqlite3Sql sql("select m.*, h.address, h.person from message as m inner join handle as h on m.handle_id=h.rowid");
    sql.appendSql(filterAndOrder);
    for (const qint64 id : boundIds)
        sql.addInt64Param(id);
    Sqlite3Cursor cursor = queryThrow(sql);

    const int colRowid = cursor.columnIndex(QStringLiteral("rowid"));
    const int colDate = cursor.columnIndex(QStringLiteral("date"));
    const int colIsSend = cursor.columnIndex(QStringLiteral("is_send"));
    const int colBody = cursor.columnIndex(QStringLiteral("body"));
    const int colAddress = cursor.columnIndex(QStringLiteral("address"));
    const int colPerson = cursor.columnIndex(QStringLiteral("person"));
    const int colSubject = m_hasSubject ? cursor.columnIndex(QStringLiteral("subject")) : -1;

    QList<SMSInfo> messages;
    while (cursor.moveNext()) {
        SMSInfo sms;
        sms.rowid = qint32(cursor.getInt64(colRowid));
        sms.date = Sms::fromStoreSeconds(cursor.getInt64(colDate));
        sms.isSend = cursor.getInt64(colIsSend) == 1;
        sms.body = cursor.getText(colBody);
        sms.address = cursor.getText(colAddress);
        sms.person = cursor.getText(colPerson);
        if (colSubject >= 0)
            sms.subject = cursor.getText(colSubject);
        messages.append(sms);
    }
    return messages;
}

QString MmsDB::attachmentFilter(const QList<SMSInfo> &messages, const QString &suffixFilter)
{
    if (suffixFilter.isEmpty())
        return QString();
    // The message ids themselves use the link table's key; a very long list would make
    // a statement too long, and then the conversations are looked up again instead.
    constexpr int kMaxListedIds = 20000;
    if (messages.size() > kMaxListedIds) {
        return QStringLiteral(" where ma.message_id in (select m.rowid from message as m inner join handle as h"
                              " on m.handle_id=h.rowid%1)")
            .arg(suffixFilter);
    }
    QStringList ids;
    ids.reserve(messages.size());
    for (const SMSInfo &sms : messages)
        ids.append(QString::number(sms.rowid));
    return QStringLiteral(" where ma.message_id in (%1)").arg(ids.join(QLatin1Char(',')));
}

QHash<qint64, QList<AttachmentInfo>> MmsDB::queryAttachments(
    const QString &messageFilter, const QList<qint64> &boundIds)
{
    Sqlite3Sql sql("select ma.message_id, a.* from message_attachment as ma inner join attachment as a"
                   " on a.rowid=ma.attachment_id");
    sql.appendSql(messageFilter);
    sql.appendSql(QStringLiteral(" order by a.rowid"));
    for (const qint64 id : boundIds)
        sql.addInt64Param(id);
    Sqlite3Cursor cursor = queryThrow(sql);

    const int colMessage = cursor.columnIndex(QStringLiteral("message_id"));
    const int colThumb = cursor.columnIndex(QStringLiteral("thumb"));
    const int colFilename = cursor.columnIndex(QStringLiteral("filename"));
    const int colMime = cursor.columnIndex(QStringLiteral("mime_type"));

    QHash<qint64, QList<AttachmentInfo>> result;
    QDir attachments;
    bool haveDir = false;
    while (cursor.moveNext()) {
        if (!haveDir) {
            attachments = attachmentDir();
            haveDir = true;
        }
        const QString thumb = cursor.getText(colThumb);
        const QString filename = cursor.getText(colFilename);
        AttachmentInfo info;
        info.fileName = QFileInfo(filename).fileName();
        info.mimeType = cursor.getText(colMime);
        if (!thumb.isEmpty())
            info.thumbPath = attachments.absoluteFilePath(thumb);
        if (!filename.isEmpty())
            info.filePath = attachments.absoluteFilePath(filename);
        result[cursor.getInt64(colMessage)].append(info);
    }
    return result;
}

void MmsDB::deleteConversation(const QString &suffix)
{
    QMutexLocker locker(&mutex());
    forgetLookUps(); // the conversation's row goes with its last message
    finishThumbnails();
    runAtomically("delete_conversation", [&] {
        executeThrow(Sqlite3Sql("delete from message where handle_id in (select rowid from handle where suffix = ?)")
                         .addTextParam(suffix));
    });
}

void MmsDB::deleteMessages(const QList<SMSInfo> &messages)
{
    QMutexLocker locker(&mutex());
    forgetLookUps(); // the conversation's row goes with its last message
    finishThumbnails();
    runAtomically("delete_messages", [&] {
        for (const SMSInfo &sms : messages)
            executeThrow(Sqlite3Sql("delete from message where rowid=?").addInt64Param(sms.rowid));
    });
}

void MmsDB::queueRemoval(const QString &relativePath)
{
    const QDir attachments = attachmentDir();
    const QString root = attachments.absolutePath() + QLatin1Char('/');
    const QString file = QDir::cleanPath(attachments.absoluteFilePath(relativePath));
    // A path from a damaged or foreign store must not reach files outside the attachments.
    if (!file.startsWith(root) || file.size() == root.size())
        return;
    m_journal.noteRemovedFile(file);
}

void MmsDB::deleteAttachmentPath(sqlite3_context *context, int argc, sqlite3_value **argv)
{
    auto *store = static_cast<MmsDB *>(sqlite3_user_data(context));
    const auto *text = argc > 0 ? reinterpret_cast<const char *>(sqlite3_value_text(argv[0])) : nullptr;
    if (text && *text)
        store->queueRemoval(QString::fromUtf8(text));
    sqlite3_result_null(context);
}

MmsDB::Transaction::Transaction(MmsDB &store)
    : m_store(store)
{
    m_store.beginTran();
}

MmsDB::Transaction::~Transaction()
{
    if (m_committed)
        return;
    // The failure that ended the transaction is the one to report; a failed rollback
    // leaves the transaction to the store's own clean-up.
    try {
        m_store.rollbackTran();
    } catch (const std::exception &e) {
        qWarning("Rollback failed: %s", e.what());
    }
}

void MmsDB::Transaction::commit()
{
    m_store.commitTran();
    m_committed = true;
}

namespace {

// Wildcards typed by the user are searched for as themselves: the LIKE pattern (escape '\\') of the rows containing the
// text.
QString containingPattern(const QString &text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    escaped.replace(QLatin1Char('%'), QLatin1String("\\%"));
    escaped.replace(QLatin1Char('_'), QLatin1String("\\_"));
    return QLatin1Char('%') + escaped + QLatin1Char('%');
}

QList<MmsDB::Contact> readContacts(Sqlite3Cursor &rows)
{
    QList<MmsDB::Contact> contacts;
    while (rows.moveNext())
        contacts.append({rows.getText(QStringLiteral("address")), rows.getText(QStringLiteral("person"))});
    return contacts;
}

} // namespace

QList<MmsDB::Contact> MmsDB::contacts()
{
    QMutexLocker locker(&mutex());
    Sqlite3Cursor rows = queryThrow(Sqlite3Sql("select address, person from handle order by last_date desc"));
    return readContacts(rows);
}

QList<MmsDB::Contact> MmsDB::contactsContaining(const QString &text)
{
    QMutexLocker locker(&mutex());
    const QString pattern = containingPattern(text);
    Sqlite3Cursor rows = queryThrow(
        Sqlite3Sql("select address, person from handle where person like ? escape '\\' or address like ? escape '\\'"
                   " order by last_date desc")
            .addTextParam(pattern)
            .addTextParam(pattern));
    return readContacts(rows);
}
