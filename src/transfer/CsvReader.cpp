#include "CsvReader.h"

#include <QIODevice>
#include <QStringDecoder>
#include <QtDebug>

#include <algorithm>
#include <array>
#include <cstring>
#include <initializer_list>
#include <stdexcept>
#include <string>
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
    QString text = QString::fromUtf8(bytes);
    // The decoder reserves a character per byte; a message list would keep that slack for
    // every text that is not ASCII.
    if (text.size() < bytes.size())
        text.squeeze();
    return text;
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

// The separator and line end of a file's fields and the stops they make; built once per
// read or stream.
struct Syntax
{
    explicit Syntax(CsvReader::Dialect dialect)
        : separator(dialect.separator)
        , lineEnd(dialect.lineEnd)
        , unquoted({separator, '\n', '\r', '"'})
        , afterQuote({separator, '\n', '\r'})
    {
    }
    char separator;
    char lineEnd;
    Stops unquoted;
    Stops afterQuote;
};

// Where a reading has got to, for the lines error texts name.
struct Position
{
    qint64 line = 1;
    qint64 rowLine = 1;
    qint64 quoteLine = 0;
    // At the end of input: whether a quoted field was still open.
    bool cutInQuotes = false;
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

bool readRow(QStringList &row, ByteSource &source, const Syntax &syntax, bool skipByteOrderMark, Position &at,
    qsizetype maxRowBytes = CsvReader::kMaxRowBytes)
{
    at.rowLine = at.line;
    if (skipByteOrderMark) {
        if (source.atEnd())
            return false;
        source.skipIf("\xEF\xBB\xBF");
    }
    QByteArray field;
    qsizetype rowBytes = 0;
    const auto take = [&](QByteArrayView bytes) {
        if (rowBytes + field.size() + bytes.size() > maxRowBytes)
            throw CsvReader::RowTooLong(at.rowLine);
        field.append(bytes);
    };
    bool inQuotes = false;
    bool quoteOpened = false;
    bool quotePending = false;
    char byte;
    while (source.next(byte)) {
        if (byte == '"' && !quoteOpened) {
            quoteOpened = true;
            inQuotes = true;
            at.quoteLine = at.line;
            continue;
        }
        if (inQuotes) {
            if (byte == '"') {
                if (quotePending)
                    take("\"");
                quotePending = !quotePending;
                continue;
            }
            if (!quotePending) {
                // Quoted text runs to the next quote; taken whole, not a byte at a time.
                const QByteArrayView rest = source.buffered();
                const QByteArrayView run = rest.first(quotedRun(rest));
                take(QByteArrayView(&byte, 1));
                take(run);
                source.advance(run.size());
                at.line += (byte == syntax.lineEnd) + std::count(run.begin(), run.end(), syntax.lineEnd);
                continue;
            }
            // The quote before this byte closed the quoted section.
            quotePending = false;
            inQuotes = false;
        }
        if (byte == syntax.separator) {
            row.append(decodeField(field));
            rowBytes += field.size();
            field.clear();
            quoteOpened = false;
        } else if (byte == syntax.lineEnd) {
            row.append(decodeField(field));
            ++at.line;
            return true;
        } else if (byte != '\r') {
            const QByteArrayView rest = source.buffered();
            const QByteArrayView run = rest.first(plainRun(rest, quoteOpened ? syntax.afterQuote : syntax.unquoted));
            take(QByteArrayView(&byte, 1));
            take(run);
            source.advance(run.size());
        }
    }
    row.append(decodeField(field));
    at.cutInQuotes = inQuotes && !quotePending;
    return false;
}

// Decodes a device's bytes into UTF-8 as they are read.
class DecodingDevice : public QIODevice
{
public:
    DecodingDevice(QIODevice &source, QStringConverter::Encoding encoding)
        : m_source(source)
        , m_decoder(encoding)
        , m_raw(kBlockSize)
    {
        open(QIODevice::ReadOnly);
    }

    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        while (m_at == m_text.size()) {
            const qint64 got = m_source.read(m_raw.data(), kBlockSize);
            if (got < 0) {
                setErrorString(m_source.errorString());
                return -1;
            }
            QString text = m_carry;
            m_carry.clear();
            if (got == 0 && text.isEmpty())
                return 0;
            text += m_decoder.decode(QByteArrayView(m_raw.data(), got));
            // UTF-16 passes a pair of surrogates cut by the block's end through as halves,
            // which UTF-8 has no form for: the first half waits for the next block.
            if (got != 0 && !text.isEmpty() && text.back().isHighSurrogate()) {
                m_carry = text.back();
                text.chop(1);
            }
            m_text = text.toUtf8();
            m_at = 0;
        }
        const qint64 size = qMin(maxSize, m_text.size() - m_at);
        // A read of nothing may come with no buffer at all, which memcpy must never be given.
        if (size > 0)
            std::memcpy(data, m_text.constData() + m_at, size_t(size));
        m_at += size;
        return size;
    }

    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QIODevice &m_source;
    QStringDecoder m_decoder;
    std::vector<char> m_raw;
    QString m_carry;
    QByteArray m_text;
    qint64 m_at = 0;
};

QStringConverter::Encoding qtEncoding(CsvReader::Encoding encoding)
{
    switch (encoding) {
    case CsvReader::Encoding::Utf16LE:
        return QStringConverter::Utf16LE;
    case CsvReader::Encoding::Utf16BE:
        return QStringConverter::Utf16BE;
    case CsvReader::Encoding::Latin1:
        return QStringConverter::Latin1;
    case CsvReader::Encoding::Utf8:
        break;
    }
    return QStringConverter::Utf8;
}

} // namespace

namespace CsvReader {

RowTooLong::RowTooLong(qint64 line)
    : std::runtime_error("The row on line " + std::to_string(line) + " holds more than "
        + std::to_string(kMaxRowBytes / 1024 / 1024) + " MiB.")
    , m_line(line)
{
}

struct RowStream::Source : ByteSource
{
    Source(QIODevice &device, Dialect dialect, qsizetype rowLimit)
        : ByteSource(device)
        , syntax(dialect)
        , maxRowBytes(rowLimit)
    {
    }
    const Syntax syntax;
    const qsizetype maxRowBytes;
    Position at;
};

RowStream::RowStream(QIODevice &device, Dialect dialect, qsizetype maxRowBytes)
    : m_source(std::make_unique<Source>(device, dialect, maxRowBytes))
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
    return readRow(row, *m_source, m_source->syntax, false, m_source->at, m_source->maxRowBytes);
}

qint64 RowStream::rowLine() const
{
    return m_source->at.rowLine;
}

bool RowStream::endedInQuotes() const
{
    return m_source->at.cutInQuotes;
}

qint64 RowStream::openQuoteLine() const
{
    return m_source->at.quoteLine;
}

bool utf8CSVRow(QStringList &row, QIODevice &device, bool skipByteOrderMark, Dialect dialect)
{
    ByteSource source(device);
    Position at;
    const bool ended = readRow(row, source, Syntax(dialect), skipByteOrderMark, at);
    source.release();
    return ended;
}

bool readCSVRow(QStringList &row, QIODevice &device, int minFields, Dialect dialect)
{
    ByteSource source(device);
    const Syntax syntax(dialect);
    Position at;
    for (;;) {
        if (!readRow(row, source, syntax, true, at)) {
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

qint64 totalRecords(QIODevice &device, char lineEnd)
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
            else if (block[i] == lineEnd && !inQuotes)
                ++records;
        }
    }
}

bool hasLineFeed(QIODevice &device)
{
    std::vector<char> block(kBlockSize);
    for (;;) {
        const qint64 got = device.read(block.data(), kBlockSize);
        if (got < 0)
            failRead(device, "hasLineFeed::error:%s\n");
        if (got == 0)
            return false;
        if (std::memchr(block.data(), '\n', size_t(got)))
            return true;
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

Encoding markedEncoding(QIODevice &device)
{
    const QByteArray mark = device.peek(2);
    if (mark == "\xFF\xFE")
        return Encoding::Utf16LE;
    if (mark == "\xFE\xFF")
        return Encoding::Utf16BE;
    return Encoding::Utf8;
}

class TextFile::Decoder : public DecodingDevice
{
    using DecodingDevice::DecodingDevice;
};

TextFile::TextFile(const QString &path, Encoding encoding)
    : m_file(path)
{
    if (!m_file.open(QIODevice::ReadOnly))
        throw std::runtime_error(m_file.errorString().toUtf8().toStdString());
    if (encoding == Encoding::Utf16LE || encoding == Encoding::Utf16BE)
        m_file.skip(2);
    if (encoding != Encoding::Utf8)
        m_decoder = std::make_unique<Decoder>(m_file, qtEncoding(encoding));
}

TextFile::~TextFile() = default;

QIODevice &TextFile::device()
{
    if (m_decoder)
        return *m_decoder;
    return m_file;
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
