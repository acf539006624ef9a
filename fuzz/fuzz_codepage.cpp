// A spectrum's text lines on the screen and back: any bytes show and store
// unchanged, any edited text stores to bytes that show as typed.
#include "TYPEKIVO1_3.h"
#include "text_lines.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const QString shown = ShowText(bytes);
    if (StoreText(shown, bytes) != bytes) std::abort(); // a line not edited keeps its bytes
    // Bytes taken for UTF-8 must be UTF-8, or the screen would show them
    // other than they are.
    if (kivo::GuessCodePage(bytes) == kivo::CodePage::Utf8 &&
        QString::fromStdString(bytes).toStdString() != bytes)
        std::abort();

    // The first part stands for a line read from a file, the rest for what
    // the user made of it.
    const size_t split = size == 0 ? 0 : data[0] % (size + 1);
    const std::string original = bytes.substr(0, split);
    const QString typed = QString::fromUtf8(bytes.data() + split, qsizetype(size - split));
    if (ShowText(StoreText(typed, original)) != typed) std::abort();
    return 0;
}
