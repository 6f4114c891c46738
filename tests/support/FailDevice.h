#pragma once

#include <QByteArray>
#include <QIODevice>

#include <limits>

// A write-only device with room for a fixed number of bytes, like a disk that fills up:
// a write that does not fit stores what fits, then reports an error. It also counts
// the writes, for checks that a record goes out in one piece.
class FailDevice : public QIODevice {
    Q_OBJECT

public:
    static constexpr qint64 kUnlimited = std::numeric_limits<qint64>::max();

    explicit FailDevice(qint64 capacity = kUnlimited, QObject *parent = nullptr);

    static QString errorText();

    const QByteArray &data() const { return m_data; }
    int writeCount() const { return m_writeCount; }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 length) override;

private:
    qint64 m_capacity;
    QByteArray m_data;
    int m_writeCount = 0;
};
