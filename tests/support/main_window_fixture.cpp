#include "main_window_fixture.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

namespace quarven::test {

LossEng& MainWindowFixture::open(int year)
{
    m_window = std::make_unique<LossEng>(dialogs, [year] { return year; });
    m_window->show();
    if (!QTest::qWaitForWindowExposed(m_window.get()))
        qFatal("The main window was not shown");
    return *m_window;
}

MainWindowControls::MainWindowControls(const QWidget& window)
    : Label1(control<QLabel>(window, "Label1")), sNuch(control<ListBox>(window, "sNuch")),
      sTx(control<ListBox>(window, "sTx")), sX(control<ListBox>(window, "sX")),
      AllsX(control<ClickLabel>(window, "AllsX")), Alluch(control<ClickLabel>(window, "Alluch")),
      Picture2(control<ClickLabel>(window, "Picture2")),
      Frame1(control<QGroupBox>(window, "Frame1")), sQ(control<QLineEdit>(window, "sQ")),
      sNx(control<QLineEdit>(window, "sNx")), Command1(control<QPushButton>(window, "Command1")),
      sPotEvro(control<QLineEdit>(window, "sPotEvro")),
      sWEvro(control<QLineEdit>(window, "sWEvro")), m_window(window)
{
}

QRadioButton* MainWindowControls::Spel(int number) const
{
    return control<QRadioButton>(m_window,
                                 QStringLiteral("Spel%1").arg(number).toLatin1().constData());
}

void script(ScriptedDialogs& dialogs, const QStringList& steps)
{
    for (const QString& step : steps) {
        if (step == QLatin1String("!cancel"))
            dialogs.cancel();
        else if (step == QLatin1String("!ok"))
            dialogs.acknowledge();
        else if (step == QLatin1String("!yes") || step == QLatin1String("!no"))
            dialogs.confirm(step == QLatin1String("!yes"));
        else if (step.startsWith(QLatin1String("!file:")))
            dialogs.file(step.mid(6));
        else if (step.startsWith(QLatin1String("!pick:")))
            dialogs.pick(step.mid(6).toULongLong());
        else
            dialogs.answer(step);
    }
}

QStringList items(const QListWidget* list)
{
    QStringList texts;
    for (int row = 0; row < list->count(); ++row)
        texts.append(list->item(row)->text());
    return texts;
}

void setItems(QListWidget* list, const QStringList& texts)
{
    for (int row = 0; row < texts.size() && row < list->count(); ++row)
        list->item(row)->setText(texts[row]);
}

void pressKeys(QWidget* widget, const QStringList& keys)
{
    for (const QString& key : keys) {
        const QKeyCombination combination = QKeySequence(key)[0];
        QTest::keyClick(widget, combination.key(), combination.keyboardModifiers());
    }
}

void clickRow(ListBox* list, int row)
{
    QListWidgetItem* item = list->item(row);
    list->scrollToItem(item);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
}

} // namespace quarven::test
