// veltrano-cli: the conversion engine, profiles, media sources and the task
// queue without a window.
//
// Exit statuses: 0 done, 1 a conversion or command failed, 2 the command
// line was wrong (the message and a hint to the help on stderr), 130
// stopped by Ctrl+C.
#include <fmt/format.h>
#include <CLI/CLI.hpp>

#include <cstdio>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "cli/ConvertCommand.h"
#include "cli/MediaCommands.h"
#include "cli/ProfilesCommand.h"
#include "cli/QueueCommand.h"
#include "cli/UsageError.h"

namespace {

std::string VersionText() {
  const unsigned version = avcodec_version();
  return fmt::format("veltrano-cli {} (FFmpeg libavcodec {}.{}.{})", VELTRANO_VERSION,
                     AV_VERSION_MAJOR(version), AV_VERSION_MINOR(version),
                     AV_VERSION_MICRO(version));
}

// "veltrano-cli queue add": the deepest command that was given.
std::string CommandPath(const CLI::App& app) {
  std::string path = app.get_name();
  const CLI::App* current = &app;
  while (current != nullptr) {
    const auto given = current->get_subcommands();
    current = given.empty() ? nullptr : given.front();
    if (current != nullptr) path += " " + current->get_name();
  }
  return path;
}

int UsageFailure(const CLI::App& app, const std::string& message) {
  const std::string command = CommandPath(app);
  std::fprintf(stderr, "%s: %s\nSee '%s --help'.\n", command.c_str(), message.c_str(),
               command.c_str());
  return veltrano::cli::kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Veltrano video converter (command line)", "veltrano-cli"};
  app.set_version_flag("--version", VersionText());
  app.require_subcommand(1);
  veltrano::cli::AddConvertCommand(app);
  veltrano::cli::AddSettingsCommand(app);
  veltrano::AddProfilesCommand(app);
  veltrano::AddMediaCommands(app);
  veltrano::cli::AddQueueCommand(app);
  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& e) {
    return app.exit(e);  // --help, --version
  } catch (const CLI::RuntimeError& e) {
    return e.get_exit_code();  // the command has said why
  } catch (const CLI::ParseError& e) {
    return UsageFailure(app, e.what());
  } catch (const veltrano::cli::EUsageError& e) {
    return UsageFailure(app, e.what());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", CommandPath(app).c_str(), e.what());
    return veltrano::cli::kExitFailed;
  }
  return 0;
}
