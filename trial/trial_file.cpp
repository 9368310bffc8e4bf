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
    return m_rows.error() ? m_rows.error() : m_tokens.error();
}

std::optional<TrialError> TrialReader::read(std::string_view chunk)
{
    m_tokens.read(chunk);
    return error();
}

std::optional<TrialError> TrialReader::finish()
{
    m_tokens.finish();
    return error();
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
