// Reads a trial file as a stream: the header decides the separator (comma,
// semicolon or tab) and the layout, then each row goes to a visitor as soon as
// it is read, and is forgotten. Nothing is kept from one row to the next, so
// memory does not grow with the file.
//
// Long layout: one row per assessment, columns plot, date and level.
// Wide layout: one row per plot, a plot column and one column per assessment
// whose header is its date; an empty cell is a day the plot was not assessed.
// Both may have the per-plot columns period, group, budding and desiccation;
// column names are matched without regard to case, and any other column is
// handed over as it is, to be copied.
//
// Quoting follows RFC 4180 through libcsv. Lines without a quote, which are
// nearly all of a field book, are split directly at the separator the way
// libcsv splits them (blanks and tabs around a field dropped); the fuzz target
// holds the two ways to the same rows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarven {

// A read-only run of values that the reader owns for the length of a call.
template <typename T> class Items {
public:
    Items() = default;
    Items(const T* data, std::size_t size) : m_data(data), m_size(size) {}
    [[nodiscard]] const T* begin() const { return m_data; }
    [[nodiscard]] const T* end() const { return m_data + m_size; }
    [[nodiscard]] std::size_t size() const { return m_size; }
    [[nodiscard]] bool empty() const { return m_size == 0; }
    [[nodiscard]] const T& operator[](std::size_t i) const { return m_data[i]; }

private:
    const T* m_data = nullptr;
    std::size_t m_size = 0;
};

enum class TrialLayout { Long, Wide };

struct TrialHeader {
    char separator = ',';
    TrialLayout layout = TrialLayout::Long;
    std::uint32_t line = 1;
    bool hasPeriod = false;
    bool hasGroup = false;
    bool hasBudding = false;
    bool hasDesiccation = false;
    // The other columns' names as written, in file order.
    std::vector<std::string> copiedNames;
    // Wide layout: the assessment columns' headers, in file order.
    std::vector<std::string> dates;
};

struct TrialAssessment {
    std::string_view date;
    std::string_view level;
};

// One row. Fields a short row lacks are empty. The views last for the call.
struct TrialRow {
    std::uint32_t line = 0; // where the row starts, counted from 1
    std::string_view plot;
    std::string_view period;
    std::string_view group;
    std::string_view budding;
    std::string_view desiccation;
    Items<std::string_view> copied; // one per copied column
    // Long layout: one, or none when the row leaves both date and level
    // empty. Wide layout: one per non-empty cell, in column order.
    Items<TrialAssessment> assessments;
    // Non-empty fields past the header's last column.
    std::size_t extraFields = 0;
};

class TrialVisitor {
public:
    virtual ~TrialVisitor() = default;
    virtual void header(const TrialHeader& header) = 0;
    virtual void row(const TrialRow& row) = 0;
};

// A file that cannot be read as a trial: where, and why.
struct TrialError {
    std::uint32_t line = 0;
    std::string message;
};

// How a line without quotes is searched for its separators and its end:
// sixteen bytes a step (SSE2), eight, or one. Each gives the same rows; the
// widest this build has is used unless another is asked for.
enum class SplitPath { Widest, Sse2, EightBytes, Bytes };

// Whether this build has the path; one it lacks is read as Widest.
[[nodiscard]] bool HasSplitPath(SplitPath path);

class TrialReader {
public:
    struct Options {
        // Off, every line goes through libcsv: the fuzz target compares both.
        bool splitPlainLines = true;
        // Tests and the fuzz target force each path in turn.
        SplitPath splitPath = SplitPath::Widest;
    };

    explicit TrialReader(TrialVisitor& visitor);
    TrialReader(TrialVisitor& visitor, Options options);
    ~TrialReader();
    TrialReader(const TrialReader&) = delete;
    TrialReader& operator=(const TrialReader&) = delete;

    // The next piece of the file, cut anywhere. After an error every call
    // gives the same error again.
    [[nodiscard]] std::optional<TrialError> read(std::string_view chunk);
    // The end of the file.
    [[nodiscard]] std::optional<TrialError> finish();

private:
    class Impl;
    std::unique_ptr<Impl> m_impl;
};

// The whole text at once.
[[nodiscard]] std::optional<TrialError> ReadTrial(std::string_view text, TrialVisitor& visitor,
                                                  TrialReader::Options options = {});

} // namespace quarven
