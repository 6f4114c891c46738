#pragma once

#include "MessageSource.h"

#include <QAbstractItemModel>
#include <QBrush>
#include <QList>
#include <QPixmap>

#include <memory>

// The messages shown beside the conversation tree, in the order given (the store
// gives oldest first): one row per message, five columns; the Message column adds the
// attachments' names in brackets after the text. The messages come from a
// source that reads only the rows asked for, so a long list costs what is shown.
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
    void setSource(std::shared_ptr<const MessageSource> source);
    void clearSMSList();

    // The column-0 index of a row; invalid for a row outside the list.
    QModelIndex rowIndex(int row) const;
    // row must lie inside the list.
    SMSInfo smsAt(int row) const { return m_source->at(row); }
    // Whether a row's text contains the text, case counting (MessageSource::rowsContaining).
    std::function<bool(int)> rowsContaining(const QString &text) const { return m_source->rowsContaining(text); }
    // The row of the message with that id; -1 when it is not listed.
    int rowOf(qint64 rowid) const { return m_source->rowOf(rowid); }

private:
    std::shared_ptr<const MessageSource> m_source;
    // Scaled once: data() runs for every visible cell of a list that may be very long.
    QPixmap m_sentPixmap;
    QPixmap m_inboxPixmap;
    QBrush m_sentBrush;
    QBrush m_inboxBrush;
};
