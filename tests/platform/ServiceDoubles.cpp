#include "platform/ServiceDoubles.h"

#include <gtest/gtest.h>

namespace veltrano::test {
namespace {

std::string Joined(const std::vector<std::string>& argv) {
  std::string text;
  for (const std::string& arg : argv) text += (text.empty() ? "" : " ") + arg;
  return text;
}

// The launcher and D-Bus handler in force outside the doubles: they refuse
// and fail the running test.
class TRefusingLauncher : public TProcessLauncher {
 public:
  bool Start(const std::vector<std::string>& argv) override {
    ADD_FAILURE() << "process start without a test double: " << Joined(argv);
    return false;
  }
  TProcessOutput Run(const std::vector<std::string>& argv) override {
    ADD_FAILURE() << "process run without a test double: " << Joined(argv);
    return {};
  }
};

class TServiceGuard : public ::testing::Environment {
 public:
  void SetUp() override {
    SetProcessLauncher(std::make_shared<TRefusingLauncher>());
    SetDBusHandler([](const TDBusCall& call) {
      ADD_FAILURE() << "D-Bus call without a test double: " << call.interface_name << "."
                    << call.method;
      return TDBusReply{};
    });
  }
};

[[maybe_unused]] ::testing::Environment* const service_guard =
    ::testing::AddGlobalTestEnvironment(new TServiceGuard);

}  // namespace

TDBusRecorder::TDBusRecorder(bool accept) : FAccept(accept) {
  FPrevious = SetDBusHandler([this](const TDBusCall& call) {
    FCalls.push_back(call);
    return TDBusReply{FAccept, FAccept ? "method return" : "Error org.example.Refused"};
  });
}

TDBusRecorder::~TDBusRecorder() {
  SetDBusHandler(std::move(FPrevious));
}

TScopedDBusHandler::TScopedDBusHandler(TDBusHandler handler)
    : FPrevious(SetDBusHandler(std::move(handler))) {}

TScopedDBusHandler::~TScopedDBusHandler() {
  SetDBusHandler(std::move(FPrevious));
}

bool TRecordingLauncher::Start(const std::vector<std::string>& argv) {
  started.push_back(argv);
  return start_result;
}

TProcessOutput TRecordingLauncher::Run(const std::vector<std::string>& argv) {
  ran.push_back(argv);
  return real_run ? TSystemProcessLauncher().Run(argv) : run_result;
}

TScopedLauncher::TScopedLauncher(std::shared_ptr<TProcessLauncher> launcher)
    : FPrevious(SetProcessLauncher(std::move(launcher))) {}

TScopedLauncher::~TScopedLauncher() {
  SetProcessLauncher(std::move(FPrevious));
}

}  // namespace veltrano::test
