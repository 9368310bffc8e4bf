// Preloaded (LD_PRELOAD) into the real binary by the command-line test: every
// fsync and fdatasync fails with EIO, as on a disk whose write-back failed.
// With QUARVEN_FAIL_SYNC=first only the first call fails, as Linux tells of
// such a failure once.
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

std::atomic<int> calls{0};

int failingSync()
{
    const char* mode = std::getenv("QUARVEN_FAIL_SYNC");
    const bool onlyFirst = mode != nullptr && std::strcmp(mode, "first") == 0;
    if (calls.fetch_add(1) == 0 || !onlyFirst) {
        errno = EIO;
        return -1;
    }
    return 0;
}

} // namespace

extern "C" int fsync(int)
{
    return failingSync();
}

extern "C" int fdatasync(int)
{
    return failingSync();
}
