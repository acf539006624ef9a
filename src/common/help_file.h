// The help file.
#pragma once

#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "text_files.h"

namespace kivo {

// ---- Help file --------------------------------------------------------------

// The help text: topics, each a line "#" followed by the topic's name, its
// lines, and a line that is exactly "#"; a line "###" ends the help.
constexpr int HelpMaxLines = 500;
constexpr int HelpLineLength = 128; // characters, not bytes, in a UTF-8 file
constexpr int HelpTopicLines = 59;  // what the help box shows under the name

struct HelpText {
    std::vector<std::string> Lines; // as held: cut to HelpLineLength, at most HelpMaxLines
    CodePage Page = CodePage::Utf8; // of the held lines together
};

// The lines held of a help file's text: up to and including a line "###", or
// to the end; CR LF or LF line ends.
HelpText ReadHelpText(std::string_view text);
// The text of a topic: the lines after the first line equal to key ("#" and
// the name), up to a line "#" or "###", never past line HelpMaxLines - 1,
// at most HelpTopicLines of them. Empty when no line is the key.
std::vector<std::string> HelpTopic(const HelpText& help, std::string_view key);
// The first n characters of a line of the given code page.
std::string CutToCharacters(std::string_view line, CodePage page, size_t n);

} // namespace kivo
