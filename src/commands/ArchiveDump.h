// The archive dump: archive memory pages of 512 bytes, shown as hexadecimal
// text and optionally written back to back into a dump file.
#pragma once

#include <string>

#include "protocol/Session.h"

namespace eklz {

inline constexpr int kArchivePages = 8192;
inline constexpr int kArchivePageSize = 512;

// Requests pages fromPage..toPage (only fromPage when `onePage`). With
// `toFile` the file is created (truncated) before the first request; a file
// that cannot be created fails before anything is sent, and a page is written
// only once it has come whole. Closing the progress display ends the dump
// after the page in progress, without a failure. Returns the last page as
// 1024 hexadecimal digits (empty when no page was asked for).
std::string AskArchiveDump(EklzSession& s, bool toFile, const std::string& fileName,
                           int fromPage, int toPage, bool onePage, bool quiet, bool logExchange);

// What a stopped dump has done: "записано N страниц из M".
std::string PagesWrittenText(int done, int total);

}  // namespace eklz
