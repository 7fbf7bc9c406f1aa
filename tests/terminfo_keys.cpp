#include "terminfo_keys.hpp"

#include <cstdio>
#include <memory>

namespace terminfo
{
namespace
{

bool is_octal(char c)
{
    return c >= '0' && c <= '7';
}

} // namespace

std::string unescape(const std::string &value)
{
    std::string bytes;
    for (std::size_t at = 0; at < value.size(); ++at) {
        const char c = value[at];
        if (c == '^' && at + 1 < value.size()) {
            const char control = value[++at];
            bytes += control == '?' ? '\x7f' : static_cast<char>(control & 0x1f);
            continue;
        }
        if (c != '\\' || at + 1 == value.size()) {
            bytes += c;
            continue;
        }
        const char escaped = value[++at];
        switch (escaped) {
        case 'E':
        case 'e':
            bytes += '\x1b';
            break;
        case 'n':
        case 'l':
            bytes += '\n';
            break;
        case 'r':
            bytes += '\r';
            break;
        case 't':
            bytes += '\t';
            break;
        case 'b':
            bytes += '\b';
            break;
        case 'f':
            bytes += '\f';
            break;
        case 's':
            bytes += ' ';
            break;
        default:
            if (is_octal(escaped)) {
                int code = escaped - '0';
                for (int digits = 1; digits < 3 && at + 1 < value.size() && is_octal(value[at + 1]);
                     ++digits) {
                    code = code * 8 + (value[++at] - '0');
                }
                // terminfo cannot hold a NUL: \0 stands for the byte 0200.
                bytes += static_cast<char>(code == 0 ? 0200 : code);
            } else {
                bytes += escaped; // \\ \^ \, \:
            }
        }
    }
    return bytes;
}

std::vector<KeyString> key_strings(const std::string &terminal)
{
    std::vector<KeyString> keys;
    const std::string command = "infocmp -1 -x " + terminal + " 2>/dev/null";
    const std::unique_ptr<FILE, int (*)(FILE *)> listing(popen(command.c_str(), "r"), pclose);
    if (!listing) {
        return keys;
    }
    std::string line;
    for (int c = std::fgetc(listing.get()); c != EOF; c = std::fgetc(listing.get())) {
        if (c != '\n') {
            line += static_cast<char>(c);
            continue;
        }
        // "\tkcuu1=\EOA," : one capability a line, after a tab.
        const std::size_t equals = line.find('=');
        if (line.size() > 2 && line[0] == '\t' && line[1] == 'k' && equals != std::string::npos &&
            line.back() == ',') {
            std::string name = line.substr(1, equals - 1);
            if (name != "kmous" && name != "kxIN" && name != "kxOUT") {
                keys.push_back(
                    {terminal, name, unescape(line.substr(equals + 1, line.size() - equals - 2))});
            }
        }
        line.clear();
    }
    return keys;
}

std::string with_alt(const std::string &bytes)
{
    return "\x1b" + bytes;
}

} // namespace terminfo
