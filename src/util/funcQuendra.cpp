#include "util/funcQuendra.h"

#include <QCoreApplication>
#include <QThread>

#include <dirent.h>
#include <sys/stat.h>

#include <cstring>
#include <ctime>
#include <limits>
#include <optional>

namespace {

// Matches a directory-search pattern where '*' stands for any run and '?' for one byte.
bool WildcardMatch(const char* pattern, const char* name) {
    const char* star = nullptr;
    const char* resume = nullptr;
    while (*name) {
        if (*pattern == '?' || (*pattern && *pattern != '*' && *pattern == *name)) {
            ++pattern;
            ++name;
        } else if (*pattern == '*') {
            star = pattern++;
            resume = name;
        } else if (star) {
            pattern = star + 1;
            name = ++resume;
        } else {
            return false;
        }
    }
    while (*pattern == '*')
        ++pattern;
    return *pattern == '\0';
}

// The first entry a search for Path finds, as stat data; false when there is none.
bool FindFirstEntry(const std::string& path, struct stat& found) {
    if (path.empty()) return false;
    const auto slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.find_first_of("*?") == std::string::npos) {
        return ::stat(path.c_str(), &found) == 0;
    }
    const std::string dir = slash == std::string::npos ? std::string(".")
                            : slash == 0               ? std::string("/")
                                                       : path.substr(0, slash);
    DIR* d = ::opendir(dir.c_str());
    if (!d) return false;
    bool hit = false;
    while (const dirent* e = ::readdir(d)) {
        if (!WildcardMatch(name.c_str(), e->d_name)) continue;
        const std::string full = dir + "/" + e->d_name;
        if (::stat(full.c_str(), &found) == 0) {
            hit = true;
            break;
        }
    }
    ::closedir(d);
    return hit;
}

// Searching again from the start after every replacement, done in one sweep: `done` is the
// text before the search position and holds no occurrence, so the first occurrence is the one
// that the next byte completes at its end; the bytes still to look at wait in `pending`, next
// byte last, and a replacement goes back onto it to be looked at again with what follows.
// Nothing when more than `maxReplacements` would be needed.
//
// Without a limit this ends for every Replacement not longer than Find: a shorter one shortens
// the text; one of the same length but other bytes makes the text a different one of the same
// length that sorts strictly after (or strictly before) the last, and there are finitely many.
std::optional<std::string> RescanReplacing(const std::string& text, const std::string& find,
                                           const std::string& replacement, size_t maxReplacements) {
    std::string done;
    done.reserve(text.size());
    std::string pending(text.rbegin(), text.rend());
    const std::string replacementReversed(replacement.rbegin(), replacement.rend());
    size_t replacements = 0;
    while (!pending.empty()) {
        done.push_back(pending.back());
        pending.pop_back();
        if (done.back() != find.back() || !done.ends_with(find)) continue;
        if (replacements++ == maxReplacements) return std::nullopt;
        done.resize(done.size() - find.size());
        pending += replacementReversed;
    }
    return done;
}

// Each occurrence of Find in Text replaced once, from left to right.
std::string ReplaceOnce(const std::string& text, const std::string& find,
                        const std::string& replacement) {
    std::string result;
    size_t from = 0;
    for (size_t at; (at = text.find(find, from)) != std::string::npos; from = at + find.size()) {
        result.append(text, from, at - from);
        result += replacement;
    }
    result.append(text, from);
    return result;
}

}  // namespace

std::uint32_t TickCount32() {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    const auto ms = static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
                    static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms);
}

void Delay(std::uint32_t Milliseconds) {
    const std::uint32_t passes = Milliseconds / 10 + 1;
    const std::uint32_t measured = Milliseconds % 10;
    for (std::uint32_t i = 0; i < passes; ++i) {
        QThread::msleep(1);
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    const std::uint32_t start = TickCount32();
    for (;;) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        const std::uint32_t now = TickCount32();
        if (now - start >= measured || now < start) break;
    }
}

bool FileExistsAny(const std::string& Path) {
    struct stat st {};
    return FindFirstEntry(Path, st);
}

std::int32_t FileSizeOf(const std::string& Path) {
    struct stat st {};
    if (!FindFirstEntry(Path, st) || S_ISDIR(st.st_mode)) return 0;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(st.st_size & 0xFFFFFFFFu));
}

// Provided by the executable (generated from the project version); absent in programs that
// carry no version record, such as the unit tests.
extern "C" const std::uint32_t torvane_version_record[] __attribute__((weak));

std::string GetExeVersion() {
    return VersionFromRecord(torvane_version_record);
}

std::string VersionFromRecord(const std::uint32_t* block) {
    if (block == nullptr) return "<Unknown>";
    std::uint16_t length = 0;
    std::memcpy(&length, block, sizeof length);
    const std::uint32_t words = length / 4u;
    for (std::uint32_t i = 0; i < words; ++i) {
        if (block[i] != 0xFEEF04BDu) continue;
        if ((i + 6) * 4u > length) break;
        const std::uint32_t ms = block[i + 4];
        const std::uint32_t ls = block[i + 5];
        return std::to_string(ms >> 16) + "." + std::to_string(ms & 0xFFFFu) + "." +
               std::to_string(ls >> 16) + "." + std::to_string(ls & 0xFFFFu);
    }
    return "<Unknown>";
}

std::string AddBackslash(std::string Path) {
    if (!Path.empty() && Path.back() != kPathSeparator) Path.push_back(kPathSeparator);
    return Path;
}

std::string ReplaceAll(std::string Text, const std::string& Find, const std::string& Replacement) {
    if (Find.empty() || Replacement == Find) return Text;
    const bool lengthens = Replacement.size() > Find.size();
    auto rescanned = RescanReplacing(Text, Find, Replacement,
                                     lengthens ? Text.size() : std::numeric_limits<size_t>::max());
    return rescanned ? std::move(*rescanned) : ReplaceOnce(Text, Find, Replacement);
}

std::string TextAfter(std::string Text, const std::string& Token) {
    if (Token.empty()) return Text;
    const auto pos = Text.find(Token);
    if (pos == std::string::npos) return Text;
    Text.erase(0, pos + Token.size());
    if (Token.size() == 1) {
        const auto keep = Text.find_first_not_of(Token[0]);
        Text.erase(0, keep == std::string::npos ? Text.size() : keep);
    }
    return Text;
}

std::string TrimSpaces(std::string Text) {
    const auto first = Text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    const auto last = Text.find_last_not_of(' ');
    return Text.substr(first, last - first + 1);
}

std::string LowerCaseCyr(std::string Text) {
    for (char& c : Text) {
        const auto b = static_cast<unsigned char>(c);
        if ((b >= 0x41 && b <= 0x5A) || (b >= 0xC0 && b <= 0xDF)) c = static_cast<char>(b + 0x20);
    }
    return Text;
}
