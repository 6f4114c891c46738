#pragma once

#include <QList>
#include <QString>

#include <utility>

// How message texts and the words looked for are prepared for the archive's word index,
// and how found words are marked in a text.
//
// The word index splits text at blanks and punctuation, folding case and accents. Scripts
// written without blanks (Chinese, Japanese, Thai...) would make one long "word" of a whole
// sentence, so each run of them is written as its overlapping pairs of characters followed by
// its last character: "東京都" is indexed as "東京 京都 都", and any part of the run is found
// as a phrase of pairs (or, for one character, as a prefix).
namespace SearchText {

// True for a character of a script written without blanks between words.
bool isUnspaced(char32_t c);

// The text as the index takes it: compatibility-normalised, unspaced runs written as pairs.
QString forIndex(const QString &text);

// One word the user looks for, in the index's terms: the pairs of an unspaced run that ends
// the word without its closing single character, so the run is found inside longer runs.
QString forQuery(const QString &word);
// Whether the word, prepared with forQuery, must be looked for as a prefix: it ends in a
// lone unspaced character, which the index holds only as the start of a pair.
bool needsPrefix(const QString &word);

// A character as the index compares it: without case and accents.
QChar fold(QChar c);

// Where the words occur in the text, as (start, length) in the text, sorted and not
// overlapping. A word is found at the start of a word of the text; unless it is a prefix
// also at the end of one. Words of unspaced scripts are found anywhere.
struct Word
{
    QString text;
    bool prefix = false;
};
QList<std::pair<int, int>> findWords(const QString &text, const QList<Word> &words);

// A piece of a long text around its first marked word, with the marks moved into it.
struct Snippet
{
    QString text;
    QList<std::pair<int, int>> marks;
};
Snippet makeSnippet(const QString &text, const QList<std::pair<int, int>> &marks, int length = 160);

} // namespace SearchText
