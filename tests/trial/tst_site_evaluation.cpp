// The evaluation over sites: the real trial split into sites by treatment,
// held to R's slopes, fitted values, combined table and rank correlations;
// then one site as today's summary, standards missing at a site, the notices,
// the written texts and each refusal of the standards.
#include "trial/site_evaluation.h"

#include <QtTest>

#include <list>
#include <map>

using namespace quarven;

class TestSiteEvaluation : public QObject {
    Q_OBJECT

private slots:
    void matchesR_data();
    void matchesR();
    void rules_data();
    void rules();
};

namespace {

std::vector<Standard> standardsOf(const QString& text)
{
    std::vector<Standard> standards;
    for (const QString& one : text.split(' ', Qt::SkipEmptyParts))
        standards.push_back(std::get<Standard>(ParseStandard(one.toStdString())));
    return standards;
}

QStringList linesOf(const std::vector<std::string>& lines)
{
    QStringList list;
    for (const std::string& line : lines)
        list << QString::fromStdString(line);
    return list;
}

} // namespace

void TestSiteEvaluation::matchesR_data()
{
    QTest::addColumn<QString>("column"); // and the case in R's file
    QTest::addColumn<QString>("standards");
    QTest::addColumn<QStringList>("warnings"); // fitted values rounded from R's by hand

    QTest::newRow("by clone, Yungay fitted far below its value at one site")
        << "clon"
        << "Yungay=5 Musuq=8"
        << QStringList{"Site \"40mm\": the standard \"Yungay\" of value 5 is fitted at 2.5, 2 "
                       "units or more from its value"};
    // Groups whose orders differ between sites, some means tied; standards
    // that run against their values; a deviation of 1.955 written 2.0 is told.
    QTest::newRow("by plant, ranks that differ between sites")
        << "plant"
        << "1=3 10=7"
        << QStringList{"Site \"40mm\": the standard \"1\" of value 3 is fitted at 5.0, 2 units "
                       "or more from its value",
                       "Site \"40mm\": the standard \"10\" of value 7 is fitted at 4.9, 2 units "
                       "or more from its value",
                       "Site \"40mm\": the standard \"1\" of value 3 (fitted 5.0) is more "
                       "diseased than \"10\" of value 7 (fitted 4.9), declared more susceptible",
                       "Site \"Non-application\": the standard \"1\" of value 3 is fitted at "
                       "5.0, 2 units or more from its value"};
}

void TestSiteEvaluation::matchesR()
{
    QFETCH(QString, column);
    QFETCH(QString, standards);
    QFETCH(QStringList, warnings);
    QFile input(QFINDTESTDATA("data/huasahuasi-long.csv"));
    QFile fromR(QFINDTESTDATA("data/sites_huasahuasi.csv"));
    QVERIFY(input.open(QIODevice::ReadOnly) && fromR.open(QIODevice::ReadOnly | QIODevice::Text));

    // Each treatment is a site, as a site column gives them.
    const QByteArray text = input.readAll();
    const std::vector<std::string> copied{"block", "trt", "clon", "plant"};
    const std::size_t groupBy = std::get<std::size_t>(GroupColumn(copied, column.toStdString()));
    std::map<std::string, TrialSummary> sums;
    std::vector<SiteSums> sites;
    TrialBatch batch({2026, kDefaultPeriod}, [&](const PlotResult& result) {
        const std::string site(result.copied[1]);
        if (!sums.count(site))
            sites.push_back({site, &sums[site]});
        sums[site].add(SummaryPlotOf(result, groupBy));
    });
    QVERIFY(!ReadTrial(std::string_view(text.constData(), std::size_t(text.size())), batch));
    batch.finish();
    const OrError<Evaluation> drawn = Evaluate(sites, standardsOf(standards));
    QVERIFY(std::holds_alternative<Evaluation>(drawn));
    const Evaluation& evaluation = std::get<Evaluation>(drawn);
    QCOMPARE(linesOf(EvaluationMessages(evaluation)), warnings);

    // R's values by site, item and measure; every one must be met once.
    QHash<QString, QString> expected;
    for (const QString& line : QString::fromUtf8(fromR.readAll()).split('\n')) {
        const QStringList r = line.split(',');
        if (r.size() == 5 && r[0] == column)
            expected.insert(r[1] + '|' + r[2] + '|' + r[3], r[4]);
    }
    const auto check = [&](const std::string& site, const std::string& item, const char* measure,
                           std::optional<double> value) {
        const QString key = QString::fromStdString(site + '|' + item + '|' + measure);
        QVERIFY2(expected.contains(key), qPrintable(key + " is not in R's file"));
        const QString wanted = expected.take(key);
        QVERIFY2(wanted.isEmpty() == !value, qPrintable(key));
        if (value)
            QVERIFY2(std::abs(*value - wanted.toDouble()) <= 1e-9 * std::abs(wanted.toDouble()),
                     qPrintable(key + " " + QString::number(*value, 'g', 17) + " R " + wanted));
    };
    for (const SiteEvaluation& site : evaluation.sites)
        for (const StandardFit& fit : site.fit)
            for (const NumberColumn<StandardFit>& measure : kFitColumns)
                if (measure.name != std::string_view("value"))
                    check(site.name, fit.standard, measure.name, measure.value(fit));
    for (const CombinedGroup& group : evaluation.combined) {
        for (const NumberColumn<CombinedGroup>& measure : kCombinedColumns)
            check("", group.name, measure.name, measure.value(group));
        for (std::size_t s = 0; s < sites.size(); ++s)
            check(sites[s].name, group.name, "scale", group.scales[s]);
    }
    for (const SiteCorrelation& pair : evaluation.correlations) {
        check(sites[pair.first].name, sites[pair.second].name, "shared", double(pair.shared));
        check(sites[pair.first].name, sites[pair.second].name, "rho", pair.rho);
    }
    QCOMPARE(expected.keys(), QStringList());
}

void TestSiteEvaluation::rules_data()
{
    QTest::addColumn<QString>("sites"); // "site: group AUDPC|..." apart by " / "; "x" refused
    QTest::addColumn<QString>("standards");
    QTest::addColumn<QString>("output"); // of summary, fit, combined and rho
    QTest::addColumn<char>("separator");
    QTest::addColumn<QStringList>("lines"); // the text, then notices and warnings; or the error

    const QString header = "group,plots,refused,audpc_mean,audpc_sd,yield_losses_mean,"
                           "yield_losses_sd,relative_audpc_mean,relative_audpc_sd,audps_mean,"
                           "audps_sd,rank,scale";
    const QString fit = "standard,value,relative_audpc_mean,slope,fitted,deviation";
    QTest::newRow("one site: today's summary, the fit without a site column")
        << "trial: A 700|B 1400|C 2100"
        << "A=2 C=7"
        << "summary fit" << ','
        << QStringList{header,
                       "A,1,0,700.0,,14.00,,0.1000,,710.0,,1,2.3",
                       "B,1,0,1400.0,,28.00,,0.2000,,1410.0,,2,4.6",
                       "C,1,0,2100.0,,42.00,,0.3000,,2110.0,,3,6.9",
                       fit,
                       "A,2,0.1000,23.0000,2.3,0.3",
                       "C,7,0.3000,23.0000,6.9,-0.1"};
    QTest::newRow("one site: a standard with no computed plot is refused")
        << "trial: A x|B 700"
        << "A=3"
        << "" << ',' << QStringList{"The standard \"A\" has no computed plot"};
    QTest::newRow("one site: a standard in another case is refused with a hint")
        << "trial: Yungay 700"
        << "yungay=3"
        << "" << ','
        << QStringList{"The standard \"yungay\" is no group of the trial; did you mean "
                       "\"Yungay\"?"};
    QTest::newRow("two sites: the summary in one block per site, site names kept from formulas")
        << "north: A 700|B 1400 / =south: B 700"
        << "A=2"
        << "summary" << ','
        << QStringList{"site," + header, "north,A,1,0,700.0,,14.00,,0.1000,,710.0,,1,2.0",
                       "north,B,1,0,1400.0,,28.00,,0.2000,,1410.0,,2,4.0",
                       "'=south,B,1,0,700.0,,14.00,,0.1000,,710.0,,1,",
                       "Site \"=south\" has no scale: no standard has a computed plot there"};
    QTest::newRow("two sites: a standard refused at one site is left out of its fit")
        << "north: A 700|B 1400|C 2100 / south: A 1400|B 2100|C x"
        << "A=2 C=7"
        << "fit" << ','
        << QStringList{"site," + fit, "north,A,2,0.1000,23.0000,2.3,0.3",
                       "north,C,7,0.3000,23.0000,6.9,-0.1", "south,A,2,0.2000,10.0000,2.0,0.0"};
    QTest::newRow("semicolons: decimal comma, a site quoted; standards at 0 give no scale")
        << "n;1: A 0|B 700 / south: A 700|B 1400"
        << "A=3"
        << "fit" << ';'
        << QStringList{"site;standard;value;relative_audpc_mean;slope;fitted;deviation",
                       "\"n;1\";A;3;0,0000;;;", "south;A;3;0,1000;30,0000;3,0;0,0",
                       "Site \"n;1\" has no scale: the mean relative AUDPC of its standard \"A\" "
                       "is 0"};
    QTest::newRow("combined: sample SD and CV over the sites, tied means, groups not grown")
        << "one: S 700|G 1400|H 700|T 700 / two: S 1400|G 1400|H 2100|T 1400 / "
           "three: S 700|G 700|K 1400|H x"
        << "S=5"
        << "combined" << ','
        << QStringList{"group,sites,scale_mean,scale_sd,scale_cv,rank,one,two,three",
                       "S,3,5.0,0.0,0.0,1,5.0,5.0,5.0",
                       "G,3,6.7,2.9,43.3,4,10.0,5.0,5.0",
                       "H,2,6.3,1.8,28.3,3,5.0,7.5,",
                       "T,2,5.0,0.0,0.0,1,5.0,5.0,",
                       "K,1,10.0,,,5,,,10.0"};
    // a and b: ranks 1.5 1.5 3 4 against 1 2 3.5 3.5, rho 8/9.
    QTest::newRow("rho: average ranks of ties, too few shared groups, no variance")
        << "a: A 100|B 100|C 200|D 300 / b: A 100|B 200|C 300|D 300 / c: A 100|B 200|C x / "
           "d: A 100|B 100|C 100"
        << ""
        << "rho" << ','
        << QStringList{"a b 4 0.8889", "a c 2 ", "a d 3 ", "b c 2 ", "b d 3 ", "c d 2 "};
    QTest::newRow("several sites: a standard given twice")
        << "n: A 700 / s: A 700"
        << "A=3 A=3"
        << "" << ',' << QStringList{"The standard \"A\" is given twice"};
    QTest::newRow("several sites: a standard off the scale")
        << "n: A 700 / s: A 700"
        << "A=0"
        << "" << ',' << QStringList{"The standard \"A\" has the value 0, outside the scale 1..9"};
    QTest::newRow("several sites: a standard that is no group anywhere, with the groups meant")
        << "n: Yungay 700 / s: A 700|yungay 350|Z 1"
        << "Z=2 YUNGAY=3"
        << "" << ','
        << QStringList{"The standard \"YUNGAY\" is no group at any site; did you mean "
                       "\"Yungay\" or \"yungay\"?"};
}

void TestSiteEvaluation::rules()
{
    QFETCH(QString, sites);
    QFETCH(QString, standards);
    QFETCH(QString, output);
    QFETCH(char, separator);
    QFETCH(QStringList, lines);

    std::list<TrialSummary> sums;
    std::vector<SiteSums> given;
    for (const QString& site : sites.split(" / ")) {
        TrialSummary& summary = sums.emplace_back();
        given.push_back({site.section(": ", 0, 0).toStdString(), &summary});
        for (const QString& plot : site.section(": ", 1).split('|')) {
            const std::string group = plot.section(' ', 0, 0).toStdString();
            const double audpc = plot.section(' ', 1).toDouble();
            summary.add({group, !plot.endsWith('x'), audpc, audpc / 50, audpc / 7000, audpc + 10});
        }
    }
    const OrError<Evaluation> drawn = Evaluate(given, standardsOf(standards));
    if (const auto* error = std::get_if<SummaryError>(&drawn)) {
        QCOMPARE(QStringList{QString::fromStdString(error->message)}, lines);
        return;
    }
    const Evaluation& evaluation = std::get<Evaluation>(drawn);
    const DecimalMark mark = separator == ';' ? DecimalMark::Comma : DecimalMark::Point;
    const std::map<QString, std::string (*)(const Evaluation&, char, DecimalMark)> writers{
        {"summary", EvaluationSummaryText}, {"fit", FitText}, {"combined", CombinedText}};
    QString text;
    for (const QString& writer : output.split(' '))
        if (writers.count(writer))
            text += QString::fromStdString(writers.at(writer)(evaluation, separator, mark));
    for (const SiteCorrelation& pair : evaluation.correlations)
        if (output == "rho")
            text += QStringLiteral("%1 %2 %3 %4\n")
                        .arg(QString::fromStdString(given[pair.first].name),
                             QString::fromStdString(given[pair.second].name))
                        .arg(pair.shared)
                        .arg(pair.rho ? QString::number(*pair.rho, 'f', 4) : QString());
    QVERIFY(text.endsWith('\n'));
    QCOMPARE(text.chopped(1).split('\n') + linesOf(EvaluationMessages(evaluation)), lines);
}

QTEST_GUILESS_MAIN(TestSiteEvaluation)
#include "tst_site_evaluation.moc"
