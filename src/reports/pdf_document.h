#pragma once

#include <hpdf.h>

#include <filesystem>

namespace korvin {

// Where libharu takes its memory from; both null: its own malloc and free.
struct PdfAllocator {
  HPDF_Alloc_Func alloc = nullptr;
  HPDF_Free_Func free = nullptr;
};

// One libharu document, for every PDF the program writes. It is created with an error handler
// that records the first error libharu reports; from then on the document's own steps do
// nothing, so a build stops at its first failure and the caller asks ok() once at the end (or
// after each step it cares about). The document is freed on every path, and SaveToFile never
// leaves a half-written file under the target's name.
//
// Pages, images, fonts and drawing are plain libharu calls on handle() and the page and image
// handles; their errors reach the same handler.
class PdfDocument {
 public:
  explicit PdfDocument(PdfAllocator allocator = {});
  ~PdfDocument();
  PdfDocument(const PdfDocument&) = delete;
  PdfDocument& operator=(const PdfDocument&) = delete;

  // False when libharu could not create the document object.
  bool created() const { return doc_ != nullptr; }
  // Created, and no error reported since (or since ResetError).
  bool ok() const { return created() && error_ == HPDF_OK; }
  // The first error libharu reported, and its detail code (for file errors: errno).
  HPDF_STATUS error() const { return error_; }
  HPDF_STATUS errorDetail() const { return detail_; }
  // Forgets a recorded error, in the document and here: for a step whose failure has a
  // fallback (a font that is not installed).
  void ResetError();

  HPDF_Doc handle() const { return doc_; }

  bool SetPageMode(HPDF_PageMode mode);
  bool SetCompressionMode(HPDF_UINT mode);
  // Null once an error was recorded.
  HPDF_Page AddPage();
  HPDF_Image LoadPngImage(const std::filesystem::path& png);

  // Writes the document to a temporary file in the target's folder and renames it over the
  // target only when libharu has written all of it; on any failure the temporary file is
  // removed and a file of the target's name is left as it was. False on failure.
  bool SaveToFile(const std::filesystem::path& pdf);

  // The temporary file SaveToFile writes for `pdf`.
  static std::filesystem::path TemporaryFileFor(const std::filesystem::path& pdf);

 private:
  static void HPDF_STDCALL OnError(HPDF_STATUS error, HPDF_STATUS detail, void* self);
  void Record(HPDF_STATUS error, HPDF_STATUS detail);

  HPDF_Doc doc_ = nullptr;
  HPDF_STATUS error_ = HPDF_OK;
  HPDF_STATUS detail_ = 0;
};

}  // namespace korvin
