// Key presses read through the Windows runtime's _getch: two-code keys and
// Ctrl-C, with a scripted runtime.

#include "console/getch_keys.hpp"

#include <gtest/gtest.h>

#include <deque>
#include <optional>
#include <vector>

namespace
{

using console::Key;

// The codes the runtime hands out. Each press is a list of codes: the
// second code of a two-code press is already waiting once the first is read.
class ScriptedRuntime final : public console::GetchRuntime
{
  public:
    explicit ScriptedRuntime(std::vector<std::vector<int>> presses)
    {
        for (const auto &press : presses) {
            presses_.emplace_back(press.begin(), press.end());
        }
    }

    int read_code() override
    {
        if (presses_.empty()) {
            return -1;
        }
        const int code = presses_.front().front();
        presses_.front().pop_front();
        if (presses_.front().empty()) {
            presses_.pop_front();
            between_presses_ = true;
        } else {
            between_presses_ = false;
        }
        return code;
    }

    // Only the rest of the press being read is waiting; the next press is
    // still in the user's future.
    bool code_waiting() override { return !between_presses_; }

    void interrupt() override { ++interrupts; }

    int interrupts = 0;

  private:
    std::deque<std::deque<int>> presses_;
    bool between_presses_ = true;
};

std::vector<int> keys_of(ScriptedRuntime &runtime)
{
    console::GetchKeys keys(runtime);
    std::vector<int> got;
    while (const std::optional<Key> key = keys.next_key()) {
        got.push_back(*key);
    }
    return got;
}

struct GetchCase {
    const char *name;
    std::vector<std::vector<int>> presses;
    std::vector<int> keys;
    int interrupts;
};

TEST(GetchKeys, EachPressIsOneKey)
{
    const GetchCase cases[] = {
        {"letters", {{'n'}, {'s'}, {'e'}}, {'n', 's', 'e'}, 0},
        {"arrow_up_0xe0_prefix", {{0xe0, 0x48}, {'q'}}, {-32, 'q'}, 0},
        {"f1_0x00_prefix", {{0x00, 0x3b}, {'n'}}, {0, 'n'}, 0},
        {"second_code_looks_like_a_coin", {{0xe0, 'e'}, {0x00, 's'}}, {-32, 0}, 0},
        {"lone_0xe0_is_a_letter_and_takes_nothing_more", {{0xe0}, {'n'}}, {-32, 'n'}, 0},
        {"code_page_letter_above_127", {{0x82}}, {-126}, 0},
        {"ctrl_c_interrupts", {{console::getch_ctrl_c}, {'n'}}, {3, 'n'}, 1},
        {"no_more_codes", {}, {}, 0},
    };
    for (const GetchCase &c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedRuntime runtime(c.presses);
        EXPECT_EQ(keys_of(runtime), c.keys);
        EXPECT_EQ(runtime.interrupts, c.interrupts);
    }
}

} // namespace
