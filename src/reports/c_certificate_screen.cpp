// The screen of the calibration certificate: a framed form without a title bar, the buttons in
// a column right of it.
#include <array>
#include <string_view>

#include "reports/c_certificate.h"

namespace korvin {

namespace {

using K = ControlKind;
using C = CCertificate;
using namespace control;

constexpr int kValueWidth = 150;
constexpr int kIdentityWidth = 220;
constexpr int kCellWidth = 110;
constexpr int kNumberWidth = 80;
constexpr int kLineWidth = 520;
constexpr int kAddressWidth = 260;
constexpr int kLogoWidth = 200;
constexpr int kLogoHeight = 50;
constexpr int kRuleWidth = 140;
// A labelled field takes three grid columns; the second of two fields in a row starts here.
constexpr int kSecondFieldColumn = 3;
constexpr int kScalingColumn = 4;

constexpr std::array<std::string_view, 3> kReferenceRows = {"Dew point mirror", "Pressure sensor",
                                                            "Temperature sensor"};
constexpr std::array<std::string_view, 3> kReferenceUnits = {"C Td", "barg", "C"};
constexpr std::array<std::string_view, 4> kReferenceColumns = {"Model", "Uncertainty", "S/N",
                                                               "Last calibration"};
// Grid columns of the reference cells; the uncertainty's unit takes the column after it.
constexpr std::array<int, 4> kReferenceGrid = {1, 2, 4, 5};

// The rows on screen; the cells of the three dew point rows carry their number.
constexpr std::array<std::string_view, C::kRows> kResultRowsOnScreen = {
    "Dew point", "Dew point", "Dew point", "Temperature", "Pressure"};
constexpr std::array<std::string_view, C::kRows> kResultRowNames = {
    "Dew point 1", "Dew point 2", "Dew point 3", "Temperature", "Pressure"};
constexpr std::array<std::string_view, C::kColumns> kResultColumnNames = {
    "Units", "Nominal value", "Permissible uncertainty", "Actual value", "Evaluation"};
// Grid columns of the result cells; the "±" before the permissible uncertainty takes column 3.
constexpr std::array<int, C::kColumns> kResultGrid = {1, 2, 4, 5, 6};
constexpr int kPlusMinusColumn = 3;

void AddHeading(DialogScreen& s, std::string label, std::string group, int row, int column,
                int columnSpan = 1, uint16_t flags = kBold) {
  s.Add({.label = std::move(label),
         .kind = K::kHeading,
         .group = std::move(group),
         .flags = flags,
         .row = row,
         .column = column,
         .columnSpan = columnSpan});
}

void AddIdentity(DialogScreen& s) {
  const std::array<std::pair<size_t, const char*>, 3> fields = {
      {{C::kInstrument, "Instrument:"},
       {C::kSerialNumber, "Serial number:"},
       {C::kItemNumber, "Item number:"}}};
  int row = 0;
  for (const auto& [id, label] : fields) {
    s.Add(id, {.label = label,
               .group = "identity",
               .flags = kEditable | kBold,
               .row = row++,
               .width = kIdentityWidth});
  }
  s.Add(C::kLogo, {.label = "Logo",
                   .kind = K::kPicture,
                   .group = "logo",
                   .row = 0,
                   .width = kLogoWidth,
                   .height = kLogoHeight});
}

void AddConditions(DialogScreen& s) {
  const std::array<const char*, 6> labels = {"Test medium",         "Ambient humidity",
                                             "Volumetric flow",     "Ambient pressure",
                                             "Ambient temperature", "Testing method"};
  for (size_t i = 0; i < labels.size(); ++i) {
    s.Add(C::kTestMedium + i, {.label = labels[i],
                               .group = "conditions",
                               .flags = kBoldLabel,
                               .row = static_cast<int>(i / 2),
                               .column = i % 2 == 0 ? 0 : kSecondFieldColumn,
                               .width = kValueWidth});
  }
}

void AddReferences(DialogScreen& s) {
  for (size_t r = 0; r < kReferenceRows.size(); ++r) {
    for (size_t c = 0; c < kReferenceColumns.size(); ++c) {
      const bool uncertainty = c == 1;
      s.Add(C::kMirrorModel + r * kReferenceColumns.size() + c,
            {.label = CellLabel(kReferenceRows[r], kReferenceColumns[c]),
             .group = "references",
             .unit = uncertainty ? std::string(kReferenceUnits[r]) : std::string(),
             .flags = kCell | kEditable,
             .row = static_cast<int>(r + 1),
             .column = kReferenceGrid[c],
             .width = uncertainty ? kNumberWidth : kCellWidth});
    }
  }
}

void AddResults(DialogScreen& s) {
  for (size_t r = 0; r < C::kRows; ++r) {
    for (size_t c = 0; c < C::kColumns; ++c) {
      s.Add(C::ResultCell(r, c),
            {.label = CellLabel(kResultRowNames[r], kResultColumnNames[c]),
             .group = "results",
             .flags = static_cast<uint16_t>(kCell | kFixedWidth |
                                            (c == C::kPermissible ? kEditable : kCentred)),
             .row = static_cast<int>(r + 1),
             .column = kResultGrid[c],
             .width = kNumberWidth});
    }
  }
}

void AddInfoLines(DialogScreen& s) {
  for (size_t i = 0; i < 4; ++i) {
    s.Add(C::kInfo1 + i, {.label = "Info" + std::to_string(i + 1),
                          .group = "info",
                          .flags = kCell | kEditable | kItalic,
                          .row = static_cast<int>(i),
                          .width = kLineWidth});
  }
}

void AddFactorySettings(DialogScreen& s) {
  const auto field = [&](size_t id, const char* label, int row, int column) {
    s.Add(id, {.label = label,
               .group = "factory",
               .flags = kBoldLabel,
               .row = row,
               .column = column,
               .width = kNumberWidth});
  };
  const auto cell = [&](size_t id, std::string label, std::string unit, int row, int column) {
    s.Add(id, {.label = std::move(label),
               .group = "factory",
               .unit = std::move(unit),
               .flags = kCell,
               .row = row,
               .column = column,
               .width = kNumberWidth});
  };
  cell(C::kRangeLow, CellLabel("Range", "low"), {}, 1, 1);
  cell(C::kRangeHigh, CellLabel("Range", "high"), "C Td", 1, 3);
  s.Add(C::kOutput, {.label = "Output:",
                     .group = "factory",
                     .flags = kBoldLabel,
                     .row = 3,
                     .column = 0,
                     .width = kValueWidth});
  field(C::k4mA, "4mA:", 3, kScalingColumn);
  cell(C::k4mAUnit, "4mA unit", {}, 3, kScalingColumn + 3);
  field(C::k20mA, "20mA:", 4, kScalingColumn);
  cell(C::k20mAUnit, "20mA unit", {}, 4, kScalingColumn + 3);
  field(C::kDeviceAddress, "Device address:", 7, 0);
  field(C::kFraming, "Framing/Parity/Stop bit:", 8, 0);
  field(C::kBaudRate, "Baud rate:", 7, kScalingColumn);
  field(C::kTransmissionMode, "Transmission mode:", 8, kScalingColumn);
}

void AddCompanyAndSignature(DialogScreen& s) {
  const std::array<std::pair<size_t, const char*>, 6> lines = {
      {{C::kCompanyPrompt, "Company prompt"},
       {C::kCompanyName, "Company name"},
       {C::kAddress1, "Address 1"},
       {C::kAddress2, "Address 2"},
       {C::kAddress3, "Address 3"},
       {C::kAddress4, "Address 4"}}};
  int row = 0;
  for (const auto& [id, label] : lines) {
    s.Add(id,
          {.label = label,
           .group = "company",
           .flags = static_cast<uint16_t>(kCell | kEditable | (id == C::kCompanyName ? kBold : 0)),
           .row = row++,
           .width = kAddressWidth});
  }
  s.Add(C::kCalibrationDate,
        {.label = "Calibration date:", .group = "signature", .flags = kBoldLabel, .row = 0});
  s.Add(C::kInspector,
        {.label = "Inspector:", .group = "signature", .flags = kEditable | kBoldLabel, .row = 1});
}

void AddButtons(DialogScreen& s) {
  const std::array<std::tuple<size_t, const char*, uint16_t>, 5> buttons = {{
      {C::kSaveAsNew, "Save as new ", 0},
      {C::kCustomerLogo, "Customer Logo", 0},
      {C::kCreate, "Create", 0},
      {C::kExit, "Exit", kCancel},
      {C::kMake, "Make", kDefault | kHidden},
  }};
  int row = 0;
  for (const auto& [id, label, flags] : buttons) {
    s.Add(id,
          {.label = label, .kind = K::kButton, .group = "buttons", .flags = flags, .row = row++});
  }
}

// Table headings and fixed texts: they hold no value, so they follow the controls.
void AddHeadings(DialogScreen& s) {
  AddHeading(s, "Equipment", "references", 0, 0);
  for (size_t c = 0; c < kReferenceColumns.size(); ++c) {
    AddHeading(s, std::string(kReferenceColumns[c]), "references", 0, kReferenceGrid[c]);
  }
  for (size_t r = 0; r < kReferenceRows.size(); ++r) {
    AddHeading(s, std::string(kReferenceRows[r]), "references", static_cast<int>(r + 1), 0);
  }
  AddHeading(s, "Description", "results", 0, 0);
  AddHeading(s, "Units", "results", 0, kResultGrid[C::kUnits], 1, kBold | kCentred);
  AddHeading(s, "Nominal\nvalue", "results", 0, kResultGrid[C::kNominal], 1, kBold | kCentred);
  AddHeading(s, "Permissible\nuncertainty", "results", 0, kPlusMinusColumn, 2, kBold | kCentred);
  AddHeading(s, "Actual value", "results", 0, kResultGrid[C::kActual], 1, kBold | kCentred);
  AddHeading(s, "Evaluation", "results", 0, kResultGrid[C::kEvaluation], 1, kBold | kCentred);
  for (size_t r = 0; r < C::kRows; ++r) {
    AddHeading(s, std::string(kResultRowsOnScreen[r]), "results", static_cast<int>(r + 1), 0);
    AddHeading(s, "±", "results", static_cast<int>(r + 1), kPlusMinusColumn, 1,
               kBold | kAlignRight);
  }
  AddHeading(s, "Measurement Settings", "factory", 0, 0, kScalingColumn);
  AddHeading(s, "Range:", "factory", 1, 0);
  AddHeading(s, "...", "factory", 1, 2, 1, kBold | kCentred);
  AddHeading(s, "Analogue Output", "factory", 2, 0, kScalingColumn);
  AddHeading(s, "Scaling:", "factory", 3, kSecondFieldColumn);
  AddHeading(s, "Fieldbus Interface", "factory", 5, 0, kScalingColumn);
  AddHeading(s, "Modbus", "factory", 6, 0, kScalingColumn);
  AddHeading(s, "Signature:", "signature", 2, 0);
  s.Add({.label = "Signature line",
         .kind = K::kHeading,
         .group = "signature",
         .flags = kRule,
         .row = 2,
         .column = 1,
         .columnSpan = 2,
         .width = kRuleWidth});
}

}  // namespace

const DialogScreen& CCertificate::Screen() {
  static const DialogScreen screen = [] {
    DialogScreen s(kTitle, dialogflag::kNoTitleBar | dialogflag::kFramed);
    s.Group({"identity", "", 0, 0});
    s.Group({"logo", "", 0, 1});
    s.Group({"conditions", "Test Conditions:", 1, 0, 1, 2});
    s.Group({"references", "References used:", 2, 0, 1, 2});
    s.Group({"results", "Calibration Test Results", 3, 0, 1, 2});
    s.Group({"info", "", 4, 0, 1, 2});
    s.Group({"factory", "Factory Settings", 5, 0, 1, 2});
    s.Group({"company", "", 6, 0});
    s.Group({"signature", "", 6, 1});
    s.Group({.id = "buttons", .besideFrame = true});
    AddIdentity(s);
    AddConditions(s);
    AddReferences(s);
    AddResults(s);
    AddInfoLines(s);
    AddFactorySettings(s);
    AddCompanyAndSignature(s);
    AddButtons(s);
    AddHeadings(s);
    return s;
  }();
  return screen;
}

}  // namespace korvin
