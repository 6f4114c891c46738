#pragma once

#include <QSaveFile>
#include <QString>

// A save file that checks what QSaveFile leaves unchecked. QSaveFile remembers only writes
// that fail outright: a short write (a full disk) passes, and so does a failed flush of the
// data it holds back, so commit() would put a cut-short file in place of the earlier one.
// Here a short write is a failed one, and the held-back data is flushed and checked before
// the rename. After a failure the error text names the file and the cause.
class CheckedSaveFile : public QSaveFile
{
public:
    explicit CheckedSaveFile(const QString &name);

    // Each throws std::runtime_error with the error text when it fails.
    void openForWriting();
    // Renames the complete file over its name. On failure the temporary file is removed
    // and an earlier file of that name stays.
    void commitChecked();

    bool seek(qint64 position) override;

protected:
    qint64 writeData(const char *data, qint64 length) override;

private:
    // Keeps the first failure's cause and stops the file from being committed.
    void noteFailure(int systemError);

    QString m_failure;
};
