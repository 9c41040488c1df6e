// Runs a built command-line tool in a temporary folder, keeping what it said.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "support/shell_quote.h"
#include "support/temp_dir.h"

namespace bw::test {

class ToolRun {
 public:
  // Runs `command ARGUMENTS` (arguments as a shell would split them); standard output goes to
  // Output(), standard error to Errors(). Answers the exit status, -1 when it did not exit.
  int Run(const std::string& command, const std::string& arguments) {
    const std::string line = ShellQuoted(command) + " " + arguments + " >" + Path("stdout.txt") +
                             " 2>" + Path("stderr.txt");
    int status = std::system(line.c_str());
    output_ = ReadFile(dir_.path() / "stdout.txt");
    errors_ = ReadFile(dir_.path() / "stderr.txt");
    return status == -1 || !WIFEXITED(status) ? -1 : WEXITSTATUS(status);
  }
  // A path below the folder, quoted for the shell.
  std::string Path(const std::string& relative) const {
    return ShellQuoted((dir_.path() / relative).string());
  }
  const TempDir& Dir() const { return dir_; }
  const std::string& Output() const { return output_; }
  const std::string& Errors() const { return errors_; }

 private:
  TempDir dir_;
  std::string output_;
  std::string errors_;
};

}  // namespace bw::test
