// The application object shared by the window tests.

#include "AppFakes.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

std::unique_ptr<QApplication>& OwnApp() {
    static std::unique_ptr<QApplication> app;
    return app;
}

class ApplicationEnvironment final : public ::testing::Environment {
  public:
    void TearDown() override { OwnApp().reset(); }
};

[[maybe_unused]] const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

}  // namespace

QApplication& apptest::EnsureApp() {
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) return *app;
    static int argc = 1;
    static char name[] = "torvane_tests_app";
    static char* argv[] = {name, nullptr};
    OwnApp() = std::make_unique<QApplication>(argc, argv);
    return *OwnApp();
}
