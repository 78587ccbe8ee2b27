#pragma once

#include <filesystem>
#include <system_error>

#include "recording/spreadsheet/excel_sheet.h"

namespace korvin {

// Writes `sheet` to `path` so that the file there is always a complete sheet, the old or the
// new one, even after a crash, a full disk or a file size limit in the middle:
//   - through a temporary file beside `path`, pushed to the disk and renamed over it;
//   - only where no file can be created beside `path` at all (a folder that lets only the
//     existing file be rewritten), into `path` itself, and then only once the disk room for all
//     the new bytes has been taken, so the old content is never cut short by a failing write.
// False when the sheet could not be written; `path` then holds what it held before, and `error`
// (when given) tells why.
bool WriteSheetFile(miniexcel::excelSheet& sheet, const std::filesystem::path& path,
                    std::error_code* error = nullptr);

}  // namespace korvin
