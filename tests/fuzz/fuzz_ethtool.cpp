// The ethtool answers behind a wired link's speed and its driver's name, made up from the
// input: each answer is a status byte (odd: done), a 16-bit little-endian length and that
// many bytes laid over the request. Every request offers room for all that the kernel would
// write into it; a speed is a whole number of Mbit/s that is not one of the "unknown"
// values; a driver's name holds no NUL and fits its field.

#include "platform/linux/Ethtool.h"

#include "FuzzSupport.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpedantic"  // flexible array members of the kernel's structs
#include <linux/ethtool.h>
#pragma GCC diagnostic pop

#include <algorithm>
#include <cstring>

namespace {

// The bytes a kernel writes for this request.
std::size_t AnswerSize(const void* command) {
    std::uint32_t cmd;
    std::memcpy(&cmd, command, sizeof cmd);
    switch (cmd) {
        case ETHTOOL_GLINKSETTINGS: {
            ethtool_link_settings settings;
            std::memcpy(&settings, command, sizeof settings);
            const int words = std::max<int>(settings.link_mode_masks_nwords, 0);
            return sizeof settings + 3 * 4 * static_cast<std::size_t>(words);
        }
        case ETHTOOL_GSET:
            return sizeof(ethtool_cmd);
        case ETHTOOL_GDRVINFO:
            return sizeof(ethtool_drvinfo);
        default:
            fuzz::Broken("a request the kernel is not asked", __FILE__, __LINE__);
    }
}

class MadeUpKernel {
  public:
    explicit MadeUpKernel(std::string_view answers) : answers_(answers) {}

    bool Answer(const std::string& name, void* command, std::size_t size) {
        FUZZ_CHECK(!name.empty() && size >= AnswerSize(command));
        if (answers_.size() < 3) return false;
        const bool done = (answers_[0] & 1) != 0;
        const auto length = static_cast<std::size_t>(static_cast<std::uint8_t>(answers_[1]) |
                                                     static_cast<std::uint8_t>(answers_[2]) << 8);
        answers_.remove_prefix(3);
        const std::string_view answer = answers_.substr(0, length);
        answers_.remove_prefix(answer.size());
        std::memcpy(command, answer.data(), std::min(answer.size(), size));
        return done;
    }

  private:
    std::string_view answers_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    MadeUpKernel made(fuzz::Bytes(data, size));
    const ethtool::Kernel kernel = [&made](const std::string& name, void* command,
                                           std::size_t room) {
        return made.Answer(name, command, room);
    };

    if (const auto bits = ethtool::LinkSpeed("eth0", kernel)) {
        const std::uint64_t mbps = *bits / 1'000'000;
        FUZZ_CHECK(*bits % 1'000'000 == 0 && mbps <= 0xFFFFFFFEu);
        FUZZ_CHECK(mbps != 0 && mbps != 0xFFFFu);
    }
    const std::string driver = ethtool::DriverName("eth0", kernel);
    FUZZ_CHECK(driver.size() <= sizeof(ethtool_drvinfo::driver));
    FUZZ_CHECK(driver.find('\0') == std::string::npos);
    return 0;
}
