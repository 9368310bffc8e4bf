// The entry rules' view of the main window's controls: a QLineEdit as a
// TextBox and the three lists as the assessment cells.
#pragma once

#include "entry/assessment_cells.h"
#include "entry/text_box.h"
#include "ui/list_texts.h"

#include <string>
#include <vector>

class QLineEdit;
class QListWidget;

namespace quarven {

// One item's text replaced; a row the list does not hold is left alone.
void SetItemText(QListWidget* list, int row, const std::string& text);

// setText goes straight to QLineEdit::setText, which raises textChanged
// nested inside the call when the text differs: the change handlers rely on it.
class LineEditBox final : public TextBox {
public:
    explicit LineEditBox(QLineEdit* edit) : m_edit(edit) {}
    [[nodiscard]] std::string text() const override;
    void setText(const std::string& text) override;
    void restoreText(const std::string& text) override;

private:
    QLineEdit* m_edit;
};

class ListCells final : public AssessmentCells {
public:
    ListCells(QListWidget* dates, QListWidget* levels) : m_dates(dates), m_levels(levels) {}
    [[nodiscard]] int rowCount() const override;
    [[nodiscard]] std::string date(int row) const override;
    [[nodiscard]] std::string level(int row) const override;
    void setDate(int row, const std::string& text) override;
    void setLevel(int row, const std::string& text) override;

private:
    QListWidget* m_dates;
    QListWidget* m_levels;
};

} // namespace quarven
