// Files opened for reading: their kind, the words for a file that cannot be
// read, and the one road every text file takes in.
#include "input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kivo {

InputFile::InputFile(const std::string& path) {
    struct stat st {};
    auto regular = [this, &st] {
        if (S_ISREG(st.st_mode)) return true;
        error_ = S_ISDIR(st.st_mode) ? EISDIR : NotRegular;
        return false;
    };
    // Looked at before it is opened: opening a device may have effects of
    // its own.
    if (::stat(path.c_str(), &st) != 0) {
        error_ = errno;
        return;
    }
    if (!regular()) return;
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) {
        error_ = errno;
        return;
    }
    // Looked at again: the name may have been given to another file between.
    if (::fstat(fd_, &st) != 0) {
        error_ = errno;
        st.st_mode = 0;
    }
    if (error_ != 0 || !regular()) {
        ::close(fd_);
        fd_ = -1;
        return;
    }
    size_ = uint64_t(st.st_size);
}

InputFile::~InputFile() {
    if (fd_ >= 0) ::close(fd_);
}

std::string InputFile::Failure() const {
    switch (error_) {
    case ENOENT:
    case ENOTDIR:
        return "not found";
    case EACCES:
    case EPERM:
        return "permission denied";
    case EISDIR:
        return "is a directory";
    case NotRegular:
        return "not a regular file";
    default:
        return std::strerror(error_);
    }
}

bool InputFile::Read(std::string& buffer, uint64_t limit, size_t& used) {
    used = 0;
    const size_t cap = size_t(limit) + 1;
    // One byte more than the file tells a file that grows while it is read.
    if (buffer.size() < std::min<size_t>(size_t(size_) + 1, cap))
        buffer.resize(std::min<size_t>(size_t(size_) + 1, cap));
    for (;;) {
        if (used == cap) return true;
        if (used == buffer.size()) buffer.resize(std::min<size_t>(used * 2, cap));
        const size_t room = std::min(buffer.size(), cap) - used;
        const ssize_t n = ::read(fd_, buffer.data() + used, room);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n == 0;
        used += size_t(n);
    }
}

bool ReadCapped(InputFile& file, std::string& buffer, uint64_t limit, size_t& used, ReadResult& r) {
    if (!file.Read(buffer, limit, used)) {
        r.Status = ReadStatus::CannotOpen;
        r.Reason = std::strerror(errno);
        return false;
    }
    if (used > MaxFileBytes) {
        r.Status = ReadStatus::TooLarge;
        r.Size = used;
        return false;
    }
    return true;
}

bool ReadText(const std::string& path, uint64_t limit, std::string& buffer, std::string_view& text,
              ReadResult& r) {
    InputFile file(path);
    if (!file.Opened()) {
        r.Status = ReadStatus::CannotOpen;
        r.Reason = file.Failure();
        return false;
    }
    if (file.Size() > MaxFileBytes) {
        r.Status = ReadStatus::TooLarge;
        r.Size = file.Size();
        return false;
    }
    size_t used = 0;
    if (!ReadCapped(file, buffer, limit, used, r)) return false;
    text = std::string_view(buffer.data(), std::min<size_t>(used, size_t(limit)));
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark)
        text.remove_prefix(kByteOrderMark.size());
    return true;
}

std::string_view EmptyOrNotText(std::string_view text) {
    if (text.empty()) return "empty";
    const std::string_view start = text.substr(0, 2);
    if (start == "\xFF\xFE" || start == "\xFE\xFF" || text.find('\0') != std::string_view::npos)
        return "not text";
    return {};
}

bool ReadTextFile(const std::string& path, std::string& text, size_t maxBytes) {
    std::string buffer;
    std::string_view read;
    ReadResult r;
    if (!ReadText(path, maxBytes, buffer, read, r)) return false;
    const size_t from = size_t(read.data() - buffer.data());
    buffer.resize(from + read.size());
    buffer.erase(0, from);
    text = std::move(buffer);
    return true;
}

} // namespace kivo
