#include "reports/certificate_pdf.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <cmath>
#include <fstream>
#include <regex>

#include "reports/c_certificate.h"
#include "reports/snapshot_pdf.h"
#include "support/pdf_tools.h"
#include "support/temp_folder.h"

namespace korvin {
namespace {

using C = CCertificate;
using test::CommandOutput;
using test::Quote;

// Helvetica's ascender and descender, as poppler places a word's box around its baseline.
constexpr double kAscent = 0.718;
constexpr double kDescent = 0.207;

struct Word {
  double x = 0;
  double baseline = 0;  // points from the bottom of the page
  double size = 0;
  std::string text;
};

// The words of the page as pdftotext -bbox sees them.
std::vector<Word> ReadWords(const std::filesystem::path& pdf) {
  std::vector<Word> words;
  const std::optional<std::string> out = CommandOutput("pdftotext -bbox " + Quote(pdf) + " -");
  if (!out) return words;
  double pageHeight = 0;
  std::smatch m;
  if (std::regex_search(*out, m, std::regex(R"#(<page width="[0-9.]+" height="([0-9.]+)")#"))) {
    pageHeight = std::stod(m[1]);
  }
  const std::regex word(
      R"#(<word xMin="([0-9.]+)" yMin="([0-9.]+)" xMax="[0-9.]+" yMax="([0-9.]+)">([^<]*)</word>)#");
  for (auto it = std::sregex_iterator(out->begin(), out->end(), word); it != std::sregex_iterator();
       ++it) {
    const double yMin = std::stod((*it)[2]);
    const double yMax = std::stod((*it)[3]);
    Word w;
    w.x = std::stod((*it)[1]);
    w.size = (yMax - yMin) / (kAscent + kDescent);
    w.baseline = pageHeight - yMax + kDescent * w.size;
    w.text = (*it)[4];
    words.push_back(w);
  }
  return words;
}

std::string Unescaped(std::string text) {
  for (const auto& [from, to] : {std::pair<std::string, std::string>{"&amp;", "&"},
                                 {"&lt;", "<"},
                                 {"&gt;", ">"},
                                 {"&quot;", "\""}}) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + 1)) {
      text.replace(at, from.size(), to);
    }
  }
  return text;
}

// The first word of `text` starts at (x, baseline) at `size`, within a point.
bool HasWordAt(const std::vector<Word>& words, double x, double baseline, double size,
               const std::string& text) {
  const std::string first = text.substr(0, text.find(' '));
  for (const Word& w : words) {
    if (Unescaped(w.text) == first && std::fabs(w.x - x) <= 1 &&
        std::fabs(w.baseline - baseline) <= 1 && std::fabs(w.size - size) <= 0.5) {
      return true;
    }
  }
  return false;
}

// The page's content stream, uncompressed by qpdf.
std::string ContentStream(const std::filesystem::path& pdf, const std::filesystem::path& scratch) {
  const std::filesystem::path plain = scratch / "plain.pdf";
  if (!CommandOutput("qpdf --stream-data=uncompress " + Quote(pdf) + " " + Quote(plain))) {
    return {};
  }
  std::ifstream in(plain, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

size_t Count(const std::string& text, const std::regex& pattern) {
  return static_cast<size_t>(std::distance(std::sregex_iterator(text.begin(), text.end(), pattern),
                                           std::sregex_iterator()));
}

// A certificate form with a distinct text in every field.
Form FullForm() {
  Form f(C::Screen());
  const std::pair<size_t, const char*> texts[] = {
      {C::kInstrument, "D830 QCM"},
      {C::kSerialNumber, "0001 2345"},
      {C::kItemNumber, "S0601037"},
      {C::kTestMedium, "Synthetic air"},
      {C::kAmbientHumidity, "35 %rH"},
      {C::kVolumetricFlow, "1.5 Nl/min"},
      {C::kAmbientPressure, "1013 hPa"},
      {C::kAmbientTemperature, "23 ± 1   C"},
      {C::kTestingMethod, "Comparison"},
      {C::kMirrorModel, "CM-3000"},
      {C::kMirrorUncertainty, "0.2"},
      {C::kMirrorSerial, "CM3K-0815"},
      {C::kMirrorCalibrationDate, "12 Jan 2024"},
      {C::kPressureModel, "PR-700"},
      {C::kPressureUncertainty, "±0.05"},
      {C::kPressureSerial, "P7-22019"},
      {C::kPressureCalibrationDate, "03 Nov 2023"},
      {C::kTemperatureModel, "TR-2"},
      {C::kTemperatureUncertainty, "   +0.2"},
      {C::kTemperatureSerial, "T2-11876"},
      {C::kTemperatureCalibrationDate, "20 Feb 2024"},
      {C::kInfo1, "Dew point 20 °C, Prüfstelle"},
      {C::kInfo2, "Second line"},
      {C::kInfo3, "Third line"},
      {C::kInfo4, "Fourth line"},
      {C::kRangeLow, "-60"},
      {C::kRangeHigh, "20"},
      {C::kOutput, "Atoms. dewpoint"},
      {C::k4mA, "-60.00"},
      {C::k4mAUnit, "C Td atm"},
      {C::k20mA, "20.00"},
      {C::k20mAUnit, "C Td atm"},
      {C::kDeviceAddress, "01"},
      {C::kFraming, "8,N,1"},
      {C::kBaudRate, "19200"},
      {C::kTransmissionMode, "RTU"},
      {C::kCompanyPrompt, "Calibrated by:"},
      {C::kCompanyName, "ROVA Sensortechnik GmbH"},
      {C::kAddress1, "Calibration laboratory"},
      {C::kAddress2, "Industriestrasse 12"},
      {C::kAddress3, "12345 Musterstadt"},
      {C::kAddress4, "上海办事处"},
      {C::kCalibrationDate, "05 Mar 2024"},
      {C::kInspector, "J. Doe"},
  };
  for (const auto& [id, text] : texts) f.SetText(id, text);
  const char* rows[C::kRows][C::kColumns] = {
      {"C Td", "17.4", "2.0", "17.5", "Passed"},
      {"C Td", "4.3", "2.1", "4.4", "Passed"},
      {"C Td", "-11.2", "2.2", "-11.3", "Passed"},
      {"C", "23.0", "0.05", "23.1", "Failed"},
      {"barg", "", "0.07", "", "N/A"},
  };
  for (size_t r = 0; r < C::kRows; ++r) {
    for (size_t c = 0; c < C::kColumns; ++c) f.SetText(C::ResultCell(r, c), rows[r][c]);
  }
  return f;
}

struct Line {
  double y;
  double size;
  std::vector<std::pair<double, std::string>> items;  // x, text
};

// Every text item of the page at its place and size, read back by poppler.
TEST(CertificatePdf, EveryTextAtItsPositionAndSize) {
  test::ScratchFolder scratch("korvin-certificate-pdf");
  const CertificatePdfResult result = CreateCertificatePdf(FullForm(), scratch.path());
  ASSERT_TRUE(result.ok()) << result.failure;
  EXPECT_EQ(result.pdf, scratch / "Certificate" / "0001 2345.pdf");
  const std::vector<Word> words = ReadWords(result.pdf);
  ASSERT_FALSE(words.empty());
  const Line lines[] = {
      {812, 19, {{50, "Calibration Certificate"}}},
      {770, 13, {{50, "Instrument:"}, {170, "D830 QCM"}}},
      {752, 13, {{50, "Serial number:"}, {170, "0001 2345"}}},
      {734, 13, {{50, "Item number:"}, {170, "S0601037"}}},
      {701, 12, {{50, "Test Conditions"}}},
      {683, 11, {{60, "Test"}, {175, "Synthetic"}, {305, "Ambient"}, {400, "35"}}},
      {665, 11, {{60, "Volumetric"}, {175, "1.5"}, {305, "Ambient"}, {400, "1013"}}},
      {647, 11, {{60, "Ambient"}, {175, "23"}, {305, "Testing"}, {400, "Comparison"}}},
      {621, 12, {{50, "Reference Used"}}},
      {603,
       12,
       {{78, "Equipment"}, {194, "Model"}, {278, "Uncertainty"}, {387, "S/N"}, {451, "Last"}}},
      {585,
       11,
       {{66, "Dew"}, {177, "CM-3000"}, {284, "0.2"}, {314, "C"}, {368, "CM3K-0815"}, {462, "12"}}},
      {567,
       11,
       {{66, "Pressure"},
        {177, "PR-700"},
        {279, "±0.05"},
        {310, "barg"},
        {368, "P7-22019"},
        {462, "03"}}},
      {549,
       11,
       {{56, "Temperature"},
        {177, "TR-2"},
        {284, "0.2"},
        {314, "C"},
        {368, "T2-11876"},
        {462, "20"}}},
      {523, 12, {{50, "Calibration Test Results"}}},
      {505,
       12,
       {{72, "Description"},
        {160, "Units"},
        {222, "Nominal"},
        {302, "Permissible"},
        {394, "Actual"},
        {484, "Evaluation"}}},
      {492, 12, {{229, "value"}, {302, "uncertainty"}}},
      {474,
       11,
       {{75, "Dew"}, {163, "C"}, {231, "17.4"}, {326, "2.0"}, {415, "17.5"}, {495, "Passed"}}},
      {456,
       11,
       {{75, "Dew"}, {163, "C"}, {232, "4.3"}, {326, "2.1"}, {415, "4.4"}, {495, "Passed"}}},
      {438,
       11,
       {{75, "Dew"}, {163, "C"}, {232, "-11.2"}, {326, "2.2"}, {415, "-11.3"}, {495, "Passed"}}},
      {420,
       11,
       {{67, "Temperature"},
        {167, "C"},
        {233, "23.0"},
        {326, "0.05"},
        {415, "23.1"},
        {495, "Failed"}}},
      {402, 11, {{78, "Pressure"}, {158, "barg"}, {326, "0.07"}, {495, "N/A"}}},
      {374, 11, {{50, "Dew"}}},
      {362, 11, {{50, "Second"}}},
      {350, 11, {{50, "Third"}}},
      {338, 11, {{50, "Fourth"}}},
      {310, 12, {{50, "Factory Settings"}}},
      {292, 11, {{50, "Measurement Settings"}}},
      {274, 11, {{60, "Range:"}, {120, "-60"}, {140, "..."}, {155, "20"}, {185, "C"}}},
      {256, 11, {{50, "Analogue Output"}}},
      {234, 11, {{60, "Output:"}, {185, "Atoms."}, {280, "Scaling:"}}},
      {240, 11, {{350, "4mA:"}, {390, "-60.00"}, {460, "C"}}},
      {226, 11, {{344, "20mA:"}, {390, "20.00"}, {460, "C"}}},
      {208, 11, {{50, "Fieldbus Interface"}}},
      {190, 11, {{60, "Modbus"}}},
      {172, 11, {{60, "Device"}, {187, "01"}, {281, "Baud"}, {391, "19200"}}},
      {154, 11, {{60, "Framing/Parity/Stop"}, {187, "8,N,1"}, {280, "Transmission"}, {393, "RTU"}}},
      {126, 11, {{48, "Calibrated"}}},
      {102, 12, {{48, "ROVA"}, {358, "Calibration"}, {448, "05"}}},
      {84, 11, {{48, "Calibration"}}},
      {71, 11, {{48, "Industriestrasse"}}},
      {58, 11, {{48, "12345"}}},
      {75, 12, {{358, "Inspector:"}, {448, "J."}}},
      {48, 12, {{358, "Signature:"}}},
      {13, 12, {{268, "Page"}}},
  };
  for (const Line& line : lines) {
    for (const auto& [x, text] : line.items) {
      EXPECT_TRUE(HasWordAt(words, x, line.y, line.size, text))
          << "\"" << text << "\" at " << x << ", " << line.y << " size " << line.size;
    }
  }
  // The ± signs: a "+" and two "-" at 12 points at each of the seven places.
  for (const auto& [x, y] : {std::pair<double, double>{279, 585},
                             {279, 549},
                             {316, 474},
                             {316, 456},
                             {316, 438},
                             {316, 420},
                             {316, 402}}) {
    bool plus = false;
    for (const Word& w : words) {
      plus |= w.text.rfind('+', 0) == 0 && std::fabs(w.x - x) <= 1 && std::fabs(w.size - 12) <= 0.5;
    }
    EXPECT_TRUE(plus) << x << ", " << y;
  }
}

// °, ± and Latin-1 letters come out as themselves; a Chinese text is drawn in the CJK font.
TEST(CertificatePdf, TextsKeepTheirCharacters) {
  test::ScratchFolder scratch("korvin-certificate-pdf");
  const CertificatePdfResult result = CreateCertificatePdf(FullForm(), scratch.path());
  ASSERT_TRUE(result.ok());
  const std::optional<std::string> text = CommandOutput("pdftotext " + Quote(result.pdf) + " -");
  ASSERT_TRUE(text);
  EXPECT_NE(text->find("Dew point 20 °C, Prüfstelle"), std::string::npos);
  EXPECT_NE(text->find("23 ± 1"), std::string::npos);
  EXPECT_NE(text->find("±0.05"), std::string::npos);
  EXPECT_NE(text->find("上海办事处"), std::string::npos);
  const std::optional<std::string> fonts = CommandOutput("pdffonts " + Quote(result.pdf));
  ASSERT_TRUE(fonts);
  EXPECT_NE(fonts->find("Helvetica"), std::string::npos);
  EXPECT_NE(fonts->find("WinAnsi"), std::string::npos);
  EXPECT_NE(fonts->find("SimSun"), std::string::npos);
}

// One path of seven rules and eight circles (ten with a dew point scaling), stroked once; the
// ± signs from three glyphs with their text rises; compression and page mode.
TEST(CertificatePdf, RulesCirclesAndSignsInTheContentStream) {
  struct Case {
    const char* output;
    const char* unit;
    size_t circles;
  } cases[] = {
      {"Atoms. dewpoint", "C Td atm", 10},
      {"Dewpoint", "F Td", 10},
      {"Humidity", "ppm", 8},
      {"N/A", "C Td", 8},
  };
  for (const Case& c : cases) {
    test::ScratchFolder scratch("korvin-certificate-pdf");
    Form form = FullForm();
    form.SetText(C::kOutput, c.output);
    form.SetText(C::k4mAUnit, c.unit);
    const CertificatePdfResult result = CreateCertificatePdf(form, scratch.path());
    ASSERT_TRUE(result.ok());
    std::ifstream raw(result.pdf, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(raw)),
                            std::istreambuf_iterator<char>());
    EXPECT_NE(bytes.find("/FlateDecode"), std::string::npos);
    EXPECT_NE(bytes.find("/PageMode /UseOutlines"), std::string::npos);

    const std::string stream = ContentStream(result.pdf, scratch.path());
    ASSERT_FALSE(stream.empty());
    const size_t rules = 7;
    EXPECT_EQ(Count(stream, std::regex(R"(\n[-0-9.]+ [-0-9.]+ m(?=\n))")), rules + c.circles)
        << c.unit;
    EXPECT_EQ(Count(stream, std::regex(R"(\n[-0-9.]+ [-0-9.]+ l(?=\n))")), rules);
    EXPECT_EQ(Count(stream, std::regex(R"(\n([-0-9.]+ ){6}c(?=\n))")), 4 * c.circles);
    EXPECT_EQ(Count(stream, std::regex(R"(\nS(?=\n))")), 1u);
    EXPECT_EQ(Count(stream, std::regex(R"(\n0\.8 w(?=\n))")), 1u);
    EXPECT_EQ(Count(stream, std::regex(R"(\(\+\) Tj)")), 7u);
    EXPECT_EQ(Count(stream, std::regex(R"(\(-\) Tj)")), 14u);
    EXPECT_EQ(Count(stream, std::regex(R"(\n1 Ts(?=\n))")), 7u);
    EXPECT_EQ(Count(stream, std::regex(R"(\n-2 Ts(?=\n))")), 7u);
    EXPECT_EQ(Count(stream, std::regex(R"(\n0 Ts(?=\n))")), 7u);
    // The degree circles before the scaling units.
    const bool scaling = stream.find("\n455.5 246 m\n") != std::string::npos &&
                         stream.find("\n455.5 232 m\n") != std::string::npos;
    EXPECT_EQ(scaling, c.circles == 10) << c.unit;
    EXPECT_NE(stream.find("\n210.5 653 m\n"), std::string::npos);
  }
}

// The logo's size in points is its size in pixels divided by six, its lower left corner at
// (390, 815); without a logo nothing is drawn there.
TEST(CertificatePdf, LogoPlacement) {
  test::ScratchFolder scratch("korvin-certificate-pdf");
  QImage logo(600, 150, QImage::Format_RGB888);
  logo.fill(QColor(200, 30, 40));
  const std::filesystem::path png = scratch / "logo.png";
  ASSERT_TRUE(logo.save(QString::fromStdString(png.string()), "PNG"));
  Form form = FullForm();
  form.SetText(C::kLogo, png.string());
  const CertificatePdfResult result = CreateCertificatePdf(form, scratch.path());
  ASSERT_TRUE(result.ok()) << result.failure;

  const std::vector<test::PdfImageInfo> images = test::ListPdfImages(result.pdf);
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0].width, 600);
  EXPECT_EQ(images[0].height, 150);
  EXPECT_NE(ContentStream(result.pdf, scratch.path()).find("100 0 0 25 390 815 cm"),
            std::string::npos);

  const std::filesystem::path rendered = scratch / "page.png";
  ASSERT_TRUE(test::RenderFirstPage(result.pdf, rendered));
  const QImage page(QString::fromStdString(rendered.string()));
  const int top = static_cast<int>(std::lround(page.height() - 840.0));
  EXPECT_EQ(page.pixelColor(440, top + 12), QColor(200, 30, 40));
  EXPECT_EQ(page.pixelColor(392, top + 2), QColor(200, 30, 40));
  EXPECT_EQ(page.pixelColor(488, top + 23), QColor(200, 30, 40));
  EXPECT_EQ(page.pixelColor(386, top + 12), QColor(Qt::white));
  EXPECT_EQ(page.pixelColor(494, top + 12), QColor(Qt::white));
  EXPECT_EQ(page.pixelColor(440, top + 29), QColor(Qt::white));

  const CertificatePdfResult plain = CreateCertificatePdf(FullForm(), scratch.path());
  EXPECT_TRUE(test::ListPdfImages(plain.pdf).empty());
}

// Both messages; a failed build leaves an earlier certificate of the name as it was; a new one
// replaces it.
TEST(CertificatePdf, FailuresAndReplacing) {
  test::ScratchFolder scratch("korvin-certificate-pdf");
  const PdfAllocator noMemory{[](HPDF_UINT) -> void* { return nullptr; }, [](void*) {}};
  EXPECT_EQ(CreateCertificatePdf(FullForm(), scratch.path(), noMemory).failure,
            "ERROR:Create PDF failed!");

  const CertificatePdfResult first = CreateCertificatePdf(FullForm(), scratch.path());
  ASSERT_TRUE(first.ok());
  const auto size = std::filesystem::file_size(first.pdf);
  Form badLogo = FullForm();
  std::ofstream(scratch / "fake.png") << "not a picture";
  badLogo.SetText(C::kLogo, (scratch / "fake.png").string());
  EXPECT_EQ(CreateCertificatePdf(badLogo, scratch.path()).failure, "Error:Create PDF failed!");
  EXPECT_EQ(std::filesystem::file_size(first.pdf), size);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(scratch / "Certificate"),
                          std::filesystem::directory_iterator()),
            1);

  Form shorter = FullForm();
  shorter.SetText(C::kInfo1, "");
  ASSERT_TRUE(CreateCertificatePdf(shorter, scratch.path()).ok());
  EXPECT_LT(std::filesystem::file_size(first.pdf), size);

  // A program folder that is a file: the certificate folder cannot be made.
  std::ofstream(scratch / "file") << "x";
  EXPECT_EQ(CreateCertificatePdf(FullForm(), scratch / "file").failure, "Error:Create PDF failed!");
}

TEST(CertificatePdf, TrimmedUncertaintyDropsOnlyASign) {
  struct Case {
    const char* field;
    const char* printed;
  } cases[] = {
      {"0.2", "0.2"},
      {"1.5", "1.5"},
      {"   +0.2", "0.2"},
      {"±0.1", "0.1"},
      {"  ±0.1 K", "0.1 K"},
      {"-0.3", "0.3"},
      {"", ""},
      {"      7", " 7"},
      {"+", ""},
      {"0.2 ± 0.1", "0.2 ± 0.1"},
  };
  for (const Case& c : cases) EXPECT_EQ(TrimmedUncertainty(c.field), c.printed) << c.field;
}

}  // namespace
}  // namespace korvin
