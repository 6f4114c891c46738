#pragma once

#include "CsvReader.h"
#include "ProgressThread.h"
#include "SMSInfo.h"

#include <QDir>
#include <QList>
#include <QString>

class CSVImporter;
class QIODevice;

// Reads a whole CSV file into messages under the progress contract, for the preview
// before an import: our own export format, or another phone's through the importer.
// Attachments are taken only from the "data" folder beside the file. A file whose bytes
// are not UTF-8 is read as Latin-1, and the success text says so.
class LocalPreviewCSVThread : public ProgressThread
{
    Q_OBJECT

public:
    // importer: the other phone's layout, or nullptr for our own format; not owned.
    LocalPreviewCSVThread(const QString &csvPath, ProgressReceiver *progressReceiver, CSVImporter *importer = nullptr);

    // The messages read, in file order; complete only after success.
    const QList<SMSInfo> &messages() const { return smsList; }

    // A date of our own format, "yyyy-MM-dd hh:mm:ss" in local time; invalid when the text
    // is not one. The same result as QDateTime::fromString with that format, only faster.
    static QDateTime parseDate(const QString &text);

protected:
    void run() override;

private:
    // Returns the success text.
    QString readAll(QIODevice &device, qint64 total);
    SMSInfo convertOwnRow(const CsvReader::HeaderIndex &header, const QStringList &row) const;
    SMSInfo convertImportedRow(const CsvReader::HeaderIndex &header, const QStringList &row) const;
    QList<AttachmentInfo> attachments(const CsvReader::HeaderIndex &header, const QStringList &row) const;

    QList<SMSInfo> smsList;
    CSVImporter *importer;
    QString csvPath;
    QDir dataDir;
};
