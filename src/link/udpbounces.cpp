#include "link/udpbounces.h"

#include <QUdpSocket>

#if defined(Q_OS_LINUX)
#include <cerrno>
#include <cstring>
#include <linux/errqueue.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

namespace tarvisk::udpbounces {

#if defined(Q_OS_LINUX)

namespace {

bool isIPv6(const QUdpSocket &socket)
{
    return socket.localAddress().protocol() == QAbstractSocket::IPv6Protocol;
}

} // namespace

bool enable(QUdpSocket &socket)
{
    const int fd = int(socket.socketDescriptor());
    if (fd < 0)
        return false;
    const int on = 1;
    if (isIPv6(socket))
        return setsockopt(fd, IPPROTO_IPV6, IPV6_RECVERR, &on, sizeof on) == 0;
    return setsockopt(fd, IPPROTO_IP, IP_RECVERR, &on, sizeof on) == 0;
}

QList<UdpBounce> take(QUdpSocket &socket)
{
    QList<UdpBounce> bounces;
    const int fd = int(socket.socketDescriptor());
    if (fd < 0)
        return bounces;
    int pending = 0;
    socklen_t pendingSize = sizeof pending;
    getsockopt(fd, SOL_SOCKET, SO_ERROR, &pending, &pendingSize);
    // Bounded: the queue holds what arrived, and a report per datagram sent is the most there is.
    for (int i = 0; i < 256; ++i) {
        sockaddr_storage offender{};
        char payload[64];
        iovec iov{payload, sizeof payload};
        alignas(cmsghdr) char control[512];
        msghdr msg{};
        msg.msg_name = &offender;
        msg.msg_namelen = sizeof offender;
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        if (recvmsg(fd, &msg, MSG_ERRQUEUE | MSG_DONTWAIT) < 0)
            break;
        for (cmsghdr *c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
            const bool v4 = c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_RECVERR;
            const bool v6 = c->cmsg_level == IPPROTO_IPV6 && c->cmsg_type == IPV6_RECVERR;
            if (!v4 && !v6)
                continue;
            sock_extended_err err;
            std::memcpy(&err, CMSG_DATA(c), sizeof err);
            if (err.ee_origin != SO_EE_ORIGIN_ICMP && err.ee_origin != SO_EE_ORIGIN_ICMP6)
                continue;
            UdpBounce b;
            b.to.setAddress(reinterpret_cast<const sockaddr *>(&offender));
            b.port = offender.ss_family == AF_INET6
                         ? ntohs(reinterpret_cast<const sockaddr_in6 *>(&offender)->sin6_port)
                         : ntohs(reinterpret_cast<const sockaddr_in *>(&offender)->sin_port);
            b.portUnreachable = err.ee_errno == ECONNREFUSED;
            bounces.append(b);
        }
    }
    return bounces;
}

#else

bool enable(QUdpSocket &)
{
    return false;
}

QList<UdpBounce> take(QUdpSocket &)
{
    return {};
}

#endif

} // namespace tarvisk::udpbounces
