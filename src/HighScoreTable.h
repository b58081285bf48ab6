// The high-score table file: its format and the rules by which it is read, updated and
// rewritten, in one place. The screens reach it through GameState's two operations, which
// also say in the log what became of the file.
#ifndef ZANDOREL_HIGHSCORETABLE_H
#define ZANDOREL_HIGHSCORETABLE_H

#include <string>
#include <vector>

class HighScoreTable final {
public:
    static constexpr int size = 5;
    // Longer than any number a table holds (eleven characters at most), with room to spare: a
    // damaged file of one huge token must not be read whole.
    static constexpr std::size_t maxTokenLength = 64;
    // Five entries take a few dozen bytes; a table is read no further than this.
    static constexpr std::size_t readLimit = 4096;

    explicit HighScoreTable(std::string path) : path(std::move(path)) {}

    // The display read: the five entries as stored, unconverted; an entry that is not there is
    // empty. A byte-order mark before the first is skipped; the rest of a token longer than
    // maxTokenLength is not an entry, nor is anything after it.
    std::vector<std::string> readTokens() const;

    enum class Outcome { written, unreadable, unwritable };
    struct Update {
        bool entered;    // the score entered the five best
        Outcome outcome; // what became of the file
    };
    // Enters score and rewrites the file, holding the file's lock while it does. Entries are
    // read as 32-bit numbers from what the display read sees; a read that fails leaves its
    // entry and every later one at 0. A table that exists but cannot be read, and one the
    // player may not write, is left as it is (the answer is then the table's in memory).
    Update update(int score) const;

    // The text an update with score would write now: the file read afresh, score entered.
    // Asked again just before the new file goes in place, so that a table another game put
    // there meanwhile keeps its scores. entered says whether score got in.
    std::string rewritten(int score, bool& entered) const;

private:
    // What both reads see of the file (see readTokens), one token a line. False when the
    // file cannot be opened.
    bool readText(std::string& text) const;

    std::string path;
};

#endif
