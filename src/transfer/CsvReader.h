#pragma once

#include <QByteArrayView>
#include <QFile>
#include <QHash>
#include <QString>
#include <QStringList>

#include <memory>
#include <stdexcept>

class QIODevice;

// Reads comma-separated files a row at a time from a device opened for reading: our own
// export format and the files of other phones, which some programs separate with ';' or a
// tab instead (the separator argument; a comma unless given). Fields may be enclosed in
// double quotes, where a doubled quote stands for one and separators, carriage returns and
// line feeds are text; outside quotes a carriage return is dropped and a line feed ends the row
// (in a file without any line feed, as old Mac programs write, a carriage return ends it
// instead: see hasLineFeed). Field bytes are decoded as UTF-8, NUL bytes kept. Malformed
// quoting never fails; a row of more than kMaxRowBytes throws RowTooLong.
//
// Every call leaves the device just after the last byte it used, so calls can be mixed
// with seeks (count the records, go back to the start, read the rows). The device is
// read in blocks, not byte by byte. A read error on the device throws std::runtime_error
// with the device's error text; a device that stops delivering bytes is at its end.
namespace CsvReader {

// The most bytes one row (one message) may hold: the phone link's line cap
// (simpleprotocol::kMaxLineBytes, which this library cannot include), so that a field of
// hundreds of megabytes is refused before it is read rather than held several times over.
constexpr qsizetype kMaxRowBytes = 64 * 1024 * 1024;

// A row longer than the cap; line: the line the row begins on, counted from 1 where the
// reading started.
class RowTooLong : public std::runtime_error
{
public:
    explicit RowTooLong(qint64 line);
    qint64 line() const { return m_line; }

private:
    qint64 m_line;
};

// How a file's rows are written: the byte between fields and the one that ends a line.
struct Dialect
{
    Dialect(char fieldSeparator = ',', char rowEnd = '\n')
        : separator(fieldSeparator)
        , lineEnd(rowEnd)
    {
    }
    char separator;
    char lineEnd;
};

// Column name to position (from 0); a name that occurs twice maps to its later position.
using HeaderIndex = QHash<QString, int>;

// Appends the fields of the next row to row. True when the row ended with a line feed;
// false at the end of input, the fields of an unterminated last line then appended too.
// With skipByteOrderMark a UTF-8 byte-order mark at the start is dropped, and an input
// already at its end gives false with row unchanged (without it, one empty field).
bool utf8CSVRow(QStringList &row, QIODevice &device, bool skipByteOrderMark, Dialect dialect = {});

// utf8CSVRow without a byte-order-mark check, called again and again for the rows of a
// whole file through one buffer. The device is just after the last byte used only once
// the stream is gone, so it is not mixed with other reads of the device meanwhile.
class RowStream
{
public:
    explicit RowStream(QIODevice &device, Dialect dialect = {}, qsizetype maxRowBytes = kMaxRowBytes);
    ~RowStream();
    RowStream(const RowStream &) = delete;
    RowStream &operator=(const RowStream &) = delete;

    bool next(QStringList &row);
    // The line the row next() gave last begins on, from 1.
    qint64 rowLine() const;
    // Whether the input ended inside a quoted field, as a file cut off does; known once
    // next() has returned false.
    bool endedInQuotes() const;
    // The line that quoted field begins on, when endedInQuotes().
    qint64 openQuoteLine() const;

private:
    struct Source;
    std::unique_ptr<Source> m_source;
};

// Reads rows, dropping a leading byte-order mark from each, until one has at least
// minFields fields: true with that row, shorter rows (blank lines among them) skipped.
// False at the end of input, row then holding the fields of the last, unterminated line.
bool readCSVRow(QStringList &row, QIODevice &device, int minFields, Dialect dialect = {});

// The line ends outside double quotes from the current position to the end, every
// double quote switching between inside and outside. Leaves the device at its end.
qint64 totalRecords(QIODevice &device, char lineEnd = '\n');

// Whether the rest of the device holds a line feed; read only up to the first one. A file
// without any ends its lines with carriage returns alone.
bool hasLineFeed(QIODevice &device);

HeaderIndex headerIndex(const QStringList &header);

// The row's field in the named column; defaultValue when there is no such column or
// the row is too short to reach it.
QString fieldValue(
    const HeaderIndex &index, const QStringList &row, const QString &name, const QString &defaultValue = QString());

enum class Encoding { Utf8, Utf16LE, Utf16BE, Latin1 };

// UTF-16 (a spreadsheet's "Unicode text" export) when the device continues with a UTF-16
// byte-order mark, either byte order; UTF-8 otherwise. The device is left where it was.
Encoding markedEncoding(QIODevice &device);

// A file's text in UTF-8 for the reader, decoded a block at a time as it is read, so that a
// file in another encoding never sits in memory whole. Every TextFile reads the file afresh
// from its start (a UTF-16 byte-order mark left out). Opening throws std::runtime_error
// with the system's text; a read error is the device's error, as the file's is.
class TextFile
{
public:
    TextFile(const QString &path, Encoding encoding);
    ~TextFile();
    TextFile(const TextFile &) = delete;
    TextFile &operator=(const TextFile &) = delete;

    QIODevice &device();

private:
    class Decoder;
    QFile m_file;
    std::unique_ptr<Decoder> m_decoder;
};

// Whether the bytes are well-formed UTF-8 (no overlong forms, surrogates or code points
// past U+10FFFF, no sequence cut off at the end); files that are not are read in the
// legacy 8-bit code page instead.
bool isValidUtf8(QByteArrayView bytes);

} // namespace CsvReader
