#pragma once

#include "SearchIndex.h"

#include <QDialog>
#include <QTimer>

#include <memory>

namespace Ui {
class ArchiveSearchForm;
}
class QTreeWidgetItem;

// The search of every conversation of the account: a field whose words are looked up in
// the store's index as the user types, and the matching messages, newest first, with
// contact, date and the found words marked in a piece of the text. Choosing one (Enter or
// a double-click) hands it to the main window, which shows it in its conversation.
// Unlike the program's other dialogs it stays open beside the window, so one result after
// another can be looked at; it is not kept above the window, which comes forward with the
// message opened (Ctrl+Shift+F brings the search back).
class ArchiveSearchForm : public QDialog
{
    Q_OBJECT

public:
    explicit ArchiveSearchForm(QWidget *parent = nullptr);
    ~ArchiveSearchForm() override;

    // A pause in typing this long starts the search.
    static constexpr int kTypingPauseMs = 250;
    static constexpr int kMaxResults = 200;
    // Item data: the message's row id, its conversation key, the marked piece as HTML.
    enum Role { MessageRole = Qt::UserRole, ConversationRole, SnippetHtmlRole };

    // Shows the window with the field ready; an outdated index is made first, under the
    // progress dialog.
    void start();
    // Looks the field's text up at once.
    void searchNow();

    // The piece of text as HTML, the found words in bold on a marker colour.
    static QString snippetHtml(const SearchText::Snippet &snippet);

signals:
    void messageChosen(const QString &conversation, int rowid, const QList<SearchText::Word> &words);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Brings the index up to date under the progress dialog when that takes a while; an
    // outdated index is rebuilt only when asked to.
    void prepareIndex(bool rebuild);
    // Not kept above the main window, which comes forward with each message opened.
    void standApart();
    void showHits(const QList<SearchHit> &hits);
    void showStatus(const QString &text, bool problem = false);
    void openItem(QTreeWidgetItem *item);
    void onReturnInField();

    std::unique_ptr<Ui::ArchiveSearchForm> m_ui;
    QTimer m_typingPause;
    // The words of the results shown.
    QList<SearchText::Word> m_words;
};
