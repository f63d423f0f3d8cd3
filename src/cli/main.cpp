// veltrano-cli: the conversion engine without a window.
#include <CLI/CLI.hpp>

#include <cstdio>

int main(int argc, char** argv) {
  CLI::App app{"Veltrano video converter (command line)"};
  app.set_version_flag("--version", VELTRANO_VERSION);
  app.require_subcommand(0);
  CLI11_PARSE(app, argc, argv);
  if (argc == 1) std::puts(app.help().c_str());
  return 0;
}
