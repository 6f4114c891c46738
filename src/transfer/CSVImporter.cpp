#include "CSVImporter.h"

#include "CsvReader.h"
#include "ImporterVersion.h"

#include <QCoreApplication>
#include <QFile>

#include <algorithm>
#include <stdexcept>

namespace {

constexpr int kMinFields = 4;
// Rows tried for a layout: enough to pass the drafts a phone manager may write first.
constexpr qsizetype kRowsTried = 200;

// The separators other phones' files use, the one that splits the file's first row into
// the most fields first; a comma first when they split it alike.
QList<char> separatorsToTry(const QString &path, CsvReader::Encoding encoding, char lineEnd)
{
    QList<std::pair<qsizetype, char>> splits;
    for (const char separator : {',', ';', '\t'}) {
        CsvReader::TextFile text(path, encoding);
        QStringList row;
        CsvReader::utf8CSVRow(row, text.device(), true, {separator, lineEnd});
        splits.append({row.size(), separator});
    }
    std::stable_sort(splits.begin(), splits.end(), [](const auto &a, const auto &b) { return a.first > b.first; });
    QList<char> separators;
    for (const auto &split : splits)
        separators.append(split.second);
    return separators;
}

// The file's first rows of at least kMinFields fields; the one row there is when none has.
QList<QStringList> leadingRows(const QString &path, CsvReader::Encoding encoding, CsvReader::Dialect dialect)
{
    CsvReader::TextFile text(path, encoding);
    QList<QStringList> rows;
    for (;;) {
        QStringList row;
        const bool more = CsvReader::readCSVRow(row, text.device(), kMinFields, dialect);
        if (more || row.size() >= kMinFields || rows.isEmpty())
            rows.append(row);
        if (!more || rows.size() == kRowsTried)
            return rows;
    }
}

CsvReader::Encoding markedEncoding(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error(file.errorString().toStdString());
    return CsvReader::markedEncoding(file);
}

} // namespace

CSVImporter::CSVImporter()
    : CSVImporter(defaultLibraryPath())
{
}

CSVImporter::CSVImporter(const QString &libraryPath)
    : m_library(std::make_unique<QLibrary>(libraryPath))
{
    if (!m_library->load())
        throw std::runtime_error(m_library->errorString().toStdString());
    m_version = reinterpret_cast<VersionFunction>(resolve("version"));
    checkVersion();
    m_getFormat = reinterpret_cast<GetFormatFunction>(resolve("getFormat"));
    m_hasHeader = reinterpret_cast<HasHeaderFunction>(resolve("hasHeader"));
    m_getSMS = reinterpret_cast<GetSMSFunction>(resolve("getSMS"));
    m_deleteFormat = reinterpret_cast<DeleteFormatFunction>(resolve("deleteFormat"));
}

CSVImporter::~CSVImporter()
{
    unload();
}

QString CSVImporter::defaultLibraryPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/csvimporter");
}

QFunctionPointer CSVImporter::resolve(const char *name)
{
    const QFunctionPointer function = m_library->resolve(name);
    if (!function) {
        QString message = m_library->errorString();
        // Qt's loader does not always say which function it missed; the user needs to know.
        if (!message.contains(QLatin1String(name)))
            message = QStringLiteral("The function %1 is missing from %2: %3")
                          .arg(QLatin1String(name), m_library->fileName(), message);
        m_library->unload();
        throw std::runtime_error(message.toStdString());
    }
    return function;
}

void CSVImporter::checkVersion()
{
    const int version = m_version();
    if (version == ImporterVersion::kCurrent)
        return;
    const QString message = QStringLiteral("The importer %1 has version %2; this program needs version %3.")
                                .arg(m_library->fileName())
                                .arg(version)
                                .arg(ImporterVersion::kCurrent);
    unload();
    throw std::runtime_error(message.toStdString());
}

bool CSVImporter::recogniseFile(const QString &csvPath)
{
    // Read as the preview reads it: UTF-16 by its mark, carriage returns ending the lines of a
    // file without line feeds.
    const CsvReader::Encoding encoding = markedEncoding(csvPath);
    const char lineEnd = CsvReader::hasLineFeed(CsvReader::TextFile(csvPath, encoding).device()) ? '\n' : '\r';
    for (const char separator : separatorsToTry(csvPath, encoding, lineEnd)) {
        if (recogniseRows(leadingRows(csvPath, encoding, {separator, lineEnd}))) {
            m_separator = separator;
            return true;
        }
    }
    m_separator = ',';
    return false;
}

bool CSVImporter::recogniseRows(const QList<QStringList> &rows)
{
    for (qsizetype i = 0; i < rows.size(); ++i) {
        // The program reads a header from the file's first row only.
        if (recognise(rows.at(i), rows.value(i + 1, rows.at(i))) && (i == 0 || !hasHeader()))
            return true;
    }
    forgetFormat();
    return false;
}

bool CSVImporter::recognise(const QStringList &first, const QStringList &second)
{
    if (!m_getFormat)
        return false;
    forgetFormat();
    m_format = m_getFormat(first, second);
    return m_format != nullptr;
}

void CSVImporter::forgetFormat()
{
    if (m_format && m_deleteFormat)
        m_deleteFormat(m_format);
    m_format = nullptr;
}

bool CSVImporter::hasHeader() const
{
    return m_format && m_hasHeader(m_format);
}

QHash<QString, QVariant> CSVImporter::convertRow(const QHash<QString, int> &header, const QStringList &row) const
{
    return m_format ? m_getSMS(m_format, header, row) : QHash<QString, QVariant>();
}

void CSVImporter::unload()
{
    // The handle goes back while the library's code is still there.
    forgetFormat();
    m_version = nullptr;
    m_getFormat = nullptr;
    m_hasHeader = nullptr;
    m_getSMS = nullptr;
    m_deleteFormat = nullptr;
    m_library->unload();
}
