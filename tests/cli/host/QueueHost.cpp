// veltrano-cli with the queue command, for the queue tests while the program
// itself does not register it yet. Same commands, same options.
#include <CLI/CLI.hpp>

#include "cli/ConvertCommand.h"
#include "cli/QueueCommand.h"

int main(int argc, char** argv) {
  CLI::App app{"Veltrano video converter (command line, queue test host)"};
  app.require_subcommand(1);
  veltrano::cli::AddConvertCommand(app);
  veltrano::cli::AddQueueCommand(app);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e);
  }
  return 0;
}
