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
#include "platform/clock.h"
#include "platform/port_names.h"
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
constexpr uint16_t kMaxDeviceType = 0xFFFF;
// The screenshot is taken once two polls have shown their values.
constexpr int kScreenshotPolls = 2;
constexpr int kScreenshotSettleMs = 300;

constexpr char kUsage[] =
    "usage: korvin [--simulate[=TYPE]] [--factory] [--screenshot FILE]\n"
    "\n"
    "  --simulate[=TYPE]   every COM port reaches a built-in virtual sensor of device type\n"
    "                      TYPE (default 0x1030)\n"
    "  --factory           factory mode: the main window shows \"Calibration data\"\n"
    "  --screenshot FILE   connect, switch the online values on, save the main window as a\n"
    "                      PNG picture after two polls and exit\n"
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

bool SaveScreenshot(CMeridoDlgView& view, const std::string& file) {
  // Saved without alpha: the picture is a window, and RGB PNGs are what every reader expects.
  const QImage image = view.grab().toImage().convertToFormat(QImage::Format_RGB888);
  return image.save(QString::fromStdString(file), "PNG");
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
    } else {
      error = "unknown argument " + arg;
      return std::nullopt;
    }
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
  if (!options->screenshotFile.empty()) {
    view.SetUiOverride(&streamUi);
    QTimer::singleShot(0, &view, [&] {
      view.button(MainButton::kConnect)->click();
      if (!view.dialog().connected()) {
        exitCode = kExitFailure;
        view.close();
        return;
      }
      view.button(MainButton::kOnOff)->click();
      QTimer::singleShot(kScreenshotPolls * kPollTimerMs + kScreenshotSettleMs, &view, [&] {
        if (!SaveScreenshot(view, options->screenshotFile)) exitCode = kExitFailure;
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
