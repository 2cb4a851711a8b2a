#pragma once
// BIFF8 workbooks in a compound file (.xls, .xlt).
//
// Layers, each in its own file: compound_file (the "Workbook" stream as bytes), byte_reader (a
// bounded little-endian cursor), biff_records (records, CONTINUE joining, record strings) and
// xls_reader.cc (the record handlers that fill the model).
#include <cstddef>
#include <span>

#include "workbook/model.h"
#include "workbook/progress.h"

namespace vestrano::xls {

// Reads a whole compound file held in memory into book (which the caller has cleared). Raises
// EWorkbookFileError when the file is not a readable BIFF8 workbook (the message says why and,
// for damaged files, where), and EWorkbookError "Expected CONTINUE not found." for a shared
// string cut off in the middle. Sheets appended before a failure stay in the book.
void Read(TWorkbook& book, std::span<const std::byte> file, ProgressSink* progress);

}  // namespace vestrano::xls
