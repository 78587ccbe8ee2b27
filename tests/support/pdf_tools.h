#pragma once

#include <cstdio>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace korvin::test {

// Readers of a written PDF that share nothing with the program: poppler's command-line tools.

// Standard output of a shell command; nothing when it could not run or exited non-zero.
inline std::optional<std::string> CommandOutput(const std::string& command) {
  FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
  if (pipe == nullptr) return std::nullopt;
  std::string out;
  char buffer[512];
  while (fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
  return pclose(pipe) == 0 ? std::optional<std::string>(out) : std::nullopt;
}

inline std::string Quote(const std::filesystem::path& path) {
  std::string quoted = "'";
  for (char c : path.string()) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

struct PdfPageInfo {
  int pages = 0;
  double width = 0;  // points
  double height = 0;
};

// pdfinfo's "Pages:" and "Page size: W x H pts".
inline std::optional<PdfPageInfo> ReadPdfInfo(const std::filesystem::path& pdf) {
  const auto out = CommandOutput("pdfinfo " + Quote(pdf));
  if (!out) return std::nullopt;
  PdfPageInfo info;
  std::istringstream lines(*out);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("Pages:", 0) == 0) info.pages = std::stoi(line.substr(6));
    if (line.rfind("Page size:", 0) == 0) {
      std::sscanf(line.c_str() + 10, " %lf x %lf", &info.width, &info.height);
    }
  }
  return info;
}

struct PdfImageInfo {
  int width = 0;  // pixels
  int height = 0;
  std::string colour;  // "rgb", "gray", ...
  int bitsPerComponent = 0;
};

// The rows of pdfimages -list (after its two heading lines).
inline std::vector<PdfImageInfo> ListPdfImages(const std::filesystem::path& pdf) {
  std::vector<PdfImageInfo> images;
  const auto out = CommandOutput("pdfimages -list " + Quote(pdf));
  if (!out) return images;
  std::istringstream lines(*out);
  std::string line;
  std::getline(lines, line);
  std::getline(lines, line);
  while (std::getline(lines, line)) {
    std::istringstream row(line);
    std::string page, num, type, colour;
    PdfImageInfo image;
    int components = 0;
    row >> page >> num >> type >> image.width >> image.height >> colour >> components >>
        image.bitsPerComponent;
    image.colour = colour;
    if (row) images.push_back(image);
  }
  return images;
}

// The first page rendered at 72 dpi (one point is one pixel) into `png`; false on failure.
inline bool RenderFirstPage(const std::filesystem::path& pdf, const std::filesystem::path& png) {
  std::filesystem::path stem = png;
  stem.replace_extension();
  return CommandOutput("pdftocairo -png -r 72 -singlefile -f 1 -l 1 " + Quote(pdf) + " " +
                       Quote(stem))
             .has_value() &&
         std::filesystem::exists(png);
}

}  // namespace korvin::test
