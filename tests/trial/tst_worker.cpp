// The helper thread that makes half of a long trial's results: each job
// asked for runs, one at a time, and asks made while it runs are one more run.
#include "trial/worker.h"

#include <QtTest>

#include <atomic>
#include <future>

using namespace quarven;

class TestWorker : public QObject {
    Q_OBJECT

private slots:
    void runsWhatWasAsked_data();
    void runsWhatWasAsked();
};

void TestWorker::runsWhatWasAsked_data()
{
    QTest::addColumn<int>("asks");
    QTest::addColumn<bool>("waitEach");        // for its run before the next ask
    QTest::addColumn<int>("asksWhileRunning"); // made while the first run is held
    QTest::addColumn<int>("runs");

    QTest::newRow("never asked") << 0 << false << 0 << 0;
    QTest::newRow("asked, then stopped at once: it still runs") << 1 << false << 0 << 1;
    QTest::newRow("each ask waited for") << 3 << true << 0 << 3;
    QTest::newRow("asks while it runs: one more run") << 1 << false << 4 << 2;
}

void TestWorker::runsWhatWasAsked()
{
    QFETCH(int, asks);
    QFETCH(bool, waitEach);
    QFETCH(int, asksWhileRunning);
    QFETCH(int, runs);

    int ran = 0; // read only once waited for or stopped
    std::atomic<int> started{0};
    std::promise<void> release;
    const std::shared_future<void> released = release.get_future().share();
    const bool hold = asksWhileRunning > 0;
    Worker worker([&] {
        ++ran;
        if (hold && started.fetch_add(1) == 0)
            released.wait();
    });
    for (int ask = 0; ask < asks; ++ask) {
        QVERIFY(worker.ask());
        if (waitEach)
            worker.wait();
    }
    if (hold) {
        while (started.load() == 0)
            std::this_thread::yield();
        for (int ask = 0; ask < asksWhileRunning; ++ask)
            QVERIFY(worker.ask());
        release.set_value();
        worker.wait();
        QCOMPARE(started.load(), runs);
    }
    worker.stop();
    QCOMPARE(ran, runs);
}

QTEST_GUILESS_MAIN(TestWorker)
#include "tst_worker.moc"
