// Preloaded (LD_PRELOAD) into the real binary by the command-line test: the
// first fsync or fdatasync fails with EIO and later ones succeed, as Linux
// tells of a failed write-back once.
#include <atomic>
#include <cerrno>

namespace {

std::atomic<int> calls{0};

int failFirst()
{
    if (calls.fetch_add(1) > 0)
        return 0;
    errno = EIO;
    return -1;
}

} // namespace

extern "C" int fsync(int)
{
    return failFirst();
}

extern "C" int fdatasync(int)
{
    return failFirst();
}
