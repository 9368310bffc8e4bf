// The mean disease progress curves of chosen groups: small trials worked by
// hand (a plot lacking a date read off its line, nothing outside its own
// dates, refused plots left out, a plot's group its first row's, a site
// column), the huasahuasi trial with assessments removed held to R, and the
// groups a report chooses.
#include "core/value_conventions.h"
#include "trial/group_curves.h"

#include <QtTest>

using namespace quarven;

class TestGroupCurves : public QObject {
    Q_OBJECT

private slots:
    void handWorked_data();
    void handWorked();
    void matchesR();
    void monthFirstDates();
    void chosenForReport_data();
    void chosenForReport();
};

namespace {

struct Read {
    std::optional<TrialError> error;
    std::vector<GroupCurve> curves;
    std::vector<RefusedPlot> refused;
};

// The trial in pieces of `piece` bytes, as a file is read.
Read readCurves(const QByteArray& text, const QString& groupBy, const QString& siteBy,
                const QStringList& chosen, int piece, DateOrder dates = DateOrder::DayFirst)
{
    TrialReading reading;
    reading.dates = dates;
    GroupCurves curves;
    curves.keepRefused();
    for (const QString& pair : chosen)
        curves.choose(pair.section('/', 0, 0).toStdString(), pair.section('/', 1).toStdString());
    GroupCurveReader reader(
        {{2026, kDefaultPeriod, reading}, groupBy.toStdString(), siteBy.toStdString(), "trial"},
        curves);
    TrialReader file(reader, reading);
    Read read;
    for (int at = 0; at < text.size() && !read.error; at += piece)
        read.error = file.read(std::string_view(
            text.constData() + at, std::size_t(std::min(piece, int(text.size()) - at))));
    if (!read.error)
        read.error = file.finish();
    if (!read.error)
        read.error = reader.finish();
    read.curves = curves.curves();
    read.refused = curves.refused();
    return read;
}

QString dayText(long day)
{
    return QString::fromStdString(DayMonthText(DateOfDayNumber(day)));
}

} // namespace

void TestGroupCurves::handWorked_data()
{
    QTest::addColumn<QString>("trial");
    QTest::addColumn<QString>("siteBy");
    QTest::addColumn<QStringList>("chosen"); // site/group
    // site/group plots: day mean (plots spanning it) ..., means to 10 digits
    QTest::addColumn<QStringList>("curves");
    QTest::addColumn<QStringList>("refused"); // or the error

    // B lacks 5/7: 5 + 20 x 4/8 = 15. C spans 3/7..8/7 only. At 3/7: A 5,
    // B 10, C 6; at 5/7: 10, 15, 10 = 35/3; at 8/7: 25, 22.5, 16 = 63.5/3.
    QTest::newRow("a plot lacking a date gives its line's level, none outside its dates")
        << "plot,clone,date,level\nA,X,01/07,0\nB,X,01/07,5\nA,X,05/07,10\nC,X,03/07,6\n"
           "A,X,09/07,30\nB,X,09/07,25\nC,X,08/07,16\n"
        << "" << QStringList{"trial/X", "trial/Z"}
        << QStringList{"trial/X 3: 01/07 2.5 (2) 03/07 7 (3) 05/07 11.66666667 (3) "
                       "08/07 21.16666667 (3) 09/07 27.5 (2)",
                       "trial/Z 0:"}
        << QStringList{};
    // R falls and is refused; D is Y's (its first row) though its second row
    // says X; E's first row has no level, so E starts on 4/7, where A is at
    // 10 + 10 x 3/7.
    QTest::newRow("refused plots left out, a plot's group its first row's, blank levels skipped")
        << "plot,clone,date,level\nA,X,01/07,10\nA,X,08/07,20\nR,X,01/07,30\nR,X,08/07,20\n"
           "D,Y,01/07,50\nD,X,08/07,90\nE,X,01/07,\nE,X,04/07,40\nE,X,08/07,60\n"
        << "" << QStringList{"trial/X", "trial/Y"}
        << QStringList{"trial/X 2: 01/07 10 (1) 04/07 27.14285714 (2) 08/07 40 (2)",
                       "trial/Y 1: 01/07 50 (1) 08/07 90 (1)"}
        << QStringList{"trial/R/X: Data input error (assessments # 1 and  2).  Results of the "
                       "next assessment should be equal or higher than those for the previous "
                       "assessment! (lines 4 and 5)"};
    // Each wide row is a plot of its own, the second A too.
    QTest::newRow("wide layout, decimal commas, a name on two rows")
        << "plot;clone;01/07;05/07;09/07\nA;X;1,5;;4,5\nB;X;2;3;\nA;X;10;;20\nC;W;1;2;3\n"
        << "" << QStringList{"trial/X"}
        << QStringList{"trial/X 3: 01/07 4.5 (3) 05/07 7 (3) 09/07 12.25 (2)"} << QStringList{};
    // Read as one site, P1 would fall from 30 to 10 and be refused.
    QTest::newRow("a site column: the same name is a plot at each site")
        << "plot,site,clone,date,level\nP1,north,X,01/07,10\nP1,south,X,01/07,20\n"
           "P1,north,X,03/07,30\nP1,south,X,03/07,10\nP2,south,X,01/07,0\nP2,south,X,03/07,40\n"
        << "site" << QStringList{"north/X", "south/X"}
        << QStringList{"north/X 1: 01/07 10 (1) 03/07 30 (1)",
                       "south/X 1: 01/07 0 (1) 03/07 40 (1)"}
        << QStringList{"south/P1/X: Data input error (assessments # 1 and  2).  Results of the "
                       "next assessment should be equal or higher than those for the previous "
                       "assessment! (lines 3 and 5)"};
    QTest::newRow("a site column the trial lacks")
        << "plot,clone,date,level\nA,X,01/07,0\n"
        << "place" << QStringList{"trial/X"} << QStringList{"trial/X 0:"}
        << QStringList{"1: No column \"place\" to take the sites from: the trial has \"clone\""};
}

void TestGroupCurves::handWorked()
{
    QFETCH(QString, trial);
    QFETCH(QString, siteBy);
    QFETCH(QStringList, chosen);
    QFETCH(QStringList, curves);
    QFETCH(QStringList, refused);

    for (const int piece : {1 << 20, 7}) {
        const Read read = readCurves(trial.toUtf8(), "clone", siteBy, chosen, piece);
        QStringList got;
        for (const GroupCurve& curve : read.curves) {
            QString line =
                QStringLiteral("%1/%2 %3:")
                    .arg(QString::fromStdString(curve.site), QString::fromStdString(curve.group))
                    .arg(curve.plots);
            for (const CurvePoint& point : curve.points)
                line += QStringLiteral(" %1 %2 (%3)")
                            .arg(dayText(point.day), QString::number(point.level, 'g', 10))
                            .arg(point.plots);
            got << line;
        }
        QCOMPARE(got, curves);
        got.clear();
        if (read.error)
            got << QStringLiteral("%1: %2")
                       .arg(read.error->line)
                       .arg(QString::fromStdString(read.error->message));
        for (const RefusedPlot& plot : read.refused)
            got << QString::fromStdString(plot.site + '/' + plot.plot + '/' + plot.group + ": " +
                                          plot.message);
        QCOMPARE(got, refused);
    }
}

// The curve's days read in the order the batch reads them: 7/5 is 5 July.
void TestGroupCurves::monthFirstDates()
{
    const Read read = readCurves("plot,clone,date,level\nA,X,7/1,0\nA,X,7/5,20\n", "clone", "",
                                 {"trial/X"}, 1 << 20, DateOrder::MonthFirst);
    QVERIFY(!read.error);
    QCOMPARE(read.curves.size(), std::size_t(1));
    QStringList days;
    for (const CurvePoint& point : read.curves.front().points)
        days << dayText(point.day);
    QCOMPARE(days, (QStringList{"01/07", "05/07"}));
}

void TestGroupCurves::matchesR()
{
    QFile input(QFINDTESTDATA("data/huasahuasi-long.csv"));
    QFile fromR(QFINDTESTDATA("data/curves_huasahuasi.csv"));
    QVERIFY(input.open(QIODevice::ReadOnly | QIODevice::Text) &&
            fromR.open(QIODevice::ReadOnly | QIODevice::Text));
    // Every seventh assessment row loses its level, as R's script removes it.
    QByteArrayList lines = input.readAll().split('\n');
    for (int row = 7; row < lines.size(); row += 7)
        lines[row].truncate(lines[row].lastIndexOf(',') + 1);

    QMap<QString, QString> expected; // site/group date -> level (plots)
    QStringList chosen;
    for (const QString& line : QString::fromUtf8(fromR.readAll()).split('\n').mid(1)) {
        const QStringList r = line.split(',');
        if (r.size() != 5)
            continue;
        const QString curve = r[0] + '/' + r[1];
        if (!chosen.contains(curve))
            chosen << curve;
        expected.insert(curve + ' ' + r[2], r[3] + " (" + r[4] + ')');
    }
    QCOMPARE(chosen.size(), 6);

    const Read read = readCurves(lines.join('\n'), "clon", "trt", chosen, 4096);
    QVERIFY(!read.error);
    QCOMPARE(read.refused.size(), std::size_t(1));
    QMap<QString, QString> got;
    for (const GroupCurve& curve : read.curves)
        for (const CurvePoint& point : curve.points) {
            const QString key = QString::fromStdString(curve.site + '/' + curve.group + ' ') +
                                QDate(1970, 1, 1).addDays(point.day).toString(Qt::ISODate);
            const QString wanted = expected.value(key);
            const double r = wanted.section(' ', 0, 0).toDouble();
            // The last bits differ with the order of the sums.
            got.insert(key, (std::abs(point.level - r) <= 1e-12 * std::max(1.0, r)
                                 ? wanted.section(' ', 0, 0)
                                 : QString::number(point.level, 'g', 17)) +
                                QStringLiteral(" (%1)").arg(point.plots));
        }
    QCOMPARE(got, expected);
}

void TestGroupCurves::chosenForReport_data()
{
    QTest::addColumn<QString>("groups"); // name:rank, "-" for none
    QTest::addColumn<QString>("fitted");
    QTest::addColumn<QStringList>("chosen");

    QTest::newRow("the standards fitted, then the five best ranks that are no standard")
        << "A:4 S:1 B:2 C:- D:2 E:7 F:3 G:5 T:6"
        << "T S" << QStringList{"T", "S", "B", "D", "F", "A", "G"};
    QTest::newRow("fewer groups than five; a standard without a plot there is not fitted")
        << "B:2 A:1 S:-"
        << "" << QStringList{"A", "B"};
}

void TestGroupCurves::chosenForReport()
{
    QFETCH(QString, groups);
    QFETCH(QString, fitted);
    QFETCH(QStringList, chosen);

    Evaluation evaluation;
    SiteEvaluation& site = evaluation.sites.emplace_back();
    site.name = "north";
    for (const QString& group : groups.split(' ')) {
        GroupSummary& summary = site.summary.groups.emplace_back();
        summary.name = group.section(':', 0, 0).toStdString();
        if (group.section(':', 1) != "-")
            summary.rank = group.section(':', 1).toULongLong();
    }
    for (const QString& standard : fitted.split(' ', Qt::SkipEmptyParts))
        site.fit.push_back({standard.toStdString(), 5.0, 0.1, {}, {}, {}});
    GroupCurves curves;
    ChooseCurves(evaluation, {{"S", 3.0}, {"T", 7.0}}, curves);
    QStringList got;
    for (const GroupCurve& curve : curves.curves())
        got << QString::fromStdString(curve.group);
    QCOMPARE(got, chosen);
}

QTEST_GUILESS_MAIN(TestGroupCurves)
#include "tst_group_curves.moc"
