#pragma once
// The console converter's log: warnings and worse always reach standard error, debug and info
// messages (plug-in loading, step timings) only when the user asks for them with --verbose.

namespace urs::zel {

// Installs the filter in front of the handler in place. Until SetVerboseMessages is called,
// debug and info messages are held back: the plug-ins load before the command line is read.
void InstallMessageFilter();

// Shows (verbose) or drops the messages held back so far, and from now on passes or drops debug
// and info messages as they come.
void SetVerboseMessages(bool verbose);

// Writes the outcome line ("Success", "Failed") to standard error, where it always appears.
void PrintOutcome(const char* outcome);

}  // namespace urs::zel
