#pragma once

#include "ProgressThread.h"

#include <memory>

class MmsDB;

// Makes the open store's search index afresh from its messages, reporting the messages
// indexed so far. Cancelling leaves the index as it was; the store works without it.
class SearchIndexThread : public ProgressThread
{
    Q_OBJECT

public:
    SearchIndexThread(std::shared_ptr<MmsDB> store, ProgressReceiver *progressReceiver);

protected:
    void run() override;

private:
    std::shared_ptr<MmsDB> m_store;
};
