#include "console/terminal.hpp"

#include "console/platform.hpp"

namespace console
{

Terminal::Terminal()
    : console_(platform::standard_keys(), platform::standard_output(),
               platform::output_is_terminal() ? terminal_clear : transcript_clear)
{
    platform::enter_terminal_mode();
}

Terminal::~Terminal()
{
    // The last screen goes out while the terminal is still ours.
    console_.flush();
    platform::restore_terminal_mode();
}

} // namespace console
