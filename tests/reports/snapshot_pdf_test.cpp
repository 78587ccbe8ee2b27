#include "reports/snapshot_pdf.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QPainter>
#include <fstream>
#include <set>

#include "support/pdf_tools.h"
#include "support/scripted_host.h"
#include "support/temp_folder.h"

namespace korvin {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Blocks of distinct colours, so a rendered page can be compared with its source a few pixels
// at a time, away from the edges where a renderer might blend.
QImage Blocks(int width, int height, int columns, int rows) {
  QImage image(width, height, QImage::Format_RGB888);
  QPainter painter(&image);
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < columns; ++c) {
      const QColor colour((40 + 70 * c) % 256, (30 + 90 * r) % 256, (200 - 50 * c + 30 * r) % 256);
      painter.fillRect(c * width / columns, r * height / rows, width / columns + 1,
                       height / rows + 1, colour);
    }
  }
  return image;
}

std::set<std::string> FilesIn(const std::filesystem::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.insert(entry.path().filename().string());
  return names;
}

struct Snapshot {
  test::ScratchFolder scratch{"korvin-snapshot"};
  test::ScriptedHost host;
  QImage picture;

  explicit Snapshot(QImage image) : picture(std::move(image)) {
    host.picture = [this](const std::filesystem::path& png) {
      return picture.save(QString::fromStdString(png.string()), "PNG");
    };
  }
  std::filesystem::path folder() const { return scratch / "Sensor information"; }
  SnapshotResult Write(SnapshotLayout layout, bool keep, PdfAllocator allocator = {}) {
    return WriteSnapshotPdf(host, {folder(), "00012345", "_Info.pdf", layout, keep}, allocator);
  }
  QImage Render(const std::filesystem::path& pdf) {
    const std::filesystem::path png = scratch / "rendered.png";
    EXPECT_TRUE(test::RenderFirstPage(pdf, png));
    return QImage(QString::fromStdString(png.string())).convertToFormat(QImage::Format_RGB888);
  }
};

TEST(SnapshotPdf, ImageSizedPageIsThePictureInPoints) {
  Snapshot s(Blocks(900, 500, 3, 2));
  const SnapshotResult r = s.Write(SnapshotLayout::ImageSized, false);
  ASSERT_TRUE(r.ok()) << r.failure;
  EXPECT_EQ(r.pdf, s.folder() / "00012345_Info.pdf");
  EXPECT_THAT(s.host.pictures, ElementsAre(s.folder() / "00012345.png"));
  // The folder was made, the PNG is gone, nothing temporary is left.
  EXPECT_EQ(FilesIn(s.folder()), std::set<std::string>{"00012345_Info.pdf"});
  EXPECT_THAT(s.host.written, ElementsAre(r.pdf));
  EXPECT_THAT(s.host.messages, IsEmpty());

  const auto info = test::ReadPdfInfo(r.pdf);
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(info->pages, 1);
  EXPECT_DOUBLE_EQ(info->width, 900);
  EXPECT_DOUBLE_EQ(info->height, 500);
  const auto images = test::ListPdfImages(r.pdf);
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0].width, 900);
  EXPECT_EQ(images[0].height, 500);
  EXPECT_EQ(images[0].colour, "rgb");
  EXPECT_EQ(images[0].bitsPerComponent, 8);

  const QImage page = s.Render(r.pdf);
  ASSERT_EQ(page.size(), QSize(900, 500));
  for (const QPoint p : {QPoint(150, 125), QPoint(450, 125), QPoint(750, 375), QPoint(5, 5),
                         QPoint(894, 494), QPoint(305, 255)}) {
    EXPECT_EQ(page.pixel(p), s.picture.pixel(p)) << p.x() << "," << p.y();
  }
}

TEST(SnapshotPdf, A4AnchoredKeepsThePictureUnscaledInTheLowerLeftCorner) {
  Snapshot s(Blocks(300, 200, 3, 2));
  const SnapshotResult r = s.Write(SnapshotLayout::A4Anchored, true);
  ASSERT_TRUE(r.ok()) << r.failure;
  EXPECT_EQ(FilesIn(s.folder()), (std::set<std::string>{"00012345.png", "00012345_Info.pdf"}));
  EXPECT_THAT(s.host.written, ElementsAre(r.pdf, r.png));

  const auto info = test::ReadPdfInfo(r.pdf);
  ASSERT_TRUE(info.has_value());
  EXPECT_NEAR(info->width, 595.276, 0.01);
  EXPECT_NEAR(info->height, 841.89, 0.01);
  ASSERT_EQ(test::ListPdfImages(r.pdf).size(), 1u);
  EXPECT_EQ(test::ListPdfImages(r.pdf)[0].width, 300);

  const QImage page = s.Render(r.pdf);
  ASSERT_GE(page.height(), 841);
  const int bottom = page.height();
  for (const QPoint p : {QPoint(50, 50), QPoint(150, 150), QPoint(250, 60)}) {
    EXPECT_EQ(page.pixel(p.x(), bottom - 200 + p.y()), s.picture.pixel(p)) << p.x() << "," << p.y();
  }
  // Above and to the right of the picture the page stays blank.
  EXPECT_EQ(page.pixel(150, bottom - 260), qRgb(255, 255, 255));
  EXPECT_EQ(page.pixel(400, bottom - 100), qRgb(255, 255, 255));
}

TEST(SnapshotPdf, A4AnchoredCutsALargePictureAtTheTopAndTheRight) {
  // A band at the top and one at the right that the A4 page cannot show.
  QImage picture = Blocks(700, 900, 2, 3);
  QPainter(&picture).fillRect(0, 0, 700, 50, Qt::magenta);
  QPainter(&picture).fillRect(600, 0, 100, 900, Qt::cyan);
  // Just below the cut: the first rows the page shows.
  QPainter(&picture).fillRect(0, 60, 600, 10, Qt::yellow);
  Snapshot s(picture);
  const SnapshotResult r = s.Write(SnapshotLayout::A4Anchored, true);
  ASSERT_TRUE(r.ok()) << r.failure;
  const QImage page = s.Render(r.pdf);
  ASSERT_GE(page.height(), 841);
  // The page's top edge lies about 58 picture rows below the picture's top.
  const int cut = 900 - page.height();
  ASSERT_EQ(cut, 58);
  for (const QPoint p : {QPoint(100, 100), QPoint(500, 400), QPoint(100, 800), QPoint(300, 6)}) {
    EXPECT_EQ(page.pixel(p), picture.pixel(p.x(), p.y() + cut)) << p.x() << "," << p.y();
  }
  EXPECT_EQ(page.pixel(590, 6), QColor(Qt::yellow).rgb());
  for (int y = 0; y < page.height(); y += 3) {
    for (int x = 0; x < page.width(); x += 3) {
      const QRgb c = page.pixel(x, y);
      ASSERT_NE(c, QColor(Qt::magenta).rgb()) << x << "," << y;
      ASSERT_NE(c, QColor(Qt::cyan).rgb()) << x << "," << y;
    }
  }
}

TEST(SnapshotPdf, ASecondExportReplacesTheFirst) {
  Snapshot s{QImage()};
  s.picture = QImage(400, 300, QImage::Format_RGB888);
  s.picture.fill(Qt::red);
  ASSERT_TRUE(s.Write(SnapshotLayout::ImageSized, false).ok());
  s.picture = QImage(640, 480, QImage::Format_RGB888);
  s.picture.fill(Qt::blue);
  const SnapshotResult r = s.Write(SnapshotLayout::ImageSized, false);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(FilesIn(s.folder()), std::set<std::string>{"00012345_Info.pdf"});
  EXPECT_DOUBLE_EQ(test::ReadPdfInfo(r.pdf)->width, 640);
  EXPECT_EQ(s.Render(r.pdf).pixel(320, 240), qRgb(0, 0, 255));
}

// Each failure shows its message, writes no PDF (and nothing temporary) and leaves the PNG.
TEST(SnapshotPdf, FailuresLeaveNoPdfBehind) {
  {
    // A file that is no PNG: libharu cannot load it.
    Snapshot s{QImage()};
    s.host.picture = [](const std::filesystem::path& png) {
      std::ofstream(png) << "not a picture";
      return true;
    };
    const SnapshotResult r = s.Write(SnapshotLayout::ImageSized, false);
    EXPECT_EQ(r.failure, kCreatePdfFailedMessage);
    EXPECT_EQ(FilesIn(s.folder()), std::set<std::string>{"00012345.png"});
    EXPECT_THAT(s.host.written, IsEmpty());
  }
  {
    // A folder that cannot be made (below a plain file): neither picture nor PDF can be written.
    Snapshot s(Blocks(90, 50, 1, 1));
    std::ofstream(s.scratch / "plain") << "x";
    const SnapshotResult r =
        WriteSnapshotPdf(s.host, {s.scratch / "plain" / "Sensor information", "1", "_Info.pdf"});
    EXPECT_EQ(r.failure, kCreatePdfFailedMessage);
    EXPECT_EQ(FilesIn(s.scratch.path()), std::set<std::string>{"plain"});
  }
  {
    // The page is fine but the PDF cannot take its name (a folder has it).
    Snapshot s(Blocks(90, 50, 1, 1));
    std::filesystem::create_directories(s.folder() / "00012345_Info.pdf");
    const SnapshotResult r = s.Write(SnapshotLayout::A4Anchored, false);
    EXPECT_EQ(r.failure, kCreatePdfFailedMessage);
    EXPECT_EQ(FilesIn(s.folder()), (std::set<std::string>{"00012345.png", "00012345_Info.pdf"}));
    EXPECT_TRUE(std::filesystem::is_directory(r.pdf));
  }
  {
    // libharu gets no memory for its document object.
    Snapshot s(Blocks(90, 50, 1, 1));
    const PdfAllocator noMemory{[](HPDF_UINT) -> void* { return nullptr; }, [](void*) {}};
    const SnapshotResult r = s.Write(SnapshotLayout::ImageSized, false, noMemory);
    EXPECT_EQ(r.failure, kCreatePdfObjectFailedMessage);
    EXPECT_EQ(FilesIn(s.folder()), std::set<std::string>{"00012345.png"});
  }
  {
    // The picture could not be saved: an old PNG of the same name is not taken instead.
    Snapshot s(Blocks(90, 50, 1, 1));
    ASSERT_TRUE(s.Write(SnapshotLayout::A4Anchored, true).ok());
    std::filesystem::remove(s.folder() / "00012345_Info.pdf");
    s.host.picture = nullptr;
    const SnapshotResult r = s.Write(SnapshotLayout::A4Anchored, true);
    EXPECT_EQ(r.failure, kCreatePdfFailedMessage);
    EXPECT_THAT(FilesIn(s.folder()), IsEmpty());
  }
}

TEST(SnapshotPdf, TheStemStaysInsideTheFolder) {
  Snapshot s(Blocks(90, 50, 1, 1));
  const SnapshotResult r = WriteSnapshotPdf(
      s.host,
      {s.folder(), "../../1234 5678", "_Certificate.pdf", SnapshotLayout::A4Anchored, true});
  ASSERT_TRUE(r.ok()) << r.failure;
  EXPECT_EQ(FilesIn(s.folder()),
            (std::set<std::string>{".._.._1234 5678.png", ".._.._1234 5678_Certificate.pdf"}));
  EXPECT_EQ(FilesIn(s.scratch.path()), std::set<std::string>{"Sensor information"});
}

}  // namespace
}  // namespace korvin
