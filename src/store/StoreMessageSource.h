#pragma once

#include "MessageSource.h"

#include <QList>

#include <memory>

class MmsDB;

// Messages of the store by id, in the order of the ids (MmsDB::messageRowids), read a
// page at a time when a row of the page is first asked for. A few pages are kept, so
// painting the visible rows costs one query per page, whatever the length of the list.
class StoreMessageSource : public MessageSource
{
public:
    static constexpr int kPageSize = 256;
    static constexpr int kPagesKept = 4;

    StoreMessageSource(std::shared_ptr<MmsDB> store, QList<qint64> rowids);

    int count() const override { return int(m_rowids.size()); }
    // A message deleted since the ids were read, or one the store failed to give, is an
    // empty message with its id.
    const SMSInfo &at(int row) const override;
    qint64 rowidAt(int row) const { return m_rowids.at(row); }
    std::function<bool(int)> rowsContaining(const QString &text) const override;
    // From the ids alone: no message is read.
    int rowOf(qint64 rowid) const override { return int(m_rowids.indexOf(rowid)); }
    // Store reads so far: one per page read.
    int pagesRead() const { return m_pagesRead; }

private:
    struct Page
    {
        int number = -1;
        QList<SMSInfo> messages;
    };
    const Page &page(int number) const;
    QList<SMSInfo> readPage(int number) const;

    std::shared_ptr<MmsDB> m_store;
    QList<qint64> m_rowids;
    // Most recently used first.
    mutable QList<Page> m_pages;
    mutable int m_pagesRead = 0;
};
