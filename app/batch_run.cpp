#include "batch_run.h"

#include "app/progress_bar.h"
#include "core/block_memory.h"
#include "core/trial_run.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>

#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#if defined(Q_OS_LINUX)
#include <unistd.h>
#endif

namespace quarven {
namespace {

constexpr qint64 kPiece = qint64{1} << 20;

// Sends the results already written on to the disk in the background, a few
// MiB at a time, while the rest are still being made. QSaveFile::commit still
// syncs the whole file before the rename, so nothing is less durable; its
// sync then finds little left to wait for, where it found all 60 MB of a
// million plots' results.
class EarlySync {
public:
    // handle: the file's descriptor, or -1 for none to sync.
    explicit EarlySync(int handle) : m_handle(handle) {}
    ~EarlySync() { stop(); }
    EarlySync(const EarlySync&) = delete;
    EarlySync& operator=(const EarlySync&) = delete;

    void written(std::size_t bytes)
    {
        m_unsynced += bytes;
        if (m_unsynced < kEvery || m_handle < 0)
            return;
        m_unsynced = 0;
        // Small results never get this far, nor a thread.
        if (!m_thread.joinable() && !start())
            return;
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_wanted = true;
        }
        m_changed.notify_one();
    }
    // Waits for a sync under way.
    void stop()
    {
        if (!m_thread.joinable())
            return;
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_stopping = true;
        }
        m_changed.notify_one();
        m_thread.join();
    }

private:
    static constexpr std::size_t kEvery = std::size_t{8} << 20;

    bool start()
    {
#if defined(Q_OS_LINUX)
        try {
            m_thread = std::thread([this] { run(); });
            return true;
        } catch (const std::system_error&) {
            // Then the final sync does all the work, as it would anyway.
        }
#endif
        m_handle = -1;
        return false;
    }

    void run()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [this] { return m_wanted || m_stopping; });
            if (m_stopping)
                return;
            m_wanted = false;
            lock.unlock();
#if defined(Q_OS_LINUX)
            // A failure here shows again in the final sync, which reports it.
            (void)::fdatasync(m_handle);
#endif
            lock.lock();
        }
    }

    int m_handle;
    std::size_t m_unsynced = 0;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_wanted = false;
    bool m_stopping = false;
};

int failure(const QString& text)
{
    std::fprintf(stderr, "quarven: %s\n", qPrintable(text));
    return kExitFailed;
}

// Copies what was staged to standard output, once the run has succeeded.
bool copyToStandardOutput(QIODevice& staged)
{
    QFile out;
    if (!staged.seek(0) || !out.open(stdout, QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    std::vector<char> buffer(static_cast<std::size_t>(kPiece));
    for (;;) {
        const qint64 got = staged.read(buffer.data(), kPiece);
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        if (out.write(buffer.data(), got) != got)
            return false;
    }
}

} // namespace

int RunBatch(const BatchOptions& options)
{
    const bool fromStandardInput = options.trial == QLatin1String("-");
    const bool toStandardOutput = options.results == QLatin1String("-");
    const QString trialName = fromStandardInput ? QStringLiteral("standard input") : options.trial;

    if (!fromStandardInput && !toStandardOutput) {
        const QFileInfo trial(options.trial);
        const QFileInfo results(options.results);
        if (trial.exists() && results.exists() &&
            trial.canonicalFilePath() == results.canonicalFilePath())
            return failure(QStringLiteral("%1: will not write the results over the trial file")
                               .arg(options.results));
    }

    QFile input;
    const QIODevice::OpenMode reading = QIODevice::ReadOnly | QIODevice::Unbuffered;
    if (fromStandardInput) {
        if (!input.open(stdin, reading))
            return failure(QStringLiteral("%1: %2").arg(trialName, input.errorString()));
    } else {
        input.setFileName(options.trial);
        if (QFileInfo(options.trial).isDir() || !input.open(reading))
            return failure(QStringLiteral("%1: %2").arg(
                trialName, QFileInfo(options.trial).isDir() ? QStringLiteral("is a folder")
                                                            : input.errorString()));
    }

    // Standard output gets nothing until the run has succeeded: the results
    // wait in a temporary file, as a results file waits in QSaveFile's.
    std::unique_ptr<QSaveFile> resultsFile;
    std::unique_ptr<QTemporaryFile> staged;
    QIODevice* sink = nullptr;
    if (toStandardOutput) {
        staged = std::make_unique<QTemporaryFile>();
        if (!staged->open())
            return failure(
                QStringLiteral("cannot make a temporary file: %1").arg(staged->errorString()));
        sink = staged.get();
    } else {
        resultsFile = std::make_unique<QSaveFile>(options.results);
        if (!resultsFile->open(QIODevice::WriteOnly))
            return failure(
                QStringLiteral("%1: %2").arg(options.results, resultsFile->errorString()));
        sink = resultsFile.get();
    }

    EarlySync early(resultsFile ? resultsFile->handle() : -1);
    bool writeFailed = false;
    TrialRun run(options.settings, [&](std::string_view piece) {
        const auto size = static_cast<qint64>(piece.size());
        if (!writeFailed && sink->write(piece.data(), size) != size)
            writeFailed = true;
        early.written(piece.size());
    });

    ProgressBar progress(fromStandardInput ? 0 : input.size());
    // One huge page, never cleared by hand: a vector's zeroed megabyte cost
    // 256 page faults, a tenth of a small trial's whole run.
    const MemoryBlock buffer = AllocateBlock(kMemoryBlockBytes);
    if (!buffer)
        return failure(QStringLiteral("out of memory"));
    static_assert(kPiece <= static_cast<qint64>(kMemoryBlockBytes));
    qint64 done = 0;
    std::optional<TrialError> error;
    for (;;) {
        const qint64 got = input.read(static_cast<char*>(buffer.get()), kPiece);
        if (got < 0) {
            progress.finish();
            return failure(QStringLiteral("%1: %2").arg(trialName, input.errorString()));
        }
        if (got == 0)
            break;
        done += got;
        error = run.read(std::string_view(static_cast<const char*>(buffer.get()),
                                          static_cast<std::size_t>(got)));
        if (error)
            break;
        progress.update(done);
    }
    if (!error)
        error = run.finish();
    progress.finish();
    early.stop();
    if (error)
        return failure(QStringLiteral("%1:%2: %3")
                           .arg(trialName)
                           .arg(error->line)
                           .arg(QString::fromStdString(error->message)));

    const QString resultsName =
        toStandardOutput ? QStringLiteral("standard output") : options.results;
    if (writeFailed)
        return failure(QStringLiteral("%1: %2").arg(resultsName, sink->errorString()));
    if (resultsFile && !resultsFile->commit())
        return failure(QStringLiteral("%1: %2").arg(resultsName, resultsFile->errorString()));
    if (staged && !copyToStandardOutput(*staged))
        return failure(QStringLiteral("%1: cannot be written").arg(resultsName));
    return run.refused() > 0 ? kExitRefused : kExitComputed;
}

} // namespace quarven
