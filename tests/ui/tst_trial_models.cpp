// The Trial window's two models on their own, under Qt's model tester: the
// plots listed, sorted and filtered, the rows a view holds following their
// plots, a new table under the same sort and filter; the summary's rows kept
// over new values, and its standards read as the batch reads them.
#include "core/value_conventions.h"
#include "support/main_window_fixture.h"
#include "support/trial_files.h"
#include "trial/trial_batch.h"
#include "trial/trial_summary.h"
#include "trial/trial_table.h"
#include "ui/curve_loader.h"
#include "ui/summary_chart.h"
#include "ui/trial_model.h"
#include "ui/trial_sites.h"

#include <QAbstractItemModelTester>
#include <QSettings>
#include <QSortFilterProxyModel>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <tuple>

using namespace quarven;
using namespace quarven::test;

namespace {

constexpr auto kFatal = QAbstractItemModelTester::FailureReportingMode::Fatal;
const QString kLong = QStringLiteral(QUARVEN_TRIAL_DATA "/huasahuasi-long.csv");
const QString kWide = QStringLiteral(QUARVEN_TRIAL_DATA "/huasahuasi-wide.csv");
const QString kSmall = QStringLiteral(QUARVEN_EXAMPLES "/trial-wide.csv");

Summary summaryOf(const QByteArray& bytes)
{
    return std::get<Summary>(SummaryOf(*tableOf(bytes), 0).summarise({}));
}

int column(const QAbstractItemModel& model, const QString& name)
{
    for (int at = 0; at < model.columnCount(); ++at)
        if (model.headerData(at, Qt::Horizontal, Qt::DisplayRole).toString() == name ||
            model.headerData(at, Qt::Horizontal, kColumnNameRole).toString() == name)
            return at;
    return -1;
}

QString cell(const QAbstractItemModel& model, int row, const QString& name)
{
    return model.index(row, column(model, name)).data().toString();
}

QStringList firstColumn(const QAbstractItemModel& model)
{
    QStringList cells;
    for (int row = 0; row < model.rowCount(); ++row)
        cells.append(model.index(row, 0).data().toString());
    return cells;
}

// Two sites whose files differ in their copied columns; the south's Agria
// falls, and is refused.
const QByteArray kNorth = "plot;clone;02/07;09/07;16/07\n101;Gala;0;5;20\n102;Laura;0;1;2\n";
const QByteArray kSouth = "plot;block;clone;02/07;09/07\n201;1;Gala;0;10\n202;1;Agria;5;1\n";

std::shared_ptr<const TrialSites> sitesOf(const QStringList& names)
{
    std::vector<SiteTable> sites;
    for (const QString& name : names)
        sites.push_back({name.toStdString(), tableOf(name == "north" ? kNorth : kSouth)});
    return std::make_shared<const TrialSites>(std::move(sites));
}

// The first cells of each row, joined.
QStringList rowsOf(const QAbstractItemModel& model, int columns)
{
    QStringList rows;
    for (int row = 0; row < model.rowCount(); ++row) {
        QStringList cells;
        for (int at = 0; at < columns; ++at)
            cells.append(model.index(row, at).data().toString());
        rows.append(cells.join('|'));
    }
    return rows;
}

QStringList headerOf(const QAbstractItemModel& model)
{
    QStringList names;
    for (int at = 0; at < model.columnCount(); ++at)
        names.append(model.headerData(at, Qt::Horizontal).toString());
    return names;
}

// As the filter box gives it, a letter at a time.
void type(TrialPlotsModel& model, const QString& text)
{
    for (qsizetype size = 1; size <= text.size(); ++size)
        model.setFilter(text.left(size));
}

} // namespace

class TestTrialModels : public QObject {
    Q_OBJECT
private slots:
    void listsEveryPlot_data();
    void listsEveryPlot();
    void sortsNumbersAndFilters_data();
    void sortsNumbersAndFilters();
    void sortsTextsAndTies();
    void filtersWithinOneCell_data();
    void filtersWithinOneCell();
    void heldRowsFollowTheirPlots_data();
    void heldRowsFollowTheirPlots();
    void summaryKeepsItsRows_data();
    void summaryKeepsItsRows();
    void readsStandardsAsTheBatch_data();
    void readsStandardsAsTheBatch();
    void listsPlotsOverSites_data();
    void listsPlotsOverSites();
    void summarisesSiteBySite();
    void summaryHeadsInWords_data();
    void summaryHeadsInWords();
    void remembersTheColumnsShown_data();
    void remembersTheColumnsShown();
    void chartFollowsTheView_data();
    void chartFollowsTheView();
};

void TestTrialModels::listsEveryPlot_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("plots");
    QTest::addColumn<int>("columns");
    QTest::addColumn<QStringList>("refused"); // the refused plots' names

    QTest::newRow("long layout") << kLong << 450 << 14 << QStringList{"h0279"};
    QTest::newRow("wide layout") << kWide << 450 << 14 << QStringList{"h0279"};
    QTest::newRow("a refused plot among others") << kSmall << 4 << 11 << QStringList{"104"};
}

void TestTrialModels::listsEveryPlot()
{
    QFETCH(QString, path);
    QFETCH(int, plots);
    QFETCH(int, columns);
    QFETCH(QStringList, refused);

    TrialPlotsModel model;
    const QAbstractItemModelTester tester(&model, kFatal);
    model.setTable(tableOf(contents(path)));
    QCOMPARE(model.rowCount(), plots);
    QCOMPARE(model.columnCount(), columns);
    QStringList marked;
    for (int row = 0; row < model.rowCount(); ++row) {
        const bool isRefused = model.index(row, 0).data(kRefusedRole).toBool();
        QCOMPARE(cell(model, row, "message").isEmpty(), !isRefused);
        QCOMPARE(model.index(row, 0).data(Qt::BackgroundRole).isValid(), isRefused);
        if (isRefused)
            marked.append(cell(model, row, "plot"));
    }
    QCOMPARE(marked, refused);
}

void TestTrialModels::sortsNumbersAndFilters_data()
{
    QTest::addColumn<QByteArray>("trial"); // empty for huasahuasi
    QTest::addColumn<QString>("sortBy");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<int>("rows");

    QTest::newRow("audpc, every plot") << QByteArray() << "audpc"
                                       << "" << 450;
    QTest::newRow("relative AUDPC of one clone, any case") << QByteArray() << "relative_audpc"
                                                           << "yUNGAY" << 90;
    QTest::newRow("yield losses of ten plots") << QByteArray() << "yield_losses"
                                               << "h001" << 10;
    QTest::newRow("audps of a treatment") << QByteArray() << "audps"
                                          << "40MM" << 150;
    const QByteArray months = "plot;date;level\n9;02/07;5\n9;20/07;10\n9;30/07;20\n"
                              "10;20/06;5\n10;30/06;10\n10;10/07;20\n"
                              "100;25/06;1\n100;05/07;2\n100;15/07;3\n";
    QTest::newRow("dates without a year, across months") << months << "first_date"
                                                         << "" << 3;
    QTest::newRow("plot names that are numbers") << months << "plot"
                                                 << "" << 3;
    QTest::newRow("names that read as numbers only to a parser")
        << months + "nan;01/07;1\nnan;02/07;2\nnan;03/07;3\ninf;01/07;1\ninf;02/07;2\n"
                    "inf;03/07;3\n-inf;01/07;1\n-inf;02/07;2\n-inf;03/07;3\n"
        << "plot"
        << "" << 6;
}

// A number sorted as text puts 1000 before 5, and a date without its year
// puts 02/07 before 20/06; refused plots' empty cells come first.
void TestTrialModels::sortsNumbersAndFilters()
{
    QFETCH(QByteArray, trial);
    QFETCH(QString, sortBy);
    QFETCH(QString, filter);
    QFETCH(int, rows);

    TrialPlotsModel model;
    const QAbstractItemModelTester tester(&model, kFatal);
    model.setTable(tableOf(trial.isEmpty() ? contents(kLong) : trial));
    type(model, filter);
    QCOMPARE(model.rowCount(), rows);
    // Numbers and dates first, then names.
    const auto key = [](const QString& text) {
        const QStringList dayMonth = text.split(QLatin1Char('/'));
        if (dayMonth.size() == 2)
            return std::tuple(1, dayMonth[1].toDouble() * 100 + dayMonth[0].toDouble(), QString());
        bool isNumber = false;
        const double number = text.toDouble(&isNumber);
        return isNumber && std::isfinite(number) ? std::tuple(1, number, QString())
                                                 : std::tuple(2, 0.0, text);
    };
    for (const Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
        model.sort(column(model, sortBy), order);
        QCOMPARE(model.rowCount(), rows);
        for (int row = 1; row < model.rowCount(); ++row) {
            const QString before = cell(model, row - 1, sortBy);
            const QString after = cell(model, row, sortBy);
            if (before.isEmpty() || after.isEmpty())
                continue;
            const bool ordered =
                order == Qt::AscendingOrder ? key(before) <= key(after) : key(before) >= key(after);
            QVERIFY2(ordered, qPrintable(before + " then " + after));
            // Equal cells in the file's order, where plots are named in it.
            if (trial.isEmpty() && key(before) == key(after))
                QVERIFY(cell(model, row - 1, "plot") < cell(model, row, "plot"));
        }
    }
}

// Texts that agree in more than their first bytes, ties in the file's order
// whichever the direction, empty cells and numbers before texts.
void TestTrialModels::sortsTextsAndTies()
{
    const auto table = tableOf("plot,clone,01/07,11/07\nP0,Clone-number-10,1,2\n"
                               "P1,Clone-number-9,1,2\nP2,,1,2\nP3,Clone-number-10,1,2\n"
                               "P4,5,1,2\nP5,Clone-number-1,1,2\nP6,Clone-numbe,1,2\n");
    QCOMPARE(SortedRows(*table, 1, false), (std::vector<std::uint32_t>{2, 4, 6, 5, 0, 3, 1}));
    QCOMPARE(SortedRows(*table, 1, true), (std::vector<std::uint32_t>{1, 0, 3, 5, 6, 4, 2}));
}

void TestTrialModels::filtersWithinOneCell_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<int>>("rows");

    QTest::newRow("ASCII, in any case") << "AB" << QList<int>{0, 2};
    QTest::newRow("not across two cells") << "b1" << QList<int>{};
    QTest::newRow("not ASCII, in any case") << "é" << QList<int>{0, 1};
    QTest::newRow("a result's cell") << "0.1" << QList<int>{2};
}

void TestTrialModels::filtersWithinOneCell()
{
    QFETCH(QString, text);
    QFETCH(QList<int>, rows);

    const auto table = tableOf("plot,clone,01/07,11/07\nÉtoile,ab,1,2\nx,ÉTOILE,1,2\nabc,z,1,30\n");
    const RowFilter filter(text);
    QList<int> kept;
    for (int row = 0; row < int(table->rows()); ++row)
        if (filter.keeps(*table, std::size_t(row)))
            kept.append(row);
    QCOMPARE(kept, rows);
}

void TestTrialModels::heldRowsFollowTheirPlots_data()
{
    QTest::addColumn<QString>("sortBy"); // empty: the file's order
    QTest::addColumn<QStringList>("filters");
    QTest::addColumn<QByteArray>("added"); // to the trial, as a new table; empty: none
    QTest::addColumn<QStringList>("plots");
    QTest::addColumn<QString>("held"); // what a row held at plot 101 shows after; empty: lost

    const QStringList none;
    QTest::newRow("sorted by AUDPC, the highest first")
        << "audpc" << none << QByteArray() << QStringList{"102", "101", "103", "104"} << "101";
    QTest::newRow("sorted by plot, then filtered")
        << "plot" << QStringList{"Gala"} << QByteArray() << QStringList{"104", "101"} << "101";
    QTest::newRow("typed on, narrower at each letter")
        << "" << QStringList{"a", "ga", "gal"} << QByteArray() << QStringList{"101", "104"}
        << "101";
    QTest::newRow("typed back, wider again")
        << "" << QStringList{"Laura", "Laur", "L"} << QByteArray()
        << QStringList{"101", "102", "103", "104"} << "";
    QTest::newRow("a new table under the same sort and filter")
        << "audpc" << QStringList{"Gala"} << QByteArray("105;Gala;;;0;10;30;60\n")
        << QStringList{"105", "101", "104"} << "";
}

// The rows a view holds (its selection, its current row) follow their plots
// through a sort or a filter; a new table is a new list, which the window
// selects in again itself.
void TestTrialModels::heldRowsFollowTheirPlots()
{
    QFETCH(QString, sortBy);
    QFETCH(QStringList, filters);
    QFETCH(QByteArray, added);
    QFETCH(QStringList, plots);
    QFETCH(QString, held);

    TrialPlotsModel model;
    const QAbstractItemModelTester tester(&model, kFatal);
    const QByteArray trial = contents(kSmall);
    model.setTable(tableOf(trial));
    const QPersistentModelIndex plot101 = model.index(0, 0);
    QCOMPARE(plot101.data().toString(), QStringLiteral("101"));
    if (!sortBy.isEmpty())
        model.sort(column(model, sortBy), Qt::DescendingOrder);
    for (const QString& filter : filters)
        model.setFilter(filter);
    if (!added.isEmpty())
        model.setTable(tableOf(trial + added));
    QCOMPARE(firstColumn(model), plots);
    QCOMPARE(plot101.data().toString(), held);
}

void TestTrialModels::summaryKeepsItsRows_data()
{
    QTest::addColumn<QByteArray>("after"); // the trial summarised again
    QTest::addColumn<bool>("kept");

    const QByteArray header = "plot;clone;budding;desiccation;02/07;09/07;16/07;23/07\n";
    const QByteArray gala = "101;Gala;;;0;2,5;12;35\n";
    const QByteArray others = "102;Bellarosa;10/6;31/7;0,5;6;25;60\n103;Laura;;;0;;2;6\n";
    QTest::newRow("the same groups, other values")
        << header + "101;Gala;;;0;5;20;40\n" + others << true;
    QTest::newRow("the same groups in another order") << header + others + gala << false;
    QTest::newRow("a group more") << header + gala + others + "105;Agria;;;0;1;2;3\n" << false;
}

// A view's current cell and selection stay on the same groups' rows only.
void TestTrialModels::summaryKeepsItsRows()
{
    QFETCH(QByteArray, after);
    QFETCH(bool, kept);

    TrialSummaryModel model;
    const QAbstractItemModelTester tester(&model, kFatal);
    model.setSummary(summaryOf(contents(kSmall)));
    const QPersistentModelIndex bellarosa = model.index(1, 0);
    QCOMPARE(bellarosa.data().toString(), QStringLiteral("Bellarosa"));
    model.setSummary(summaryOf(after));
    QCOMPARE(bellarosa.isValid(), kept);
    // The values are the new ones either way.
    QCOMPARE(cell(model, 0, "audpc_mean"),
             QString::fromStdString(
                 FormatDecimals(*summaryOf(after).groups[0].measures[kAudpc].mean, 1)));
}

void TestTrialModels::readsStandardsAsTheBatch_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown"); // empty: refused
    QTest::addColumn<QString>("why");

    const QString noNumber = "The standard \"Gala=%1\" has no number for its value";
    QTest::newRow("one decimal") << "8"
                                 << "8.0"
                                 << "";
    QTest::newRow("decimal comma") << " 6,5 "
                                   << "6.5"
                                   << "";
    QTest::newRow("more decimals than one shows") << "9.00000000001"
                                                  << "9.00000000001"
                                                  << "";
    QTest::newRow("far off the scale") << "1e308"
                                       << "1e+308"
                                       << "";
    QTest::newRow("letters") << "abc"
                             << "" << noNumber.arg("abc");
    QTest::newRow("an Arabic-Indic digit") << "٥"
                                           << "" << noNumber.arg("٥");
    QTest::newRow("hexadecimal") << "0x5"
                                 << "" << noNumber.arg("0x5");
    QTest::newRow("a name and a number") << "a=5"
                                         << "" << noNumber.arg("a=5=");
}

// What is shown is what is used; what is not a number is refused and said why.
void TestTrialModels::readsStandardsAsTheBatch()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(QString, why);

    TrialSummaryModel model;
    const QAbstractItemModelTester tester(&model, kFatal);
    model.setSummary(summaryOf(contents(kSmall)));
    QSignalSpy refused(&model, &TrialSummaryModel::standardRefused);
    const QModelIndex gala = model.index(0, TrialSummaryModel::kStandardColumn);
    QCOMPARE(model.setData(gala, typed, Qt::EditRole), why.isEmpty());
    QCOMPARE(gala.data().toString(), shown);
    QCOMPARE(refused.value(0).value(0).toString(), why);
}

void TestTrialModels::listsPlotsOverSites_data()
{
    QTest::addColumn<QStringList>("sites");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("header");   // the columns before the results
    QTest::addColumn<QStringList>("rows");     // their cells, and the message
    QTest::addColumn<QByteArray>("resultRow"); // the results file's second row

    QTest::newRow("one site: no site column")
        << QStringList{"north"} << "" << QStringList{"plot", "clone", "assessments"}
        << QStringList{"101|Gala|3|", "102|Laura|3|"}
        << QByteArray("101;Gala;3;02/07;16/07;52;105;2,0;0,0750;175,0;");
    const QString falls = "Data input error (assessments # 1 and  2).  Results of the next "
                          "assessment should be equal or higher than those for the previous "
                          "assessment! (line 3)";
    QTest::newRow("two sites: a site column, a copied column empty where a file lacks it")
        << QStringList{"north", "south"} << ""
        << QStringList{"site", "plot", "clone", "block", "assessments"}
        << QStringList{"north|101|Gala||3|", "north|102|Laura||3|", "south|201|Gala|1|2|",
                       "south|202|Agria|1|2|" + falls}
        << QByteArray("north;101;Gala;;3;02/07;16/07;52;105;2,0;0,0750;175,0;");
    QTest::newRow("a site's name keeps all its plots")
        << QStringList{"north", "south"} << "SOUTH"
        << QStringList{"site", "plot", "clone", "block", "assessments"}
        << QStringList{"south|201|Gala|1|2|", "south|202|Agria|1|2|" + falls}
        << QByteArray("north;101;Gala;;3;02/07;16/07;52;105;2,0;0,0750;175,0;");
}

void TestTrialModels::listsPlotsOverSites()
{
    QFETCH(QStringList, sites);
    QFETCH(QString, filter);
    QFETCH(QStringList, header);
    QFETCH(QStringList, rows);
    QFETCH(QByteArray, resultRow);

    TrialPlotsModel model;
    const QAbstractItemModelTester tester(&model, kFatal);
    model.setSites(sitesOf(sites));
    type(model, filter);
    QCOMPARE(headerOf(model).mid(0, header.size()), header);
    QStringList shown = rowsOf(model, int(header.size()));
    for (int row = 0; row < model.rowCount(); ++row)
        shown[row] += '|' + cell(model, row, "message");
    QCOMPARE(shown, rows);
    QCOMPARE(model.index(model.rowCount() - 1, 0).data(kRefusedRole).toBool(),
             rows.back().endsWith(")"));
    // The file holds every plot, whatever the filter.
    const QList<QByteArray> lines =
        QByteArray::fromStdString(ResultsText(*model.sites())).split('\n');
    QCOMPARE(lines.size(), (sites.size() == 1 ? 2 : 4) + 2);
    QCOMPARE(lines[1], resultRow);
}

// Each site's groups, a site filter over them, the combined table's row per
// group over the sites and a fit row per site and standard computed there.
void TestTrialModels::summarisesSiteBySite()
{
    const std::shared_ptr<const TrialSites> sites = sitesOf({"north", "south"});
    // Clone is the north's first copied column and the south's second.
    const TrialSummary north = SummaryOf(*sites->sites()[0].table, 0);
    const TrialSummary south = SummaryOf(*sites->sites()[1].table, 1);
    const OrError<Evaluation> drawn =
        Evaluate({{"north", &north}, {"south", &south}}, {{"Gala", 3}, {"Laura", 7}});
    QVERIFY(std::holds_alternative<Evaluation>(drawn));
    auto evaluation = std::make_shared<const Evaluation>(std::get<Evaluation>(drawn));

    TrialSummaryModel summary;
    const QAbstractItemModelTester summaryTester(&summary, kFatal);
    summary.setEvaluation(evaluation);
    // The group first, kept in view, and the site after the standard.
    QCOMPARE(headerOf(summary).mid(0, 3), (QStringList{"Group", "Standard", "Site"}));
    QCOMPARE(rowsOf(summary, 3),
             (QStringList{"Gala||north", "Laura||north", "Gala||south", "Agria||south"}));
    SiteFilterProxy proxy;
    proxy.setSourceModel(&summary);
    proxy.setSite(1);
    QCOMPARE(rowsOf(proxy, 3), (QStringList{"Gala||south", "Agria||south"}));
    proxy.setSite(-1);
    QCOMPARE(proxy.rowCount(), 4);

    EvaluationTableModel combined(EvaluationTableModel::Table::Combined);
    const QAbstractItemModelTester combinedTester(&combined, kFatal);
    combined.setEvaluation(*evaluation);
    QCOMPARE(headerOf(combined), (QStringList{"group", "sites", "scale_mean", "scale_sd",
                                              "scale_cv", "rank", "north", "south"}));
    // The south has Gala alone for a standard, and scales Gala at its value.
    QCOMPARE(rowsOf(combined, 2), (QStringList{"Gala|2", "Laura|1", "Agria|0"}));
    QCOMPARE(combined.index(0, 7).data().toString(), QStringLiteral("3.0"));
    QCOMPARE(combined.index(2, 7).data().toString(), QString());
    EvaluationTableModel fit(EvaluationTableModel::Table::Fit);
    fit.setEvaluation(*evaluation);
    QCOMPARE(rowsOf(fit, 3), (QStringList{"north|Gala|3", "north|Laura|7", "south|Gala|3"}));
}

void TestTrialModels::summaryHeadsInWords_data()
{
    QTest::addColumn<QString>("name"); // in the exported summary
    QTest::addColumn<QString>("words");
    QTest::addColumn<QString>("tip");

    const auto row = [](const char* name, const QString& words, const char* tip = nullptr) {
        QTest::newRow(name) << name << words << QString::fromLatin1(tip ? tip : name);
    };
    row("group", "Group");
    row("standard", "Standard", "A standard's value on the 1-9 scale; not in the file");
    row("plots", "Plots");
    row("refused", "Refused");
    row("relative_audpc_mean", "Relative AUDPC");
    row("relative_audpc_sd", "SD");
    row("audpc_sd", "AUDPC SD");
    row("yield_losses_mean", "Yield losses");
    row("rank", "Rank");
    row("scale", QString::fromUtf8("Scale 1\u20139"));
}

// Each column is headed in words that no other column shares, and names its
// column of the file in its tooltip; Copy heads its columns as the file does.
void TestTrialModels::summaryHeadsInWords()
{
    QFETCH(QString, name);
    QFETCH(QString, words);
    QFETCH(QString, tip);

    TrialSummaryModel model;
    const QAbstractItemModelTester tester(&model, kFatal);
    model.setSummary(summaryOf(contents(kSmall)));
    int found = -1;
    QStringList heads;
    for (int at = 0; at < model.columnCount(); ++at) {
        heads.append(model.headerData(at, Qt::Horizontal, Qt::DisplayRole).toString());
        if (model.headerData(at, Qt::Horizontal, kColumnNameRole).toString() == name)
            found = at;
    }
    QVERIFY(found >= 0);
    QCOMPARE(model.headerData(found, Qt::Horizontal, Qt::DisplayRole).toString(), words);
    QCOMPARE(model.headerData(found, Qt::Horizontal, Qt::ToolTipRole).toString(), tip);
    QCOMPARE(heads.count(words), 1);
    const QString copied = QString::fromStdString(model.copiedRows({0}, '.'));
    QCOMPARE(copied.section(QLatin1Char('\n'), 0, 0).split(QLatin1Char('\t')).value(found), name);
}

void TestTrialModels::remembersTheColumnsShown_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QStringList>("shown");

    QTest::newRow("nothing stored: what an evaluation reads")
        << QVariant()
        << QStringList{
               "group", "standard", "plots", "refused", "relative_audpc_mean", "relative_audpc_sd",
               "rank",  "scale"};
    QTest::newRow("chosen ones") << QVariant(QStringList{"plots", "audps_mean"})
                                 << QStringList{"group", "plots", "audps_mean"};
    QTest::newRow("none chosen keeps the group") << QVariant(QStringList{}) << QStringList{"group"};
    QTest::newRow("an unknown name")
        << QVariant(QStringList{"clone", "rank"}) << QStringList{"group", "rank"};
}

// Read from the settings, and written back as read in a new session.
void TestTrialModels::remembersTheColumnsShown()
{
    QFETCH(QVariant, stored);
    QFETCH(QStringList, shown);

    QTemporaryDir folder;
    const QString path = folder.filePath("quarven.ini");
    TrialSummaryModel model;
    const auto names = [&](const std::vector<bool>& flags) {
        QStringList on;
        for (int at = 0; at < model.columnCount(); ++at)
            if (flags.at(std::size_t(at)))
                on.append(model.headerData(at, Qt::Horizontal, kColumnNameRole).toString());
        return on;
    };
    {
        QSettings settings(path, QSettings::IniFormat);
        if (stored.isValid())
            settings.setValue("trial/summaryColumns", stored);
        const std::vector<bool> read = ShownSummaryColumns(settings, model);
        QCOMPARE(read.size(), std::size_t(model.columnCount()));
        QCOMPARE(names(read), shown);
        RememberSummaryColumns(settings, model, read);
        settings.sync();
        QCOMPARE(settings.status(), QSettings::NoError);
    }
    const QSettings again(path, QSettings::IniFormat);
    QCOMPARE(names(ShownSummaryColumns(again, model)), shown);
}

void TestTrialModels::chartFollowsTheView_data()
{
    QTest::addColumn<QString>("column"); // sorted by
    QTest::addColumn<int>("order");
    QTest::addColumn<QString>("filter");     // a pattern of the group's name
    QTest::addColumn<QStringList>("groups"); // in the chart's order

    // Laura's curve lies lowest, Bellarosa's highest.
    QTest::newRow("the file's order") << "" << 0 << "" << QStringList{"Gala", "Bellarosa", "Laura"};
    QTest::newRow("most resistant first") << "relative_audpc_mean" << int(Qt::AscendingOrder) << ""
                                          << QStringList{"Laura", "Gala", "Bellarosa"};
    QTest::newRow("most susceptible first") << "relative_audpc_mean" << int(Qt::DescendingOrder)
                                            << "" << QStringList{"Bellarosa", "Gala", "Laura"};
    QTest::newRow("by name, filtered")
        << "group" << int(Qt::DescendingOrder) << "^[gl]" << QStringList{"Laura", "Gala"};
    QTest::newRow("the standard filtered out")
        << "group" << int(Qt::AscendingOrder) << "r" << QStringList{"Bellarosa", "Laura"};
}

// The chart's words give the groups in the view's order, through its sort
// and filter, the standard with its declared value.
void TestTrialModels::chartFollowsTheView()
{
    QFETCH(QString, column);
    QFETCH(int, order);
    QFETCH(QString, filter);
    QFETCH(QStringList, groups);

    TrialSummaryModel model;
    model.setSummary(summaryOf(contents(kSmall)));
    QVERIFY(model.setData(model.index(0, TrialSummaryModel::kStandardColumn), "5", Qt::EditRole));
    QSortFilterProxyModel view;
    view.setSourceModel(&model);
    view.setSortRole(kSortRole);
    view.setFilterCaseSensitivity(Qt::CaseInsensitive);
    view.setFilterRegularExpression(filter);
    view.sort(::column(model, column), Qt::SortOrder(order));
    QWidget side;
    GroupChart* chart = MakeSummaryChart(&side);
    chart->setGroups(ChartGroupsOf(view, model));
    const QString said = chart->widget()->accessibleDescription();
    qsizetype from = 0;
    for (const QString& group : groups) {
        const qsizetype at = said.indexOf(QRegularExpression("\\b" + group + "[,:]"), from);
        QVERIFY2(at >= from, qPrintable(group + " not in its place: " + said));
        from = at + 1;
    }
    QCOMPARE(said.count(QStringLiteral("relative AUDPC")) + said.count("no computed plot"),
             groups.size());
    QCOMPARE(said.contains(QStringLiteral("Gala, standard of value 5:")), groups.contains("Gala"));
}

QTEST_MAIN(TestTrialModels)
#include "tst_trial_models.moc"
