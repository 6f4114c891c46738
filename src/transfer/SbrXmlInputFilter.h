#pragma once

#include <QByteArray>
#include <QByteArrayView>

// Rewrites the bytes of a backup file on their way to the XML reader, a chunk at a time:
// - two numeric references to the halves of one character (&#55357;&#56832;), which the
//   backup app writes and XML forbids, become one reference to that character
//   (&#128512;); a half without its other half becomes U+FFFD;
// - a numeric reference to a control character XML forbids (&#27;, &#x1b;), which the
//   app writes for such a character of a message, is dropped and counted;
// - the value of each part's data attribute (the Base64 of a whole picture or video) goes
//   to a sink instead, and a short name the sink gives stands in its place, so the reader
//   never holds a file in memory; the value's line breaks follow the closing quote, so
//   that the reader counts the file's lines.
// Only what the rewriting needs of XML is tracked: tags, quoted values, comments, CDATA.
class SbrXmlInputFilter
{
public:
    class DataSink
    {
    public:
        virtual ~DataSink() = default;
        // A data value starts; returns the text that stands for it in the XML.
        virtual QByteArray open() = 0;
        // The value's next bytes, with references already dropped.
        virtual void write(QByteArrayView base64) = 0;
        virtual void close() = 0;
    };

    explicit SbrXmlInputFilter(DataSink &sink);

    // Appends the rewritten bytes of the next chunk to out; a reference cut by the chunk's
    // end is held back until the next.
    void feed(QByteArrayView chunk, QByteArray &out);
    // The input ended: appends whatever was held back.
    void finish(QByteArray &out);
    // The references to control characters dropped so far.
    qint64 droppedControls() const { return m_droppedControls; }
    // A value other than a part's data may hold this many bytes, the phone link's line cap:
    // a longer one would cost the reader several times its size in memory.
    static constexpr qint64 kMaxValueBytes = qint64(64) << 20;
    // Whether a value grew past kMaxValueBytes; nothing after its first kMaxValueBytes
    // bytes is passed on.
    bool valueTooLong() const { return m_valueTooLong; }

private:
    enum class State {
        Content,
        Reference,
        TagOpen,
        Bang,
        Comment,
        CData,
        Instruction,
        Declaration,
        EndTag,
        TagName,
        InTag,
        AttributeName,
        BeforeEquals,
        BeforeValue,
        Value,
        DataValue,
        DataReference,
    };

    // Handles one byte outside a data value; returns 0 when the byte is to be seen again
    // in the new state, else 1.
    int step(char c, QByteArray &out);
    void startTagByte(char c, QByteArray &out);
    void attributeByte(char c, QByteArray &out);
    void endReference(QByteArray &out);
    void flushHalf(QByteArray &out);
    // Copies a data value's bytes up to its closing quote or a reference; returns how many.
    qsizetype dataRun(QByteArrayView rest, QByteArray &out);

    DataSink &m_sink;
    qint64 m_valueBytes = 0;
    bool m_valueTooLong = false;
    State m_state = State::Content;
    State m_afterReference = State::Content;
    QByteArray m_word; // a tag's or attribute's name, a reference, or what follows "<!"
    bool m_inPart = false;
    char m_quote = 0;
    int m_run = 0; // dashes, brackets or question marks just seen, for the end of a block
    int m_depth = 0; // brackets open in a declaration
    char16_t m_highHalf = 0; // the first half of a character, waiting for its second
    QByteArray m_dataBreaks; // the line breaks of the data value being diverted
    qint64 m_droppedControls = 0;
};
