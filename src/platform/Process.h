// Starting other programs: the companion programs the user asks for, and the
// desktop tools (xdg-open, dbus-send) that the shell and shutdown services use.
//
// Programs are always started from an argument vector with execve: nothing
// goes through a shell, so no text given here is ever interpreted as shell
// syntax. Every start goes through the current `TProcessLauncher`; tests
// install a double so that they can see what would be started without
// starting anything.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace veltrano {

struct TProcessOutput {
  bool started = false;  // false: the program was not found or could not be executed
  int exit_code = -1;    // the exit status; 128 + signal number when a signal ended it
  std::string output;    // what the program wrote to stdout and stderr, interleaved
};

class TProcessLauncher {
 public:
  virtual ~TProcessLauncher() = default;

  // Starts `argv[0]` (looked up in PATH unless it contains a '/') with the
  // arguments `argv`, and returns once the program runs (its exec succeeded),
  // without waiting for it to end. The program gets its own session and reads
  // nothing from our stdin; it is never left behind as a zombie.
  // Returns false when it could not be started.
  virtual bool Start(const std::vector<std::string>& argv) = 0;

  // Runs `argv` as Start does, but waits for it to end and collects its
  // output. The program must bring its own time limit (the desktop tools do).
  virtual TProcessOutput Run(const std::vector<std::string>& argv) = 0;
};

// The launcher that really starts programs (fork and execve).
class TSystemProcessLauncher final : public TProcessLauncher {
 public:
  bool Start(const std::vector<std::string>& argv) override;
  TProcessOutput Run(const std::vector<std::string>& argv) override;
};

// Replaces the current launcher and returns the previous one; an empty
// pointer restores the system launcher.
std::shared_ptr<TProcessLauncher> SetProcessLauncher(std::shared_ptr<TProcessLauncher> launcher);

// Start and Run through the current launcher.
bool StartProcess(const std::vector<std::string>& argv);
TProcessOutput RunProcess(const std::vector<std::string>& argv);

// The executable file that `name` names: `name` itself when it contains a
// '/', else the first executable regular file of that name in PATH. Empty
// when there is none.
std::string FindProgram(const std::string& name);

// Splits a command line into words the way the POSIX shell quotes them, and
// does nothing else: blanks separate words; '...' is literal; inside "..." a
// backslash escapes only \ " $ ` and newline; outside quotes a backslash
// escapes the next character. No expansion of any kind, and characters such
// as ; | & < > $ are ordinary text. Empty when a quote is not closed or the
// line ends in an escaping backslash.
std::optional<std::vector<std::string>> SplitCommandLine(const std::string& command_line);

// Starts a program with normal priority and returns whether it was started.
// It waits until the program runs, not until it ends. `show_state` (how its
// first window should appear) has no counterpart here: the desktop decides.
bool RunAndWait(const std::vector<std::string>& argv, int show_state = 1);
// The same for a command line split by SplitCommandLine; false when it cannot
// be split or is empty.
bool RunAndWait(const std::string& command_line, int show_state = 1);

}  // namespace veltrano
