// Report figures, printed: the window snapshot of a 900 x 600 dialog, from the grab of its window
// to the PDF renamed into place (the picture deleted again), as "Print to PDF" runs it; and the
// certificate PDF as "Create" writes it, every field filled (the standard template's texts, one
// of them Chinese in the CJK font) and with a 600 x 150 customer logo.
//
//   korvin-bench-reports [runs]    (default 20; the median and the slowest run are printed)

#include <QApplication>
#include <QColor>
#include <QImage>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "app/form_view.h"
#include "forms/task_dialog.h"
#include "reports/c_certificate.h"
#include "reports/certificate_pdf.h"
#include "reports/certificate_template.h"
#include "reports/snapshot_pdf.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kWidth = 900;
constexpr int kHeight = 600;
constexpr int kDefaultRuns = 20;
constexpr int kGroups = 4;
constexpr int kFieldsPerGroup = 8;

// A dialog of four boxes of labelled fields and a row of buttons, like the service screens.
class BenchDialog final : public korvin::TaskDialog {
 public:
  static const korvin::DialogScreen& Screen() {
    static const korvin::DialogScreen screen = [] {
      korvin::DialogScreen s("Snapshot benchmark");
      for (int g = 0; g < kGroups; ++g) {
        const std::string id = "g" + std::to_string(g);
        s.Group({id, "Group " + std::to_string(g + 1), g / 2, g % 2});
        for (int f = 0; f < kFieldsPerGroup; ++f) {
          s.Add({.label = "Value " + std::to_string(g * kFieldsPerGroup + f + 1) + ":",
                 .group = id,
                 .unit = "℃ Td"});
        }
      }
      s.Group({"buttons", "", 2, 0, 1, 2});
      s.Add({.label = "Print to PDF", .kind = korvin::ControlKind::kButton, .group = "buttons"});
      return s;
    }();
    return screen;
  }
  BenchDialog() : TaskDialog(Screen()) {
    for (size_t id = 0; id + 1 < screen().size(); ++id) {
      form().SetText(id, std::to_string(-40.0 + 1.25 * static_cast<double>(id)));
    }
  }
  void Open() override {}
  void Press(size_t) override {}
};

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

using Certificate = korvin::CCertificate;
constexpr int kLogoWidth = 600;
constexpr int kLogoHeight = 150;

// What the certificate shows for a sensor with both elements and an analogue output.
korvin::Form CertificateForm(const fs::path& logo) {
  korvin::Form form(Certificate::Screen());
  Certificate::ShowTemplateFields(form, korvin::ReadTemplateFile(KORVIN_STANDARD_TEMPLATE));
  form.SetText(Certificate::kLogo, logo.string());
  const std::pair<size_t, const char*> shown[] = {
      {Certificate::kInstrument, "D830 QCM"},
      {Certificate::kSerialNumber, "2300 4151"},
      {Certificate::kItemNumber, "S060 1037"},
      {Certificate::kRangeLow, "0"},
      {Certificate::kRangeHigh, "1000"},
      {Certificate::kOutput, "Humidity"},
      {Certificate::k4mA, "0.00"},
      {Certificate::k4mAUnit, "ppm"},
      {Certificate::k20mA, "1000.00"},
      {Certificate::k20mAUnit, "ppm"},
      {Certificate::kDeviceAddress, "01"},
      {Certificate::kFraming, "8,N,1"},
      {Certificate::kBaudRate, "19200"},
      {Certificate::kTransmissionMode, "RTU"},
      {Certificate::kCalibrationDate, "31 May 2023"},
  };
  for (const auto& [id, text] : shown) form.SetText(id, text);
  const char* rows[Certificate::kRows][4] = {{"C Td", "17.4", "17.5", "Passed"},
                                             {"C Td", "4.3", "4.4", "Passed"},
                                             {"C Td", "-11.2", "-11.2", "Passed"},
                                             {"C", "23.0", "23.1", "Passed"},
                                             {"barg", "8.000", "8.012", "Passed"}};
  for (size_t r = 0; r < Certificate::kRows; ++r) {
    form.SetText(Certificate::ResultCell(r, Certificate::kUnits), rows[r][0]);
    form.SetText(Certificate::ResultCell(r, Certificate::kNominal), rows[r][1]);
    form.SetText(Certificate::ResultCell(r, Certificate::kActual), rows[r][2]);
    form.SetText(Certificate::ResultCell(r, Certificate::kEvaluation), rows[r][3]);
  }
  return form;
}

// The median time of `runs` certificate PDFs; false when one failed.
bool BenchCertificate(const fs::path& folder, int runs) {
  QImage logo(kLogoWidth, kLogoHeight, QImage::Format_RGB888);
  logo.fill(QColor(31, 78, 154));
  const fs::path logoFile = folder / "logo.png";
  fs::create_directories(folder);
  if (!logo.save(QString::fromStdString(logoFile.string()), "PNG")) return false;
  const korvin::Form form = CertificateForm(logoFile);
  std::vector<double> times;
  korvin::CertificatePdfResult result;
  for (int run = 0; run < runs; ++run) {
    const Clock::time_point start = Clock::now();
    result = korvin::CreateCertificatePdf(form, folder);
    times.push_back(MsSince(start));
    if (!result.ok()) {
      std::fprintf(stderr, "korvin-bench-reports: %s\n", result.failure.c_str());
      return false;
    }
  }
  std::error_code error;
  std::sort(times.begin(), times.end());
  std::printf("certificate bytes: %ju\n", static_cast<uintmax_t>(fs::file_size(result.pdf, error)));
  std::printf("certificate ms: %.1f\n", times[times.size() / 2]);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : kDefaultRuns;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);

  const fs::path folder =
      fs::temp_directory_path() / ("korvin-bench-reports-" + std::to_string(::getpid()));
  BenchDialog dialog;
  korvin::FormView view(dialog, nullptr);
  view.Push();
  view.resize(kWidth, kHeight);

  std::vector<double> times;
  korvin::SnapshotResult result;
  for (int run = 0; run < runs; ++run) {
    const Clock::time_point start = Clock::now();
    result = korvin::WriteSnapshotPdf(
        view, {folder, "00012345", "_Info.pdf", korvin::SnapshotLayout::ImageSized, false});
    times.push_back(MsSince(start));
    if (!result.ok()) {
      std::fprintf(stderr, "korvin-bench-reports: %s\n", result.failure.c_str());
      fs::remove_all(folder);
      return 1;
    }
  }
  std::error_code error;
  const auto bytes = fs::file_size(result.pdf, error);

  std::sort(times.begin(), times.end());
  std::printf("dialog: %d x %d, runs: %d\n", view.width(), view.height(), runs);
  std::printf("pdf bytes: %ju\n", static_cast<uintmax_t>(bytes));
  std::printf("snapshot ms: %.1f\n", times[times.size() / 2]);
  std::printf("slowest ms: %.1f\n", times.back());
  const bool certificate = BenchCertificate(folder, runs);
  fs::remove_all(folder, error);
  return certificate ? 0 : 1;
}
