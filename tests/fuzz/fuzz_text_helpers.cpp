// The text helpers, on three texts separated by NUL bytes. ReplaceAll ends, leaves no
// occurrence when it could rescan to the end and otherwise gives the one-pass replacement; on
// short texts it agrees with searching again from the start, step by step. TextAfter gives
// what follows the first token, TrimSpaces what lies between the spaces at both ends,
// LowerCaseCyr no capitals, AddBackslash one closing separator.

#include "util/funcQuendra.h"

#include "FuzzSupport.h"

#include <optional>

namespace {

// Searching again from the start after every replacement, as plainly as it can be written;
// nothing when it needs more than `limit` replacements.
std::optional<std::string> PlainRescan(std::string text, const std::string& find,
                                       const std::string& replacement, std::size_t limit) {
    for (std::size_t done = 0;; ++done) {
        const auto at = text.find(find);
        if (at == std::string::npos) return text;
        if (done == limit) return std::nullopt;
        text.replace(at, find.size(), replacement);
    }
}

std::string OnePass(const std::string& text, const std::string& find,
                    const std::string& replacement) {
    std::string result;
    std::size_t from = 0;
    for (auto at = text.find(find); at != std::string::npos; at = text.find(find, from)) {
        result += text.substr(from, at - from) + replacement;
        from = at + find.size();
    }
    return result + text.substr(from);
}

void CheckReplaceAll(const std::string& text, const std::string& find, const std::string& repl) {
    const std::string result = ReplaceAll(text, find, repl);
    if (find.empty() || repl == find) return FUZZ_CHECK(result == text);
    const bool lengthens = repl.size() > find.size();
    FUZZ_CHECK(result.find(find) == std::string::npos ||
               (lengthens && result == OnePass(text, find, repl)));
    if (text.size() > 32 || repl.size() > 16) return;
    // Replacements that do not lengthen the text always come to an end.
    const auto rescanned = PlainRescan(text, find, repl, lengthens ? text.size() : 1'000'000);
    FUZZ_CHECK(lengthens || rescanned);
    FUZZ_CHECK(result == rescanned.value_or(OnePass(text, find, repl)));
}

void CheckTextAfter(const std::string& text, const std::string& token) {
    const std::string result = TextAfter(text, token);
    const auto first = token.empty() ? std::string::npos : text.find(token);
    if (first == std::string::npos) return FUZZ_CHECK(result == text);
    FUZZ_CHECK(text.ends_with(result));
    const std::string cut =
        text.substr(first + token.size(), text.size() - result.size() - first - token.size());
    if (token.size() > 1) return FUZZ_CHECK(cut.empty());
    FUZZ_CHECK(cut.find_first_not_of(token[0]) == std::string::npos);
    FUZZ_CHECK(!result.starts_with(token));
}

void CheckTrimAndCase(const std::string& text) {
    const std::string trimmed = TrimSpaces(text);
    FUZZ_CHECK(!trimmed.starts_with(' ') && !trimmed.ends_with(' '));
    const auto lead = text.find_first_not_of(' ');
    FUZZ_CHECK(lead == std::string::npos
                   ? trimmed.empty()
                   : text.substr(lead, trimmed.size()) == trimmed &&
                         text.find_last_not_of(' ') + 1 == lead + trimmed.size());

    const std::string lowered = LowerCaseCyr(text);
    FUZZ_CHECK(lowered.size() == text.size() && LowerCaseCyr(lowered) == lowered);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        const bool capital = (b >= 'A' && b <= 'Z') || (b >= 0xC0 && b <= 0xDF);
        FUZZ_CHECK(static_cast<unsigned char>(lowered[i]) == (capital ? b + 0x20 : b));
    }

    const std::string closed = AddBackslash(text);
    FUZZ_CHECK(text.empty() ? closed.empty()
                            : closed.ends_with(kPathSeparator) && closed.starts_with(text) &&
                                  closed.size() <= text.size() + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view rest = fuzz::Bytes(data, size);
    const std::string text(fuzz::TakeUntil(rest, '\0'));
    const std::string find(fuzz::TakeUntil(rest, '\0'));
    const std::string replacement(rest);
    CheckReplaceAll(text, find, replacement);
    CheckTextAfter(text, find);
    CheckTrimAndCase(text);
    return 0;
}
