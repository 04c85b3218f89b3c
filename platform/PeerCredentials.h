#pragma once

namespace wendel {

// Whether the process at the other end of a connected local socket runs as
// our own user or as root. Another user's jukebox (or saver) could otherwise
// put its words on our board, or read our commands. False when the system
// cannot tell.
bool PeerIsTrusted(int socketFd);

} // namespace wendel
