#include "Base64Decoder.h"

#include <algorithm>
#include <utility>

namespace {

bool inBase64Alphabet(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/';
}

} // namespace

QByteArray Base64Decoder::decode(QByteArrayView piece)
{
    QByteArray clean(m_pending.size() + piece.size(), Qt::Uninitialized);
    char *end = std::copy(m_pending.cbegin(), m_pending.cend(), clean.data());
    end = std::copy_if(piece.cbegin(), piece.cend(), end, inBase64Alphabet);
    const qsizetype length = end - clean.constData();
    const qsizetype complete = length - length % 4;
    m_pending = clean.mid(complete, length - complete);
    clean.truncate(complete);
    return QByteArray::fromBase64(clean);
}

QByteArray Base64Decoder::finish()
{
    return QByteArray::fromBase64(std::exchange(m_pending, QByteArray()));
}
