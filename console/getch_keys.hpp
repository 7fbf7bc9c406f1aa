#pragma once

#include "console/key_source.hpp"

#include <optional>

namespace console
{

// The keyboard calls of the Windows C runtime, behind an interface so that
// the way their codes become keys can be tested anywhere.
class GetchRuntime
{
  public:
    GetchRuntime(const GetchRuntime &) = delete;
    GetchRuntime &operator=(const GetchRuntime &) = delete;
    GetchRuntime(GetchRuntime &&) = delete;
    GetchRuntime &operator=(GetchRuntime &&) = delete;

    // _getch: the next code, without echo; a negative value when the
    // console can give no more.
    virtual int read_code() = 0;
    // _kbhit: whether a code is waiting, such as the second code of a press.
    virtual bool code_waiting() = 0;
    // Ends the program as Ctrl-C ends a console program; returns only when
    // this process ignores Ctrl-C, and the press is then an ordinary key.
    virtual void interrupt() = 0;

  protected:
    // Never deleted through the interface, so the destructor need not be
    // virtual and the program needs no operator delete.
    GetchRuntime() = default;
    ~GetchRuntime() = default;
};

inline constexpr int getch_ctrl_c = 3;

// Key presses from _getch. Arrows and function keys come as two codes, a
// prefix of 0 or 0xE0 and then the key's own code: both belong to one press,
// and the prefix stands for it, so it selects nothing and is no coin. A
// prefix with no second code behind it (0xE0 is also a letter in some code
// pages) is a key by itself. Ctrl-C arrives as a code, since _getch reads
// the console raw, and is turned back into the interrupt it stands for.
class GetchKeys final : public KeySource
{
  public:
    explicit GetchKeys(GetchRuntime &runtime) noexcept : runtime_(runtime) {}

    std::optional<Key> next_key() override;

  private:
    GetchRuntime &runtime_;
};

} // namespace console
