#include "trial_file.h"

namespace quarven {

TrialReader::TrialReader(TrialVisitor& visitor) : TrialReader(visitor, Options{}) {}

TrialReader::TrialReader(TrialVisitor& visitor, Options options)
    : m_rows(visitor), m_tokens(m_rows, options)
{
}

// Each side stops as soon as either refuses the file, so only one holds a
// reason.
std::optional<TrialError> TrialReader::error() const
{
    if (m_bookError)
        return m_bookError;
    return m_rows.error() ? m_rows.error() : m_tokens.error();
}

std::optional<TrialError> TrialReader::read(std::string_view chunk)
{
    m_tokens.read(chunk);
    return error();
}

std::optional<TrialError> TrialReader::finish()
{
    if (!m_fromWorkbook)
        m_tokens.finish();
    return error();
}

std::optional<TrialError> TrialReader::readWorkbook(const WorkbookSource& source,
                                                    std::string_view sheet)
{
    m_fromWorkbook = true;
    m_bookError = ReadWorkbook(source, sheet, m_rows);
    return error();
}

std::optional<TrialError> ReadTrialWorkbook(const WorkbookSource& source, std::string_view sheet,
                                            TrialVisitor& visitor)
{
    TrialReader reader(visitor);
    return reader.readWorkbook(source, sheet);
}

TrialSheets ListTrialSheets(const WorkbookSource& source)
{
    TrialSheets list;
    WorkbookSheets sheets = ListWorkbookSheets(source, NamesPlotColumn);
    list.error = std::move(sheets.error);
    for (WorkbookSheet& sheet : sheets.sheets)
        list.sheets.push_back({std::move(sheet.name), sheet.judged});
    return list;
}

std::optional<TrialError> ReadTrial(std::string_view text, TrialVisitor& visitor,
                                    TrialReader::Options options)
{
    TrialReader reader(visitor, options);
    if (std::optional<TrialError> error = reader.read(text))
        return error;
    return reader.finish();
}

} // namespace quarven
