// Workbooks as trial files: the cells of one sheet of an .xlsx, .ods or .xls
// handed to a FieldSink as records of fields, row by row, as the tokenizer
// hands a text's lines, so that a workbook gives what the same sheet saved as
// CSV gives. The kind of file is told by its first bytes, never by its name.
//
// Each row's record holds its cells from column A to its last cell that is
// not empty; empty rows are skipped, and a record's line is its row's number.
// Text cells are their text, number cells the shortest text of their number
// ("0.1", "100000"), date cells yyyy-mm-dd (both of Excel's date systems),
// percentages "35%", formulas their cached values. Memory is bounded: a zip
// entry is inflated piece by piece into a streaming XML parser, and only an
// .xlsx's shared strings are kept, up to a bound.
//
// Refused with a one-line reason: an encrypted workbook, a file that is no
// workbook, a zip that inflates past its bounds, XML with a document type or
// entities, and references outside the workbook's own tables.
#pragma once

#include "trial/trial_fields.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarven {

enum class TrialFileKind {
    Text,
    Zip,  // .xlsx or .ods
    Ole2, // .xls, or an encrypted .xlsx
};

// How many first bytes tell the kind.
inline constexpr std::size_t kKindBytes = 8;
// From the file's first bytes (all of them when it is shorter).
[[nodiscard]] TrialFileKind KindOfTrialFile(std::string_view firstBytes);

// A workbook read from a pipe (standard input) is held in memory up to this.
inline constexpr std::size_t kWorkbookInMemory = std::size_t{256} << 20;

// Where a workbook is: a file by its path, or its bytes in memory, which the
// caller keeps for as long as the source is used.
class WorkbookSource {
public:
    static WorkbookSource File(std::string path);
    static WorkbookSource Bytes(std::string_view bytes);

    [[nodiscard]] bool inMemory() const { return m_inMemory; }
    [[nodiscard]] const std::string& path() const { return m_path; }
    [[nodiscard]] std::string_view bytes() const { return m_bytes; }

private:
    bool m_inMemory = false;
    std::string m_path;
    std::string_view m_bytes;
};

// A sheet, and whether the header judge (see ListWorkbookSheets) took its
// first record that is not empty.
struct WorkbookSheet {
    std::string name;
    bool judged = false;
};
struct WorkbookSheets {
    std::vector<WorkbookSheet> sheets;
    std::optional<TrialError> error; // line 0: the file as a whole
};
using HeaderJudge = std::function<bool(Items<std::string_view>)>;

// The worksheets in the workbook's order, each judged by its first record
// that is not empty.
[[nodiscard]] WorkbookSheets ListWorkbookSheets(const WorkbookSource& source,
                                                const HeaderJudge& judge);

// The sheet named `sheet` (exactly), or the first when it is empty, to the
// sink, ended by the sink's end. An unknown name is refused with a message
// that lists the sheets. A TrialError of line 0 concerns the whole file; the
// sink's own refusals stay with the sink.
[[nodiscard]] std::optional<TrialError> ReadWorkbook(const WorkbookSource& source,
                                                     std::string_view sheet, FieldSink& sink);

} // namespace quarven
