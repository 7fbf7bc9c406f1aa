#include "console/terminal.hpp"
#include "vending/sale_loop.hpp"

// Command-line arguments are ignored: the machine has nothing to configure.
int main()
{
    console::Terminal terminal;
    return vending::run_sales(terminal.console());
}
