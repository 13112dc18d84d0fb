// The lines of a text file as the program reads them (log, history, language files): joined
// again with LF they give back the content before the first Ctrl+Z without its CRs, and no
// line holds a line end, a CR or a Ctrl+Z.

#include "util/TextFile.h"

#include "FuzzSupport.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = fuzz::Bytes(data, size);
    const std::vector<std::string> lines = textfile::SplitLines(bytes);

    std::string expected(bytes.substr(0, bytes.find('\x1A')));
    std::erase(expected, '\r');
    if (!expected.empty() && expected.back() != '\n') expected += '\n';
    std::string joined;
    for (const std::string& line : lines) {
        FUZZ_CHECK(line.find_first_of("\r\n\x1A") == std::string::npos);
        joined += line;
        joined += '\n';
    }
    FUZZ_CHECK(joined == expected);
    return 0;
}
