// The OLE2 compound file that holds an .xls workbook (or an encrypted .xlsx):
// its sectors, allocation tables and directory, and the streams named in its
// root storage, read whole into memory (a stream is never larger than its
// file). Every sector number and chain is checked against the file.
#pragma once

#include "workbook.h"

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarven::books {

using Error = std::optional<std::string>;

// A workbook's bytes by offset, from a file or from memory.
class ByteSource {
public:
    explicit ByteSource(const WorkbookSource& source);
    ~ByteSource();
    ByteSource(const ByteSource&) = delete;
    ByteSource& operator=(const ByteSource&) = delete;

    [[nodiscard]] const Error& openError() const { return m_openError; }
    [[nodiscard]] std::uint64_t size() const { return m_size; }
    // Exactly `size` bytes at `offset`, or false.
    [[nodiscard]] bool read(std::uint64_t offset, char* into, std::size_t size);

private:
    std::string_view m_bytes;
    std::FILE* m_file = nullptr;
    std::uint64_t m_size = 0;
    Error m_openError;
};

// The first bytes' kind, or nothing when the file cannot be read.
[[nodiscard]] std::optional<TrialFileKind> KindOfSource(const WorkbookSource& source);
// Why it cannot.
[[nodiscard]] std::string UnreadableSource(const WorkbookSource& source);

class CompoundFile {
public:
    explicit CompoundFile(ByteSource& bytes);

    [[nodiscard]] Error open();
    // Whether the root storage holds a stream of this (ASCII) name, compared
    // without regard to case.
    [[nodiscard]] bool has(std::string_view name) const;
    // The stream whole.
    [[nodiscard]] Error read(std::string_view name, std::string& stream);

private:
    struct Entry {
        std::string name; // ASCII letters as written, others as '?'
        std::uint8_t type = 0;
        std::uint32_t left = 0;
        std::uint32_t right = 0;
        std::uint32_t child = 0;
        std::uint32_t start = 0;
        std::uint64_t size = 0;
    };
    [[nodiscard]] Error chain(const std::vector<std::uint32_t>& table, std::uint32_t start,
                              std::uint64_t sectorSize, std::uint64_t size, bool mini,
                              std::string& out);
    [[nodiscard]] const Entry* find(std::string_view name) const;

    ByteSource& m_bytes;
    std::uint32_t m_sectorShift = 9;
    std::uint32_t m_miniCutoff = 4096;
    std::vector<std::uint32_t> m_fat;
    std::vector<std::uint32_t> m_miniFat;
    std::vector<Entry> m_entries;
    std::vector<std::uint32_t> m_rootChildren;
    std::string m_miniStream;
    bool m_miniRead = false;
};

} // namespace quarven::books
