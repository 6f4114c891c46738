#pragma once

#include "SbrXmlInputFilter.h"

#include <QDir>
#include <QIODevice>

#include <functional>
#include <memory>

// A backup file as the XML reader may read it: the source's bytes through SbrXmlInputFilter,
// each part's Base64 data decoded as it streams into its own file of the spool folder,
// the attribute naming that file instead. Read-only and sequential.
class SbrXmlDevice : public QIODevice
{
public:
    // The source must be open for reading; the spool folder must exist.
    SbrXmlDevice(QIODevice &source, const QDir &spoolFolder);
    ~SbrXmlDevice() override;

    // The spooled file a part's data attribute names, or an empty text when the value
    // is not one this device put there.
    QString spoolPath(QStringView dataValue) const;

    // Called after each block read from the source, with the source's position; reading
    // stops (the reader sees the input end early) once it returns false.
    void setBlockHook(std::function<bool(qint64 sourcePosition)> hook) { m_hook = std::move(hook); }
    // Why reading stopped early: the source or a spool file failed; empty otherwise.
    QString failure() const;
    // Whether the block hook stopped the reading.
    bool stopped() const { return m_stopped; }

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    class Spool;

    // Filters the next block of the source into the buffer; false when nothing more comes.
    bool refill();

    QIODevice &m_source;
    std::unique_ptr<Spool> m_spool;
    SbrXmlInputFilter m_filter;
    QByteArray m_buffer;
    qsizetype m_position = 0; // of the next unread byte of the buffer
    bool m_sourceDone = false;
    bool m_stopped = false;
    QString m_sourceFailure;
    std::function<bool(qint64)> m_hook;
};
