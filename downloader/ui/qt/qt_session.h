#pragma once
// What the program needs to run in a window: the Qt application object and the Qt
// front end, made together and in that order, and gone in the reverse one.

#include <memory>

#include "downloader/ui/frontend.h"

class QApplication;

namespace dravik {

class QtFrontEnd;

class QtSession {
 public:
  // argc and argv as main got them; they must outlive the session.
  QtSession(int& argc, char** argv);
  ~QtSession();
  QtSession(const QtSession&) = delete;
  QtSession& operator=(const QtSession&) = delete;

  FrontEnd& frontEnd();

 private:
  std::unique_ptr<QApplication> app_;
  std::unique_ptr<QtFrontEnd> frontEnd_;
};

}  // namespace dravik
