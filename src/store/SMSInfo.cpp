#include "SMSInfo.h"

#include <QRegularExpression>
#include <QVarLengthArray>

#include <limits>

namespace {

bool isAsciiLetter(QChar c)
{
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
}

bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

} // namespace

namespace Sms {

int registerSMSInfoType()
{
    static const int id = qRegisterMetaType<SMSInfo>("SMSInfo");
    return id;
}

QString contactLabel(const QString &person, const QString &address)
{
    if (!person.isEmpty()) {
        if (address.isEmpty())
            return person;
        return person + QLatin1Char('(') + address + QLatin1Char(')');
    }
    if (!address.isEmpty())
        return address;
    return QStringLiteral("Unknown");
}

QString displayName(const SMSInfo &sms)
{
    return contactLabel(sms.person, sms.address);
}

QString recipientNumber(const QString &recipient)
{
    static const QRegularExpression nameAndNumber(QStringLiteral("^[^()]+\\(([^()]+)\\)$"));
    const QRegularExpressionMatch match = nameAndNumber.match(recipient);
    return match.hasMatch() ? match.captured(1) : recipient;
}

QString addressSuffix(const QString &address)
{
    if (std::any_of(address.cbegin(), address.cend(), isAsciiLetter))
        return address;
    // Gathered on the stack: the suffix is the only string made, once per filed message.
    QVarLengthArray<QChar, 32> digits;
    for (QChar c : address) {
        if (isAsciiDigit(c))
            digits.append(c);
    }
    const qsizetype kept = std::min<qsizetype>(digits.size(), 9);
    return QString(digits.constData() + digits.size() - kept, kept);
}

qint64 toStoreSeconds(const QDateTime &date)
{
    // C++ integer division truncates toward zero, also for dates before 1970.
    return date.toMSecsSinceEpoch() / 1000;
}

QDateTime fromStoreSeconds(qint64 seconds)
{
    // A store written by another program may hold any number: one beyond what milliseconds
    // can count stops at the last millisecond there is rather than overflow.
    constexpr qint64 kMaxSeconds = std::numeric_limits<qint64>::max() / 1000;
    const qint64 msecs = seconds > kMaxSeconds ? std::numeric_limits<qint64>::max()
        : seconds < -kMaxSeconds               ? std::numeric_limits<qint64>::min()
                                               : seconds * 1000;
    // UTC avoids a time-zone look-up per message when a large store is read.
    return QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC);
}

} // namespace Sms
