#include "trial_file.h"

namespace quarven {

TrialReader::TrialReader(TrialVisitor& visitor) : TrialReader(visitor, TrialReading{}) {}

TrialReader::TrialReader(TrialVisitor& visitor, Options options)
    : TrialReader(visitor, TrialReading{}, options)
{
}

TrialReader::TrialReader(TrialVisitor& visitor, const TrialReading& reading, Options options)
    : m_rows(visitor, reading), m_observations(m_rows, reading), m_tokens(m_observations, options)
{
}

// Each side stops as soon as any refuses the file, so only one holds a
// reason.
std::optional<TrialError> TrialReader::error() const
{
    if (m_bookError)
        return m_bookError;
    if (m_rows.error())
        return m_rows.error();
    return m_observations.error() ? m_observations.error() : m_tokens.error();
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
    m_bookError = ReadWorkbook(source, sheet, m_observations);
    return error();
}

// Hands records on until the header has come, then stops the reader.
class TrialHeaderReader::UntilHeader final : public FieldSink {
public:
    UntilHeader(FieldSink& next, const std::optional<TrialHeader>& header)
        : m_next(next), m_header(header)
    {
    }
    void separator(char separator) override { m_next.separator(separator); }
    bool record(std::uint32_t line, Items<std::string_view> fields) override
    {
        return m_next.record(line, fields) && !m_header;
    }
    void end(std::uint32_t lastLine) override
    {
        if (!m_header)
            m_next.end(lastLine);
    }

private:
    FieldSink& m_next;
    const std::optional<TrialHeader>& m_header;
};

TrialHeaderReader::TrialHeaderReader(const TrialReading& reading)
    : m_rows(*this, reading), m_observations(m_rows, reading),
      m_untilHeader(std::make_unique<UntilHeader>(m_observations, m_header)),
      m_tokens(*m_untilHeader, {})
{
}

TrialHeaderReader::~TrialHeaderReader() = default;

std::optional<TrialError> TrialHeaderReader::error() const
{
    if (m_bookError)
        return m_bookError;
    if (m_rows.error())
        return m_rows.error();
    return m_observations.error() ? m_observations.error() : m_tokens.error();
}

bool TrialHeaderReader::read(std::string_view chunk)
{
    m_tokens.read(chunk);
    return m_header || error();
}

void TrialHeaderReader::finish()
{
    if (!m_header && !error())
        m_tokens.finish();
}

void TrialHeaderReader::readWorkbook(const WorkbookSource& source, std::string_view sheet)
{
    m_bookError = ReadWorkbook(source, sheet, *m_untilHeader);
}

std::optional<TrialError> ReadTrialWorkbook(const WorkbookSource& source, std::string_view sheet,
                                            TrialVisitor& visitor, const TrialReading& reading)
{
    TrialReader reader(visitor, reading);
    return reader.readWorkbook(source, sheet);
}

TrialSheets ListTrialSheets(const WorkbookSource& source)
{
    TrialSheets list;
    WorkbookSheets sheets = ListWorkbookSheets(source, [](Items<std::string_view> header) {
        return NamesPlotColumn(header) || NamesObservations(header);
    });
    list.error = std::move(sheets.error);
    for (WorkbookSheet& sheet : sheets.sheets)
        list.sheets.push_back({std::move(sheet.name), sheet.judged});
    return list;
}

std::optional<TrialError> ReadTrial(std::string_view text, TrialVisitor& visitor,
                                    TrialReader::Options options, const TrialReading& reading)
{
    TrialReader reader(visitor, reading, options);
    if (std::optional<TrialError> error = reader.read(text))
        return error;
    return reader.finish();
}

} // namespace quarven
