// GDI+ (or, on Linux, the layer standing in for it) for every test in this program, started
// once as the module starts it.
#include <gtest/gtest.h>

#include "gdiplus_session.h"

namespace {

class GdiplusEnvironment : public ::testing::Environment {
  public:
    void SetUp() override { ASSERT_TRUE(corvane::vst::acquireGdiplus()); }
    void TearDown() override { corvane::vst::releaseGdiplus(); }
};

const auto* const environment = ::testing::AddGlobalTestEnvironment(new GdiplusEnvironment);

}  // namespace
