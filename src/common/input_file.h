// Reading a spectrum's files from disk, shared by the text and the
// spectrometer readers of the type unit; not for the window.
#pragma once

#include "TYPEKIVO1_3.h"

#include <cstdint>
#include <string>

namespace kivo {

// A plain file opened for reading. Not blocking: a pipe under a spectrum's
// name must not hang the read.
class InputFile {
public:
    explicit InputFile(const std::string& path);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    bool Opened() const { return fd_ >= 0; }
    int Error() const { return error_; } // errno of a failed open
    uint64_t Size() const { return size_; }
    // Reads from the start into buffer until the end of the file or until
    // limit + 1 bytes (so a file that grew past limit is told). used gets the
    // bytes read; false on a read error.
    bool Read(std::string& buffer, uint64_t limit, size_t& used);

private:
    int fd_ = -1;
    int error_ = 0;
    uint64_t size_ = 0;
};

// Read, with the outcome in r: CannotOpen on a read error, TooLarge (with
// the bytes seen) for a file past MaxFileBytes; true when the bytes may be
// used.
bool ReadCapped(InputFile& file, std::string& buffer, uint64_t limit, size_t& used, ReadResult& r);

// The end of every read: a spectrum recorded with a falling field (more than
// nine tenths of its steps going down) is turned round, and count, the point
// count, and the amplitude go into p.
void FinishPoints(ParamSpec& p, float* x, float* y, int count);

} // namespace kivo
