#pragma once

#include <QHash>
#include <QLibrary>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>

// The separately built library "csvimporter" that recognises CSV files written by other
// phones and programs and turns their rows into a message's values: "send" (bool), "date"
// (QDateTime), "number", "person" and "content" (strings), and "draft" (bool) for drafts.
// Construction loads the library, checks that it was built for this program's version of
// the contract (ImporterVersion.h) and resolves its entry points, raising
// std::runtime_error with a message saying why when any of that fails. The layout handle
// recognise() obtains goes back to the library at unload() or when the importer is destroyed.
class CSVImporter
{
public:
    // The library beside the program, wherever the program was started from.
    CSVImporter();
    // The library at libraryPath; the platform's prefix and suffix may be left out.
    explicit CSVImporter(const QString &libraryPath);
    ~CSVImporter();
    CSVImporter(const CSVImporter &) = delete;
    CSVImporter &operator=(const CSVImporter &) = delete;

    static QString defaultLibraryPath();

    // Asks the library for the layout of a file starting with these two rows (the same row
    // twice for a file with one row); true when it recognised one.
    bool recognise(const QStringList &first, const QStringList &second);
    // recognise with the file's rows of at least four fields (a byte-order mark skipped),
    // two at a time from the first: a file may open with rows no layout fits, such as
    // drafts without a number. A header is only taken from the first row. The rows are
    // split by a comma, a semicolon or a tab, the one that splits the first row most tried
    // first. A file starting with a UTF-16 byte-order mark is read as UTF-16, one without
    // any line feed by lines ended with carriage returns. Throws when the file cannot be
    // read or a row is longer than CsvReader::kMaxRowBytes (CsvReader::RowTooLong).
    bool recogniseFile(const QString &csvPath);
    // The field separator of the file recogniseFile last recognised; a comma otherwise.
    char separator() const { return m_separator; }
    // Whether the file's first row names the columns; false before a layout was recognised.
    bool hasHeader() const;
    // A data row's values; header maps column names to positions and is empty for layouts
    // without a header row. Empty before a layout was recognised.
    QHash<QString, QVariant> convertRow(const QHash<QString, int> &header, const QStringList &row) const;
    // Gives the layout back and unloads the library; afterwards nothing is recognised.
    void unload();

private:
    using VersionFunction = int (*)();
    using GetFormatFunction = void *(*)(QStringList, QStringList);
    using HasHeaderFunction = bool (*)(void *);
    using GetSMSFunction = QHash<QString, QVariant> (*)(void *, QHash<QString, int>, QStringList);
    using DeleteFormatFunction = void (*)(void *);

    QFunctionPointer resolve(const char *name);
    void checkVersion();
    bool recogniseRows(const QList<QStringList> &rows);
    void forgetFormat();

    VersionFunction m_version = nullptr;
    GetFormatFunction m_getFormat = nullptr;
    HasHeaderFunction m_hasHeader = nullptr;
    GetSMSFunction m_getSMS = nullptr;
    DeleteFormatFunction m_deleteFormat = nullptr;
    std::unique_ptr<QLibrary> m_library;
    void *m_format = nullptr;
    char m_separator = ',';
};
