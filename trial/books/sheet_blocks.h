// An .xlsx sheet's XML parsed on two threads: cut into blocks of whole rows
// where one row's end tag meets the next one's start, the blocks taken in
// turn by two parsers, each of which sees a well-formed stream (the first the
// sheet's head, its blocks and its tail; the second its blocks within a
// sheetData of its own), and their records handed on in row order. The XML
// parser is most of the time a sheet takes; two of them take half as long
// where two cores are free.
//
// A sheet is cut only while it holds nothing but tags and text: at the first
// comment, CDATA section or processing instruction, or where no row meets
// the next for 8 MiB, the rest is read by the first parser alone. Either way
// the records and refusals are those of one parser.
#pragma once

#include "xlsx_cells.h"

#include <functional>

namespace quarven::books {

using Inflate = std::function<Error(const std::function<bool(std::string_view)>& take)>;

inline constexpr std::size_t kSheetBlock = std::size_t{512} << 10;

// The sheet's XML from `inflate` into rows, then their end.
[[nodiscard]] Error ReadSheetInBlocks(const XlsxTables& tables, SheetRows& rows,
                                      const Inflate& inflate, std::size_t blockBytes = kSheetBlock);

} // namespace quarven::books
