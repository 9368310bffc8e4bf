// The workbook reader, two ways.
//
// Raw workbooks (a zip or OLE2 file's first bytes, as the seeds are): the
// whole route from bytes in memory, listing the sheets and reading the
// first through the trial run, with no crash and within the bounds.
//
// Otherwise the first byte picks a cell parser fed directly with the rest:
// an .xlsx sheet's XML (with a small table of shared strings and styles; also
// cut in small blocks for two parsers, which must read it as one does), an
// .xlsx's shared strings and styles, an .ods content's XML, or an .xls
// workbook stream. Each sheet's records must have lines that rise, no more
// fields than the sheet has columns, no field longer than 1 MiB or with
// blanks around, and an end only when reading was not stopped; and an XML
// parser must give the same records and the same refusal whether its input
// comes whole or cut in pieces.
#include "fuzz_support.h"
#include "trial/books/ods_cells.h"
#include "trial/books/sheet_blocks.h"
#include "trial/books/xls_cells.h"
#include "trial/books/xlsx_cells.h"
#include "trial/trial_run.h"

#include <cstdint>
#include <string>
#include <vector>

namespace {

using fuzzref::Shown;
using namespace quarven;

struct Checked final : FieldSink {
    std::vector<std::string> lines;
    std::uint32_t last = 0;
    bool ended = false;

    void separator(char separator) override
    {
        FUZZ_CHECK(separator == ',', "separator %d", separator);
    }
    bool record(std::uint32_t line, Items<std::string_view> fields) override
    {
        FUZZ_CHECK(line > last && !ended, "record at line %u after %u", line, last);
        FUZZ_CHECK(!fields.empty() && fields.size() <= books::kMaxColumns, "%zu fields",
                   fields.size());
        std::string text = std::to_string(line) + ":";
        for (const std::string_view field : fields) {
            FUZZ_CHECK(field.size() <= books::kMaxCellBytes, "a field of %zu bytes", field.size());
            FUZZ_CHECK(field.empty() || (field.front() != ' ' && field.front() != '\t' &&
                                         field.back() != ' ' && field.back() != '\t'),
                       "a field with blanks around: %s", Shown(field).c_str());
            text += std::string(field) + "|";
        }
        FUZZ_CHECK(!fields[fields.size() - 1].empty(), "a record ending in an empty field");
        last = line;
        // Keeping every record of a huge sheet would only test the fuzzer.
        if (lines.size() < 10000)
            lines.push_back(std::move(text));
        return true;
    }
    void end(std::uint32_t line) override
    {
        FUZZ_CHECK(!ended && line >= last, "end at %u after %u", line, last);
        ended = true;
    }
};

struct Outcome {
    std::vector<std::string> lines;
    std::string error;
};

bool sameOutcome(const Outcome& a, const Outcome& b);

// An XML parser's input whole, then in pieces cut at `cuts`.
template <typename Read> void wholeAndInPieces(std::string_view xml, Read read)
{
    std::vector<std::size_t> cuts;
    for (std::size_t i = 0; i < xml.size() && cuts.size() < 6; ++i)
        if (static_cast<unsigned char>(xml[i]) % 11 == 0)
            cuts.push_back(i);
    const Outcome whole = read(std::vector<std::string_view>{xml});
    std::vector<std::string_view> pieces;
    std::size_t at = 0;
    for (const std::size_t cut : cuts) {
        pieces.push_back(xml.substr(at, cut - at));
        at = cut;
    }
    pieces.push_back(xml.substr(at));
    const Outcome cut = read(pieces);
    FUZZ_CHECK(sameOutcome(whole, cut),
               "pieces give %zu records and \"%s\", whole %zu and \"%s\" on %s", cut.lines.size(),
               cut.error.c_str(), whole.lines.size(), whole.error.c_str(), Shown(xml).c_str());
}

std::string errorOf(const std::optional<TrialError>& rows, const books::Error& xml)
{
    if (xml)
        return *xml;
    return rows ? std::to_string(rows->line) + " " + rows->message : std::string();
}

bool sameOutcome(const Outcome& a, const Outcome& b)
{
    const auto syntax = [](const std::string& error) {
        return error.find("is not well-formed XML") != std::string::npos;
    };
    return a.lines == b.lines && (a.error == b.error || (syntax(a.error) && syntax(b.error)));
}

void xlsxSheet(std::string_view xml, std::size_t blockBytes)
{
    books::XlsxTables tables;
    for (const char* text : {"plot", "date", "level", " a b "}) {
        tables.text += text;
        tables.ends.push_back(tables.text.size());
    }
    tables.styles = {books::NumberShow::Plain, books::NumberShow::Date, books::NumberShow::Percent};
    wholeAndInPieces(xml, [&tables](const std::vector<std::string_view>& pieces) {
        Checked sink;
        books::SheetRows rows(sink);
        books::XlsxSheetParser parser(tables, rows);
        for (const std::string_view piece : pieces)
            if (!parser.feed(piece))
                break;
        parser.finish();
        FUZZ_CHECK(sink.ended != (rows.stopped() || parser.error().has_value()),
                   "ended %d, stopped %d", sink.ended, rows.stopped());
        return Outcome{sink.lines, errorOf(rows.error(), parser.error())};
    });

    // Cut in blocks for two parsers, as a large sheet is read: the same.
    const auto read = [&tables, xml](std::size_t bytes) {
        Checked sink;
        books::SheetRows rows(sink);
        const books::Error error = books::ReadSheetInBlocks(
            tables, rows,
            [xml](const auto& take) {
                for (std::size_t at = 0; at < xml.size(); at += 7)
                    if (!take(xml.substr(at, 7)))
                        break;
                return books::Error();
            },
            bytes);
        return Outcome{sink.lines, errorOf(rows.error(), error)};
    };
    const Outcome whole = read(xml.size() + 1);
    const Outcome blocks = read(blockBytes);
    FUZZ_CHECK(sameOutcome(whole, blocks),
               "blocks of %zu give %zu records and \"%s\", one parser %zu and \"%s\" on %s",
               blockBytes, blocks.lines.size(), blocks.error.c_str(), whole.lines.size(),
               whole.error.c_str(), Shown(xml).c_str());
}

void xlsxTables(std::string_view xml)
{
    books::XlsxTables tables;
    const bool parsed = !books::ParseSharedStrings(tables, xml);
    std::size_t begin = 0;
    for (const std::size_t end : tables.ends) {
        FUZZ_CHECK(end >= begin && end <= tables.text.size(), "string end %zu", end);
        begin = end;
    }
    (void)parsed;
    (void)books::ParseStyles(tables, xml);
}

class OneSheetAfterAnother final : public books::OdsSheets {
public:
    std::vector<Checked> sinks;
    std::vector<books::SheetRows> rows;
    OneSheetAfterAnother()
    {
        sinks.reserve(4);
        rows.reserve(4);
    }
    books::SheetRows* sheet(std::string_view) override
    {
        if (rows.size() == 4)
            return nullptr;
        sinks.emplace_back();
        rows.emplace_back(sinks.back());
        return &rows.back();
    }
    bool more() override { return true; }
};

void odsContent(std::string_view xml)
{
    wholeAndInPieces(xml, [](const std::vector<std::string_view>& pieces) {
        OneSheetAfterAnother sheets;
        books::OdsContentParser parser(sheets);
        for (const std::string_view piece : pieces)
            if (!parser.feed(piece))
                break;
        parser.finish();
        Outcome outcome;
        for (std::size_t i = 0; i < sheets.sinks.size(); ++i) {
            outcome.lines.push_back("sheet");
            outcome.lines.insert(outcome.lines.end(), sheets.sinks[i].lines.begin(),
                                 sheets.sinks[i].lines.end());
            if (sheets.rows[i].error())
                outcome.error = errorOf(sheets.rows[i].error(), std::nullopt);
        }
        if (parser.error())
            outcome.error = *parser.error();
        return outcome;
    });
}

void xlsStream(std::string_view stream)
{
    books::BiffBook book;
    if (book.open(std::string(stream)))
        return;
    for (std::size_t i = 0; i < book.sheetNames().size() && i < 4; ++i) {
        Checked sink;
        books::SheetRows rows(sink);
        const books::Error error = book.readSheet(i, rows);
        FUZZ_CHECK(!sink.ended || (!error && !rows.stopped()), "ended after an error");
    }
}

void wholeBook(std::string_view bytes)
{
    const WorkbookSource source = WorkbookSource::Bytes(bytes);
    const TrialSheets sheets = ListTrialSheets(source);
    Checked sink;
    const std::optional<TrialError> error = ReadWorkbook(source, "", sink);
    FUZZ_CHECK(!sink.ended || !error, "ended and refused: %s", error->message.c_str());
    if (!sheets.error && !sheets.sheets.empty()) {
        const TrialRunOutcome run =
            RunTrialWorkbook(source, sheets.sheets.back().name, {2026, kDefaultPeriod});
        FUZZ_CHECK(!run.error || run.results.empty() || run.error->line > 0,
                   "results written before the whole file was refused");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (KindOfTrialFile(bytes) != TrialFileKind::Text) {
        wholeBook(bytes);
        return 0;
    }
    if (size == 0)
        return 0;
    const std::string_view rest = bytes.substr(1);
    switch (data[0] % 4) {
    case 0:
        xlsxSheet(rest, 1 + (size > 1 ? data[1] % 97 : 0));
        break;
    case 1:
        xlsxTables(rest);
        break;
    case 2:
        odsContent(rest);
        break;
    default:
        xlsStream(rest);
        break;
    }
    return 0;
}
