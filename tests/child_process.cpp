#include "child_process.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace child
{
namespace
{

using Clock = std::chrono::steady_clock;

int milliseconds_left(Clock::time_point deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::max<long long>(0, left.count()));
}

Ending ending_of(int status)
{
    Ending ending;
    ending.finished = true;
    if (WIFEXITED(status)) {
        ending.exit_status = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        ending.signal = WTERMSIG(status);
    }
    return ending;
}

// In a forked child, before exec. The argument list is built here, which
// allocates: the tests fork only while they run a single thread.
[[noreturn]] void exec_program(const std::vector<std::string> &arguments,
                               const std::vector<int> &ignored = {})
{
    // A signal ignored or blocked here would stay so in the program; a
    // shell puts the job-control signals back to default for its jobs.
    for (const int signal_number : {SIGPIPE, SIGTTOU, SIGTTIN, SIGTSTP}) {
        signal(signal_number, SIG_DFL);
    }
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    const rlimit no_core{0, 0};
    setrlimit(RLIMIT_CORE, &no_core); // a SIGQUIT test must not leave a core file
    for (const int signal_number : ignored) {
        signal(signal_number, SIG_IGN);
    }

    std::vector<char *> argv;
#ifdef VENDING_LAUNCHER
    argv.push_back(const_cast<char *>(VENDING_LAUNCHER)); // e.g. Wine for the Windows program
#endif
    argv.push_back(const_cast<char *>(VENDING_BINARY));
    for (const std::string &argument : arguments) {
        argv.push_back(const_cast<char *>(argument.c_str()));
    }
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
}

#ifdef VENDING_CRLF_LINE_ENDS
// The program's line ends are CRLF here: every line feed must come with its
// carriage return, which is then dropped to compare with the common texts.
std::string without_carriage_returns(std::string_view output)
{
    std::string lines;
    for (std::size_t at = 0; at < output.size(); ++at) {
        if (output[at] == '\n') {
            EXPECT_TRUE(at > 0 && output[at - 1] == '\r') << "bare line feed at byte " << at;
        }
        if (output[at] == '\r' && at + 1 < output.size() && output[at + 1] == '\n') {
            continue;
        }
        lines += output[at];
    }
    return lines;
}
#endif

} // namespace

PipedRun run_piped(std::string_view input, const std::vector<std::string> &arguments,
                   std::chrono::milliseconds limit, InputFrom from)
{
    signal(SIGPIPE, SIG_IGN); // the program may end before taking all its input
    int to_program[2];
    int from_program[2];
    EXPECT_EQ(pipe2(to_program, O_CLOEXEC), 0);
    EXPECT_EQ(pipe2(from_program, O_CLOEXEC), 0);
    if (from == InputFrom::file) {
        // The program reads a file on disk; the pipe's write end goes unused.
        char path[] = "/tmp/vending-keys-XXXXXX";
        const int file = mkstemp(path);
        EXPECT_GE(file, 0);
        unlink(path);
        EXPECT_EQ(write(file, input.data(), input.size()), static_cast<ssize_t>(input.size()));
        lseek(file, 0, SEEK_SET);
        dup3(file, to_program[0], O_CLOEXEC);
        close(file);
        input = {};
    }
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(to_program[0], STDIN_FILENO);
        dup2(from_program[1], STDOUT_FILENO);
        exec_program(arguments);
    }
    close(to_program[0]);
    close(from_program[1]);
    fcntl(to_program[1], F_SETFL, O_NONBLOCK);

    PipedRun run;
    const auto deadline = Clock::now() + limit;
    int input_fd = to_program[1];
    if (input.empty()) {
        close(input_fd);
        input_fd = -1;
    }
    bool output_open = true;
    while (output_open && milliseconds_left(deadline) > 0) {
        pollfd fds[2] = {{from_program[0], POLLIN, 0}, {input_fd, POLLOUT, 0}};
        if (poll(fds, input_fd >= 0 ? 2 : 1, milliseconds_left(deadline)) <= 0) {
            continue;
        }
        if (fds[0].revents != 0) {
            char buffer[65536];
            const ssize_t count = read(from_program[0], buffer, sizeof buffer);
            if (count > 0) {
                run.output.append(buffer, static_cast<std::size_t>(count));
            } else {
                output_open = false;
            }
        }
        if (input_fd >= 0 && fds[1].revents != 0) {
            const ssize_t count = write(input_fd, input.data(), input.size());
            if (count > 0) {
                input.remove_prefix(static_cast<std::size_t>(count));
            }
            if (count < 0 && errno != EAGAIN) {
                input = {};
            }
            if (input.empty()) {
                close(input_fd);
                input_fd = -1;
            }
        }
    }
    if (input_fd >= 0) {
        close(input_fd);
    }
    close(from_program[0]);

    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (milliseconds_left(deadline) == 0) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return run; // not finished
        }
        usleep(1000);
    }
    run.ending = ending_of(status);
#ifdef VENDING_CRLF_LINE_ENDS
    run.output = without_carriage_returns(run.output);
#endif
    return run;
}

AbandonedRun run_with_reader_leaving(std::string_view keys, std::chrono::milliseconds limit)
{
    signal(SIGPIPE, SIG_IGN);
    int to_program[2];
    int from_program[2];
    EXPECT_EQ(pipe2(to_program, O_CLOEXEC), 0);
    EXPECT_EQ(pipe2(from_program, O_CLOEXEC), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(to_program[0], STDIN_FILENO);
        dup2(from_program[1], STDOUT_FILENO);
        exec_program({}, {SIGPIPE});
    }
    close(to_program[0]);
    close(from_program[1]);
    fcntl(to_program[1], F_SETFL, O_NONBLOCK);

    AbandonedRun run;
    const auto deadline = Clock::now() + limit;
    std::string endless;
    while (endless.size() < 4096) {
        endless += keys;
    }
    auto feed = [&] { static_cast<void>(write(to_program[1], endless.data(), endless.size())); };
    // The reader takes one byte, then leaves.
    feed();
    pollfd first{from_program[0], POLLIN, 0};
    char byte = 0;
    EXPECT_EQ(poll(&first, 1, milliseconds_left(deadline)), 1);
    EXPECT_EQ(read(from_program[0], &byte, 1), 1);
    close(from_program[0]);
    const auto reader_left = Clock::now();

    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (milliseconds_left(deadline) == 0) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            close(to_program[1]);
            return run; // not finished
        }
        feed(); // keys never run out, as with `yes`
        usleep(1000);
    }
    close(to_program[1]);
    run.ending = ending_of(status);
    run.after_reader_left =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - reader_left);
    return run;
}

void exec_leading_terminal(int slave, const std::vector<int> &ignored)
{
    setsid();
    ioctl(slave, TIOCSCTTY, 0);
    dup2(slave, STDIN_FILENO);
    dup2(slave, STDOUT_FILENO);
    dup2(slave, STDERR_FILENO);
    exec_program({}, ignored);
}

namespace
{

// The job-control shell, in its own process: leads the terminal's session,
// runs the program as a job and obeys the test's commands, one byte each
// (a signal number follows 'k'), reporting every change of the job's state.
[[noreturn]] void run_shell(int slave, int reports, int commands, Start start,
                            const termios &cooked, const termios &editor,
                            const std::vector<int> &ignored)
{
    setsid();
    ioctl(slave, TIOCSCTTY, 0);
    for (const int signal_number : {SIGTTOU, SIGTTIN, SIGTSTP}) {
        signal(signal_number, SIG_IGN); // a shell never stops itself
    }
    if (start == Start::background) {
        tcsetattr(slave, TCSANOW, &editor);
    }
    const pid_t program = fork();
    if (program == 0) {
        setpgid(0, 0);
        if (start == Start::foreground) {
            tcsetpgrp(slave, getpid());
        }
        dup2(slave, STDIN_FILENO);
        dup2(slave, STDOUT_FILENO);
        dup2(slave, STDERR_FILENO);
        exec_program({}, ignored);
    }
    setpgid(program, program);
    if (start == Start::foreground) {
        tcsetpgrp(slave, program);
    }
    write(reports, &program, sizeof program);
    for (;;) {
        int status = 0;
        if (waitpid(program, &status, WNOHANG | WUNTRACED | WCONTINUED) == program) {
            if (!WIFCONTINUED(status)) {
                tcsetpgrp(slave, getpgrp()); // stopped or ended: the shell's turn
            }
            write(reports, &status, sizeof status);
            if (WIFEXITED(status) || WIFSIGNALED(status)) {
                _exit(0);
            }
        }
        pollfd pending{commands, POLLIN, 0};
        if (poll(&pending, 1, 2) <= 0) {
            continue;
        }
        char command = 0;
        if (read(commands, &command, 1) != 1) {
            kill(-program, SIGKILL); // the test has gone
            continue;
        }
        switch (command) {
        case 'f': // fg: the command line is done, the terminal is the job's
            tcsetattr(slave, TCSANOW, &cooked);
            tcsetpgrp(slave, program);
            kill(-program, SIGCONT);
            break;
        case 'b': // bg
            kill(-program, SIGCONT);
            break;
        case 'k': { // kill %1: the signal, then SIGCONT so a stopped job gets it
            char signal_number = 0;
            read(commands, &signal_number, 1);
            kill(-program, signal_number);
            kill(-program, SIGCONT);
            break;
        }
        default:
            break;
        }
    }
}

// The program as the terminal's session leader, with no shell: its parent
// is outside the session, so nothing can continue it and the kernel refuses
// to stop it.
[[noreturn]] void run_session_leader(int slave, int reports, const std::vector<int> &ignored)
{
    const pid_t program = fork();
    if (program == 0) {
        exec_leading_terminal(slave, ignored);
    }
    write(reports, &program, sizeof program);
    int status = 0;
    for (;;) {
        if (waitpid(program, &status, WUNTRACED | WCONTINUED) < 0 && errno != EINTR) {
            _exit(1);
        }
        write(reports, &status, sizeof status);
        if (WIFEXITED(status) || WIFSIGNALED(status)) {
            _exit(0);
        }
    }
}

} // namespace

TerminalSession::TerminalSession(Start start, const std::vector<int> &ignored)
{
    // The kernel's defaults for a new terminal: canonical, echoing, signals on.
    EXPECT_EQ(openpty(&master_, &slave_, nullptr, nullptr, nullptr), 0);
    fcntl(master_, F_SETFD, FD_CLOEXEC);
    fcntl(slave_, F_SETFD, FD_CLOEXEC);
    tcgetattr(slave_, &modes_at_start_);
    editor_modes_ = modes_at_start_;
    editor_modes_.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | IEXTEN);
    editor_modes_.c_iflag &= ~static_cast<tcflag_t>(ICRNL);
    editor_modes_.c_cc[VMIN] = 1;
    editor_modes_.c_cc[VTIME] = 0;
    int reports[2];
    int commands[2];
    EXPECT_EQ(pipe2(reports, O_CLOEXEC), 0);
    EXPECT_EQ(pipe2(commands, O_CLOEXEC), 0);

    job_parent_ = fork();
    if (job_parent_ == 0) {
        close(reports[0]);
        close(commands[1]);
        if (start == Start::session_leader) {
            run_session_leader(slave_, reports[1], ignored);
        }
        run_shell(slave_, reports[1], commands[0], start, modes_at_start_, editor_modes_, ignored);
    }
    close(reports[1]);
    close(commands[0]);
    status_pipe_ = reports[0];
    command_pipe_ = commands[1];
    EXPECT_EQ(read(status_pipe_, &program_, sizeof program_),
              static_cast<ssize_t>(sizeof program_));
}

TerminalSession::~TerminalSession()
{
    if (!ended_ && program_ > 0) {
        kill(program_, SIGKILL);
        wait(5s);
    }
    close(command_pipe_);
    if (job_parent_ > 0) {
        waitpid(job_parent_, nullptr, 0);
    }
    close(status_pipe_);
    close(master_);
    close(slave_);
}

void TerminalSession::command(std::string_view bytes) const
{
    ASSERT_EQ(write(command_pipe_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

void TerminalSession::fg() const
{
    command("f");
}

void TerminalSession::bg() const
{
    command("b");
}

void TerminalSession::kill_job(int signal_number) const
{
    const char bytes[2] = {'k', static_cast<char>(signal_number)};
    command(std::string_view(bytes, 2));
}

void TerminalSession::set_modes(const termios &modes) const
{
    tcsetattr(slave_, TCSANOW, &modes);
}

void TerminalSession::type(std::string_view keys) const
{
    ASSERT_EQ(write(master_, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
}

std::string TerminalSession::read_until(std::string_view tail, std::chrono::milliseconds limit)
{
    std::string got;
    const auto deadline = Clock::now() + limit;
    while (!got.ends_with(tail)) {
        pollfd fd{master_, POLLIN, 0};
        if (poll(&fd, 1, milliseconds_left(deadline)) <= 0) {
            ADD_FAILURE() << "timed out waiting for the output to end with\n"
                          << testing::PrintToString(std::string(tail)) << "\ngot\n"
                          << testing::PrintToString(got);
            return got;
        }
        char buffer[4096];
        const ssize_t count = read(master_, buffer, sizeof buffer);
        if (count <= 0) {
            ADD_FAILURE() << "terminal closed while waiting for output";
            return got;
        }
        got.append(buffer, static_cast<std::size_t>(count));
    }
    return got;
}

std::string TerminalSession::read_for(std::chrono::milliseconds quiet)
{
    std::string got;
    const auto deadline = Clock::now() + quiet;
    pollfd fd{master_, POLLIN, 0};
    while (poll(&fd, 1, milliseconds_left(deadline)) > 0) {
        char buffer[4096];
        const ssize_t count = read(master_, buffer, sizeof buffer);
        if (count <= 0) {
            break;
        }
        got.append(buffer, static_cast<std::size_t>(count));
    }
    return got;
}

termios TerminalSession::modes() const
{
    termios now{};
    tcgetattr(slave_, &now);
    return now;
}

char TerminalSession::program_state() const
{
    std::ifstream stat("/proc/" + std::to_string(program_) + "/stat");
    std::string line;
    std::getline(stat, line);
    const auto after_name = line.rfind(')');
    return after_name == std::string::npos || after_name + 2 >= line.size() ? '?'
                                                                            : line[after_name + 2];
}

bool TerminalSession::next_change(std::chrono::steady_clock::time_point deadline, int &status)
{
    pollfd fd{status_pipe_, POLLIN, 0};
    if (poll(&fd, 1, milliseconds_left(deadline)) <= 0 ||
        read(status_pipe_, &status, sizeof status) != static_cast<ssize_t>(sizeof status)) {
        return false;
    }
    if (WIFEXITED(status) || WIFSIGNALED(status)) {
        ended_ = true;
        ending_ = ending_of(status);
    }
    return true;
}

bool TerminalSession::wait_stopped(std::chrono::milliseconds limit)
{
    const auto deadline = Clock::now() + limit;
    int status = 0;
    while (!ended_ && next_change(deadline, status)) {
        if (WIFSTOPPED(status)) {
            return true;
        }
    }
    return false;
}

Ending TerminalSession::wait(std::chrono::milliseconds limit)
{
    const auto deadline = Clock::now() + limit;
    int status = 0;
    while (!ended_) {
        if (!next_change(deadline, status)) {
            kill(program_, SIGKILL);
            ended_ = true;
            return Ending{};
        }
    }
    return ending_;
}

bool same_modes(const termios &a, const termios &b)
{
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && std::equal(std::begin(a.c_cc), std::end(a.c_cc), b.c_cc) &&
           cfgetispeed(&a) == cfgetispeed(&b) && cfgetospeed(&a) == cfgetospeed(&b);
}

std::string on_terminal(std::string_view text)
{
    std::string converted;
    for (const char c : text) {
        if (c == '\n') {
            converted += '\r';
        }
        converted += c;
    }
    return converted;
}

} // namespace child
