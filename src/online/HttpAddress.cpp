#include "online/HttpAddress.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace httpaddress {
namespace {

// The five parts of an address or a reference to one.
struct Parts {
    std::string scheme;  // lower case
    std::string authority;
    std::string path;
    std::string query;
    bool hasAuthority = false;
    bool hasQuery = false;
};

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

Parts Split(std::string_view text) {
    Parts parts;
    text = text.substr(0, text.find('#'));  // a fragment never leaves the client
    const std::size_t colon = text.find(':');
    const bool schemeLike =
        colon != std::string_view::npos && colon > 0 &&
        std::isalpha(static_cast<unsigned char>(text[0])) &&
        std::all_of(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(colon), [](char c) {
            return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.';
        });
    if (schemeLike) {
        parts.scheme = Lower(std::string(text.substr(0, colon)));
        text.remove_prefix(colon + 1);
    }
    if (text.substr(0, 2) == "//") {
        text.remove_prefix(2);
        const std::size_t end = std::min(text.find_first_of("/?"), text.size());
        parts.authority = std::string(text.substr(0, end));
        parts.hasAuthority = true;
        text.remove_prefix(end);
    }
    const std::size_t question = text.find('?');
    parts.path = std::string(text.substr(0, question));
    if (question != std::string_view::npos) {
        parts.query = std::string(text.substr(question + 1));
        parts.hasQuery = true;
    }
    return parts;
}

// RFC 3986, 5.2.4.
std::string RemoveDotSegments(std::string_view input) {
    std::string output;
    while (!input.empty()) {
        if (input.substr(0, 3) == "../") {
            input.remove_prefix(3);
        } else if (input.substr(0, 2) == "./") {
            input.remove_prefix(2);
        } else if (input.substr(0, 3) == "/./") {
            input.remove_prefix(2);
        } else if (input == "/.") {
            input = "/";
        } else if (input.substr(0, 4) == "/../" || input == "/..") {
            input = input.size() == 3 ? std::string_view("/") : input.substr(3);
            output.erase(std::min(output.size(), output.rfind('/')));
        } else if (input == "." || input == "..") {
            input = {};
        } else {
            const std::size_t next = input.find('/', 1);
            output.append(input.substr(0, next));
            input.remove_prefix(std::min(next, input.size()));
        }
    }
    return output;
}

std::string Encoded(const std::string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7f) {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        } else {
            out += c;
        }
    }
    return out;
}

// "host:port" of an authority, the user part left out; empty host when there is none.
std::pair<std::string, std::string> HostAndPort(const std::string& authority) {
    const std::string hostPort = authority.substr(authority.rfind('@') + 1);
    const std::size_t bracket = hostPort.rfind(']');
    const std::size_t colon = hostPort.rfind(':');
    if (colon == std::string::npos || (bracket != std::string::npos && colon < bracket))
        return {hostPort, ""};
    return {hostPort.substr(0, colon), hostPort.substr(colon + 1)};
}

bool IsHttp(const Parts& parts) {
    return (parts.scheme == "http" || parts.scheme == "https") && parts.hasAuthority &&
           !HostAndPort(parts.authority).first.empty();
}

}  // namespace

std::string OriginOf(const std::string& address) {
    const Parts parts = Split(address);
    if (!IsHttp(parts)) return {};
    auto [host, port] = HostAndPort(parts.authority);
    if (port.empty()) port = parts.scheme == "https" ? "443" : "80";
    if (!std::all_of(port.begin(), port.end(), [](unsigned char c) { return std::isdigit(c); }))
        return {};
    return parts.scheme + "://" + Lower(host) + ":" + port;
}

std::optional<std::string> ResolveHttp(const std::string& base, const std::string& location) {
    const Parts from = Split(base);
    const Parts ref = Split(location);
    Parts to;
    // RFC 3986, 5.2.2.
    if (!ref.scheme.empty()) {
        to = ref;
        to.path = RemoveDotSegments(ref.path);
    } else {
        to.scheme = from.scheme;
        if (ref.hasAuthority) {
            to.authority = ref.authority;
            to.hasAuthority = true;
            to.path = RemoveDotSegments(ref.path);
            to.query = ref.query;
            to.hasQuery = ref.hasQuery;
        } else {
            to.authority = from.authority;
            to.hasAuthority = from.hasAuthority;
            if (ref.path.empty()) {
                to.path = from.path;
                to.query = ref.hasQuery ? ref.query : from.query;
                to.hasQuery = ref.hasQuery || from.hasQuery;
            } else {
                std::string merged = ref.path;
                if (ref.path.front() != '/') {
                    merged = from.hasAuthority && from.path.empty()
                                 ? "/" + ref.path
                                 : from.path.substr(0, from.path.rfind('/') + 1) + ref.path;
                }
                to.path = RemoveDotSegments(merged);
                to.query = ref.query;
                to.hasQuery = ref.hasQuery;
            }
        }
    }
    if (!IsHttp(to)) return {};
    // push_back, not = "/": GCC 12 at -O3 reports a false overlap (-Wrestrict) for the latter.
    if (to.path.empty()) to.path.push_back('/');
    return Encoded(to.scheme + "://" + to.authority + to.path +
                   (to.hasQuery ? "?" + to.query : ""));
}

}  // namespace httpaddress
