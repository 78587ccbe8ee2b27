#include "reports/pdf_document.h"

#include <system_error>

namespace korvin {

namespace {

// libharu's default size of its memory pool blocks (0 lets it choose).
constexpr HPDF_UINT kDefaultMemoryPoolSize = 0;
constexpr char kTemporaryPrefix[] = ".";
constexpr char kTemporarySuffix[] = ".part";

}  // namespace

PdfDocument::PdfDocument(PdfAllocator allocator) {
  doc_ = HPDF_NewEx(&PdfDocument::OnError, allocator.alloc, allocator.free, kDefaultMemoryPoolSize,
                    this);
}

PdfDocument::~PdfDocument() {
  if (doc_ != nullptr) HPDF_Free(doc_);
}

void HPDF_STDCALL PdfDocument::OnError(HPDF_STATUS error, HPDF_STATUS detail, void* self) {
  static_cast<PdfDocument*>(self)->Record(error, detail);
}

void PdfDocument::Record(HPDF_STATUS error, HPDF_STATUS detail) {
  // Later calls on a failed document report "invalid document" again; the first error is the
  // one that tells what went wrong.
  if (error_ != HPDF_OK) return;
  error_ = error;
  detail_ = detail;
}

void PdfDocument::ResetError() {
  if (doc_ != nullptr) HPDF_ResetError(doc_);
  error_ = HPDF_OK;
  detail_ = 0;
}

bool PdfDocument::SetPageMode(HPDF_PageMode mode) {
  if (!ok()) return false;
  HPDF_SetPageMode(doc_, mode);
  return ok();
}

bool PdfDocument::SetCompressionMode(HPDF_UINT mode) {
  if (!ok()) return false;
  HPDF_SetCompressionMode(doc_, mode);
  return ok();
}

HPDF_Page PdfDocument::AddPage() {
  if (!ok()) return nullptr;
  HPDF_Page page = HPDF_AddPage(doc_);
  return ok() ? page : nullptr;
}

HPDF_Image PdfDocument::LoadPngImage(const std::filesystem::path& png) {
  if (!ok()) return nullptr;
  HPDF_Image image = HPDF_LoadPngImageFromFile(doc_, png.string().c_str());
  return ok() ? image : nullptr;
}

std::filesystem::path PdfDocument::TemporaryFileFor(const std::filesystem::path& pdf) {
  return pdf.parent_path() / (kTemporaryPrefix + pdf.filename().string() + kTemporarySuffix);
}

bool PdfDocument::SaveToFile(const std::filesystem::path& pdf) {
  if (!ok()) return false;
  const std::filesystem::path temporary = TemporaryFileFor(pdf);
  std::error_code ignored;
  if (HPDF_SaveToFile(doc_, temporary.string().c_str()) != HPDF_OK || !ok()) {
    std::filesystem::remove(temporary, ignored);
    return false;
  }
  std::error_code renamed;
  std::filesystem::rename(temporary, pdf, renamed);
  if (renamed) {
    std::filesystem::remove(temporary, ignored);
    Record(HPDF_FILE_IO_ERROR, static_cast<HPDF_STATUS>(renamed.value()));
    return false;
  }
  return true;
}

}  // namespace korvin
