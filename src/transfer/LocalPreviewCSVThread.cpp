#include "LocalPreviewCSVThread.h"

#include "CSVImporter.h"
#include "FileHelpers.h"
#include "WallClock.h"

#include <QFile>
#include <QFileInfo>
#include <QtDebug>

#include <algorithm>
#include <stdexcept>

namespace {

const QString kDateFormat = QStringLiteral("yyyy-MM-dd hh:mm:ss");

// Whether the device's bytes from its position to the end are UTF-8, read a block at a
// time; a character cut by a block's end is carried into the next block.
bool isUtf8Device(QIODevice &device)
{
    constexpr qint64 kBlock = 64 * 1024;
    QByteArray pending;
    for (;;) {
        const QByteArray block = device.read(kBlock);
        if (block.isEmpty()) {
            if (!device.atEnd())
                throw std::runtime_error(device.errorString().toUtf8().toStdString());
            return CsvReader::isValidUtf8(pending);
        }
        pending += block;
        // Keep back a lead byte (with what follows it) whose character is not complete yet.
        qsizetype cut = pending.size();
        for (qsizetype i = pending.size() - 1; i >= 0 && i >= pending.size() - 4; --i) {
            const uchar byte = uchar(pending.at(i));
            if ((byte & 0xC0) == 0x80)
                continue;
            const int length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
            if (pending.size() - i < length)
                cut = i;
            break;
        }
        if (!CsvReader::isValidUtf8(QByteArrayView(pending).first(cut)))
            return false;
        pending.remove(0, cut);
    }
}

// The file's part of an attachment entry: its last part, either separator counted; empty
// for entries that name no file there.
QString dataFileName(const QString &entry)
{
    QString name = entry;
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    name = QFileInfo(name).fileName();
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return QString();
    return FileHelpers::safeFileName(name);
}

QStringList pieces(const QString &field)
{
    return field.trimmed().split(QLatin1Char(';'), Qt::SkipEmptyParts);
}

int digits(QStringView text, qsizetype from, qsizetype count)
{
    int value = 0;
    for (qsizetype i = from; i < from + count; ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c - u'0');
    }
    return value;
}

[[noreturn]] void fail(const QString &text)
{
    throw std::runtime_error(text.toUtf8().toStdString());
}

// Whether path lies inside folder (both without links).
bool isInside(const QString &path, const QString &folder)
{
    return path.startsWith(folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/'));
}

bool holdsNul(const QStringList &row)
{
    return std::any_of(row.begin(), row.end(), [](const QString &field) { return field.contains(QChar(0)); });
}

// Gives a message without a number the number of another message of the same person, so
// that the person's messages are filed in one conversation.
void fillNumbersByPerson(QList<SMSInfo> &messages)
{
    QHash<QString, QString> numbers;
    for (const SMSInfo &sms : messages) {
        if (!sms.address.isEmpty() && !sms.person.isEmpty() && !numbers.contains(sms.person))
            numbers.insert(sms.person, sms.address);
    }
    if (numbers.isEmpty())
        return;
    for (SMSInfo &sms : messages) {
        if (sms.address.isEmpty())
            sms.address = numbers.value(sms.person);
    }
}

// Whether messages name people but none has a number: their conversations go by the names.
bool namedWithoutNumbers(const QList<SMSInfo> &messages)
{
    const auto hasNumber = [](const SMSInfo &sms) { return !sms.address.isEmpty(); };
    const auto hasPerson = [](const SMSInfo &sms) { return !sms.person.isEmpty(); };
    return std::none_of(messages.begin(), messages.end(), hasNumber)
        && std::any_of(messages.begin(), messages.end(), hasPerson);
}

} // namespace

LocalPreviewCSVThread::LocalPreviewCSVThread(
    const QString &path, ProgressReceiver *progressReceiver, CSVImporter *otherPhoneImporter)
    : ProgressThread(progressReceiver)
    , importer(otherPhoneImporter)
    , csvPath(path)
    , dataDir(QDir(QFileInfo(path).absolutePath()).filePath(QStringLiteral("data")))
{
}

void LocalPreviewCSVThread::work()
{
    encoding = fileEncoding();
    CsvReader::TextFile lines(csvPath, encoding);
    dialect = CsvReader::Dialect(
        importer ? importer->separator() : ',', CsvReader::hasLineFeed(lines.device()) ? '\n' : '\r');
    findDataFolder();
    QString text = readAll();
    if (encoding == CsvReader::Encoding::Latin1)
        text += QLatin1Char(' ') + tr("IDS_CSV_READ_AS_LATIN1");
    emit succeed(text);
}

void LocalPreviewCSVThread::onFailed(Failure failure)
{
    // A cancelled read keeps what it had read.
    if (failure == Failure::Error)
        smsList.clear();
}

QString LocalPreviewCSVThread::errorText(const std::exception &e) const
{
    if (const auto *tooLong = dynamic_cast<const CsvReader::RowTooLong *>(&e))
        return tr("IDS_CSV_ROW_TOO_LONG_LINE_%1").arg(tooLong->line());
    return ProgressThread::errorText(e);
}

CsvReader::Encoding LocalPreviewCSVThread::fileEncoding() const
{
    QFile file(csvPath);
    if (!file.open(QIODevice::ReadOnly))
        fail(file.errorString());
    const CsvReader::Encoding marked = CsvReader::markedEncoding(file);
    if (marked == CsvReader::Encoding::Utf8 && !isUtf8Device(file))
        return CsvReader::Encoding::Latin1;
    return marked;
}

void LocalPreviewCSVThread::findDataFolder()
{
    // A file from anywhere may come with links in its data folder; only what really lies
    // inside the folder beside the file is taken.
    const QString fileFolder = QFileInfo(QFileInfo(csvPath).absolutePath()).canonicalFilePath();
    const QFileInfo data(dataDir.path());
    const QString real = data.canonicalFilePath();
    dataRoot = !fileFolder.isEmpty() && isInside(real, fileFolder) ? real : QString();
    dataFolderRefused = dataRoot.isEmpty() && (data.exists() || data.isSymLink());
}

qint64 LocalPreviewCSVThread::countRecords() const
{
    CsvReader::TextFile text(csvPath, encoding);
    // The first row is the header unless the layout has none.
    QStringList first;
    CsvReader::readCSVRow(first, text.device(), 4, dialect);
    qint64 total = CsvReader::totalRecords(text.device(), dialect.lineEnd);
    if (importer && !importer->hasHeader())
        ++total;
    return total;
}

QString LocalPreviewCSVThread::readAll()
{
    const qint64 total = countRecords();
    CsvReader::TextFile text(csvPath, encoding);
    if (text.device().peek(3) == "\xEF\xBB\xBF")
        text.device().skip(3);
    CsvReader::RowStream rows(text.device(), dialect);
    const CsvReader::HeaderIndex header = readHeader(rows);
    const Counts counts = readRows(rows, header, total);
    if (counts.valid + counts.invalid + counts.drafts == 0)
        fail(tr("IDS_CSV_NO_MESSAGES"));
    if (importer)
        fillNumbersByPerson(smsList);
    m_leftOut = counts.invalid + counts.drafts;
    return summary(counts);
}

CsvReader::HeaderIndex LocalPreviewCSVThread::readHeader(CsvReader::RowStream &rows) const
{
    if (importer && !importer->hasHeader())
        return {};
    // The first row of four fields or more; shorter ones before it are blank lines.
    QStringList row;
    while (rows.next(row) && row.size() < 4)
        row.clear();
    const CsvReader::HeaderIndex header = CsvReader::headerIndex(row);
    if (!importer) {
        for (const char *name : {"send", "date", "number", "content"}) {
            if (!header.contains(QLatin1String(name)))
                fail(tr("IDS_INVALID_OMBREVALE_SMS_CSV_FORMAT"));
        }
    }
    return header;
}

LocalPreviewCSVThread::Counts LocalPreviewCSVThread::readRows(
    CsvReader::RowStream &rows, const CsvReader::HeaderIndex &header, qint64 total)
{
    Counts counts;
    QStringList row;
    const auto take = [&](const SMSInfo &sms) {
        if (!sms.date.isValid()) {
            ++counts.invalid;
            qDebug() << "LocalPreviewCSVThread: Invalid sms, " << row;
            return;
        }
        smsList.append(sms);
        ++counts.valid;
        if (countReportDue(counts.valid, total))
            emit updateProgress(percent(counts.valid, total), tr("SMS %1:%2").arg(counts.valid).arg(total));
    };
    for (;;) {
        checkCancelled();
        const bool more = rows.next(row);
        // A NUL byte would end the number or the name wherever the text goes next, filing
        // the message in another conversation.
        if (holdsNul(row))
            fail(tr("IDS_CSV_NUL_BYTE_LINE_%1").arg(rows.rowLine()));
        // A row of one field is a blank line.
        if (row.size() > 1 && !importer) {
            take(convertOwnRow(header, row, counts.valid + 1, counts));
        } else if (row.size() > 1) {
            const QHash<QString, QVariant> values = importer->convertRow(header, row);
            if (values.value(QStringLiteral("draft")).toBool())
                ++counts.drafts;
            else
                take(importedMessage(values));
        }
        row.clear();
        if (!more)
            break;
    }
    // Rows of a file cut short, or after a quote never closed, would be lost without a word.
    if (rows.endedInQuotes())
        fail(tr("IDS_CSV_ENDS_IN_QUOTES_LINE_%1").arg(rows.openQuoteLine()));
    return counts;
}

QString LocalPreviewCSVThread::summary(const Counts &counts) const
{
    QString text = counts.invalid != 0
        ? tr("IDS_IMPORT_CSV_PREVIEW_SUC_%1_INVALID_%2").arg(counts.valid).arg(counts.invalid)
        : tr("IDS_IMPORT_CSV_PREVIEW_SUC_%1").arg(counts.valid);
    if (counts.drafts != 0)
        text += QLatin1Char(' ') + tr("IDS_CSV_DRAFTS_LEFT_OUT_%1").arg(counts.drafts);
    if (counts.refusedAttachments != 0)
        text += QLatin1Char(' ') + tr("IDS_CSV_ATTACHMENTS_REFUSED_%1").arg(counts.refusedAttachments);
    if (importer && namedWithoutNumbers(smsList))
        text += QLatin1Char(' ') + tr("IDS_CSV_NO_PHONE_NUMBERS");
    return text;
}

SMSInfo LocalPreviewCSVThread::convertOwnRow(
    const CsvReader::HeaderIndex &header, const QStringList &row, int number, Counts &counts) const
{
    const auto field = [&](const char *name, const QString &fallback = QString()) {
        return CsvReader::fieldValue(header, row, QLatin1String(name), fallback);
    };
    SMSInfo sms;
    sms.isSend = field("send", QStringLiteral("0")).toInt() == 1;
    sms.person = field("person");
    sms.address = field("number");
    sms.body = field("content");
    sms.subject = field("subject");
    sms.date = parseDate(field("date"));
    if (!sms.date.isValid())
        fail(tr("IDS_INVALID_DATE_FORMAT"));
    sms.attachments = attachments(header, row, number, counts);
    return sms;
}

SMSInfo LocalPreviewCSVThread::importedMessage(const QHash<QString, QVariant> &values)
{
    SMSInfo sms;
    sms.isSend = values.value(QStringLiteral("send")).toBool();
    sms.date = values.value(QStringLiteral("date")).toDateTime();
    sms.address = values.value(QStringLiteral("number")).toString();
    sms.person = values.value(QStringLiteral("person")).toString();
    sms.body = values.value(QStringLiteral("content")).toString();
    return sms;
}

QDateTime LocalPreviewCSVThread::parseDate(const QString &text)
{
    // Qt's format parser costs more than the rest of a row; the text the export writes is
    // read directly, and anything else goes to the parser.
    if (text.size() == 19 && text.at(4) == u'-' && text.at(7) == u'-' && text.at(10) == u' ' && text.at(13) == u':'
        && text.at(16) == u':') {
        const int parts[] = {digits(text, 0, 4), digits(text, 5, 2), digits(text, 8, 2), digits(text, 11, 2),
            digits(text, 14, 2), digits(text, 17, 2)};
        const QDate date(parts[0], parts[1], parts[2]);
        const QTime time(parts[3], parts[4], parts[5]);
        if (*std::min_element(std::begin(parts), std::end(parts)) >= 0)
            return WallClock::toLocal(date, time);
    }
    // Read as a UTC reading, which has no skipped hours, then made local the same way.
    const QDateTime reading = QDateTime::fromString(text + QLatin1String(" UTC"), kDateFormat + QLatin1String(" t"));
    return reading.isValid() ? WallClock::toLocal(reading.date(), reading.time()) : QDateTime();
}

QList<AttachmentInfo> LocalPreviewCSVThread::attachments(
    const CsvReader::HeaderIndex &header, const QStringList &row, int number, Counts &counts) const
{
    const QStringList mimes = pieces(CsvReader::fieldValue(header, row, QStringLiteral("mime")));
    const QStringList names = pieces(CsvReader::fieldValue(header, row, QStringLiteral("cl")));
    const QStringList copies = pieces(CsvReader::fieldValue(header, row, QStringLiteral("atta")));
    QList<AttachmentInfo> found;
    const qsizetype count = std::min({mimes.size(), names.size(), copies.size()});
    for (qsizetype i = 0; i < count; ++i) {
        // Only a file inside the data folder: an entry that climbs out of it or names
        // another place is cut to its last part, and one that names no file is left out.
        const QString copy = dataFileName(copies.at(i));
        if (mimes.at(i).isEmpty() || names.at(i).isEmpty() || copy.isEmpty())
            continue;
        const QFileInfo copyInfo(dataDir.filePath(copy));
        // Filed without its copy the message would name a file nobody has.
        if (!dataFolderRefused && !copyInfo.exists() && !copyInfo.isSymLink())
            fail(tr("IDS_CSV_ATTACHMENT_MISSING_%1_MESSAGE_%2").arg(copy).arg(number));
        if (!takesCopy(copyInfo)) {
            ++counts.refusedAttachments;
            continue;
        }
        AttachmentInfo attachment;
        attachment.mimeType = mimes.at(i);
        attachment.fileName = names.at(i);
        // The resolved path, so that a link put in its place meanwhile is not followed.
        attachment.filePath = copyInfo.canonicalFilePath();
        found.append(attachment);
    }
    return found;
}

bool LocalPreviewCSVThread::takesCopy(const QFileInfo &copy) const
{
    const QString real = copy.canonicalFilePath();
    // isFile() is false for a folder, a device or a pipe, which a copy would hang on.
    return !dataRoot.isEmpty() && isInside(real, dataRoot) && QFileInfo(real).isFile();
}
