#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace korvin {

// "COM Port" (COM port selection): list position = zero-based port index.
inline constexpr std::array<std::string_view, 9> kComPortNames = {
    "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8", "COM9",
};

// "Baudrate" (Modbus settings); position = the sensor's baud rate index.
inline constexpr std::array<std::string_view, 8> kModbusBaudRateNames = {
    "1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200",
};

// "Parity/Frame" (Modbus settings); position = the sensor's framing index.
inline constexpr std::array<std::string_view, 4> kModbusFramingNames = {
    "8, E, 1",
    "8, O, 1",
    "8, N, 2",
    "8, N, 1",
};

// "Interface Space (char)" (Modbus settings): every whole number from 7 to 50.
inline constexpr int kInterfaceSpaceFirst = 7;
inline constexpr int kInterfaceSpaceLast = 50;
inline constexpr std::array<std::string_view, kInterfaceSpaceLast - kInterfaceSpaceFirst + 1>
    kInterfaceSpaceNames = {
        "7",  "8",  "9",  "10", "11", "12", "13", "14", "15", "16", "17", "18", "19", "20", "21",
        "22", "23", "24", "25", "26", "27", "28", "29", "30", "31", "32", "33", "34", "35", "36",
        "37", "38", "39", "40", "41", "42", "43", "44", "45", "46", "47", "48", "49", "50",
};

// "Gas type:" (sensor settings, sensor information).
inline constexpr std::array<std::string_view, 2> kGasTypeNames = {"Air/N2/O2/Ar", "CO2"};

// "Pressure unit:" (sensor settings, sensor information).
inline constexpr std::array<std::string_view, 3> kPressureUnitNames = {"barg", "MPa", "PSI"};

// Position in kPressureUnitNames for a pressure unit code; nothing for an unknown code.
std::optional<int> PressureUnitPosition(uint8_t code);
// Pressure unit code for a position in kPressureUnitNames; nothing outside the list.
std::optional<uint8_t> PressureUnitCode(int position);

// Fieldbus texts of the calibration certificate, by the indexes the sensor reports. The
// framing texts are written without blanks, unlike the Modbus settings list.
inline constexpr std::array<std::string_view, 8> kFieldbusBaudRateTexts = {
    "1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200",
};
inline constexpr std::array<std::string_view, 4> kFieldbusFramingTexts = {
    "8,E,1",
    "8,O,1",
    "8,N,2",
    "8,N,1",
};

// The certificate text of a baud rate / framing index; the empty text for an index the sensor
// should not send (the index is a 16-bit field of its reply, so anything can arrive).
std::string_view FieldbusBaudRateText(int index);
std::string_view FieldbusFramingText(int index);

}  // namespace korvin
