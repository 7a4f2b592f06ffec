// The operating system's failures as the operator reads them: the system's
// message in Russian, the "System Error" text of a failed port call, and the
// few words and hints the front ends show for a port that cannot be opened.
#pragma once

#include <string>

#include "codec/Errors.h"

namespace eklz {

// The system's message for error number `code`, in Russian: the C library's
// Russian message when a Russian locale is installed, else our own text for
// the errors a serial port meets (ENOENT, EACCES, EPERM, EBUSY, EIO, ENOTTY,
// ENXIO), else the C library's message as it stands.
std::string SystemErrorMessage(int code);

// The failure of a port call: "System Error.  Code: %d.\r\n%s" with the
// message above.
ESystemError SystemError(int code);

// A few words for the status bar on why a port did not open
// ("Порт занят", "Нет доступа к порту", ...).
std::string PortFailureReason(int code);

// The lines that follow a port's system error: which port (with its device
// path) and, for a refused access, what to do about it.
std::string PortFailureContext(const std::string& port, int code);

}  // namespace eklz
