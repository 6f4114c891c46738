#include "FilingQueue.h"

FilingQueue::FilingQueue(std::function<void(const SMSInfo &)> file, int capacity)
    : m_file(std::move(file))
    , m_capacity(size_t(qMax(1, capacity)))
    , m_thread([this] { fileAll(); })
{
}

FilingQueue::~FilingQueue()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
        m_queue.clear();
    }
    m_changed.notify_all();
    m_thread.join();
}

void FilingQueue::push(SMSInfo sms)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return m_queue.size() < m_capacity || m_failure; });
    rethrowFailure();
    // Only an empty queue can have the filing thread waiting for it.
    const bool wake = m_queue.empty();
    m_queue.push_back(std::move(sms));
    lock.unlock();
    if (wake)
        m_changed.notify_all();
}

void FilingQueue::drain()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return (m_queue.empty() && !m_filing) || m_failure; });
    rethrowFailure();
}

void FilingQueue::rethrowFailure()
{
    if (m_failure)
        std::rethrow_exception(m_failure);
}

void FilingQueue::fileAll()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return !m_queue.empty() || m_stopping.load(); });
        if (m_stopping)
            return;
        // Everything waiting is taken at once: one hand-over per batch, not per message.
        std::deque<SMSInfo> batch;
        batch.swap(m_queue);
        m_filing = true;
        lock.unlock();
        m_changed.notify_all();
        std::exception_ptr failure;
        try {
            for (const SMSInfo &sms : batch) {
                if (m_stopping)
                    break;
                m_file(sms);
            }
        } catch (...) {
            failure = std::current_exception();
        }
        lock.lock();
        m_filing = false;
        if (failure) {
            m_failure = failure;
            m_queue.clear();
        }
        m_changed.notify_all();
        if (m_failure) {
            // Nothing more is filed; the caller hears of it and ends the session.
            m_changed.wait(lock, [this] { return m_stopping.load(); });
            return;
        }
    }
}
