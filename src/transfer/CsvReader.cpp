#include "CsvReader.h"

#include <QIODevice>
#include <QStringDecoder>
#include <QtDebug>

#include <array>
#include <cstring>
#include <initializer_list>
#include <stdexcept>
#include <vector>

namespace {

constexpr qint64 kBlockSize = 64 * 1024;

[[noreturn]] void failRead(QIODevice &device, const char *debugFormat)
{
    const QString error = device.errorString();
    qDebug(debugFormat, qUtf8Printable(error));
    throw std::runtime_error(error.toUtf8().toStdString());
}

// The device's bytes a block at a time. Blocks are peeked, and only the bytes handed out
// are taken from the device (on the next block or at release()), so the device's position
// ends up just after the last byte used whatever the block size.
class ByteSource
{
public:
    explicit ByteSource(QIODevice &device)
        : m_device(device)
        , m_block(kBlockSize)
    {
    }

    bool next(char &byte)
    {
        if (m_at == m_size && !refill())
            return false;
        byte = m_block[m_at++];
        return true;
    }

    bool atEnd() { return m_at == m_size && !refill(); }

    // The bytes buffered after the next one, for taking a run of them at once.
    QByteArrayView buffered() const { return QByteArrayView(m_block.data() + m_at, m_size - m_at); }
    void advance(qsizetype count) { m_at += count; }

    // Takes the bytes when the input continues with them; otherwise takes nothing.
    bool skipIf(QByteArrayView bytes)
    {
        while (m_size - m_at < bytes.size()) {
            const qint64 before = m_size - m_at;
            if (!refill() || m_size - m_at <= before)
                break;
        }
        if (!QByteArrayView(m_block.data() + m_at, m_size - m_at).startsWith(bytes))
            return false;
        m_at += bytes.size();
        return true;
    }

    // Takes the bytes handed out from the device.
    void release()
    {
        if (m_at > 0 && m_device.skip(m_at) != m_at)
            failRead(m_device, "utf8CSVRow::error:%s");
        m_at = 0;
        m_size = 0;
    }

private:
    // Replaces the handed-out bytes with those the device has next; false at its end.
    bool refill()
    {
        release();
        const qint64 got = m_device.peek(m_block.data(), kBlockSize);
        if (got < 0)
            failRead(m_device, "utf8CSVRow::error:%s");
        m_size = got;
        return got > 0;
    }

    QIODevice &m_device;
    std::vector<char> m_block;
    qint64 m_at = 0;
    qint64 m_size = 0;
};

QString decodeField(const QByteArray &bytes)
{
    const qsizetype nul = bytes.indexOf('\0');
    return QString::fromUtf8(bytes.constData(), nul < 0 ? bytes.size() : nul);
}

// Which bytes end a run of plain field bytes outside quotes, before and after a quoted
// section of the field.
struct Stops
{
    explicit Stops(std::initializer_list<char> bytes)
    {
        for (const char byte : bytes)
            table[uchar(byte)] = true;
    }
    std::array<bool, 256> table {};
};

// The separator of a file's fields and the stops it makes; built once per read or stream.
struct Separator
{
    explicit Separator(char separator)
        : byte(separator)
        , unquoted({separator, '\n', '\r', '"'})
        , afterQuote({separator, '\n', '\r'})
    {
    }
    char byte;
    Stops unquoted;
    Stops afterQuote;
};

qsizetype plainRun(QByteArrayView bytes, const Stops &stops)
{
    qsizetype length = 0;
    while (length < bytes.size() && !stops.table[uchar(bytes[length])])
        ++length;
    return length;
}

qsizetype quotedRun(QByteArrayView bytes)
{
    const void *quote = std::memchr(bytes.data(), '"', size_t(bytes.size()));
    return quote ? static_cast<const char *>(quote) - bytes.data() : bytes.size();
}

// At the end of input, cutInQuotes (when given) tells whether a quoted field was still open.
bool readRow(QStringList &row, ByteSource &source, const Separator &separator, bool skipByteOrderMark,
    bool *cutInQuotes = nullptr)
{
    if (skipByteOrderMark) {
        if (source.atEnd())
            return false;
        source.skipIf("\xEF\xBB\xBF");
    }
    QByteArray field;
    bool inQuotes = false;
    bool quoteOpened = false;
    bool quotePending = false;
    char byte;
    while (source.next(byte)) {
        if (byte == '"' && !quoteOpened) {
            quoteOpened = true;
            inQuotes = true;
            continue;
        }
        if (inQuotes) {
            if (byte == '"') {
                if (quotePending)
                    field += '"';
                quotePending = !quotePending;
                continue;
            }
            if (!quotePending) {
                field += byte;
                // Quoted text runs to the next quote; taken whole, not a byte at a time.
                const QByteArrayView rest = source.buffered();
                const qsizetype run = quotedRun(rest);
                field.append(rest.first(run));
                source.advance(run);
                continue;
            }
            // The quote before this byte closed the quoted section.
            quotePending = false;
            inQuotes = false;
        }
        if (byte == separator.byte) {
            row.append(decodeField(field));
            field.clear();
            quoteOpened = false;
        } else if (byte == '\n') {
            row.append(decodeField(field));
            return true;
        } else if (byte != '\r') {
            field += byte;
            const QByteArrayView rest = source.buffered();
            const qsizetype run = plainRun(rest, quoteOpened ? separator.afterQuote : separator.unquoted);
            field.append(rest.first(run));
            source.advance(run);
        }
    }
    row.append(decodeField(field));
    if (cutInQuotes)
        *cutInQuotes = inQuotes && !quotePending;
    return false;
}

} // namespace

namespace CsvReader {

struct RowStream::Source : ByteSource
{
    Source(QIODevice &device, char separator)
        : ByteSource(device)
        , separator(separator)
    {
    }
    const Separator separator;
    bool cutInQuotes = false;
};

RowStream::RowStream(QIODevice &device, char separator)
    : m_source(std::make_unique<Source>(device, separator))
{
}

RowStream::~RowStream()
{
    try {
        m_source->release();
    } catch (const std::runtime_error &) {
        // The reader that failed has reported it; the device's position no longer matters.
    }
}

bool RowStream::next(QStringList &row)
{
    return readRow(row, *m_source, m_source->separator, false, &m_source->cutInQuotes);
}

bool RowStream::endedInQuotes() const
{
    return m_source->cutInQuotes;
}

bool utf8CSVRow(QStringList &row, QIODevice &device, bool skipByteOrderMark, char separator)
{
    ByteSource source(device);
    const bool ended = readRow(row, source, Separator(separator), skipByteOrderMark);
    source.release();
    return ended;
}

bool readCSVRow(QStringList &row, QIODevice &device, int minFields, char separator)
{
    ByteSource source(device);
    const Separator fields(separator);
    for (;;) {
        if (!readRow(row, source, fields, true)) {
            source.release();
            return false;
        }
        if (row.size() >= minFields) {
            source.release();
            return true;
        }
        row.clear();
    }
}

qint64 totalRecords(QIODevice &device)
{
    std::vector<char> block(kBlockSize);
    qint64 records = 0;
    bool inQuotes = false;
    for (;;) {
        const qint64 got = device.read(block.data(), kBlockSize);
        if (got < 0)
            failRead(device, "totalRecords::error:%s\n");
        if (got == 0)
            return records;
        for (qint64 i = 0; i < got; ++i) {
            if (block[i] == '"')
                inQuotes = !inQuotes;
            else if (block[i] == '\n' && !inQuotes)
                ++records;
        }
    }
}

HeaderIndex headerIndex(const QStringList &header)
{
    HeaderIndex index;
    for (int i = 0; i < header.size(); ++i)
        index.insert(header.at(i), i);
    return index;
}

QString fieldValue(const HeaderIndex &index, const QStringList &row, const QString &name, const QString &defaultValue)
{
    const auto found = index.constFind(name);
    if (found == index.constEnd() || found.value() >= row.size())
        return defaultValue;
    return row.at(found.value());
}

std::optional<QByteArray> utf16AsUtf8(QIODevice &device)
{
    const QByteArray mark = device.peek(2);
    QStringDecoder decoder;
    if (mark == "\xFF\xFE")
        decoder = QStringDecoder(QStringConverter::Utf16LE);
    else if (mark == "\xFE\xFF")
        decoder = QStringDecoder(QStringConverter::Utf16BE);
    else
        return std::nullopt;
    device.skip(2);
    const QByteArray bytes = device.readAll();
    if (!device.atEnd())
        failRead(device, "utf16AsUtf8::error:%s");
    const QString text = decoder.decode(bytes);
    return text.toUtf8();
}

bool isValidUtf8(QByteArrayView bytes)
{
    const auto *at = reinterpret_cast<const uchar *>(bytes.data());
    const auto *end = at + bytes.size();
    while (at < end) {
        const uchar lead = *at++;
        if (lead < 0x80)
            continue;
        int following;
        char32_t code;
        char32_t smallest;
        if ((lead & 0xE0) == 0xC0) {
            following = 1;
            code = lead & 0x1F;
            smallest = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            following = 2;
            code = lead & 0x0F;
            smallest = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            following = 3;
            code = lead & 0x07;
            smallest = 0x10000;
        } else {
            return false;
        }
        if (end - at < following)
            return false;
        for (int i = 0; i < following; ++i, ++at) {
            if ((*at & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (*at & 0x3F);
        }
        if (code < smallest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
    }
    return true;
}

} // namespace CsvReader
