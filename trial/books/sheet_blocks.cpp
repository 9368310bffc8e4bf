#include "sheet_blocks.h"

#include <future>
#include <system_error>

namespace quarven::books {
namespace {

constexpr std::string_view kRowEnd = "</row>";
constexpr std::string_view kRowBetween = "</row><row r=\"";
constexpr std::size_t kLongestUncut = std::size_t{8} << 20;

// Records kept as text until they are handed on in order.
class RecordBuffer final : public FieldSink {
public:
    void separator(char) override {}
    bool record(std::uint32_t line, Items<std::string_view> fields) override
    {
        m_records.push_back({line, m_ends.size(), fields.size()});
        for (const std::string_view field : fields) {
            m_text.append(field);
            m_ends.push_back(m_text.size());
        }
        return true;
    }
    void end(std::uint32_t) override {}

    bool handOn(SheetRows& rows)
    {
        bool going = true;
        for (const Record& record : m_records) {
            m_fields.clear();
            for (std::size_t i = record.first; i < record.first + record.count; ++i) {
                const std::size_t begin = i == 0 ? 0 : m_ends[i - 1];
                m_fields.emplace_back(m_text.data() + begin, m_ends[i] - begin);
            }
            if (!rows.passOn(record.line,
                             Items<std::string_view>(m_fields.data(), m_fields.size()))) {
                going = false;
                break;
            }
        }
        m_records.clear();
        m_ends.clear();
        m_text.clear();
        return going;
    }

private:
    struct Record {
        std::uint32_t line;
        std::size_t first;
        std::size_t count;
    };
    std::vector<Record> m_records;
    std::vector<std::size_t> m_ends;
    std::string m_text;
    std::vector<std::string_view> m_fields;
};

struct Half {
    explicit Half(const XlsxTables& tables) : rows(buffer), parser(tables, rows) {}
    RecordBuffer buffer;
    SheetRows rows;
    XlsxSheetParser parser;
};

class Blocks {
public:
    Blocks(const XlsxTables& tables, SheetRows& rows, std::size_t blockBytes)
        : m_rows(rows), m_blockBytes(std::max<std::size_t>(blockBytes, 1)), m_first(tables),
          m_second(tables)
    {
        m_second.parser.feed("<sheetData>");
    }
    ~Blocks()
    {
        if (m_helper.valid())
            m_helper.wait();
    }
    Blocks(const Blocks&) = delete;
    Blocks& operator=(const Blocks&) = delete;

    // False once reading is to stop.
    bool take(std::string_view piece)
    {
        if (!m_cutting) {
            if (!m_pending.empty() && !giveUpCutting())
                return false;
            return toFirst(piece);
        }
        m_pending.append(piece);
        if (m_pending.size() < m_blockBytes)
            return true;
        // Where a row tag could stand in a comment or a CDATA section, or
        // the head holds more than a declaration, blocks are not cut.
        std::size_t from = 0;
        if (m_head && m_pending.rfind("<?xml", 0) == 0) {
            from = m_pending.find("?>");
            if (from == std::string::npos)
                return giveUpCutting();
            from += 2;
        }
        if (m_pending.find("<!", from) != std::string::npos ||
            m_pending.find("<?", from) != std::string::npos)
            return giveUpCutting();
        // Between one row's end tag and the next one's start: a '<' cannot
        // stand in a tag or an attribute's value, so the parser of the
        // block before finds any token that would run across the cut.
        std::size_t cut = m_pending.rfind(kRowBetween);
        if (cut == std::string::npos)
            return m_pending.size() <= kLongestUncut || giveUpCutting();
        cut += kRowEnd.size();
        const bool going = give(std::string_view(m_pending).substr(0, cut));
        m_pending.erase(0, cut);
        m_head = false;
        return going;
    }

    Error finish()
    {
        if (m_failure || m_rows.stopped())
            return m_failure;
        if (!m_pending.empty()) {
            std::string rest;
            rest.swap(m_pending);
            if (!toFirst(rest))
                return m_failure;
        }
        if (!waitForHelper())
            return m_failure;
        m_second.parser.feed("</sheetData>");
        m_second.parser.finish();
        if (!settled(m_second))
            return m_failure;
        m_first.parser.finish();
        if (!settled(m_first) || !m_first.buffer.handOn(m_rows))
            return m_failure;
        // Empty rows after the last record count for the end's line.
        m_rows.seenRow(std::max(m_first.rows.lastRow(), m_second.rows.lastRow()));
        m_rows.finish();
        return std::nullopt;
    }

private:
    // A half's refusal, if any, as the sheet's.
    bool settled(Half& half)
    {
        if (half.parser.error()) {
            m_failure = half.parser.error();
            return false;
        }
        if (half.rows.error()) {
            m_rows.failAt(half.rows.error()->line, half.rows.error()->message);
            return false;
        }
        return true;
    }

    bool waitForHelper()
    {
        if (!m_helper.valid())
            return true;
        m_helper.get();
        return settled(m_second) && m_second.buffer.handOn(m_rows);
    }

    // The first parser's block, after the helper's earlier one.
    bool toFirst(std::string_view block)
    {
        m_first.parser.feed(block);
        if (!waitForHelper())
            return false;
        return settled(m_first) && m_first.buffer.handOn(m_rows);
    }

    bool give(std::string_view block)
    {
        m_toHelper = !m_toHelper;
        if (!m_toHelper) {
            // The helper's blocks are rows of the sheet's data only if the
            // first parser's stream stands there too.
            const bool going = toFirst(block);
            if (!m_first.parser.betweenRows())
                m_cutting = false;
            return going;
        }
        if (!waitForHelper())
            return false;
        m_helperBlock.assign(block);
        try {
            m_helper =
                std::async(std::launch::async, [this] { m_second.parser.feed(m_helperBlock); });
        } catch (const std::system_error&) {
            // No thread to be had: the block is parsed here, in its turn.
            m_second.parser.feed(m_helperBlock);
            return settled(m_second) && m_second.buffer.handOn(m_rows);
        }
        return true;
    }

    bool giveUpCutting()
    {
        m_cutting = false;
        if (m_pending.empty())
            return true;
        std::string rest;
        rest.swap(m_pending);
        return toFirst(rest);
    }

    SheetRows& m_rows;
    std::size_t m_blockBytes;
    Half m_first;
    Half m_second;
    std::string m_pending;
    std::string m_helperBlock;
    std::future<void> m_helper;
    Error m_failure;
    bool m_cutting = true;
    bool m_head = true;
    bool m_toHelper = true; // the head goes to the first parser
};

} // namespace

Error ReadSheetInBlocks(const XlsxTables& tables, SheetRows& rows, const Inflate& inflate,
                        std::size_t blockBytes)
{
    Blocks blocks(tables, rows, blockBytes);
    if (Error error = inflate([&blocks](std::string_view piece) { return blocks.take(piece); }))
        return error;
    return blocks.finish();
}

} // namespace quarven::books
