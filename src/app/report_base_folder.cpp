#include "app/report_base_folder.h"

#include <QCoreApplication>
#include <QStandardPaths>

#include "reports/report_paths.h"

namespace korvin {

std::filesystem::path ReportBaseFolderAtStartUp(const std::filesystem::path& programFolder) {
  // korvin-cli has no application object; the data folder is the program's all the same.
  if (QCoreApplication::applicationName() != QLatin1String(kApplicationName)) {
    QCoreApplication::setApplicationName(QString::fromLatin1(kApplicationName));
  }
  const QString userData = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
  return ChooseReportBaseFolder(programFolder, userData.toStdString());
}

}  // namespace korvin
