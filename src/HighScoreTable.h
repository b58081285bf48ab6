// The high-score table file: its format and the rules by which it is read, updated and
// rewritten, in one place. The screens reach it through GameState's two operations, which
// also say in the log what became of the file.
#ifndef ZANDOREL_HIGHSCORETABLE_H
#define ZANDOREL_HIGHSCORETABLE_H

#include <cstddef>
#include <string>
#include <vector>

class HighScoreTable final {
public:
    // How many best scores the table keeps: the rows of the high-score screen, the texts that
    // cmake/DataSet.cmake writes and the tests all follow this one.
    static constexpr int size = 5;
    // A table's numbers take twelve bytes each at most: a file far longer is damaged, and is
    // not read past this.
    static constexpr std::size_t maxBytes = 4096;

    explicit HighScoreTable(std::string path) : path(std::move(path)) {}

    // The display read: the first size white-space separated tokens of the file's first maxBytes,
    // as stored, unconverted (a byte-order mark before the first is skipped); an entry that is
    // not there is empty.
    std::vector<std::string> readTokens() const;

    enum class Outcome { written, unreadable, unwritable };
    struct Update final {
        bool entered;    // the score is in the table written, or in the table as read when
                         // nothing could be written
        Outcome outcome; // what became of the file
        std::string why; // the system's words for what went wrong with the file, if it did
    };
    // Enters score and rewrites the file, holding the file's lock while it does. The table is
    // the first size tokens that begin with a 32-bit number (12AB reads as 12; any other token
    // is passed over, so one bad entry costs only itself), missing ones 0. A table that exists
    // but cannot be read, and one the player may not write, is left as it is.
    Update update(int score) const;

    // The text an update with score would write now: the file read afresh, score entered.
    // Asked again just before the new file goes in place, so that a table another game put
    // there meanwhile keeps its scores. entered says whether score got in.
    std::string rewritten(int score, bool& entered) const;

    // This table with the scores mine added to base entered into it by update's rule, as
    // update would write it: how two copies of one table that went their own ways come
    // together again (two browser tabs, web/page.js). Each file is read as update reads it.
    // allKept, when given, says whether every score mine added is in the table merged.
    std::string merged(const HighScoreTable& base, const HighScoreTable& mine,
                       bool* allKept = nullptr) const;

    // Whether this table, which a save made from earlier, holds each score that after added to
    // before once more than earlier held it: whether that rewrite's score was kept, whatever
    // became of scores added before it. Of equal scores, the newest counts as the one kept.
    bool keeps(const HighScoreTable& earlier, const HighScoreTable& before,
               const HighScoreTable& after) const;

private:
    std::string path;
};

#endif
