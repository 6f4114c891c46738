#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <QTemporaryDir>

#include <limits>
#include <memory>

// A disk that fills up: writes take the first capacity bytes and then fail with the
// disk-full error, a write that does not fit storing what fits, as a full disk does.
// The bytes go to the target device when there is one (so a part-written file is real),
// otherwise into data(). Writes are counted, for checks that a record goes out whole.
class FailDevice : public QIODevice
{
    Q_OBJECT

public:
    static constexpr qint64 kUnlimited = std::numeric_limits<qint64>::max();

    // Without a target the device is open for writing at once.
    explicit FailDevice(qint64 capacity = kUnlimited, std::unique_ptr<QIODevice> target = nullptr);

    // The error text of a full disk, as files report it.
    static QString errorText();

    const QByteArray &data() const { return m_data; }
    int writeCount() const { return m_writeCount; }

    // Opens the target with the same mode first.
    bool open(OpenMode mode) override;
    void close() override;
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 length) override;

private:
    qint64 m_room;
    std::unique_ptr<QIODevice> m_target;
    QByteArray m_data;
    int m_writeCount = 0;
};

// A real disk of a few pages, for end-to-end checks of what a full disk does to a file
// written through the file system: a tmpfs mounted on a temporary folder for the disk's
// life. Mounting needs root; without it (or where mounting is refused) the disk is not
// usable and skipReason() says why, for QSKIP.
class SmallDisk
{
public:
    explicit SmallDisk(qint64 bytes = 2 * 1024 * 1024, bool readOnly = false);
    ~SmallDisk();
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;

    bool isUsable() const { return m_mounted; }
    QString skipReason() const { return m_skipReason; }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }

    // Fills the disk with a file of its own until no more fits, then gives back room
    // bytes (a multiple of the 4096-byte page). False when that file cannot be made.
    bool fill(qint64 room);

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
    QString m_skipReason;
};
