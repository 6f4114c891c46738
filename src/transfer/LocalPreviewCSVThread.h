#pragma once

#include "CsvReader.h"
#include "ProgressThread.h"
#include "SMSInfo.h"

#include <QDir>
#include <QList>
#include <QString>

class CSVImporter;
class QFileInfo;
class QIODevice;

// Reads a whole CSV file into messages under the progress contract, for the preview
// before an import: our own export format, or another phone's through the importer.
// Attachments are taken only from the "data" folder beside the file: a row naming a copy
// that is not there fails the preview, and one whose copy is no regular file inside that
// folder once links are followed (a link to another place, a device) keeps its other
// values without it, counted in the success text. A file that starts with a UTF-16
// byte-order mark is read as UTF-16; one whose bytes are not UTF-8 is read as Latin-1, and
// the success text says so. Both are decoded as they are read, never held whole. A file
// without any line feed ends its lines with carriage returns. A file without a single row
// of messages, a row of more than CsvReader::kMaxRowBytes, a NUL byte in a row or a quoted
// field still open at the end fails the preview, naming the line.
// Another phone's drafts are left out and counted. Its messages without a number take the
// number of another message of the same person, so that a person's messages stay in one
// conversation; when no message has a number, the success text says so.
class LocalPreviewCSVThread : public ProgressThread
{
    Q_OBJECT

public:
    // importer: the other phone's layout, or nullptr for our own format; not owned.
    LocalPreviewCSVThread(const QString &csvPath, ProgressReceiver *progressReceiver, CSVImporter *importer = nullptr);

    // The messages read, in file order; complete only after success.
    const QList<SMSInfo> &messages() const { return smsList; }
    // The rows left out, once the read has succeeded: those without a valid date and
    // another phone's drafts. Attachments refused from kept rows do not count.
    int leftOut() const { return m_leftOut; }

    // A date of our own format, "yyyy-MM-dd hh:mm:ss" in local time; invalid when the text
    // is not one. QDateTime::fromString with that format reads the same text, but this reads
    // it faster and through WallClock: an hour the clocks repeat as its earlier occurrence,
    // one they skip as the time the clock shows after the jump.
    static QDateTime parseDate(const QString &text);

protected:
    void work() override;
    // A failed read leaves no messages behind.
    void onFailed(Failure failure) override;
    QString errorText(const std::exception &e) const override;

private:
    // What readAll counted besides the messages it kept.
    struct Counts
    {
        int valid = 0;
        int invalid = 0;
        int drafts = 0;
        int refusedAttachments = 0;
    };

    CsvReader::Encoding fileEncoding() const;
    void findDataFolder();
    // The rows of messages, for the progress.
    qint64 countRecords() const;
    // Returns the success text.
    QString readAll();
    CsvReader::HeaderIndex readHeader(CsvReader::RowStream &rows) const;
    Counts readRows(CsvReader::RowStream &rows, const CsvReader::HeaderIndex &header, qint64 total);
    QString summary(const Counts &counts) const;
    // number: the row's place among the file's messages, from 1, for error texts.
    SMSInfo convertOwnRow(
        const CsvReader::HeaderIndex &header, const QStringList &row, int number, Counts &counts) const;
    static SMSInfo importedMessage(const QHash<QString, QVariant> &values);
    QList<AttachmentInfo> attachments(
        const CsvReader::HeaderIndex &header, const QStringList &row, int number, Counts &counts) const;
    // Whether a copy named in the file is a regular file inside the data folder.
    bool takesCopy(const QFileInfo &copy) const;

    QList<SMSInfo> smsList;
    CSVImporter *importer;
    QString csvPath;
    QDir dataDir;
    // The data folder with its links resolved; empty when it is not inside the file's folder.
    QString dataRoot;
    // Whether the data folder is there but leads out of the file's folder.
    bool dataFolderRefused = false;
    CsvReader::Encoding encoding = CsvReader::Encoding::Utf8;
    CsvReader::Dialect dialect;
    int m_leftOut = 0;
};
