#include "ItemModelContacts.h"

#include "Accounts.h"
#include "MmsDB.h"

#include <QFont>
#include <QGuiApplication>
#include <QHash>
#include <QSet>
#include <QSize>

#include <exception>
#include <utility>

namespace {

constexpr int kRowHeight = 18;

} // namespace

QString HandleInfo::displayName() const
{
    return Sms::contactLabel(person, address);
}

ItemModelContacts::ItemModelContacts(QObject *parent)
    : QAbstractItemModel(parent)
    , m_accountIcon(QStringLiteral(":/res/account.png"))
    , m_contactIcon(QStringLiteral(":/res/contact.png"))
{
}

QModelIndex ItemModelContacts::index(int row, int column, const QModelIndex &parent) const
{
    if (!hasIndex(row, column, parent))
        return QModelIndex();
    if (!parent.isValid())
        return accountIndex();
    return createIndex(row, column, const_cast<HandleInfo *>(&m_handles.at(row)));
}

QModelIndex ItemModelContacts::parent(const QModelIndex &child) const
{
    if (!child.isValid() || isAccountRow(child))
        return QModelIndex();
    return accountIndex();
}

int ItemModelContacts::rowCount(const QModelIndex &parent) const
{
    if (!parent.isValid())
        return 1;
    return isAccountRow(parent) ? int(m_handles.size()) : 0;
}

int ItemModelContacts::columnCount(const QModelIndex &) const
{
    return 1;
}

QVariant ItemModelContacts::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return QVariant();
    const bool account = isAccountRow(index);
    const HandleInfo *handle = account ? nullptr : handleAt(index);
    if (!account && !handle)
        return QVariant();

    switch (role) {
    case Qt::DisplayRole:
        if (account) {
            const auto store = Accounts::currentStore();
            return store ? store->folder().dirName() : QString();
        }
        if (const int arrived = arrivedCount(handle->suffix))
            //: A conversation's label, then how many messages arrived in it unseen.
            return tr("%1 (%2)").arg(handle->displayName(), QString::number(arrived));
        return handle->displayName();
    case Qt::DecorationRole:
        return account ? m_accountIcon : m_contactIcon;
    case Qt::FontRole:
        if (account) {
            QFont font = QGuiApplication::font();
            font.setPixelSize(12);
            return font;
        }
        return conversationFont(*handle);
    case Qt::SizeHintRole:
        return QSize(0, kRowHeight);
    default:
        return QVariant();
    }
}

QVariant ItemModelContacts::conversationFont(const HandleInfo &handle) const
{
    if (!arrivedCount(handle.suffix))
        return QVariant();
    QFont font = QGuiApplication::font();
    font.setBold(true);
    return font;
}

QVariant ItemModelContacts::headerData(int, Qt::Orientation, int) const
{
    return QVariant();
}

void ItemModelContacts::reloadContacts()
{
    emit layoutAboutToBeChanged();

    QList<HandleInfo> loaded;
    bool failed = false;
    QString failure;
    try {
        if (const auto store = Accounts::currentStore()) {
            for (const MmsDB::Contact &contact : store->contacts()) {
                HandleInfo handle;
                handle.address = contact.address;
                handle.person = contact.person;
                handle.suffix = Sms::addressSuffix(handle.address);
                loaded.append(handle);
            }
        }
    } catch (const std::exception &e) {
        failed = true;
        failure = QString::fromUtf8(e.what());
    }

    const QList<HandleInfo> previous = std::exchange(m_handles, std::move(loaded));

    // A view keeps its selection on a conversation that is still there, wherever it
    // moved to; an index of a conversation that is gone becomes invalid.
    QHash<QString, int> newRows;
    for (int row = 0; row < m_handles.size(); ++row)
        newRows.insert(m_handles.at(row).suffix, row);
    const QModelIndexList oldIndexes = persistentIndexList();
    QModelIndexList newIndexes;
    newIndexes.reserve(oldIndexes.size());
    for (const QModelIndex &old : oldIndexes) {
        if (isAccountRow(old)) {
            newIndexes.append(old);
            continue;
        }
        const int row = old.row() < previous.size() ? newRows.value(previous.at(old.row()).suffix, -1) : -1;
        newIndexes.append(row < 0 ? QModelIndex() : index(row, old.column(), accountIndex()));
    }
    changePersistentIndexList(oldIndexes, newIndexes);
    keepMarksOfListedConversations();

    emit layoutChanged();

    // Reported only once the model is consistent again: the owner's dialog runs an
    // event loop in which the views repaint.
    if (failed)
        emit loadFailed(failure);
}

QModelIndex ItemModelContacts::accountIndex() const
{
    return createIndex(0, 0, const_cast<ItemModelContacts *>(this));
}

bool ItemModelContacts::isAccountRow(const QModelIndex &index) const
{
    return index.isValid() && index.model() == this && index.internalPointer() == this;
}

const HandleInfo *ItemModelContacts::handleAt(const QModelIndex &index) const
{
    if (!index.isValid() || index.model() != this || isAccountRow(index))
        return nullptr;
    if (index.row() < 0 || index.row() >= m_handles.size())
        return nullptr;
    return &m_handles.at(index.row());
}

QModelIndex ItemModelContacts::indexOf(const QString &key) const
{
    for (int row = 0; row < m_handles.size(); ++row) {
        if (m_handles.at(row).suffix == key)
            return index(row, 0, accountIndex());
    }
    return QModelIndex();
}

void ItemModelContacts::markArrived(const QString &key)
{
    ++m_arrived[key];
    const QModelIndex row = indexOf(key);
    if (row.isValid())
        emit dataChanged(row, row, {Qt::DisplayRole, Qt::FontRole});
}

void ItemModelContacts::clearMark(const QString &key)
{
    if (!m_arrived.remove(key))
        return;
    const QModelIndex row = indexOf(key);
    if (row.isValid())
        emit dataChanged(row, row, {Qt::DisplayRole, Qt::FontRole});
}

void ItemModelContacts::keepMarksOfListedConversations()
{
    // A conversation deleted (or of another account) takes its mark with it.
    QSet<QString> listed;
    for (const HandleInfo &handle : std::as_const(m_handles))
        listed.insert(handle.suffix);
    m_arrived.removeIf([&](const QHash<QString, int>::iterator it) { return !listed.contains(it.key()); });
}
