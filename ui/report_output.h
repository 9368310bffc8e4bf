// The report's outputs for the Trial window: the PDF's bytes, and the same
// pages on a printer chosen in the system's print dialog. Tests put their
// own set-up in place of the dialog, a printer writing a PDF file.
#pragma once

#include "ui/curve_loader.h"

#include <functional>

class QPrinter;

namespace quarven {

// Sets the printer up and answers whether to print; replaces the dialog.
using PrintSetup = std::function<bool(QPrinter& printer, QWidget* parent)>;
void SetPrintSetup(PrintSetup setup);

// A ReportOutputFactory.
[[nodiscard]] const ReportOutput* ReportOutputs();

} // namespace quarven
