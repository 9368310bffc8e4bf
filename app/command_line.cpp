#include "command_line.h"

#include "app/application_name.h"
#include "app/batch_run.h"
#include "app/module_loader.h"
#include "core/tuberization_rules.h"
#include "core/value_conventions.h"
#include "report/report_entry.h"
#include "trial/trial_values.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <array>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace quarven {
namespace {

// Options that QGuiApplication, QApplication and the X11 platform read for
// themselves, with one dash or two: -geometry, -title and -icon stand for the
// -qwindow ones on X11, -name is the X11 instance name.
constexpr std::array<std::string_view, 16> kQtOptionsWithValue = {"platform",
                                                                  "platformpluginpath",
                                                                  "platformtheme",
                                                                  "plugin",
                                                                  "style",
                                                                  "stylesheet",
                                                                  "display",
                                                                  "geometry",
                                                                  "qwindowgeometry",
                                                                  "qwindowicon",
                                                                  "icon",
                                                                  "qwindowtitle",
                                                                  "title",
                                                                  "session",
                                                                  "name",
                                                                  "visual"};
constexpr std::array<std::string_view, 4> kQtOptionsAlone = {"reverse", "widgetcount", "nograb",
                                                             "dograb"};

template <typename Names> bool among(std::string_view name, const Names& names)
{
    for (const std::string_view known : names)
        if (name == known)
            return true;
    return false;
}

int usageError(const QString& text)
{
    std::fprintf(stderr, "quarven: %s\n", qPrintable(text));
    return kExitFailed;
}

// What is wrong with the command line, in one line; nothing when it is right.
using Failure = std::optional<QString>;

struct Options {
    QCommandLineOption batch{
        QStringLiteral("batch"),
        QStringLiteral("Compute every plot of the trial file TRIAL, a text or a workbook "
                       "(.xlsx, .ods, .xls) (- for standard input). Trial files after it are "
                       "more sites: each file is a site named by its file name, unless --site "
                       "is given."),
        QStringLiteral("TRIAL")};
    QCommandLineOption site{
        QStringLiteral("site"),
        QStringLiteral("Take each plot's site from the trial's column COLUMN (any case) rather "
                       "than from its file: a file may hold several sites, and a site's plots "
                       "may come from several files."),
        QStringLiteral("COLUMN")};
    QCommandLineOption output{
        QStringLiteral("output"),
        QStringLiteral("Write the results to RESULTS rather than to standard output (- for "
                       "standard output): whole or not at all, and never over TRIAL; a "
                       "workbook when RESULTS ends in .xlsx."),
        QStringLiteral("RESULTS")};
    QCommandLineOption period{QStringLiteral("period"),
                              QStringLiteral("Tuberization period for plots that give none, 10 "
                                             "to 130 days (default 52)."),
                              QStringLiteral("DAYS")};
    QCommandLineOption group{
        QStringLiteral("group"),
        QStringLiteral("Maturity group for plots that give no period: First early, Early, "
                       "Mid-early, Mid, Mid-late or Late."),
        QStringLiteral("NAME")};
    QCommandLineOption year{
        QStringLiteral("year"),
        QStringLiteral("Year of the dates written without one (default: the current year)."),
        QStringLiteral("YYYY")};
    QCommandLineOption sheet{QStringLiteral("sheet"),
                             QStringLiteral("With a workbook (.xlsx, .ods or .xls) as TRIAL, "
                                            "read its sheet NAME (as written) rather than the "
                                            "first."),
                             QStringLiteral("NAME")};
    QCommandLineOption dates{
        QStringLiteral("dates"),
        QStringLiteral("How dates other than yyyy-mm-dd are read: day-first (the default: 7/12 "
                       "is 7 December) or month-first (7/12 is 12 July)."),
        QStringLiteral("ORDER")};
    QCommandLineOption daysAfter{
        QStringLiteral("days-after"),
        QStringLiteral("With --day-columns, the date that wide headings such as E9 count their "
                       "days after."),
        QStringLiteral("DATE")};
    QCommandLineOption dayColumns{
        QStringLiteral("day-columns"),
        QStringLiteral("With --days-after, the prefix (any case) of wide headings made of it "
                       "and a whole number of days: E for E9, E14..."),
        QStringLiteral("PREFIX")};
    QCommandLineOption trait{
        QStringLiteral("trait"),
        QStringLiteral("In a file of one observation a row (plot_id, trait, value, timestamp), "
                       "the trait whose values are the levels (as written); needed when the "
                       "file holds several."),
        QStringLiteral("NAME")};
    QCommandLineOption falls{
        QStringLiteral("falls"),
        QStringLiteral("A plot whose level falls: refuse it (the default), or keep it, computed "
                       "as the trapezoids give it, with a note in its message column."),
        QStringLiteral("keep|refuse")};
    QCommandLineOption by{
        QStringLiteral("by"),
        QStringLiteral("Summarise the plots by the trial's column COLUMN (any case): one row "
                       "per group with its means, standard deviations, rank and scale. The "
                       "summary goes to standard output, and the results only to --output, "
                       "unless --summary is given."),
        QStringLiteral("COLUMN")};
    QCommandLineOption standard{
        QStringLiteral("standard"),
        QStringLiteral("With --by, a standard cultivar: the group NAME and its VALUE on the "
                       "1-9 susceptibility scale, once for each."),
        QStringLiteral("NAME=VALUE")};
    QCommandLineOption summary{
        QStringLiteral("summary"),
        QStringLiteral("With --by, write the summary to FILE (- for standard output): whole "
                       "or not at all, never over TRIAL or RESULTS; a workbook when FILE ends "
                       "in .xlsx."),
        QStringLiteral("FILE")};
    QCommandLineOption fit{
        QStringLiteral("fit"),
        QStringLiteral("With --by and standards, write each site's standards and how they fit "
                       "the scale (declared and fitted value, deviation, slope) to FILE."),
        QStringLiteral("FILE")};
    QCommandLineOption combined{
        QStringLiteral("combined"),
        QStringLiteral("With --by and standards, write each group's scale over the sites (its "
                       "mean, deviation, coefficient of variation, rank and the scale at each "
                       "site) to FILE."),
        QStringLiteral("FILE")};
    QCommandLineOption report{
        QStringLiteral("report"),
        QStringLiteral("With --by, write the evaluation as a printable A4 PDF report to FILE."),
        QStringLiteral("FILE")};
};

void describe(QCommandLineParser& parser, const Options& options)
{
    parser.setApplicationDescription(QStringLiteral(
        "Estimates the yield lost to foliar blight from field assessments of the foliage.\n"
        "Without options it opens the calculator window, and quarven TRIAL opens a trial file\n"
        "in it; with --batch it computes every plot of a trial file with no window and no\n"
        "display.\n"
        "Exit status: 0 every plot computed, 1 some plots refused (each with its message in\n"
        "the results), 2 a usage error or a file that cannot be read or written."));
    parser.addOptions({options.batch, options.site, options.output, options.period, options.group,
                       options.year, options.sheet, options.dates, options.daysAfter,
                       options.dayColumns, options.trait, options.falls, options.by,
                       options.standard, options.summary, options.fit, options.combined,
                       options.report});
}

// "--batch -- -x.csv" reads the trial -x.csv: the "--" that ends the options
// goes after it, where the parser would otherwise take "--" for the trial.
QStringList trialAfterOptionsEnd(QStringList arguments)
{
    for (qsizetype i = 1; i + 2 < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--"))
            break;
        if ((arguments[i] == QLatin1String("--batch") || arguments[i] == QLatin1String("-batch")) &&
            arguments[i + 1] == QLatin1String("--")) {
            arguments.swapItemsAt(i + 1, i + 2);
            break;
        }
    }
    return arguments;
}

// The parser's own text, and for an option that is the name of a file, how
// to name the file instead.
QString parseError(const QCommandLineParser& parser)
{
    for (const QString& name : parser.unknownOptionNames())
        for (const QString& dashes : {QStringLiteral("-"), QStringLiteral("--")})
            if (QFileInfo::exists(dashes + name))
                return QStringLiteral("%1 To name the file %2, write ./%2")
                    .arg(parser.errorText(), dashes + name);
    return parser.errorText();
}

// Answers --help and --version, which exit, and refuses arguments that are
// no batch.
Failure parse(QCommandLineParser& parser, const Options& options)
{
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    // One dash or two, an option is named whole: -x.csv is not -x -. -c -s -v.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    if (!parser.parse(trialAfterOptionsEnd(QCoreApplication::arguments())))
        return parseError(parser);
    if (parser.isSet(help))
        parser.showHelp(0);
    // --help lists --help-all, which Qt answers only in process(); it exits there.
    if (parser.isSet(QStringLiteral("help-all")))
        parser.process(QCoreApplication::arguments());
    if (parser.isSet(version))
        parser.showVersion();
    // Arguments after --batch's own are more trial files.
    if (!parser.isSet(options.batch) && !parser.positionalArguments().isEmpty())
        return QStringLiteral("unexpected argument '%1'; see quarven --help")
            .arg(parser.positionalArguments().constFirst());
    if (!parser.isSet(options.batch))
        return QStringLiteral("--batch TRIAL is needed; see quarven --help");
    return std::nullopt;
}

// The trial files, each read once; without --site each is a site named by its
// file name, which must then be its own.
Failure readTrials(const QCommandLineParser& parser, const Options& options, BatchOptions& batch)
{
    batch.trials = parser.values(options.batch) + parser.positionalArguments();
    if (batch.trials.count(QStringLiteral("-")) > 1)
        return QStringLiteral("standard input (-) is given %1 times: it can be read only once")
            .arg(batch.trials.count(QStringLiteral("-")));
    if (parser.isSet(options.site)) {
        batch.siteBy = TrimmedBlanks(parser.value(options.site).toStdString());
        if (batch.siteBy->empty())
            return QStringLiteral("--site: the name of a column is needed");
        return std::nullopt;
    }
    for (qsizetype i = 0; i < batch.trials.size(); ++i)
        for (qsizetype j = i + 1; j < batch.trials.size(); ++j)
            if (TrialSite(batch.trials[i]) == TrialSite(batch.trials[j]))
                return QStringLiteral("'%1' and '%2' are both the site \"%3\": each trial file is "
                                      "a site named by its file name; rename one, or take the "
                                      "sites from a column (--site COLUMN)")
                    .arg(batch.trials[i], batch.trials[j], TrialSite(batch.trials[i]));
    return std::nullopt;
}

// How the file is read where it cannot tell: its dates' order, headings in
// days, its trait.
Failure readReading(const QCommandLineParser& parser, const Options& options, int year,
                    TrialReading& reading)
{
    if (parser.isSet(options.dates)) {
        const QString order = parser.value(options.dates);
        if (order == QLatin1String("month-first"))
            reading.dates = DateOrder::MonthFirst;
        else if (order != QLatin1String("day-first"))
            return QStringLiteral("--dates %1: day-first or month-first").arg(order);
    }
    if (parser.isSet(options.daysAfter) != parser.isSet(options.dayColumns))
        return QStringLiteral("--days-after DATE and --day-columns PREFIX go together");
    if (parser.isSet(options.daysAfter)) {
        const std::optional<TrialDate> start =
            ReadTrialDate(parser.value(options.daysAfter).toStdString(), year, reading.dates);
        if (!start)
            return QStringLiteral("--days-after %1: not a date (%2, or yyyy-mm-dd)")
                .arg(parser.value(options.daysAfter),
                     QString::fromStdString(DateOrderText(reading.dates)));
        reading.dayStart = *start;
        reading.dayPrefix = TrimmedBlanks(parser.value(options.dayColumns).toStdString());
        if (reading.dayPrefix.empty())
            return QStringLiteral("--day-columns: a prefix is needed, such as E for E9, E14...");
    }
    if (parser.isSet(options.trait)) {
        reading.trait = TrimmedBlanks(parser.value(options.trait).toStdString());
        if (reading.trait.empty())
            return QStringLiteral("--trait: the name of a trait is needed");
    }
    return std::nullopt;
}

Failure readSettings(const QCommandLineParser& parser, const Options& options,
                     BatchSettings& settings)
{
    if (parser.isSet(options.period) && parser.isSet(options.group))
        return QStringLiteral("--period and --group exclude each other");
    settings.year = QDate::currentDate().year();
    if (parser.isSet(options.year)) {
        bool ok = false;
        const int value = parser.value(options.year).toInt(&ok);
        if (!ok || value < 1 || value > 9999)
            return QStringLiteral("--year %1: a year from 1 to 9999 is needed")
                .arg(parser.value(options.year));
        settings.year = value;
    }
    if (parser.isSet(options.period)) {
        const std::string text = parser.value(options.period).toStdString();
        const std::optional<double> value = ReadWholeNumber(text, false);
        std::optional<std::int16_t> days = value ? ToInt16(*value) : std::nullopt;
        // As in the period box, 0 stands for the default.
        if (days == 0)
            days = static_cast<std::int16_t>(kDefaultPeriod);
        if (!days || !PeriodInRange(*days))
            return QStringLiteral("--period %1: %2")
                .arg(parser.value(options.period), QString::fromStdString(PeriodRangeText()));
        settings.defaultPeriod = *days;
    }
    if (parser.isSet(options.group)) {
        const std::optional<int> days = GroupDays(parser.value(options.group).toStdString());
        if (!days)
            return QStringLiteral("--group %1: not a maturity group (First early, Early, "
                                  "Mid-early, Mid, Mid-late, Late)")
                .arg(parser.value(options.group));
        settings.defaultPeriod = *days;
    }
    if (parser.isSet(options.falls)) {
        const QString falls = parser.value(options.falls);
        if (falls != QLatin1String("keep") && falls != QLatin1String("refuse"))
            return QStringLiteral("--falls %1: keep or refuse").arg(falls);
        settings.keepFalls = falls == QLatin1String("keep");
    }
    return readReading(parser, options, settings.year, settings.reading);
}

// Standard output carries one text: the summary when --by is given without
// --summary, the results otherwise, or the one other output named "-".
Failure readOutputs(const QCommandLineParser& parser, const Options& options, BatchOptions& batch)
{
    const QString standardOutput = QStringLiteral("-");
    const bool grouped = parser.isSet(options.by);
    for (const QCommandLineOption* needsBy :
         {&options.standard, &options.summary, &options.fit, &options.combined, &options.report})
        if (!grouped && parser.isSet(*needsBy))
            return QStringLiteral("--%1 needs --by COLUMN").arg(needsBy->names().constFirst());
    for (const QCommandLineOption* needsStandard : {&options.fit, &options.combined})
        if (parser.isSet(*needsStandard) && !parser.isSet(options.standard))
            return QStringLiteral("--%1 needs a standard (--standard NAME=VALUE)")
                .arg(needsStandard->names().constFirst());
    batch.fit = parser.value(options.fit);
    batch.combined = parser.value(options.combined);
    batch.report = parser.value(options.report);
    batch.summary = grouped ? parser.value(options.summary) : QString();
    if (grouped && batch.summary.isEmpty())
        batch.summary = standardOutput;
    batch.results = parser.value(options.output);
    if (batch.results.isEmpty() && batch.summary != standardOutput)
        batch.results = standardOutput;
    const std::array<std::pair<const QString*, const char*>, 5> outputs{
        {{&batch.results, "--output"},
         {&batch.summary, "--summary"},
         {&batch.fit, "--fit"},
         {&batch.combined, "--combined"},
         {&batch.report, "--report"}}};
    for (std::size_t i = 0; i < outputs.size(); ++i)
        for (std::size_t j = i + 1; j < outputs.size(); ++j)
            if (*outputs[i].first == standardOutput && *outputs[j].first == standardOutput)
                return QStringLiteral("%1 and %2 cannot both be standard output")
                    .arg(QLatin1String(outputs[i].second), QLatin1String(outputs[j].second));
    if (!grouped)
        return std::nullopt;
    batch.groupBy = parser.value(options.by).toStdString();
    for (const QString& text : parser.values(options.standard)) {
        const OrError<Standard> standard = ParseStandard(text.toStdString());
        if (const auto* error = std::get_if<SummaryError>(&standard))
            return QString::fromStdString(error->message);
        batch.standards.push_back(std::get<Standard>(standard));
    }
    return std::nullopt;
}

} // namespace

namespace {

struct WindowArguments {
    // Only Qt's options and trial files.
    bool window = true;
    std::vector<const char*> trials;
};

WindowArguments windowArguments(int argc, const char* const* argv)
{
    WindowArguments found;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        std::string_view argument = argv[i];
        if (argument == "--" && !optionsEnded) {
            optionsEnded = true;
            continue;
        }
        if (optionsEnded || argument.size() < 2 || argument.front() != '-') {
            // A trial file to open; "-" would be standard input, which only
            // the batch reads.
            if (argument == "-" || argument.empty())
                return {false, {}};
            found.trials.push_back(argv[i]);
            continue;
        }
        argument.remove_prefix(argument[1] == '-' ? 2 : 1);
        const std::size_t equals = argument.find('=');
        const std::string_view name = argument.substr(0, equals);
        if (among(name, kQtOptionsWithValue)) {
            if (equals == std::string_view::npos)
                ++i;
        } else if (equals != std::string_view::npos || !among(name, kQtOptionsAlone)) {
            return {false, {}};
        }
    }
    return found;
}

} // namespace

bool WantsWindow(int argc, const char* const* argv)
{
    return windowArguments(argc, argv).window;
}

std::vector<const char*> WindowTrials(int argc, const char* const* argv)
{
    return windowArguments(argc, argv).trials;
}

namespace {

// Whether --report is among the arguments, before any application object
// exists: a report needs the report module's, and only one may be made.
bool asksForReport(int argc, const char* const* argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--")
            break;
        for (const std::string_view option : {"--report", "-report"})
            if (argument.substr(0, option.size()) == option &&
                (argument.size() == option.size() || argument[option.size()] == '='))
                return true;
    }
    return false;
}

// The report module's application on the offscreen platform when a report is
// asked for and the module is found; why not, otherwise.
std::unique_ptr<QCoreApplication> makeApplication(int& argc, char* argv[], QString& reportWhy)
{
    if (asksForReport(argc, argv)) {
        std::string why;
        const auto make = ModuleEntry<ReportApplicationEntry>(
            kReportModule, kReportApplicationSymbol, why, argv[0]);
        if (make) {
            // The offscreen platform's notes (no runtime folder...) are no
            // concern of the batch, whose standard error has one line a fault.
            const QtMessageHandler previous = qInstallMessageHandler(
                [](QtMsgType type, const QMessageLogContext&, const QString& text) {
                    if (type == QtCriticalMsg || type == QtFatalMsg)
                        std::fprintf(stderr, "quarven: %s\n", qPrintable(text));
                });
            std::unique_ptr<QCoreApplication> application(make(argc, argv));
            qInstallMessageHandler(previous);
            return application;
        }
        reportWhy = QString::fromStdString(why);
    }
    return std::make_unique<QCoreApplication>(argc, argv);
}

} // namespace

int RunCommandLine(int argc, char* argv[])
{
    const ClosedStreams closed = HoldStandardStreams();
    QString reportWhy;
    const std::unique_ptr<QCoreApplication> application = makeApplication(argc, argv, reportWhy);
    NameApplication();

    QCommandLineParser parser;
    const Options options;
    describe(parser, options);
    BatchOptions batch;
    batch.closed = closed;
    if (Failure failed = parse(parser, options))
        return usageError(*failed);
    if (Failure failed = readTrials(parser, options, batch))
        return usageError(*failed);
    batch.sheet = parser.value(options.sheet);
    if (parser.isSet(options.sheet) && batch.sheet.isEmpty())
        return usageError(QStringLiteral("--sheet: the name of a sheet is needed"));
    if (Failure failed = readSettings(parser, options, batch.settings))
        return usageError(*failed);
    if (Failure failed = readOutputs(parser, options, batch))
        return usageError(*failed);
    batch.reportWhy = reportWhy;
    return RunBatch(batch);
}

} // namespace quarven
