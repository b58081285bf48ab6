#include "FileReplace.h"
#include "GameState.h"
#include "HighScoreTable.h"

#include "TestSupport.h"

#include <chrono>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <regex>
#include <thread>

#include <grp.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

class HighScoresTest : public SandboxTest {
protected:
    // Sets up the table as the player left it, rewrites it (as an ordinary user where asked)
    // and checks that only its content changed, as far as check() can tell.
    void expectRewrite(const std::function<void()>& setUp, bool ordinaryUser,
                       const std::function<void()>& check);
};

// Root may write any file, so to meet a table the player may not write, the update runs in a
// child process as an ordinary user; limits set by prepare (a file size limit, say) stay in
// that child. Returns the update's answer, or fails the test.
bool updateInChild(int score, bool ordinaryUser, void (*prepare)() = nullptr) {
    namespace fs = std::filesystem;
    ordinaryUser = ordinaryUser && geteuid() == 0;
    if (ordinaryUser) {
        fs::permissions(".", fs::perms::all);
    }
    const pid_t child = fork();
    if (child == 0) {
        const gid_t nobody = 65534;
        if (ordinaryUser &&
            (setgroups(0, nullptr) != 0 || setgid(nobody) != 0 || setuid(nobody) != 0)) {
            _exit(2);
        }
        if (prepare != nullptr) {
            prepare();
        }
        _exit(GameState::updateHighScores(score) ? 0 : 1);
    }
    int status = 0;
    EXPECT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) < 2) << "status " << status;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Everything in a folder but the table: a rewrite must leave no scratch file behind.
std::vector<std::string> strayFiles(const char* folder = "data",
                                    const char* table = "highscores.txt") {
    std::vector<std::string> stray;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().filename() != table) {
            stray.push_back(entry.path().filename().string());
        }
    }
    return stray;
}

// An access list letting user id write the file, in the form the kernel stores it, so that
// no ACL tools are needed to make one.
std::string aclLettingWrite(std::uint32_t id) {
    std::string blob;
    auto put = [&blob](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            blob += static_cast<char>((value >> (8 * i)) & 0xff);
        }
    };
    put(2, 4); // version
    const std::uint32_t entries[][3] = {
        {0x01, 6, ~0u}, {0x02, 6, id}, {0x04, 4, ~0u}, {0x10, 6, ~0u}, {0x20, 4, ~0u}};
    for (const auto& entry : entries) {
        put(entry[0], 2);
        put(entry[1], 2);
        put(entry[2], 4);
    }
    return blob;
}

std::string attribute(const char* name) {
    char value[256];
    const ssize_t length = getxattr("data/highscores.txt", name, value, sizeof value);
    return length < 0 ? "(none)" : std::string(value, static_cast<std::size_t>(length));
}

uid_t ownerOf(const char* path) {
    struct stat file {};
    EXPECT_EQ(stat(path, &file), 0) << path;
    return file.st_uid;
}

// What happens in a folder while run() runs: "+name" for a file made in it, "<name" and
// ">name" for one moved out of it and into it.
std::vector<std::string> watch(const char* folder, const std::function<void()>& run) {
    const int fd = inotify_init1(IN_NONBLOCK);
    EXPECT_GE(inotify_add_watch(fd, folder, IN_CREATE | IN_MOVED_FROM | IN_MOVED_TO), 0);
    run();
    std::vector<std::string> changes;
    alignas(inotify_event) char buffer[4096];
    for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) > 0;) {
        for (char* at = buffer; at < buffer + got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(at);
            const char* kind = event->mask & IN_CREATE     ? "+"
                               : event->mask & IN_MOVED_TO ? ">"
                                                           : "<";
            changes.push_back(kind + std::string(event->name));
            at += sizeof(inotify_event) + event->len;
        }
    }
    close(fd);
    return changes;
}

struct UpdateCase {
    const char* name;
    bool fileExists;
    std::string before;
    int score;
    bool entered;
    std::string after;
};

} // namespace

TEST_F(HighScoresTest, UpdateFollowsTheTableRules) {
    const std::string table = "50\n40\n30\n20\n10\n";
    const UpdateCase cases[] = {
        {"missing file, zero", false, "", 0, false, "0\n0\n0\n0\n0\n"},
        {"missing file, ten", false, "", 10, true, "10\n0\n0\n0\n0\n"},
        {"tie goes behind", true, table, 30, true, "50\n40\n30\n30\n20\n"},
        {"equal to the fifth", true, table, 10, false, table},
        {"new best", true, table, 60, true, "60\n50\n40\n30\n20\n"},
        {"one above the fifth", true, table, 11, true, "50\n40\n30\n20\n11\n"},
        {"short file", true, "50\n40\n30\n", 5, true, "50\n40\n30\n5\n0\n"},
        {"text stops the reading", true, "50\nXYZ\n30\n", 20, true, "50\n20\n0\n0\n0\n"},
        {"glued text reads its number", true, "12AB 7\n", 3, true, "12\n3\n0\n0\n0\n"},
        {"out of range ends the read", true, "9\n99999999999\n4\n", 1, true, "9\n1\n0\n0\n0\n"},
        {"extra entries dropped", true, "7 6 5 4 3 2 1", 0, false, "7\n6\n5\n4\n3\n"},
        {"blanks, tabs and CRLF", true, "8 7\t6\r\n\r\n5 4", 6, true, "8\n7\n6\n6\n5\n"},
        {"negative beaten by zero", true, "5\n4\n3\n2\n-1\n", 0, true, "5\n4\n3\n2\n0\n"},
        {"leading zeros rewritten", true, "007\n", 1, true, "7\n1\n0\n0\n0\n"},
        {"lowest score", true, "", -2147483647 - 1, false, "0\n0\n0\n0\n0\n"},
        {"byte-order mark skipped", true, "\xEF\xBB\xBF" + table, 45, true, "50\n45\n40\n30\n20\n"},
        // Leading zeros past the bound: what is cut off, and what follows, is not a score.
        {"over-long token ends the read", true, "5 " + std::string(70, '0') + "9 8\n", 1, true,
         "5\n1\n0\n0\n0\n"},
    };
    for (const UpdateCase& c : cases) {
        std::filesystem::remove("data/highscores.txt");
        if (c.fileExists) {
            writeFile("data/highscores.txt", c.before);
        }
        EXPECT_EQ(GameState::updateHighScores(c.score), c.entered) << c.name;
        EXPECT_EQ(readFile("data/highscores.txt"), c.after) << c.name;
    }
    EXPECT_EQ(strayFiles(), std::vector<std::string>());
}

TEST_F(HighScoresTest, DisplayReadShowsTokensAsStored) {
    struct Case {
        const char* name;
        bool fileExists;
        std::string content;
        std::vector<std::string> shown;
    };
    const Case cases[] = {
        {"five lines", true, "50\n40\n30\n20\n10\n", {"50", "40", "30", "20", "10"}},
        {"one line", true, "50 40 30 20 10", {"50", "40", "30", "20", "10"}},
        {"seven entries", true, "1 2 3 4 5 6 7", {"1", "2", "3", "4", "5"}},
        {"text kept", true, "50\nXYZ\n30\n", {"50", "XYZ", "30", "", ""}},
        {"leading zeros kept", true, "007\n", {"007", "", "", "", ""}},
        {"missing", false, "", {"", "", "", "", ""}},
        {"byte-order mark skipped",
         true,
         "\xEF\xBB\xBF"
         "50 40\n",
         {"50", "40", "", "", ""}},
        {"read no further than its first 4 KB",
         true,
         std::string(5000, ' ') + "7",
         {"", "", "", "", ""}},
        {"a damaged file's one huge token cut short",
         true,
         std::string(1000, '\0') + " 7",
         {std::string(HighScoreTable::maxTokenLength, '\0'), "", "", "", ""}},
    };
    for (const Case& c : cases) {
        std::filesystem::remove("data/highscores.txt");
        if (c.fileExists) {
            writeFile("data/highscores.txt", c.content);
        }
        EXPECT_EQ(GameState::readHighScores(), c.shown) << c.name;
        if (c.fileExists) {
            EXPECT_EQ(readFile("data/highscores.txt"), c.content) << c.name;
        }
    }
}

TEST_F(HighScoresTest, FailedWriteKeepsTheOldTableWhole) {
    writeFile("data/highscores.txt", "50\n40\n30\n20\n10\n");
    // A disk that fills up halfway through the new table, for root as for anyone. (The limit
    // cuts the log line short too, so the line is checked where the folder is missing.)
    EXPECT_TRUE(updateInChild(45, false, [] {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit small = {8, 8};
        setrlimit(RLIMIT_FSIZE, &small);
    }));
    EXPECT_EQ(readFile("data/highscores.txt"), "50\n40\n30\n20\n10\n");
    EXPECT_EQ(strayFiles(), std::vector<std::string>());
}

void HighScoresTest::expectRewrite(const std::function<void()>& setUp, bool ordinaryUser,
                                   const std::function<void()>& check) {
    writeFile("data/highscores.txt", "50\n40\n30\n20\n10\n");
    setUp();
    EXPECT_TRUE(updateInChild(45, ordinaryUser));
    EXPECT_EQ(readFile("data/highscores.txt"), "50\n45\n40\n30\n20\n");
    check();
    EXPECT_EQ(strayFiles(), std::vector<std::string>());
}

// The rewrite replaces the table's content only: the file keeps its mode, its owner and its
// link, and a file the game did not make is never touched. Where no new file can be put
// beside the table, the table is rewritten in place rather than left behind.
TEST_F(HighScoresTest, RewriteKeepsTheModeAndTheLink) {
    namespace fs = std::filesystem;
    {
        SCOPED_TRACE("group-writable mode kept");
        expectRewrite(
            [] { fs::permissions("data/highscores.txt", fs::perms(0664)); }, false,
            [] { EXPECT_EQ(fs::status("data/highscores.txt").permissions(), fs::perms(0664)); });
    }
    fs::remove("data/highscores.txt");
    SCOPED_TRACE("link followed; nothing left beside the file it points to");
    expectRewrite(
        [] {
            fs::create_directory("scores");
            fs::rename("data/highscores.txt", "scores/mine.txt");
            fs::create_symlink("../scores/mine.txt", "data/highscores.txt");
        },
        false,
        [this] {
            EXPECT_TRUE(fs::is_symlink("data/highscores.txt"));
            EXPECT_EQ(readFile("scores/mine.txt"), "50\n45\n40\n30\n20\n");
            EXPECT_EQ(strayFiles("scores", "mine.txt"), std::vector<std::string>());
        });
}

TEST_F(HighScoresTest, RewriteKeepsTheAccessListAndAttributes) {
    expectRewrite(
        [] {
            const std::string acl = aclLettingWrite(12345);
            if (setxattr("data/highscores.txt", "system.posix_acl_access", acl.data(), acl.size(),
                         0) != 0 ||
                setxattr("data/highscores.txt", "user.zandorel", "shared", 6, 0) != 0) {
                ADD_FAILURE() << "this file system keeps no access lists or attributes";
            }
        },
        false,
        [] {
            EXPECT_EQ(attribute("system.posix_acl_access"), aclLettingWrite(12345));
            EXPECT_EQ(attribute("user.zandorel"), "shared");
        });
}

// A player who may write the table but not the folder (as root, the update runs as nobody).
TEST_F(HighScoresTest, FolderClosedToNewFilesGetsTheTableRewrittenInPlace) {
    namespace fs = std::filesystem;
    expectRewrite(
        [] {
            fs::permissions("data/highscores.txt", fs::perms(0666));
            fs::permissions("data", fs::perms(0555));
        },
        true, [] { fs::permissions("data", fs::perms::all); });
}

TEST_F(HighScoresTest, OwnerKeptWhenRootRewritesAnotherUsersTable) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "only root can give the table to another user";
    }
    const uid_t nobody = 65534;
    expectRewrite([&] { ASSERT_EQ(chown("data/highscores.txt", nobody, nobody), 0); }, false,
                  [&] { EXPECT_EQ(ownerOf("data/highscores.txt"), nobody); });
}

TEST_F(HighScoresTest, OwnerKeptWhenThePlayerCannotGiveIt) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "a table owned by someone else but writable by the player takes root";
    }
    namespace fs = std::filesystem;
    expectRewrite(
        [] {
            fs::permissions("data/highscores.txt", fs::perms(0666));
            fs::permissions("data", fs::perms::all);
        },
        true, [] { EXPECT_EQ(ownerOf("data/highscores.txt"), 0u); });
}

// The new table is written under a name of its own beside the old one, hidden and made
// unique (so a file already bearing such a name is never taken over), and renamed over it.
TEST_F(HighScoresTest, RewriteGoesThroughAFreshHiddenFileRenamedOverTheTable) {
    writeFile("data/highscores.txt", "50\n40\n30\n20\n10\n");
    writeFile("data/.highscores.txt.XXXXXX", "mine");
    const auto changes = watch("data", [] { GameState::updateHighScores(45); });
    ASSERT_FALSE(changes.empty());
    const std::string scratch = changes[0].substr(1);
    EXPECT_TRUE(std::regex_match(scratch, std::regex(R"(\.highscores\.txt\.[A-Za-z0-9]{6})")))
        << scratch;
    EXPECT_EQ(changes, (std::vector<std::string>{"+" + scratch, "<" + scratch, ">highscores.txt"}));
    EXPECT_EQ(readFile("data/highscores.txt"), "50\n45\n40\n30\n20\n");
    EXPECT_EQ(readFile("data/.highscores.txt.XXXXXX"), "mine");
    EXPECT_EQ(strayFiles(), std::vector<std::string>{".highscores.txt.XXXXXX"});
}

// A table the player may not write keeps its content and stays the same file, even where the
// folder would let a new one be put in its place. One the player may not read holds scores the
// game cannot see: it is left as it is too, rather than rewritten with the new score alone.
TEST_F(HighScoresTest, TableThePlayerMayNotWriteOrReadKeepsItsContent) {
    namespace fs = std::filesystem;
    const std::string before = "50\n40\n30\n20\n10\n";
    const uid_t nobody = 65534;
    const std::pair<fs::perms, const char*> cases[] = {
        {fs::perms(0444), "Could Not Write"},
        {fs::perms(0), "Could Not Read"},
        {fs::perms(0200), "Could Not Read"},
    };
    for (const auto& [mode, logged] : cases) {
        SCOPED_TRACE(static_cast<int>(mode));
        fs::remove("data/highscores.txt");
        fs::remove("debug.txt");
        writeFile("data/highscores.txt", before);
        // The player owns the folder and the table, and made the table so.
        if (geteuid() == 0 && (chown("data", nobody, nobody) != 0 ||
                               chown("data/highscores.txt", nobody, nobody) != 0)) {
            ADD_FAILURE() << "chown";
        }
        fs::permissions("data/highscores.txt", mode);
        struct stat old;
        ASSERT_EQ(stat("data/highscores.txt", &old), 0);
        EXPECT_TRUE(updateInChild(45, true));
        struct stat now;
        ASSERT_EQ(stat("data/highscores.txt", &now), 0);
        EXPECT_EQ(now.st_ino, old.st_ino);
        EXPECT_EQ(now.st_mode, old.st_mode);
        fs::permissions("data/highscores.txt", fs::perms(0644));
        EXPECT_EQ(readFile("data/highscores.txt"), before);
        EXPECT_EQ(strayFiles(), std::vector<std::string>());
        EXPECT_EQ(logLines(),
                  std::vector<std::string>{"GameState::updateHighScores(...) - " +
                                           std::string(logged) + " ./data/highscores.txt"});
    }
}

// Another game ending at the same moment holds the lock while it rewrites the table; this one
// must read the table only after that, or the other's score is lost.
TEST_F(HighScoresTest, GamesEndingAtOnceKeepBothScores) {
    writeFile("data/highscores.txt", "50\n40\n30\n20\n10\n");
    int locked[2];
    ASSERT_EQ(pipe(locked), 0);
    const pid_t other = fork();
    if (other == 0) {
        const FileLock lock("./data/highscores.txt");
        const bool told = write(locked[1], "!", 1) == 1;
        // Long enough for this test to read the old table, were it not waiting.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        _exit(told && replaceFile("./data/highscores.txt", "60\n50\n40\n30\n20\n") ? 0 : 1);
    }
    char byte = 0;
    ASSERT_EQ(read(locked[0], &byte, 1), 1);
    EXPECT_TRUE(GameState::updateHighScores(45));
    int status = 0;
    ASSERT_EQ(waitpid(other, &status, 0), other);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(readFile("data/highscores.txt"), "60\n50\n45\n40\n30\n");
    EXPECT_EQ(strayFiles(), std::vector<std::string>());
    close(locked[0]);
    close(locked[1]);
}

// A game that holds the lock longer than another waits (a slow disk, a stopped process) read
// the table before the other gave up and wrote its own: what it puts in place afterwards must
// still hold the other's score.
TEST_F(HighScoresTest, ScoreOfAGameThatGaveUpWaitingOutlastsTheSlowHolder) {
    writeFile("data/highscores.txt", "50\n40\n30\n20\n10\n");
    int stalled[2];
    int resume[2];
    ASSERT_EQ(pipe(stalled), 0);
    ASSERT_EQ(pipe(resume), 0);
    const pid_t holder = fork();
    if (holder == 0) {
        const FileLock lock("./data/highscores.txt");
        const HighScoreTable table("./data/highscores.txt");
        bool told = false;
        bool entered = false;
        const bool written = replaceFile("./data/highscores.txt", [&] {
            const std::string text = table.rewritten(60, entered);
            char byte = 0;
            // The holder stops with the old table read, until the other game has written.
            if (!told) {
                told = write(stalled[1], "!", 1) == 1 && read(resume[0], &byte, 1) == 1;
            }
            return text;
        });
        _exit(told && written && entered ? 0 : 1);
    }
    char byte = 0;
    ASSERT_EQ(read(stalled[0], &byte, 1), 1);
    EXPECT_TRUE(GameState::updateHighScores(45));
    EXPECT_EQ(readFile("data/highscores.txt"), "50\n45\n40\n30\n20\n");
    ASSERT_EQ(write(resume[1], "!", 1), 1);
    int status = 0;
    ASSERT_EQ(waitpid(holder, &status, 0), holder);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(readFile("data/highscores.txt"), "60\n50\n45\n40\n30\n");
    EXPECT_EQ(strayFiles(), std::vector<std::string>());
    for (int fd : {stalled[0], stalled[1], resume[0], resume[1]}) {
        close(fd);
    }
}

// A file that another writer changes under every look must not hold the game in the rewrite:
// after a few rounds one of the texts made goes in place, as a whole file.
TEST_F(HighScoresTest, RewriteOfAFileThatKeepsChangingEndsAfterAFewRounds) {
    writeFile("data/highscores.txt", "0\n");
    int looks = 0;
    EXPECT_TRUE(replaceFile("./data/highscores.txt", [&looks] {
        ++looks;
        return std::to_string(looks) + "\n";
    }));
    EXPECT_LE(looks, 10);
    const std::string kept = readFile("data/highscores.txt");
    EXPECT_TRUE(std::regex_match(kept, std::regex("[1-9][0-9]*\n"))) << kept;
    EXPECT_LE(std::stoi(kept), looks);
    EXPECT_EQ(strayFiles(), std::vector<std::string>());
}

TEST_F(HighScoresTest, MissingDataFolderStillAnswersAndIsLogged) {
    std::filesystem::remove_all("data");
    EXPECT_TRUE(GameState::updateHighScores(3));
    EXPECT_FALSE(GameState::updateHighScores(0));
    EXPECT_FALSE(std::filesystem::exists("data"));
    const std::string failed =
        "GameState::updateHighScores(...) - Could Not Write ./data/highscores.txt";
    EXPECT_EQ(logLines(), std::vector<std::string>(2, failed));
}
