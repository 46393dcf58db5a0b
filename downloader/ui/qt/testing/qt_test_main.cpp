// The tests of the Qt front end run headless on the offscreen platform with one
// QApplication for the whole run, made only when tests run (not when CTest lists
// them at build time).

#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

namespace {

class QtApplication final : public ::testing::Environment {
 public:
  QtApplication(int argc, char** argv) : argc_(argc), argv_(argv) {}
  void SetUp() override {
    app_ = std::make_unique<QApplication>(argc_, argv_);
    QApplication::setQuitOnLastWindowClosed(false);
  }
  void TearDown() override { app_.reset(); }

 private:
  int argc_;
  char** argv_;
  std::unique_ptr<QApplication> app_;
};

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new QtApplication(argc, argv));
  return RUN_ALL_TESTS();
}
