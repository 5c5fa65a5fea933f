// vqzconv: gets the pictures out of VQZ files, describes them, converts them and makes
// thumbnails of them.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

// Exit statuses, also used per file in a batch.
constexpr int ExitOk = 0;
constexpr int ExitFailed =
    1; // a picture that fails to load, a file that fails to open, read or write
constexpr int ExitContainer = 2; // a container the reader rejects
constexpr int ExitUsage = 64;

// Runs one command line (without the program name), writing results and progress to Out and
// errors to Err; returns the exit status. The PNG unit must be initialised.
int RunVqzconv(const std::vector<std::string>& Args, std::ostream& Out, std::ostream& Err);
