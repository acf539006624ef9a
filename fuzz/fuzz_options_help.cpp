// Any byte sequence as an options file and as a help file: the readers must
// neither crash nor take a value that would leave the window unusable, and
// the help must stay within its limits.
#include "TYPEKIVO1_3.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

size_t Characters(const std::string& line, kivo::CodePage page) {
    if (page != kivo::CodePage::Utf8) return line.size();
    size_t n = 0;
    for (char c : line) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kivo;
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    OptionsFile o;
    o.Layout = {698, 815, 445, 801, 152, 445, 815, 130, 548, 1192, 17};
    const OptionsReadResult r = ReadOptionsText(text, o);
    if (o.NumAver < 2 || !(o.KoeCu > 0) || !std::isfinite(o.KoeCu)) std::abort();
    if (o.Layout.WinHeight < 240 || o.Layout.FrameHeight < 40 || std::abs(o.Layout.FontHeight) < 6)
        std::abort();
    if (o.Layout.LabelTop >= o.Layout.WinHeight || o.Layout.FrameTop >= o.Layout.WinHeight)
        std::abort();
    if (r.AllTaken() != r.FaultText().empty()) std::abort();
    // What was taken is written and read back whole; the factor keeps its 15 digits.
    OptionsFile again = o;
    if (!ReadOptionsText(FormatOptions(o), again).AllTaken()) std::abort();
    if (FormatOptions(again) != FormatOptions(o)) std::abort();

    const HelpText help = ReadHelpText(text);
    if (help.Lines.size() > size_t(HelpMaxLines)) std::abort();
    for (const std::string& line : help.Lines) {
        if (Characters(line, help.Page) > size_t(HelpLineLength)) std::abort();
        if (!line.empty() && line[0] == '#' &&
            HelpTopic(help, line).size() > size_t(HelpTopicLines))
            std::abort();
    }
    return 0;
}
