// Compiled into each test program that drives windows: the toolkit is set up
// once for the whole program, as main would, and shut down while main still
// runs, so that the toolkit's own globals are all alive.
#include <gtest/gtest.h>

#include "platform/gui.h"

namespace {

class GuiToolkitEnvironment : public testing::Environment {
 public:
  void SetUp() override { InitGuiToolkit(argc_, argv_); }
  void TearDown() override { ShutdownGuiToolkit(); }

 private:
  char name_[10] = "gui-tests";
  char* argv_[2] = {name_, nullptr};
  int argc_ = 1;
};

[[maybe_unused]] testing::Environment* const kGuiToolkit =
    testing::AddGlobalTestEnvironment(new GuiToolkitEnvironment);

}  // namespace
