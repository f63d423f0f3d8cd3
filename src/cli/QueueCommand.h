// `veltrano-cli queue`: the task list of the desktop program, without a
// window, over the same task model and task store (av.cfg in the
// application-data folder, XDG_CONFIG_HOME respected).
//
//   queue add SOURCE --profile "Description" [--target FILE] [--start S]
//             [--duration S] [--filter ENTRY]... [--option P=V]...
//             [--codec-option N=V]... [--dvd PATH --title N --chapters A-B
//             --angle K]
//       stores an unfinished task as the new-conversion wizard makes it (the
//       target proposed in the configured output folder); it is not started.
//   queue list
//       the unfiled tasks, then each category's converted tasks, with the
//       columns of the views (tab-separated, the task's ID and status first).
//   queue run
//       starts every unfinished task at once, shows their progress on a
//       terminal, files each as it completes and ends when none is running:
//       0 when all completed, 1 when any failed, 130 when interrupted
//       (Ctrl+C stops the tasks; they stay unfinished).
//   queue delete ID [--source] [--target]
//       deletes a task, and its source and/or target file when asked.
#pragma once

namespace CLI {
class App;
}

namespace veltrano::cli {

void AddQueueCommand(CLI::App& app);

}  // namespace veltrano::cli
