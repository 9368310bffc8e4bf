#include "worker.h"

#include <new>
#include <system_error>

namespace quarven {

Worker::~Worker()
{
    stop();
}

bool Worker::ask()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (m_failed || m_stopping)
            return false;
        m_wanted = true;
    }
    if (m_thread.joinable()) {
        m_changed.notify_all();
        return true;
    }
    try {
        m_thread = std::thread([this] { run(); });
        return true;
    } catch (const std::system_error&) {
    } catch (const std::bad_alloc&) {
    }
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_wanted = false;
    m_failed = true;
    return false;
}

void Worker::wait()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_wanted && !m_running; });
}

void Worker::stop()
{
    if (!m_thread.joinable())
        return;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void Worker::run()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_wanted || m_stopping; });
        // A job asked for is run even when stopping.
        if (!m_wanted)
            return;
        m_wanted = false;
        m_running = true;
        lock.unlock();
        m_job();
        lock.lock();
        m_running = false;
        m_changed.notify_all();
    }
}

} // namespace quarven
