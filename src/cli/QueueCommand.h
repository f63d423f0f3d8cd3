// `veltrano-cli queue`: the task list of the desktop program, without a
// window, over the same task model and task store (av.cfg in the
// application-data folder, XDG_CONFIG_HOME respected).
//
//   queue add SOURCE --profile ID [--target FILE|FOLDER] [--start T]
//             [--duration T | --end T] [--filter ENTRY]... [--audio-track N]
//             [--subtitle-track N|none] [--option P=V]... [--codec-option N=V]...
//             [--dvd PATH --title N --chapters A-B --angle K]
//       stores an unfinished task as the new-conversion wizard makes it (the
//       target follows the profile; without one it is proposed in the
//       configured output folder under a free name); it is not started.
//   queue list
//       the unfiled tasks, then each category's converted tasks, with the
//       columns of the views (tab-separated, the task's ID and status first:
//       "waiting" for a task never started, "running elsewhere" for one that
//       another program converts).
//   queue run
//       starts every unfinished task at once that no other program converts
//       (the task claims), shows their progress on a terminal, files each as
//       it completes and ends when none is running: 0 when none failed, 1
//       when any failed, 130 when interrupted (Ctrl+C stops the tasks; they
//       stay unfinished).
//   queue delete ID... [--source] [--target]
//       deletes tasks, and their source and/or target files when asked; a
//       task that another program converts is not deleted.
#pragma once

namespace CLI {
class App;
}

namespace veltrano::cli {

void AddQueueCommand(CLI::App& app);

}  // namespace veltrano::cli
