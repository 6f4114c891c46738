#pragma once

#include "SbrXmlInputFilter.h"

#include <QDir>
#include <QIODevice>

#include <functional>
#include <memory>

// A backup file as the XML reader may read it: the source's bytes through SbrXmlInputFilter,
// each part's Base64 data decoded as it streams into its own file of the spool folder,
// the attribute naming that file instead. Read-only and sequential.
// The filter works on bytes, so a file whose characters are not single bytes for ASCII
// (UTF-16, UTF-32) is not passed on. The text is checked on the way, as the reader does
// not: the reader sees the input end before the first control character XML forbids, or
// in UTF-8 text (what the backup app writes, and XML's default) the first bytes that are
// no character; badTextLine() says where it is. A file declaring another encoding is left
// to the reader to decode.
class SbrXmlDevice : public QIODevice
{
public:
    // The source must be open for reading; the spool folder must exist.
    SbrXmlDevice(QIODevice &source, const QDir &spoolFolder);
    ~SbrXmlDevice() override;

    // The spooled file a part's data attribute names, or an empty text when the value
    // is not one this device put there or held no data ("null", as the app writes for
    // none, or nothing).
    QString spoolPath(QStringView dataValue) const;
    // Whether the data value the attribute stands for held bytes that are not Base64.
    bool isDamagedData(QStringView dataValue) const;

    // Called after each block read from the source, with the source's position; reading
    // stops (the reader sees the input end early) once it returns false.
    void setBlockHook(std::function<bool(qint64 sourcePosition)> hook) { m_hook = std::move(hook); }
    // Why reading stopped early: the source or a spool file failed; empty otherwise.
    QString failure() const;
    // Whether the block hook stopped the reading.
    bool stopped() const { return m_stopped; }
    // The encoding of a file that was not passed on for it; empty otherwise.
    const QString &unreadableEncoding() const { return m_unreadableEncoding; }
    // The encoding other than UTF-8 the file declares and is read in; empty for UTF-8.
    const QString &otherEncoding() const { return m_otherEncoding; }
    // Whether the file's first block looks like XML of the backup app at all.
    bool startsLikeXml() const { return m_startsLikeXml; }
    // The line, counted as XML counts, of the first bad character; 0 when none was met.
    qint64 badTextLine() const { return m_badTextLine; }
    // Whether the reading stopped at a text longer than SbrXmlInputFilter::kMaxValueBytes.
    bool valueTooLong() const { return m_filter.valueTooLong(); }
    // Whether that character is a control character, rather than bytes that are not UTF-8.
    bool badTextIsControl() const { return m_badTextIsControl; }
    // The references to control characters left out of the text: what the app writes for
    // a message's control character. A raw one is damage, as above.
    qint64 droppedControls() const { return m_filter.droppedControls(); }

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    class Spool;
    class TextCheck;

    // Filters the next block of the source into the buffer; false when nothing more comes.
    bool refill();
    // Learns from the first block what the file is and how its text is written.
    void readHead(QByteArrayView head);
    // Cuts the buffer before a bad character, and ends the input there.
    void checkText(bool atEnd);

    QIODevice &m_source;
    std::unique_ptr<Spool> m_spool;
    std::unique_ptr<TextCheck> m_text; // once the first block has said how the text is written
    SbrXmlInputFilter m_filter;
    QByteArray m_buffer;
    qsizetype m_position = 0; // of the next unread byte of the buffer
    bool m_sourceDone = false;
    bool m_stopped = false;
    bool m_headRead = false;
    bool m_startsLikeXml = false;
    qint64 m_badTextLine = 0;
    bool m_badTextIsControl = false;
    QString m_unreadableEncoding;
    QString m_otherEncoding;
    QString m_sourceFailure;
    std::function<bool(qint64)> m_hook;
};
