#include "FileReplace.h"
#include "GameState.h"

#include "TestSupport.h"

#include <chrono>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <thread>

#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

class HighScoresTest : public SandboxTest {};

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

// Everything in data/ but the table itself: a rewrite must leave no scratch file behind.
std::vector<std::string> strayFiles() {
    std::vector<std::string> stray;
    for (const auto& entry : std::filesystem::directory_iterator("data")) {
        if (entry.path().filename() != "highscores.txt") {
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

// The rewrite replaces the table's content only: the file keeps its mode, its owner and its
// link, and a file the game did not make is never touched. Where no new file can be put
// beside the table, the table is rewritten in place rather than left behind.
TEST_F(HighScoresTest, RewriteKeepsTheFileAsThePlayerSetItUp) {
    namespace fs = std::filesystem;
    const std::string before = "50\n40\n30\n20\n10\n";
    const std::string after = "50\n45\n40\n30\n20\n";
    const uid_t nobody = 65534;
    struct Case {
        const char* name;
        std::function<void()> setUp;
        bool ordinaryUser;
        std::function<void()> check;
    };
    const Case cases[] = {
        {"group-writable mode kept",
         [] { fs::permissions("data/highscores.txt", fs::perms(0664)); }, false,
         [] { EXPECT_EQ(fs::status("data/highscores.txt").permissions(), fs::perms(0664)); }},
        {"link followed",
         [&] {
             fs::create_directory("scores");
             fs::rename("data/highscores.txt", "scores/mine.txt");
             fs::create_symlink("../scores/mine.txt", "data/highscores.txt");
         },
         false,
         [&] {
             EXPECT_TRUE(fs::is_symlink("data/highscores.txt"));
             EXPECT_EQ(readFile("scores/mine.txt"), after);
         }},
        {"file of the scratch name untouched",
         [this] { writeFile("data/highscores.txt.new", "mine"); }, false,
         [this] {
             EXPECT_EQ(readFile("data/highscores.txt.new"), "mine");
             fs::remove("data/highscores.txt.new");
         }},
        {"folder closed to new files",
         [] {
             fs::permissions("data/highscores.txt", fs::perms(0666));
             fs::permissions("data", fs::perms(0555));
         },
         true, [] { fs::permissions("data", fs::perms::all); }},
        {"access list and attributes kept",
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
         }},
        {"owner kept by root",
         [&] {
             if (chown("data/highscores.txt", nobody, nobody) != 0) {
                 ADD_FAILURE() << "chown";
             }
         },
         false,
         [&] {
             struct stat file;
             ASSERT_EQ(stat("data/highscores.txt", &file), 0);
             EXPECT_EQ(file.st_uid, nobody);
         }},
        {"owner kept when the player cannot give it",
         [] {
             fs::permissions("data/highscores.txt", fs::perms(0666));
             fs::permissions("data", fs::perms::all);
         },
         true,
         [] {
             struct stat file;
             ASSERT_EQ(stat("data/highscores.txt", &file), 0);
             EXPECT_EQ(file.st_uid, 0u);
         }},
    };
    if (geteuid() != 0) {
        GTEST_SKIP() << "the owner and unprivileged cases need to start as root";
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all("scores");
        fs::remove("data/highscores.txt");
        writeFile("data/highscores.txt", before);
        c.setUp();
        EXPECT_TRUE(updateInChild(45, c.ordinaryUser));
        EXPECT_EQ(readFile("data/highscores.txt"), after);
        c.check();
        EXPECT_EQ(strayFiles(), std::vector<std::string>());
    }
}

// A table the player may not write keeps its content and stays the same file, even where the
// folder would let a new one be put in its place; one with no permissions at all cannot even
// be read, and still exists.
TEST_F(HighScoresTest, TableThePlayerMayNotWriteKeepsItsContent) {
    namespace fs = std::filesystem;
    const std::string before = "50\n40\n30\n20\n10\n";
    const uid_t nobody = 65534;
    for (const fs::perms mode : {fs::perms(0444), fs::perms(0)}) {
        SCOPED_TRACE(static_cast<int>(mode));
        fs::remove("data/highscores.txt");
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

TEST_F(HighScoresTest, MissingDataFolderStillAnswersAndIsLogged) {
    std::filesystem::remove_all("data");
    EXPECT_TRUE(GameState::updateHighScores(3));
    EXPECT_FALSE(GameState::updateHighScores(0));
    EXPECT_FALSE(std::filesystem::exists("data"));
    const std::string failed =
        "GameState::updateHighScores(...) - Could Not Write ./data/highscores.txt";
    EXPECT_EQ(logLines(), std::vector<std::string>(2, failed));
}
