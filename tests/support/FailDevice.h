#pragma once

#include <QIODevice>

#include <memory>

// A disk that fills up: writes take the first capacity bytes, passing them on to the
// target device when there is one (so a part-written file is real), and from then on
// fail with the disk-full error, as a file on a full disk does.
class FailDevice : public QIODevice {
public:
    explicit FailDevice(qint64 capacity, std::unique_ptr<QIODevice> target = nullptr);

    // The error text of a full disk, as files report it.
    static QString diskFullError();

    // Opens the target with the same mode first.
    bool open(OpenMode mode) override;
    void close() override;
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    qint64 m_room;
    std::unique_ptr<QIODevice> m_target;
};
