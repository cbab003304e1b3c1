// Preloaded into a program under test, makes every fdatasync fail as a disk
// that cannot take the data would, so that what a tool says after a failed
// flush can be seen from outside it.
#include <cerrno>

extern "C" int fdatasync(int) {
    errno = EIO;
    return -1;
}
