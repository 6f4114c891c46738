#pragma once

#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class QIODevice;

// Reads comma-separated files a row at a time from a device opened for reading: our own
// export format and the files of other phones, which some programs separate with ';' or a
// tab instead (the separator argument; a comma unless given). Fields may be enclosed in
// double quotes, where a doubled quote stands for one and separators, carriage returns and
// line feeds are text; outside quotes a carriage return is dropped and a line feed ends the row. Field
// bytes are decoded as UTF-8 up to the first NUL byte. Malformed quoting never fails.
//
// Every call leaves the device just after the last byte it used, so calls can be mixed
// with seeks (count the records, go back to the start, read the rows). The device is
// read in blocks, not byte by byte. A read error on the device throws std::runtime_error
// with the device's error text; a device that stops delivering bytes is at its end.
namespace CsvReader {

// Column name to position (from 0); a name that occurs twice maps to its later position.
using HeaderIndex = QHash<QString, int>;

// Appends the fields of the next row to row. True when the row ended with a line feed;
// false at the end of input, the fields of an unterminated last line then appended too.
// With skipByteOrderMark a UTF-8 byte-order mark at the start is dropped, and an input
// already at its end gives false with row unchanged (without it, one empty field).
bool utf8CSVRow(QStringList &row, QIODevice &device, bool skipByteOrderMark, char separator = ',');

// utf8CSVRow without a byte-order-mark check, called again and again for the rows of a
// whole file through one buffer. The device is just after the last byte used only once
// the stream is gone, so it is not mixed with other reads of the device meanwhile.
class RowStream
{
public:
    explicit RowStream(QIODevice &device, char separator = ',');
    ~RowStream();
    RowStream(const RowStream &) = delete;
    RowStream &operator=(const RowStream &) = delete;

    bool next(QStringList &row);
    // Whether the input ended inside a quoted field, as a file cut off does; known once
    // next() has returned false.
    bool endedInQuotes() const;

private:
    struct Source;
    std::unique_ptr<Source> m_source;
};

// Reads rows, dropping a leading byte-order mark from each, until one has at least
// minFields fields: true with that row, shorter rows (blank lines among them) skipped.
// False at the end of input, row then holding the fields of the last, unterminated line.
bool readCSVRow(QStringList &row, QIODevice &device, int minFields, char separator = ',');

// The line feeds outside double quotes from the current position to the end, every
// double quote switching between inside and outside. Leaves the device at its end.
qint64 totalRecords(QIODevice &device);

HeaderIndex headerIndex(const QStringList &header);

// The row's field in the named column; defaultValue when there is no such column or
// the row is too short to reach it.
QString fieldValue(
    const HeaderIndex &index, const QStringList &row, const QString &name, const QString &defaultValue = QString());

// A UTF-16 text (a spreadsheet's "Unicode text" export) in UTF-8 for the reader: the rest
// of the device from a UTF-16 byte-order mark on, either byte order, the mark left out;
// nullopt, with the device untouched, when the device does not continue with such a mark.
// A read error throws std::runtime_error with the device's error text.
std::optional<QByteArray> utf16AsUtf8(QIODevice &device);

// Whether the bytes are well-formed UTF-8 (no overlong forms, surrogates or code points
// past U+10FFFF, no sequence cut off at the end); files that are not are read in the
// legacy 8-bit code page instead.
bool isValidUtf8(QByteArrayView bytes);

} // namespace CsvReader
