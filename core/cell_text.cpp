#include "core/cell_text.h"

#include "core/value_conventions.h"

namespace quarven {

namespace {

// A sign, digits with at most one decimal point or comma, and an optional
// exponent: what every spreadsheet reads as a number, whatever its locale.
bool isNumber(std::string_view text)
{
    std::size_t at = 0;
    if (at < text.size() && (text[at] == '+' || text[at] == '-'))
        ++at;
    bool digits = false;
    bool point = false;
    for (; at < text.size(); ++at) {
        if (IsDigit(text[at])) {
            digits = true;
        } else if ((text[at] == '.' || text[at] == ',') && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (!digits)
        return false;
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        ++at;
        if (at < text.size() && (text[at] == '+' || text[at] == '-'))
            ++at;
        const std::size_t exponent = at;
        while (at < text.size() && IsDigit(text[at]))
            ++at;
        if (at == exponent)
            return false;
    }
    return at == text.size();
}

} // namespace

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
        return !isNumber(text);
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
