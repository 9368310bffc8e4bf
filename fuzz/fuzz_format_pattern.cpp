// The three output patterns and the two integer texts. Values come from the
// input twice over: each line read as a number (typed decimals get an exact
// expected text, worked out in integers), and the raw bytes taken eight at a
// time as doubles, which reach NaNs, subnormals and huge magnitudes.
#include "core/value_conventions.h"
#include "fuzz_support.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace {

using fuzzref::Shown;
using quarven::Pattern;

constexpr Pattern kPatterns[] = {Pattern::Period, Pattern::Losses, Pattern::Audpc};

const char* nameOf(Pattern pattern)
{
    switch (pattern) {
    case Pattern::Period:
        return "Period";
    case Pattern::Losses:
        return "Losses";
    case Pattern::Audpc:
        return "Audpc";
    }
    return "?";
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// -?[0-9]+\.[0-9]
bool isLossesText(std::string_view text)
{
    if (!text.empty() && text.front() == '-')
        text.remove_prefix(1);
    return text.size() >= 3 && text[text.size() - 2] == '.' && isDigit(text.back()) &&
           std::all_of(text.begin(), text.end() - 2, isDigit);
}

// Empty, or -?[1-9][0-9]*
bool isWholeText(std::string_view text)
{
    if (text.empty())
        return true;
    if (text.front() == '-')
        text.remove_prefix(1);
    return !text.empty() && text.front() != '0' && std::all_of(text.begin(), text.end(), isDigit);
}

bool isZeroText(const std::string& text)
{
    return text.empty() || text == "0.0";
}

void checkValue(double value)
{
    for (const Pattern pattern : kPatterns) {
        const std::string text = quarven::FormatPattern(value, pattern);
        if (!std::isfinite(value))
            continue;
        const bool losses = pattern == Pattern::Losses;
        FUZZ_CHECK(losses ? isLossesText(text) : isWholeText(text), "%s(%.17g) wrote %s",
                   nameOf(pattern), value, Shown(text).c_str());
        FUZZ_CHECK(text.empty() || text.front() != '-' || value < 0, "%s(%.17g) wrote %s",
                   nameOf(pattern), value, text.c_str());
        // Huge values keep 15 significant digits and so come back within
        // half a unit of the 15th; the relative slack only covers that.
        const double slack = std::fabs(value) * 1e-14 + 1e-12;
        const double tolerance = (losses ? 0.05 : 0.5) + slack;
        const double back = quarven::ReadNumber(text);
        // The largest doubles, rounded to 15 digits, lie past the largest
        // double and read back as an infinity.
        const double largest = std::numeric_limits<double>::max();
        FUZZ_CHECK(std::isfinite(back) ? std::fabs(back - value) <= tolerance
                                       : std::fabs(value) >= largest * (1 - 1e-14),
                   "%s(%.17g) wrote %s, off by %.17g", nameOf(pattern), value, Shown(text).c_str(),
                   back - value);
        // Halves are judged on 15 significant digits: the value and the
        // value those digits read back as must show the same text.
        std::array<char, 64> digits15{};
        std::snprintf(digits15.data(), digits15.size(), "%.14e", value);
        const double reread = std::strtod(digits15.data(), nullptr);
        const std::string rereadText = quarven::FormatPattern(reread, pattern);
        FUZZ_CHECK(!std::isfinite(reread) || rereadText == text,
                   "%s(%.17g) wrote %s but %s(%s) wrote %s", nameOf(pattern), value, text.c_str(),
                   nameOf(pattern), digits15.data(), rereadText.c_str());
        // The same rule at four decimals, where the quick binary route and the
        // decimal one must meet.
        if (!losses) {
            const std::string four = quarven::FormatDecimals(value, 4);
            const std::string fourReread = quarven::FormatDecimals(reread, 4);
            FUZZ_CHECK(!std::isfinite(reread) || four == fourReread,
                       "FormatDecimals(%.17g, 4) wrote %s but FormatDecimals(%s, 4) wrote %s",
                       value, four.c_str(), digits15.data(), fourReread.c_str());
        }
        // Half away from zero rounds both signs alike.
        const std::string mirrored = quarven::FormatPattern(-value, pattern);
        FUZZ_CHECK(isZeroText(text) ? mirrored == text
                                    : mirrored == (value < 0 ? text.substr(1) : '-' + text),
                   "%s(%.17g) wrote %s but %s(%.17g) wrote %s", nameOf(pattern), value,
                   text.c_str(), nameOf(pattern), -value, mirrored.c_str());
    }
}

// Rounding must never turn a larger value into a smaller text.
void checkOrder(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    for (const Pattern pattern : kPatterns) {
        for (std::size_t i = 0; i + 1 < values.size(); ++i) {
            const std::string low = quarven::FormatPattern(values[i], pattern);
            const std::string high = quarven::FormatPattern(values[i + 1], pattern);
            FUZZ_CHECK(quarven::ReadNumber(low) <= quarven::ReadNumber(high),
                       "%s(%.17g) = %s is above %s(%.17g) = %s", nameOf(pattern), values[i],
                       low.c_str(), nameOf(pattern), values[i + 1], high.c_str());
        }
    }
}

// A typed decimal with at most 9 integer and 5 decimal digits: at most 14
// significant digits, so written with 15 it is the text itself and the
// rounding can be worked out in integers.
void checkTypedDecimal(std::string_view line)
{
    const bool negative = !line.empty() && line.front() == '-';
    const std::string_view body = negative ? line.substr(1) : line;
    const std::size_t point = body.find('.');
    const std::string_view integer = body.substr(0, point);
    const std::string_view fraction =
        point == std::string_view::npos ? std::string_view() : body.substr(point + 1);
    if (!fuzzref::AllDigits(integer) || integer.size() > 9 || fraction.size() > 5 ||
        (point != std::string_view::npos && !fuzzref::AllDigits(fraction)))
        return;

    double value = 0.0;
    const auto [end, error] = std::from_chars(line.data(), line.data() + line.size(), value);
    FUZZ_CHECK(end == line.data() + line.size() && error == std::errc(), "from_chars on %s",
               Shown(line).c_str());

    std::int64_t scaled = 0; // hundred-thousandths
    for (const char c : integer)
        scaled = scaled * 10 + (c - '0');
    for (std::size_t i = 0; i < 5; ++i)
        scaled = scaled * 10 + (i < fraction.size() ? fraction[i] - '0' : 0);
    const std::int64_t tenths = (scaled + 5'000) / 10'000;
    const std::int64_t units = (scaled + 50'000) / 100'000;
    const std::string sign = negative ? "-" : "";

    const std::string losses =
        (tenths == 0 ? "" : sign) + std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
    const std::string whole = units == 0 ? "" : sign + std::to_string(units);
    const std::string gotLosses = quarven::FormatPattern(value, Pattern::Losses);
    FUZZ_CHECK(gotLosses == losses, "Losses(%s) wrote %s, expected %s", Shown(line).c_str(),
               gotLosses.c_str(), losses.c_str());
    for (const Pattern pattern : {Pattern::Period, Pattern::Audpc}) {
        const std::string got = quarven::FormatPattern(value, pattern);
        FUZZ_CHECK(got == whole, "%s(%s) wrote %s, expected %s", nameOf(pattern),
                   Shown(line).c_str(), Shown(got).c_str(), Shown(whole).c_str());
    }
    // Any number of decimals by the same rule: 2 and 4 as the trial results use.
    for (const int decimals : {2, 4}) {
        const std::int64_t unit = decimals == 2 ? 1'000 : 10;
        const std::int64_t rounded = (scaled + unit / 2) / unit;
        const std::int64_t whole10 = decimals == 2 ? 100 : 10'000;
        std::string fractionText = std::to_string(rounded % whole10);
        fractionText.insert(0, static_cast<std::size_t>(decimals) - fractionText.size(), '0');
        const std::string want =
            (rounded == 0 ? "" : sign) + std::to_string(rounded / whole10) + "." + fractionText;
        const std::string got = quarven::FormatDecimals(value, decimals);
        FUZZ_CHECK(got == want, "FormatDecimals(%s, %d) wrote %s, expected %s", Shown(line).c_str(),
                   decimals, got.c_str(), want.c_str());
    }
}

void checkIntegerTexts(int value)
{
    const std::string plain = quarven::PlainText(value);
    const std::string want = std::to_string(value);
    FUZZ_CHECK(plain == want, "PlainText(%d) = %s", value, Shown(plain).c_str());
    const std::string signedText = quarven::SignedText(value);
    const std::string signedWant = value >= 0 ? ' ' + want : want;
    FUZZ_CHECK(signedText == signedWant, "SignedText(%d) = %s", value, Shown(signedText).c_str());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::vector<double> finite;
    const auto check = [&](double value) {
        checkValue(value);
        if (std::isfinite(value))
            finite.push_back(value);
    };

    for (std::size_t start = 0; start <= input.size();) {
        const std::size_t end = std::min(input.find('\n', start), input.size());
        const std::string_view line = input.substr(start, end - start);
        check(quarven::ReadNumber(line));
        checkTypedDecimal(line);
        start = end + 1;
    }
    for (std::size_t at = 0; at + sizeof(double) <= size; at += sizeof(double)) {
        double value = 0.0;
        std::memcpy(&value, data + at, sizeof value);
        check(value);
    }
    checkOrder(finite);

    for (std::size_t at = 0; at + sizeof(std::int16_t) <= size; at += sizeof(std::int16_t)) {
        std::int16_t value = 0;
        std::memcpy(&value, data + at, sizeof value);
        checkIntegerTexts(value);
    }
    for (std::size_t at = 0; at + sizeof(std::int32_t) <= size; at += sizeof(std::int32_t)) {
        std::int32_t value = 0;
        std::memcpy(&value, data + at, sizeof value);
        checkIntegerTexts(value);
    }
    return 0;
}
