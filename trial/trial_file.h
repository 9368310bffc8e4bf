// Reads a trial file as a stream: the tokenizer (trial_tokenizer.h) turns its
// bytes into records of fields, and the row reader (trial_rows.h) turns those
// into a header and rows of a layout for a visitor, each as soon as it is
// read.
#pragma once

#include "trial_fields.h"
#include "trial_rows.h"
#include "trial_tokenizer.h"

#include <optional>
#include <string_view>

namespace quarven {

class TrialReader {
public:
    using Options = TrialTokenizer::Options;

    explicit TrialReader(TrialVisitor& visitor);
    TrialReader(TrialVisitor& visitor, Options options);
    TrialReader(const TrialReader&) = delete;
    TrialReader& operator=(const TrialReader&) = delete;

    // The next piece of the file, cut anywhere. After an error every call
    // gives the same error again.
    [[nodiscard]] std::optional<TrialError> read(std::string_view chunk);
    // The end of the file.
    [[nodiscard]] std::optional<TrialError> finish();

private:
    [[nodiscard]] std::optional<TrialError> error() const;

    TrialRowReader m_rows;
    TrialTokenizer m_tokens;
};

// The whole text at once.
[[nodiscard]] std::optional<TrialError> ReadTrial(std::string_view text, TrialVisitor& visitor,
                                                  TrialReader::Options options = {});

} // namespace quarven
