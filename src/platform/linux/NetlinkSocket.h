#pragma once

// A netlink socket for request and answer exchanges (libmnl underneath).

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

struct mnl_socket;
struct nlmsghdr;

namespace netlink {

class Socket {
  public:
    // Called with each message (header included) of an answer; false fails the exchange.
    using Handler = std::function<bool(std::uint16_t type, std::span<const std::uint8_t>)>;

    explicit Socket(int bus);
    ~Socket();
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    // Sends `request` (its sequence number and port id are set here) and hands every message
    // of the answer to `handler` until the answer ends: NLMSG_DONE for a dump, the
    // acknowledgement for a request with NLM_F_ACK. False on any failure, an error answer and
    // an interrupted dump included. The socket is opened when needed and closed after a
    // failure, so that a half-read answer never reaches the next exchange.
    bool Exchange(nlmsghdr& request, const Handler& handler);

  private:
    bool Open();
    void Close();

    int bus_;
    mnl_socket* socket_ = nullptr;
    unsigned portId_ = 0;
    unsigned sequence_ = 0;
    std::vector<std::uint8_t> buffer_;
};

}  // namespace netlink
