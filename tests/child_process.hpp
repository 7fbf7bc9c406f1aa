#pragma once

// Runs the built program the two ways a user does: fed by a pipe, and as
// the foreground job of a terminal.

#include <chrono>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <termios.h>
#include <vector>

namespace child
{

using namespace std::chrono_literals;

struct Ending {
    bool finished = false; // false: killed after the time limit
    int exit_status = -1;  // when it exited
    int signal = 0;        // when a signal ended it
};

struct PipedRun {
    Ending ending;
    std::string output;
};

enum class InputFrom { pipe, file };

// Feeds `input` through a pipe (or from a file on disk), reads standard
// output to its end.
PipedRun run_piped(std::string_view input, const std::vector<std::string> &arguments = {},
                   std::chrono::milliseconds limit = 20s, InputFrom from = InputFrom::pipe);

// As `trap '' PIPE; yes <keys> | vending | head -c1`: endless keys in, and
// a reader that leaves after the first byte, with SIGPIPE ignored. Returns
// how the program ended and how long it ran after the reader had left.
struct AbandonedRun {
    Ending ending;
    std::chrono::milliseconds after_reader_left{};
};
AbandonedRun run_with_reader_leaving(std::string_view keys, std::chrono::milliseconds limit = 10s);

// In a forked child: leads a new session whose controlling terminal is
// `slave`, as standard input, output and error, and runs the program there.
[[noreturn]] void exec_leading_terminal(int slave, const std::vector<int> &ignored = {});

// How the program gets its terminal.
enum class Start {
    foreground,     // a job-control shell's foreground job
    background,     // `vending &`: the shell keeps the terminal, in its line editor's modes
    session_leader, // the terminal's session leader itself (tmux, ssh -t, exec vending)
};

// The program on a fresh pseudo-terminal. Except as session leader, a
// small job-control shell runs it as a job: its own process group, the
// terminal handed over with `fg`, taken back when the job stops or ends,
// jobs continued with `bg` and killed as `kill %1` does.
class TerminalSession
{
  public:
    // `ignored`: signals ignored at start, as nohup or a shell's
    // background job leaves them.
    explicit TerminalSession(Start start = Start::foreground, const std::vector<int> &ignored = {});
    ~TerminalSession();
    TerminalSession(const TerminalSession &) = delete;
    TerminalSession &operator=(const TerminalSession &) = delete;

    void type(std::string_view keys) const;

    // Reads until the output collected so far ends with `tail`; fails the
    // test on time-out. Returns everything read by this call.
    std::string read_until(std::string_view tail, std::chrono::milliseconds limit = 5s);
    // Reads whatever comes within `quiet`: to show that nothing does.
    std::string read_for(std::chrono::milliseconds quiet);

    // The shell's job control.
    void fg() const;
    void bg() const;
    void kill_job(int signal_number) const; // the signal, then SIGCONT, as `kill %1`

    [[nodiscard]] termios modes() const;
    [[nodiscard]] const termios &modes_at_start() const { return modes_at_start_; }
    // The modes of the shell's line editor, on the terminal while the shell
    // reads a command line: keys one by one, unechoed.
    [[nodiscard]] const termios &editor_modes() const { return editor_modes_; }
    void set_modes(const termios &modes) const;
    [[nodiscard]] pid_t program() const { return program_; }
    // The process state letter from /proc: 'T' once stopped, 'Z' once dead
    // but not yet reaped, '?' once gone.
    [[nodiscard]] char program_state() const;

    // Waits until the job stops; false if it does not within `limit`.
    bool wait_stopped(std::chrono::milliseconds limit = 5s);
    // Waits until the program has ended and been reaped.
    Ending wait(std::chrono::milliseconds limit = 5s);

  private:
    void command(std::string_view bytes) const;
    // Reads the next change of the job's state that the shell reports,
    // noting the end; false if none comes before `deadline`.
    bool next_change(std::chrono::steady_clock::time_point deadline, int &status);

    int master_ = -1;
    int slave_ = -1;
    int status_pipe_ = -1;
    int command_pipe_ = -1;
    pid_t job_parent_ = -1;
    pid_t program_ = -1;
    termios modes_at_start_{};
    termios editor_modes_{};
    bool ended_ = false;
    Ending ending_;
};

bool same_modes(const termios &a, const termios &b);

// Output on a terminal: every "\n" the program writes arrives as "\r\n".
std::string on_terminal(std::string_view text);

} // namespace child
