#include "SearchText.h"

#include <algorithm>

namespace SearchText {

namespace {

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c.category() == QChar::Other_PrivateUse || c.isMark();
}

void appendCodePoint(QString &out, char32_t c)
{
    out.append(QStringView(QChar::fromUcs4(c)));
}

// Writes the text with every unspaced run as its pairs; closeRun decides, for the run
// ending at 'end', whether its last character follows the pairs on its own.
template <typename CloseRun> QString writePairs(const QString &text, CloseRun closeRun)
{
    const QString normal = text.normalized(QString::NormalizationForm_KC);
    const QList<uint> points = normal.toUcs4();
    const qsizetype count = points.size();
    QString out;
    out.reserve(normal.size() * 2);
    for (qsizetype i = 0; i < count;) {
        if (!isUnspaced(points.at(i))) {
            appendCodePoint(out, points.at(i));
            ++i;
            continue;
        }
        qsizetype end = i;
        while (end < count && isUnspaced(points.at(end)))
            ++end;
        out.append(QLatin1Char(' '));
        for (qsizetype k = i; k + 1 < end; ++k) {
            appendCodePoint(out, points.at(k));
            appendCodePoint(out, points.at(k + 1));
            out.append(QLatin1Char(' '));
        }
        if (end - i == 1 || closeRun(end, count)) {
            appendCodePoint(out, points.at(end - 1));
            out.append(QLatin1Char(' '));
        }
        i = end;
    }
    return out;
}

} // namespace

bool isUnspaced(char32_t c)
{
    switch (QChar::script(c)) {
    case QChar::Script_Han:
    case QChar::Script_Hiragana:
    case QChar::Script_Katakana:
    case QChar::Script_Hangul:
    case QChar::Script_Thai:
    case QChar::Script_Lao:
    case QChar::Script_Khmer:
    case QChar::Script_Myanmar:
        return true;
    default:
        // The prolonged sound mark belongs to no script, yet lives inside katakana words.
        return c == 0x30FC;
    }
}

QString forIndex(const QString &text)
{
    return writePairs(text, [](qsizetype, qsizetype) { return true; });
}

QString forQuery(const QString &word)
{
    // Inside a word the run's last character is followed by more text, and so is it in the
    // index; at the word's end it would demand that the message's run ends there too.
    return writePairs(word, [](qsizetype end, qsizetype count) { return end < count; }).simplified();
}

bool needsPrefix(const QString &word)
{
    const QList<uint> points = word.normalized(QString::NormalizationForm_KC).toUcs4();
    const qsizetype n = points.size();
    return n > 0 && isUnspaced(points.at(n - 1)) && (n == 1 || !isUnspaced(points.at(n - 2)));
}

QChar fold(QChar c)
{
    // Accented letters and wide forms decompose to their plain letter first.
    for (int depth = 0; depth < 3; ++depth) {
        const QChar::Decomposition tag = c.decompositionTag();
        if (tag != QChar::Canonical && tag != QChar::Wide && tag != QChar::Narrow)
            break;
        const QString parts = c.decomposition();
        if (parts.isEmpty() || parts.at(0).isSurrogate())
            break;
        c = parts.at(0);
    }
    return c.toCaseFolded();
}

QList<std::pair<int, int>> findWords(const QString &text, const QList<Word> &words)
{
    QString folded = text;
    for (QChar &c : folded)
        c = fold(c);

    QList<std::pair<int, int>> found;
    for (const Word &word : words) {
        QString needle = word.text.normalized(QString::NormalizationForm_KC);
        for (QChar &c : needle)
            c = fold(c);
        if (needle.isEmpty())
            continue;
        const bool openStart = isUnspaced(needle.at(0).unicode());
        const bool openEnd = word.prefix || isUnspaced(needle.back().unicode());
        for (qsizetype at = folded.indexOf(needle); at >= 0; at = folded.indexOf(needle, at + 1)) {
            const qsizetype end = at + needle.size();
            if (!openStart && at > 0 && isWordChar(folded.at(at - 1)))
                continue;
            if (!openEnd && end < folded.size() && isWordChar(folded.at(end)))
                continue;
            found.append({int(at), int(needle.size())});
        }
    }
    std::sort(found.begin(), found.end());
    QList<std::pair<int, int>> merged;
    for (const auto &range : std::as_const(found)) {
        if (!merged.isEmpty() && range.first <= merged.back().first + merged.back().second) {
            auto &last = merged.back();
            last.second = std::max(last.first + last.second, range.first + range.second) - last.first;
        } else {
            merged.append(range);
        }
    }
    return merged;
}

Snippet makeSnippet(const QString &text, const QList<std::pair<int, int>> &marks, int length)
{
    QString flat = text;
    for (QChar &c : flat) {
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QLatin1Char('\t'))
            c = QLatin1Char(' ');
    }
    qsizetype start = 0;
    qsizetype end = flat.size();
    if (flat.size() > length) {
        // Some words before the first match tell what it is about.
        const qsizetype first = marks.isEmpty() ? 0 : marks.first().first;
        start = std::clamp<qsizetype>(first - length / 4, 0, flat.size() - length);
        end = start + length;
        if (start > 0 && flat.at(start).isLowSurrogate())
            ++start;
        if (end < flat.size() && flat.at(end).isLowSurrogate())
            ++end;
    }
    Snippet snippet;
    const QString ellipsis(QChar(0x2026));
    const qsizetype shift = start > 0 ? ellipsis.size() - start : -start;
    snippet.text = (start > 0 ? ellipsis : QString()) + flat.mid(start, end - start)
        + (end < flat.size() ? ellipsis : QString());
    for (const auto &[at, size] : marks) {
        const qsizetype from = std::max<qsizetype>(at, start);
        const qsizetype to = std::min<qsizetype>(at + size, end);
        if (from < to)
            snippet.marks.append({int(from + shift), int(to - from)});
    }
    return snippet;
}

} // namespace SearchText
