// The mean disease progress curves of chosen groups on one chart, against
// the standards: a list of the summary's groups, the standards first and
// checked, and the curves of the checked groups, read from the trial when
// first checked. The chart is painted as the printed report paints it, and
// can be copied or saved as PNG or SVG under the groups' names.
#pragma once

#include "report/curve_chart.h"
#include "trial/group_curves.h"
#include "ui/curve_loader.h"

#include <QDialog>
#include <QImage>

#include <map>
#include <string>
#include <vector>

class QLabel;
class QListWidget;
class QListWidgetItem;
class QPainter;

namespace quarven {

class Dialogs;

class GroupCurvesWindow : public QDialog, public GroupCurvesView {
    Q_OBJECT
public:
    GroupCurvesWindow(const GroupCurveSources& sources, Dialogs& dialogs, QWidget* owner);

    [[nodiscard]] QWidget* widget() override { return this; }
    void setSources(const GroupCurveSources& sources) override;

    // The groups checked, in the list's order.
    [[nodiscard]] std::vector<std::string> chosen() const;
    // The chart's title on one line: the trial, the site, the column and the
    // groups drawn.
    [[nodiscard]] QString titleText() const;
    // The name Save proposes, without its folder or extension.
    [[nodiscard]] QString imageName() const;
    [[nodiscard]] QImage image() const;
    // The title and chart in rect.
    void paint(QPainter& painter, const QRectF& rect) const;

    void copyImage();
    void savePng();
    void saveSvg();

private:
    void layOutControls();
    void fillList(const std::vector<std::string>& keepChecked,
                  const std::vector<std::string>& standardsBefore);
    void redraw();
    void saveAs(const std::string& path, const QByteArray& bytes);

    GroupCurveSources m_sources;
    Dialogs& m_dialogs;
    QListWidget* m_list;
    QWidget* m_canvas;
    QLabel* m_note;
    // Read once a group is first checked, until the sources change.
    std::map<std::string, GroupCurve> m_read;
    std::vector<CurveLine> m_lines;
};

// A GroupCurvesFactory.
[[nodiscard]] GroupCurvesView* MakeGroupCurves(const GroupCurveSources& sources, Dialogs& dialogs,
                                               QWidget* owner);

} // namespace quarven
