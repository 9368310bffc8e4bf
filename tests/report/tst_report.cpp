// The printed report read back as text with pdftotext -layout: the
// huasahuasi trial over three sites and at one, and a trial of many groups
// with long names. Each group stands on one line with its numbers, a long
// table's header is on each of its pages, no name is cut, the warnings are
// there, the page is A4; a printer gets the same pages, a failed write leaves
// nothing, and a Qt-Core-only program makes a report through the module with
// no display. Then the ranked chart's words.
#include "core/value_conventions.h"
#include "report/report.h"

#include "report/ranked_chart.h"
#include "report/report_entry.h"

#include <QLibrary>
#include <QPrinter>
#include <QtTest>

#include <map>

using namespace quarven;

class TestReport : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void readsBack_data();
    void readsBack();
    void printerGetsTheSamePages();
    void failedWriteLeavesNothing();
    void commandLineMakesOneWithoutDisplay();
    void chartInWords_data();
    void chartInWords();

private:
    QString m_pdftotext;
    QTemporaryDir m_folder;
};

namespace {

std::vector<Standard> standardsOf(const QString& text)
{
    std::vector<Standard> standards;
    for (const QString& one : text.split(';', Qt::SkipEmptyParts))
        standards.push_back(std::get<Standard>(ParseStandard(one.toStdString())));
    return standards;
}

// The report as the command line fills it: the batch's sums by site, the
// evaluation, then the trial read again for the curves and refused plots.
ReportData reportOf(const QByteArray& text, const QString& file, const QString& groupBy,
                    const QString& siteBy, const QString& standards)
{
    const std::string_view trial(text.constData(), std::size_t(text.size()));
    const std::string site = QFileInfo(file).completeBaseName().toStdString();
    std::map<std::string, TrialSummary> sums;
    std::vector<SiteSums> sites;
    std::optional<std::size_t> groupColumn, siteColumn;
    struct Header : TrialVisitor {
        std::vector<std::string> names;
        void header(const TrialHeader& header) override { names = header.copiedNames; }
        void row(const TrialRow&) override {}
    } header;
    (void)ReadTrial(trial.substr(0, trial.find('\n') + 1), header);
    groupColumn = std::get<std::size_t>(GroupColumn(header.names, groupBy.toStdString()));
    if (!siteBy.isEmpty())
        siteColumn = std::get<std::size_t>(GroupColumn(header.names, siteBy.toStdString()));
    TrialBatch batch({2026, kDefaultPeriod}, [&](const PlotResult& result) {
        const std::string at = siteColumn ? std::string(result.copied[*siteColumn]) : site;
        if (!sums.count(at))
            sites.push_back({at, &sums[at]});
        sums[at].add(SummaryPlotOf(result, *groupColumn));
    });
    if (ReadTrial(trial, batch))
        return {};
    batch.finish();

    ReportData data;
    data.trials = {file.toStdString()};
    data.groupedBy = groupBy.toStdString();
    data.siteColumn = siteBy.toStdString();
    data.standards = standardsOf(standards);
    data.made = "2026-12-10";
    data.evaluation = std::get<Evaluation>(Evaluate(sites, data.standards));
    GroupCurves curves;
    curves.keepRefused();
    ChooseCurves(data.evaluation, data.standards, curves);
    GroupCurveReader reader({{2026, kDefaultPeriod}, data.groupedBy, data.siteColumn, site},
                            curves);
    if (ReadTrial(trial, reader) || reader.finish())
        return {};
    data.curves = curves.curves();
    data.refused = curves.refused();
    return data;
}

QByteArray huasahuasi()
{
    QFile file(QFINDTESTDATA("../trial/data/huasahuasi-long.csv"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// 150 clones of two plots each, more diseased the later they come; names of
// 34 to 38 characters, and one absurdly long.
QByteArray manyGroups(const QString& absurd)
{
    QByteArray text = "plot,clone,date,level\n";
    for (int g = 1; g <= 150; ++g) {
        const QByteArray name = g == 75
                                    ? absurd.toUtf8()
                                    : "CIP " + QByteArray::number(390000 + g * 37) +
                                          ".1 x Yungay (LBHT-2005/" + QByteArray::number(g) + ")";
        for (int p = 0; p < 2; ++p) {
            const QByteArray plot = QByteArray::number(g * 10 + p);
            for (int d = 0; d < 3; ++d)
                text += plot + ",\"" + name + "\"," + QByteArray::number(1 + 7 * d) + "/07/2026," +
                        QByteArray::number((g % 50 + p) * (d + 1) / 2.0) + '\n';
        }
    }
    return text;
}

// A group's row as its words: the name, then its numbers with blanks between.
QRegularExpression rowPattern(const QStringList& cells)
{
    QStringList words;
    for (const QString& cell : cells)
        if (!cell.isEmpty())
            words << QRegularExpression::escape(cell);
    return QRegularExpression("^\\s*" + words.join("\\s+") + "\\s*$");
}

QString plain(QString text)
{
    return text.simplified();
}

} // namespace

void TestReport::initTestCase()
{
    m_pdftotext = QStandardPaths::findExecutable("pdftotext");
    QVERIFY(m_folder.isValid());
}

void TestReport::readsBack_data()
{
    QTest::addColumn<QByteArray>("trial");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("groupBy");
    QTest::addColumn<QString>("siteBy");
    QTest::addColumn<QString>("standards");
    QTest::addColumn<QString>("absurd"); // a name wrapped in its cell, or none

    QTest::newRow("huasahuasi, three sites by treatment, grouped by clone")
        << huasahuasi() << "huasahuasi-long.csv"
        << "clon"
        << "trt"
        << "Yungay=5;Musuq=8" << QString();
    QTest::newRow("huasahuasi as one site, grouped by plant, standards against their values")
        << huasahuasi() << "huasahuasi-long.csv"
        << "plant"
        << ""
        << "1=3;10=7" << QString();
    const QString absurd = "An absurdly long name that no column could hold on one line, "
                           "written by someone who pasted a whole pedigree note into the cell";
    QTest::newRow("150 groups with long names over pages")
        << manyGroups(absurd) << "long names.csv"
        << "clone"
        << ""
        << "CIP 390037.1 x Yungay (LBHT-2005/1)=2" << absurd;
}

void TestReport::readsBack()
{
    QFETCH(QByteArray, trial);
    QFETCH(QString, file);
    QFETCH(QString, groupBy);
    QFETCH(QString, siteBy);
    QFETCH(QString, standards);
    QFETCH(QString, absurd);
    if (m_pdftotext.isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed: the report cannot be read back");

    const ReportData data = reportOf(trial, file, groupBy, siteBy, standards);
    QVERIFY(!data.evaluation.sites.empty());
    const QString path = m_folder.filePath(QTest::currentDataTag() + QStringLiteral(".pdf"));
    QString why;
    QVERIFY2(WriteReport(data, path, &why), qPrintable(why));

    QProcess info;
    info.start(QStandardPaths::findExecutable("pdfinfo"), {path});
    QVERIFY(info.waitForFinished());
    QVERIFY2(info.readAllStandardOutput().contains("(A4)"), "the page is not A4");
    QProcess read;
    read.start(m_pdftotext, {"-layout", path, "-"});
    QVERIFY(read.waitForFinished());
    const QString text = QString::fromUtf8(read.readAllStandardOutput());
    const QStringList pages = text.split('\f');
    const QStringList lines = text.split('\n');
    QVERIFY(text.contains("Made on 2026-12-10 by Quarven"));

    // Each site's groups, and the combined table's, each on a line of its own.
    const auto standsOnOneLine = [&](const QStringList& cells) {
        const QRegularExpression pattern = rowPattern(cells);
        return std::any_of(lines.begin(), lines.end(),
                           [&](const QString& line) { return pattern.match(line).hasMatch(); });
    };
    const auto number = [](const std::optional<double>& value, int decimals) {
        return value ? QString::fromStdString(FormatDecimals(*value, decimals)) : QString();
    };
    int rows = 0;
    for (const SiteEvaluation& site : data.evaluation.sites)
        for (const GroupSummary& group : site.summary.groups) {
            const QString name = QString::fromStdString(group.name);
            if (name == absurd)
                continue;
            QString standard;
            for (const Standard& s : data.standards)
                if (s.name == group.name)
                    standard = QString::number(s.value);
            const QStringList cells = {name,
                                       standard,
                                       QString::number(group.plots),
                                       QString::number(group.refused),
                                       number(group.relativeAudpc().mean, 4),
                                       number(group.relativeAudpc().sd, 4),
                                       number(group.scale, 1),
                                       group.rank ? QString::number(*group.rank) : QString()};
            QVERIFY2(standsOnOneLine(cells), qPrintable(cells.join(' ')));
            ++rows;
        }
    if (data.evaluation.sites.size() > 1)
        for (const CombinedGroup& group : data.evaluation.combined) {
            QStringList cells{QString::fromStdString(group.name),
                              QString::number(group.sites),
                              number(group.mean, 1),
                              number(group.sd, 1),
                              number(group.cv, 1),
                              group.rank ? QString::number(*group.rank) : QString()};
            for (const std::optional<double>& scale : group.scales)
                cells << number(scale, 1);
            QVERIFY2(standsOnOneLine(cells), qPrintable(cells.join(' ')));
        }
    QVERIFY(rows > 0);

    // Every page that holds a row of a site's ranking holds its header too.
    const QRegularExpression header("Group\\s+Standard\\s+Plots\\s+Refused");
    const QRegularExpression ranking("\\S\\s+\\d+\\s+\\d+\\s+\\d\\.\\d{4}\\s.*\\d+\\s*$",
                                     QRegularExpression::MultilineOption);
    int rankingPages = 0;
    for (const QString& page : pages)
        if (ranking.match(page).hasMatch() && !page.contains("Shared groups")) {
            ++rankingPages;
            QVERIFY2(header.match(page).hasMatch(), qPrintable(page.left(400)));
        }
    QVERIFY(rankingPages >= 1);

    // The warnings, wherever their lines break.
    for (const std::string& message : EvaluationMessages(data.evaluation))
        QVERIFY2(plain(text).contains(plain(QString::fromStdString(message))), message.c_str());
    // Refused plots with their messages.
    for (const RefusedPlot& plot : data.refused)
        QVERIFY(plain(text).contains(plain(QString::fromStdString(plot.message))));

    if (absurd.isEmpty())
        return;
    QVERIFY2(rankingPages >= 3, "150 groups fit on fewer than three pages");
    // The absurd name wrapped in its cell: its first line beside its
    // numbers, the rest below, nothing of it cut.
    const QString start = absurd.left(20);
    const auto first = std::find_if(lines.begin(), lines.end(), [&](const QString& line) {
        return line.trimmed().startsWith(start) && line.contains(QRegularExpression("\\d\\s*$"));
    });
    QVERIFY(first != lines.end());
    QString whole = first->trimmed().section(QRegularExpression("\\s{2,}"), 0, 0);
    for (auto next = first + 1; next != lines.end() && whole.size() < absurd.size(); ++next)
        whole += ' ' + next->trimmed();
    QCOMPARE(whole, absurd);
}

void TestReport::printerGetsTheSamePages()
{
    if (m_pdftotext.isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed: the report cannot be read back");
    const ReportData data =
        reportOf(huasahuasi(), "huasahuasi-long.csv", "clon", "trt", "Yungay=5;Musuq=8");
    const QString written = m_folder.filePath("written.pdf");
    const QString printed = m_folder.filePath("printed.pdf");
    QString why;
    QVERIFY2(WriteReport(data, written, &why), qPrintable(why));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(printed);
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                      QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter));
    QVERIFY2(PaintReport(data, printer, &why), qPrintable(why));

    QStringList texts;
    for (const QString& pdf : {written, printed}) {
        QProcess read;
        read.start(m_pdftotext, {"-layout", pdf, "-"});
        QVERIFY(read.waitForFinished());
        texts << QString::fromUtf8(read.readAllStandardOutput());
    }
    QVERIFY(texts[0].count('\f') > 1);
    QCOMPARE(texts[1], texts[0]);
}

void TestReport::failedWriteLeavesNothing()
{
    const ReportData data = reportOf(huasahuasi(), "huasahuasi-long.csv", "clon", "", "");
    const QString path = m_folder.filePath("no such folder/report.pdf");
    QString why;
    QVERIFY(!WriteReport(data, path, &why));
    QVERIFY(!why.isEmpty());
    QVERIFY(!QFile::exists(path));
}

// The command line's way: a program of Qt Core alone, no display, the
// module's application, then its report.
void TestReport::commandLineMakesOneWithoutDisplay()
{
    if (m_pdftotext.isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed: the report cannot be read back");
    const QString path = m_folder.filePath("from the command line.pdf");
    QProcess probe;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(name);
    probe.setProcessEnvironment(environment);
    probe.start(QUARVEN_REPORT_PROBE,
                {QUARVEN_REPORT_MODULE, QFINDTESTDATA("../trial/data/huasahuasi-long.csv"), path});
    QVERIFY(probe.waitForFinished(60000));
    QVERIFY2(probe.exitCode() == 0, probe.readAllStandardError().constData());
    QProcess read;
    read.start(m_pdftotext, {"-layout", path, "-"});
    QVERIFY(read.waitForFinished());
    const QString text = QString::fromUtf8(read.readAllStandardOutput());
    QVERIFY2(text.contains(QRegularExpression("^\\s*Yungay\\s+5\\s+90\\s",
                                              QRegularExpression::MultilineOption)),
             qPrintable(text.left(2000)));
}

void TestReport::chartInWords_data()
{
    QTest::addColumn<QString>("bars"); // name mean sd standard, "-" for none
    QTest::addColumn<QString>("words");

    QTest::newRow("a standard, no SD, no computed plot, rounded halves away from zero")
        << "Yungay 0.21235 0.01 5|C1 0.1 - -|C2 - - -|Musuq 0.30004 0.00005 8.5"
        << "Yungay, standard of value 5: mean relative AUDPC 0.2124, SD 0.0100. "
           "C1: mean relative AUDPC 0.1000, no SD. C2: no computed plot. "
           "Musuq, standard of value 8.5: mean relative AUDPC 0.3000, SD 0.0001.";
}

void TestReport::chartInWords()
{
    QFETCH(QString, bars);
    QFETCH(QString, words);
    const auto value = [](const QString& text) {
        return text == "-" ? std::nullopt : std::optional<double>(text.toDouble());
    };
    std::vector<ChartBar> given;
    for (const QString& bar : bars.split('|')) {
        const QStringList parts = bar.split(' ');
        given.push_back({parts[0], value(parts[1]), value(parts[2]), value(parts[3])});
    }
    QCOMPARE(RankedChart(given).description(), words);
}

QTEST_MAIN(TestReport)
#include "tst_report.moc"
