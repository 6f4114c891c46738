#include "PhoneFault.h"

#include <QList>
#include <QStringList>

namespace {

// Every session the PC opens, in its table's order.
QList<PhoneSessionKind> allKinds()
{
    QList<PhoneSessionKind> kinds;
    for (const SyncSessions::SessionInfo &info : SyncSessions::kSessions)
        kinds.append(phonesim::phoneSessionKind(info.session));
    return kinds;
}

const QList<PhoneSessionKind> kKinds = allKinds();

bool fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

std::optional<QList<PhoneSessionKind>> kindsNamed(const QString &name)
{
    if (name == QLatin1String("all"))
        return kKinds;
    const auto kind = phonesim::phoneSessionKindFromName(name);
    if (!kind || *kind == PhoneSessionKind::Unknown)
        return std::nullopt;
    return QList<PhoneSessionKind> {*kind};
}

std::optional<int> number(const QString &text, int minimum)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < minimum)
        return std::nullopt;
    return value;
}

} // namespace

QString phonesim::phoneSessionKindName(PhoneSessionKind kind)
{
    // A session's name is the word of its URL.
    for (const SyncSessions::SessionInfo &info : SyncSessions::kSessions) {
        if (phoneSessionKind(info.session) == kind)
            return QLatin1String(info.word);
    }
    return QStringLiteral("unknown");
}

std::optional<PhoneSessionKind> phonesim::phoneSessionKindFromName(const QString &name)
{
    for (PhoneSessionKind kind : kKinds) {
        if (phoneSessionKindName(kind) == name)
            return kind;
    }
    if (name == QLatin1String("unknown"))
        return PhoneSessionKind::Unknown;
    return std::nullopt;
}

std::optional<PhoneFault::Malformation> phonesim::phoneMalformationFromName(const QString &name)
{
    using M = PhoneFault::Malformation;
    static const QMap<QString, M> names = {
        {QStringLiteral("short"), M::ShortRecord},
        {QStringLiteral("zerodate"), M::ZeroDate},
        {QStringLiteral("textdate"), M::TextDate},
        {QStringLiteral("noatta"), M::DataInsteadOfAtta},
        {QStringLiteral("attaonefield"), M::AttaOneField},
        {QStringLiteral("badbase64"), M::BadBase64},
        {QStringLiteral("empty"), M::EmptyLine},
        {QStringLiteral("negcount"), M::NegativeCount},
    };
    const auto it = names.find(name);
    if (it == names.end())
        return std::nullopt;
    return *it;
}

bool applyPhoneFaultOption(
    QMap<PhoneSessionKind, PhoneFault> &plans, const QString &option, const QString &value, QString *error)
{
    const QString head = value.section(QLatin1Char(':'), 0, 0);
    const QString rest = value.section(QLatin1Char(':'), 1);
    const bool hasRest = value.contains(QLatin1Char(':'));

    // "--slow MS" without a kind slows every kind down.
    if (option == QLatin1String("slow") && !hasRest) {
        const auto ms = number(value, 0);
        if (!ms)
            return fail(error, QStringLiteral("--slow wants MS or KIND:MS, not \"%1\"").arg(value));
        for (PhoneSessionKind kind : kKinds)
            plans[kind].delayMs = *ms;
        return true;
    }

    const auto kinds = kindsNamed(head);
    if (!kinds)
        return fail(error,
            QStringLiteral("--%1: unknown session kind \"%2\" (hello, sendsms, backup, restore, "
                           "smsrecv or all)")
                .arg(option, head));

    PhoneFault change;
    if (option == QLatin1String("silent")) {
        if (hasRest)
            return fail(error, QStringLiteral("--silent wants KIND only"));
    } else if (option == QLatin1String("slow")) {
        const auto ms = number(rest, 0);
        if (!ms)
            return fail(error, QStringLiteral("--slow wants MS or KIND:MS, not \"%1\"").arg(value));
        change.delayMs = *ms;
    } else if (option == QLatin1String("drop-after")) {
        const auto n = number(rest, 0);
        if (!n)
            return fail(error, QStringLiteral("--drop-after wants KIND:N with N >= 0, not \"%1\"").arg(value));
        change.dropAfterLine = *n;
    } else if (option == QLatin1String("error-at")) {
        const auto n = number(rest.section(QLatin1Char(':'), 0, 0), 1);
        if (!n)
            return fail(error, QStringLiteral("--error-at wants KIND:N[:TEXT] with N >= 1, not \"%1\"").arg(value));
        change.errorAtLine = *n;
        if (rest.contains(QLatin1Char(':')))
            change.errorText = rest.section(QLatin1Char(':'), 1);
    } else if (option == QLatin1String("open-with")) {
        if (!hasRest)
            return fail(error, QStringLiteral("--open-with wants KIND:LINE, not \"%1\"").arg(value));
        change.openingLine = rest.toUtf8();
    } else if (option == QLatin1String("malform")) {
        const auto type = phonesim::phoneMalformationFromName(rest.section(QLatin1Char('@'), 0, 0));
        const auto from = rest.contains(QLatin1Char('@')) ? number(rest.section(QLatin1Char('@'), 1), 1) : 1;
        if (!type || !from)
            return fail(error,
                QStringLiteral("--malform wants KIND:TYPE[@N] with TYPE one of short, zerodate, "
                               "textdate, noatta, attaonefield, badbase64, empty; not \"%1\"")
                    .arg(value));
        change.malformation = *type;
        change.malformFromLine = *from;
    } else {
        return fail(error, QStringLiteral("unknown fault option --%1").arg(option));
    }

    for (PhoneSessionKind kind : *kinds) {
        PhoneFault &plan = plans[kind];
        if (option == QLatin1String("silent"))
            plan.silent = true;
        else if (option == QLatin1String("slow"))
            plan.delayMs = change.delayMs;
        else if (option == QLatin1String("drop-after"))
            plan.dropAfterLine = change.dropAfterLine;
        else if (option == QLatin1String("open-with"))
            plan.openingLine = change.openingLine;
        else if (option == QLatin1String("error-at")) {
            plan.errorAtLine = change.errorAtLine;
            plan.errorText = change.errorText;
        } else {
            plan.malformation = change.malformation;
            plan.malformFromLine = change.malformFromLine;
        }
    }
    return true;
}
