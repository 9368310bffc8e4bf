#include "xlsx_cells.h"

#include "sheet_blocks.h"

#include <cstring>
#include <map>
#include <thread>

namespace quarven::books {
namespace {

bool endsWith(std::string_view text, std::string_view end)
{
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

bool isTrue(const char* value)
{
    return value != nullptr && (std::strcmp(value, "1") == 0 || std::strcmp(value, "true") == 0);
}

// A package's relationships: by id, their type and target.
struct Relationship {
    std::string type;
    std::string target;
    bool external = false;
};

class RelationshipsHandler final : public XmlHandler {
public:
    std::map<std::string, Relationship, std::less<>> byId;
    std::vector<std::string> order;

    void start(const char* name, const char** attributes) override
    {
        if (LocalName(name) != "Relationship")
            return;
        const char* id = Attribute(attributes, "Id");
        const char* type = Attribute(attributes, "Type");
        const char* target = Attribute(attributes, "Target");
        const char* mode = Attribute(attributes, "TargetMode");
        if (id == nullptr || type == nullptr || target == nullptr || byId.size() > 100000)
            return;
        if (byId.emplace(id, Relationship{type, target,
                                          mode != nullptr && std::strcmp(mode, "External") == 0})
                .second)
            order.emplace_back(id);
    }
    void end(const char*) override {}
    void text(std::string_view) override {}
};

// The folder of a part, with its slash.
std::string folderOf(std::string_view part)
{
    const std::size_t slash = part.rfind('/');
    return slash == std::string_view::npos ? std::string() : std::string(part.substr(0, slash + 1));
}

// A target relative to the folder of its source part, or absolute; none that
// leaves the package.
Error resolve(const Relationship& relationship, const std::string& folder, std::string& part)
{
    if (relationship.external)
        return "the workbook points outside its package (" + relationship.target + ")";
    std::string_view target = relationship.target;
    std::string path = target.empty() || target.front() != '/' ? folder : std::string();
    if (!target.empty() && target.front() == '/')
        target.remove_prefix(1);
    path += target;
    std::vector<std::string_view> segments;
    std::string_view rest = path;
    while (!rest.empty()) {
        const std::size_t slash = rest.find('/');
        const std::string_view segment = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (segment.empty() || segment == ".")
            continue;
        if (segment == "..") {
            if (segments.empty())
                return "the workbook points outside its package (" + relationship.target + ")";
            segments.pop_back();
            continue;
        }
        segments.push_back(segment);
    }
    if (segments.empty())
        return "the workbook points outside its package (" + relationship.target + ")";
    part.clear();
    for (const std::string_view segment : segments) {
        if (!part.empty())
            part += '/';
        part += segment;
    }
    return std::nullopt;
}

Error readRelationships(ZipPackage& package, const std::string& part, RelationshipsHandler& handler)
{
    const std::string rels =
        folderOf(part) + "_rels/" + part.substr(folderOf(part).size()) + ".rels";
    if (!package.has(rels))
        return std::nullopt;
    XmlStream stream(handler, rels);
    return ParseEntry(package, rels, stream);
}

class WorkbookHandler final : public XmlHandler {
public:
    struct Sheet {
        std::string name;
        std::string id;
    };
    std::vector<Sheet> sheets;
    DateSystem system = DateSystem::From1900;
    bool isWorkbook = false;

    void start(const char* name, const char** attributes) override
    {
        const std::string_view local = LocalName(name);
        if (local == "workbook") {
            isWorkbook = true;
        } else if (local == "workbookPr") {
            if (isTrue(Attribute(attributes, "date1904")))
                system = DateSystem::From1904;
        } else if (local == "sheet") {
            const char* sheetName = Attribute(attributes, "name");
            const char* id = Attribute(attributes, "id", kRelationships) != nullptr
                                 ? Attribute(attributes, "id", kRelationships)
                                 : Attribute(attributes, "id", kStrictRelationships);
            if (sheetName != nullptr && id != nullptr && sheets.size() < 100000)
                sheets.push_back({sheetName, id});
        }
    }
    void end(const char*) override {}
    void text(std::string_view) override {}

    static constexpr std::string_view kRelationships =
        "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    static constexpr std::string_view kStrictRelationships =
        "http://purl.oclc.org/ooxml/officeDocument/relationships";
};

} // namespace

XlsxBook::XlsxBook(ZipPackage& package) : m_package(package) {}

Error XlsxBook::open()
{
    std::string workbook;
    RelationshipsHandler root;
    if (m_package.has("_rels/.rels")) {
        XmlStream stream(root, "package relationships");
        if (Error error = ParseEntry(m_package, "_rels/.rels", stream))
            return error;
    }
    for (const std::string& id : root.order) {
        const Relationship& relationship = root.byId.at(id);
        if (endsWith(relationship.type, "/officeDocument")) {
            if (Error error = resolve(relationship, std::string(), workbook))
                return error;
            break;
        }
    }
    if (workbook.empty() && m_package.has("xl/workbook.xml"))
        workbook = "xl/workbook.xml";
    if (workbook.empty() || !m_package.has(workbook))
        return std::string("not a workbook: a zip archive with no spreadsheet in it");

    WorkbookHandler book;
    {
        XmlStream stream(book, "workbook");
        if (Error error = ParseEntry(m_package, workbook, stream))
            return error;
    }
    if (!book.isWorkbook)
        return std::string("not a workbook: an Office document that is no spreadsheet");
    m_tables.system = book.system;

    RelationshipsHandler parts;
    if (Error error = readRelationships(m_package, workbook, parts))
        return error;
    const std::string folder = folderOf(workbook);
    for (const WorkbookHandler::Sheet& sheet : book.sheets) {
        const auto found = parts.byId.find(sheet.id);
        if (found == parts.byId.end())
            return "the workbook points outside its own tables: sheet \"" + sheet.name +
                   "\" has no part";
        // Chart and dialog sheets hold no cells.
        if (!endsWith(found->second.type, "/worksheet"))
            continue;
        std::string part;
        if (Error error = resolve(found->second, folder, part))
            return error;
        m_names.push_back(sheet.name);
        m_parts.push_back(part);
    }
    std::string styles;
    std::string shared;
    for (const std::string& id : parts.order) {
        const Relationship& relationship = parts.byId.at(id);
        std::string* part = endsWith(relationship.type, "/styles")          ? &styles
                            : endsWith(relationship.type, "/sharedStrings") ? &shared
                                                                            : nullptr;
        if (part != nullptr && part->empty())
            if (Error error = resolve(relationship, folder, *part))
                return error;
    }
    return readTables(styles, shared);
}

Error XlsxBook::readTables(const std::string& styles, const std::string& shared)
{
    if (!styles.empty())
        if (Error error = ReadStyles(m_package, styles, m_tables))
            return error;
    if (!shared.empty())
        return ReadSharedStrings(m_package, shared, m_tables);
    return std::nullopt;
}

Error XlsxBook::readSheet(std::size_t index, SheetRows& rows)
{
    if (std::thread::hardware_concurrency() >= 2)
        return ReadSheetInBlocks(m_tables, rows, [this, index](const auto& take) {
            return m_package.read(m_parts.at(index), take);
        });
    XlsxSheetParser parser(m_tables, rows);
    if (Error error = m_package.read(
            m_parts.at(index), [&parser](std::string_view piece) { return parser.feed(piece); }))
        return error;
    parser.finish();
    return parser.error();
}

} // namespace quarven::books
