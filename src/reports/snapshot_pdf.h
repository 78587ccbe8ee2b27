#pragma once

#include <filesystem>
#include <string>

#include "forms/task_dialog.h"
#include "reports/pdf_document.h"

namespace korvin {

// How the page of a window snapshot is sized.
enum class SnapshotLayout {
  ImageSized,  // the page is the picture: one pixel is one point
  A4Anchored,  // an A4 portrait page with the picture, unscaled, in its lower left corner
};

// What a dialog asks to be saved: its picture as folder/stem.png, the PDF as
// folder/stem + pdfSuffix.
struct SnapshotRequest {
  std::filesystem::path folder;  // created when missing; empty: the current folder
  std::string fileStem;          // text from the screen; SafeFileStem makes it a plain name
  std::string pdfSuffix;         // "_Info.pdf", "_Calidata.pdf", "_Certificate.pdf"
  SnapshotLayout layout = SnapshotLayout::ImageSized;
  bool keepImage = false;  // the PNG stays beside the PDF
};

inline constexpr char kCreatePdfObjectFailedMessage[] = "ERROR:Create PDF oject failed!";
inline constexpr char kCreatePdfFailedMessage[] = "Error:Create PDF failed!";

struct SnapshotResult {
  std::filesystem::path pdf;  // the files of the request (whether written or not)
  std::filesystem::path png;
  // The message for the user when the PDF was not written; empty on success.
  std::string failure;
  bool ok() const { return failure.empty(); }
};

// Saves the window's picture (DialogHost::SavePicture, the client area with its buttons, RGB)
// as a PNG and writes a one-page PDF of it; reports the files written through
// DialogHost::FileWritten. It shows nothing itself: the calling dialog shows `failure` as a
// failure message (TaskDialog::Fail), so a terminal run counts it. On failure no PDF of the
// request's name is left behind (an earlier one stays as it was) and the PNG stays.
SnapshotResult WriteSnapshotPdf(DialogHost& window, const SnapshotRequest& request,
                                PdfAllocator allocator = {});

}  // namespace korvin
