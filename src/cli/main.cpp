// veltrano-cli: the conversion engine, profiles, media sources and the task
// queue without a window.
#include <CLI/CLI.hpp>

#include "cli/ConvertCommand.h"
#include "cli/MediaCommands.h"
#include "cli/ProfilesCommand.h"
#include "cli/QueueCommand.h"

int main(int argc, char** argv) {
  CLI::App app{"Veltrano video converter (command line)"};
  app.set_version_flag("--version", VELTRANO_VERSION);
  app.require_subcommand(1);
  veltrano::cli::AddConvertCommand(app);
  veltrano::cli::AddSettingsCommand(app);
  veltrano::AddProfilesCommand(app);
  veltrano::AddMediaCommands(app);
  veltrano::cli::AddQueueCommand(app);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e);
  }
  return 0;
}
