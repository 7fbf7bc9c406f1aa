#include "screen.hpp"

#include <vterm.h>

namespace screen
{

Screen::Screen(int rows, int columns)
    : terminal_(vterm_new(rows, columns)), rows_(rows), columns_(columns)
{
    vterm_set_utf8(terminal_, 1);
    vterm_screen_reset(vterm_obtain_screen(terminal_), 1);
    vterm_output_set_callback(
        terminal_,
        [](const char *bytes, size_t length, void *user) {
            static_cast<Screen *>(user)->answers_.append(bytes, length);
        },
        this);
}

Screen::~Screen()
{
    vterm_free(terminal_);
}

void Screen::feed(std::string_view bytes)
{
    vterm_input_write(terminal_, bytes.data(), bytes.size());
}

std::string Screen::take_answers()
{
    std::string answers;
    answers.swap(answers_);
    return answers;
}

std::vector<std::string> Screen::rows() const
{
    const VTermScreen *screen = vterm_obtain_screen(terminal_);
    std::vector<std::string> rows;
    for (int row = 0; row < rows_; ++row) {
        std::string text(static_cast<std::size_t>(columns_) * 4, '\0');
        const VTermRect rect{row, row + 1, 0, columns_};
        text.resize(vterm_screen_get_text(screen, text.data(), text.size(), rect));
        while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) {
            text.pop_back();
        }
        rows.push_back(text);
    }
    while (!rows.empty() && rows.back().empty()) {
        rows.pop_back();
    }
    return rows;
}

std::string Screen::text() const
{
    std::string text;
    for (const std::string &row : rows()) {
        text += row + "\n";
    }
    return text;
}

std::vector<std::string> rendered(std::string_view output, int rows, int columns)
{
    Screen screen(rows, columns);
    screen.feed(output);
    return screen.rows();
}

} // namespace screen
