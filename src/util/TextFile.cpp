#include "util/TextFile.h"

#include <QByteArray>
#include <QFile>
#include <QSaveFile>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace textfile {

namespace {

constexpr char kCtrlZ = 26;

// Writes all bytes, retrying on short writes and interruptions.
bool WriteFully(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

// Opens the file only when it is a regular one (-1 otherwise). Opening without blocking
// keeps a pipe or a device of that name from holding the window until someone is at its
// other end; for a regular file the flag changes nothing.
int OpenRegular(const std::string& path, int flags) {
    const int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

std::vector<std::string> SplitLines(std::string_view bytes) {
    const auto eof = bytes.find(kCtrlZ);
    if (eof != std::string_view::npos) bytes = bytes.substr(0, eof);
    std::vector<std::string> lines;
    std::string line;
    for (char c : bytes) {
        if (c == '\n') {
            lines.push_back(std::move(line));
            line.clear();
        } else if (c != '\r') {
            line.push_back(c);
        }
    }
    // A CR before LF and a stray CR are both dropped, which is exactly the rule; what is
    // left after the last LF is a line of its own unless nothing is left.
    if (!line.empty()) lines.push_back(std::move(line));
    return lines;
}

std::optional<std::string> ReadAll(const std::string& path) {
    const int fd = OpenRegular(path, O_RDONLY);
    if (fd < 0) return std::nullopt;
    std::string content;
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0) break;
        content.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return content;
}

std::optional<std::vector<std::string>> ReadLines(const std::string& path) {
    auto content = ReadAll(path);
    if (!content) return std::nullopt;
    return SplitLines(*content);
}

bool Append(const std::string& path, std::string_view bytes) {
    const int fd = OpenRegular(path, O_WRONLY | O_CREAT | O_APPEND);
    if (fd < 0) return false;
    // Other writers of the same file are kept out while the line is written; a file held
    // by someone else loses this line rather than interleaving with theirs.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    // A disk that takes only part of the bytes would leave half a line, which the next
    // reading takes for a record of its own: what was written of it is taken back.
    struct stat st {};
    const bool sized = ::fstat(fd, &st) == 0;
    const bool ok = sized && WriteFully(fd, bytes);
    if (!ok && sized) static_cast<void>(::ftruncate(fd, st.st_size));
    ::close(fd);
    return ok;
}

bool WriteReplacing(const std::string& path, std::string_view bytes) {
    // QSaveFile writes a temporary file of a name of its own beside the target and renames
    // it over the target once it is whole; a symbolic link keeps pointing at its target,
    // which is what gets replaced. Where the folder takes no new file but the file itself
    // is writable, it is written in place: the user's choice is saved, if not all or
    // nothing.
    QSaveFile file(QFile::decodeName(QByteArray(path.data(), std::ssize(path))));
    file.setDirectWriteFallback(true);
    // Unbuffered, so that every byte is written by write() itself: a buffer flushed only by
    // commit() can fail there unnoticed (a full disk), and commit() then renames the short
    // temporary file over the target.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return false;
    if (file.write(bytes.data(), std::ssize(bytes)) != std::ssize(bytes)) {
        file.cancelWriting();
        file.commit();  // discards the temporary file
        return false;
    }
    return file.commit();
}

}  // namespace textfile
