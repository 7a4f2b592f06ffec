// The archive dump: archive memory pages of 512 bytes, shown as hexadecimal
// text and optionally written back to back into a dump file.
#pragma once

#include <string>

#include "codec/CommandCodes.h"
#include "protocol/Session.h"

namespace eklz {

// Requests pages fromPage..toPage (only fromPage when `onePage`). With
// `toFile` the file is created (truncated) before the first request; a file
// that cannot be created fails before anything is sent, and a page is written
// only once it has come whole. Closing the progress display ends the dump
// after the page in progress, without a failure. `pageData` receives the last
// page as 1024 hexadecimal digits.
void AskArchiveDump(EklzSession& s, bool toFile, const std::string& fileName, int fromPage,
                    int toPage, bool onePage, bool quiet, bool logExchange,
                    std::string& pageData);

// What a stopped dump has done: "записано N страниц из M".
std::string PagesWrittenText(int done, int total);

}  // namespace eklz
