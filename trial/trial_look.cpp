#include "trial_look.h"

#include "core/value_conventions.h"

#include "trial_observations.h"
#include "trial_rows.h"

#include <algorithm>

namespace quarven {

bool TrialLook::record(std::uint32_t, Items<std::string_view> fields)
{
    if (std::all_of(fields.begin(), fields.end(), IsBlank))
        return true;
    if (!m_headerSeen) {
        m_headerSeen = true;
        if (!NamesObservations(fields)) {
            m_dayPrefix = DayHeadingsOnly(fields, m_order);
            m_done = true;
            return false;
        }
        for (std::size_t i = 0; i < fields.size(); ++i)
            if (IsColumnName(fields[i], "trait")) {
                m_traitColumn = i;
                break;
            }
        return true;
    }
    if (*m_traitColumn >= fields.size())
        return true;
    const std::string_view trait = TrimmedBlanks(fields[*m_traitColumn]);
    if (!trait.empty() && m_known.emplace(trait).second)
        m_traits.emplace_back(trait);
    return true;
}

} // namespace quarven
