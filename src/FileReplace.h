// Rewriting a file so that it stays the same file to the system and is never seen half-written.
// How a file's identity is kept, and how one file is put in place of another, differ between
// Windows and the others; the game sees only replaceFile.
#ifndef ZANDOREL_FILEREPLACE_H
#define ZANDOREL_FILEREPLACE_H

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

// The longest a game's end waits for the table's two locks together (FileLock's, then the
// last look's within replaceFile): past it the score is not written, and is told so.
constexpr std::chrono::seconds tableWait{30};

// Writes text to a new file beside the one path names, then puts it in that file's place, so
// that a crash or a full disk leaves the old content whole. A link is followed, so that the
// file it points to is updated and the link stays a link; the file keeps its permissions and
// owner. Where no new file can be made beside it (a folder the player may not write, an owner
// that cannot be kept), the file is written in place instead, the new text over the old and the
// file cut to its length only then. A file the player may not write, and anything that is not a
// file (a folder, a FIFO), is left as it is. A rewrite also removes the new files that a game
// killed mid-rewrite left beside it. False when the text could not be written. What reaches
// the disk before the answer: the new file's data before the rename and the folder after it
// (Windows: the new file's data, and a first table's move written through); written in place,
// the file's data.
bool replaceFile(const std::string& path, const std::string& text);
// The same, for a text made from the file's own content: compose is asked again once the new
// file is on the disk, under a lock of its own held until the rename, and where its answer has
// changed (another writer put its own file there meanwhile) the new file is made again from
// that answer, so that the other writer's change is not undone. Where another holds that lock
// and hangs, or holds it past giveUpAt (tableWait from now when not given), nothing is written
// (false, errno EWOULDBLOCK); where no lock can be had at all, a few rounds at most. What goes
// in place is always compose's last answer.
bool replaceFile(const std::string& path, const std::function<std::string()>& compose);
bool replaceFile(const std::string& path, const std::function<std::string()>& compose,
                 std::chrono::steady_clock::time_point giveUpAt);
// Why the last replaceFile that answered false failed, in the system's own words (strerror, or
// Windows' message); empty when it did not fail.
const std::string& whyNotReplaced();

// Whether the text the last replaceFile put in place outlasts this run of the game. The
// desktop's replaceFile answers once it has made the flushes it names, so there it does; the
// browser's page saves it in the browser's storage afterwards (web/page.js), and until the page
// has answered it is not known. why: the reason, when it does not.
enum class Lasting { yes, no, unknown };
Lasting replacementLasts(std::string& why);

// Held from construction to destruction: an advisory lock beside the file path names, so that
// two games ending at once read, update and rewrite the file one after the other instead of
// one losing the other's change. Waits while the file keeps changing under other holders, up to
// tableWait, and two seconds for one that changes nothing; then, or where no lock can be had (a
// folder that cannot be opened, a system without locks), the holder goes on unlocked, as if
// alone.
class FileLock final {
public:
    explicit FileLock(const std::string& path);
    ~FileLock();

    // When the game's end stops waiting: the rewrite made under this lock passes it on to
    // replaceFile, so that both waits together last tableWait at most.
    std::chrono::steady_clock::time_point giveUpAt() const { return until; }

    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    std::chrono::steady_clock::time_point until;
    std::intptr_t handle = 0;
    bool taken = false;
};

#endif
