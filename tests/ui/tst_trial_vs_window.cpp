// The same plots through the window's Calculate and through the batch: the
// yield losses, the AUDPC and the messages must be the same texts, but for an
// AUDPC of 0, which the window leaves empty. The window
// is driven through its controls' object names only; the dialogs are scripted.
#include "support/main_window_fixture.h"
#include "trial/trial_batch.h"
#include "trial/trial_file.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRandomGenerator>
#include <QtTest>

using namespace quarven;
using namespace quarven::test;

namespace {

struct BatchResult {
    QString losses;
    QString audpc;
    QString message;
};

BatchResult throughBatch(const QStringList& dates, const QStringList& levels, int period)
{
    QByteArray text = "plot;date;level;period\n";
    for (qsizetype i = 0; i < dates.size(); ++i)
        text += "P;" + dates[i].toUtf8() + ';' + levels[i].toUtf8() + ';' +
                QByteArray::number(period) + '\n';
    BatchResult got;
    TrialBatch batch(BatchSettings{kCommonYear, kDefaultPeriod}, [&got](const PlotResult& plot) {
        const std::string_view losses = plot.measures[kYieldLosses];
        const std::string_view audpc = plot.measures[kAudpc];
        got.losses = QString::fromUtf8(losses.data(), qsizetype(losses.size()));
        got.audpc = QString::fromUtf8(audpc.data(), qsizetype(audpc.size()));
        got.message = QString::fromUtf8(plot.message.data(), qsizetype(plot.message.size()));
    });
    if (ReadTrial(std::string_view(text.constData(), std::size_t(text.size())), batch))
        qFatal("The trial text was not read");
    batch.finish();
    return got;
}

// Levels that mostly rise, dates mostly ten days apart: a few plots fail on
// their dates or their levels, most are computed.
void addGeneratedPlots()
{
    QRandomGenerator random(20260708);
    for (int plot = 0; plot < 60; ++plot) {
        const int count = random.bounded(3, 9);
        QStringList dates;
        QStringList levels;
        int day = 1 + random.bounded(20);
        int tenths = 0;
        for (int i = 0; i < count; ++i) {
            day += random.bounded(100) < 3 ? 0 : random.bounded(1, 15);
            tenths += random.bounded(100) < 3 ? -5 : random.bounded(0, 120);
            const QDate date = QDate(kCommonYear, 6, 1).addDays(day);
            dates << date.toString(QStringLiteral("dd/MM"));
            levels << QStringLiteral("%1.%2").arg(qMax(tenths, 0) / 10).arg(qMax(tenths, 0) % 10);
        }
        const int period = random.bounded(10, 131);
        QTest::addRow("generated plot %d", plot) << dates << levels << period;
    }
}

} // namespace

class TestTrialVsWindow : public QObject {
    Q_OBJECT

private slots:
    void cleanup();
    void sameTexts_data();
    void sameTexts();

private:
    MainWindowFixture m_fixture;
};

void TestTrialVsWindow::cleanup()
{
    QVERIFY(m_fixture.dialogs.scriptFinished());
    m_fixture.close();
}

void TestTrialVsWindow::sameTexts_data()
{
    QTest::addColumn<QStringList>("dates");
    QTest::addColumn<QStringList>("levels");
    QTest::addColumn<int>("period");

    QTest::newRow("three assessments over 52 days")
        << QStringList{"01/07", "11/07", "21/07"} << QStringList{"0", "10", "30"} << 52;
    QTest::newRow("late maturity")
        << QStringList{"01/07", "11/07", "21/07"} << QStringList{"0", "10", "30"} << 84;
    QTest::newRow("same date twice")
        << QStringList{"01/07", "01/07", "21/07"} << QStringList{"0", "10", "30"} << 52;
    QTest::newRow("dates out of order")
        << QStringList{"11/07", "01/07", "21/07"} << QStringList{"5", "3", "30"} << 52;
    QTest::newRow("falling level in the third pair")
        << QStringList{"01/07", "05/07", "09/07", "13/07"} << QStringList{"1", "2", "3", "2.5"}
        << 52;
    QTest::newRow("all levels zero")
        << QStringList{"01/07", "11/07", "21/07"} << QStringList{"0", "0", "0"} << 52;
    QTest::newRow("a sum worked out as 1.5 by hand")
        << QStringList{"01/07", "04/07", "07/07"} << QStringList{"0", "0.3", "0.4"} << 52;
    QTest::newRow("losses worked out as 0.05 by hand")
        << QStringList{"01/07", "04/07", "14/07"} << QStringList{"0", "0.2", "0.2"} << 46;
    QTest::newRow("equal levels") << QStringList{"01/07", "11/07", "21/07"}
                                  << QStringList{"10", "10", "10"} << 130;
    // Cells copied from a spreadsheet under a decimal-comma locale.
    QTest::newRow("decimal commas")
        << QStringList{"01/07", "11/07", "21/07"} << QStringList{"0", "3,5", "12,75"} << 52;
    QTest::newRow("decimal comma falling below a point")
        << QStringList{"01/07", "11/07", "21/07"} << QStringList{"2,5", "2.2", "30"} << 52;
    QTest::newRow("a long season")
        << QStringList{"15/06", "22/06", "29/06", "06/07", "13/07",
                       "20/07", "27/07", "03/08", "10/08", "17/08"}
        << QStringList{"0.1", "0.4", "1.2", "3.5", "7.7", "15.2", "28.9", "47.3", "71.6", "90.05"}
        << 64;
    addGeneratedPlots();
}

void TestTrialVsWindow::sameTexts()
{
    QFETCH(QStringList, dates);
    QFETCH(QStringList, levels);
    QFETCH(int, period);

    const BatchResult batch = throughBatch(dates, levels, period);

    LossEng& window = m_fixture.open(kCommonYear);
    auto* count = window.findChild<QLineEdit*>(QStringLiteral("sNx"));
    auto* periodBox = window.findChild<QLineEdit*>(QStringLiteral("sQ"));
    auto* dateList = window.findChild<QListWidget*>(QStringLiteral("sTx"));
    auto* levelList = window.findChild<QListWidget*>(QStringLiteral("sX"));
    auto* calculate = window.findChild<QPushButton*>(QStringLiteral("Command1"));
    auto* losses = window.findChild<QLineEdit*>(QStringLiteral("sPotEvro"));
    auto* audpc = window.findChild<QLineEdit*>(QStringLiteral("sWEvro"));
    QVERIFY(count && periodBox && dateList && levelList && calculate && losses && audpc);

    count->setText(QString::number(dates.size()));
    periodBox->setText(QString::number(period));
    QCOMPARE(dateList->count(), dates.size());
    setItems(dateList, dates);
    setItems(levelList, levels);
    if (!batch.message.isEmpty())
        m_fixture.dialogs.acknowledge();
    calculate->click();

    const QStringList shown = m_fixture.dialogs.takeTranscript();
    if (batch.message.isEmpty()) {
        QCOMPARE(shown, QStringList());
        QCOMPARE(losses->text(), batch.losses);
        // The window shows an AUDPC of 0 as nothing; the results file has the number.
        QCOMPARE(audpc->text().isEmpty() ? QStringLiteral("0") : audpc->text(), batch.audpc);
    } else {
        QCOMPARE(shown, QStringList{messageLine(batch.message)});
        QCOMPARE(losses->text(), QString());
        QCOMPARE(audpc->text(), QString());
        QCOMPARE(batch.losses, QString());
    }
}

QTEST_MAIN(TestTrialVsWindow)
#include "tst_trial_vs_window.moc"
