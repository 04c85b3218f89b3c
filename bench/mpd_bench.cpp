// From MPD's track change to the saver's board updated, through the real
// plx-mpd bridge: this program is the saver (the real session and link, as
// wendelsaver /s runs them) and moves MPD on itself, as `mpc next` does.
//
//   mpd_bench N
//       N track changes (MPD_HOST names MPD; TRIVOX_ENDPOINT the bridge);
//       prints the median and p95 ms from `next` to the new track's title
//       and cover painted, and to its "playing" reaching the saver's link
//
// MPD plays a queue of at least two songs with repeat on; every song's
// folder holds its own cover, so each change loads a cover.
#include "TrackChanges.h"

#include <QApplication>

#include <mpd/client.h>

#include <cstdio>
#include <cstdlib>

namespace {

int Run(int changes)
{
    mpd_connection* mpd = mpd_connection_new(nullptr, 0, 5000);
    if (!mpd || mpd_connection_get_error(mpd) != MPD_ERROR_SUCCESS) {
        std::fprintf(stderr, "mpd_bench: cannot reach MPD\n");
        return 1;
    }
    const int result = bench::TimeTrackChanges("mpd_bench", changes, [mpd] {
        if (mpd_run_next(mpd)) return true;
        std::fprintf(stderr, "mpd_bench: next failed: %s\n", mpd_connection_get_error_message(mpd));
        return false;
    });
    mpd_connection_free(mpd);
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 2 || std::atoi(argv[1]) < 1) {
        std::fprintf(stderr, "usage: mpd_bench N\n");
        return 2;
    }
    return Run(std::atoi(argv[1]));
}
