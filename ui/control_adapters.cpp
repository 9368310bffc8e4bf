#include "control_adapters.h"

#include <QLineEdit>
#include <QListWidget>
#include <QSignalBlocker>

#include <algorithm>

namespace quarven {
namespace {

std::string itemText(const QListWidget* list, int row)
{
    const QListWidgetItem* item = list->item(row);
    return item ? item->text().toStdString() : std::string();
}

} // namespace

void SetItemText(QListWidget* list, int row, const std::string& text)
{
    if (QListWidgetItem* item = list->item(row))
        item->setText(QString::fromStdString(text));
}

std::string LineEditBox::text() const
{
    return m_edit->text().toStdString();
}

void LineEditBox::setText(const std::string& text)
{
    m_edit->setText(QString::fromStdString(text));
}

void LineEditBox::restoreText(const std::string& text)
{
    const QSignalBlocker quiet(m_edit);
    m_edit->setText(QString::fromStdString(text));
}

int ListCells::rowCount() const
{
    return std::min(m_dates->count(), m_levels->count());
}

std::string ListCells::date(int row) const
{
    return itemText(m_dates, row);
}

std::string ListCells::level(int row) const
{
    return itemText(m_levels, row);
}

void ListCells::setDate(int row, const std::string& text)
{
    SetItemText(m_dates, row, text);
}

void ListCells::setLevel(int row, const std::string& text)
{
    SetItemText(m_levels, row, text);
}

} // namespace quarven
