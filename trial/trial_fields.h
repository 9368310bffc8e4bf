// The seam between the readers of bytes and the reader of rows. The tokenizer
// (trial_tokenizer.h) turns a text file's bytes into records of fields; a
// reader of workbook cells, or of a file of one observation a row, would hand
// its own records the same way. The row reader (trial_rows.h) takes them
// alike: the first record that is not blank is the header, each later one a
// row, each with the line or row it begins on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

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

// A file that cannot be read as a trial: where, and why.
struct TrialError {
    std::uint32_t line = 0;
    std::string message;
};

class FieldSink {
public:
    virtual ~FieldSink() = default;
    // Once, before the first record: the separator the results are written
    // with. '\0' when a text's first line held none of the three: its header
    // is refused as a single column.
    virtual void separator(char separator) = 0;
    // One record, the blanks around its fields dropped, and the line (or
    // row) it begins on, counted from 1. The views last for the call. False
    // once the trial is refused: nothing more is to be handed over.
    virtual bool record(std::uint32_t line, Items<std::string_view> fields) = 0;
    // The end of the records; lastLine is the last line's number, at least 1.
    virtual void end(std::uint32_t lastLine) = 0;
};

} // namespace quarven
