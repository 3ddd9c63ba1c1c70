#pragma once
// Ctrl-C and kill in the conversion process.
//
// Until packing starts, nothing outside the work folder has been written, so a signal ends the
// process at once and the waiting parent removes the work folder. While packing, the unfinished
// archive is in the output folder, without a name, or with a hidden one where the file system
// cannot make unnamed files; the signal is only noted then, and the packer is stopped at its
// next question (RunUi::cancelRequested) so that it removes that file itself. Once the finished
// archive is about to take the book's place, that is settled once and for all (see
// settleCompletion): before, a noted signal cancels the run; after, a signal is let go and the
// run reports the book it published.

namespace qb {

// Installs the handlers for SIGINT, SIGTERM, SIGHUP and SIGQUIT in this process.
void installInterruptionHandlers();
// From now on a signal is noted instead of ending the process.
void deferInterruptions();
// The signal noted while deferred, else 0.
int pendingInterruption();
// The point of no return: true when no signal is pending, and from then on every signal is let
// go; false (a signal is pending) cancels. Atomic against the signals themselves, so that one
// arriving at that very moment falls clearly on one side.
bool settleCompletion();

}  // namespace qb
