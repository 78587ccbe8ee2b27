#include "reports/snapshot_pdf.h"

#include <system_error>

#include "reports/report_paths.h"

namespace korvin {

namespace {

constexpr char kPictureSuffix[] = ".png";
constexpr HPDF_REAL kImageX = 0;
constexpr HPDF_REAL kImageY = 0;

// The page takes the picture's size in points and the picture covers it.
bool BuildImageSizedPage(PdfDocument& doc, const std::filesystem::path& png) {
  HPDF_Page page = doc.AddPage();
  HPDF_Image image = doc.LoadPngImage(png);
  if (!doc.ok()) return false;
  const auto height = static_cast<HPDF_REAL>(HPDF_Image_GetHeight(image));
  HPDF_Page_SetHeight(page, height);
  const auto width = static_cast<HPDF_REAL>(HPDF_Image_GetWidth(image));
  HPDF_Page_SetWidth(page, width);
  HPDF_Page_DrawImage(page, image, kImageX, kImageY, width, height);
  return doc.ok();
}

// The picture is drawn unscaled first and the page is made A4 afterwards, so the picture sits in
// the lower left corner and what lies beyond the page's top or right edge is cut off.
bool BuildA4AnchoredPage(PdfDocument& doc, const std::filesystem::path& png) {
  doc.SetPageMode(HPDF_PAGE_MODE_USE_OUTLINE);
  HPDF_Page page = doc.AddPage();
  HPDF_Image image = doc.LoadPngImage(png);
  if (!doc.ok()) return false;
  HPDF_Page_DrawImage(page, image, kImageX, kImageY,
                      static_cast<HPDF_REAL>(HPDF_Image_GetWidth(image)),
                      static_cast<HPDF_REAL>(HPDF_Image_GetHeight(image)));
  HPDF_Page_SetSize(page, HPDF_PAGE_SIZE_A4, HPDF_PAGE_PORTRAIT);
  return doc.ok();
}

}  // namespace

SnapshotResult WriteSnapshotPdf(DialogHost& window, const SnapshotRequest& request,
                                PdfAllocator allocator) {
  const std::string stem = SafeFileStem(request.fileStem);
  SnapshotResult result;
  result.png = request.folder / (stem + kPictureSuffix);
  result.pdf = request.folder / (stem + request.pdfSuffix);

  std::error_code ignored;
  if (!request.folder.empty() && !std::filesystem::exists(request.folder, ignored)) {
    // A folder that cannot be made shows up below, as a picture libharu cannot load.
    std::filesystem::create_directories(request.folder, ignored);
  }
  // A picture left from an earlier export must not stand in for one that could not be saved.
  std::filesystem::remove(result.png, ignored);
  window.SavePicture(result.png);

  {
    PdfDocument doc(allocator);
    if (!doc.created()) {
      result.failure = kCreatePdfObjectFailedMessage;
      return result;
    }
    const bool built = request.layout == SnapshotLayout::ImageSized
                           ? BuildImageSizedPage(doc, result.png)
                           : BuildA4AnchoredPage(doc, result.png);
    if (!built || !doc.SaveToFile(result.pdf)) {
      result.failure = kCreatePdfFailedMessage;
      return result;
    }
    if (!request.keepImage) std::filesystem::remove(result.png, ignored);
  }
  window.FileWritten(result.pdf);
  if (request.keepImage) window.FileWritten(result.png);
  return result;
}

}  // namespace korvin
