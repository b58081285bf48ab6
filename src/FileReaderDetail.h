// What each platform's file supplies to FileReader.cpp and Log.cpp: opening a file only when it
// is a regular one, without waiting on anything. Included by those two alone.
#ifndef ZANDOREL_FILEREADERDETAIL_H
#define ZANDOREL_FILEREADERDETAIL_H

#include <cstdio>
#include <string>

namespace reader_detail {

// How a file is opened: read; appended to, made when missing; or made when missing and emptied.
enum class Access { read, append, empty };

// The file at path open in binary for access, or null. notRegular says something other than a
// regular file is there (a link to one counts as one); then nothing was waited for or changed.
std::FILE* openRegularFile(const std::string& path, Access access, bool& notRegular);

} // namespace reader_detail

#endif
