#pragma once

#include "ProgressThread.h"

#include <memory>

class MmsDB;

// Brings the open store's search index up to date (see SearchIndex::update), reporting
// the messages indexed so far. Cancelling leaves the index as it was.
class SearchIndexThread : public ProgressThread
{
    Q_OBJECT

public:
    SearchIndexThread(std::shared_ptr<MmsDB> store, ProgressReceiver *progressReceiver);

protected:
    void work() override;

private:
    std::shared_ptr<MmsDB> m_store;
};
