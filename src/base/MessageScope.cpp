#include "MessageScope.h"

QString MessageScope::all(int messages)
{
    return tr("All %n message(s)", nullptr, messages);
}

QString MessageScope::shown(const QStringList &conversationKeys, int messages)
{
    if (conversationKeys.isEmpty())
        return all(messages);
    const int conversations = int(conversationKeys.size());
    return tr("%1, %n message(s)", nullptr, messages).arg(tr("%n conversation(s)", nullptr, conversations));
}

QString MessageScope::selected(int messages)
{
    return tr("%n selected message(s)", nullptr, messages);
}

QString MessageScope::titled(const QString &title, const QString &scope)
{
    return scope.isEmpty() ? title : tr("%1 - %2").arg(title, scope);
}
