#include "batch_run.h"

#include "app/file_io.h"
#include "app/progress_bar.h"
#include "trial/block_memory.h"
#include "trial/trial_run.h"
#include "trial/trial_workbook.h"

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
#include <variant>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace quarven {
namespace {

constexpr std::size_t kPiece = std::size_t{1} << 20;

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
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

// What went wrong, in one line; nothing when all went well.
using Failure = std::optional<QString>;

QString inFile(const QString& name, const QString& reason)
{
    return QStringLiteral("%1: %2").arg(name, reason);
}

int failure(const QString& text)
{
    std::fprintf(stderr, "quarven: %s\n", qPrintable(text));
    return kExitFailed;
}

// Copies what was staged to standard output, once the run has succeeded, and
// closes it: some file systems tell of a failed write only at the close.
Failure copyToStandardOutput(int staged, const QString& stagedName, char* buffer)
{
    const QString output = QStringLiteral("standard output: %1");
    if (::lseek(staged, 0, SEEK_SET) != 0)
        return inFile(stagedName, systemError(errno));
    for (;;) {
        const ssize_t got = ::read(staged, buffer, kPiece);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return inFile(stagedName, systemError(errno));
        if (got == 0)
            break;
        if (const int error = writeAll(STDOUT_FILENO, buffer, static_cast<std::size_t>(got)))
            return output.arg(systemError(error));
    }
    if (std::fflush(stdout) != 0 || (::close(STDOUT_FILENO) != 0 && errno != EINTR))
        return output.arg(systemError(errno));
    return std::nullopt;
}

// One output, written whole or not at all. A file waits in QSaveFile's
// temporary file; standard output gets nothing until the run has succeeded,
// so what is meant for it waits in a temporary file too. The writes and the
// sync are made here, where their errors can be told: QSaveFile ignores the
// result of its own sync.
struct Output {
    QString path;    // "-" for standard output, empty for none
    QString what;    // in messages: "results" or "summary"
    FilePlace place; // of a file, once checked
    std::unique_ptr<QSaveFile> file;
    std::unique_ptr<QTemporaryFile> staged;
    int handle = -1;
    QString name;                         // of what is written, in messages
    std::unique_ptr<WorkbookWriter> book; // in place of file for a path ending in .xlsx

    [[nodiscard]] bool wanted() const { return !path.isEmpty(); }
    [[nodiscard]] bool toFile() const { return wanted() && path != QLatin1String("-"); }
};

// A workbook's failure so far, told as any other file's.
Failure bookFailure(const Output& output)
{
    if (!output.book || !output.book->failed())
        return std::nullopt;
    return inFile(output.name, QString::fromStdString(output.book->error()));
}

Failure openInput(QFile& input, const QString& trial, const QString& trialName)
{
    const QIODevice::OpenMode reading = QIODevice::ReadOnly | QIODevice::Unbuffered;
    if (trial == QLatin1String("-"))
        return input.open(stdin, reading) ? Failure() : inFile(trialName, input.errorString());
    if (QFileInfo(trial).isDir())
        return inFile(trialName, QStringLiteral("is a folder"));
    input.setFileName(trial);
    return input.open(reading) ? Failure() : inFile(trialName, input.errorString());
}

// The files themselves are compared, not their names: standard input, a
// hard link or a symbolic one may be the trial, or the other output, under
// another name, and a link may lead to where the other output is still to
// be made. kept: the trial, then any output checked before.
Failure checkTarget(Output& output, std::vector<FilePlace>& kept,
                    const std::vector<const Output*>& keptOutputs)
{
    if (!output.toFile())
        return std::nullopt;
    const TargetCheck check = CheckTarget(output.path, kept);
    output.place = check.place;
    switch (check.refusal) {
    case TargetRefusal::None:
        kept.push_back(check.place);
        return std::nullopt;
    case TargetRefusal::Kept:
        return inFile(output.path,
                      QStringLiteral("will not write the %1 over the %2 file")
                          .arg(output.what, check.kept == 0 ? QStringLiteral("trial")
                                                            : keptOutputs[check.kept - 1]->what));
    case TargetRefusal::Folder:
        return inFile(output.path, QStringLiteral("is a folder"));
    case TargetRefusal::NotRegular:
        // Replaced by a regular file, a device or pipe would be lost.
        return inFile(output.path, QStringLiteral("is not a regular file; write to a device "
                                                  "or pipe through standard output"));
    case TargetRefusal::Unreachable:
        break;
    }
    return inFile(output.path, systemError(check.place.error));
}

Failure openOutput(Output& output, int year)
{
    if (!output.wanted())
        return std::nullopt;
    if (!output.toFile()) {
        output.staged = std::make_unique<QTemporaryFile>();
        if (!output.staged->open())
            return QStringLiteral("cannot make a temporary file: %1")
                .arg(output.staged->errorString());
        output.handle = output.staged->handle();
        output.name = output.staged->fileName();
        return std::nullopt;
    }
    output.name = output.path;
    if (output.path.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive)) {
        output.book = std::make_unique<WorkbookWriter>(
            QFile::encodeName(output.place.file).toStdString(), year);
        return bookFailure(output);
    }
    // Where the check found the path to lead, its links followed.
    output.file = std::make_unique<QSaveFile>(output.place.file);
    if (!output.file->open(QIODevice::WriteOnly))
        return inFile(output.path, output.file->errorString());
    output.handle = output.file->handle();
    output.name = output.path;
    return std::nullopt;
}

// The trial open, both outputs checked against it and each other, and ready.
Failure openFiles(const BatchOptions& options, const QString& trialName, QFile& input,
                  Output& results, Output& summary)
{
    if (options.trial == QLatin1String("-") && options.closed.input)
        return QStringLiteral("standard input: %1").arg(systemError(EBADF));
    for (const Output* output : {&results, &summary})
        if (output->wanted() && !output->toFile() && options.closed.output)
            return QStringLiteral("standard output: %1").arg(systemError(EBADF));
    if (Failure failed = openInput(input, options.trial, trialName))
        return failed;
    if (results.toFile() || summary.toFile()) {
        std::vector<FilePlace> kept{FilePlace::OfOpenFile(input.handle())};
        if (kept.front().error != 0)
            return inFile(trialName, systemError(kept.front().error));
        std::vector<const Output*> keptOutputs;
        for (Output* output : {&results, &summary}) {
            if (Failure failed = checkTarget(*output, kept, keptOutputs))
                return failed;
            if (output->toFile())
                keptOutputs.push_back(output);
        }
    }
    if (Failure failed = openOutput(results, options.settings.year))
        return failed;
    return openOutput(summary, options.settings.year);
}

// "trial.csv:7: reason", or "book.xlsx: reason" for the file as a whole.
QString trialFailure(const QString& trialName, const TrialError& error)
{
    const QString message = QString::fromStdString(error.message);
    if (error.line == 0)
        return inFile(trialName, message);
    return QStringLiteral("%1:%2: %3").arg(trialName).arg(error.line).arg(message);
}

// Up to `size` bytes, fewer only at the end of the input: a pipe gives what
// it holds at the moment.
Failure readSome(QFile& input, const QString& trialName, char* bytes, qint64 size, qint64& got)
{
    got = 0;
    while (got < size) {
        const qint64 read = input.read(bytes + got, size - got);
        if (read < 0)
            return inFile(trialName, input.errorString());
        if (read == 0)
            break;
        got += read;
    }
    return std::nullopt;
}

// The trial through the run, piece by piece, from the bytes already read on.
// The run's own writes tell their error in writeError and stop the reading.
Failure pump(QFile& input, bool fromStandardInput, const QString& trialName, TrialRun& run,
             const int& writeError, char* bytes, std::string_view first)
{
    ProgressBar progress(fromStandardInput ? 0 : input.size());
    qint64 done = static_cast<qint64>(first.size());
    std::optional<TrialError> error = run.read(first);
    while (!error && writeError == 0) {
        const qint64 got = input.read(bytes, static_cast<qint64>(kPiece));
        if (got < 0) {
            progress.finish();
            return inFile(trialName, input.errorString());
        }
        if (got == 0)
            break;
        done += got;
        error = run.read(std::string_view(bytes, static_cast<std::size_t>(got)));
        progress.update(done);
    }
    if (!error && writeError == 0)
        error = run.finish();
    progress.finish();
    if (!error)
        return std::nullopt;
    return trialFailure(trialName, *error);
}

// A workbook from its file, or, through standard input or a pipe, held in
// memory up to the reader's bound.
Failure readWorkbook(QFile& input, const BatchOptions& options, const QString& trialName,
                     TrialRun& run, const int& writeError, std::string_view first, char* bytes)
{
    std::optional<TrialError> error;
    if (options.trial != QLatin1String("-") && !input.isSequential()) {
        error =
            run.readWorkbook(WorkbookSource::File(QFile::encodeName(options.trial).toStdString()),
                             options.sheet.toStdString());
    } else {
        std::string book(first);
        for (;;) {
            const qint64 got = input.read(bytes, static_cast<qint64>(kPiece));
            if (got < 0)
                return inFile(trialName, input.errorString());
            if (got == 0)
                break;
            if (book.size() + static_cast<std::size_t>(got) > kWorkbookInMemory)
                return inFile(trialName,
                              QStringLiteral("a workbook of more than %1 MiB is read from its "
                                             "file, not through standard input or a pipe")
                                  .arg(kWorkbookInMemory >> 20));
            book.append(bytes, static_cast<std::size_t>(got));
        }
        error = run.readWorkbook(WorkbookSource::Bytes(book), options.sheet.toStdString());
    }
    if (!error && writeError == 0)
        error = run.finish();
    if (!error)
        return std::nullopt;
    return trialFailure(trialName, *error);
}

// The trial by its first bytes, never by its name.
Failure readTrial(QFile& input, const BatchOptions& options, const QString& trialName,
                  TrialRun& run, const int& writeError, char* bytes)
{
    qint64 got = 0;
    if (Failure failed = readSome(input, trialName, bytes, kKindBytes, got))
        return failed;
    const std::string_view first(bytes, static_cast<std::size_t>(got));
    const bool workbook = KindOfTrialFile(first) != TrialFileKind::Text;
    if (!workbook && !options.sheet.isEmpty())
        return inFile(trialName, QStringLiteral("--sheet %1: the trial is a text file, not a "
                                                "workbook (.xlsx, .ods or .xls)")
                                     .arg(options.sheet));
    if (workbook)
        return readWorkbook(input, options, trialName, run, writeError, first, bytes);
    // The piece buffer is read into again: what it holds goes first.
    const std::string held(first);
    return pump(input, options.trial == QLatin1String("-"), trialName, run, writeError, bytes,
                held);
}

Failure writeSummary(const TrialRun& run, const std::vector<Standard>& standards,
                     const QString& trialName, Output& output)
{
    if (!output.wanted())
        return std::nullopt;
    const OrError<Summary> summary = run.summary().summarise(standards);
    if (const auto* error = std::get_if<SummaryError>(&summary))
        return inFile(trialName, QString::fromStdString(error->message));
    if (output.book) {
        AddSheet(*output.book, SummaryTable(std::get<Summary>(summary)));
        return bookFailure(output);
    }
    const std::string text =
        SummaryText(std::get<Summary>(summary), run.separator(), run.decimalMark());
    if (const int error = writeAll(output.handle, text.data(), text.size()))
        return inFile(output.name, systemError(error));
    return std::nullopt;
}

Failure syncOutput(const Output& output)
{
    if (output.book && !output.book->finish())
        return bookFailure(output);
    if (!output.file)
        return std::nullopt;
    const int synced = SyncFile(output.handle);
    return synced == 0 ? Failure() : inFile(output.name, systemError(synced));
}

Failure commitOutput(Output& output, char* buffer)
{
    if (output.book && !output.book->commit())
        return bookFailure(output);
    if (output.file && !output.file->commit())
        return inFile(output.name, output.file->errorString());
    if (output.staged)
        return copyToStandardOutput(output.handle, output.name, buffer);
    return std::nullopt;
}

// Both outputs on the disk before either takes the place of an old file, so
// that a failed sync leaves both as they were.
Failure deliver(Output& results, Output& summary, char* buffer)
{
    if (Failure failed = syncOutput(results))
        return failed;
    if (Failure failed = syncOutput(summary))
        return failed;
    if (Failure failed = commitOutput(results, buffer))
        return failed;
    return commitOutput(summary, buffer);
}

int runBatch(const BatchOptions& options, const QString& trialName)
{
    QFile input;
    Output results{options.results, QStringLiteral("results"), {}, {}, {}, -1, {}, {}};
    Output summary{options.summary, QStringLiteral("summary"), {}, {}, {}, -1, {}, {}};
    if (Failure failed = openFiles(options, trialName, input, results, summary))
        return failure(*failed);

    int writeError = 0;
    TrialRun run(options.settings, [&](std::string_view piece) {
        if (!results.wanted() || results.book)
            return;
        if (writeError == 0)
            writeError = writeAll(results.handle, piece.data(), piece.size());
    });
    if (options.groupBy)
        run.summariseBy(*options.groupBy);
    std::optional<ResultsSheet> sheet;
    if (results.book)
        run.keepResults([&](const PlotResult& result) {
            if (!sheet)
                sheet.emplace(*results.book, run.copiedNames());
            sheet->add(result);
        });

    // One huge page, never cleared by hand: a vector's zeroed megabyte cost
    // 256 page faults, a tenth of a small trial's whole run.
    const MemoryBlock buffer = AllocateBlock(kMemoryBlockBytes);
    if (!buffer)
        return failure(inFile(trialName, QLatin1String(kOutOfMemory)));
    static_assert(kPiece <= kMemoryBlockBytes);
    char* const bytes = static_cast<char*>(buffer.get());
    Failure failed = readTrial(input, options, trialName, run, writeError, bytes);
    if (!failed && writeError != 0)
        failed = inFile(results.name, systemError(writeError));
    if (!failed && results.book && !sheet)
        sheet.emplace(*results.book, run.copiedNames());
    if (!failed)
        failed = bookFailure(results);
    if (!failed)
        failed = writeSummary(run, options.standards, trialName, summary);
    if (!failed)
        failed = deliver(results, summary, bytes);
    if (failed)
        return failure(*failed);
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
