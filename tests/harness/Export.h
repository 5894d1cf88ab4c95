// --export=DIR, for the medium checker's agreement test
// (tests/media/agreement.py): <DIR>\<index>.json holds each case's medium
// (the launcher's current directory, kept until that test has read it; it
// removes them when all agree) and what the launcher did: its message boxes,
// exit code, the commands started, its window's title and shown buttons
// (caption, left edge) and the slot pressed. <DIR>\kept-media names the
// folder of the kept media, which the next exporting run removes.
#pragma once

#include "Runner.h"

namespace harness {

// Before the run: clears DIR and keeps this run's case folders.
void BeginExport(Options& options, const Context& context);
// After the run: one file per case that ran.
void ExportCases(const Options& options, const Ran& ran, const Context& context);

}  // namespace harness
