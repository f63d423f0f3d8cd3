// A task model on a store of its own: a fresh application-data folder, the
// store connected there, the explorer, task list, information and log views
// kept in memory, and settings for short conversions of generated clips.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/AVNodes.h"
#include "common/MemoryTaskView.h"
#include "support/EngineHarness.h"

namespace veltrano::test {

namespace fs = std::filesystem;

// A one-second clip (160x120 MPEG-4 video and AAC audio), shared.
fs::path TaskClip();

class TaskFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Creates and loads the model (the unfiled node is shown).
  void OpenModel();
  // Destroys the model, reconnects to the same av.cfg and loads a new one.
  void Reopen();

  // Settings of a conversion of `source` into `target` with the profile of
  // that description, filed under `category`, as the wizard makes them.
  std::unique_ptr<TConversionSettings> Settings(
      const fs::path& source, const fs::path& target, int category = 1,
      const std::string& profile = "Zune MPEG4 Video(320x240)");
  // A conversion slow enough to be paused and stopped by hand (1080p H.264).
  std::unique_ptr<TConversionSettings> SlowSettings(const fs::path& target);

  // Dispatches until `done` or the timeout; false on timeout.
  bool WaitUntil(const std::function<bool()>& done,
                 std::chrono::milliseconds timeout = std::chrono::minutes(2));
  // Dispatches until no converter of the unfiled node runs any more.
  bool WaitForIdle();

  TConvertingNode& Unfiled() { return model->ConvertingNode(); }
  TConvertedNode& Root() { return *model->FindCategory(1); }
  // The tasks whose rows the task list shows, in row order.
  std::vector<TAVTask*> ShownTasks() const;
  // What sqlite3 prints for `sql` on av.cfg.
  std::string Sql(const std::string& sql) const;

  fs::path folder;  // for this test's files
  TEventLoopDispatcher ui;
  TMemoryTaskView tree;
  TMemoryTaskView list;
  TMemoryTaskView info;
  TMemoryLogView log;
  std::unique_ptr<TNodeTree> model;
  std::vector<std::string> alerts;
  std::unique_ptr<TMessageRecorder> messages;

 private:
  TCompletionAlertHandler previous_alert_;
};

}  // namespace veltrano::test
