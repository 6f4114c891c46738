#include "SbrXmlInputFilter.h"

#include <QString>

namespace {

const QByteArray kReplacement = QByteArrayLiteral("&#xFFFD;");
// Long enough for every numeric reference to a character and the five named ones.
constexpr qsizetype kMaxReference = 10;

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool isReferenceByte(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '#';
}

bool isHigh(uint value)
{
    return value >= 0xD800 && value <= 0xDBFF;
}

bool isLow(uint value)
{
    return value >= 0xDC00 && value <= 0xDFFF;
}

constexpr uint kNotNumeric = 0xFFFFFFFF;

// The value of a decimal or hexadecimal digit; -1 for another byte.
int digitValue(char c, bool hex)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (hex && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')))
        return (c | 0x20) - 'a' + 10;
    return -1;
}

// The number of a reference's text after "&" ("#55357", "#xD83D"); kNotNumeric for any
// other, digits XML does not allow ("#x0x1b", "#+27") included.
uint referenceValue(const QByteArray &word)
{
    const bool hex = word.startsWith("#x");
    const QByteArrayView digits = QByteArrayView(word).sliced(qMin(word.size(), qsizetype(hex ? 2 : 1)));
    if (!word.startsWith('#') || digits.isEmpty())
        return kNotNumeric;
    uint value = 0;
    for (const char c : digits) {
        const int digit = digitValue(c, hex);
        if (digit < 0)
            return kNotNumeric;
        value = value * (hex ? 16 : 10) + uint(digit);
    }
    return value;
}

// A control character XML does not allow, even written as a reference.
bool isForbiddenControl(uint value)
{
    return value < 0x20 && value != '\t' && value != '\n' && value != '\r';
}

} // namespace

SbrXmlInputFilter::SbrXmlInputFilter(DataSink &sink)
    : m_sink(sink)
{
}

void SbrXmlInputFilter::feed(QByteArrayView chunk, QByteArray &out)
{
    qsizetype i = 0;
    while (i < chunk.size() && !m_valueTooLong) {
        if (m_state == State::DataValue) {
            i += dataRun(chunk.sliced(i), out);
        } else if (m_state == State::DataReference) {
            // A reference has no place in Base64; it is dropped whole.
            const char c = chunk.at(i);
            if (c == m_quote)
                m_state = State::DataValue;
            else
                ++i;
            if (c == ';')
                m_state = State::DataValue;
        } else {
            i += step(chunk.at(i), out);
        }
    }
}

void SbrXmlInputFilter::finish(QByteArray &out)
{
    if (m_state == State::Reference)
        out += '&' + m_word;
    flushHalf(out);
    if (m_state == State::DataValue || m_state == State::DataReference)
        m_sink.close();
    m_state = State::Content;
}

qsizetype SbrXmlInputFilter::dataRun(QByteArrayView rest, QByteArray &out)
{
    qsizetype end = 0;
    for (; end < rest.size() && rest.at(end) != m_quote && rest.at(end) != '&'; ++end) {
        if (rest.at(end) == '\n' || rest.at(end) == '\r')
            m_dataBreaks += rest.at(end);
    }
    if (end > 0)
        m_sink.write(rest.first(end));
    if (end == rest.size())
        return end;
    if (rest.at(end) == '&') {
        m_state = State::DataReference;
    } else {
        m_sink.close();
        // The value's line breaks follow it, as space of the tag, to keep the lines counted.
        out += m_quote + m_dataBreaks;
        m_dataBreaks.clear();
        m_state = State::InTag;
    }
    return end + 1;
}

int SbrXmlInputFilter::step(char c, QByteArray &out)
{
    switch (m_state) {
    case State::Content:
        if (c == '&') {
            m_word.clear();
            m_afterReference = State::Content;
            m_state = State::Reference;
            return 1;
        }
        flushHalf(out);
        out += c;
        if (c == '<')
            m_state = State::TagOpen;
        return 1;
    case State::Reference:
        if (c == ';') {
            endReference(out);
            m_state = m_afterReference;
            return 1;
        }
        if (m_word.size() < kMaxReference && isReferenceByte(c)) {
            m_word += c;
            return 1;
        }
        // Not a reference this filter rewrites: passed on for the reader to judge.
        flushHalf(out);
        out += '&' + m_word;
        m_state = m_afterReference;
        return 0;
    case State::TagOpen:
        m_word.clear();
        m_run = 0;
        if (c == '!' || c == '?' || c == '/') {
            out += c;
            m_state = c == '!' ? State::Bang : c == '?' ? State::Instruction : State::EndTag;
            return 1;
        }
        m_state = State::TagName;
        return 0;
    case State::Bang:
        out += c;
        m_word += c;
        if (m_word == "--") {
            m_state = State::Comment;
        } else if (m_word == "[CDATA[") {
            m_state = State::CData;
        } else if (!QByteArrayView("--").startsWith(m_word) && !QByteArrayView("[CDATA[").startsWith(m_word)) {
            m_depth = 0;
            m_quote = 0;
            m_state = c == '>' ? State::Content : State::Declaration;
        }
        return 1;
    case State::Comment:
    case State::CData: {
        out += c;
        const char closing = m_state == State::Comment ? '-' : ']';
        if (c == '>' && m_run >= 2)
            m_state = State::Content;
        m_run = c == closing ? m_run + 1 : 0;
        return 1;
    }
    case State::Instruction:
        out += c;
        if (c == '>' && m_run > 0)
            m_state = State::Content;
        m_run = c == '?' ? 1 : 0;
        return 1;
    case State::Declaration:
        out += c;
        if (m_quote != 0) {
            if (c == m_quote)
                m_quote = 0;
        } else if (c == '"' || c == '\'') {
            m_quote = c;
        } else if (c == '[') {
            ++m_depth;
        } else if (c == ']') {
            --m_depth;
        } else if (c == '>' && m_depth <= 0) {
            m_state = State::Content;
        }
        return 1;
    case State::EndTag:
        out += c;
        if (c == '>')
            m_state = State::Content;
        return 1;
    default:
        break;
    }
    startTagByte(c, out);
    return 1;
}

void SbrXmlInputFilter::startTagByte(char c, QByteArray &out)
{
    switch (m_state) {
    case State::TagName:
        if (isSpace(c) || c == '>' || c == '/') {
            m_inPart = m_word == "part";
            m_state = State::InTag;
            attributeByte(c, out);
            return;
        }
        out += c;
        m_word += c;
        return;
    default:
        attributeByte(c, out);
    }
}

void SbrXmlInputFilter::attributeByte(char c, QByteArray &out)
{
    switch (m_state) {
    case State::InTag:
        out += c;
        if (c == '>') {
            m_state = State::Content;
        } else if (!isSpace(c) && c != '/') {
            m_word = QByteArray(1, c);
            m_state = State::AttributeName;
        }
        return;
    case State::AttributeName:
        if (c == '=' || isSpace(c) || c == '>' || c == '/') {
            m_state = State::BeforeEquals;
            attributeByte(c, out);
            return;
        }
        out += c;
        m_word += c;
        return;
    case State::BeforeEquals:
        if (c == '=') {
            out += c;
            m_state = State::BeforeValue;
        } else if (isSpace(c)) {
            out += c;
        } else {
            m_state = State::InTag;
            attributeByte(c, out);
        }
        return;
    case State::BeforeValue:
        if (isSpace(c)) {
            out += c;
        } else if (c == '"' || c == '\'') {
            out += c;
            m_quote = c;
            if (m_inPart && m_word == "data") {
                out += m_sink.open();
                m_state = State::DataValue;
            } else {
                m_state = State::Value;
                m_valueBytes = 0;
            }
        } else {
            m_state = State::InTag;
            attributeByte(c, out);
        }
        return;
    case State::Value:
        if (++m_valueBytes > kMaxValueBytes) {
            m_valueTooLong = true;
            return;
        }
        if (c == '&') {
            m_word.clear();
            m_afterReference = State::Value;
            m_state = State::Reference;
            return;
        }
        flushHalf(out);
        out += c;
        if (c == m_quote)
            m_state = State::InTag;
        return;
    default:
        return;
    }
}

void SbrXmlInputFilter::endReference(QByteArray &out)
{
    const uint value = referenceValue(m_word);
    if (isForbiddenControl(value)) {
        // The app writes a message's control characters (an escape, a form feed) as
        // references, which XML forbids: they are left out of the text and counted.
        ++m_droppedControls;
        return;
    }
    if (isHigh(value)) {
        flushHalf(out);
        m_highHalf = char16_t(value);
        return;
    }
    if (isLow(value)) {
        if (m_highHalf == 0) {
            out += kReplacement;
            return;
        }
        // A reference rather than bytes, right in whatever encoding the file declares.
        out += "&#" + QByteArray::number(QChar::surrogateToUcs4(m_highHalf, char16_t(value))) + ';';
        m_highHalf = 0;
        return;
    }
    flushHalf(out);
    out += '&' + m_word + ';';
}

void SbrXmlInputFilter::flushHalf(QByteArray &out)
{
    if (m_highHalf == 0)
        return;
    out += kReplacement;
    m_highHalf = 0;
}
