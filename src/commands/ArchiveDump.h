// The archive dump: archive memory pages of 512 bytes, shown as hexadecimal
// text and optionally written back to back into a dump file.
#pragma once

#include <cstdint>
#include <string>

#include "codec/CommandCodes.h"
#include "protocol/Session.h"

namespace eklz {

// Requests pages fromPage..toPage (only fromPage when `onePage`). With
// `toFile` the file is created (truncated) before the first request; a file
// that cannot be created fails before anything is sent, and a page is written
// only once it has come whole. Closing the progress display ends the dump
// after the page in progress, without a failure. Returns the last page as
// 1024 hexadecimal digits (empty when no page was asked for).
std::string AskArchiveDump(EklzSession& s, bool toFile, const std::string& fileName,
                           int fromPage, int toPage, bool onePage, bool quiet, bool logExchange);

// Requests pages fromPage..toPage like AskArchiveDump and appends each
// whole page to the dump file `fileName`, which keeps what it holds: it is
// opened for appending (created when missing) and never truncated.
void AppendArchiveDump(EklzSession& s, const std::string& fileName, int fromPage, int toPage,
                       bool quiet, bool logExchange);

// The whole pages the dump file `fileName` holds; 0 when there is no such
// file. A file whose size is not a whole number of pages, or that holds more
// pages than the archive has, is no dump file: TEKLZException with a message
// naming the file and its size. Nothing is changed.
int DumpFilePages(const std::string& fileName);

// What a dump has done: "записано 5 страниц из 8192" ("1 страницу", "2
// страницы"), counted in the archive when the file held `held` pages before
// it (a continued dump), with the pages of this dump after them: "записано
// 385 страниц из 8192 (в этом запуске 6)". `done` of `total` are the pages
// of this dump.
std::string PagesWrittenText(int held, int done, int total);

// Seconds a dump of `total` pages still needs after `done` of them: at the
// pace of the pages done in `elapsedSeconds`, or, before the first page, at
// the wire time of a page at the line rate `baud`. -1 when neither is known.
long long DumpSecondsLeft(int done, int total, double elapsedSeconds, uint32_t baud);

// A time span as the progress displays show it: "m:ss", or "h:mm:ss" from
// one hour on.
std::string DurationText(long long seconds);

}  // namespace eklz
