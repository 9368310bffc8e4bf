#include "qt_dialogs.h"

#include "app_info.h"
#include "twips.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>

namespace quarven {
namespace {

// A lone carriage return breaks the line in our texts but not in a QLabel;
// the stored text keeps it.
QString displayText(const std::string& text)
{
    QString shown = QString::fromStdString(text);
    for (qsizetype i = 0; i < shown.size(); ++i) {
        if (shown[i] == u'\r' && (i + 1 == shown.size() || shown[i + 1] != u'\n'))
            shown[i] = u'\n';
    }
    return shown;
}

const char* const kTrialFilter =
    "Trial files (*.csv *.tsv *.txt *.xlsx *.ods *.xls);;All files (*)";
// The second type reads the same files with their dates month first: the
// only place the window is told so, as a file never is.
const char* const kDayFirst = "Trial files (*.csv *.tsv *.txt *.xlsx *.ods *.xls)";
const char* const kMonthFirst =
    "Trial files, dates month first: m/d/yyyy (*.csv *.tsv *.txt *.xlsx *.ods *.xls)";

} // namespace

std::string QtDialogs::prompt(const std::string& text, const std::string& title,
                              const std::string& defaultAnswer,
                              std::optional<PromptPosition> position)
{
    // A constructed dialog, because the static helper cannot be placed.
    QInputDialog dialog(QApplication::activeWindow());
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setWindowTitle(QString::fromStdString(title));
    dialog.setLabelText(displayText(text));
    dialog.setTextValue(QString::fromStdString(defaultAnswer));
    for (QLabel* label : dialog.findChildren<QLabel*>())
        label->setTextFormat(Qt::PlainText);
    if (position)
        dialog.move(twipsToPixelsX(position->left), twipsToPixelsY(position->top));
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.textValue().toStdString();
}

void QtDialogs::message(const std::string& text)
{
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(app::kTitle), displayText(text),
                    QMessageBox::Ok, QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void QtDialogs::beep()
{
    QApplication::beep();
}

bool QtDialogs::confirm(const std::string& text)
{
    QMessageBox box(QMessageBox::Question, QString::fromUtf8(app::kTitle), displayText(text),
                    QMessageBox::Yes | QMessageBox::No, QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

std::string QtDialogs::openFileName(const std::string& title)
{
    return QFileDialog::getOpenFileName(QApplication::activeWindow(), QString::fromStdString(title),
                                        QString(), QString::fromLatin1(kTrialFilter))
        .toStdString();
}

TrialFileName QtDialogs::openTrialName(const std::string& title)
{
    QString selected;
    const QString path = QFileDialog::getOpenFileName(
        QApplication::activeWindow(), QString::fromStdString(title), QString(),
        QStringLiteral("%1;;%2;;All files (*)")
            .arg(QLatin1String(kDayFirst), QLatin1String(kMonthFirst)),
        &selected);
    return {path.toStdString(), selected == QLatin1String(kMonthFirst)};
}

std::string QtDialogs::saveFileName(const std::string& title, const std::string& suggested)
{
    return QFileDialog::getSaveFileName(QApplication::activeWindow(), QString::fromStdString(title),
                                        QString::fromStdString(suggested),
                                        QString::fromLatin1(kTrialFilter))
        .toStdString();
}

std::string QtDialogs::saveExportName(const std::string& title, const std::string& suggested)
{
    // A constructed dialog, so that a name typed without an extension under
    // the workbooks' type becomes a workbook.
    QFileDialog dialog(QApplication::activeWindow(), QString::fromStdString(title),
                       QString::fromStdString(suggested));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    const QString text = QStringLiteral("Text files (*.csv *.tsv *.txt)");
    const QString books = QStringLiteral("Workbooks (*.xlsx)");
    dialog.setNameFilters({text, books, QStringLiteral("All files (*)")});
    if (QString::fromStdString(suggested).endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive))
        dialog.selectNameFilter(books);
    QObject::connect(
        &dialog, &QFileDialog::filterSelected, &dialog, [&dialog, books](const QString& filter) {
            dialog.setDefaultSuffix(filter == books ? QStringLiteral("xlsx") : QString());
        });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst().toStdString();
}

std::string QtDialogs::saveImageName(const std::string& title, const std::string& suggested,
                                     const std::string& extension)
{
    // A constructed dialog, because the static helper adds no extension.
    QFileDialog dialog(QApplication::activeWindow(), QString::fromStdString(title),
                       QString::fromStdString(suggested));
    const QString suffix = QString::fromStdString(extension);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    const QString kind =
        suffix == QLatin1String("pdf") ? QStringLiteral("documents") : QStringLiteral("images");
    dialog.setNameFilter(QStringLiteral("%1 %2 (*.%3)").arg(suffix.toUpper(), kind, suffix));
    dialog.setDefaultSuffix(suffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst().toStdString();
}

std::optional<std::size_t> QtDialogs::choose(const std::string& title, const std::string& text,
                                             const std::vector<std::string>& items)
{
    QInputDialog dialog(QApplication::activeWindow());
    dialog.setWindowTitle(QString::fromStdString(title));
    dialog.setLabelText(displayText(text));
    QStringList names;
    for (const std::string& item : items)
        names.append(QString::fromStdString(item));
    dialog.setComboBoxItems(names);
    dialog.setComboBoxEditable(false);
    dialog.setOption(QInputDialog::UseListViewForComboBoxItems);
    for (QLabel* label : dialog.findChildren<QLabel*>())
        label->setTextFormat(Qt::PlainText);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const qsizetype index = names.indexOf(dialog.textValue());
    if (index < 0)
        return std::nullopt;
    return static_cast<std::size_t>(index);
}

} // namespace quarven
