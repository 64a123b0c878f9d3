#include "child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <thread>

CChildProcess::CChildProcess(const std::string& program, const std::vector<std::string>& args, bool mergeErrors) {
  // Everything the child needs is made before fork: it only redirects and execs.
  std::string pattern =
      (getenv("TMPDIR") != nullptr ? std::string(getenv("TMPDIR")) : std::string("/tmp")) + "/tavrocam-child-XXXXXX";
  const int output = mkstemp(pattern.data());
  if (output < 0) return;
  m_outputPath = pattern;
  const int nothing = open("/dev/null", O_RDWR | O_CLOEXEC);
  std::vector<std::string> words{program};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  m_pid = fork();
  if (m_pid == 0) {
    dup2(nothing, STDIN_FILENO);
    dup2(output, STDOUT_FILENO);
    dup2(mergeErrors ? output : nothing, STDERR_FILENO);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  close(output);
  if (nothing >= 0) close(nothing);
}

CChildProcess::~CChildProcess() {
  Kill();
  if (!m_outputPath.empty()) unlink(m_outputPath.c_str());
}

void CChildProcess::Reap(int status) {
  m_ended = true;
  if (WIFEXITED(status)) m_exitCode = WEXITSTATUS(status);
}

bool CChildProcess::Running() {
  if (m_pid <= 0 || m_ended) return false;
  int status = 0;
  const pid_t got = waitpid(m_pid, &status, WNOHANG);
  if (got == m_pid) Reap(status);
  return got == 0;
}

bool CChildProcess::WaitFinished(std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (Running()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return m_pid > 0;
}

void CChildProcess::Kill() {
  if (!Running()) return;
  kill(m_pid, SIGKILL);
  int status = 0;
  if (waitpid(m_pid, &status, 0) == m_pid) Reap(status);
}

std::string CChildProcess::Output() const {
  std::ifstream file(m_outputPath, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::optional<std::string> RunToEnd(const std::string& program, const std::vector<std::string>& args,
                                    std::chrono::milliseconds limit) {
  CChildProcess child(program, args, false);
  if (!child.WaitFinished(limit) || child.ExitCode() != 0) return std::nullopt;
  return child.Output();
}
