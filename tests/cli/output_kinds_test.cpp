// quor encode's outputs of every kind, written where they are or refused, and what a run leaves when a
// line is too long, memory runs out or a signal ends it.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>

#include "quor/quor.hpp"
#include "run_quor.hpp"

namespace quor::cli::testing {
namespace {

namespace fs = std::filesystem;

const std::string kArguments = "encode -q --lengths 2,3 --formats 1,0 ";
const std::string kInput = "A1,1\nB2,22\n";
// kInput's records: "A1" in EBCDIC, then 1 and 22 zoned in three bytes.
const std::string kRecords = "\xC1\xF1\xF0\xF0\xF1\xC2\xF2\xF0\xF2\xF2";

int shell(const fs::path& folder, const std::string& command) {
  const int status = std::system(("cd '" + folder.string() + "' && " + command).c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs quor in `folder` under umask 027: standard output goes to .out unless `arguments` redirect it.
RunResult run(const fs::path& folder, const std::string& arguments) {
  RunResult result;
  result.exitCode = shell(folder, "umask 027 && { '" QUOR_BINARY "' " + kArguments + arguments +
                                      " 2> .err; } > .out < /dev/null");
  result.out = readFile(folder / ".out");
  result.err = readFile(folder / ".err");
  return result;
}

// Runs quor in `folder` with a new terminal as its standard output and error: what it showed there.
RunResult runOnTerminal(const fs::path& folder, const std::string& arguments) {
  const std::string command =
      "cd '" + folder.string() + "' && exec '" QUOR_BINARY "' " + kArguments + arguments;
  int terminal = -1;
  const pid_t child = ::forkpty(&terminal, nullptr, nullptr, nullptr);
  if (child == 0) {
    ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  RunResult result;
  if (child < 0) return result;
  char block[4096];
  for (ssize_t got; (got = ::read(terminal, block, sizeof block)) > 0;)
    result.err.append(block, static_cast<std::size_t>(got));
  ::close(terminal);
  int status = 0;
  ::waitpid(child, &status, 0);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = result.err;
  return result;
}

TEST(OutputKinds, EachIsWrittenWhereItIsOrRefused) {
  enum class Via { run, fifoReader, terminal };
  struct Case {
    std::string prepare;    // shell commands run in the folder first
    std::string arguments;  // after kArguments
    Via via;
    int exitCode;
    std::string message;  // part of standard error
    std::string holder;   // the file that holds kRecords afterwards; "-": standard output (the terminal)
    std::string holds;    // a shell test that holds afterwards
  };
  const Case cases[] = {
      {"mknod null c 1 3", "-o null in.csv", Via::run, 0, "", "",
       "test -c null && [ $(stat -c %t:%T null) = 1:3 ]"},
      {"mkfifo f", "-o f in.csv", Via::fifoReader, 0, "", "f", "test -p f"},
      {"mkdir sub && echo old content > sub/t.dat && chmod 604 sub/t.dat && ln -s sub/t.dat l.dat",
       "-o l.dat in.csv", Via::run, 0, "", "sub/t.dat",
       "test -L l.dat && [ $(ls -A sub) = t.dat ] && [ $(stat -c %a sub/t.dat) = 604 ]"},
      {"mkdir sub && ln -s sub/new.dat d.dat", "-o d.dat in.csv", Via::run, 0, "", "sub/new.dat",
       "test -L d.dat && [ $(stat -c %a sub/new.dat) = 640 ]"},
      {"", "-o - in.csv", Via::run, 0, "", "-", "! test -e ./-"},
      {"", "-o in.csv in.csv", Via::run, 2, "quor: in.csv is the same file as the input in.csv", "", ""},
      {"ln in.csv hard.csv", "-o hard.csv in.csv", Via::run, 2,
       "hard.csv is the same file as the input in.csv", "", ""},
      {"", "in.csv >> in.csv", Via::run, 2, "standard output is the same file as the input in.csv", "", ""},
      {"", "-o in.csv - < in.csv", Via::run, 2, "in.csv is the same file as standard input", "", ""},
      {"", "in.csv", Via::terminal, 2, "write them to a file (-o FILE, or > file), or give --force", "", ""},
      {"", "--force in.csv", Via::terminal, 0, "", "-", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.prepare + " | " + c.arguments);
    const ScratchFolder folder;
    folder.write("in.csv", kInput);
    if (!c.prepare.empty() && shell(folder.path(), c.prepare) != 0) {
      EXPECT_NE(::geteuid(), 0u) << "only a device node may need root to be made";
      continue;
    }
    const int reader =
        c.via == Via::fifoReader ? ::open((folder.path() / "f").c_str(), O_RDONLY | O_NONBLOCK) : -1;
    const RunResult result =
        c.via == Via::terminal ? runOnTerminal(folder.path(), c.arguments) : run(folder.path(), c.arguments);
    EXPECT_EQ(result.exitCode, c.exitCode) << result.err;
    EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
    if (reader >= 0) {
      std::string got(64, '\0');
      got.resize(static_cast<std::size_t>(std::max<ssize_t>(::read(reader, got.data(), got.size()), 0)));
      ::close(reader);
      EXPECT_EQ(got, kRecords);
    } else if (!c.holder.empty()) {
      EXPECT_EQ(c.holder == "-" ? result.out : readFile(folder.path() / c.holder), kRecords);
    }
    if (!c.holds.empty()) {
      EXPECT_EQ(shell(folder.path(), c.holds), 0) << c.holds;
    }
    EXPECT_EQ(readFile(folder.path() / "in.csv"), kInput);
  }
}

TEST(OutputKinds, ALineLongerThan64MiBIsABadRecordAndTheLinesAfterItAreRead) {
  const ScratchFolder folder;
  // Through a pipe, so no such file is written: 64 MiB and one byte, then CR LF.
  const std::string tooLong = "head -c 67108865 /dev/zero | tr '\\0' x; printf '\\r\\n'; ";
  const std::string input = "{ echo A1,1; " + tooLong + "echo B2,22; }";
  EXPECT_EQ(shell(folder.path(), input + " | '" QUOR_BINARY "' " + kArguments + "--skip-bad > out 2> err"),
            1);
  EXPECT_EQ(readFile(folder.path() / "out"), kRecords);
  EXPECT_EQ(readFile(folder.path() / "err"), "<stdin>:2: line longer than 64 MiB (line skipped)\n");

  // One thread has three batches: the second long line comes in the batch that held the changed
  // value, and none of that batch's changes may be listed again.
  EXPECT_EQ(shell(folder.path(), "{ echo A123,1; " + tooLong + "echo B2,22; " + tooLong + "} | '" QUOR_BINARY
                                     "' encode --lengths 2,3 --formats 1,0 --lenient --skip-bad --threads 1 > out 2> err"),
            1);
  EXPECT_EQ(readFile(folder.path() / "out"), kRecords);
  const std::string err = readFile(folder.path() / "err");
  EXPECT_NE(err.find("<stdin>:1: field 1: \"A123\""), std::string::npos) << err;
  EXPECT_EQ(err.find("<stdin>:4: field 1"), std::string::npos) << err;
}

TEST(OutputKinds, RunningOutOfMemoryHasItsOwnExitStatus) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "the sanitizers reserve more address space than the limit allows";
#endif
  const ScratchFolder folder;
  // A line without an end grows the reader's buffer beyond 100 MB of address space.
  const std::string input = "head -c 70000000 /dev/zero | tr '\\0' x";
  EXPECT_EQ(shell(folder.path(),
                  input + " | (ulimit -v 100000; exec '" QUOR_BINARY "' " + kArguments + ") > out 2> err"),
            4);
  EXPECT_EQ(readFile(folder.path() / "err"), "quor: out of memory\n");
}

// The progress line of encode and of decode, on a terminal, when the output's reader waits 2 s before
// it reads: the run is held past the second after which the line shows, and the inputs' size is known.
TEST(OutputKinds, TheProgressLineSaysTheShareDoneAndTheTimeLeft) {
  const std::string commands[] = {
      "yes A | head -n 4000000 > in; exec '" QUOR_BINARY "' encode --lengths 1 --formats 1 in",
      "head -c 8000000 /dev/zero | tr '\\0' '\\301' > in; exec '" QUOR_BINARY
      "' decode --lengths 1 --formats 1 in",
  };
  for (const std::string& command : commands) {
    const ScratchFolder folder;
    int terminal = -1;
    const pid_t child = ::forkpty(&terminal, nullptr, nullptr, nullptr);
    if (child == 0) {
      const std::string line =
          "cd '" + folder.path().string() + "' && (" + command + ") | (sleep 2; cat > /dev/null)";
      ::execl("/bin/sh", "sh", "-c", line.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ASSERT_GT(child, 0);
    std::string shown;
    char block[4096];
    for (ssize_t got; (got = ::read(terminal, block, sizeof block)) > 0;)
      shown.append(block, static_cast<std::size_t>(got));
    ::close(terminal);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0) << shown;
    EXPECT_NE(shown.find(" % of 8.0 MB, "), std::string::npos) << command << "\n" << shown;
    EXPECT_NE(shown.find(" left"), std::string::npos) << command << "\n" << shown;
  }
}

// A run waiting on a pipe, FIFO or terminal that never gets data, or writing to a reader that never
// reads, ends on SIGTERM, SIGINT or SIGHUP: it dies of the signal, having said what the output holds, and
// leaves no temporary file. The signal is sent once quor handles it (SigCgt in /proc) and, for a
// stalled reader, once a write waits on it (wchan in /proc); a watchdog kills a run still there after
// 60 s, which then fails the test by its status, not by a time.
TEST(OutputKinds, ASignalEndsARunBlockedOnAStalledPipe) {
  const struct {
    std::string prepare;  // shell lines before quor starts
    std::string command;  // quor's arguments and redirections
    const char* signal;
    std::string message;  // standard error starts with it
  } cases[] = {
      {"mkfifo in.fifo", "encode --lengths 2 --formats 1 -o out.dat in.fifo", "TERM",
       "quor: interrupted; out.dat was not written\n"},  // no writer ever opens the FIFO
      {"mkfifo in.fifo; exec 3<> in.fifo", "encode --lengths 2 --formats 1 -o out.dat in.fifo", "TERM",
       "quor: interrupted; out.dat was not written\n"},  // a writer that never writes
      {"mkfifo in.fifo; exec 3<> in.fifo", "encode --lengths 2 --formats 1 -o out.dat < in.fifo", "INT",
       "quor: interrupted; out.dat was not written\n"},
      {"mkfifo in.fifo; exec 3<> in.fifo", "decode --lengths 2 --formats 1 -o out.csv in.fifo", "TERM",
       "quor: interrupted; out.csv was not written\n"},
      {"mkfifo out.fifo; exec 4<> out.fifo; yes AB | head -n 1000000 > in.csv",
       "encode --lengths 2 --formats 1 -o out.fifo in.csv", "TERM",
       "quor: interrupted; out.fifo holds a partial"},
      {"mkfifo out.fifo; exec 4<> out.fifo; head -c 4000000 /dev/zero | tr '\\0' A > in.dat",
       "decode --lengths 2 --formats 1 in.dat > out.fifo", "HUP",
       "quor: interrupted; standard output holds a"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command);
    const ScratchFolder folder;
    const int signal = std::string(c.signal) == "TERM"  ? SIGTERM
                       : std::string(c.signal) == "INT" ? SIGINT
                                                        : SIGHUP;
    // A background job of a shell without job control ignores SIGINT: env gives it back, as a
    // terminal's Ctrl-C finds it.
    folder.write("run.sh",
                 c.prepare + "\nenv --default-signal=INT '" QUOR_BINARY "' " + c.command + " 2> err &\n" +
                     "pid=$!\n"
                     // The watchdog holds no output open, and ends with the run.
                     "(n=0; while [ ! -e .done ] && [ $n -lt 600 ]; do sleep 0.1; n=$((n+1)); done; "
                     "[ -e .done ] || kill -KILL $pid) > /dev/null 2>&1 & watchdog=$!\n"
                     "until ! kill -0 $pid 2> /dev/null || [ $(( 0x$(awk '/^SigCgt/ { print $2 }' "
                     "/proc/$pid/status) & " +
                     std::to_string(1u << (signal - 1)) +
                     " )) -ne 0 ]; do sleep 0.02; done\n"
                     // A write waiting on the reader of out.fifo shows in its thread's wchan.
                     "n=0; while [ -p out.fifo ] && [ $n -lt 500 ] && ! cat /proc/$pid/task/*/wchan "
                     "2> /dev/null | grep -q pipe_write; do sleep 0.02; n=$((n+1)); done\n"
                     "sleep 0.2\n"
                     "kill -" +
                     c.signal +
                     " $pid\n"
                     "wait $pid; echo $? > status\n"
                     "touch .done; wait $watchdog\n"
                     "rm -f run.sh in.fifo out.fifo in.csv in.dat .done\n");
    ASSERT_EQ(shell(folder.path(), "sh run.sh"), 0);
    EXPECT_EQ(readFile(folder.path() / "status"), std::to_string(128 + signal) + "\n");
    const std::string err = readFile(folder.path() / "err");
    EXPECT_EQ(err.substr(0, c.message.size()), c.message) << err;
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(folder.path()))
      left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"err", "status"}));
  }
}

TEST(OutputKinds, AnInterruptedRunSaysWhatStandardOutputHolds) {
  // Over a megabyte of 100-byte records arrives through a FIFO that stays open; once some records have
  // reached `got`, SIGTERM comes, then the input ends.
  const std::pair<std::string, std::string> cases[] = {
      // the redirection, the message
      {"> out.fifo", "quor: interrupted; standard output holds a partial result: its first "},
      {">> got", "quor: interrupted; standard output was cut back to its size at the start of the run\n"},
  };
  const ByteString bytes = Quor().FujitsuHostQuor(u"x", u"100", u"1");
  const std::string record(bytes.begin(), bytes.end());
  for (const auto& [redirect, message] : cases) {
    const ScratchFolder folder;
    folder.write("got", "old");
    folder.write("run.sh",
                 "mkfifo in.fifo out.fifo\n"
                 "cat out.fifo >> got & reader=$!\n"
                 "eval \"'" QUOR_BINARY
                 "' encode --lengths 100 --formats 1 in.fifo $1 2> err &\"; pid=$!\n"
                 "exec 3> in.fifo\n"
                 "yes x | head -n 20000 >&3\n"
                 "n=0; while [ $(wc -c < got) -le 3 ] && [ $n -lt 400 ]; do sleep 0.05; n=$((n+1)); done\n"
                 "kill -TERM $pid\n"
                 "exec 3>&-\n"
                 "wait $pid; echo $? > status\n"
                 "exec 4<> out.fifo; exec 4>&-; wait $reader\n");
    ASSERT_EQ(shell(folder.path(), "sh run.sh '" + redirect + "'"), 0);
    EXPECT_EQ(readFile(folder.path() / "status"), "143\n");  // 128 + SIGTERM
    const std::string err = readFile(folder.path() / "err");
    ASSERT_EQ(err.substr(0, message.size()), message) << err;
    std::string expected = "old";
    const std::size_t records = redirect == "> out.fifo" ? std::stoul(err.substr(message.size())) : 0;
    for (std::size_t i = 0; i < records; ++i) expected += record;
    EXPECT_TRUE(redirect != "> out.fifo" || records > 0) << err;
    EXPECT_TRUE(readFile(folder.path() / "got") == expected) << err;
  }
}

}  // namespace
}  // namespace quor::cli::testing
