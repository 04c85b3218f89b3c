#include "PeerCredentials.h"

#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>

namespace wendel {

namespace {

bool PeerUid(int socketFd, uid_t& uid)
{
    if (socketFd < 0) return false;
#if defined(SO_PEERCRED)
    struct ucred credentials {};
    socklen_t size = sizeof credentials;
    if (::getsockopt(socketFd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0 || size != sizeof credentials) {
        return false;
    }
    uid = credentials.uid;
    return true;
#else
    gid_t gid = 0;
    return ::getpeereid(socketFd, &uid, &gid) == 0;
#endif
}

} // namespace

bool PeerIsTrusted(int socketFd)
{
    uid_t uid = 0;
    if (!PeerUid(socketFd, uid)) return false;
    return uid == ::geteuid() || uid == 0;
}

} // namespace wendel
