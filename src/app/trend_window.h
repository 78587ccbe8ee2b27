#pragma once

#include <QWidget>
#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string_view>

#include "app/trend_buffer.h"
#include "app/trend_plot.h"
#include "forms/task_dialog.h"
#include "platform/ui.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace korvin {

class TrendPane;

// The texts of the trend window.
namespace trendwindow {
inline constexpr std::string_view kTitle = "Trend";
inline constexpr std::string_view kSpanLabel = "Span:";
inline constexpr std::string_view kPause = "Pause";
inline constexpr std::string_view kResume = "Resume";
inline constexpr std::string_view kSavePicture = "Save picture";
inline constexpr std::string_view kSaveData = "Save data";
inline constexpr std::string_view kPictureFilter = "PNG pictures";
inline constexpr std::string_view kPicturePattern = "*.png";
inline constexpr std::string_view kPictureSuffix = "png";
inline constexpr std::string_view kDataFilter = "CSV files";
inline constexpr std::string_view kDataPattern = "*.csv";
inline constexpr std::string_view kDataSuffix = "csv";
inline constexpr std::string_view kPictureFailed = "The picture could not be saved.";
inline constexpr std::string_view kDataFailed = "The data could not be saved.";
inline constexpr std::string_view kNoSamples = "No samples yet: switch the online values on.";
// How many samples are drawn, the time of the first and of the last.
inline constexpr std::string_view kStatus = "%1 samples, %2 to %3";
inline constexpr std::string_view kPausedSuffix = " (paused)";
}  // namespace trendwindow

// The live trend of the online values: one pane per channel, stacked, on a common date-time
// axis, with a span chooser, pause and resume, and saving the picture (PNG) and the samples
// (CSV). It reads the main window's trend buffer and never talks to the sensor. A non-modal
// window: the main window goes on polling while it is open.
class TrendWindow final : public QWidget {
  Q_OBJECT

 public:
  using FileChooser = std::function<std::optional<std::filesystem::path>(const FileChooserSpec&)>;
  using WallClock = std::function<int64_t()>;

  // `wallClockMs` places the span while there are no samples yet.
  TrendWindow(const TrendBuffer& buffer, WallClock wallClockMs, QWidget* parent = nullptr);
  ~TrendWindow() override;

  // Brings the plot up to the buffer. Nothing is drawn while the window is closed, minimised
  // or paused, or when no sample came in since the last update, so the plot changes at most
  // once per poll.
  void Update();

  void SetSpan(TrendSpan span);
  TrendSpan span() const { return plot_.span(); }
  // Paused, the plot stays as it is while the samples go on into the buffer; resumed, it
  // catches up at once.
  void SetPaused(bool paused);
  bool paused() const { return paused_; }

  // The panes as the screen shows them, as an RGB PNG.
  bool SavePicture(const std::filesystem::path& png);
  // Every sample of the buffer, see TrendCsv().
  bool SaveData(const std::filesystem::path& csv);

  // Where the file choosers and messages go instead of the dialogs (tests, unattended runs);
  // an empty chooser or a null Ui restores the dialogs.
  void SetFileChooser(FileChooser chooser) { chooser_ = std::move(chooser); }
  void SetUi(Ui* ui) { ui_ = ui; }

  TrendPane* pane(int channel) const { return panes_[channel]; }
  QWidget* panesArea() const { return panesArea_; }
  QComboBox* spanList() const { return spanList_; }
  QPushButton* pauseButton() const { return pauseButton_; }
  QPushButton* savePictureButton() const { return savePictureButton_; }
  QPushButton* saveDataButton() const { return saveDataButton_; }
  QLabel* statusLabel() const { return status_; }
  const TrendPlot& plot() const { return plot_; }
  // How often the panes were drawn anew.
  int draws() const { return draws_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void BuildWidgets();
  // The pause state and the button's caption; paused, the plot stops at the newest sample now.
  void ShowPaused(bool paused);
  // `force`: draw even when no new sample came in (span, width or pause changed).
  void Redraw(bool force);
  // The plot takes the panes' width as its number of columns.
  void FitColumns();
  void ShowChannels();
  void ShowStatus();
  // Saves with `save` to the file the user chooses; a failure is said with the file's name.
  void SaveChosen(const FileChooserSpec& chooser,
                  bool (TrendWindow::*save)(const std::filesystem::path&),
                  std::string_view failure);
  std::optional<std::filesystem::path> ChooseFile(const FileChooserSpec& chooser);
  // The failure and the file it concerns, in a message box.
  void Tell(std::string_view failure, const std::filesystem::path& file);

  const TrendBuffer& buffer_;
  WallClock wallClockMs_;
  TrendPlot plot_;
  FileChooser chooser_;
  Ui* ui_ = nullptr;

  std::array<TrendPane*, kTrendChannelCount> panes_{};
  QWidget* panesArea_ = nullptr;
  QComboBox* spanList_ = nullptr;
  QPushButton* pauseButton_ = nullptr;
  QPushButton* savePictureButton_ = nullptr;
  QPushButton* saveDataButton_ = nullptr;
  QLabel* status_ = nullptr;

  bool paused_ = false;
  uint64_t pausedEnd_ = 0;
  // What the last update saw, so an update without news costs nothing.
  uint64_t seenGeneration_ = 0;
  uint64_t seenFirst_ = 0;
  uint64_t seenEnd_ = 0;
  bool drawnOnce_ = false;
  int draws_ = 0;
};

}  // namespace korvin
