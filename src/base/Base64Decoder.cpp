#include "Base64Decoder.h"

#include <array>

namespace {

// The value of each character of the alphabet, -1 for every other byte.
constexpr std::array<qint8, 256> makeValues()
{
    std::array<qint8, 256> values {};
    for (int i = 0; i < 256; ++i)
        values[i] = -1;
    for (int i = 0; i < 26; ++i) {
        values['A' + i] = qint8(i);
        values['a' + i] = qint8(26 + i);
    }
    for (int i = 0; i < 10; ++i)
        values['0' + i] = qint8(52 + i);
    values['+'] = 62;
    values['/'] = 63;
    return values;
}

constexpr std::array<qint8, 256> kValues = makeValues();

} // namespace

QByteArray Base64Decoder::decode(QByteArrayView piece)
{
    // One pass that skips and decodes at once: the data of a backup runs to gigabytes.
    QByteArray bytes((m_count + piece.size()) / 4 * 3, Qt::Uninitialized);
    char *out = bytes.data();
    for (const char c : piece) {
        // -1 marks a byte outside the alphabet, so the table's signed values are meant.
        const int value = kValues[uchar(c)]; // NOLINT(bugprone-signed-char-misuse)
        if (value < 0)
            continue;
        m_bits = (m_bits << 6) | quint32(value);
        if (++m_count == 4) {
            *out++ = char(m_bits >> 16);
            *out++ = char(m_bits >> 8);
            *out++ = char(m_bits);
            m_bits = 0;
            m_count = 0;
        }
    }
    bytes.truncate(out - bytes.constData());
    return bytes;
}

QByteArray Base64Decoder::finish()
{
    QByteArray bytes;
    // Two characters carry one byte and three carry two; a single one carries none.
    if (m_count == 2) {
        bytes.append(char(m_bits >> 4));
    } else if (m_count == 3) {
        bytes.append(char(m_bits >> 10));
        bytes.append(char(m_bits >> 2));
    }
    m_bits = 0;
    m_count = 0;
    return bytes;
}
