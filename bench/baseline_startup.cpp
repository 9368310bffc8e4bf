// The start-up baseline: about the least a Qt Widgets window of the main
// window's size costs, with one word-wrapped label and a three-row list.
#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QWidget>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Quarven start-up baseline"));
    window.resize(449, 503);

    auto* label = new QLabel(
        QStringLiteral("Calculation of Quarven caused by the early and late blight"), &window);
    label->setWordWrap(true);
    label->setGeometry(56, 8, 385, 49);

    auto* list = new QListWidget(&window);
    list->addItems({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")});
    list->setGeometry(16, 312, 33, 181);

    window.show();
    return application.exec();
}
