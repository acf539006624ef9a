// The help file: topics of text lines under "#" and the topic's name.
#include "help_file.h"

#include <algorithm>

namespace kivo {

namespace {

bool Continuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

} // namespace

std::string CutToCharacters(std::string_view line, CodePage page, size_t n) {
    if (page != CodePage::Utf8) return std::string(line.substr(0, n));
    // A character is its lead byte and the continuation bytes after it.
    size_t end = 0, characters = 0;
    while (end < line.size() && characters < n) {
        ++end;
        while (end < line.size() && Continuation(line[end])) ++end;
        ++characters;
    }
    return std::string(line.substr(0, end));
}

HelpText ReadHelpText(std::string_view text) {
    std::vector<std::string_view> lines = TextLines(text, HelpMaxLines);
    if (auto end = std::find(lines.begin(), lines.end(), "###"); end != lines.end())
        lines.erase(end + 1, lines.end());
    // The code page of the whole held text: a line alone is often too short
    // to tell.
    std::string held;
    for (std::string_view line : lines) (held += line) += '\n';
    HelpText help;
    help.Page = GuessCodePage(held);
    help.Lines.reserve(lines.size());
    for (std::string_view line : lines)
        help.Lines.push_back(CutToCharacters(line, help.Page, HelpLineLength));
    return help;
}

std::vector<std::string> HelpTopic(const HelpText& help, std::string_view key) {
    std::vector<std::string> topic;
    const size_t last = std::min(help.Lines.size(), size_t(HelpMaxLines - 1));
    size_t a = 0;
    while (a < last && help.Lines[a] != key) ++a;
    if (a == last) return topic;
    for (++a; a < last && topic.size() < size_t(HelpTopicLines); ++a) {
        const std::string& line = help.Lines[a];
        if (line == "#" || line == "###") break;
        topic.push_back(line);
    }
    return topic;
}

} // namespace kivo
