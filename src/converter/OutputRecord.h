// What a run tells its owner about the files it writes, each time before the
// step can matter: the owner records it (a task in its store) so that, after
// a crash at any point, it can tell its own files from anybody else's.
//
// For every output written through a work file, in this order:
//   WorkNamed    the work name is chosen; nothing exists under it yet
//   WorkCreated  the work file (or folder of pictures) now exists, created
//                by this run and empty; `identity` is its device and inode
//   Publishing   the output is complete (or stopped) and closed; `identity`
//                is its full identity, which the published file keeps
//   Published    the work file has its final name and that name has the
//                identity of Publishing
// or, instead of the last two, WorkRemoved when the run removed its work
// file (a failed run, a stop before anything was written).
//
// The converter raises OnOutput on its worker and waits for the handler. A
// handler that throws at WorkNamed, WorkCreated or Publishing fails the run
// before the step it announced (the work file is then removed); at Published
// and WorkRemoved a failure only costs the record.
#pragma once

#include <optional>
#include <string>

#include "converter/FileIdentity.h"

namespace veltrano {

struct TOutputRecord {
  enum TStep { WorkNamed, WorkCreated, Publishing, Published, WorkRemoved };
  TStep step = WorkNamed;
  std::string target;  // the output as the job names it
  std::string work;    // the work file, or the folder of numbered pictures
  bool sequence = false;
  TFileIdentity identity;
};

// A work file as its owner records it: its name from WorkNamed on, its
// device and inode from WorkCreated on.
struct TWorkFile {
  std::string path;
  std::optional<TFileIdentity> created;
};

}  // namespace veltrano
