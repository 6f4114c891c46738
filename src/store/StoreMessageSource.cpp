#include "StoreMessageSource.h"

#include "MmsDB.h"
#include "Sqlite3Exception.h"

#include <QSet>

#include <utility>

StoreMessageSource::StoreMessageSource(std::shared_ptr<MmsDB> store, QList<qint64> rowids)
    : m_store(std::move(store))
    , m_rowids(std::move(rowids))
{
}

const SMSInfo &StoreMessageSource::at(int row) const
{
    return page(row / kPageSize).messages.at(row % kPageSize);
}

std::function<bool(int)> StoreMessageSource::rowsContaining(const QString &text) const
{
    // A short list is read through the pages kept; a long one would be read page by page,
    // far slower than one pass of the store over its texts.
    if (count() <= kPageSize * kPagesKept)
        return MessageSource::rowsContaining(text);
    const QSet<qint64> found = m_store->rowidsContaining(text);
    return [this, found](int row) { return found.contains(m_rowids.at(row)); };
}

const StoreMessageSource::Page &StoreMessageSource::page(int number) const
{
    for (qsizetype i = 0; i < m_pages.size(); ++i) {
        if (m_pages.at(i).number == number) {
            m_pages.move(i, 0);
            return m_pages.first();
        }
    }
    if (m_pages.size() == kPagesKept)
        m_pages.removeLast();
    m_pages.prepend({number, readPage(number)});
    ++m_pagesRead;
    return m_pages.first();
}

QList<SMSInfo> StoreMessageSource::readPage(int number) const
{
    const QList<qint64> ids = m_rowids.mid(qsizetype(number) * kPageSize, kPageSize);
    QList<SMSInfo> found;
    try {
        found = m_store->querySMSByRowids(ids);
    } catch (const Sqlite3Exception &e) {
        // Rows are read while the view paints: there is no command to report to.
        qWarning("Reading messages failed: %s", e.what());
    }
    // The store leaves out what is gone; every row still needs a message.
    QList<SMSInfo> messages;
    messages.reserve(ids.size());
    qsizetype next = 0;
    for (const qint64 id : ids) {
        if (next < found.size() && found.at(next).rowid == id) {
            messages.append(found.at(next++));
        } else {
            SMSInfo missing;
            missing.rowid = qint32(id);
            messages.append(missing);
        }
    }
    return messages;
}
