// A trial file's bytes to records of fields, as a stream: the first line that
// is not blank decides the separator (comma, semicolon or tab, whichever it
// holds most often), the first line break how lines end (LF, CRLF or CR), and
// each record goes to a FieldSink as soon as it is read, and is forgotten.
// Nothing is kept from one line to the next, so memory does not grow with the
// file. No field may pass 1 MiB as written: a longer one, or a quote left
// open for as long, is refused while it is read. A NUL byte in a field is
// handed over as U+FFFD, the replacement character.
//
// Quoting follows RFC 4180 through libcsv. Lines without a quote, which are
// nearly all of a field book, are split directly at the separator the way
// libcsv splits them (blanks and tabs around a field dropped); the fuzz target
// holds the two ways to the same rows.
#pragma once

#include "trial_fields.h"

#include <memory>
#include <optional>
#include <string_view>

namespace quarven {

// How a line without quotes is searched for its separators and its end:
// sixteen bytes a step (SSE2), eight, or one. Each gives the same rows; the
// widest this build has is used unless another is asked for.
enum class SplitPath { Widest, Sse2, EightBytes, Bytes };

// Whether this build has the path; one it lacks is read as Widest.
[[nodiscard]] bool HasSplitPath(SplitPath path);

class TrialTokenizer {
public:
    struct Options {
        // Off, every line goes through libcsv: the fuzz target compares both.
        bool splitPlainLines = true;
        // Tests and the fuzz target force each path in turn.
        SplitPath splitPath = SplitPath::Widest;
    };

    TrialTokenizer(FieldSink& sink, Options options);
    ~TrialTokenizer();
    TrialTokenizer(const TrialTokenizer&) = delete;
    TrialTokenizer& operator=(const TrialTokenizer&) = delete;

    // The next piece of the file, cut anywhere. Nothing more is read once
    // the text is refused here or the sink refuses a record.
    void read(std::string_view chunk);
    // The end of the file: the last line, then the sink's end.
    void finish();
    // Why the text was refused here; the sink keeps its own reasons.
    [[nodiscard]] const std::optional<TrialError>& error() const;

private:
    class Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace quarven
