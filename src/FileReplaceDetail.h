// What each platform's file supplies to FileReplace.cpp, for replaceFile and FileLock alone.
// Included by those files alone: the game's classes see FileReplace.h.
#ifndef ZANDOREL_FILEREPLACEDETAIL_H
#define ZANDOREL_FILEREPLACEDETAIL_H

#include <cstdint>
#include <string>

namespace replace_detail {

// The file a write to path really changes. Empty when it cannot be named (a dangling link):
// only a write through the path itself will do.
std::string fileToChange(const std::string& path);
// False when target exists and is not a regular file the player may write: it is not
// replaced then. Opens nothing that could block (a FIFO, a device).
bool mayWrite(const std::string& target);
// Opens path for writing without truncating it, creating it when missing; -1 when that fails
// or path is not a regular file.
int openInPlace(const std::string& path);
// Gives the new file open at fd what makes target the file it is (mode, owner), where target
// exists; false when that cannot be kept.
bool keepIdentity(int fd, const std::string& target);
// Sends what was written at fd to the disk.
bool flushToDisk(int fd);
// Puts from in to's place in one step.
bool moveOver(const std::string& from, const std::string& to);
// Sends the folder that holds target to the disk, so that a rename there lasts: true where
// the system has nothing to flush.
bool flushFolder(const std::string& target);
// Keeps why the rewrite failed, for whyNotReplaced: why, or the C library's words for errno.
void failedFor(const std::string& why);
void failedWithErrno();
// Told once path holds the new text, by either road.
void replaced(const std::string& path);
// What one try for a lock found: it is this game's now (its handle given), another holds it,
// or no lock can be had here at all (a folder that cannot be opened, a system without locks).
enum class LockTry { taken, held, impossible };
// Tries once to take the lock for target's turn, without waiting.
LockTry tryLock(const std::string& target, std::intptr_t& handle);
// The same for the second lock, held over the last look at target and its replacement alone.
LockTry tryLastLookLock(const std::string& target, std::intptr_t& handle);
void unlock(std::intptr_t handle);
// What tells one version of target from the next: it differs after every replacement or write,
// so that a game waiting for a lock sees whether the holder gets on.
std::string changeStamp(const std::string& target);

} // namespace replace_detail

#endif
