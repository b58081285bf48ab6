// What each platform's file supplies to FileReader.cpp: opening a file only when it is a
// regular one, without waiting on anything. Included by FileReader.cpp alone.
#ifndef ZANDOREL_FILEREADERDETAIL_H
#define ZANDOREL_FILEREADERDETAIL_H

#include <cstdio>
#include <string>

namespace reader_detail {

// The file at path open for binary reading, or null. notRegular says something other than a
// regular file is there (and then nothing was waited for).
std::FILE* openRegularFile(const std::string& path, bool& notRegular);

} // namespace reader_detail

#endif
