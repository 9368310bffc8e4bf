// ReadNumber on any text: plain decimals agree bit for bit with
// std::from_chars, and the documented reading rules (blanks skipped anywhere,
// reading stops at a misfit, a leading minus negates) hold everywhere.
// ToInt16 is compared with rounding worked out from floor and the fraction,
// also on raw bit patterns so that NaNs are covered.
// The trial files' ReadWholeNumber, by either of its routes, reads what
// ReadNumber reads from the same text with a point, to the last bit.
#include "trial/trial_values.h"
#include "core/value_conventions.h"
#include "fuzz_support.h"

#include <cfenv>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <system_error>

namespace {

using fuzzref::Shown;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

std::uint64_t bits(double value)
{
    std::uint64_t raw = 0;
    std::memcpy(&raw, &value, sizeof raw);
    return raw;
}

// Optional sign, digits with at most one point (at least one digit), then an
// optional exponent: e or E, optional sign, one to three digits. No blanks.
bool isPlainDecimal(std::string_view text)
{
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    std::size_t digits = 0;
    bool point = false;
    for (; i < text.size(); ++i) {
        if (isDigit(text[i]))
            ++digits;
        else if (text[i] == '.' && !point)
            point = true;
        else
            break;
    }
    if (digits == 0)
        return false;
    if (i == text.size())
        return true;
    if (text[i] != 'e' && text[i] != 'E')
        return false;
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    const std::size_t exponentDigits = text.size() - i;
    if (exponentDigits < 1 || exponentDigits > 3)
        return false;
    for (; i < text.size(); ++i)
        if (!isDigit(text[i]))
            return false;
    return true;
}

// The decimal exponent of the first significant digit, or nothing when every
// mantissa digit is 0; tells an overflow from an underflow.
std::optional<long> leadingExponent(std::string_view text)
{
    const std::size_t e = text.find_first_of("eE");
    const std::string_view mantissa = text.substr(0, e);
    long exponent = 0;
    if (e != std::string_view::npos) {
        std::string_view tail = text.substr(e + 1);
        const bool negative = tail.front() == '-';
        if (tail.front() == '+' || tail.front() == '-')
            tail.remove_prefix(1);
        exponent = fuzzref::Number(tail);
        if (negative)
            exponent = -exponent;
    }
    const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
    const std::size_t first = mantissa.find_first_of("123456789");
    if (first == std::string_view::npos)
        return std::nullopt;
    const long position =
        first < point ? static_cast<long>(point - first) - 1 : -static_cast<long>(first - point);
    return position + exponent;
}

double referenceReading(std::string_view text)
{
    const bool negative = text.front() == '-';
    // from_chars takes no plus sign and handles the minus itself; the sign is
    // applied afterwards so that -0 comes out right.
    if (text.front() == '+' || text.front() == '-')
        text.remove_prefix(1);
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    FUZZ_CHECK(end == text.data() + text.size() && error != std::errc::invalid_argument,
               "from_chars did not take all of %s", Shown(text).c_str());
    if (error == std::errc::result_out_of_range) {
        const std::optional<long> leading = leadingExponent(text);
        FUZZ_CHECK(leading.has_value(), "zero out of range: %s", Shown(text).c_str());
        value = *leading > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    }
    return negative ? -value : value;
}

// Halves to even by hand: the floor, then up when the fraction is above a
// half, or exactly a half on an odd floor.
std::optional<std::int16_t> referenceInt16(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    double whole = std::floor(value);
    const double fraction = value - whole;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0))
        whole += 1.0;
    if (whole < -32768.0 || whole > 32767.0)
        return std::nullopt;
    return static_cast<std::int16_t>(whole);
}

void checkInt16(double value, const std::string& from)
{
    const std::optional<std::int16_t> got = quarven::ToInt16(value);
    const std::optional<std::int16_t> want = referenceInt16(value);
    FUZZ_CHECK(got == want, "ToInt16(%.17g) from %s gave %s, by hand %s", value, from.c_str(),
               got ? std::to_string(*got).c_str() : "nothing",
               want ? std::to_string(*want).c_str() : "nothing");
}

std::string withoutBlanks(std::string_view text)
{
    std::string kept;
    for (const char c : text)
        if (c != ' ' && c != '\t' && c != '\n')
            kept += c;
    return kept;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // nearbyint follows the rounding mode; the reference needs ties-to-even.
    FUZZ_CHECK(std::fegetround() == FE_TONEAREST, "rounding mode is %d", std::fegetround());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const double value = quarven::ReadNumber(text);

    FUZZ_CHECK(!std::isnan(value), "%s read as NaN", Shown(text).c_str());

    if (isPlainDecimal(text)) {
        const double want = referenceReading(text);
        FUZZ_CHECK(bits(value) == bits(want), "%s read as %.17g (%016llx), from_chars: %.17g",
                   Shown(text).c_str(), value, static_cast<unsigned long long>(bits(value)), want);
    }

    const std::string compact = withoutBlanks(text);
    FUZZ_CHECK(bits(quarven::ReadNumber(compact)) == bits(value),
               "blanks changed the reading of %s: %.17g without them, %.17g with",
               Shown(text).c_str(), quarven::ReadNumber(compact), value);

    const std::string stopped = text + '#';
    FUZZ_CHECK(bits(quarven::ReadNumber(stopped)) == bits(value),
               "a trailing misfit changed the reading of %s", Shown(text).c_str());

    // Only where a digit is read: a text without one reads as +0 either way.
    const bool startsWithDigit =
        !compact.empty() &&
        (isDigit(compact[0]) || (compact[0] == '.' && compact.size() > 1 && isDigit(compact[1])));
    if (startsWithDigit) {
        const double negated = quarven::ReadNumber('-' + text);
        FUZZ_CHECK(bits(negated) == bits(-value), "-%s read as %.17g, not -(%.17g)",
                   Shown(text).c_str(), negated, value);
    }

    for (const bool commaIsPoint : {false, true}) {
        double whole = 0.0;
        if (quarven::ReadWholeNumber(text, commaIsPoint, whole)) {
            std::string pointed = text;
            if (commaIsPoint)
                for (char& c : pointed)
                    if (c == ',')
                        c = '.';
            const double window = quarven::ReadNumber(pointed);
            FUZZ_CHECK(bits(whole) == bits(window),
                       "%s read wholly as %.17g, by the window as %.17g (comma is point: %d)",
                       Shown(text).c_str(), whole, window, commaIsPoint ? 1 : 0);
        }
    }

    checkInt16(value, Shown(text));
    FUZZ_CHECK(quarven::ReadInt16(text) == quarven::ToInt16(value),
               "ReadInt16 differs from ToInt16(ReadNumber) on %s", Shown(text).c_str());

    if (size >= sizeof(double)) {
        double raw = 0.0;
        std::memcpy(&raw, data, sizeof raw);
        checkInt16(raw, "raw bits");
    }
    return 0;
}
