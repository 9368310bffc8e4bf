// The disease progress curve of the main window's table, redrawn whenever
// the table, the count or the period changes: the levels against the dates,
// the trapezoids under them shaded (their area is the AUDPC), the results in
// the title, and under the chart the row that stops the curve, if any. It
// reads the main window's controls and never writes them. The image can be
// copied or saved as PNG or SVG, at the chart's size or twice it for print.
#pragma once

#include "ui/curve_loader.h"

#include <QDialog>
#include <QImage>
#include <QTimer>

class QAreaSeries;
class QChart;
class QChartView;
class QCheckBox;
class QDateTimeAxis;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QLineSeries;
class QListWidget;
class QPainter;
class QValueAxis;

namespace quarven {

class Dialogs;

class CurveWindow : public QDialog, public CurveView {
    Q_OBJECT
public:
    // owner is the main window: the curve closes with it.
    CurveWindow(const CurveSources& sources, Dialogs& dialogs, QWidget* owner);

    [[nodiscard]] QWidget* widget() override { return this; }
    void redraw() override;
    // The chart as an image, scale times its size on screen.
    [[nodiscard]] QImage image(int scale) const;

    void copyImage();
    void savePng();
    void saveSvg();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void setUpChart();
    void layOutControls();
    void followSources();
    [[nodiscard]] int exportScale() const;
    void paintChart(QPainter& painter, int scale) const;
    [[nodiscard]] QByteArray svg(int scale) const;
    void saveAs(const std::string& path, const QByteArray& bytes);
    [[nodiscard]] QString titleText() const;
    [[nodiscard]] CurveLabel label() const;
    // The title on one line, with what the curve is of.
    [[nodiscard]] QString plainTitle() const;

    CurveSources m_sources;
    Dialogs& m_dialogs;
    QTimer m_pending;
    QChart* m_chart;
    QChartView* m_view;
    QLineSeries* m_line;
    QLineSeries* m_upper;
    QLineSeries* m_zero;
    QAreaSeries* m_area;
    QDateTimeAxis* m_dates;
    QValueAxis* m_levels;
    QLabel* m_stop;
    QCheckBox* m_print;
};

// A CurveFactory.
[[nodiscard]] CurveView* MakeCurveWindow(const CurveSources& sources, Dialogs& dialogs,
                                         QWidget* owner);

} // namespace quarven
