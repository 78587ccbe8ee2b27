#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "forms/form.h"
#include "reports/pdf_document.h"

namespace korvin {

inline constexpr char kCertificateSuffix[] = ".pdf";
inline constexpr char kCreateCertificateObjectFailedMessage[] = "ERROR:Create PDF failed!";

struct CertificatePdfResult {
  std::filesystem::path pdf;  // the file of the certificate (whether written or not)
  // The message for the user when the PDF was not written; empty on success.
  std::string failure;
  bool ok() const { return failure.empty(); }
};

// Draws the certificate of a calibration certificate dialog's form (CCertificate::Screen()) on
// one A4 page: its texts at fixed positions in Helvetica, the ± signs, the rules and the
// degree circles in one stroked path, and the customer logo (the form's picture) at the top
// right. The file is `folder`/Certificate/ + the serial number field + ".pdf" (the field made a
// plain file name), written through a temporary file; on failure a file of that name is left
// as it was. It shows nothing itself: the dialog shows `failure`.
//
// Texts reach the page as code page 1252 with Helvetica's WinAnsiEncoding, so °, ± and the
// Latin-1 letters print as they are; a text that code page 1252 cannot hold (a Chinese company
// name) is drawn in the CJK font SimSun in GBK instead.
CertificatePdfResult CreateCertificatePdf(const Form& form, const std::filesystem::path& folder,
                                          PdfAllocator allocator = {});

// A reference uncertainty as the certificate prints it after its drawn ± sign: without its
// leading blanks (at most five) and without a sign ("+", "-" or "±") that follows them, since
// the drawn sign stands for it. Digits stay: 1.5 prints as 1.5.
std::string TrimmedUncertainty(std::string_view text);

}  // namespace korvin
