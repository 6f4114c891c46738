#pragma once

#include "SMSInfo.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

// Files messages on a thread of its own, in the order they were handed over, while the
// caller goes on receiving the next ones. A failure stops the filing and is thrown to the
// caller at its next push() or drain(); destroying the queue drops what was not filed yet.
class FilingQueue
{
public:
    explicit FilingQueue(std::function<void(const SMSInfo &)> file, int capacity = 512);
    ~FilingQueue();
    FilingQueue(const FilingQueue &) = delete;
    FilingQueue &operator=(const FilingQueue &) = delete;

    // Waits while the queue is full.
    void push(SMSInfo sms);
    // Returns once everything handed over is filed.
    void drain();

private:
    void fileAll();
    // Throws the filing thread's failure, if there was one. Called with the lock held.
    void rethrowFailure();

    std::function<void(const SMSInfo &)> m_file;
    const size_t m_capacity;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<SMSInfo> m_queue;
    bool m_filing = false; // the thread holds a message it took from the queue
    std::atomic_bool m_stopping {false};
    std::exception_ptr m_failure;
    std::thread m_thread;
};
