#include "SearchQuery.h"

namespace {

bool hasWordChar(const QString &text)
{
    for (const QChar c : text) {
        if (c.isLetterOrNumber())
            return true;
    }
    return false;
}

} // namespace

SearchQuery SearchQuery::parse(const QString &text)
{
    SearchQuery query;
    QList<Token> tokens;
    query.m_error = readTokens(text, tokens);
    if (query.m_error.isEmpty())
        query.m_error = query.build(tokens);
    if (!query.m_error.isEmpty()) {
        query.m_expression.clear();
        query.m_words.clear();
    }
    return query;
}

QString SearchQuery::readTokens(const QString &text, QList<Token> &tokens)
{
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n;) {
        // Control characters (a pasted NUL would end the index's query text) part words like blanks.
        if (text.at(i).isSpace() || text.at(i).category() == QChar::Other_Control) {
            ++i;
            continue;
        }
        Token token;
        if (text.at(i) == QLatin1Char('-') && i + 1 < n && !text.at(i + 1).isSpace()) {
            token.term.excluded = true;
            ++i;
        }
        if (text.at(i) == QLatin1Char('"')) {
            const qsizetype close = text.indexOf(QLatin1Char('"'), i + 1);
            if (close < 0)
                return tr("A quotation mark is not closed: put words to find next to each other between two of them.");
            token.term.phrase = true;
            token.term.text = text.mid(i + 1, close - i - 1);
            for (QChar &c : token.term.text) {
                if (c.category() == QChar::Other_Control)
                    c = QLatin1Char(' ');
            }
            i = close + 1;
            if (i < n && text.at(i) == QLatin1Char('*')) {
                token.term.prefix = true;
                ++i;
            }
        } else {
            qsizetype end = i;
            while (end < n && !text.at(end).isSpace() && text.at(end).category() != QChar::Other_Control
                && text.at(end) != QLatin1Char('"'))
                ++end;
            token.term.text = text.mid(i, end - i);
            i = end;
            if (token.term.text == QLatin1String("-"))
                return tr("A minus sign must stand right before the word to leave out.");
            if (token.term.text == QLatin1String("OR") && !token.term.excluded) {
                token.isOr = true;
                token.term.text.clear();
            }
            // Words are found as the start of longer ones unless they are left out, or so short
            // that they start a good part of all words ("a", "in"): looking those up would take
            // long and find little of use. A "*" after a word asks for the start all the same.
            const bool star = token.term.text.endsWith(QLatin1Char('*'));
            if (star)
                token.term.text.chop(1);
            token.term.prefix = star || (!token.term.excluded && token.term.text.size() >= kShortestStart);
        }
        tokens.append(token);
    }
    return QString();
}

QString SearchQuery::termExpression(const Term &term)
{
    QString words = SearchText::forQuery(term.text);
    if (!hasWordChar(words))
        return QString();
    words.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    const bool prefix = term.prefix || SearchText::needsPrefix(term.text);
    return QLatin1Char('"') + words + QLatin1Char('"') + (prefix ? QStringLiteral(" *") : QString());
}

QString SearchQuery::build(const QList<Token> &tokens)
{
    // The index parses its query recursively; a pasted page would exhaust it.
    if (tokens.size() > kMostWords)
        return tr("Look for at most %1 words at a time.").arg(kMostWords);
    const QString orError = tr("OR must stand between two words to find.");
    QList<QStringList> alternatives; // all of these, each one of its terms
    QStringList excluded;
    bool afterOr = false;
    for (const Token &token : tokens) {
        if (token.isOr) {
            if (afterOr || alternatives.isEmpty())
                return orError;
            afterOr = true;
            continue;
        }
        if (token.term.excluded && afterOr)
            return orError;
        const QString expression = termExpression(token.term);
        if (token.term.excluded) {
            if (!expression.isEmpty())
                excluded.append(expression);
            continue;
        }
        if (!expression.isEmpty()) {
            if (afterOr)
                alternatives.last().append(expression);
            else
                alternatives.append(QStringList {expression});
            const QStringList parts = token.term.text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
            for (qsizetype i = 0; i < parts.size(); ++i)
                m_words.append({parts.at(i), token.term.prefix && i + 1 == parts.size()});
        }
        afterOr = false;
    }
    if (afterOr)
        return orError;
    if (alternatives.isEmpty())
        return excluded.isEmpty() ? QString() : tr("Give at least one word to find besides the words to leave out.");

    QStringList all;
    for (const QStringList &either : std::as_const(alternatives))
        all.append(either.size() == 1 ? either.first()
                                      : QLatin1Char('(') + either.join(QLatin1String(" OR ")) + QLatin1Char(')'));
    m_expression = all.join(QLatin1String(" AND "));
    for (const QString &word : std::as_const(excluded))
        m_expression += QLatin1String(" NOT ") + word;
    return QString();
}
