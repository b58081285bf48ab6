// Reads the game's own files: levels, time limits, tutorials, the high-score table and the
// pictures. Only a regular file is read: a FIFO, a device or a folder in a file's place would
// hold the game for good or never end, so it reads as a file that cannot be opened, with a line
// in the log. No read goes past the limit its caller sets, and a UTF-8 byte-order mark at the
// start of a text file is skipped, as some editors save one.
#ifndef ZANDOREL_FILEREADER_H
#define ZANDOREL_FILEREADER_H

#include <cstddef>
#include <cstdio>
#include <string>

class FileReader final {
public:
    enum class Kind { text, binary };
    // Opens path, if it names a regular file; the file stays open until the reader goes. At
    // most limit bytes are read from it (a text file's byte-order mark aside).
    FileReader(const std::string& path, std::size_t limit, Kind kind = Kind::text);
    ~FileReader();

    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    bool isOpen() const { return file != nullptr; }

    // A whole number read as a standard stream extracts one: white space skipped, an optional
    // sign, then decimal digits up to the first other character, which is left for the next
    // read. end when the text ran out first (or the limit fell inside the number), notANumber
    // for anything else, a number that does not fit an int included.
    enum class Number { read, end, notANumber };
    Number readInt(int& value);

    // The characters up to the first line end; a carriage return before it belongs to the
    // line end. cut says the limit ended the line before a line end or the end of the file did.
    std::string readLine(bool& cut);

    // What is left of the file, up to the limit; cut says the file holds more.
    std::string readRest(bool& cut);

private:
    int get();
    int peek();
    void unget(int c);
    bool moreInFile();

    std::FILE* file = nullptr; // owned: closed by the destructor
    std::size_t left;          // bytes the limit still allows
    int held = EOF;            // a byte peeked at and not yet taken
};

#endif
