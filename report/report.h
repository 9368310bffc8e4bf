// The printed report of an evaluation: an A4 PDF whose text can be selected
// and searched, or the same pages on a printer. It holds the title (trial
// files, sites, the day, Quarven's version), the standards' fit with its
// warnings, the table over the sites, each site's ranked summary, ranked
// chart and mean curves of its standards and most resistant groups, and the
// refused plots with their messages. Tables run over pages with their header
// repeated, and a group's name stands whole on its row, wrapped inside its
// cell only when it is longer than half a page.
//
// Painting needs a QGuiApplication (fonts come from the platform); the
// report module makes one on the offscreen platform for the command line.
#pragma once

#include "report_data.h"

#include <QByteArray>
#include <QString>

class QPagedPaintDevice;

namespace quarven {

// On any paged device as it is set up (a printer after its dialog): false,
// with why, when it could not be painted.
[[nodiscard]] bool PaintReport(const ReportData& data, QPagedPaintDevice& device, QString* why);

// The report as an A4 PDF in memory.
[[nodiscard]] bool ReportPdf(const ReportData& data, QByteArray& pdf, QString* why);

// The PDF written whole or not at all: true only once it was flushed, synced
// and committed.
[[nodiscard]] bool WriteReport(const ReportData& data, const QString& path, QString* why);

} // namespace quarven
