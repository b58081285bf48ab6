// Rewriting a file so that it stays the same file to the system and is never seen half-written.
// How a file's identity is kept, and how one file is put in place of another, differ between
// Windows and the others; the game sees only replaceFile.
#ifndef ZANDOREL_FILEREPLACE_H
#define ZANDOREL_FILEREPLACE_H

#include <cstdint>
#include <string>

// Writes text to a new file beside the one path names, then puts it in that file's place, so
// that a crash or a full disk leaves the old content whole. A link is followed, so that the
// file it points to is updated and the link stays a link; the file keeps its permissions and
// owner. Where no new file can be made beside it (a folder the player may not write, an owner
// that cannot be kept), the file is truncated and written in place instead. False when the
// text could not be written either way.
bool replaceFile(const std::string& path, const std::string& text);

// Held from construction to destruction: an advisory lock beside the file path names, so that
// two games ending at once read, update and rewrite the file one after the other instead of
// one losing the other's change. Waits a moment for another holder; where no lock can be had
// (a folder that cannot be opened, a system without locks), the holder goes on unlocked, as
// if alone.
class FileLock final {
public:
    explicit FileLock(const std::string& path);
    ~FileLock();

    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    std::intptr_t handle;
};

// Supplied by each platform's file, for the two above alone.
namespace replace_detail {

// The file a write to path really changes. Empty when it cannot be named (a dangling link):
// only a write through the path itself will do.
std::string fileToChange(const std::string& path);
// Gives the new file open at fd what makes target the file it is (mode, owner), where target
// exists; false when that cannot be kept.
bool keepIdentity(int fd, const std::string& target);
// Sends what was written at fd to the disk.
bool flushToDisk(int fd);
// Puts from in to's place in one step.
bool moveOver(const std::string& from, const std::string& to);
// Told once path holds the new text, by either road.
void replaced(const std::string& path);
// Tries once to take the lock for target without waiting: the handle, or -1 when another
// holds it; noLock when no lock can be had at all.
constexpr std::intptr_t noLock = -2;
std::intptr_t tryLock(const std::string& target);
void unlock(std::intptr_t handle);

} // namespace replace_detail

#endif
