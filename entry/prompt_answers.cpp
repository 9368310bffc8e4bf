#include "prompt_answers.h"

#include <algorithm>
#include <array>

namespace quarven {
namespace {

// The digit zero of every run of ten Unicode decimal digits (general category
// Nd, Unicode 15); each run holds 0 to 9 in order.
constexpr std::array<char32_t, 68> kDigitZeros = {
    0x30,    0x660,   0x6F0,   0x7C0,   0x966,   0x9E6,   0xA66,   0xAE6,   0xB66,   0xBE6,
    0xC66,   0xCE6,   0xD66,   0xDE6,   0xE50,   0xED0,   0xF20,   0x1040,  0x1090,  0x17E0,
    0x1810,  0x1946,  0x19D0,  0x1A80,  0x1A90,  0x1B50,  0x1BB0,  0x1C40,  0x1C50,  0xA620,
    0xA8D0,  0xA900,  0xA9D0,  0xA9F0,  0xAA50,  0xABF0,  0xFF10,  0x104A0, 0x10D30, 0x11066,
    0x110F0, 0x11136, 0x111D0, 0x112F0, 0x11450, 0x114D0, 0x11650, 0x116C0, 0x11730, 0x118E0,
    0x11950, 0x11C50, 0x11D50, 0x11DA0, 0x11F50, 0x16A60, 0x16AC0, 0x16B50, 0x1D7CE, 0x1D7D8,
    0x1D7E2, 0x1D7EC, 0x1D7F6, 0x1E140, 0x1E2F0, 0x1E4F0, 0x1E950, 0x1FBF0};

constexpr std::string_view kFirstStrongIsolate = "\xE2\x81\xA8";    // U+2068
constexpr std::string_view kPopDirectionalIsolate = "\xE2\x81\xA9"; // U+2069

// One UTF-8 sequence at the front of text: its code point and length. A byte
// that starts no valid sequence is taken alone and left as it is.
struct Decoded {
    char32_t codePoint = 0;
    std::size_t length = 1;
    bool valid = false;
};

Decoded decode(std::string_view text)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    char32_t codePoint = 0;
    if (lead < 0x80)
        return {lead, 1, true};
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        codePoint = lead & 0x1Fu;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        codePoint = lead & 0x0Fu;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        codePoint = lead & 0x07u;
    } else {
        return {};
    }
    if (text.size() < length)
        return {};
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return {};
        codePoint = (codePoint << 6) | (byte(i) & 0x3Fu);
    }
    return {codePoint, length, true};
}

bool isEdgeBreak(char c)
{
    return c == '\r' || c == '\n' || c == '\t';
}

} // namespace

std::optional<int> DecimalDigitValue(char32_t codePoint)
{
    const auto after = std::upper_bound(kDigitZeros.begin(), kDigitZeros.end(), codePoint);
    if (after == kDigitZeros.begin())
        return std::nullopt;
    const char32_t zero = *(after - 1);
    if (codePoint - zero > 9)
        return std::nullopt;
    return static_cast<int>(codePoint - zero);
}

std::string CleanedAnswer(std::string_view answer)
{
    while (!answer.empty() && isEdgeBreak(answer.front()))
        answer.remove_prefix(1);
    while (!answer.empty() && isEdgeBreak(answer.back()))
        answer.remove_suffix(1);

    std::string cleaned;
    cleaned.reserve(answer.size());
    while (!answer.empty()) {
        const Decoded decoded = decode(answer);
        const std::optional<int> digit = decoded.valid && decoded.codePoint >= 0x80
                                             ? DecimalDigitValue(decoded.codePoint)
                                             : std::nullopt;
        if (digit)
            cleaned += static_cast<char>('0' + *digit);
        else
            cleaned.append(answer.substr(0, decoded.length));
        answer.remove_prefix(decoded.length);
    }
    return cleaned;
}

std::string QuotedAnswer(std::string_view answer)
{
    const bool ascii = std::all_of(answer.begin(), answer.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii)
        return std::string(answer);
    std::string quoted(kFirstStrongIsolate);
    quoted.append(answer);
    quoted.append(kPopDirectionalIsolate);
    return quoted;
}

std::string Ask(Dialogs& dialogs, const std::string& text, const std::string& title,
                const std::string& defaultAnswer, std::optional<PromptPosition> position)
{
    return CleanedAnswer(dialogs.prompt(text, title, defaultAnswer, position));
}

} // namespace quarven
