#pragma once

#include <filesystem>

#include "recording/spreadsheet/excel_sheet.h"

namespace korvin {

// Writes `sheet` to a temporary file beside `path`, pushes it to the disk and renames it over
// `path`, so the file at `path` is always a complete sheet, the old or the new one, even after a
// crash or power cut in the middle. False (and `path` untouched) when any step fails.
bool WriteSheetFile(miniexcel::excelSheet& sheet, const std::filesystem::path& path);

// Creates or truncates `path` and writes `sheet` into it directly.
bool WriteSheetFileInPlace(miniexcel::excelSheet& sheet, const std::filesystem::path& path);

}  // namespace korvin
