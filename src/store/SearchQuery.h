#pragma once

#include "SearchText.h"

#include <QCoreApplication>
#include <QString>

// What the user typed into a search field, read as words to find in every message:
//   door code       messages with both words, each also as the start of a longer word
//                   (words of one or two letters only as whole words, unless followed by *)
//   "door code"     the words next to each other, as written
//   code OR pin     either word
//   -old            leave out messages with this word
// The user's text never reaches the index's own query language: every word is quoted, so
// the only errors are the ones this reading finds, told in plain words.
class SearchQuery
{
    Q_DECLARE_TR_FUNCTIONS(SearchQuery)

public:
    static SearchQuery parse(const QString &text);

    // Shorter words are found only whole.
    static constexpr int kShortestStart = 3;
    static constexpr int kMostWords = 64;

    // Nothing to look for (a blank field): no error, no results.
    bool isEmpty() const { return m_expression.isEmpty(); }
    // Why the text cannot be searched, for the user; empty when it can.
    QString error() const { return m_error; }
    // The index's query expression; empty when there is an error or nothing to look for.
    QString matchExpression() const { return m_expression; }
    // The words to mark in a found message.
    QList<SearchText::Word> words() const { return m_words; }

private:
    struct Term
    {
        QString text;
        bool phrase = false;
        bool prefix = false;
        bool excluded = false;
    };
    struct Token
    {
        bool isOr = false;
        Term term;
    };

    static QString readTokens(const QString &text, QList<Token> &tokens);
    static QString termExpression(const Term &term);
    QString build(const QList<Token> &tokens);

    QString m_error;
    QString m_expression;
    QList<SearchText::Word> m_words;
};
