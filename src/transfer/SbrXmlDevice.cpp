#include "SbrXmlDevice.h"

#include "Base64Decoder.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QStringEncoder>

#include <algorithm>
#include <array>
#include <string_view>

namespace {

constexpr qint64 kBlockBytes = 256 * 1024;
const QLatin1String kSpoolPrefix("part-");
const QByteArray kUtf8Mark = QByteArrayLiteral("\xEF\xBB\xBF");

// "UTF-16" or "UTF-32" when the first bytes are a byte order mark of those, or hold the
// zero bytes of a "<" in them; empty otherwise.
QString wideEncoding(QByteArrayView head)
{
    const QByteArrayView start = head.first(qMin(head.size(), qsizetype(4)));
    const bool marked = start.startsWith("\xFF\xFE") || start.startsWith("\xFE\xFF")
        || start.startsWith(QByteArrayView("\0\0\xFE\xFF", 4));
    if (!marked && !(start.contains('\0') && start.contains('<')))
        return QString();
    const bool zeroPair
        = start.size() == 4 && ((start.at(0) == 0 && start.at(1) == 0) || (start.at(2) == 0 && start.at(3) == 0));
    return zeroPair ? QStringLiteral("UTF-32") : QStringLiteral("UTF-16");
}

// The encoding the XML declaration names; empty without one or with a name XML does not
// allow, which the reader reports as damage.
QByteArray declaredEncoding(QByteArrayView head)
{
    if (!head.startsWith("<?xml"))
        return QByteArray();
    const QByteArrayView start = head.first(qMin(head.size(), qsizetype(256)));
    const qsizetype end = start.indexOf("?>");
    static const QRegularExpression pattern(
        QStringLiteral(R"(^<\?xml\s[^>]*encoding\s*=\s*(["'])([A-Za-z][A-Za-z0-9._-]*)\1)"));
    return pattern.match(QString::fromLatin1(end < 0 ? start : start.first(end))).captured(2).toLatin1();
}

// Whether the reader can decode the encoding and it writes XML's ASCII as ASCII, as the
// filter needs.
bool isReadableEncoding(const QByteArray &name)
{
    QStringEncoder encoder(name.constData());
    const QString sample = QStringLiteral("<?xml &\"'=>");
    return encoder.isValid() && QByteArray(encoder.encode(sample)) == sample.toLatin1();
}

// The bytes of Base64 text: its alphabet, its padding, and space between lines.
constexpr std::array<bool, 256> kBase64Bytes = [] {
    std::array<bool, 256> bytes {};
    for (const char c : std::string_view("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/= \t\n\r"))
        bytes[uchar(c)] = true;
    return bytes;
}();

bool isBase64Text(QByteArrayView text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return kBase64Bytes[uchar(c)]; });
}

} // namespace

// Follows the text a block at a time, counting lines as XML does (CR LF, CR and LF each
// end one), to find the first character XML does not allow: a control character, or in
// UTF-8 text bytes that are no character.
class SbrXmlDevice::TextCheck
{
public:
    explicit TextCheck(bool utf8)
        : m_utf8(utf8)
    {
    }

    // Where the first bad character starts in bytes (0 when it started in an earlier
    // block); -1 when there is none.
    qsizetype firstBad(QByteArrayView bytes)
    {
        qsizetype lead = 0;
        for (qsizetype i = 0; i < bytes.size(); ++i) {
            const uchar c = uchar(bytes.at(i));
            if (m_pending > 0) {
                if (c < m_low || c > m_high)
                    return lead;
                --m_pending;
                m_low = 0x80;
                m_high = 0xBF;
                continue;
            }
            lead = i;
            countLine(c);
            m_control = c < 0x20 && c != '\t' && c != '\n' && c != '\r';
            if (m_control || (m_utf8 && !startCharacter(c)))
                return i;
        }
        return -1;
    }

    // Whether the bad character found is a control character.
    bool isControl() const { return m_control; }
    // Whether the text so far ends inside a character.
    bool cutInside() const { return m_pending > 0; }
    qint64 line() const { return m_line; }

private:
    void countLine(uchar c)
    {
        if (c == '\r' || (c == '\n' && !m_afterCr))
            ++m_line;
        m_afterCr = c == '\r';
    }

    // Takes the first byte of a character; false when no character starts so.
    bool startCharacter(uchar c)
    {
        if (c < 0x80)
            return true;
        // The limits of the second byte keep out overlong forms, surrogates and values
        // beyond U+10FFFF.
        if (c >= 0xC2 && c <= 0xDF) {
            m_pending = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            m_pending = 2;
            m_low = c == 0xE0 ? 0xA0 : 0x80;
            m_high = c == 0xED ? 0x9F : 0xBF;
        } else if (c >= 0xF0 && c <= 0xF4) {
            m_pending = 3;
            m_low = c == 0xF0 ? 0x90 : 0x80;
            m_high = c == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        return true;
    }

    bool m_utf8;
    bool m_control = false;
    qint64 m_line = 1;
    bool m_afterCr = false;
    int m_pending = 0; // bytes the character still needs
    uchar m_low = 0x80; // the range of its next byte
    uchar m_high = 0xBF;
};

// Decodes each data value into a file "part-N", N counting from 1; the value becomes N.
// A value without data leaves no file.
class SbrXmlDevice::Spool : public SbrXmlInputFilter::DataSink
{
public:
    explicit Spool(const QDir &folder)
        : m_folder(folder)
    {
    }

    QString pathOf(int number) const { return m_folder.filePath(kSpoolPrefix + QString::number(number)); }
    int count() const { return m_count; }
    bool holdsData(int number) const { return !m_withoutData.contains(number); }
    bool isDamaged(int number) const { return m_damaged.contains(number); }
    const QString &failure() const { return m_failure; }

    QByteArray open() override
    {
        ++m_count;
        m_decoder = Base64Decoder();
        m_start.clear();
        m_file.setFileName(pathOf(m_count));
        if (!m_file.open(QIODevice::WriteOnly) && m_failure.isEmpty())
            m_failure = QStringLiteral("Create %1 error. %2").arg(m_file.fileName(), m_file.errorString());
        return QByteArray::number(m_count);
    }

    void write(QByteArrayView base64) override
    {
        if (m_start.size() <= kNull.size())
            m_start += base64.first(qMin(base64.size(), kNull.size() + 1 - m_start.size()));
        // The decoder would skip a stray byte and shift every byte after it.
        if (!isBase64Text(base64))
            m_damaged.insert(m_count);
        save(m_decoder.decode(base64));
    }

    void close() override
    {
        save(m_decoder.finish());
        m_file.close();
        // "null" is the app's word for no data, not the Base64 of three bytes.
        if (m_start.isEmpty() || m_start == kNull) {
            m_file.remove();
            m_withoutData.insert(m_count);
        }
    }

private:
    void save(const QByteArray &bytes)
    {
        if (bytes.isEmpty() || !m_file.isOpen())
            return;
        if (m_file.write(bytes) != bytes.size() && m_failure.isEmpty())
            m_failure = QStringLiteral("Write %1 error. %2").arg(m_file.fileName(), m_file.errorString());
    }

    static constexpr QByteArrayView kNull = "null";

    QDir m_folder;
    QFile m_file;
    Base64Decoder m_decoder;
    QByteArray m_start; // the value's first bytes, enough to tell "null" from data
    QSet<int> m_withoutData;
    QSet<int> m_damaged; // values with bytes that are not Base64
    int m_count = 0;
    QString m_failure;
};

SbrXmlDevice::SbrXmlDevice(QIODevice &source, const QDir &spoolFolder)
    : m_source(source)
    , m_spool(std::make_unique<Spool>(spoolFolder))
    , m_filter(*m_spool)
{
    QIODevice::open(QIODevice::ReadOnly);
}

SbrXmlDevice::~SbrXmlDevice() = default;

QString SbrXmlDevice::spoolPath(QStringView dataValue) const
{
    bool ok = false;
    const int number = dataValue.toInt(&ok);
    if (!ok || number < 1 || number > m_spool->count() || !m_spool->holdsData(number))
        return QString();
    return m_spool->pathOf(number);
}

bool SbrXmlDevice::isDamagedData(QStringView dataValue) const
{
    bool ok = false;
    const int number = dataValue.toInt(&ok);
    return ok && m_spool->isDamaged(number);
}

QString SbrXmlDevice::failure() const
{
    return m_sourceFailure.isEmpty() ? m_spool->failure() : m_sourceFailure;
}

qint64 SbrXmlDevice::bytesAvailable() const
{
    const qint64 unread = m_buffer.size() - m_position;
    return unread + QIODevice::bytesAvailable() + (m_sourceDone ? 0 : m_source.bytesAvailable());
}

qint64 SbrXmlDevice::readData(char *data, qint64 maxSize)
{
    // A block that lies wholly inside a data value gives nothing to read: take the next.
    while (m_position >= m_buffer.size()) {
        m_buffer.clear();
        m_position = 0;
        if (!refill())
            return failure().isEmpty() && !m_stopped ? 0 : -1;
    }
    const qint64 count = qMin(maxSize, qint64(m_buffer.size() - m_position));
    memcpy(data, m_buffer.constData() + m_position, size_t(count));
    m_position += count;
    return count;
}

bool SbrXmlDevice::refill()
{
    if (m_sourceDone || m_stopped || !failure().isEmpty())
        return false;
    const QByteArray block = m_source.read(kBlockBytes);
    if (block.isEmpty()) {
        if (!m_source.atEnd()) {
            m_sourceFailure = m_source.errorString();
            return false;
        }
        m_filter.finish(m_buffer);
        m_sourceDone = true;
    } else {
        if (!m_headRead)
            readHead(block);
        if (!m_unreadableEncoding.isEmpty()) {
            m_sourceDone = true;
            return false;
        }
        m_filter.feed(block, m_buffer);
        m_sourceDone = m_filter.valueTooLong();
    }
    checkText(m_sourceDone);
    if (m_hook && !m_hook(m_source.pos()))
        m_stopped = true;
    // A spool file that failed ends the reading at once: the rest would be lost anyway.
    return m_spool->failure().isEmpty();
}

void SbrXmlDevice::readHead(QByteArrayView head)
{
    m_headRead = true;
    m_startsLikeXml = head.contains("<?xml") || head.contains("<smses");
    m_unreadableEncoding = wideEncoding(head);
    if (!m_unreadableEncoding.isEmpty())
        return;
    // With a byte order mark the text is UTF-8 (the reader refuses a declaration of another
    // encoding beside it); else the declaration says, UTF-8 without one.
    const QByteArray declared = head.startsWith(kUtf8Mark) ? QByteArray() : declaredEncoding(head);
    const bool utf8
        = declared.isEmpty() || QStringConverter::encodingForName(declared.constData()) == QStringConverter::Utf8;
    if (!utf8 && !isReadableEncoding(declared)) {
        m_unreadableEncoding = QString::fromLatin1(declared);
        return;
    }
    m_text = std::make_unique<TextCheck>(utf8);
    if (!utf8)
        m_otherEncoding = QString::fromLatin1(declared);
}

void SbrXmlDevice::checkText(bool atEnd)
{
    if (!m_text || m_badTextLine > 0)
        return;
    const qsizetype bad = m_text->firstBad(m_buffer);
    if (bad < 0 && !(atEnd && m_text->cutInside()))
        return;
    if (bad >= 0)
        m_buffer.truncate(bad);
    m_badTextLine = m_text->line();
    m_badTextIsControl = m_text->isControl();
    m_sourceDone = true;
}
