#pragma once

// The netlink targets' input: one message as the kernel's answer may hold it, any bytes. What a
// parser makes of it must depend on the bytes within the message's stated length only: the
// same parse comes from the message followed by other bytes than those that follow it now,
// and from the message at an address that is not 4-byte aligned.

#include "FuzzSupport.h"

#include <linux/netlink.h>

#include <cstring>
#include <span>
#include <vector>

namespace fuzz {

struct NetlinkInput {
    std::span<const std::uint8_t> bytes;
    std::uint32_t statedLength = 0;  // nlmsg_len, 0 when there is no whole header
    std::uint16_t type = 0;

    NetlinkInput(const std::uint8_t* data, std::size_t size) : bytes(data, size) {
        if (size < sizeof(nlmsghdr)) return;
        nlmsghdr header;
        std::memcpy(&header, data, sizeof header);
        statedLength = header.nlmsg_len;
        type = header.nlmsg_type;
    }

    // True when the header states a length that fits the bytes and holds `payload` bytes.
    bool Fits(std::size_t payload) const {
        return statedLength <= bytes.size() && statedLength >= NLMSG_LENGTH(payload);
    }

    // Checks that `parse` gives results that `same` finds equal for the variations above.
    template <typename Parse, typename Same>
    void CheckStatedLengthOnly(Parse parse, Same same) const {
        const auto parsed = parse(bytes);
        if (statedLength <= bytes.size()) {
            std::vector<std::uint8_t> other(bytes.size() + 8, 0xA5);
            std::memcpy(other.data(), bytes.data(), bytes.size());
            for (std::size_t i = statedLength; i < bytes.size(); ++i)
                other[i] = static_cast<std::uint8_t>(~other[i]);
            FUZZ_CHECK(same(parsed, parse(std::span<const std::uint8_t>(other))));
        }

        std::vector<std::uint8_t> shifted(bytes.size() + 1);
        std::memcpy(shifted.data() + 1, bytes.data(), bytes.size());
        FUZZ_CHECK(same(parsed, parse(std::span<const std::uint8_t>(shifted).subspan(1))));
    }
};

}  // namespace fuzz
