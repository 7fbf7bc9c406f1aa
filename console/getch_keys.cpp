#include "console/getch_keys.hpp"

namespace console
{

std::optional<Key> GetchKeys::next_key()
{
    const int first = runtime_.read_code();
    if (first < 0) {
        return std::nullopt;
    }
    if (first == getch_ctrl_c) {
        runtime_.interrupt();
    } else if ((first == 0x00 || first == 0xe0) && runtime_.code_waiting()) {
        static_cast<void>(runtime_.read_code());
    }
    return static_cast<Key>(static_cast<unsigned char>(first));
}

} // namespace console
