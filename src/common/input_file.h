// Reading a spectrum's files from disk, shared by the text and the
// spectrometer readers of the type unit; not for the window.
#pragma once

#include "spectrum_file.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace kivo {

// Blanks and tabs, which part the values of the text files.
inline bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
// The text without the blanks and tabs at its ends.
inline std::string_view Trim(std::string_view v) {
    while (!v.empty() && IsBlank(v.front())) v.remove_prefix(1);
    while (!v.empty() && IsBlank(v.back())) v.remove_suffix(1);
    return v;
}

// A plain file opened for reading. Its kind is looked at before it is
// opened, and the open does not block: a pipe or a device under a
// spectrum's name is refused, never waited on.
class InputFile {
public:
    explicit InputFile(const std::string& path);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    bool Opened() const { return fd_ >= 0; }
    // Why a file was not opened, as a refusal says it: "not found",
    // "permission denied", "is a directory", "not a regular file", or the
    // system's words for a rarer error.
    std::string Failure() const;
    uint64_t Size() const { return size_; }
    // Reads from the start into buffer until the end of the file or until
    // limit + 1 bytes (so a file that grew past limit is told). used gets the
    // bytes read; false on a read error.
    bool Read(std::string& buffer, uint64_t limit, size_t& used);

private:
    int fd_ = -1;
    int error_ = 0; // errno of a failed look or open; NotRegular for a pipe, device, socket
    uint64_t size_ = 0;
    static constexpr int NotRegular = -1;
};

// Read, with the outcome in r: CannotOpen on a read error, TooLarge (with
// the bytes seen) for a file past MaxFileBytes; true when the bytes may be
// used.
bool ReadCapped(InputFile& file, std::string& buffer, uint64_t limit, size_t& used, ReadResult& r);

// Every text file Kivo reads comes through here: its first limit bytes
// into buffer, text viewing them without a leading UTF-8 byte-order mark.
// A file that cannot be opened is CannotOpen with InputFile::Failure as the
// reason, one larger than MaxFileBytes TooLarge; true when text may be used.
bool ReadText(const std::string& path, uint64_t limit, std::string& buffer, std::string_view& text,
              ReadResult& r);

// Why a text in which a reader found nothing to read holds nothing: "empty",
// "not text" (a NUL byte or a UTF-16 byte-order mark: binary data, UTF-16
// or UTF-32), or "" for a text that simply lacks it.
std::string_view EmptyOrNotText(std::string_view text);

// The end of every read: a spectrum recorded with a falling field (more than
// nine tenths of its steps going down) is turned round, and count, the point
// count, and the amplitude go into p.
void FinishPoints(ParamSpec& p, float* x, float* y, int count);

} // namespace kivo
