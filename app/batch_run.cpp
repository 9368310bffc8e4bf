#include "batch_run.h"

#include "app/progress_bar.h"
#include "core/trial_run.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>

#include <cstdio>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace quarven {
namespace {

constexpr qint64 kPiece = qint64{1} << 20;

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

    bool writeFailed = false;
    TrialRun run(options.settings, [&](std::string_view piece) {
        const auto size = static_cast<qint64>(piece.size());
        if (!writeFailed && sink->write(piece.data(), size) != size)
            writeFailed = true;
    });

    ProgressBar progress(fromStandardInput ? 0 : input.size());
    std::vector<char> buffer(static_cast<std::size_t>(kPiece));
    qint64 done = 0;
    std::optional<TrialError> error;
    for (;;) {
        const qint64 got = input.read(buffer.data(), kPiece);
        if (got < 0) {
            progress.finish();
            return failure(QStringLiteral("%1: %2").arg(trialName, input.errorString()));
        }
        if (got == 0)
            break;
        done += got;
        error = run.read(std::string_view(buffer.data(), static_cast<std::size_t>(got)));
        if (error)
            break;
        progress.update(done);
    }
    if (!error)
        error = run.finish();
    progress.finish();
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
