#include "workbook.h"

#include "book_rows.h"
#include "ods_cells.h"
#include "xls_cells.h"
#include "xlsx_cells.h"
#include "zip_xml.h"

namespace quarven {
namespace {

using books::Error;
using books::SheetRows;

constexpr std::string_view kZip = "PK\x03\x04";
constexpr std::string_view kOle2 = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";

TrialError wholeFile(std::string message)
{
    return TrialError{0, std::move(message)};
}

// "Sheet1", "Data" and 3 more.
std::string namesOf(const std::vector<std::string>& names)
{
    std::string text;
    for (std::size_t i = 0; i < names.size() && i < 10; ++i) {
        if (i > 0)
            text += ", ";
        text += "\"" + names[i] + "\"";
    }
    if (names.size() > 10)
        text += " and " + std::to_string(names.size() - 10) + " more";
    return text;
}

std::optional<TrialError> unknownSheet(std::string_view sheet,
                                       const std::vector<std::string>& names)
{
    if (names.empty())
        return wholeFile("the workbook has no sheet");
    return wholeFile("the workbook has no sheet \"" + std::string(sheet) + "\"; its sheets are " +
                     namesOf(names));
}

// Takes the first record that is not empty, to judge, and stops.
class HeaderSink final : public FieldSink {
public:
    explicit HeaderSink(const HeaderJudge& judge) : m_judge(judge) {}
    bool judged = false;
    void separator(char) override {}
    bool record(std::uint32_t, Items<std::string_view> fields) override
    {
        judged = m_judge(fields);
        return false;
    }
    void end(std::uint32_t) override {}

private:
    const HeaderJudge& m_judge;
};

// Both walks of an .ods: every sheet's header, or one sheet whole.
class OdsWalk final : public books::OdsSheets {
public:
    OdsWalk(const HeaderJudge* judge, std::string_view wanted, FieldSink* sink)
        : m_judge(judge), m_wanted(wanted), m_sink(sink)
    {
    }
    std::vector<std::string> names;
    std::vector<bool> judged;
    bool found = false;

    SheetRows* sheet(std::string_view name) override
    {
        names.emplace_back(name);
        if (m_judge != nullptr) {
            m_header.emplace(*m_judge);
            m_rows.emplace(*m_header);
            return &*m_rows;
        }
        if (found || (!m_wanted.empty() && name != m_wanted))
            return nullptr;
        found = true;
        m_rows.emplace(*m_sink);
        return &*m_rows;
    }
    bool more() override
    {
        if (m_judge != nullptr)
            judged.push_back(m_header->judged);
        return m_judge != nullptr;
    }
    [[nodiscard]] const std::optional<TrialError>& rowsError() const
    {
        static const std::optional<TrialError> none;
        return m_rows ? m_rows->error() : none;
    }

private:
    const HeaderJudge* m_judge;
    std::string_view m_wanted;
    FieldSink* m_sink;
    std::optional<HeaderSink> m_header;
    std::optional<SheetRows> m_rows;
};

// A zip package as an .xlsx or an .ods, by the parts it holds.
enum class ZipKind { Xlsx, Ods, Neither };

ZipKind zipKindOf(const books::ZipPackage& package)
{
    if (package.has("content.xml") &&
        (package.has("mimetype") || package.has("META-INF/manifest.xml")))
        return ZipKind::Ods;
    if (package.has("_rels/.rels") || package.has("xl/workbook.xml"))
        return ZipKind::Xlsx;
    return ZipKind::Neither;
}

WorkbookSheets listZip(const WorkbookSource& source, const HeaderJudge& judge)
{
    WorkbookSheets list;
    books::ZipPackage package(source);
    if (package.openError()) {
        list.error = wholeFile(*package.openError());
        return list;
    }
    switch (zipKindOf(package)) {
    case ZipKind::Xlsx: {
        books::XlsxBook book(package);
        if (Error error = book.open()) {
            list.error = wholeFile(*error);
            return list;
        }
        for (std::size_t i = 0; i < book.sheetNames().size(); ++i) {
            HeaderSink header(judge);
            SheetRows rows(header);
            if (Error error = book.readSheet(i, rows)) {
                list.error = wholeFile(*error);
                return list;
            }
            list.sheets.push_back({book.sheetNames()[i], header.judged});
        }
        return list;
    }
    case ZipKind::Ods: {
        if (Error error = books::CheckOdsPackage(package)) {
            list.error = wholeFile(*error);
            return list;
        }
        OdsWalk walk(&judge, {}, nullptr);
        if (Error error = books::ReadOdsContent(package, walk)) {
            list.error = wholeFile(*error);
            return list;
        }
        for (std::size_t i = 0; i < walk.names.size(); ++i)
            list.sheets.push_back({walk.names[i], i < walk.judged.size() && walk.judged[i]});
        return list;
    }
    case ZipKind::Neither:
        break;
    }
    list.error = wholeFile("not a workbook: a zip archive with no spreadsheet in it");
    return list;
}

std::optional<TrialError> readZip(const WorkbookSource& source, std::string_view sheet,
                                  FieldSink& sink)
{
    books::ZipPackage package(source);
    if (package.openError())
        return wholeFile(*package.openError());
    switch (zipKindOf(package)) {
    case ZipKind::Xlsx: {
        books::XlsxBook book(package);
        if (Error error = book.open())
            return wholeFile(*error);
        const std::vector<std::string>& names = book.sheetNames();
        std::size_t index = 0;
        while (index < names.size() && !sheet.empty() && names[index] != sheet)
            ++index;
        if (index == names.size())
            return unknownSheet(sheet, names);
        SheetRows rows(sink);
        if (Error error = book.readSheet(index, rows))
            return wholeFile(*error);
        return rows.error();
    }
    case ZipKind::Ods: {
        if (Error error = books::CheckOdsPackage(package))
            return wholeFile(*error);
        OdsWalk walk(nullptr, sheet, &sink);
        if (Error error = books::ReadOdsContent(package, walk))
            return wholeFile(*error);
        if (!walk.found)
            return unknownSheet(sheet, walk.names);
        return walk.rowsError();
    }
    case ZipKind::Neither:
        break;
    }
    return wholeFile("not a workbook: a zip archive with no spreadsheet in it");
}

} // namespace

TrialFileKind KindOfTrialFile(std::string_view firstBytes)
{
    if (firstBytes.substr(0, kZip.size()) == kZip)
        return TrialFileKind::Zip;
    if (firstBytes.substr(0, kOle2.size()) == kOle2)
        return TrialFileKind::Ole2;
    return TrialFileKind::Text;
}

WorkbookSource WorkbookSource::File(std::string path)
{
    WorkbookSource source;
    source.m_path = std::move(path);
    return source;
}

WorkbookSource WorkbookSource::Bytes(std::string_view bytes)
{
    WorkbookSource source;
    source.m_inMemory = true;
    source.m_bytes = bytes;
    return source;
}

WorkbookSheets ListWorkbookSheets(const WorkbookSource& source, const HeaderJudge& judge)
{
    WorkbookSheets list;
    const std::optional<TrialFileKind> kind = books::KindOfSource(source);
    if (!kind) {
        list.error = wholeFile(books::UnreadableSource(source));
        return list;
    }
    if (*kind == TrialFileKind::Zip)
        return listZip(source, judge);
    if (*kind == TrialFileKind::Ole2) {
        books::XlsBook book(source);
        if (Error error = book.open()) {
            list.error = wholeFile(*error);
            return list;
        }
        for (std::size_t i = 0; i < book.sheetNames().size(); ++i) {
            HeaderSink header(judge);
            SheetRows rows(header);
            if (Error error = book.readSheet(i, rows)) {
                list.error = wholeFile(*error);
                return list;
            }
            list.sheets.push_back({book.sheetNames()[i], header.judged});
        }
        return list;
    }
    list.error = wholeFile("not a workbook: a text file, read as a trial file");
    return list;
}

std::optional<TrialError> ReadWorkbook(const WorkbookSource& source, std::string_view sheet,
                                       FieldSink& sink)
{
    const std::optional<TrialFileKind> kind = books::KindOfSource(source);
    if (!kind)
        return wholeFile(books::UnreadableSource(source));
    if (*kind == TrialFileKind::Zip)
        return readZip(source, sheet, sink);
    if (*kind == TrialFileKind::Ole2) {
        books::XlsBook book(source);
        if (Error error = book.open())
            return wholeFile(*error);
        const std::vector<std::string>& names = book.sheetNames();
        std::size_t index = 0;
        while (index < names.size() && !sheet.empty() && names[index] != sheet)
            ++index;
        if (index == names.size())
            return unknownSheet(sheet, names);
        SheetRows rows(sink);
        if (Error error = book.readSheet(index, rows))
            return wholeFile(*error);
        return rows.error();
    }
    return wholeFile("not a workbook: a text file, read as a trial file");
}

} // namespace quarven
