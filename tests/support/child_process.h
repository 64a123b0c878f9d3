// A program run beside a test, started with fork() and exec. QProcess starts
// its children with vfork semantics (the child borrows the test's memory
// until it execs), which ThreadSanitizer cannot follow: it then loses track
// of the test thread's locks and reports races that are not there.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

class CChildProcess {
 public:
  // Starts `program` (looked up in PATH) with `args`, its standard input
  // empty and its output kept in a file of its own; with `mergeErrors` the
  // error output goes there too, else it is dropped.
  CChildProcess(const std::string& program, const std::vector<std::string>& args, bool mergeErrors = true);
  // Kills it when still running; the output file goes with it.
  ~CChildProcess();
  CChildProcess(const CChildProcess&) = delete;
  CChildProcess& operator=(const CChildProcess&) = delete;

  bool Started() const { return m_pid > 0; }
  bool Running();
  // True when it ended within `limit` (by itself or killed).
  bool WaitFinished(std::chrono::milliseconds limit);
  // The exit code once it ended by itself; nothing after a signal.
  std::optional<int> ExitCode() const { return m_exitCode; }
  void Kill();
  // What it wrote so far.
  std::string Output() const;

 private:
  void Reap(int status);

  pid_t m_pid = -1;
  bool m_ended = false;
  std::optional<int> m_exitCode;
  std::string m_outputPath;
};

// Runs a program to its end (killed after `limit`); its standard output, or
// nothing when it did not exit with 0.
std::optional<std::string> RunToEnd(const std::string& program, const std::vector<std::string>& args,
                                    std::chrono::milliseconds limit = std::chrono::seconds(60));
