#include "StandardStreams.h"

#include <fcntl.h>
#include <unistd.h>

namespace wendel {

void KeepStandardStreamsOpen()
{
    // open() takes the lowest free number, so this fills 0, 1 and 2 in turn.
    int fd = -1;
    do {
        fd = ::open("/dev/null", O_RDWR);
    } while (fd >= 0 && fd <= STDERR_FILENO);
    if (fd > STDERR_FILENO) ::close(fd);
}

} // namespace wendel
