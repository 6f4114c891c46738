#include "SbrXmlReader.h"

#include "FileHelpers.h"
#include "JobCancelled.h"
#include "SbrXmlDevice.h"

#include <QFile>
#include <QFileInfo>

#include <stdexcept>
#include <utility>

namespace {

// The app's MMS address types: the sender, and the recipients of "to", "cc" and "bcc".
constexpr int kFromAddress = 137;
constexpr int kToAddress = 151;
constexpr int kCcAddress = 130;
constexpr int kBccAddress = 129;

[[noreturn]] void fail(const QString &text)
{
    throw std::runtime_error(text.toUtf8().toStdString());
}

// The app writes "null" for a value it does not have.
QString present(QStringView value)
{
    return value == u"null" ? QString() : value.toString();
}

// The boxes of an SMS's type and an MMS's msg_box: 1 received, 2 sent, then the
// messages that never left the phone: 3 draft, 4 outbox, 5 failed, 6 queued (SMS only).
constexpr int kSentBox = 2;

bool isNotSentBox(int box)
{
    return box >= 3 && box <= 6;
}

QDateTime dateOf(const QXmlStreamAttributes &attributes)
{
    bool ok = false;
    const qint64 msecs = attributes.value(QLatin1String("date")).toLongLong(&ok);
    return ok && msecs > 0 ? QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC) : QDateTime();
}

QString contactName(const QXmlStreamAttributes &attributes)
{
    const QString name = present(attributes.value(QLatin1String("contact_name")));
    return name == u"(Unknown)" ? QString() : name;
}

// The name of the index-th of count recipients: the app joins the names of a group by ", ".
QString personAt(const QString &contactName, qsizetype index, qsizetype count)
{
    const QStringList names = contactName.split(QStringLiteral(", "));
    const QString name = names.size() == count ? names.at(index) : QString();
    return name == u"(Unknown)" ? QString() : name;
}

// A part's decoded data that no record takes.
void dropData(const QString &dataPath)
{
    if (!dataPath.isEmpty())
        QFile::remove(dataPath);
}

QStringList addressesOf(const QXmlStreamAttributes &attributes)
{
    return present(attributes.value(QLatin1String("address"))).split(QLatin1Char('~'), Qt::SkipEmptyParts);
}

} // namespace

SbrXmlReader::SbrXmlReader(SbrXmlDevice &device)
    : m_device(device)
    , m_xml(&device)
{
    // A backup names no namespaces; without processing, a stray prefix is no error.
    m_xml.setNamespaceProcessing(false);
}

bool SbrXmlReader::readNext(QList<SMSInfo> &records)
{
    if (!m_inRoot)
        readRoot();
    if (!m_xml.readNextStartElement()) {
        if (m_xml.hasError())
            failReading();
        readToEnd();
        return false;
    }
    if (m_xml.name() == u"sms") {
        readSms(records);
    } else if (m_xml.name() == u"mms") {
        readMms(records);
    } else {
        ++m_skipped.otherEntries;
        m_xml.skipCurrentElement();
    }
    if (m_xml.hasError())
        failReading();
    return true;
}

void SbrXmlReader::readRoot()
{
    while (!m_xml.atEnd()) {
        const QXmlStreamReader::TokenType token = m_xml.readNext();
        // A backup never declares a document type; one that does may be built to make the
        // reader expand entities without end.
        if (token == QXmlStreamReader::DTD)
            fail(tr("IDS_XML_DOCUMENT_TYPE"));
        if (token == QXmlStreamReader::StartElement) {
            if (m_xml.name() != u"smses")
                fail(tr("IDS_XML_NOT_SMS_BACKUP"));
            m_announced = m_xml.attributes().value(QLatin1String("count")).toLongLong();
            m_inRoot = true;
            return;
        }
    }
    failReading();
}

// After the root only comments and space may come: a second backup joined to the first
// is damage, not a file read whole.
void SbrXmlReader::readToEnd()
{
    while (!m_xml.atEnd())
        m_xml.readNext();
    if (m_xml.hasError() || m_device.badTextLine() > 0)
        failReading();
}

void SbrXmlReader::failReading() const
{
    if (m_device.stopped())
        throw JobCancelled();
    if (!m_device.failure().isEmpty())
        fail(m_device.failure());
    if (!m_device.unreadableEncoding().isEmpty())
        fail(tr("IDS_XML_ENCODING_%1").arg(m_device.unreadableEncoding()));
    if (!m_inRoot && !m_device.startsLikeXml())
        fail(tr("IDS_XML_NOT_SMS_BACKUP"));
    if (m_device.valueTooLong())
        failDamaged(tr("IDS_XML_VALUE_TOO_LONG"), m_xml.lineNumber());
    // The device stops before a bad character, so the reader sees an early end there,
    // unless it found damage before.
    if (m_xml.hasError() && m_xml.error() != QXmlStreamReader::PrematureEndOfDocumentError)
        failDamaged(m_xml.errorString(), m_xml.lineNumber());
    if (m_device.badTextLine() > 0) {
        failDamaged(m_device.badTextIsControl() ? tr("IDS_XML_CONTROL_CHARACTER") : tr("IDS_XML_NOT_UTF8"),
            m_device.badTextLine());
    }
    fail(tr("IDS_XML_CUT_SHORT"));
}

void SbrXmlReader::failDamaged(const QString &what, qint64 line) const
{
    QString reason = what;
    if (reason.endsWith(u'.'))
        reason.chop(1);
    fail(tr("IDS_XML_DAMAGED_%1_LINE_%2").arg(reason).arg(line));
}

void SbrXmlReader::readSms(QList<SMSInfo> &records)
{
    const QXmlStreamAttributes attributes = m_xml.attributes();
    m_xml.skipCurrentElement();
    const int type = attributes.value(QLatin1String("type")).toInt();
    if (isNotSentBox(type)) {
        ++m_skipped.notSent;
        return;
    }
    SMSInfo sms;
    sms.date = dateOf(attributes);
    if (!sms.date.isValid()) {
        ++m_skipped.otherEntries;
        return;
    }
    sms.isSend = type == kSentBox;
    sms.address = present(attributes.value(QLatin1String("address")));
    sms.person = contactName(attributes);
    sms.body = present(attributes.value(QLatin1String("body")));
    sms.subject = present(attributes.value(QLatin1String("subject")));
    records.append(sms);
}

void SbrXmlReader::readMms(QList<SMSInfo> &records)
{
    const QXmlStreamAttributes attributes = m_xml.attributes();
    QList<Part> parts;
    QList<Address> addresses;
    while (m_xml.readNextStartElement()) {
        const bool isParts = m_xml.name() == u"parts";
        if (!isParts && m_xml.name() != u"addrs") {
            m_xml.skipCurrentElement();
            continue;
        }
        while (m_xml.readNextStartElement()) {
            if (isParts && m_xml.name() == u"part") {
                parts.append(readPart());
            } else if (!isParts && m_xml.name() == u"addr") {
                const QXmlStreamAttributes addr = m_xml.attributes();
                addresses.append(
                    Address {present(addr.value(QLatin1String("address"))), addr.value(QLatin1String("type")).toInt()});
            }
            m_xml.skipCurrentElement();
        }
    }
    if (m_xml.hasError())
        return;

    const int box = attributes.value(QLatin1String("msg_box")).toInt();
    const QDateTime date = dateOf(attributes);
    if (isNotSentBox(box) || !date.isValid()) {
        ++(isNotSentBox(box) ? m_skipped.notSent : m_skipped.otherEntries);
        for (const Part &part : std::as_const(parts))
            dropData(part.dataPath);
        return;
    }
    SMSInfo sms;
    sms.date = date;
    sms.isSend = box == kSentBox;
    sms.subject = present(attributes.value(QLatin1String("sub")));
    QStringList texts;
    for (const Part &part : std::as_const(parts)) {
        if (part.hasText && part.dataPath.isEmpty())
            texts.append(part.text);
    }
    sms.body = texts.join(QLatin1Char('\n'));
    sms.attachments = takeAttachments(parts);

    // The other parties: the sender of a received message, every recipient of a sent one.
    QStringList parties;
    for (const Address &address : std::as_const(addresses)) {
        const bool wanted = sms.isSend
            ? address.type == kToAddress || address.type == kCcAddress || address.type == kBccAddress
            : address.type == kFromAddress;
        if (wanted && !address.address.isEmpty() && address.address != u"insert-address-token"
            && !parties.contains(address.address))
            parties.append(address.address);
        if (!sms.isSend && !parties.isEmpty())
            break;
    }
    const QStringList listed = addressesOf(attributes);
    if (parties.isEmpty())
        parties = sms.isSend ? listed : listed.mid(0, 1);
    if (parties.isEmpty())
        parties.append(QString());
    // Which name of a group is the sender's the file does not say.
    const QString name = contactName(attributes);
    const bool group = listed.size() > 1;
    for (qsizetype i = 0; i < parties.size(); ++i) {
        sms.address = parties.at(i);
        sms.person = !group ? name : sms.isSend ? personAt(name, i, parties.size()) : QString();
        records.append(sms);
    }
}

SbrXmlReader::Part SbrXmlReader::readPart()
{
    const QXmlStreamAttributes attributes = m_xml.attributes();
    Part part;
    part.type = present(attributes.value(QLatin1String("ct"))).toLower();
    for (const char *name : {"cl", "name", "fn"}) {
        part.name = present(attributes.value(QLatin1String(name)));
        if (!part.name.isEmpty())
            break;
    }
    part.hasText = part.type == u"text/plain" && attributes.hasAttribute(QLatin1String("text"));
    part.text = attributes.value(QLatin1String("text")).toString();
    const QStringView data = attributes.value(QLatin1String("data"));
    if (m_device.isDamagedData(data))
        failDamaged(tr("IDS_XML_DATA_NOT_BASE64"), m_xml.lineNumber());
    if (attributes.hasAttribute(QLatin1String("data")))
        part.dataPath = m_device.spoolPath(data);
    return part;
}

QList<AttachmentInfo> SbrXmlReader::takeAttachments(const QList<Part> &parts)
{
    QList<AttachmentInfo> attachments;
    for (const Part &part : parts) {
        // The layout of the slides is no attachment, and text without data is the body.
        if (part.type == u"application/smil" || (part.hasText && part.dataPath.isEmpty())) {
            dropData(part.dataPath);
            continue;
        }
        if (part.dataPath.isEmpty() || QFileInfo(part.dataPath).size() == 0) {
            ++m_skipped.unusableParts;
            dropData(part.dataPath);
            continue;
        }
        // The spooled file stays where it is: the store names its copy after fileName.
        AttachmentInfo attachment;
        attachment.mimeType = part.type;
        attachment.fileName = FileHelpers::safeFileName(part.name);
        attachment.filePath = part.dataPath;
        attachments.append(attachment);
    }
    return attachments;
}
