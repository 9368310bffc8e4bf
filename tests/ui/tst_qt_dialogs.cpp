// The real dialogs: where a prompt appears, what it offers, and that every
// text is shown as typed, never read as markup.
#include "app_info.h"
#include "ui/qt_dialogs.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace quarven;

namespace {

// Runs check on the modal dialog once it is up, then answers it.
template <typename Dialog> void whenShown(const std::function<void(Dialog*)>& check, bool accept)
{
    QTimer::singleShot(0, [check, accept] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            QApplication::activeModalWidget()->close();
            return;
        }
        check(dialog);
        // Through QDialog: QFileDialog keeps its accept() protected.
        QDialog* answered = dialog;
        accept ? answered->accept() : answered->reject();
    });
}

QString labelText(QWidget* dialog, Qt::TextFormat* format)
{
    for (QLabel* label : dialog->findChildren<QLabel*>()) {
        if (!label->text().isEmpty()) {
            *format = label->textFormat();
            return label->text();
        }
    }
    return {};
}

} // namespace

class TestQtDialogs : public QObject {
    Q_OBJECT

private slots:
    void promptPlacedInTwips();
    void promptCancelledGivesEmptyText();
    void promptWithoutPositionIsPlacedByQt();
    void messageIsPlainTextWithLineBreaks();
    void confirm_data();
    void confirm();
    void chooseGivesTheIndex_data();
    void chooseGivesTheIndex();
    void imageNamesGetTheirExtension_data();
    void imageNamesGetTheirExtension();
};

void TestQtDialogs::promptPlacedInTwips()
{
    QtDialogs dialogs;
    QPoint shownAt;
    QString title, offered, label;
    Qt::TextFormat format = Qt::AutoText;
    whenShown<QInputDialog>(
        [&](QInputDialog* dialog) {
            shownAt = dialog->pos();
            title = dialog->windowTitle();
            offered = dialog->textValue();
            label = labelText(dialog, &format);
            dialog->setTextValue(QStringLiteral("12/7"));
        },
        true);
    const std::string answer =
        dialogs.prompt("<b>bold?</b>\rsecond line", "Title  1", " ", PromptPosition{3000, 3000});
    QCOMPARE(QString::fromStdString(answer), QStringLiteral("12/7"));
    QCOMPARE(shownAt, QPoint(200, 200));
    QCOMPARE(title, QStringLiteral("Title  1"));
    QCOMPARE(offered, QStringLiteral(" "));
    QCOMPARE(label, QStringLiteral("<b>bold?</b>\nsecond line"));
    QCOMPARE(format, Qt::PlainText);
}

void TestQtDialogs::promptCancelledGivesEmptyText()
{
    QtDialogs dialogs;
    whenShown<QInputDialog>([](QInputDialog*) {}, false);
    QCOMPARE(dialogs.prompt("text", "title", "13/6", std::nullopt), std::string());
}

void TestQtDialogs::promptWithoutPositionIsPlacedByQt()
{
    QWidget owner;
    owner.setGeometry(300, 300, 400, 400);
    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));
    QApplication::setActiveWindow(&owner);
    QtDialogs dialogs;
    QRect shown;
    whenShown<QInputDialog>([&](QInputDialog* dialog) { shown = dialog->frameGeometry(); }, false);
    (void)dialogs.prompt("text", "title", "", std::nullopt);
    QVERIFY(shown.intersects(owner.frameGeometry()));
}

void TestQtDialogs::messageIsPlainTextWithLineBreaks()
{
    QtDialogs dialogs;
    QString caption, text;
    Qt::TextFormat format = Qt::AutoText;
    qsizetype buttons = 0;
    whenShown<QMessageBox>(
        [&](QMessageBox* box) {
            caption = box->windowTitle();
            text = box->text();
            format = box->textFormat();
            buttons = box->buttons().size();
        },
        true);
    dialogs.message("Error insertion of the date=>(<img src=x>) [Example]\rnext");
    QCOMPARE(caption, QString::fromUtf8(app::kTitle));
    QCOMPARE(text, QStringLiteral("Error insertion of the date=>(<img src=x>) [Example]\nnext"));
    QCOMPARE(format, Qt::PlainText);
    QCOMPARE(buttons, qsizetype(1));
}

void TestQtDialogs::confirm_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<bool>("yes");
    QTest::newRow("Yes") << int(QMessageBox::Yes) << true;
    QTest::newRow("No") << int(QMessageBox::No) << false;
    QTest::newRow("Escape") << 0 << false;
}

// A question that quotes nothing as markup, with No as the safe default.
void TestQtDialogs::confirm()
{
    QFETCH(int, button);
    QFETCH(bool, yes);

    QtDialogs dialogs;
    QString text;
    Qt::TextFormat format = Qt::AutoText;
    QAbstractButton* defaultButton = nullptr;
    QAbstractButton* no = nullptr;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        text = box->text();
        format = box->textFormat();
        defaultButton = box->defaultButton();
        no = box->button(QMessageBox::No);
        if (button)
            box->button(QMessageBox::StandardButton(button))->click();
        else
            QTest::keyClick(box, Qt::Key_Escape);
    });
    QCOMPARE(dialogs.confirm("Clear <b>every</b> date?\rSure"), yes);
    QCOMPARE(text, QStringLiteral("Clear <b>every</b> date?\nSure"));
    QCOMPARE(format, Qt::PlainText);
    QVERIFY(defaultButton);
    QCOMPARE(defaultButton, no);
}

void TestQtDialogs::chooseGivesTheIndex_data()
{
    QTest::addColumn<QString>("picked");
    QTest::addColumn<bool>("accept");
    QTest::addColumn<int>("index");
    QTest::newRow("second") << "B" << true << 1;
    QTest::newRow("cancelled") << "B" << false << -1;
}

void TestQtDialogs::chooseGivesTheIndex()
{
    QFETCH(QString, picked);
    QFETCH(bool, accept);
    QFETCH(int, index);

    QtDialogs dialogs;
    QStringList offered;
    whenShown<QInputDialog>(
        [&](QInputDialog* dialog) {
            offered = dialog->comboBoxItems();
            dialog->setTextValue(picked);
        },
        accept);
    const std::optional<std::size_t> chosen = dialogs.choose("Open a plot", "Which?", {"A", "B"});
    QCOMPARE(offered, (QStringList{"A", "B"}));
    QCOMPARE(chosen ? int(*chosen) : -1, index);
}

void TestQtDialogs::imageNamesGetTheirExtension_data()
{
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("saved");
    QTest::newRow("PNG, typed bare") << "png"
                                     << "curve"
                                     << "curve.png";
    QTest::newRow("PNG, typed with it") << "png"
                                        << "curve.png"
                                        << "curve.png";
    QTest::newRow("SVG, typed bare") << "svg"
                                     << "print"
                                     << "print.svg";
}

// Each image dialog offers its own type only, and adds the extension that a
// name typed without one lacks.
void TestQtDialogs::imageNamesGetTheirExtension()
{
    QFETCH(QString, extension);
    QFETCH(QString, typed);
    QFETCH(QString, saved);

    QTemporaryDir folder;
    QtDialogs dialogs;
    QStringList offered;
    whenShown<QFileDialog>(
        [&](QFileDialog* dialog) {
            offered = dialog->nameFilters();
            dialog->selectFile(folder.filePath(typed));
        },
        true);
    const std::string path = dialogs.saveImageName(
        "Save the curve", "curve." + extension.toStdString(), extension.toStdString());
    QCOMPARE(offered,
             QStringList{QStringLiteral("%1 images (*.%2)").arg(extension.toUpper(), extension)});
    QCOMPARE(QString::fromStdString(path), folder.filePath(saved));
}

QTEST_MAIN(TestQtDialogs)
#include "tst_qt_dialogs.moc"
