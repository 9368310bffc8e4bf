// Reads a trial file as a stream: the tokenizer (trial_tokenizer.h) turns its
// bytes into records of fields, and the row reader (trial_rows.h) turns those
// into a header and rows of a layout for a visitor, each as soon as it is
// read. A workbook's sheet (books/workbook.h) gives its records in place of
// the tokenizer; a file of one observation a row passes through
// ObservationSink (trial_observations.h) on its way to the row reader.
#pragma once

#include "books/workbook.h"
#include "trial_fields.h"
#include "trial_observations.h"
#include "trial_reading.h"
#include "trial_rows.h"
#include "trial_tokenizer.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarven {

class TrialReader {
public:
    using Options = TrialTokenizer::Options;

    explicit TrialReader(TrialVisitor& visitor);
    TrialReader(TrialVisitor& visitor, Options options);
    TrialReader(TrialVisitor& visitor, const TrialReading& reading, Options options = {});
    TrialReader(const TrialReader&) = delete;
    TrialReader& operator=(const TrialReader&) = delete;

    // The next piece of the file, cut anywhere. After an error every call
    // gives the same error again.
    [[nodiscard]] std::optional<TrialError> read(std::string_view chunk);
    // The end of the file.
    [[nodiscard]] std::optional<TrialError> finish();
    // A workbook's sheet (the first when `sheet` is empty) in place of
    // read(); finish() then only gives the error again. An error of line 0
    // concerns the whole file.
    [[nodiscard]] std::optional<TrialError> readWorkbook(const WorkbookSource& source,
                                                         std::string_view sheet);

    // Of a file of one observation a row, the traits met so far: the
    // window asks which to read when the file holds several.
    [[nodiscard]] const std::vector<std::string>& traits() const { return m_observations.traits(); }

private:
    [[nodiscard]] std::optional<TrialError> error() const;

    TrialRowReader m_rows;
    ObservationSink m_observations;
    TrialTokenizer m_tokens;
    std::optional<TrialError> m_bookError;
    bool m_fromWorkbook = false;
};

// A trial's header alone, for a caller that must know several trials'
// columns before reading any of them through: a text is read until its
// header line ends, a workbook's sheet until its first row that is not empty.
// The header and its refusals are those TrialReader gives.
class TrialHeaderReader final : private TrialVisitor {
public:
    explicit TrialHeaderReader(const TrialReading& reading = {});
    ~TrialHeaderReader() override;
    TrialHeaderReader(const TrialHeaderReader&) = delete;
    TrialHeaderReader& operator=(const TrialHeaderReader&) = delete;

    // The next piece of a text; true once the header has come or the file
    // was refused, when no more is needed.
    bool read(std::string_view chunk);
    // The end of a text.
    void finish();
    // A workbook's sheet (the first when `sheet` is empty).
    void readWorkbook(const WorkbookSource& source, std::string_view sheet);

    [[nodiscard]] const std::optional<TrialHeader>& header() const { return m_header; }
    // Why the file was refused; line 0 concerns the whole file.
    [[nodiscard]] std::optional<TrialError> error() const;

private:
    class UntilHeader;
    void header(const TrialHeader& header) override { m_header = header; }
    void row(const TrialRow&) override {}

    std::optional<TrialHeader> m_header;
    TrialRowReader m_rows;
    ObservationSink m_observations;
    std::unique_ptr<UntilHeader> m_untilHeader;
    TrialTokenizer m_tokens;
    std::optional<TrialError> m_bookError;
};

// A workbook's sheet at once.
[[nodiscard]] std::optional<TrialError> ReadTrialWorkbook(const WorkbookSource& source,
                                                          std::string_view sheet,
                                                          TrialVisitor& visitor,
                                                          const TrialReading& reading = {});

// A workbook's worksheets in order, each with whether its header row (its
// first row that is not empty) names a plot column, or the columns of one
// observation a row: the window asks which to read when more than one does.
struct TrialSheet {
    std::string name;
    bool namesPlot = false;
};
struct TrialSheets {
    std::vector<TrialSheet> sheets;
    std::optional<TrialError> error; // line 0: the file as a whole
};
[[nodiscard]] TrialSheets ListTrialSheets(const WorkbookSource& source);

// The whole text at once.
[[nodiscard]] std::optional<TrialError> ReadTrial(std::string_view text, TrialVisitor& visitor,
                                                  TrialReader::Options options = {},
                                                  const TrialReading& reading = {});

} // namespace quarven
