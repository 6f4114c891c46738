#include "ItemModelSms.h"

#include "MessageListSource.h"

#include <QColor>
#include <QFileInfo>
#include <QSize>

#include <utility>

namespace {

constexpr int kIconWidth = 18;
constexpr int kRowHeight = 18;

QPixmap rowIcon(const QString &path)
{
    return QPixmap(path).scaledToWidth(kIconWidth, Qt::FastTransformation);
}

// The text followed by the names of the pictures and other files, each in brackets, so an
// MMS stands out in the list and a picture alone does not leave the cell empty.
QString messageCell(const SMSInfo &sms)
{
    QStringList parts;
    if (!sms.body.isEmpty())
        parts.append(sms.body);
    for (const AttachmentInfo &attachment : sms.attachments) {
        const QString name
            = attachment.fileName.isEmpty() ? QFileInfo(attachment.filePath).fileName() : attachment.fileName;
        parts.append(QLatin1Char('[') + name + QLatin1Char(']'));
    }
    return parts.join(QLatin1Char(' '));
}

} // namespace

ItemModelSms::ItemModelSms(QObject *parent)
    : QAbstractItemModel(parent)
    , m_source(std::make_shared<MessageListSource>(QList<SMSInfo>()))
    , m_sentPixmap(rowIcon(QStringLiteral(":/res/sent.png")))
    , m_inboxPixmap(rowIcon(QStringLiteral(":/res/inbox.png")))
    , m_sentBrush(QColor(227, 240, 248))
    , m_inboxBrush(QColor(255, 255, 255))
{
}

QModelIndex ItemModelSms::index(int row, int column, const QModelIndex &parent) const
{
    // No message is read here: views make indexes for rows they never show.
    if (!hasIndex(row, column, parent))
        return QModelIndex();
    return createIndex(row, column);
}

QModelIndex ItemModelSms::parent(const QModelIndex &) const
{
    return QModelIndex();
}

int ItemModelSms::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_source->count();
}

int ItemModelSms::columnCount(const QModelIndex &) const
{
    return ColumnCount;
}

QVariant ItemModelSms::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_source->count())
        return QVariant();
    if (role == Qt::SizeHintRole)
        return QSize(0, kRowHeight);
    const SMSInfo &sms = m_source->at(index.row());

    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        switch (index.column()) {
        case FolderColumn:
            return sms.isSend ? QStringLiteral("Sent") : QStringLiteral("Inbox");
        case PersonColumn:
            return sms.person;
        case NumberColumn:
            return sms.address;
        case DateColumn: {
            const QString shown = sms.date.toLocalTime().toString(QStringLiteral("MM/dd/yyyy hh:mm:ss"));
            // A date no calendar text can show is still listed: by its number of seconds.
            return shown.isEmpty() ? QString::number(Sms::toStoreSeconds(sms.date)) : shown;
        }
        case MessageColumn:
            return messageCell(sms);
        default:
            return QVariant();
        }
    case Qt::DecorationRole:
        if (index.column() == FolderColumn)
            return sms.isSend ? m_sentPixmap : m_inboxPixmap;
        return QVariant();
    case Qt::BackgroundRole:
        return sms.isSend ? m_sentBrush : m_inboxBrush;
    default:
        return QVariant();
    }
}

QVariant ItemModelSms::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    switch (section) {
    case FolderColumn:
        return QStringLiteral("Folder");
    case PersonColumn:
        return QStringLiteral("Person");
    case NumberColumn:
        return QStringLiteral("Number");
    case DateColumn:
        return QStringLiteral("Date");
    case MessageColumn:
        return QStringLiteral("Message");
    default:
        return QVariant();
    }
}

void ItemModelSms::setSMSList(QList<SMSInfo> list)
{
    setSource(std::make_shared<MessageListSource>(std::move(list)));
}

void ItemModelSms::setSource(std::shared_ptr<const MessageSource> source)
{
    beginResetModel();
    m_source = std::move(source);
    endResetModel();
}

void ItemModelSms::clearSMSList()
{
    setSMSList({});
}

QModelIndex ItemModelSms::rowIndex(int row) const
{
    if (row < 0 || row >= m_source->count())
        return QModelIndex();
    return createIndex(row, FolderColumn);
}
