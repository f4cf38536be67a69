#include "support/CliRunner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <array>
#include <cerrno>
#include <stdexcept>

extern char** environ;

namespace {

// Moves everything both pipes give into the two strings, writing `input` to the child
// meanwhile, until both output pipes close.
void Exchange(int inFd, int outFd, int errFd, const std::string& input, std::string& out, std::string& err) {
  std::size_t written = 0;
  if (input.empty()) {
    ::close(inFd);
    inFd = -1;
  }
  std::array<char, 65536> buffer{};
  while (outFd >= 0 || errFd >= 0) {
    std::array<pollfd, 3> fds{{{outFd, POLLIN, 0}, {errFd, POLLIN, 0}, {inFd, POLLOUT, 0}}};
    if (::poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR) {
      break;
    }
    for (int i = 0; i < 2; ++i) {
      int& fd = i == 0 ? outFd : errFd;
      if (fd >= 0 && (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n > 0) {
          (i == 0 ? out : err).append(buffer.data(), static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
          ::close(fd);
          fd = -1;
        }
      }
    }
    if (inFd >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP)) != 0) {
      const ssize_t n = ::write(inFd, input.data() + written, input.size() - written);
      if (n > 0) {
        written += static_cast<std::size_t>(n);
      }
      if (n < 0 || written == input.size()) {
        ::close(inFd);
        inFd = -1;
      }
    }
  }
  if (inFd >= 0) {
    ::close(inFd);
  }
}

}  // namespace

std::string CCliRunner::Program() {
  return std::string(ORVANE_OUTPUT_DIR) + "/orvane-cli";
}

CCliRunner::Outcome CCliRunner::Run(const std::vector<std::string>& arguments, const std::string& input) {
  // A program that exits before reading all its input must not end the test with SIGPIPE.
  ::signal(SIGPIPE, SIG_IGN);
  std::array<int, 2> in{}, out{}, err{};
  if (::pipe2(in.data(), O_CLOEXEC) != 0 || ::pipe2(out.data(), O_CLOEXEC) != 0 ||
      ::pipe2(err.data(), O_CLOEXEC) != 0) {
    throw std::runtime_error("cannot make pipes for orvane-cli");
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  const std::string program = Program();
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& argument : arguments) {
    argv.push_back(const_cast<char*>(argument.c_str()));
  }
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(in[0]);
  ::close(out[1]);
  ::close(err[1]);
  Outcome outcome;
  if (spawned != 0) {
    ::close(in[1]);
    ::close(out[0]);
    ::close(err[0]);
    throw std::runtime_error("cannot start " + program);
  }
  Exchange(in[1], out[0], err[0], input, outcome.out, outcome.err);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return outcome;
}

std::vector<std::string> CCliRunner::SplitWords(const std::string& line) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false;
  bool quoted = false;
  for (char c : line) {
    if (c == '\'') {
      quoted = !quoted;
      inWord = true;
    } else if (c == ' ' && !quoted) {
      if (inWord) {
        words.push_back(word);
      }
      word.clear();
      inWord = false;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (inWord) {
    words.push_back(word);
  }
  return words;
}

CCliRunner::Outcome CCliRunner::RunLine(const std::string& line, const std::string& input) {
  return Run(SplitWords(line), input);
}
