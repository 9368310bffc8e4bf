#include "command_line.h"

#include "app/application_name.h"
#include "app/batch_run.h"
#include "trial/trial_values.h"
#include "core/tuberization_rules.h"
#include "core/value_conventions.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDate>

#include <array>
#include <cstdio>
#include <optional>
#include <string_view>

namespace quarven {
namespace {

// Options that QGuiApplication and QApplication read for themselves.
constexpr std::array<std::string_view, 13> kQtOptionsWithValue = {
    "platform",        "platformpluginpath", "platformtheme", "plugin",
    "style",           "stylesheet",         "display",       "geometry",
    "qwindowgeometry", "qwindowicon",        "qwindowtitle",  "title",
    "session"};
constexpr std::array<std::string_view, 6> kQtOptionsAlone = {"reverse", "widgetcount", "nograb",
                                                             "dograb",  "sync",        "name"};

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

} // namespace

bool WantsWindow(int argc, const char* const* argv)
{
    for (int i = 1; i < argc; ++i) {
        std::string_view argument = argv[i];
        if (argument.size() < 2 || argument.front() != '-')
            return false;
        argument.remove_prefix(argument[1] == '-' ? 2 : 1);
        const std::size_t equals = argument.find('=');
        const std::string_view name = argument.substr(0, equals);
        if (among(name, kQtOptionsWithValue)) {
            if (equals == std::string_view::npos)
                ++i;
        } else if (equals != std::string_view::npos || !among(name, kQtOptionsAlone)) {
            return false;
        }
    }
    return true;
}

int RunCommandLine(int argc, char* argv[])
{
    const ClosedStreams closed = HoldStandardStreams();
    QCoreApplication application(argc, argv);
    NameApplication();

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Estimates the yield lost to foliar blight from field assessments of the foliage.\n"
        "Without options it opens the calculator window; with --batch it computes every plot\n"
        "of a trial file with no window and no display.\n"
        "Exit status: 0 every plot computed, 1 some plots refused (each with its message in\n"
        "the results), 2 a usage error or a file that cannot be read or written."));
    const QCommandLineOption batch(
        QStringLiteral("batch"),
        QStringLiteral("Compute every plot of the trial file TRIAL (- for standard input)."),
        QStringLiteral("TRIAL"));
    const QCommandLineOption output(
        QStringLiteral("output"),
        QStringLiteral("Write the results to RESULTS rather than to standard output (- for "
                       "standard output): whole or not at all, and never over TRIAL."),
        QStringLiteral("RESULTS"));
    const QCommandLineOption period(
        QStringLiteral("period"),
        QStringLiteral("Tuberization period for plots that give none, 10 to 130 days "
                       "(default 52)."),
        QStringLiteral("DAYS"));
    const QCommandLineOption group(
        QStringLiteral("group"),
        QStringLiteral("Maturity group for plots that give no period: First early, Early, "
                       "Mid-early, Mid, Mid-late or Late."),
        QStringLiteral("NAME"));
    const QCommandLineOption year(
        QStringLiteral("year"),
        QStringLiteral("Year of the dates written without one (default: the current year)."),
        QStringLiteral("YYYY"));
    parser.addOptions({batch, output, period, group, year});
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();

    if (!parser.parse(QCoreApplication::arguments()))
        return usageError(parser.errorText());
    if (parser.isSet(help))
        parser.showHelp(0);
    // --help lists --help-all, which Qt answers only in process(); it exits there.
    if (parser.isSet(QStringLiteral("help-all")))
        parser.process(QCoreApplication::arguments());
    if (parser.isSet(version))
        parser.showVersion();
    if (!parser.positionalArguments().isEmpty())
        return usageError(QStringLiteral("unexpected argument '%1'; see quarven --help")
                              .arg(parser.positionalArguments().constFirst()));
    if (!parser.isSet(batch))
        return usageError(QStringLiteral("--batch TRIAL is needed; see quarven --help"));
    if (parser.isSet(period) && parser.isSet(group))
        return usageError(QStringLiteral("--period and --group exclude each other"));

    BatchOptions options;
    options.closed = closed;
    options.trial = parser.value(batch);
    options.results = parser.isSet(output) ? parser.value(output) : QStringLiteral("-");
    options.settings.year = QDate::currentDate().year();
    if (parser.isSet(year)) {
        bool ok = false;
        const int value = parser.value(year).toInt(&ok);
        if (!ok || value < 1 || value > 9999)
            return usageError(QStringLiteral("--year %1: a year from 1 to 9999 is needed")
                                  .arg(parser.value(year)));
        options.settings.year = value;
    }
    if (parser.isSet(period)) {
        const std::string text = parser.value(period).toStdString();
        const std::optional<double> value = ReadWholeNumber(text, false);
        std::optional<std::int16_t> days = value ? ToInt16(*value) : std::nullopt;
        // As in the period box, 0 stands for the default.
        if (days == 0)
            days = static_cast<std::int16_t>(kDefaultPeriod);
        if (!days || !PeriodInRange(*days))
            return usageError(
                QStringLiteral("--period %1: %2")
                    .arg(parser.value(period), QString::fromStdString(PeriodRangeText())));
        options.settings.defaultPeriod = *days;
    }
    if (parser.isSet(group)) {
        const std::optional<int> days = GroupDays(parser.value(group).toStdString());
        if (!days)
            return usageError(QStringLiteral("--group %1: not a maturity group (First early, "
                                             "Early, Mid-early, Mid, Mid-late, Late)")
                                  .arg(parser.value(group)));
        options.settings.defaultPeriod = *days;
    }
    return RunBatch(options);
}

} // namespace quarven
