#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace korvin {

// What the calibration data view hands the certificate dialog when it opens it: what the view
// already knows about the sensor, as it shows it.
struct CertificateInput {
  std::filesystem::path programFolder;  // the certificates go below it
  uint16_t deviceType = 0;
  int linkProfile = 0;
  std::string deviceName;    // "Device name:" of the main window
  std::string serialNumber;  // "Serial no.:" ("%8.8d")
  std::string itemNumber;    // "Item no.:"
  double calibrationDate = 0;          // automation date; every type but 0x1400
  uint32_t calibrationDateNumber = 0;  // YYYYMMDD; type 0x1400
  // The pressure calibration's reference and measured value as the view shows them ("%0.3f"),
  // empty when it read none.
  std::string pressureNominal;
  std::string pressureActual;
  uint8_t k5PointCount = 0;   // selector-0 calibration records
  uint8_t qcmPointCount = 0;  // selector-1 calibration records
  uint8_t analogueUnitCode = 0;  // the alternative dew point unit code of the device record
};

}  // namespace korvin
