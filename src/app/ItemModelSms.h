#pragma once

#include "SMSInfo.h"

#include <QAbstractItemModel>
#include <QBrush>
#include <QList>
#include <QPixmap>

// The messages shown beside the conversation tree, in the order given (the store
// gives oldest first): one row per message, five columns. Column-0 indexes carry
// their SMSInfo as internal pointer.
class ItemModelSms : public QAbstractItemModel
{
    Q_OBJECT

public:
    enum Column { FolderColumn, PersonColumn, NumberColumn, DateColumn, MessageColumn, ColumnCount };

    explicit ItemModelSms(QObject *parent = nullptr);

    QModelIndex index(int row, int column, const QModelIndex &parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    void setSMSList(QList<SMSInfo> list);
    void clearSMSList();

    // The column-0 index of a row; invalid for a row outside the list.
    QModelIndex rowIndex(int row) const;
    const QList<SMSInfo> &smsList() const { return m_list; }
    // row must lie inside the list.
    const SMSInfo &smsAt(int row) const { return m_list.at(row); }

private:
    QList<SMSInfo> m_list;
    // Scaled once: data() runs for every visible cell of a list that may be very long.
    QPixmap m_sentPixmap;
    QPixmap m_inboxPixmap;
    QBrush m_sentBrush;
    QBrush m_inboxBrush;
};
