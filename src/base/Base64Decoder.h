#pragma once

#include <QByteArray>

// Base64 that arrives in pieces (a data line of the phone, an attribute of a backup
// file): each complete group of four characters of the alphabet is decoded as soon as it
// is there; characters outside the alphabet, padding included, are skipped.
class Base64Decoder
{
public:
    // The bytes of the complete groups so far, not returned before.
    QByteArray decode(QByteArrayView piece);
    // The bytes of a last, short group; the decoder is then ready for a new text.
    QByteArray finish();

private:
    quint32 m_bits = 0; // the values of the characters of an incomplete group
    int m_count = 0; // how many characters m_bits holds
};
