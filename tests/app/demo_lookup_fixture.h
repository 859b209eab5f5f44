// The main window with the demo site running for the whole suite, reached through its proxy
// under the program's real host names, and the program's DLL commands declared.
#ifndef TESTS_APP_DEMO_LOOKUP_FIXTURE_H_
#define TESTS_APP_DEMO_LOOKUP_FIXTURE_H_

#include <memory>

#include "app/program.h"
#include "demo/demo_site.h"
#include "runtime/dll_commands.h"
#include "tests/app/main_window_fixture.h"

namespace testing_support {

class DemoLookupFixture : public MainWindowFixture {
 protected:
  static void SetUpTestSuite() {
    env_ = std::make_unique<demo::DemoEnvironment>();
    ASSERT_TRUE(env_->Start());
    proxy_ = std::make_unique<demo::ProxyVariables>(env_->ProxyUrl());
  }
  static void TearDownTestSuite() {
    proxy_.reset();
    env_->Stop();
    env_.reset();
  }
  void SetUp() override {
    const rt::ProgramHeader& p = app::ProgramDescription();
    rt::InitDllCommands(p.dllCommands, p.dllCommandCount);
    MainWindowFixture::SetUp();
  }

  static inline std::unique_ptr<demo::DemoEnvironment> env_;
  static inline std::unique_ptr<demo::ProxyVariables> proxy_;
};

}  // namespace testing_support

#endif  // TESTS_APP_DEMO_LOOKUP_FIXTURE_H_
