#include "app/c_merido_app.h"

#include <QApplication>
#include <QImage>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/c_merido_dlg_view.h"
#include "app/qt_download_page_reader.h"
#include "app/qt_event_pump.h"
#include "app/report_base_folder.h"
#include "app/trend_window.h"
#include "platform/clock.h"
#include "platform/port_names.h"
#include "protocol/link_trace.h"
#include "protocol/service_link.h"
#include "recording/c_logging.h"
#include "sim/sensor_line.h"
#include "sim/sensor_model.h"

namespace korvin {

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr char kSimulateOption[] = "--simulate";
constexpr char kSimulatePrefix[] = "--simulate=";
constexpr char kScreenshotOption[] = "--screenshot";
constexpr char kFactoryOption[] = "--factory";
constexpr char kTrendScreenshotOption[] = "--screenshot-trend";
constexpr char kScreenshotAfterOption[] = "--screenshot-after";
constexpr char kTraceOption[] = "--trace";
constexpr uint16_t kMaxDeviceType = 0xFFFF;
// Without --screenshot-after the screenshot is taken once two polls have shown their values.
constexpr int kScreenshotPolls = 2;
constexpr int kScreenshotSettleMs = 300;
constexpr int kMsPerSecond = 1000;
// A day: the trend buffer holds no more.
constexpr long kMaxScreenshotAfterSeconds = 24 * 60 * 60;

constexpr char kUsage[] =
    "usage: korvin [--simulate[=TYPE]] [--factory] [--screenshot FILE]\n"
    "              [--screenshot-trend FILE] [--screenshot-after SECONDS] [--trace FILE]\n"
    "\n"
    "  --simulate[=TYPE]           every COM port reaches a built-in virtual sensor of device\n"
    "                              type TYPE (default 0x1030)\n"
    "  --factory                   factory mode: the main window shows \"Calibration data\"\n"
    "  --screenshot FILE           connect, switch the online values on, save the main window\n"
    "                              as a PNG picture after two polls and exit\n"
    "  --screenshot-trend FILE     the same, with the trend window open: save the trend window\n"
    "                              as a PNG picture\n"
    "  --screenshot-after SECONDS  let the online values run this long (1 to 86400 seconds of\n"
    "                              real time) before the pictures are taken\n"
    "  --trace FILE                write every exchange on the serial line to FILE (replaced if\n"
    "                              it exists), one decoded line per event, as it happens\n"
    "  --help\n";

// Messages of an unattended run go to the error stream; questions are answered with no.
class StreamUi final : public Ui {
 public:
  void Message(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
  bool AskYesNo(const std::string& text) override {
    Message(text);
    return false;
  }
  bool AskOkCancel(const std::string& text) override {
    Message(text);
    return false;
  }
};

bool SaveScreenshot(QWidget& window, const std::string& file) {
  // Saved without alpha: the picture is a window, and RGB PNGs are what every reader expects.
  const QImage image = window.grab().toImage().convertToFormat(QImage::Format_RGB888);
  return image.save(QString::fromStdString(file), "PNG");
}

// Where the pictures of an unattended run go once the values have run long enough.
bool SaveScreenshots(CMeridoDlgView& view, const CMeridoApp::Options& options) {
  bool saved = true;
  if (!options.screenshotFile.empty()) saved = SaveScreenshot(view, options.screenshotFile);
  if (!options.trendScreenshotFile.empty()) {
    TrendWindow* trend = view.trendWindow();
    saved = trend != nullptr && SaveScreenshot(*trend, options.trendScreenshotFile) && saved;
  }
  return saved;
}

}  // namespace

const char* CMeridoApp::Usage() {
  return kUsage;
}

std::optional<CMeridoApp::Options> CMeridoApp::ParseArguments(const std::vector<std::string>& args,
                                                              std::string& error) {
  Options options;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else if (arg == kSimulateOption) {
      options.simulate = true;
    } else if (arg.rfind(kSimulatePrefix, 0) == 0) {
      const std::string value = arg.substr(sizeof kSimulatePrefix - 1);
      char* end = nullptr;
      const long type = std::strtol(value.c_str(), &end, 0);
      if (value.empty() || end == nullptr || *end != '\0' || type < 0 || type > kMaxDeviceType) {
        error = "--simulate takes a device type code such as 0x1030";
        return std::nullopt;
      }
      options.simulate = true;
      options.simulatedType = static_cast<uint16_t>(type);
    } else if (arg == kFactoryOption) {
      options.factory = true;
    } else if (arg == kScreenshotOption) {
      if (i + 1 >= args.size()) {
        error = "--screenshot needs a file name";
        return std::nullopt;
      }
      options.screenshotFile = args[++i];
    } else if (arg == kTrendScreenshotOption) {
      if (i + 1 >= args.size()) {
        error = "--screenshot-trend needs a file name";
        return std::nullopt;
      }
      options.trendScreenshotFile = args[++i];
    } else if (arg == kTraceOption) {
      if (i + 1 >= args.size()) {
        error = "--trace needs a file name";
        return std::nullopt;
      }
      options.traceFile = args[++i];
    } else if (arg == kScreenshotAfterOption) {
      const std::string value = i + 1 < args.size() ? args[++i] : std::string();
      char* end = nullptr;
      const long seconds = std::strtol(value.c_str(), &end, 10);
      if (value.empty() || end == nullptr || *end != '\0' || seconds < 1 ||
          seconds > kMaxScreenshotAfterSeconds) {
        error = "--screenshot-after takes a number of seconds from 1 to 86400";
        return std::nullopt;
      }
      options.screenshotAfterSeconds = static_cast<int>(seconds);
    } else {
      error = "unknown argument " + arg;
      return std::nullopt;
    }
  }
  if (options.screenshotAfterSeconds > 0 && options.screenshotFile.empty() &&
      options.trendScreenshotFile.empty()) {
    error = "--screenshot-after needs --screenshot or --screenshot-trend";
    return std::nullopt;
  }
  return options;
}

int CMeridoApp::Run(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QString::fromLatin1(kApplicationName));

  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  std::string error;
  const std::optional<Options> options = ParseArguments(args, error);
  if (!options) {
    std::fprintf(stderr, "korvin: %s\n\n%s", error.c_str(), kUsage);
    return kExitUsage;
  }
  if (options->help) {
    std::fputs(kUsage, stdout);
    return kExitOk;
  }

  SteadyClock clock;
  const sim::SensorLine line = sim::OpenSensorLine(
      options->simulate ? std::optional<uint16_t>(options->simulatedType) : std::nullopt, clock);
  QtEventPump pump;
  ServiceLink link(*line.port, clock, pump, &ResolvePortName);
  std::unique_ptr<LinkTrace> trace;
  if (!options->traceFile.empty()) {
    std::string traceError;
    trace = LinkTrace::OpenFile(options->traceFile, clock, traceError);
    if (trace == nullptr) {
      std::fprintf(stderr, "korvin: %s\n", traceError.c_str());
      return kExitFailure;
    }
    link.SetTrace(trace.get());
  }
  CLogging logging;
  QtDownloadPageReader pageReader;

  CMeridoDlg::Options windowOptions;
  windowOptions.factory = options->factory;
  windowOptions.programFolder =
      ReportBaseFolderAtStartUp(QCoreApplication::applicationDirPath().toStdString());
  CMeridoDlgView view(link, pump, logging, pageReader, windowOptions);
  view.Initialise();

  StreamUi streamUi;
  int exitCode = kExitOk;
  if (!options->screenshotFile.empty() || !options->trendScreenshotFile.empty()) {
    view.SetUiOverride(&streamUi);
    QTimer::singleShot(0, &view, [&] {
      view.button(MainButton::kConnect)->click();
      if (!view.dialog().connected()) {
        exitCode = kExitFailure;
        view.close();
        return;
      }
      view.button(MainButton::kOnOff)->click();
      if (!options->trendScreenshotFile.empty()) view.button(MainButton::kTrend)->click();
      const int runMs = options->screenshotAfterSeconds > 0
                            ? options->screenshotAfterSeconds * kMsPerSecond
                            : kScreenshotPolls * kPollTimerMs;
      QTimer::singleShot(runMs + kScreenshotSettleMs, &view, [&] {
        if (!SaveScreenshots(view, *options)) exitCode = kExitFailure;
        view.close();
      });
    });
  }

  view.show();
  view.raise();
  view.activateWindow();
  view.exec();
  return exitCode;
}

}  // namespace korvin
