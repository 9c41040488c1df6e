// Starting other programs by a command line, as CreateProcess did, on the host's processes
// (host::Process waits for them and reads their exit codes). A command line is CP932 text split
// as Windows splits it; the program is an engine path mapped to a Linux one, or a bare name
// searched for as Windows searches (the application folder, the current folder, then PATH).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "host/process/process.h"

namespace bw {

// Splits a CP932 command line into its words. The first word is the program: up to the closing
// quote when it starts with one, else up to the first space or tab. The rest follow the C
// run-time's rules: blanks separate outside quotes; 2n backslashes before a quote give n and the
// quote opens or closes; 2n + 1 give n and a literal quote; other backslashes stand as they are;
// "" inside quotes is a literal quote. A trail byte is never taken for a quote or backslash.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

// The Linux path of the program a command line names, or "" when none is found or it is not
// an executable file. Names with a separator or a drive resolve against the current folder.
std::string FindProgram(std::string_view program);

// Starts the program a CP932 command line names on process, its words in their UTF-8 form;
// false when the line is empty, names no program, has text without a UTF-8 form, or the start
// fails.
[[nodiscard]] bool StartCommandLine(host::Process& process, std::string_view commandLine);

}  // namespace bw
