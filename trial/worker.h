// A helper thread for work that can run beside the caller's: it runs one job,
// again each time it is asked, and never two at once. Asks made while the job
// runs are one more run, not one each. The thread starts with the first ask,
// so work that is never asked for costs no thread.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace quarven {

class Worker {
public:
    // The job must not throw: an exception leaving a thread ends the program.
    explicit Worker(std::function<void()> job) : m_job(std::move(job)) {}
    // Stops it.
    ~Worker();
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    // False when no thread could be started: the caller then does the work.
    [[nodiscard]] bool ask();
    // Until the job asked for has run. What it wrote may then be read.
    void wait();
    // Waits for the job asked for, and ends the thread.
    void stop();

private:
    void run();

    std::function<void()> m_job;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_wanted = false;
    bool m_running = false;
    bool m_stopping = false;
    bool m_failed = false; // no thread could be started
    std::thread m_thread;
};

} // namespace quarven
