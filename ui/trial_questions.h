// What the window asks before it reads a trial that cannot tell its reader
// everything: which sheet of a workbook holds the trial when several could,
// which trait of a file of observations is the level of infection, and the
// date that headings in days count from. A file that needs none is not
// asked about.
#pragma once

#include "trial/trial_reading.h"

#include <QString>

#include <optional>
#include <string>

namespace quarven {

class Dialogs;

struct FileReading {
    TrialReading reading;
    // Of a workbook: its sheet to read; the first when empty.
    std::string sheet;
    bool workbook = false;
};

// Nothing when a question was cancelled or the file cannot be read; the
// latter is told. Dates written without a year fall in `year`.
[[nodiscard]] std::optional<FileReading> AskHowToRead(const QString& path, DateOrder order,
                                                      int year, Dialogs& dialogs);

} // namespace quarven
