#include "ItemModelSMSPreview.h"

ItemModelSMSPreview::ItemModelSMSPreview(QList<SMSInfo> messages, QObject *parent)
    : QAbstractItemModel(parent)
    , m_list(std::move(messages))
{
}

QModelIndex ItemModelSMSPreview::index(int row, int column, const QModelIndex &parent) const
{
    if (parent.isValid() || row < 0 || row >= m_list.size() || column < 0 || column >= ColumnCount)
        return {};
    return createIndex(row, column);
}

QModelIndex ItemModelSMSPreview::parent(const QModelIndex &) const
{
    return {};
}

int ItemModelSMSPreview::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_list.size());
}

int ItemModelSMSPreview::columnCount(const QModelIndex &) const
{
    return ColumnCount;
}

QVariant ItemModelSMSPreview::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_list.size() || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    const SMSInfo &sms = m_list.at(index.row());
    switch (index.column()) {
    case FolderColumn:
        return sms.isSend ? QStringLiteral("Sent") : QStringLiteral("Inbox");
    case NameColumn:
        return sms.person;
    case NumberColumn:
        return sms.address;
    case DateColumn:
        return sms.date.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    case MessageColumn:
        return sms.body;
    default:
        return {};
    }
}

QVariant ItemModelSMSPreview::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char *const kHeaders[ColumnCount] = {"Folder", "Name", "Phone Number", "Date", "Message"};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount)
        return {};
    return QString::fromLatin1(kHeaders[section]);
}

QList<SMSInfo> ItemModelSMSPreview::messagesAt(const QModelIndexList &rows) const
{
    QList<SMSInfo> messages;
    messages.reserve(rows.size());
    for (const QModelIndex &row : rows) {
        if (row.isValid() && row.row() < m_list.size())
            messages.append(m_list.at(row.row()));
    }
    return messages;
}
