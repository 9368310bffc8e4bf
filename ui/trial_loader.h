// A trial read off the window's thread: a worker reads the file and runs the
// batch into a TrialTable, which is handed back on the window's thread when
// it is whole. A later load replaces one not yet handed back, whose work is
// dropped. A file that a program may be writing is read once it ends in a
// line end or has held still for a while, never half-way through a row.
#pragma once

#include "trial/trial_table.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

namespace quarven {

class Worker;

struct TrialLoad {
    QString path;
    int year = 0;
    int defaultPeriod = 0;
    // Waits for the file to end in a line end or hold still first.
    bool settle = false;
    // What the window asked it for; handed back as it was.
    int purpose = 0;
    // What the file cannot tell its reader, as the user answered.
    TrialReading reading;
    // Of a workbook: the sheet to read; the first when empty.
    std::string sheet;
};

struct TrialLoaded {
    TrialLoad load;
    std::shared_ptr<const TrialTable> table; // none when why says why
    std::string why;
};

// A file that does not end in a line end is read once its size and time of
// change have not changed over this time.
inline constexpr int kHoldStillMs = 250;

// The load on the calling thread, until `stopped` says it is no longer wanted
// (then nothing is read further and the result is to be dropped). `percent`,
// when given, follows the share of the file read.
[[nodiscard]] TrialLoaded LoadTrial(const TrialLoad& load, const std::function<bool()>& stopped,
                                    std::atomic<int>* percent = nullptr);

class TrialLoader : public QObject {
    Q_OBJECT
public:
    // take is called on this object's thread with each load's result.
    explicit TrialLoader(std::function<void(TrialLoaded)> take, QObject* parent = nullptr);
    // Drops the load under way and waits for the worker to let it go.
    ~TrialLoader() override;

    void load(TrialLoad load);
    void cancel();
    // A load was asked for and has not been handed back.
    [[nodiscard]] bool busy() const { return m_busy; }
    [[nodiscard]] const TrialLoad& current() const { return m_current; }
    // The share of the file read, 0 to 100.
    [[nodiscard]] int percent() const { return m_percent.load(); }

private:
    void job();
    void handOver();

    std::function<void(TrialLoaded)> m_take;
    std::mutex m_mutex;
    // Under m_mutex: the load asked for, and the last one done.
    TrialLoad m_next;
    std::optional<std::pair<std::uint64_t, TrialLoaded>> m_done;
    std::atomic<std::uint64_t> m_generation{0};
    std::atomic<int> m_percent{0};
    // The window's thread only.
    TrialLoad m_current;
    bool m_busy = false;
    std::unique_ptr<Worker> m_worker;
};

} // namespace quarven
