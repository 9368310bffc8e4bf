#include "batch_run.h"

#include "app/file_io.h"
#include "app/module_loader.h"
#include "app/progress_bar.h"
#include "core/value_conventions.h"
#include "report/report_data.h"
#include "report/report_entry.h"
#include "trial/block_memory.h"
#include "trial/group_curves.h"
#include "trial/site_evaluation.h"
#include "trial/trial_run.h"
#include "trial/trial_workbook.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
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
// Read at a time while only a trial's header is wanted.
constexpr qint64 kHeaderPiece = qint64{64} << 10;

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
    QString what;    // in messages: "results", "summary"...
    FilePlace place; // of a file, once checked
    std::unique_ptr<QSaveFile> file;
    std::unique_ptr<QTemporaryFile> staged;
    int handle = -1;
    QString name; // of what is written, in messages
    // A path ending in .xlsx: the text waits in `staged` and is made a
    // workbook, its cells typed by their columns, when the outputs are synced.
    std::unique_ptr<WorkbookWriter> book;

    [[nodiscard]] bool wanted() const { return !path.isEmpty(); }
    [[nodiscard]] bool toFile() const { return wanted() && path != QLatin1String("-"); }
    [[nodiscard]] bool toWorkbook() const
    {
        return toFile() && what != QLatin1String("report") &&
               path.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive);
    }
};

struct Outputs {
    Output results, summary, fit, combined, report;
    [[nodiscard]] std::array<Output*, 5> all()
    {
        return {&results, &summary, &fit, &combined, &report};
    }
};

// A trial file, and what has been read of it ahead of its turn.
struct Trial {
    QString path; // "-" for standard input
    QString name; // in messages
    QString site; // when each file is a site
    QFile input;
    bool workbook = false;
    // Its first bytes, read ahead; a workbook that cannot be read again
    // from its file, all of it.
    std::string held;
    bool wholeHeld = false;
    // Read ahead when there are several trials or a site column.
    std::optional<TrialHeader> header;
    // For the report, which reads the trials again: a copy of one that
    // cannot be read again.
    std::unique_ptr<QTemporaryFile> copy;

    [[nodiscard]] bool fromStandardInput() const { return path == QLatin1String("-"); }
    [[nodiscard]] bool readOnce() const { return fromStandardInput() || input.isSequential(); }
};

// "trial.csv:7: reason", or "book.xlsx: reason" for the file as a whole.
QString trialFailure(const QString& trialName, const TrialError& error)
{
    const QString message = QString::fromStdString(error.message);
    if (error.line == 0)
        return inFile(trialName, message);
    return QStringLiteral("%1:%2: %3").arg(trialName).arg(error.line).arg(message);
}

Failure openInput(Trial& trial)
{
    const QIODevice::OpenMode reading = QIODevice::ReadOnly | QIODevice::Unbuffered;
    if (trial.fromStandardInput())
        return trial.input.open(stdin, reading) ? Failure()
                                                : inFile(trial.name, trial.input.errorString());
    if (QFileInfo(trial.path).isDir())
        return inFile(trial.name, QStringLiteral("is a folder"));
    trial.input.setFileName(trial.path);
    return trial.input.open(reading) ? Failure() : inFile(trial.name, trial.input.errorString());
}

// The files themselves are compared, not their names: standard input, a
// hard link or a symbolic one may be a trial, or another output, under
// another name, and a link may lead to where another output is still to be
// made. kept: the trials, then the outputs checked before, each with what it
// is.
Failure checkTarget(Output& output, std::vector<FilePlace>& kept, std::vector<QString>& keptWhat)
{
    if (!output.toFile())
        return std::nullopt;
    const TargetCheck check = CheckTarget(output.path, kept);
    output.place = check.place;
    switch (check.refusal) {
    case TargetRefusal::None:
        kept.push_back(check.place);
        keptWhat.push_back(output.what);
        return std::nullopt;
    case TargetRefusal::Kept:
        return inFile(output.path, QStringLiteral("will not write the %1 over the %2 file")
                                       .arg(output.what, keptWhat[check.kept]));
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

Failure openOutput(Output& output)
{
    if (!output.wanted())
        return std::nullopt;
    if (!output.toFile() || output.toWorkbook()) {
        output.staged = std::make_unique<QTemporaryFile>();
        if (!output.staged->open())
            return QStringLiteral("cannot make a temporary file: %1")
                .arg(output.staged->errorString());
        output.handle = output.staged->handle();
        output.name = output.staged->fileName();
        return std::nullopt;
    }
    // Where the check found the path to lead, its links followed.
    output.file = std::make_unique<QSaveFile>(output.place.file);
    if (!output.file->open(QIODevice::WriteOnly))
        return inFile(output.path, output.file->errorString());
    output.handle = output.file->handle();
    output.name = output.path;
    return std::nullopt;
}

// Every trial open, every output checked against them and each other, and
// ready.
Failure openFiles(const BatchOptions& options, std::deque<Trial>& trials, Outputs& outputs)
{
    std::vector<FilePlace> kept;
    std::vector<QString> keptWhat;
    for (Trial& trial : trials) {
        if (trial.fromStandardInput() && options.closed.input)
            return QStringLiteral("standard input: %1").arg(systemError(EBADF));
        if (Failure failed = openInput(trial))
            return failed;
        const FilePlace place = FilePlace::OfOpenFile(trial.input.handle());
        if (place.error != 0)
            return inFile(trial.name, systemError(place.error));
        for (std::size_t i = 0; i < kept.size(); ++i)
            if (place.kind == FilePlace::Kind::Regular && kept[i] == place)
                return inFile(trial.name,
                              QStringLiteral("is the same file as %1").arg(trials[i].name));
        kept.push_back(place);
        keptWhat.push_back(QStringLiteral("trial"));
    }
    for (Output* output : outputs.all())
        if (output->wanted() && !output->toFile() && options.closed.output)
            return QStringLiteral("standard output: %1").arg(systemError(EBADF));
    for (Output* output : outputs.all())
        if (Failure failed = checkTarget(*output, kept, keptWhat))
            return failed;
    for (Output* output : outputs.all())
        if (Failure failed = openOutput(*output))
            return failed;
    return std::nullopt;
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

// The report reads a trial again: one that cannot be is copied as it is read.
Failure copyForReport(Trial& trial, std::string_view piece)
{
    if (!trial.copy)
        return std::nullopt;
    if (const int error = writeAll(trial.copy->handle(), piece.data(), piece.size()))
        return inFile(trial.copy->fileName(), systemError(error));
    return std::nullopt;
}

// A workbook through standard input or a pipe, held in memory up to the
// reader's bound.
Failure holdWorkbook(Trial& trial, char* bytes)
{
    for (;;) {
        const qint64 got = trial.input.read(bytes, static_cast<qint64>(kPiece));
        if (got < 0)
            return inFile(trial.name, trial.input.errorString());
        if (got == 0)
            break;
        if (trial.held.size() + static_cast<std::size_t>(got) > kWorkbookInMemory)
            return inFile(trial.name,
                          QStringLiteral("a workbook of more than %1 MiB is read from its "
                                         "file, not through standard input or a pipe")
                              .arg(kWorkbookInMemory >> 20));
        trial.held.append(bytes, static_cast<std::size_t>(got));
    }
    trial.wholeHeld = true;
    return copyForReport(trial, trial.held);
}

// The trial's kind by its first bytes, never by its name.
Failure readKind(Trial& trial, const BatchOptions& options, char* bytes)
{
    qint64 got = 0;
    if (Failure failed = readSome(trial.input, trial.name, bytes, kKindBytes, got))
        return failed;
    trial.held.assign(bytes, static_cast<std::size_t>(got));
    trial.workbook = KindOfTrialFile(trial.held) != TrialFileKind::Text;
    if (!trial.workbook && !options.sheet.isEmpty())
        return inFile(trial.name, QStringLiteral("--sheet %1: the trial is a text file, not a "
                                                 "workbook (.xlsx, .ods or .xls)")
                                      .arg(options.sheet));
    if (trial.workbook && trial.readOnce())
        return holdWorkbook(trial, bytes);
    return std::nullopt;
}

WorkbookSource workbookOf(const Trial& trial)
{
    if (trial.wholeHeld)
        return WorkbookSource::Bytes(trial.held);
    return WorkbookSource::File(QFile::encodeName(trial.path).toStdString());
}

// The columns the run is asked to find, in the trial's header.
Failure findColumns(const Trial& trial, const BatchOptions& options)
{
    const std::array<std::pair<const std::optional<std::string>*, const char*>, 2> columns{
        {{&options.groupBy, "to group by"}, {&options.siteBy, "to take the sites from"}}};
    for (const auto& [column, use] : columns) {
        if (!*column)
            continue;
        const OrError<std::size_t> found = GroupColumn(trial.header->copiedNames, **column, use);
        if (const auto* error = std::get_if<SummaryError>(&found))
            return trialFailure(trial.name, TrialError{trial.header->line, error->message});
    }
    return std::nullopt;
}

// The header ahead of the trial's turn, its bytes held to be read again.
Failure readHeader(Trial& trial, const BatchOptions& options, char* bytes)
{
    TrialHeaderReader reader(options.settings.reading);
    if (trial.workbook) {
        reader.readWorkbook(workbookOf(trial), options.sheet.toStdString());
    } else if (!reader.read(trial.held)) {
        for (;;) {
            const qint64 got = trial.input.read(bytes, kHeaderPiece);
            if (got < 0)
                return inFile(trial.name, trial.input.errorString());
            if (got == 0) {
                reader.finish();
                break;
            }
            const std::string_view piece(bytes, static_cast<std::size_t>(got));
            trial.held.append(piece);
            if (reader.read(piece))
                break;
        }
    }
    if (const std::optional<TrialError> error = reader.error())
        return trialFailure(trial.name, *error);
    trial.header = reader.header();
    return findColumns(trial, options);
}

// The trial through the run, piece by piece, from the bytes held on. The
// run's own writes tell their error in writeError and stop the reading.
Failure pump(Trial& trial, TrialRun& run, const int& writeError, char* bytes)
{
    ProgressBar progress(trial.fromStandardInput() ? 0 : trial.input.size());
    const std::string held = std::move(trial.held);
    trial.held.clear();
    qint64 done = static_cast<qint64>(held.size());
    Failure copied = copyForReport(trial, held);
    std::optional<TrialError> error = run.read(held);
    while (!error && !copied && writeError == 0) {
        const qint64 got = trial.input.read(bytes, static_cast<qint64>(kPiece));
        if (got < 0) {
            progress.finish();
            return inFile(trial.name, trial.input.errorString());
        }
        if (got == 0)
            break;
        done += got;
        const std::string_view piece(bytes, static_cast<std::size_t>(got));
        copied = copyForReport(trial, piece);
        error = run.read(piece);
        progress.update(done);
    }
    if (!error && !copied && writeError == 0)
        error = run.finish();
    progress.finish();
    if (copied)
        return copied;
    if (!error)
        return std::nullopt;
    return trialFailure(trial.name, *error);
}

Failure readTrial(Trial& trial, const BatchOptions& options, TrialRun& run, const int& writeError,
                  char* bytes)
{
    if (!trial.workbook)
        return pump(trial, run, writeError, bytes);
    std::optional<TrialError> error =
        run.readWorkbook(workbookOf(trial), options.sheet.toStdString());
    std::string().swap(trial.held);
    if (!error && writeError == 0)
        error = run.finish();
    if (!error)
        return std::nullopt;
    return trialFailure(trial.name, *error);
}

// Each site's sums over the trials, in the order sites first appear.
struct HeldSite {
    std::string name;
    TrialSummary sums;
};

struct Sites {
    std::deque<HeldSite> all;
    std::map<std::string, std::size_t, std::less<>> index;

    void add(const std::string& name, const TrialSummary& sums)
    {
        const auto [at, added] = index.emplace(name, all.size());
        if (added)
            all.push_back({name, sums});
        else
            all[at->second].sums.merge(sums);
    }
};

// What the run has read, for the texts after it.
struct RunRead {
    Sites sites;
    std::size_t refused = 0;
    char separator = ',';
    DecimalMark mark = DecimalMark::Point;
};

// A --site column named "site" is the site column the results begin with:
// written once, not twice under one name.
void dropSiteColumn(const BatchOptions& options, JoinedColumns& joined)
{
    const auto isSite = [](std::string_view name) {
        const std::string_view site = "site";
        return std::equal(name.begin(), name.end(), site.begin(), site.end(),
                          [](char a, char b) { return AsciiLower(a) == b; });
    };
    if (!options.siteBy || !isSite(*options.siteBy))
        return;
    for (std::size_t at = 0; at < joined.names.size(); ++at)
        if (isSite(joined.names[at])) {
            joined.names.erase(joined.names.begin() + static_cast<std::ptrdiff_t>(at));
            for (std::vector<std::size_t>& places : joined.places)
                places.erase(places.begin() + static_cast<std::ptrdiff_t>(at));
            return;
        }
}

// Every trial through a run of its own, one after another, their results in
// one text: the columns of them all and the first trial's separator and mark.
Failure runTrials(const BatchOptions& options, std::deque<Trial>& trials, Output& results,
                  char* bytes, std::size_t& current, RunRead& read)
{
    const bool several = trials.size() > 1;
    const bool joining = several || options.siteBy;
    JoinedColumns joined;
    if (joining) {
        std::vector<std::vector<std::string>> names;
        for (const Trial& trial : trials)
            names.push_back(trial.header->copiedNames);
        joined = JoinColumns(names);
        dropSiteColumn(options, joined);
    }
    for (current = 0; current < trials.size(); ++current) {
        Trial& trial = trials[current];
        int writeError = 0;
        TrialRun run(options.settings, [&](std::string_view piece) {
            if (results.wanted() && writeError == 0)
                writeError = writeAll(results.handle, piece.data(), piece.size());
        });
        if (options.groupBy)
            run.summariseBy(*options.groupBy);
        if (options.siteBy)
            run.sitesFrom(*options.siteBy);
        else if (several)
            run.atSite(trial.site.toStdString());
        if (joining)
            run.joinResults({trials.front().header->separator, false, joined.names,
                             joined.places[current], current == 0},
                            current == 0 ? std::nullopt : std::optional<DecimalMark>(read.mark));
        Failure failed = readTrial(trial, options, run, writeError, bytes);
        if (!failed && writeError != 0)
            failed = inFile(results.name, systemError(writeError));
        if (failed)
            return failed;
        if (current == 0) {
            read.separator = run.separator();
            read.mark = run.decimalMark();
        }
        read.refused += run.refused();
        for (const TrialRun::SiteSummary& site : run.sites())
            read.sites.add(options.siteBy ? site.name : trial.site.toStdString(), site.summary);
    }
    return std::nullopt;
}

Failure writeText(Output& output, const std::string& text)
{
    if (!output.wanted())
        return std::nullopt;
    if (const int error = writeAll(output.handle, text.data(), text.size()))
        return inFile(output.name, systemError(error));
    return std::nullopt;
}

// A trial read again, as it was read the first time, for the report.
Failure readAgain(const Trial& trial, const BatchOptions& options, TrialVisitor& visitor,
                  char* bytes)
{
    const QString path = trial.copy ? trial.copy->fileName() : trial.path;
    std::optional<TrialError> error;
    if (trial.workbook) {
        error = ReadTrialWorkbook(WorkbookSource::File(QFile::encodeName(path).toStdString()),
                                  options.sheet.toStdString(), visitor, options.settings.reading);
    } else {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
            return inFile(trial.name, file.errorString());
        TrialReader reader(visitor, options.settings.reading);
        while (!error) {
            const qint64 got = file.read(bytes, static_cast<qint64>(kPiece));
            if (got < 0)
                return inFile(trial.name, file.errorString());
            if (got == 0)
                break;
            error = reader.read(std::string_view(bytes, static_cast<std::size_t>(got)));
        }
        if (!error)
            error = reader.finish();
    }
    return error ? Failure(trialFailure(trial.name, *error)) : std::nullopt;
}

// The printed report through the report module: the evaluation, and the
// trials read again for the mean curves and the refused plots.
Failure writeReport(const BatchOptions& options, const std::deque<Trial>& trials,
                    const Evaluation& evaluation, Output& output, char* bytes)
{
    if (!output.wanted())
        return std::nullopt;
    const QString cannot = QStringLiteral("the report cannot be made: %1");
    std::string why = options.reportWhy.toStdString();
    const auto makePdf =
        why.empty() ? ModuleEntry<ReportPdfEntry>(kReportModule, kReportPdfSymbol, why) : nullptr;
    if (!makePdf)
        return inFile(output.path, cannot.arg(QString::fromStdString(why)));
    ReportData data;
    for (const Trial& trial : trials)
        data.trials.push_back(trial.name.toStdString());
    data.groupedBy = *options.groupBy;
    data.siteColumn = options.siteBy.value_or(std::string());
    data.standards = options.standards;
    data.evaluation = evaluation;
    GroupCurves curves;
    curves.keepRefused();
    ChooseCurves(evaluation, options.standards, curves);
    for (const Trial& trial : trials) {
        GroupCurveReader reader(
            {options.settings, *options.groupBy, data.siteColumn, trial.site.toStdString()},
            curves);
        if (Failure failed = readAgain(trial, options, reader, bytes))
            return failed;
        if (const std::optional<TrialError> error = reader.finish())
            return trialFailure(trial.name, *error);
    }
    data.curves = curves.curves();
    data.refused = curves.refused();
    QByteArray pdf;
    QString reason;
    if (!makePdf(data, pdf, &reason))
        return inFile(output.path, cannot.arg(reason));
    return writeText(output, pdf.toStdString());
}

// The summary and the texts over the sites, once every trial has been read;
// the notices and warnings on standard error.
Failure writeEvaluation(const BatchOptions& options, const std::deque<Trial>& trials,
                        const RunRead& read, Outputs& outputs, char* bytes)
{
    if (!options.groupBy)
        return std::nullopt;
    std::vector<SiteSums> sites;
    for (const HeldSite& site : read.sites.all)
        sites.push_back({site.name, &site.sums});
    const OrError<Evaluation> drawn = Evaluate(sites, options.standards);
    if (const auto* error = std::get_if<SummaryError>(&drawn)) {
        const QString message = QString::fromStdString(error->message);
        return trials.size() == 1 ? inFile(trials.front().name, message) : message;
    }
    const Evaluation& evaluation = std::get<Evaluation>(drawn);
    for (const std::string& line : EvaluationMessages(evaluation))
        std::fprintf(stderr, "quarven: %s\n", line.c_str());
    // The columns hang on what was asked for, not on the sites found.
    const bool siteColumn = trials.size() > 1 || options.siteBy;
    const char separator = read.separator;
    const DecimalMark mark = read.mark;
    if (Failure failed = writeText(outputs.summary,
                                   EvaluationSummaryText(evaluation, separator, mark, siteColumn)))
        return failed;
    if (Failure failed = writeText(outputs.fit, FitText(evaluation, separator, mark, siteColumn)))
        return failed;
    if (Failure failed = writeText(outputs.combined, CombinedText(evaluation, separator, mark)))
        return failed;
    return writeReport(options, trials, evaluation, outputs.report, bytes);
}

// The staged text of an output as a sheet of its workbook, written and
// synced under a temporary name.
Failure makeWorkbook(Output& output, int year, char* buffer)
{
    output.book =
        std::make_unique<WorkbookWriter>(QFile::encodeName(output.place.file).toStdString(), year);
    const auto failed = [&output]() -> Failure {
        return inFile(output.path, QString::fromStdString(output.book->error()));
    };
    if (output.book->failed())
        return failed();
    if (::lseek(output.handle, 0, SEEK_SET) != 0)
        return inFile(output.name, systemError(errno));
    const bool combined = output.what == QLatin1String("combined table");
    TextSheet sheet(*output.book, output.what.toStdString(),
                    combined ? SheetColumn{"", CellKind::Number, kScaleDecimals}
                             : SheetColumn{"", CellKind::Name});
    for (;;) {
        const ssize_t got = ::read(output.handle, buffer, kPiece);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return inFile(output.name, systemError(errno));
        if (got == 0)
            break;
        sheet.read(std::string_view(buffer, std::size_t(got)));
    }
    sheet.finish();
    if (output.book->failed() || !output.book->finish())
        return failed();
    return std::nullopt;
}

Failure syncOutput(Output& output, int year, char* buffer)
{
    if (output.toWorkbook())
        return makeWorkbook(output, year, buffer);
    if (!output.file)
        return std::nullopt;
    const int synced = SyncFile(output.handle);
    return synced == 0 ? Failure() : inFile(output.name, systemError(synced));
}

Failure commitOutput(Output& output, char* buffer)
{
    if (output.book)
        return output.book->commit()
                   ? Failure()
                   : inFile(output.path, QString::fromStdString(output.book->error()));
    if (output.file && !output.file->commit())
        return inFile(output.name, output.file->errorString());
    if (output.staged)
        return copyToStandardOutput(output.handle, output.name, buffer);
    return std::nullopt;
}

// Every output on the disk before any takes the place of an old file, so
// that a failed sync leaves them all as they were.
Failure deliver(Outputs& outputs, int year, char* buffer)
{
    for (Output* output : outputs.all())
        if (Failure failed = syncOutput(*output, year, buffer))
            return failed;
    for (Output* output : outputs.all())
        if (Failure failed = commitOutput(*output, buffer))
            return failed;
    return std::nullopt;
}

// Opens the trials, reads each kind, and, with several or a site column, each
// header ahead, so that the results' columns are known before any is written.
Failure readAhead(const BatchOptions& options, std::deque<Trial>& trials, char* bytes)
{
    for (Trial& trial : trials) {
        if (!options.report.isEmpty() && trial.readOnce()) {
            trial.copy = std::make_unique<QTemporaryFile>();
            if (!trial.copy->open())
                return QStringLiteral("cannot make a temporary file: %1")
                    .arg(trial.copy->errorString());
        }
        if (Failure failed = readKind(trial, options, bytes))
            return failed;
        if (trials.size() > 1 || options.siteBy)
            if (Failure failed = readHeader(trial, options, bytes))
                return failed;
    }
    return std::nullopt;
}

int runBatch(const BatchOptions& options, std::deque<Trial>& trials, std::size_t& current)
{
    Outputs outputs{{options.results, QStringLiteral("results"), {}, {}, {}, -1, {}, {}},
                    {options.summary, QStringLiteral("summary"), {}, {}, {}, -1, {}, {}},
                    {options.fit, QStringLiteral("fit"), {}, {}, {}, -1, {}, {}},
                    {options.combined, QStringLiteral("combined table"), {}, {}, {}, -1, {}, {}},
                    {options.report, QStringLiteral("report"), {}, {}, {}, -1, {}, {}}};
    // Told before any trial is read, not after.
    if (!options.report.isEmpty() && !options.reportWhy.isEmpty())
        return failure(
            inFile(options.report,
                   QStringLiteral("the report cannot be made: %1").arg(options.reportWhy)));
    if (Failure failed = openFiles(options, trials, outputs))
        return failure(*failed);

    // One huge page, never cleared by hand: a vector's zeroed megabyte cost
    // 256 page faults, a tenth of a small trial's whole run.
    const MemoryBlock buffer = AllocateBlock(kMemoryBlockBytes);
    if (!buffer)
        return failure(inFile(trials.front().name, QLatin1String(kOutOfMemory)));
    static_assert(kPiece <= kMemoryBlockBytes);
    char* const bytes = static_cast<char*>(buffer.get());
    RunRead read;
    Failure failed = readAhead(options, trials, bytes);
    if (!failed)
        failed = runTrials(options, trials, outputs.results, bytes, current, read);
    current = 0;
    if (!failed)
        failed = writeEvaluation(options, trials, read, outputs, bytes);
    if (!failed)
        failed = deliver(outputs, options.settings.year, bytes);
    if (failed)
        return failure(*failed);
    return read.refused > 0 ? kExitRefused : kExitComputed;
}

} // namespace

QString TrialSite(const QString& trial)
{
    if (trial == QLatin1String("-"))
        return QStringLiteral("standard input");
    const QFileInfo file(trial);
    const QString base = file.completeBaseName();
    return base.isEmpty() ? file.fileName() : base;
}

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
    std::deque<Trial> trials;
    // Made before memory can run out, to be told when it has, naming the
    // trial being read.
    std::vector<QByteArray> outOfMemory;
    for (const QString& path : options.trials) {
        Trial& trial = trials.emplace_back();
        trial.path = path;
        trial.name = trial.fromStandardInput() ? QStringLiteral("standard input") : path;
        trial.site = TrialSite(path);
        outOfMemory.push_back(QStringLiteral("quarven: %1: %2\n")
                                  .arg(trial.name, QLatin1String(kOutOfMemory))
                                  .toLocal8Bit());
    }
    std::size_t current = 0;
    try {
        return runBatch(options, trials, current);
    } catch (const std::bad_alloc&) {
        std::fputs(outOfMemory[current < outOfMemory.size() ? current : 0].constData(), stderr);
        return kExitFailed;
    }
}

} // namespace quarven
