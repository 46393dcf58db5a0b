#include "downloader/ui/qt/qt_session.h"

#include <QApplication>

#include "downloader/resources/string_table.h"
#include "downloader/ui/qt/program_icon.h"
#include "downloader/ui/qt/qt_front_end.h"

namespace dravik {

QtSession::QtSession(int& argc, char** argv) : app_(std::make_unique<QApplication>(argc, argv)) {
  QApplication::setApplicationName(QString::fromStdString(LoadString(IDS_APP_TITLE)));
  QApplication::setWindowIcon(ProgramIcon());
  // Between the port dialog and the download dialog no window is open; that is not
  // the end of the program.
  QApplication::setQuitOnLastWindowClosed(false);
  frontEnd_ = std::make_unique<QtFrontEnd>();
}

QtSession::~QtSession() {
  frontEnd_.reset();
  app_.reset();
}

FrontEnd& QtSession::frontEnd() {
  return *frontEnd_;
}

}  // namespace dravik
