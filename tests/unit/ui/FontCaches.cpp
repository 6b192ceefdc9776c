// cairo and fontconfig keep the fonts they found until the process ends;
// freeing them after the last test keeps LeakSanitizer's report to real leaks.
#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>

namespace {

struct FontCaches : ::testing::Environment {
  void TearDown() override {
    cairo_debug_reset_static_data();
    FcFini();
  }
};

const auto* const registered = ::testing::AddGlobalTestEnvironment(new FontCaches);

}  // namespace
