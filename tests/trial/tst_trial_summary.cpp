// The trial summary: a real trial through the batch held to R's means and
// standard deviations, then ranks, the susceptibility scale, empty measures,
// the written text and each refusal of bad grouping or standards.
#include "trial/trial_summary.h"

#include <QtTest>

using namespace quarven;

class TestTrialSummary : public QObject {
    Q_OBJECT

private slots:
    void matchesR_data();
    void matchesR();
    void summary_data();
    void summary();
};

void TestTrialSummary::matchesR_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("by"); // written as a user might, in another case

    for (const char* layout : {"long", "wide"}) {
        const QString file = QStringLiteral("data/huasahuasi-%1.csv").arg(layout);
        QTest::addRow("%s layout by clone", layout) << file << "CLON";
        QTest::addRow("%s layout by treatment", layout) << file << "Trt";
    }
}

void TestTrialSummary::matchesR()
{
    QFETCH(QString, file);
    QFETCH(QString, by);
    QFile input(QFINDTESTDATA(file));
    QFile fromR(QFINDTESTDATA("data/summary_huasahuasi.csv"));
    QVERIFY(input.open(QIODevice::ReadOnly) && fromR.open(QIODevice::ReadOnly | QIODevice::Text));
    const QByteArray text = input.readAll();
    const std::size_t column =
        std::get<std::size_t>(GroupColumn({"block", "trt", "clon", "plant"}, by.toStdString()));
    TrialSummary trial;
    const auto add = [&](const PlotResult& result) { trial.add(SummaryPlotOf(result, column)); };
    TrialBatch batch({2026, kDefaultPeriod}, add);
    QVERIFY(!ReadTrial(std::string_view(text.constData(), static_cast<std::size_t>(text.size())),
                       batch));
    // A long file's results come at its end, here in blocks as two threads
    // make them, each summarised apart and merged in order.
    TrialBatch::Scratch scratch;
    const std::size_t plots = batch.resultsToGive();
    for (std::size_t first = 0; first < plots; first += 64) {
        TrialSummary block;
        (void)batch.giveResults(first, std::min(plots, first + 64), scratch,
                                [&](auto& r) { block.add(SummaryPlotOf(r, column)); });
        trial.merge(block);
    }
    const OrError<Summary> drawn = trial.summarise({});
    QVERIFY(std::holds_alternative<Summary>(drawn));
    const Summary& summary = std::get<Summary>(drawn);

    QStringList rows = QString::fromUtf8(fromR.readAll()).split('\n', Qt::SkipEmptyParts);
    rows = rows.filter(QRegularExpression("^" + by.toLower() + ","));
    QCOMPARE(summary.groups.size(), static_cast<std::size_t>(rows.size()));
    for (std::size_t g = 0; g < summary.groups.size(); ++g) {
        const GroupSummary& group = summary.groups[g];
        const QStringList r = rows[static_cast<qsizetype>(g)].split(',');
        QCOMPARE(QString::fromStdString(group.name), r[1]);
        QCOMPARE(group.plots, r[2].toULong());
        QCOMPARE(group.refused, r[3].toULong());
        int at = 4;
        for (const MeasureSummary& m : group.measures)
            for (const std::optional<double>& value : {m.mean, m.sd}) {
                const double expected = r[at++].toDouble();
                QVERIFY2(value && std::abs(*value - expected) <= 1e-9 * std::abs(expected),
                         qPrintable(r[0] + " " + r[1] + " column " + QString::number(at)));
            }
    }
}

void TestTrialSummary::summary_data()
{
    QTest::addColumn<QString>("plots"); // group and AUDPC, "x" when refused
    QTest::addColumn<QString>("by");    // the column, then standards NAME=VALUE
    QTest::addColumn<char>("separator");
    QTest::addColumn<QStringList>("lines"); // after the header; or the one error

    QTest::newRow("refused counted not averaged; one plot has no deviation, none no mean")
        << "A 700|B x|C x/A 1400|B 350"
        << "clon" << ','
        << QStringList{"A,2,0,1050.0,495.0,21.00,9.90,0.1500,0.0707,1060.0,495.0,2,",
                       "B,2,1,350.0,,7.00,,0.0500,,360.0,,1,", "C,1,1,,,,,,,,,,"};
    QTest::newRow("ties share the lower rank, whatever order summed them")
        << "A 100|A 113/A 332|B 1400|C 332|C 113|C 100/D 35"
        << "clon" << ','
        << QStringList{"A,3,0,181.7,130.4,3.63,2.61,0.0260,0.0186,191.7,130.4,2,",
                       "B,1,0,1400.0,,28.00,,0.2000,,1410.0,,4,",
                       "C,3,0,181.7,130.4,3.63,2.61,0.0260,0.0186,191.7,130.4,2,",
                       "D,1,0,35.0,,0.70,,0.0050,,45.0,,1,"};
    QTest::newRow("one standard: its value over its mean")
        << "A 700|B 1400"
        << "clon B=8" << ','
        << QStringList{"A,1,0,700.0,,14.00,,0.1000,,710.0,,1,4.0",
                       "B,1,0,1400.0,,28.00,,0.2000,,1410.0,,2,8.0"};
    QTest::newRow("several standards: least squares through the origin")
        << "A 700|B 1400|C 2100"
        << "clon A=2 C=6,5" << ','
        << QStringList{"A,1,0,700.0,,14.00,,0.1000,,710.0,,1,2.2",
                       "B,1,0,1400.0,,28.00,,0.2000,,1410.0,,2,4.3",
                       "C,1,0,2100.0,,42.00,,0.3000,,2110.0,,3,6.5"};
    QTest::newRow("semicolons: decimal comma, names quoted and kept from formulas")
        << "=SUM(A1) 700|x;y 1400"
        << "Clon" << ';'
        << QStringList{"'=SUM(A1);1;0;700,0;;14,00;;0,1000;;710,0;;1;",
                       "\"x;y\";1;0;1400,0;;28,00;;0,2000;;1410,0;;2;"};
    QTest::newRow("unknown column") << "A 700"
                                    << "clone" << ','
                                    << QStringList{"No column \"clone\" to group by: the trial "
                                                   "has \"block\", \"Clon\""};
    QTest::newRow("standard not NAME=VALUE") << "A 700"
                                             << "clon A:3" << ','
                                             << QStringList{"The standard \"A:3\" is not "
                                                            "written NAME=VALUE"};
    QTest::newRow("standard given twice")
        << "A 700|B 1400"
        << "clon A=3 B=5 A=3" << ',' << QStringList{"The standard \"A\" is given twice"};
    QTest::newRow("standard that is no group") << "A 700"
                                               << "clon Z=3" << ','
                                               << QStringList{"The standard \"Z\" is no group "
                                                              "of the trial"};
    QTest::newRow("standard at the scale's foot")
        << "A 700|B 1400"
        << "clon A=1" << ','
        << QStringList{"A,1,0,700.0,,14.00,,0.1000,,710.0,,1,1.0",
                       "B,1,0,1400.0,,28.00,,0.2000,,1410.0,,2,2.0"};
    QTest::newRow("standard at the scale's top")
        << "A 700|B 1400"
        << "clon B=9" << ','
        << QStringList{"A,1,0,700.0,,14.00,,0.1000,,710.0,,1,4.5",
                       "B,1,0,1400.0,,28.00,,0.2000,,1410.0,,2,9.0"};
    QTest::newRow("standard outside 1..9") << "A 700"
                                           << "clon A=9.5" << ','
                                           << QStringList{"The standard \"A\" has the value "
                                                          "9.5, outside the scale 1..9"};
    QTest::newRow("standard with no computed plot")
        << "A x|B 700"
        << "clon A=3" << ',' << QStringList{"The standard \"A\" has no computed plot"};
    QTest::newRow("standards all at 0")
        << "A 0|B 0|C 700"
        << "clon A=1 B=2" << ','
        << QStringList{"The standards' mean relative AUDPC are all 0: they give no scale"};
}

void TestTrialSummary::summary()
{
    QFETCH(QString, plots);
    QFETCH(QString, by);
    QFETCH(char, separator);
    QFETCH(QStringList, lines);

    QStringList got;
    const auto failed = [&got](const auto& outcome) {
        if (const SummaryError* error = std::get_if<SummaryError>(&outcome))
            got << QString::fromStdString(error->message);
        return !got.isEmpty();
    };
    QStringList standards = by.split(' ');
    const OrError<std::size_t> column =
        GroupColumn({"block", "Clon"}, standards.takeFirst().toStdString());
    std::vector<Standard> parsed;
    for (const QString& text : standards) {
        const OrError<Standard> standard = ParseStandard(text.toStdString());
        if (!failed(standard))
            parsed.push_back(std::get<Standard>(standard));
    }
    if (!failed(column)) {
        // Plots after a "/" are summarised apart, then merged.
        TrialSummary trial;
        for (const QString& block : plots.split('/')) {
            TrialSummary later;
            for (const QString& plot : block.split('|')) {
                const std::string group = plot.section(' ', 0, -2).toStdString();
                const std::string_view copied[] = {"I", group};
                const double audpc = plot.section(' ', -1).toDouble();
                PlotResult result;
                result.copied = Items<std::string_view>(copied, 2);
                result.refused = plot.endsWith('x');
                result.message = result.refused ? "refused" : "";
                // A value that refused plots never have, to show they are not averaged.
                result.values = {plot.endsWith('x') ? 1e6 : audpc, audpc / 50, audpc / 7000,
                                 audpc + 10};
                later.add(SummaryPlotOf(result, std::get<std::size_t>(column)));
            }
            trial.merge(later);
        }
        const OrError<Summary> drawn = trial.summarise(parsed);
        if (!failed(drawn)) {
            const DecimalMark mark = separator == ';' ? DecimalMark::Comma : DecimalMark::Point;
            got = QString::fromStdString(SummaryText(std::get<Summary>(drawn), separator, mark))
                      .split('\n');
            QCOMPARE(got.takeFirst(),
                     QStringLiteral("group,plots,refused,audpc_mean,audpc_sd,yield_losses_mean,"
                                    "yield_losses_sd,relative_audpc_mean,relative_audpc_sd,"
                                    "audps_mean,audps_sd,rank,scale")
                         .replace(',', QChar::fromLatin1(separator)));
            QCOMPARE(got.takeLast(), QString()); // a line feed after the last row
        }
    }
    QCOMPARE(got, lines);
}

QTEST_GUILESS_MAIN(TestTrialSummary)
#include "tst_trial_summary.moc"
