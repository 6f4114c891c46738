#pragma once

#include <QAbstractItemModel>
#include <QHash>
#include <QIcon>
#include <QList>
#include <QString>

// One conversation of the account: the handle row's address and person, and the
// conversation key computed from the address.
struct HandleInfo
{
    QString address;
    QString person;
    QString suffix;

    // The contact label of the conversation, by the same rule as for a message.
    QString displayName() const;
};

// The conversation tree: one account row at the top (its internal pointer is the
// model) with one child per conversation (internal pointer: its HandleInfo), newest
// conversation first. A conversation with messages that arrived since it was last
// opened is shown in bold with their count.
class ItemModelContacts : public QAbstractItemModel
{
    Q_OBJECT

public:
    explicit ItemModelContacts(QObject *parent = nullptr);

    QModelIndex index(int row, int column, const QModelIndex &parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Refills the list from the current store (empty when there is none). A store
    // failure is reported through loadFailed; the rows read before it are kept.
    void reloadContacts();

    QModelIndex accountIndex() const;
    bool isAccountRow(const QModelIndex &index) const;
    // The conversation of a row below the account; nullptr for anything else.
    const HandleInfo *handleAt(const QModelIndex &index) const;
    // The row of a conversation key; invalid when it is not listed.
    QModelIndex indexOf(const QString &key) const;

    // One more message arrived in the conversation; it may be listed only by the next reload.
    void markArrived(const QString &key);
    // The conversation was opened: its mark goes.
    void clearMark(const QString &key);
    // Messages arrived in the conversation since it was last opened.
    int arrivedCount(const QString &key) const { return m_arrived.value(key); }

signals:
    // The store failed while the list was read, with the store's text. Emitted once the
    // model is consistent again, so a dialog opened from it may repaint the views.
    void loadFailed(const QString &text);

private:
    QVariant conversationFont(const HandleInfo &handle) const;
    void keepMarksOfListedConversations();

    QList<HandleInfo> m_handles;
    // Conversation key -> messages arrived unseen.
    QHash<QString, int> m_arrived;
    QIcon m_accountIcon;
    QIcon m_contactIcon;
};
