#pragma once

#include <QByteArray>
#include <QIODevice>

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
