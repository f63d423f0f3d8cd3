// veltrano-cli: the conversion engine, profiles and task queue without a window.
#include <CLI/CLI.hpp>

#include "cli/ConvertCommand.h"

int main(int argc, char** argv) {
  CLI::App app{"Veltrano video converter (command line)"};
  app.set_version_flag("--version", VELTRANO_VERSION);
  app.require_subcommand(1);
  veltrano::cli::AddConvertCommand(app);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e);
  }
  return 0;
}
