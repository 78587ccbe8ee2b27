#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "device/magnus.h"
#include "reports/certificate_texts.h"
#include "reports/dew_point_table.h"

namespace korvin {
namespace {

// Golden values from an independent single-precision evaluation of the two tables, rounded
// after every operation. Pairs of adjacent humidities put the vapour pressure just below and
// at a boundary between two cubics; the temperatures sit on the boundaries of the vapour
// pressure cubic, which only exact float results can tell apart.
TEST(HumidityToDewPointTable, EveryRangeOfBothCubicsAndTheirBoundaries) {
  struct Case {
    float temperature;
    float humidity;
    float dewPoint;
  } cases[] = {
      // t < -300: e is 0.000542 whatever the humidity, which is the first dew point range.
      {-30.5f, 50.0f, -80.00000762939453f},
      {-30.5f, 0.0f, -80.00000762939453f},
      // t on each boundary of the vapour pressure cubic belongs to the range above it.
      {-30.0f, 50.0f, -36.36249542236328f},
      {-10.0f, 50.0f, -17.315013885498047f},
      {0.0f, 50.0f, -8.177271842956543f},
      {23.0f, 50.0f, 12.185174942016602f},
      {30.0f, 50.0f, 18.521121978759766f},
      {60.0f, 50.0f, 45.58539962768555f},
      {79.9f, 50.0f, 63.752803802490234f},
      // t >= 800: e is 10227.75, so the dew point is the fixed upper end.
      {80.0f, 50.0f, 80.0999984741211f},
      {80.0f, 0.0f, 80.0999984741211f},
      // e below 0.000542: the fixed lower end.
      {23.0f, 0.0f, -80.0999984741211f},
      // e just below / at 0.01079, 0.072008, 0.379966, 2.596836, 6.108 (ice | water),
      // 31.72751, 123.3353, 472.932.
      {20.0f, 0.046091992408037186f, -60.0000114440918f},
      {20.0f, 0.046091996133327484f, -60.0f},
      {20.0f, 0.30759891867637634f, -45.0000114440918f},
      {20.0f, 0.30759894847869873f, -45.000003814697266f},
      {20.0f, 1.6231132745742798f, -30.0f},
      {20.0f, 1.6231133937835693f, -29.999998092651367f},
      {20.0f, 11.092989921569824f, -10.00000286102295f},
      {20.0f, 11.09299087524414f, -10.000001907348633f},
      {20.0f, 26.09174346923828f, 0.0017669678200036287f},
      {20.0f, 26.091745376586914f, 0.0003990173281636089f},
      {60.0f, 15.94225788116455f, 24.9999942779541f},
      {60.0f, 15.942258834838867f, 25.0f},
      {60.0f, 61.972816467285156f, 50.0f},
      {60.0f, 61.97282028198242f, 50.0f},
      {79.9f, 100.40567779541016f, 80.0f},
      {79.9f, 100.40568542480469f, 80.0999984741211f},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(HumidityToDewPointTable(c.temperature, c.humidity), c.dewPoint)
        << c.temperature << " C, " << c.humidity << " %";
  }
}

// The QCM rows use the Magnus formula, kept as a float.
TEST(HumidityToDewPointMagnus, QcmRowsAsTheCalibrationDataShowsThem) {
  EXPECT_NEAR(static_cast<float>(HumidityToDewPointMagnus(20.0, 50.0)), 9.26f, 0.005f);
  EXPECT_NEAR(static_cast<float>(HumidityToDewPointMagnus(20.0, 10.0)), -11.2f, 0.05f);
}

TEST(CertificateTexts, CalibrationDate) {
  EXPECT_EQ(CertificateDateOfNumber(20240305), "05 Mar 2024");
  EXPECT_EQ(CertificateDateOfNumber(20231201), "01 Dec 2023");
  EXPECT_EQ(CertificateDateOfNumber(20231101), "01 Nov 2023");
  // Months outside 1 ... 11 all read "Dec", as do the garbled ones.
  EXPECT_EQ(CertificateDateOfNumber(20241305), "05 Dec 2024");
  EXPECT_EQ(CertificateDateOfNumber(20240005), "05 Dec 2024");
  EXPECT_EQ(CertificateDateOfNumber(0), "00 Dec 0000");
  EXPECT_EQ(CertificateDateOfAutomationDate(45356.0), "05 Mar 2024");
  EXPECT_EQ(CertificateDateOfAutomationDate(45291.75), "31 Dec 2023");
  EXPECT_EQ(CertificateDateOfAutomationDate(std::numeric_limits<double>::quiet_NaN()), "");
}

TEST(CertificateTexts, SerialNumberInTwoGroups) {
  EXPECT_EQ(GroupedSerialNumber("00012345"), "0001 2345");
  EXPECT_EQ(GroupedSerialNumber("23004151"), "2300 4151");
  // Longer serial numbers keep every digit; short ones are not doubled up.
  EXPECT_EQ(GroupedSerialNumber("4294967295"), "4294 967295");
  EXPECT_EQ(GroupedSerialNumber("12345"), "1234 5");
  EXPECT_EQ(GroupedSerialNumber("1234"), "1234");
  EXPECT_EQ(GroupedSerialNumber(""), "");
  EXPECT_EQ(GroupedSerialNumber("ÄÖÜß12"), "ÄÖÜß 12");
}

// A row is evaluated when it has all three numbers: within the permissible uncertainty it
// passes, beyond it fails; a row without numbers keeps what it shows.
TEST(CertificateTexts, EvaluationOfAResultRow) {
  struct Case {
    const char* nominal;
    const char* actual;
    const char* permissible;
    const char* unevaluated;
    const char* shown;
  } cases[] = {
      {"23.0", "23.1", "0.3", "Passed", "Passed"},
      {"23.0", "23.1", "0.1", "Passed", "Passed"},  // exactly at the limit
      {"23.0", "23.4", "0.3", "Passed", "Failed"},
      {"-40.0", "-42.5", "2", "Passed", "Failed"},
      {"-40.0", "-41.9", "±2.0 C Td", "Passed", "Passed"},
      {"8.000", "8.012", " 0.05 bar", "Passed", "Passed"},
      {"17.4", "17.5", "", "Passed", "Passed"},  // no permissible uncertainty
      {"17.4", "17.5", "see note", "Passed", "Passed"},
      {"N/A", "N/A", "0.3", "N/A", "N/A"},
      {"", "", "0.05", "N/A", "N/A"},       // no pressure values
      {"", "", "2.0", "Passed", "Passed"},  // a dew point row left empty
      {"nan", "12.0", "2.0", "Passed", "Passed"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EvaluateResult(c.nominal, c.actual, c.permissible, c.unevaluated), c.shown)
        << c.nominal << " / " << c.actual << " / " << c.permissible;
  }
}

TEST(CertificateTexts, LeadingNumber) {
  EXPECT_EQ(LeadingNumber("  1.5 C"), 1.5);
  EXPECT_EQ(LeadingNumber("±0.2"), 0.2);
  EXPECT_EQ(LeadingNumber("-.5"), -0.5);
  EXPECT_EQ(LeadingNumber("1e-2"), 0.01);
  EXPECT_EQ(LeadingNumber("."), std::nullopt);
  EXPECT_EQ(LeadingNumber("+"), std::nullopt);
  EXPECT_EQ(LeadingNumber("N/A"), std::nullopt);
  EXPECT_EQ(LeadingNumber(""), std::nullopt);
}

}  // namespace
}  // namespace korvin
