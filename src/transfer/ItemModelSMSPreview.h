#pragma once

#include "SMSInfo.h"

#include <QAbstractItemModel>
#include <QList>

// The messages of a file being imported, as a flat table in file order: folder, name,
// number, date and text. The cells show the file's own values, untranslated.
class ItemModelSMSPreview : public QAbstractItemModel
{
    Q_OBJECT

public:
    enum Column { FolderColumn, NameColumn, NumberColumn, DateColumn, MessageColumn, ColumnCount };

    explicit ItemModelSMSPreview(QList<SMSInfo> messages, QObject *parent = nullptr);

    QModelIndex index(int row, int column, const QModelIndex &parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    const QList<SMSInfo> &smsList() const { return m_list; }
    // The messages of these rows, in the order given; rows outside the list are left out.
    QList<SMSInfo> messagesAt(const QModelIndexList &rows) const;

private:
    QList<SMSInfo> m_list;
};
