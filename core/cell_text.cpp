#include "core/cell_text.h"

#include "core/number_syntax.h"

namespace quarven {

bool LooksLikeFormula(std::string_view text)
{
    if (text.empty())
        return false;
    switch (text.front()) {
    case '=':
    case '@':
    case '\t':
    case '\r':
        return true;
    case '+':
    case '-':
        // A number spreadsheets read in any locale, decimal comma or point.
        return !ScanNumber(text, true);
    default:
        return false;
    }
}

void AppendFormulaSafe(std::string& out, std::string_view text)
{
    if (LooksLikeFormula(text))
        out += '\'';
    out += text;
}

std::string FormulaSafe(std::string_view text)
{
    std::string out;
    AppendFormulaSafe(out, text);
    return out;
}

} // namespace quarven
