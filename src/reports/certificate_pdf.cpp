#include "reports/certificate_pdf.h"

#include <array>
#include <system_error>

#include "platform/cp936.h"
#include "reports/c_certificate.h"
#include "reports/report_paths.h"
#include "reports/snapshot_pdf.h"
#include "reports/win_ansi.h"

namespace korvin {

namespace {

using C = CCertificate;

// One text of the page: a fixed text, a form field, a reference uncertainty printed trimmed, or
// a drawn ± sign. x and y are the start of the text on its baseline, in points from the lower
// left corner.
enum class Item { kFixed, kField, kTrimmed, kPlusMinus };
struct TextItem {
  float x;
  float y;
  float size;
  Item kind;
  std::string_view text = {};  // kFixed
  size_t control = 0;          // kField, kTrimmed
};

constexpr TextItem Fixed(float x, float y, float size, std::string_view text) {
  return {x, y, size, Item::kFixed, text};
}
constexpr TextItem Field(float x, float y, float size, size_t control) {
  return {x, y, size, Item::kField, {}, control};
}
constexpr TextItem Trimmed(float x, float y, float size, size_t control) {
  return {x, y, size, Item::kTrimmed, {}, control};
}
constexpr TextItem PlusMinus(float x, float y) {
  return {x, y, 0, Item::kPlusMinus};
}
constexpr size_t Result(size_t row, size_t column) {
  return C::ResultCell(row, column);
}

// Baselines of the result rows, and where their nominal values start.
constexpr float kRowY[C::kRows] = {474, 456, 438, 420, 402};
constexpr float kNominalX[C::kRows] = {231, 232, 232, 233, 233};
constexpr float kDescriptionX[C::kRows] = {75, 75, 75, 67, 78};
constexpr float kUnitsX[C::kRows] = {163, 163, 163, 167, 158};
constexpr std::string_view kDescriptions[C::kRows] = {"Dew point", "Dew point", "Dew point",
                                                      "Temperature", "Pressure"};

constexpr TextItem ResultItem(size_t row, size_t part) {
  const float y = kRowY[row];
  switch (part) {
    case 0:
      return Fixed(kDescriptionX[row], y, 11, kDescriptions[row]);
    case 1:
      return Field(kUnitsX[row], y, 11, Result(row, C::kUnits));
    case 2:
      return Field(kNominalX[row], y, 11, Result(row, C::kNominal));
    case 3:
      return PlusMinus(316, y);
    case 4:
      return Field(326, y, 11, Result(row, C::kPermissible));
    case 5:
      return Field(415, y, 11, Result(row, C::kActual));
    default:
      return Field(495, y, 11, Result(row, C::kEvaluation));
  }
}
constexpr size_t kResultParts = 7;

constexpr auto kHeadItems = std::to_array<TextItem>({
    Fixed(50, 812, 19, "Calibration Certificate"),
    Fixed(50, 770, 13, "Instrument:"),
    Field(170, 770, 13, C::kInstrument),
    Fixed(50, 752, 13, "Serial number:"),
    Field(170, 752, 13, C::kSerialNumber),
    Fixed(50, 734, 13, "Item number:"),
    Field(170, 734, 13, C::kItemNumber),
    Fixed(50, 701, 12, "Test Conditions"),
    Fixed(60, 683, 11, "Test medium:"),
    Field(175, 683, 11, C::kTestMedium),
    Fixed(305, 683, 11, "Ambient humidity:"),
    Field(400, 683, 11, C::kAmbientHumidity),
    Fixed(60, 665, 11, "Volumetric flow:"),
    Field(175, 665, 11, C::kVolumetricFlow),
    Fixed(305, 665, 11, "Ambient pressure:"),
    Field(400, 665, 11, C::kAmbientPressure),
    Fixed(60, 647, 11, "Ambient temperature:"),
    Field(175, 647, 11, C::kAmbientTemperature),
    Fixed(305, 647, 11, "Testing method:"),
    Field(400, 647, 11, C::kTestingMethod),
    Fixed(50, 621, 12, "Reference Used"),
    Fixed(78, 603, 12, "Equipment"),
    Fixed(194, 603, 12, "Model"),
    Fixed(278, 603, 12, "Uncertainty"),
    Fixed(387, 603, 12, "S/N"),
    Fixed(451, 603, 12, "Last calibration"),
    Fixed(66, 585, 11, "Dew point mirror"),
    Field(177, 585, 11, C::kMirrorModel),
    PlusMinus(279, 585),
    Trimmed(284, 585, 11, C::kMirrorUncertainty),
    Fixed(314, 585, 11, "C Td"),
    Field(368, 585, 11, C::kMirrorSerial),
    Field(462, 585, 11, C::kMirrorCalibrationDate),
    Fixed(66, 567, 11, "Pressure sensor"),
    Field(177, 567, 11, C::kPressureModel),
    Field(279, 567, 11, C::kPressureUncertainty),
    Fixed(310, 567, 11, "barg"),
    Field(368, 567, 11, C::kPressureSerial),
    Field(462, 567, 11, C::kPressureCalibrationDate),
    Fixed(56, 549, 11, "Temperature sensor"),
    Field(177, 549, 11, C::kTemperatureModel),
    PlusMinus(279, 549),
    Trimmed(284, 549, 11, C::kTemperatureUncertainty),
    Fixed(314, 549, 11, "C"),
    Field(368, 549, 11, C::kTemperatureSerial),
    Field(462, 549, 11, C::kTemperatureCalibrationDate),
    Fixed(50, 523, 12, "Calibration Test Results"),
    Fixed(72, 505, 12, "Description"),
    Fixed(160, 505, 12, "Units"),
    Fixed(222, 505, 12, "Nominal"),
    Fixed(302, 505, 12, "Permissible"),
    Fixed(394, 505, 12, "Actual value"),
    Fixed(484, 505, 12, "Evaluation"),
    Fixed(229, 492, 12, "value"),
    Fixed(302, 492, 12, "uncertainty"),
});

constexpr auto kFootItems = std::to_array<TextItem>({
    Field(50, 374, 11, C::kInfo1),
    Field(50, 362, 11, C::kInfo2),
    Field(50, 350, 11, C::kInfo3),
    Field(50, 338, 11, C::kInfo4),
    Fixed(50, 310, 12, "Factory Settings"),
    Fixed(50, 292, 11, "Measurement Settings"),
    Fixed(60, 274, 11, "Range:"),
    Field(120, 274, 11, C::kRangeLow),
    Fixed(140, 274, 11, "..."),
    Field(155, 274, 11, C::kRangeHigh),
    Fixed(185, 274, 11, "C Td"),
    Fixed(50, 256, 11, "Analogue Output"),
    Fixed(60, 234, 11, "Output:"),
    Field(185, 234, 11, C::kOutput),
    Fixed(280, 234, 11, "Scaling:"),
    Fixed(350, 240, 11, "4mA:"),
    Field(390, 240, 11, C::k4mA),
    Field(460, 240, 11, C::k4mAUnit),
    Fixed(344, 226, 11, "20mA:"),
    Field(390, 226, 11, C::k20mA),
    Field(460, 226, 11, C::k20mAUnit),
    Fixed(50, 208, 11, "Fieldbus Interface"),
    Fixed(60, 190, 11, "Modbus"),
    Fixed(60, 172, 11, "Device address:"),
    Field(187, 172, 11, C::kDeviceAddress),
    Fixed(281, 172, 11, "Baud rate:"),
    Field(391, 172, 11, C::kBaudRate),
    Fixed(60, 154, 11, "Framing/Parity/Stop bit:"),
    Field(187, 154, 11, C::kFraming),
    Fixed(280, 154, 11, "Transmission mode:"),
    Field(393, 154, 11, C::kTransmissionMode),
    Field(48, 126, 11, C::kCompanyPrompt),
    Field(48, 102, 12, C::kCompanyName),
    Field(48, 84, 11, C::kAddress1),
    Field(48, 71, 11, C::kAddress2),
    Field(48, 58, 11, C::kAddress3),
    Field(48, 45, 11, C::kAddress4),
    Fixed(358, 102, 12, "Calibration date:"),
    Field(448, 102, 12, C::kCalibrationDate),
    Fixed(358, 75, 12, "Inspector:"),
    Field(448, 75, 12, C::kInspector),
    Fixed(358, 48, 12, "Signature:"),
    Fixed(268, 13, 12, "Page 1 of 1"),
});

// The ± sign: a "+" raised by one point over two "-" lowered by two, the second 3 points right.
constexpr float kSignSize = 12;
constexpr float kPlusRise = 1;
constexpr float kMinusRise = -2;
constexpr float kSecondMinusShift = 3;

// The logo's top right corner; its size in points is its size in pixels divided by six.
constexpr float kLogoX = 390;
constexpr float kLogoY = 815;
constexpr HPDF_UINT kLogoPixelsPerPoint = 6;

// Rules and degree circles, stroked as one path.
constexpr float kLineWidth = 0.8f;
constexpr float kRuleLeft = 48;
constexpr float kRuleRight = 548;
constexpr std::array<float, 6> kRuleY = {699, 619, 521, 289, 253, 205};
constexpr float kSignatureLeft = 445;
constexpr float kSignatureY = 43;
constexpr float kCircleRadius = 1.5f;
struct Point {
  float x;
  float y;
};
constexpr std::array<Point, 8> kDegreeCircles = {{{212, 653},
                                                  {311, 591},
                                                  {311, 555},
                                                  {160, 480},
                                                  {160, 462},
                                                  {160, 444},
                                                  {164, 426},
                                                  {182, 280}}};
// Before the analogue scaling units, when those are dew points.
constexpr std::array<Point, 2> kScalingCircles = {{{457, 246}, {457, 232}}};
constexpr std::array<std::string_view, 2> kDewPointUnits = {"C Td", "F Td"};
constexpr std::string_view kNotAvailableText = "N/A";

constexpr char kHelvetica[] = "Helvetica";
constexpr char kWinAnsi[] = "WinAnsiEncoding";
constexpr char kCjkFont[] = "SimSun";
constexpr char kCjkEncoding[] = "GBK-EUC-H";

constexpr size_t kMaxTrimmedBlanks = 5;
constexpr std::array<std::string_view, 3> kSigns = {"+", "-", "±"};

// Writes texts with MoveTextPos, which moves relative to the start of the current line.
class TextWriter {
 public:
  TextWriter(PdfDocument& doc, HPDF_Page page) : doc_(doc), page_(page) {
    HPDF_Page_BeginText(page_);
    HPDF_UseCNSFonts(doc_.handle());
    HPDF_UseCNSEncodings(doc_.handle());
    helvetica_ = HPDF_GetFont(doc_.handle(), kHelvetica, kWinAnsi);
  }
  ~TextWriter() { HPDF_Page_EndText(page_); }

  void MoveTo(float x, float y) {
    HPDF_Page_MoveTextPos(page_, x - lineX_, y - lineY_);
    lineX_ = x;
    lineY_ = y;
  }

  void Show(float x, float y, float size, std::string_view utf8) {
    if (utf8.empty()) return;
    MoveTo(x, y);
    if (const std::optional<std::string> latin = Utf8ToWinAnsi(utf8)) {
      HPDF_Page_SetFontAndSize(page_, helvetica_, size);
      HPDF_Page_ShowText(page_, latin->c_str());
      return;
    }
    HPDF_Page_SetFontAndSize(page_, Cjk(), size);
    HPDF_Page_ShowText(page_, Utf8ToCp936(utf8).c_str());
  }

  void ShowPlusMinus(float x, float y) {
    MoveTo(x, y);
    HPDF_Page_SetFontAndSize(page_, helvetica_, kSignSize);
    HPDF_Page_SetTextRaise(page_, kPlusRise);
    HPDF_Page_ShowText(page_, "+");
    MoveTo(x, y);  // back to where the "+" started
    HPDF_Page_SetTextRaise(page_, kMinusRise);
    HPDF_Page_ShowText(page_, "-");
    MoveTo(x + kSecondMinusShift, y);
    HPDF_Page_ShowText(page_, "-");
    HPDF_Page_SetTextRaise(page_, 0);
  }

 private:
  HPDF_Font Cjk() {
    if (cjk_ == nullptr) cjk_ = HPDF_GetFont(doc_.handle(), kCjkFont, kCjkEncoding);
    return cjk_;
  }

  PdfDocument& doc_;
  HPDF_Page page_;
  HPDF_Font helvetica_ = nullptr;
  HPDF_Font cjk_ = nullptr;
  float lineX_ = 0;
  float lineY_ = 0;
};

void Draw(TextWriter& writer, const TextItem& item, const Form& form) {
  switch (item.kind) {
    case Item::kFixed:
      writer.Show(item.x, item.y, item.size, item.text);
      break;
    case Item::kField:
      writer.Show(item.x, item.y, item.size, form.Text(item.control));
      break;
    case Item::kTrimmed:
      writer.Show(item.x, item.y, item.size, TrimmedUncertainty(form.Text(item.control)));
      break;
    case Item::kPlusMinus:
      writer.ShowPlusMinus(item.x, item.y);
      break;
  }
}

bool ShowsDewPointScaling(const Form& form) {
  if (form.Text(C::kOutput) == kNotAvailableText) return false;
  const std::string& unit = form.Text(C::k4mAUnit);
  for (std::string_view u : kDewPointUnits) {
    if (unit.find(u) != std::string::npos) return true;
  }
  return false;
}

void DrawLines(HPDF_Page page, const Form& form) {
  HPDF_Page_SetLineWidth(page, kLineWidth);
  for (float y : kRuleY) {
    HPDF_Page_MoveTo(page, kRuleLeft, y);
    HPDF_Page_LineTo(page, kRuleRight, y);
  }
  HPDF_Page_MoveTo(page, kSignatureLeft, kSignatureY);
  HPDF_Page_LineTo(page, kRuleRight, kSignatureY);
  for (const Point& p : kDegreeCircles) HPDF_Page_Circle(page, p.x, p.y, kCircleRadius);
  if (ShowsDewPointScaling(form)) {
    for (const Point& p : kScalingCircles) HPDF_Page_Circle(page, p.x, p.y, kCircleRadius);
  }
  HPDF_Page_Stroke(page);
}

bool DrawLogo(PdfDocument& doc, HPDF_Page page, const std::string& logo) {
  if (logo.empty()) return true;
  HPDF_Image image = doc.LoadPngImage(logo);
  if (!doc.ok()) return false;
  const HPDF_UINT width = HPDF_Image_GetWidth(image) / kLogoPixelsPerPoint;
  const HPDF_UINT height = HPDF_Image_GetHeight(image) / kLogoPixelsPerPoint;
  HPDF_Page_DrawImage(page, image, kLogoX, kLogoY, static_cast<HPDF_REAL>(width),
                      static_cast<HPDF_REAL>(height));
  return doc.ok();
}

}  // namespace

std::string TrimmedUncertainty(std::string_view text) {
  size_t blanks = 0;
  while (blanks < text.size() && blanks < kMaxTrimmedBlanks && text[blanks] == ' ') ++blanks;
  text.remove_prefix(blanks);
  for (std::string_view sign : kSigns) {
    if (text.substr(0, sign.size()) == sign) {
      text.remove_prefix(sign.size());
      break;
    }
  }
  return std::string(text);
}

CertificatePdfResult CreateCertificatePdf(const Form& form, const std::filesystem::path& folder,
                                          PdfAllocator allocator) {
  const std::filesystem::path certificates = folder / kCertificateFolder;
  CertificatePdfResult result;
  result.pdf = certificates / (SafeFileStem(form.Text(C::kSerialNumber)) + kCertificateSuffix);
  std::error_code ignored;
  // A folder that cannot be made shows up as a file libharu cannot write.
  std::filesystem::create_directory(certificates, ignored);

  PdfDocument doc(allocator);
  if (!doc.created()) {
    result.failure = kCreateCertificateObjectFailedMessage;
    return result;
  }
  doc.SetCompressionMode(HPDF_COMP_ALL);
  doc.SetPageMode(HPDF_PAGE_MODE_USE_OUTLINE);
  HPDF_Page page = doc.AddPage();
  if (page != nullptr) HPDF_Page_SetSize(page, HPDF_PAGE_SIZE_A4, HPDF_PAGE_PORTRAIT);
  if (page == nullptr || !DrawLogo(doc, page, form.Text(C::kLogo))) {
    result.failure = kCreatePdfFailedMessage;
    return result;
  }
  {
    TextWriter writer(doc, page);
    for (const TextItem& item : kHeadItems) Draw(writer, item, form);
    for (size_t row = 0; row < C::kRows; ++row) {
      for (size_t part = 0; part < kResultParts; ++part) Draw(writer, ResultItem(row, part), form);
    }
    for (const TextItem& item : kFootItems) Draw(writer, item, form);
  }
  DrawLines(page, form);
  if (!doc.SaveToFile(result.pdf)) result.failure = kCreatePdfFailedMessage;
  return result;
}

}  // namespace korvin
