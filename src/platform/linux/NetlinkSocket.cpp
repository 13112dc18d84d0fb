#include "platform/linux/NetlinkSocket.h"

#include <libmnl/libmnl.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <cerrno>
#include <ctime>

namespace netlink {

namespace {

// The kernel never puts more than this into one read of a dump.
constexpr std::size_t kReceiveSize = 32768;

// The kernel answers at once; a stuck answer must not hang the program's only thread.
constexpr int kTimeoutSeconds = 1;

int OnMessage(const nlmsghdr* nlh, void* data) {
    const auto& handler = *static_cast<const Socket::Handler*>(data);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(nlh);
    return handler(nlh->nlmsg_type, {bytes, nlh->nlmsg_len}) ? MNL_CB_OK : MNL_CB_ERROR;
}

}  // namespace

Socket::Socket(int bus) : bus_(bus), buffer_(kReceiveSize) {
    // Start from a different sequence number in every run, as the kernel's own tools do.
    sequence_ = static_cast<unsigned>(std::time(nullptr));
}

Socket::~Socket() {
    Close();
}

bool Socket::Open() {
    socket_ = mnl_socket_open2(bus_, SOCK_CLOEXEC);
    if (socket_ == nullptr) return false;
    const timeval timeout{kTimeoutSeconds, 0};
    const int fd = mnl_socket_get_fd(socket_);
    if (setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout) != 0 ||
        mnl_socket_bind(socket_, 0, MNL_SOCKET_AUTOPID) != 0) {
        Close();
        return false;
    }
    portId_ = mnl_socket_get_portid(socket_);
    return true;
}

void Socket::Close() {
    if (socket_ != nullptr) mnl_socket_close(socket_);
    socket_ = nullptr;
}

bool Socket::Exchange(nlmsghdr& request, const Handler& handler) {
    if (socket_ == nullptr && !Open()) return false;
    request.nlmsg_seq = ++sequence_;
    request.nlmsg_pid = 0;
    if (mnl_socket_sendto(socket_, &request, request.nlmsg_len) !=
        static_cast<ssize_t>(request.nlmsg_len)) {
        Close();
        return false;
    }
    for (;;) {
        const ssize_t received = mnl_socket_recvfrom(socket_, buffer_.data(), buffer_.size());
        if (received < 0 && errno == EINTR) continue;
        if (received <= 0) break;
        const int result =
            mnl_cb_run(buffer_.data(), static_cast<std::size_t>(received), request.nlmsg_seq,
                       portId_, OnMessage, const_cast<Handler*>(&handler));
        if (result == MNL_CB_STOP) return true;
        if (result < MNL_CB_STOP) break;
    }
    Close();
    return false;
}

}  // namespace netlink
