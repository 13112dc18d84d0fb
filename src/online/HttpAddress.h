#pragma once

// The address arithmetic the HTTP client does itself, since it follows redirections itself:
// where a Location leads, and which site an address belongs to.

#include <optional>
#include <string>

namespace httpaddress {

// Scheme, host and port of an http or https address ("http://host:80"), scheme and host in
// lower case; empty for any other address or one without a host.
std::string OriginOf(const std::string& address);

// A Location value made absolute against the address that answered with it, its dot
// segments removed and its spaces, control characters and bytes above 127 percent-encoded,
// as browsers do; nothing when the result is neither http nor https or has no host.
std::optional<std::string> ResolveHttp(const std::string& base, const std::string& location);

}  // namespace httpaddress
