#include "CSVImporter.h"

#include "CsvReader.h"

#include <QCoreApplication>
#include <QFile>

#include <stdexcept>

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
    m_getFormat = reinterpret_cast<GetFormatFunction>(resolve("getFormat"));
    m_hasHeader = reinterpret_cast<HasHeaderFunction>(resolve("hasHeader"));
    m_getSMS = reinterpret_cast<GetSMSFunction>(resolve("getSMS"));
    m_deleteFormat = reinterpret_cast<DeleteFormatFunction>(resolve("deleteFormat"));
}

CSVImporter::~CSVImporter()
{
    // After unload() the library's code is gone and the handle can no longer go back.
    if (m_format && m_library->isLoaded())
        m_deleteFormat(m_format);
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

bool CSVImporter::recogniseFile(const QString &csvPath)
{
    QFile file(csvPath);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error(file.errorString().toStdString());
    QStringList first;
    QStringList second;
    if (CsvReader::readCSVRow(first, file, 4))
        CsvReader::utf8CSVRow(second, file, true);
    else
        second = first;
    return recognise(first, second);
}

bool CSVImporter::recognise(const QStringList &first, const QStringList &second)
{
    if (m_format)
        m_deleteFormat(m_format);
    m_format = m_getFormat(first, second);
    return m_format != nullptr;
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
    m_library->unload();
}
