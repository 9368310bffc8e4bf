#include "trial_questions.h"

#include "app/file_io.h"
#include "entry/dialogs.h"
#include "trial/books/workbook.h"
#include "trial/trial_file.h"
#include "trial/trial_look.h"
#include "trial/trial_tokenizer.h"

#include <QFile>
#include <QFileInfo>

#include <vector>

namespace quarven {
namespace {

constexpr const char* kTitle = "Open a trial";

// Which sheet, when more than one holds a plot column.
bool askSheet(const WorkbookSource& source, const std::string& name, FileReading& how,
              std::string& why, Dialogs& dialogs)
{
    const TrialSheets sheets = ListTrialSheets(source);
    if (sheets.error) {
        why = sheets.error->message;
        return false;
    }
    std::vector<std::string> trials;
    for (const TrialSheet& sheet : sheets.sheets)
        if (sheet.namesPlot)
            trials.push_back(sheet.name);
    if (trials.size() < 2) {
        if (!trials.empty())
            how.sheet = trials.front();
        return true;
    }
    const std::optional<std::size_t> chosen = dialogs.choose(
        kTitle, "Several sheets of " + name + " hold a plot column. Which one?", trials);
    if (!chosen)
        return false;
    how.sheet = trials[*chosen];
    return true;
}

// The header, and the traits of a file of observations; nothing when the
// file cannot be read, with why.
std::optional<TrialLook> look(const QString& path, const FileReading& how, std::string& why)
{
    TrialLook seen(how.reading.dates);
    if (how.workbook) {
        const std::optional<TrialError> error = ReadWorkbook(
            WorkbookSource::File(QFile::encodeName(path).toStdString()), how.sheet, seen);
        if (error && error->line == 0) {
            why = error->message;
            return std::nullopt;
        }
        return seen;
    }
    TrialTokenizer tokens(seen, {});
    if (!ReadTrialFile(
            path,
            [&](std::string_view piece) {
                tokens.read(piece);
                return !seen.done();
            },
            why))
        return std::nullopt;
    if (!seen.done())
        tokens.finish();
    return seen;
}

bool askDayStart(const std::string& name, const std::string& prefix, int year, FileReading& how,
                 Dialogs& dialogs)
{
    const std::string text = "The assessments of " + name + " are headed by days (" + prefix +
                             "9, " + prefix + "14...). After which date?\r\rA date " +
                             DateOrderText(how.reading.dates) + ", or yyyy-mm-dd:";
    std::string answer;
    for (;;) {
        answer = dialogs.prompt(text, kTitle, answer, std::nullopt);
        if (answer.empty())
            return false;
        if (const std::optional<TrialDate> start = ReadTrialDate(answer, year, how.reading.dates)) {
            how.reading.dayStart = *start;
            how.reading.dayPrefix = prefix;
            return true;
        }
        dialogs.beep();
    }
}

} // namespace

std::optional<FileReading> AskHowToRead(const QString& path, DateOrder order, int year,
                                        Dialogs& dialogs)
{
    FileReading how;
    how.reading.dates = order;
    const std::string name = QFileInfo(path).fileName().toStdString();
    std::string why;
    std::string first;
    if (!ReadTrialFile(
            path,
            [&first](std::string_view piece) {
                first.append(piece.substr(0, kKindBytes - first.size()));
                return first.size() < kKindBytes;
            },
            why)) {
        dialogs.message("The file cannot be read: " + path.toStdString() + ": " + why);
        return std::nullopt;
    }
    how.workbook = KindOfTrialFile(first) != TrialFileKind::Text;
    if (how.workbook && !askSheet(WorkbookSource::File(QFile::encodeName(path).toStdString()), name,
                                  how, why, dialogs)) {
        if (!why.empty())
            dialogs.message("The file cannot be read: " + path.toStdString() + ": " + why);
        return std::nullopt;
    }
    const std::optional<TrialLook> seen = look(path, how, why);
    if (!seen) {
        dialogs.message("The file cannot be read: " + path.toStdString() + ": " + why);
        return std::nullopt;
    }
    if (seen->traits().size() > 1) {
        const std::optional<std::size_t> chosen = dialogs.choose(
            kTitle, name + " holds observations of several traits. Which is the infection?",
            seen->traits());
        if (!chosen)
            return std::nullopt;
        how.reading.trait = seen->traits()[*chosen];
    }
    if (seen->dayPrefix() && !askDayStart(name, *seen->dayPrefix(), year, how, dialogs))
        return std::nullopt;
    return how;
}

} // namespace quarven
