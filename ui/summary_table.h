// The Trial window's summary: the group's column stays in view while the
// others scroll (a second view over the same model and selection, laid over
// the first column); rows as dense as a spreadsheet's; the columns shown
// chosen from the header's menu and remembered for the next session.
#pragma once

#include <QTableView>

#include <vector>

class QMenu;
class QSettings;

namespace quarven {

class SummaryTable : public QTableView {
    Q_OBJECT
public:
    // The columns shown are remembered in settings, which the table takes;
    // none: the user's own.
    explicit SummaryTable(QWidget* parent, QSettings* settings = nullptr);

    // The model's columns are those of TrialSummaryModel.
    void setModel(QAbstractItemModel* model) override;
    // The header's menu of columns, one checkable action a column.
    [[nodiscard]] QMenu* columnsMenu() const { return m_columns; }
    [[nodiscard]] QTableView* frozen() const { return m_frozen; }
    // As wide as the columns shown, so that a splitter gives it their room.
    [[nodiscard]] QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    void updateGeometries() override;

private:
    void placeFrozen();
    void applyColumns();
    void fitColumns();
    void fitColumn(int column);
    void showColumn(int column, bool shown);

    QTableView* m_frozen;
    QMenu* m_columns;
    QSettings* m_settings;
};

} // namespace quarven
