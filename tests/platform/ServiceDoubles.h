// Test doubles for the platform services: a D-Bus handler and a process
// launcher that record what they are asked and start nothing.
//
// Every test of this program starts with a guard installed in both places
// that fails the test on any D-Bus call or process start, so a test that
// forgets its double can neither shut the machine down nor open a window.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/DBus.h"
#include "platform/Process.h"

namespace veltrano::test {

// Installs itself as the D-Bus handler while it lives; answers every call
// with `accept` and keeps the calls.
class TDBusRecorder {
 public:
  explicit TDBusRecorder(bool accept);
  ~TDBusRecorder();
  TDBusRecorder(const TDBusRecorder&) = delete;
  TDBusRecorder& operator=(const TDBusRecorder&) = delete;

  const std::vector<TDBusCall>& Calls() const { return FCalls; }

 private:
  bool FAccept;
  std::vector<TDBusCall> FCalls;
  TDBusHandler FPrevious;
};

// Makes `handler` the D-Bus handler while it lives (an empty one: the real
// dbus-send path, which then runs through the current process launcher).
class TScopedDBusHandler {
 public:
  explicit TScopedDBusHandler(TDBusHandler handler);
  ~TScopedDBusHandler();
  TScopedDBusHandler(const TScopedDBusHandler&) = delete;
  TScopedDBusHandler& operator=(const TScopedDBusHandler&) = delete;

 private:
  TDBusHandler FPrevious;
};

// Records the programs it is asked to start. Start answers `start_result`;
// Run answers `run_result`, or really runs the program when `real_run` is
// set (for the desktop tools a test may run against a bus of its own).
class TRecordingLauncher : public TProcessLauncher {
 public:
  bool Start(const std::vector<std::string>& argv) override;
  TProcessOutput Run(const std::vector<std::string>& argv) override;

  bool start_result = true;
  bool real_run = false;
  TProcessOutput run_result;
  std::vector<std::vector<std::string>> started;
  std::vector<std::vector<std::string>> ran;
};

// Makes `launcher` the process launcher while it lives.
class TScopedLauncher {
 public:
  explicit TScopedLauncher(std::shared_ptr<TProcessLauncher> launcher);
  ~TScopedLauncher();
  TScopedLauncher(const TScopedLauncher&) = delete;
  TScopedLauncher& operator=(const TScopedLauncher&) = delete;

 private:
  std::shared_ptr<TProcessLauncher> FPrevious;
};

}  // namespace veltrano::test
