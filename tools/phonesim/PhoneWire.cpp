#include "PhoneWire.h"

#include <QFileInfo>
#include <QList>

namespace phonewire {

QByteArray encodeText(const QString &text)
{
    return text.toUtf8().toBase64();
}

QString decodeText(const QByteArray &field)
{
    QByteArray bytes = QByteArray::fromBase64(field);
    const qsizetype zero = bytes.indexOf('\0');
    if (zero >= 0)
        bytes.truncate(zero);
    return QString::fromUtf8(bytes);
}

QByteArray phoneRecord(const PhoneMessage &m, int fieldCount)
{
    QByteArray record = QByteArray::number(m.date) + ',' + (m.sent ? "1" : "0") + ',' + encodeText(m.address) + ','
        + encodeText(m.person) + ',' + encodeText(m.body);
    if (fieldCount >= 6)
        record += ',' + encodeText(m.subject);
    if (fieldCount >= 7)
        record += ',' + QByteArray::number(m.attachments.size());
    return record;
}

bool parsePcRecord(const QByteArray &record, PcRecord *out, QString *error)
{
    const QList<QByteArray> fields = record.split(',');
    if (fields.size() != 6) {
        *error
            = QStringLiteral("Record needs 6 fields, got %1: %2").arg(fields.size()).arg(QString::fromLatin1(record));
        return false;
    }
    bool dateOk = false, countOk = false;
    const qint64 date = fields[0].toLongLong(&dateOk);
    const int count = fields[5].toInt(&countOk);
    if (!dateOk || date <= 0) {
        *error = QStringLiteral("Record date is not a positive number: %1").arg(QString::fromLatin1(record));
        return false;
    }
    if (!countOk || count < 0) {
        *error = QStringLiteral("Record attachment count is not a number: %1").arg(QString::fromLatin1(record));
        return false;
    }
    if (fields[1] != "1" && fields[1] != "0") {
        *error = QStringLiteral("Record direction is neither 1 nor 0: %1").arg(QString::fromLatin1(record));
        return false;
    }
    out->message = PhoneMessage();
    out->message.date = date;
    out->message.sent = fields[1] == "1";
    out->message.address = decodeText(fields[2]);
    out->message.body = decodeText(fields[3]);
    out->message.subject = decodeText(fields[4]);
    out->attachmentCount = count;
    return true;
}

bool parseSendRequest(const QByteArray &line, QString *number, QString *text)
{
    const qsizetype comma = line.indexOf(',');
    if (comma < 0)
        return false;
    *number = decodeText(line.left(comma));
    *text = decodeText(line.mid(comma + 1));
    return !number->isEmpty();
}

bool parseAttaHeader(const QByteArray &argument, QString *mimeType, QString *fileName)
{
    const QList<QByteArray> parts = argument.split(',');
    if (parts.size() < 2)
        return false;
    *mimeType = QString::fromLatin1(parts[0]);
    QString name = QString::fromLatin1(parts[1]);
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    *fileName = QFileInfo(name).fileName();
    return true;
}

QByteArray errorLine(const QString &text)
{
    return "$error:" + encodeText(text);
}

bool malformationFits(PhoneFault::Malformation malformation, LineRole role)
{
    using M = PhoneFault::Malformation;
    switch (malformation) {
    case M::None:
        return false;
    case M::ShortRecord:
    case M::ZeroDate:
    case M::TextDate:
        return role == LineRole::Record;
    case M::DataInsteadOfAtta:
    case M::AttaOneField:
        return role == LineRole::AttaHeader;
    case M::BadBase64:
        return role == LineRole::Data;
    case M::EmptyLine:
        return true;
    case M::NegativeCount:
        return role == LineRole::Command;
    }
    return false;
}

QByteArray malformed(PhoneFault::Malformation malformation, const QByteArray &line)
{
    using M = PhoneFault::Malformation;
    const qsizetype colon = line.indexOf(':');
    const QByteArray word = line.left(colon + 1);
    QList<QByteArray> fields = line.mid(colon + 1).split(',');
    switch (malformation) {
    case M::None:
        return line;
    case M::ShortRecord:
        return word + fields.mid(0, 4).join(',');
    case M::ZeroDate:
        fields[0] = "0";
        return word + fields.join(',');
    case M::TextDate:
        fields[0] = "yesterday";
        return word + fields.join(',');
    case M::DataInsteadOfAtta:
        return QByteArray("not an attachment header").toBase64();
    case M::AttaOneField:
        return word + fields[0];
    case M::BadBase64:
        return "#*! not base64 !*#";
    case M::EmptyLine:
        return {};
    case M::NegativeCount:
        return line.startsWith("$count:") ? word + '-' + fields[0] : line;
    }
    return line;
}

} // namespace phonewire
