// Certificate figures, printed: the time to draw and write one certificate PDF ("Create") with
// every field filled, the standard template's texts (one of them Chinese, drawn in the CJK
// font) and a 600 x 150 customer logo, as the mean of a number of runs; and the file's size.
//
//   korvin-bench-certificate [folder]    (default: a new folder below the system's temp folder)

#include <unistd.h>

#include <QColor>
#include <QImage>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "reports/c_certificate.h"
#include "reports/certificate_pdf.h"
#include "reports/certificate_template.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using C = korvin::CCertificate;

constexpr int kRuns = 50;
constexpr int kLogoWidth = 600;
constexpr int kLogoHeight = 150;

// What the opening sequence shows for a sensor with both elements and an analogue output.
korvin::Form FilledForm(const fs::path& logo) {
  korvin::Form form(C::Spec());
  C::ShowTemplateFields(form, korvin::ReadTemplateFile(KORVIN_STANDARD_TEMPLATE));
  form.SetText(C::kLogo, logo.string());
  const std::pair<size_t, const char*> shown[] = {
      {C::kInstrument, "D830 QCM"},
      {C::kSerialNumber, "2300 4151"},
      {C::kItemNumber, "S060 1037"},
      {C::kRangeLow, "0"},
      {C::kRangeHigh, "1000"},
      {C::kOutput, "Humidity"},
      {C::k4mA, "0.00"},
      {C::k4mAUnit, "ppm"},
      {C::k20mA, "1000.00"},
      {C::k20mAUnit, "ppm"},
      {C::kDeviceAddress, "01"},
      {C::kFraming, "8,N,1"},
      {C::kBaudRate, "19200"},
      {C::kTransmissionMode, "RTU"},
      {C::kCalibrationDate, "31 May 2023"},
  };
  for (const auto& [id, text] : shown) form.SetText(id, text);
  const char* rows[C::kRows][4] = {{"C Td", "17.4", "17.5", "Passed"},
                                   {"C Td", "4.3", "4.4", "Passed"},
                                   {"C Td", "-11.2", "-11.2", "Passed"},
                                   {"C", "23.0", "23.1", "Passed"},
                                   {"barg", "8.000", "8.012", "Passed"}};
  for (size_t r = 0; r < C::kRows; ++r) {
    form.SetText(C::ResultCell(r, C::kUnits), rows[r][0]);
    form.SetText(C::ResultCell(r, C::kNominal), rows[r][1]);
    form.SetText(C::ResultCell(r, C::kActual), rows[r][2]);
    form.SetText(C::ResultCell(r, C::kEvaluation), rows[r][3]);
  }
  return form;
}

}  // namespace

int main(int argc, char** argv) {
  const fs::path folder = argc > 1 ? fs::path(argv[1])
                                   : fs::temp_directory_path() /
                                         ("korvin-bench-certificate-" + std::to_string(getpid()));
  fs::create_directories(folder);
  QImage logo(kLogoWidth, kLogoHeight, QImage::Format_RGB888);
  logo.fill(QColor(31, 78, 154));
  const fs::path logoFile = folder / "logo.png";
  if (!logo.save(QString::fromStdString(logoFile.string()), "PNG")) {
    std::fprintf(stderr, "cannot write %s\n", logoFile.c_str());
    return 1;
  }
  const korvin::Form form = FilledForm(logoFile);

  korvin::CertificatePdfResult result;
  const Clock::time_point start = Clock::now();
  for (int run = 0; run < kRuns; ++run) {
    result = korvin::CreateCertificatePdf(form, folder);
    if (!result.ok()) {
      std::fprintf(stderr, "%s\n", result.failure.c_str());
      return 1;
    }
  }
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count() / kRuns;
  std::printf("certificate ms: %.2f\n", ms);
  std::printf("certificate bytes: %ju\n", static_cast<uintmax_t>(fs::file_size(result.pdf)));
  std::printf("certificate file: %s\n", result.pdf.c_str());
  return 0;
}
