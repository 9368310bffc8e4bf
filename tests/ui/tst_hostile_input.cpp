// Long, odd and hostile texts at every prompt and into both number boxes:
// the program must keep running, say something or ask again, and leave every
// control holding a value it can use.
#include "core/value_conventions.h"
#include "entry/dialogs.h"
#include "support/main_window_fixture.h"
#include "ui/controls.h"
#include "ui/loss_eng.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

using namespace quarven;

namespace {

constexpr int kYear = 2026;

// Answers each prompt's first showing with the hostile text and later ones
// with a sound answer for that prompt, acknowledges every message, and stops
// the program if the prompts never end.
class HostileDialogs final : public Dialogs {
public:
    explicit HostileDialogs(QString hostile) : m_hostile(std::move(hostile)) {}

    std::string prompt(const std::string&, const std::string& title, const std::string&,
                       std::optional<PromptPosition>) override
    {
        if (++m_prompts > 200)
            qFatal("Prompts never end: %s", title.c_str());
        if (!m_answered.contains(title)) {
            m_answered.insert(title);
            return m_hostile.toStdString();
        }
        if (title == "a number of assessments should be > 2")
            return "4";
        if (title == "Date input error")
            return "60";
        if (title == "Insert a budding date")
            return "1/6";
        if (title == "Insert the date of dessiccation")
            return "1/8";
        return {};
    }
    void message(const std::string&) override { ++messages; }
    void beep() override {}
    bool confirm(const std::string&) override { return true; }
    std::string openFileName(const std::string&) override { return {}; }
    std::string saveFileName(const std::string&, const std::string&) override { return {}; }
    std::string saveImageName(const std::string&, const std::string&, const std::string&) override
    {
        return {};
    }
    std::optional<std::size_t> choose(const std::string&, const std::string&,
                                      const std::vector<std::string>&) override
    {
        return std::nullopt;
    }

    void nextAction() { m_answered.clear(); }
    int messages = 0;

private:
    QString m_hostile;
    QSet<std::string> m_answered;
    int m_prompts = 0;
};

// Types each character as a key press carrying it, as an X11 keyboard would;
// QTest::keyClicks cannot carry control characters.
void type(QWidget* widget, const QString& text)
{
    for (const QChar c : text) {
        const int key = c.isDigit() ? Qt::Key_0 + c.digitValue() : int(Qt::Key_unknown);
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &release);
    }
}

QString check(const LossEng& window)
{
    const test::MainWindowControls ui(window);
    const std::optional<std::int16_t> count = ReadInt16(ui.sNx->text().toStdString());
    if (!count || *count < 3)
        return "count " + ui.sNx->text();
    for (const QListWidget* list : {ui.sNuch, ui.sTx, ui.sX})
        if (list->count() != *count)
            return QStringLiteral("%1 holds %2 rows").arg(list->objectName()).arg(list->count());
    const std::optional<std::int16_t> period = ReadInt16(ui.sQ->text().toStdString());
    if (!period || *period < 10 || *period > 130 || ui.sQ->text() != QString::number(*period))
        return "period " + ui.sQ->text();
    for (int row = 0; row < *count; ++row) {
        const std::string date = ui.sTx->item(row)->text().toStdString();
        if (date != " " && NormalisedDayMonth(date, kYear) != date)
            return "date " + ui.sTx->item(row)->text();
        const double level = ReadLevel(ui.sX->item(row)->text().toStdString());
        if (!(level >= 0 && level <= 100))
            return "level " + ui.sX->item(row)->text();
    }
    return {};
}

} // namespace

class TestHostileInput : public QObject {
    Q_OBJECT

private slots:
    void everyEntry_data();
    void everyEntry();
};

void TestHostileInput::everyEntry_data()
{
    QTest::addColumn<QString>("hostile");

    QTest::newRow("long digit string") << QString(5000, QLatin1Char('9'));
    QTest::newRow("too large for a double") << "1e400";
    QTest::newRow("NaN-looking") << "NaN";
    QTest::newRow("infinity-looking") << "-inf";
    QTest::newRow("control characters") << QString::fromUtf8("\x01\x02\r\n\t\x1b[2J\x7f");
    QTest::newRow("count past 32767") << "40000";
    QTest::newRow("largest count") << "32767";
    QTest::newRow("period past 32767") << "99999";
    QTest::newRow("negative") << "-5";
    QTest::newRow("date 0/0") << "0/0";
    QTest::newRow("date 32/1") << "32/1";
    QTest::newRow("leap day in a common year") << "29/2";
    QTest::newRow("leap day with a leap year") << "29/2/2024";
    QTest::newRow("markup") << "<img src=x onerror=alert(1)>";
    QTest::newRow("format directives") << "%s%n%d %1 %2";
    QTest::newRow("non-ASCII") << QString::fromUtf8("12/7 \xc3\xa9\xe2\x80\x8f\xf0\x9f\xa5\x94");
    QTest::newRow("very long text") << QString(20000, QLatin1Char('x'));
}

void TestHostileInput::everyEntry()
{
    QFETCH(QString, hostile);

    HostileDialogs dialogs(hostile);
    LossEng window(dialogs, [] { return kYear; });
    const test::MainWindowControls ui(window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    const auto act = [&](const char* what, const std::function<void()>& action) {
        dialogs.nextAction();
        action();
        const QString fault = check(window);
        QVERIFY2(fault.isEmpty(), qPrintable(QString("after %1: %2").arg(what, fault)));
    };

    const auto click = [&](ListBox* list, int row) {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(row)).center());
    };
    act("a row number", [&] { click(ui.sNuch, 0); });
    act("a date", [&] { click(ui.sTx, 1); });
    act("a level", [&] { click(ui.sX, 2); });
    act("all dates", [&] { QTest::mouseClick(ui.Alluch, Qt::LeftButton); });
    act("all levels", [&] { QTest::mouseClick(ui.AllsX, Qt::LeftButton); });
    act("premature desiccation", [&] { QTest::mouseClick(ui.Spel(7), Qt::LeftButton); });
    act("typed count", [&] {
        ui.sNx->selectAll();
        type(ui.sNx, hostile.left(40));
    });
    act("count prompt", [&] {
        ui.sNx->selectAll();
        QTest::keyClicks(ui.sNx, QStringLiteral("1"));
    });
    act("pasted count", [&] { ui.sNx->setText(hostile); });
    act("typed period", [&] {
        ui.sQ->selectAll();
        type(ui.sQ, hostile.left(40));
    });
    act("period prompt", [&] {
        ui.sQ->selectAll();
        QTest::keyClicks(ui.sQ, QStringLiteral("1"));
    });
    act("pasted period", [&] { ui.sQ->setText(hostile); });
    act("calculate", [&] { QTest::mouseClick(ui.Command1, Qt::LeftButton); });
}

QTEST_MAIN(TestHostileInput)
#include "tst_hostile_input.moc"
