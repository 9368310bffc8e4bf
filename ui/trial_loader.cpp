#include "trial_loader.h"

#include "app/file_io.h"
#include "trial/trial_table.h"
#include "trial/worker.h"
#include "ui/data_actions.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>

#include <chrono>
#include <new>
#include <thread>

#if defined(Q_OS_UNIX)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quarven {
namespace {

// What tells a file that is still being written.
struct Look {
    bool regular = false;
    long long size = 0;
    long long changedNs = 0;
    bool endsLine = false;

    bool operator==(const Look& other) const
    {
        return regular == other.regular && size == other.size && changedNs == other.changedNs &&
               endsLine == other.endsLine;
    }
};

Look lookAt(const QString& path)
{
    Look look;
#if defined(Q_OS_UNIX)
    // Without waiting, as a FIFO put in the file's place would block.
    const int descriptor =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0)
        return look;
    struct stat status {};
    if (::fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode)) {
        look.regular = true;
        look.size = static_cast<long long>(status.st_size);
        look.changedNs =
            static_cast<long long>(status.st_mtim.tv_sec) * 1000000000LL + status.st_mtim.tv_nsec;
        char last = 0;
        look.endsLine = look.size > 0 && ::pread(descriptor, &last, 1, status.st_size - 1) == 1 &&
                        (last == '\n' || last == '\r');
    }
    ::close(descriptor);
#else
    const QFileInfo info(path);
    look.regular = info.isFile();
    look.size = info.size();
    look.changedNs = info.lastModified().toMSecsSinceEpoch() * 1000000LL;
#endif
    return look;
}

// False when no longer wanted.
bool pause(int ms, const std::function<bool()>& stopped)
{
    for (int waited = 0; waited < ms; waited += 10) {
        if (stopped())
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return !stopped();
}

// A writer that pauses half-way through a row must not have the half row
// read as a plot: a file is read when it ends in a line end, and otherwise
// once it holds still. One that is no regular file is read at once, for the
// reader to say why it cannot be.
bool waitForStillFile(const QString& path, const std::function<bool()>& stopped)
{
    Look look = lookAt(path);
    while (look.regular && look.size > 0 && !look.endsLine) {
        if (!pause(kHoldStillMs, stopped))
            return false;
        const Look again = lookAt(path);
        if (again == look)
            break;
        look = again;
    }
    return !stopped();
}

} // namespace

TrialLoaded LoadTrial(const TrialLoad& load, const std::function<bool()>& stopped,
                      std::atomic<int>* percent)
{
    TrialLoaded loaded;
    loaded.load = load;
    if (load.settle && !waitForStillFile(load.path, stopped))
        return loaded;
    const long long size = QFileInfo(load.path).size();
    long long done = 0;
    std::unique_ptr<TrialTable> table;
    bool read = false;
    try {
        // Read in pieces: the window never holds the file's bytes, only the
        // results. A workbook is known by its first bytes and read whole by
        // its own reader.
        TrialTableReader reader(BatchSettings{load.year, load.defaultPeriod, load.reading});
        bool workbook = false;
        read = ReadTrialFile(
            load.path,
            [&](std::string_view piece) {
                if (done == 0 &&
                    KindOfTrialFile(piece.substr(0, kKindBytes)) != TrialFileKind::Text) {
                    workbook = true;
                    return false;
                }
                done += static_cast<long long>(piece.size());
                if (percent && size > 0)
                    percent->store(static_cast<int>(std::min(100LL, done * 100 / size)));
                return !stopped() && reader.read(piece);
            },
            loaded.why);
        if (read && workbook && !stopped())
            reader.readWorkbook(WorkbookSource::File(QFile::encodeName(load.path).toStdString()),
                                load.sheet);
        if (read && !stopped())
            table = reader.finish();
    } catch (const std::bad_alloc&) {
        read = false;
        table.reset();
        loaded.why = kOutOfMemory;
    }
    if (stopped())
        return loaded;
    if (read && table->error) {
        loaded.why =
            (table->error->line ? "line " + std::to_string(table->error->line) + ": " : "") +
            table->error->message;
        table.reset();
    }
    if (read && table)
        loaded.table = std::move(table);
    return loaded;
}

TrialLoader::TrialLoader(std::function<void(TrialLoaded)> take, QObject* parent)
    : QObject(parent), m_take(std::move(take)),
      m_worker(std::make_unique<Worker>([this] { job(); }))
{
}

TrialLoader::~TrialLoader()
{
    ++m_generation;
    m_worker.reset();
}

void TrialLoader::load(TrialLoad load)
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_next = load;
        ++m_generation;
    }
    m_current = std::move(load);
    m_busy = true;
    m_percent = 0;
    if (!m_worker->ask())
        job();
}

void TrialLoader::cancel()
{
    ++m_generation;
    m_busy = false;
}

// On the worker: the load asked for last, handed to the window's thread
// through m_mutex, where a later load may have replaced it by the time it
// comes.
void TrialLoader::job()
{
    TrialLoad load;
    std::uint64_t generation = 0;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        load = m_next;
        generation = m_generation.load();
    }
    const auto stopped = [this, generation] { return m_generation.load() != generation; };
    if (stopped())
        return;
    TrialLoaded loaded = LoadTrial(load, stopped, &m_percent);
    if (stopped())
        return;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_done.emplace(generation, std::move(loaded));
    }
    QMetaObject::invokeMethod(this, &TrialLoader::handOver, Qt::QueuedConnection);
}

void TrialLoader::handOver()
{
    std::optional<std::pair<std::uint64_t, TrialLoaded>> done;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        done.swap(m_done);
    }
    if (!done || done->first != m_generation.load())
        return;
    m_busy = false;
    m_take(std::move(done->second));
}

} // namespace quarven
