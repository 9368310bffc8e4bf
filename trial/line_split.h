// The search of a line without quotes for its separators and its end, in
// sixteen-byte steps (SSE2), eight-byte steps or bytes, and the cutting of it
// into fields. For the tokenizer alone: it is inlined into its loop.
#pragma once

#include "trial_tokenizer.h"

#if defined(__GNUC__) && defined(__SSE2__)
#include <emmintrin.h>
#define QUARVEN_SPLIT_SSE2 1
#endif
#if defined(__GNUC__) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
#define QUARVEN_SPLIT_EIGHT_BYTES 1
#endif

// Each line of a trial passes here: the loops are inlined into the
// tokenizer's, where the cutter's state stays in registers.
#if defined(__GNUC__)
#define QUARVEN_SPLIT_INLINE __attribute__((always_inline)) inline
#else
#define QUARVEN_SPLIT_INLINE inline
#endif

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string_view>
#include <vector>

namespace quarven::line_split {

// No field of a trial comes near this; one that passes it is refused while
// it is read, so that memory does not follow it.
inline constexpr std::size_t kLongestField = std::size_t{1} << 20;
inline constexpr std::size_t kAbsent = std::numeric_limits<std::size_t>::max();

// A tab is a blank too, unless it is the separator.
constexpr char OtherBlank(char separator)
{
    return separator == '\t' ? ' ' : '\t';
}

// Cuts a line into fields at the stops FindStops hands it, dropping the
// blanks libcsv drops around an unquoted field, into storage whose size is
// its room. A field is never longer than its line, so only a line longer
// than kLongestField is cut again with each field measured.
template <bool kMeasured> class FieldCutter {
public:
    // otherBlank: the blank that is not the separator (OtherBlank).
    FieldCutter(std::string_view text, std::size_t start, char separator, char otherBlank,
                std::vector<std::string_view>& storage)
        : m_data(text.data()), m_start(start), m_separator(separator), m_otherBlank(otherBlank),
          m_storage(storage), m_out(storage.data()), m_end(storage.data() + storage.size())
    {
    }
    // At a separator or a line feed: ends the field there, and says whether
    // the line ended too.
    QUARVEN_SPLIT_INLINE bool operator()(std::size_t i)
    {
        if (m_data[i] == m_separator) {
            field(i);
            m_start = i + 1;
            return false;
        }
        field(i > m_start && m_data[i - 1] == '\r' ? i - 1 : i);
        return true;
    }
    QUARVEN_SPLIT_INLINE void field(std::size_t last)
    {
        std::size_t first = m_start;
        if (kMeasured)
            m_longField |= last - first > kLongestField;
        // Blanks around a field are rare: both ends are first looked at for
        // any byte up to the blank, which both blanks are.
        if (first < last && (static_cast<unsigned char>(m_data[first]) <= ' ' ||
                             static_cast<unsigned char>(m_data[last - 1]) <= ' ')) {
            while (first < last && isBlank(m_data[first]))
                ++first;
            while (last > first && isBlank(m_data[last - 1]))
                --last;
        }
        if (m_out == m_end)
            grow();
        *m_out++ = std::string_view(m_data + first, last - first);
    }
    [[nodiscard]] std::size_t count() const
    {
        return static_cast<std::size_t>(m_out - m_storage.data());
    }
    [[nodiscard]] bool longField() const { return m_longField; }

private:
    [[nodiscard]] bool isBlank(char c) const { return c == ' ' || c == m_otherBlank; }
    [[gnu::noinline]] void grow()
    {
        const std::size_t used = count();
        m_storage.resize(std::max<std::size_t>(16, 2 * m_storage.size()));
        m_out = m_storage.data() + used;
        m_end = m_storage.data() + m_storage.size();
    }

    const char* m_data;
    std::size_t m_start;
    char m_separator;
    char m_otherBlank;
    std::vector<std::string_view>& m_storage;
    std::string_view* m_out;
    std::string_view* m_end;
    bool m_longField = false;
};

inline SplitPath ChosenPath(SplitPath path)
{
    if (path != SplitPath::Widest && HasSplitPath(path))
        return path;
#if defined(QUARVEN_SPLIT_SSE2)
    return SplitPath::Sse2;
#elif defined(QUARVEN_SPLIT_EIGHT_BYTES)
    return SplitPath::EightBytes;
#else
    return SplitPath::Bytes;
#endif
}

// Each loop below hands the separators and line feeds of the text from `at`
// on to `stop`, in order, until it answers that the line ended, and returns
// the place after that; or it moves `at` past the whole steps it took and
// returns kAbsent, leaving the rest to a narrower loop.

#if defined(QUARVEN_SPLIT_SSE2)
// A field book's line takes one or two steps. The separator is spread from a
// register: set1_epi8 went through memory, a byte stored and four loaded
// back, which stalled every line.
template <typename Stop>
QUARVEN_SPLIT_INLINE std::size_t sixteenByteStops(std::string_view text, std::size_t& at,
                                                  char separator, Stop& stop)
{
    const __m128i separatorBytes =
        _mm_set1_epi32(static_cast<int>(0x01010101U * static_cast<unsigned char>(separator)));
    const __m128i lineFeedBytes = _mm_set1_epi32(0x0A0A0A0A);
    for (; at + 16 <= text.size(); at += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + at));
        for (auto stops = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(
                 _mm_cmpeq_epi8(bytes, separatorBytes), _mm_cmpeq_epi8(bytes, lineFeedBytes))));
             stops != 0; stops &= stops - 1) {
            const std::size_t i = at + static_cast<std::size_t>(__builtin_ctz(stops));
            if (stop(i))
                return i + 1;
        }
    }
    return kAbsent;
}
#endif

#if defined(QUARVEN_SPLIT_EIGHT_BYTES)
// A mask of the bytes that are the separator or a line feed, taken bit by bit.
template <typename Stop>
QUARVEN_SPLIT_INLINE std::size_t eightByteStops(std::string_view text, std::size_t& at,
                                                char separator, Stop& stop)
{
    constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
    const std::uint64_t separators = 0x0101010101010101ULL * static_cast<unsigned char>(separator);
    const std::uint64_t lineFeeds = 0x0101010101010101ULL * static_cast<unsigned char>('\n');
    const auto zeroBytes = [](std::uint64_t x) { return ~(((x & kLow7) + kLow7) | x | kLow7); };
    for (; at + 8 <= text.size(); at += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, text.data() + at, sizeof word);
        for (std::uint64_t stops = zeroBytes(word ^ separators) | zeroBytes(word ^ lineFeeds);
             stops != 0; stops &= stops - 1) {
            const std::size_t i = at + static_cast<std::size_t>(__builtin_ctzll(stops) / 8);
            if (stop(i))
                return i + 1;
        }
    }
    return kAbsent;
}
#endif

template <typename Stop>
QUARVEN_SPLIT_INLINE std::size_t byteStops(std::string_view text, std::size_t& at, char separator,
                                           Stop& stop)
{
    for (; at < text.size(); ++at)
        if ((text[at] == separator || text[at] == '\n') && stop(at))
            return at + 1;
    return kAbsent;
}

// The one place where a line is searched: the path (never Widest) names the
// loop to begin with.
template <typename Stop>
QUARVEN_SPLIT_INLINE std::size_t FindStops(SplitPath path, std::string_view text, std::size_t at,
                                           char separator, Stop& stop)
{
#if defined(QUARVEN_SPLIT_SSE2)
    if (path == SplitPath::Sse2)
        if (const std::size_t next = sixteenByteStops(text, at, separator, stop); next != kAbsent)
            return next;
#endif
#if defined(QUARVEN_SPLIT_EIGHT_BYTES)
    if (path != SplitPath::Bytes)
        if (const std::size_t next = eightByteStops(text, at, separator, stop); next != kAbsent)
            return next;
#endif
    static_cast<void>(path);
    return byteStops(text, at, separator, stop);
}

} // namespace quarven::line_split
