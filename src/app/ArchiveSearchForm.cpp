#include "ArchiveSearchForm.h"

#include "Accounts.h"
#include "MmsDB.h"
#include "ProgressForm.h"
#include "SearchIndexThread.h"

#include "ui_ArchiveSearchForm.h"

#include <QAbstractTextDocumentLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTextDocument>
#include <QWindow>

namespace {

// Paints the message column's HTML piece on one line, in the item's own colours.
class SnippetDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyleOptionViewItem item = option;
        initStyleOption(&item, index);
        item.text.clear();
        item.widget->style()->drawControl(QStyle::CE_ItemViewItem, &item, painter, item.widget);

        QTextDocument document;
        document.setDefaultFont(item.font);
        document.setDocumentMargin(0);
        document.setHtml(index.data(ArchiveSearchForm::SnippetHtmlRole).toString());
        const QRect area = item.widget->style()->subElementRect(QStyle::SE_ItemViewItemText, &item, item.widget);
        QAbstractTextDocumentLayout::PaintContext context;
        context.palette = item.palette;
        const bool selected = item.state & QStyle::State_Selected;
        context.palette.setColor(
            QPalette::Text, item.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        painter->save();
        painter->translate(area.left(), area.top() + (area.height() - document.size().height()) / 2);
        painter->setClipRect(area.translated(-area.topLeft()));
        document.documentLayout()->draw(painter, context);
        painter->restore();
    }
};

} // namespace

ArchiveSearchForm::ArchiveSearchForm(QWidget *parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::ArchiveSearchForm>())
{
    m_ui->setupUi(this);
    // A window of its own, not a dialog kept above the main window: the message it opens
    // there comes forward instead of staying hidden under the results.
    setWindowFlags(Qt::Window);
    m_ui->listResults->setItemDelegateForColumn(2, new SnippetDelegate(m_ui->listResults));
    m_ui->listResults->setColumnWidth(0, 170);
    m_ui->listResults->setColumnWidth(1, 120);
    m_typingPause.setSingleShot(true);
    m_typingPause.setInterval(kTypingPauseMs);
    connect(&m_typingPause, &QTimer::timeout, this, &ArchiveSearchForm::searchNow);
    connect(m_ui->txtQuery, &QLineEdit::textChanged, &m_typingPause, qOverload<>(&QTimer::start));
    connect(m_ui->txtQuery, &QLineEdit::returnPressed, this, &ArchiveSearchForm::onReturnInField);
    connect(m_ui->listResults, &QTreeWidget::itemActivated, this, &ArchiveSearchForm::openItem);
    m_ui->txtQuery->installEventFilter(this);
}

ArchiveSearchForm::~ArchiveSearchForm() = default;

void ArchiveSearchForm::start()
{
    // Shown even when the index is not ready: the window then says why it finds nothing.
    prepareIndex(true);
    standApart();
    show();
    raise();
    activateWindow();
    m_ui->txtQuery->setFocus();
    m_ui->txtQuery->selectAll();
}

void ArchiveSearchForm::standApart()
{
    // Some platforms keep any window above the one it belongs to.
    winId();
    if (QWindow *native = windowHandle())
        native->setTransientParent(nullptr);
}

void ArchiveSearchForm::prepareIndex(bool rebuild)
{
    const std::shared_ptr<MmsDB> store = Accounts::currentStore();
    if (!store)
        return;
    SearchIndex &index = store->searchIndex();
    const bool outdated = index.state() == SearchIndex::State::Outdated;
    if ((outdated && rebuild) || (!outdated && index.needsUpdate())) {
        ProgressForm progress(tr("Preparing the search"));
        SearchIndexThread worker(store, &progress);
        progress.run(worker);
    }
}

void ArchiveSearchForm::searchNow()
{
    m_typingPause.stop();
    const SearchQuery query = SearchQuery::parse(m_ui->txtQuery->text());
    if (!query.error().isEmpty()) {
        showHits({});
        showStatus(query.error(), true);
        return;
    }
    // Messages filed since the window opened (a backup) may need a moment; a rebuild the
    // user cancelled is offered again only when the window opens again.
    prepareIndex(false);
    const std::shared_ptr<MmsDB> store = Accounts::currentStore();
    const SearchIndex::State state = store ? store->searchIndex().state() : SearchIndex::State::Closed;
    if (state != SearchIndex::State::Ready) {
        showHits({});
        showStatus(state == SearchIndex::State::Rebuilding ? SearchIndex::rebuildingText()
                : state == SearchIndex::State::Outdated
                ? tr("The messages are not ready to be searched yet: close this window and open it again to prepare "
                     "them.")
                : tr("Searching is not available for this account."),
            true);
        return;
    }
    try {
        m_words = query.words();
        showHits(store->searchIndex().search(query, kMaxResults));
    } catch (const std::exception &e) {
        showHits({});
        showStatus(QString::fromUtf8(e.what()), true);
        return;
    }
    const int found = m_ui->listResults->topLevelItemCount();
    if (query.isEmpty())
        showStatus(QString());
    else if (found == 0)
        showStatus(tr("No message holds these words."));
    else if (found >= kMaxResults)
        showStatus(tr("The newest %1 messages with these words:").arg(found));
    else
        showStatus(tr("Messages with these words: %1").arg(found));
}

void ArchiveSearchForm::showHits(const QList<SearchHit> &hits)
{
    m_ui->listResults->clear();
    QList<QTreeWidgetItem *> items;
    items.reserve(hits.size());
    for (const SearchHit &hit : hits) {
        auto *item = new QTreeWidgetItem({Sms::displayName(hit.message),
            hit.message.date.toLocalTime().toString(QStringLiteral("yyyy-MM-dd hh:mm")), hit.snippet.text});
        item->setData(0, MessageRole, hit.message.rowid);
        item->setData(0, ConversationRole, hit.conversation);
        item->setData(2, SnippetHtmlRole, snippetHtml(hit.snippet));
        item->setToolTip(2, hit.message.body);
        items.append(item);
    }
    m_ui->listResults->addTopLevelItems(items);
    if (!items.isEmpty())
        m_ui->listResults->setCurrentItem(items.first());
}

void ArchiveSearchForm::showStatus(const QString &text, bool problem)
{
    m_ui->lbStatus->setText(text);
    m_ui->lbStatus->setStyleSheet(problem ? QStringLiteral("color: #B00020;") : QString());
}

QString ArchiveSearchForm::snippetHtml(const SearchText::Snippet &snippet)
{
    auto escaped = [&](int from, int to) { return snippet.text.mid(from, to - from).toHtmlEscaped(); };
    QString html;
    int at = 0;
    for (const auto &[start, size] : snippet.marks) {
        html += escaped(at, start) + QStringLiteral("<b style=\"background-color:#FFE37A; color:#000000\">")
            + escaped(start, start + size) + QStringLiteral("</b>");
        at = start + size;
    }
    return html + escaped(at, int(snippet.text.size()));
}

void ArchiveSearchForm::onReturnInField()
{
    // Enter after typing looks the words up now; once they are shown it opens the chosen one.
    if (m_typingPause.isActive() || m_ui->listResults->topLevelItemCount() == 0) {
        searchNow();
        return;
    }
    openItem(m_ui->listResults->currentItem());
}

void ArchiveSearchForm::openItem(QTreeWidgetItem *item)
{
    if (!item)
        return;
    emit messageChosen(item->data(0, ConversationRole).toString(), item->data(0, MessageRole).toInt(), m_words);
}

bool ArchiveSearchForm::eventFilter(QObject *watched, QEvent *event)
{
    // The arrow keys step through the results without leaving the field.
    if (watched == m_ui->txtQuery && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Down || key == Qt::Key_Up) {
            QCoreApplication::sendEvent(m_ui->listResults, event);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
