#include "batch_run.h"

#include "app/progress_bar.h"
#include "trial/block_memory.h"
#include "trial/trial_run.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string_view>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quarven {
namespace {

constexpr std::size_t kPiece = std::size_t{1} << 20;

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The file's data on the disk: 0, or the system's error.
int syncFile(int handle)
{
#if defined(Q_OS_LINUX)
    return ::fdatasync(handle) == 0 ? 0 : errno;
#else
    return ::fsync(handle) == 0 ? 0 : errno;
#endif
}

// All of the bytes: 0, or the system's error.
int writeAll(int handle, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t done = ::write(handle, data, size);
        if (done > 0) {
            data += done;
            size -= static_cast<std::size_t>(done);
        } else if (done == 0) {
            return EIO;
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            // Standard output may have been left non-blocking by another program.
            pollfd ready{handle, POLLOUT, 0};
            (void)::poll(&ready, 1, -1);
        } else if (errno != EINTR) {
            return errno;
        }
    }
    return 0;
}

int failure(const QString& text)
{
    std::fprintf(stderr, "quarven: %s\n", qPrintable(text));
    return kExitFailed;
}

// Copies what was staged to standard output, once the run has succeeded, and
// closes it: some file systems tell of a failed write only at the close.
std::optional<QString> copyToStandardOutput(int staged, const QString& stagedName, char* buffer)
{
    const QString output = QStringLiteral("standard output: %1");
    if (::lseek(staged, 0, SEEK_SET) != 0)
        return QStringLiteral("%1: %2").arg(stagedName, systemError(errno));
    for (;;) {
        const ssize_t got = ::read(staged, buffer, kPiece);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return QStringLiteral("%1: %2").arg(stagedName, systemError(errno));
        if (got == 0)
            break;
        if (const int error = writeAll(STDOUT_FILENO, buffer, static_cast<std::size_t>(got)))
            return output.arg(systemError(error));
    }
    if (std::fflush(stdout) != 0 || (::close(STDOUT_FILENO) != 0 && errno != EINTR))
        return output.arg(systemError(errno));
    return std::nullopt;
}

int runBatch(const BatchOptions& options, const QString& trialName)
{
    const bool fromStandardInput = options.trial == QLatin1String("-");
    const bool toStandardOutput = options.results == QLatin1String("-");
    if (fromStandardInput && options.closed.input)
        return failure(QStringLiteral("standard input: %1").arg(systemError(EBADF)));
    if (toStandardOutput && options.closed.output)
        return failure(QStringLiteral("standard output: %1").arg(systemError(EBADF)));

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

    // The files themselves are compared, not their names: standard input, a
    // hard link or a symbolic one may be the trial under another name.
    if (!toStandardOutput) {
        struct stat trial {};
        struct stat existing {};
        if (::fstat(input.handle(), &trial) != 0)
            return failure(QStringLiteral("%1: %2").arg(trialName, systemError(errno)));
        if (::stat(QFile::encodeName(options.results).constData(), &existing) == 0) {
            if (existing.st_dev == trial.st_dev && existing.st_ino == trial.st_ino)
                return failure(QStringLiteral("%1: will not write the results over the trial file")
                                   .arg(options.results));
            // Replaced by a regular file, a device or pipe would be lost.
            if (S_ISDIR(existing.st_mode))
                return failure(QStringLiteral("%1: is a folder").arg(options.results));
            if (!S_ISREG(existing.st_mode))
                return failure(QStringLiteral("%1: is not a regular file; write to a device or "
                                              "pipe through standard output")
                                   .arg(options.results));
        }
    }

    // Standard output gets nothing until the run has succeeded: the results
    // wait in a temporary file, as a results file waits in QSaveFile's. The
    // writes and the sync are made here, where their errors can be told;
    // QSaveFile ignores the result of its own sync.
    std::unique_ptr<QSaveFile> resultsFile;
    std::unique_ptr<QTemporaryFile> staged;
    int sink = -1;
    QString sinkName;
    if (toStandardOutput) {
        staged = std::make_unique<QTemporaryFile>();
        if (!staged->open())
            return failure(
                QStringLiteral("cannot make a temporary file: %1").arg(staged->errorString()));
        sink = staged->handle();
        sinkName = staged->fileName();
    } else {
        resultsFile = std::make_unique<QSaveFile>(options.results);
        if (!resultsFile->open(QIODevice::WriteOnly))
            return failure(
                QStringLiteral("%1: %2").arg(options.results, resultsFile->errorString()));
        sink = resultsFile->handle();
        sinkName = options.results;
    }

    int writeError = 0;
    TrialRun run(options.settings, [&](std::string_view piece) {
        if (writeError == 0)
            writeError = writeAll(sink, piece.data(), piece.size());
    });

    ProgressBar progress(fromStandardInput ? 0 : input.size());
    // One huge page, never cleared by hand: a vector's zeroed megabyte cost
    // 256 page faults, a tenth of a small trial's whole run.
    const MemoryBlock buffer = AllocateBlock(kMemoryBlockBytes);
    if (!buffer)
        return failure(QStringLiteral("%1: %2").arg(trialName, QLatin1String(kOutOfMemory)));
    static_assert(kPiece <= kMemoryBlockBytes);
    char* const bytes = static_cast<char*>(buffer.get());
    qint64 done = 0;
    std::optional<TrialError> error;
    for (;;) {
        const qint64 got = input.read(bytes, static_cast<qint64>(kPiece));
        if (got < 0) {
            progress.finish();
            return failure(QStringLiteral("%1: %2").arg(trialName, input.errorString()));
        }
        if (got == 0)
            break;
        done += got;
        error = run.read(std::string_view(bytes, static_cast<std::size_t>(got)));
        if (error || writeError != 0)
            break;
        progress.update(done);
    }
    if (!error && writeError == 0)
        error = run.finish();
    progress.finish();
    if (error)
        return failure(QStringLiteral("%1:%2: %3")
                           .arg(trialName)
                           .arg(error->line)
                           .arg(QString::fromStdString(error->message)));
    if (writeError != 0)
        return failure(QStringLiteral("%1: %2").arg(sinkName, systemError(writeError)));

    if (resultsFile) {
        const int synced = syncFile(sink);
        if (synced != 0)
            return failure(QStringLiteral("%1: %2").arg(sinkName, systemError(synced)));
        if (!resultsFile->commit())
            return failure(QStringLiteral("%1: %2").arg(sinkName, resultsFile->errorString()));
    } else if (const std::optional<QString> failed = copyToStandardOutput(sink, sinkName, bytes)) {
        return failure(*failed);
    }
    return run.refused() > 0 ? kExitRefused : kExitComputed;
}

} // namespace

ClosedStreams HoldStandardStreams()
{
    ClosedStreams closed;
    for (const int handle : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (::fcntl(handle, F_GETFD) != -1 || errno != EBADF)
            continue;
        // The lowest free number is this one.
        const int opened = ::open("/dev/null", handle == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        if (opened >= 0 && opened != handle)
            ::close(opened);
        if (handle == STDIN_FILENO)
            closed.input = true;
        else if (handle == STDOUT_FILENO)
            closed.output = true;
    }
    return closed;
}

int RunBatch(const BatchOptions& options)
{
    const QString trialName =
        options.trial == QLatin1String("-") ? QStringLiteral("standard input") : options.trial;
    // Made before memory can run out, to be told when it has.
    const QByteArray outOfMemory = QStringLiteral("quarven: %1: %2\n")
                                       .arg(trialName, QLatin1String(kOutOfMemory))
                                       .toLocal8Bit();
    try {
        return runBatch(options, trialName);
    } catch (const std::bad_alloc&) {
        std::fputs(outOfMemory.constData(), stderr);
        return kExitFailed;
    }
}

} // namespace quarven
