// Exception types of the tester core. Every message is what the operator sees.
#pragma once

#include <stdexcept>
#include <string>

namespace eklz {

// The one exception of the command layer: protocol failures, device answer
// codes and refused inputs. Its message is Russian text in UTF-8.
class TEKLZException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A text that does not convert to a number or a date
// ("'%s' is not a valid integer value" and its relatives).
class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// An operating-system failure of the serial port:
// "System Error.  Code: %d.\r\n%s" (see SystemErrorWithText).
class ESystemError : public std::runtime_error {
 public:
  ESystemError(int code, const std::string& message);
  int Code() const { return code_; }

 private:
  int code_;
};

// A failure to create or write a file (dump files, saved views).
class EInOutError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A run ended at the operator's request (a cancel from another thread, the
// progress dialog's abort, a signal). Not a device failure: callers tell it
// apart by its type. Its message is "Операция прервана".
class EOperationCancelled : public std::runtime_error {
 public:
  EOperationCancelled();
};

// The one form of every operating-system failure of a port, whichever
// system's message `text` is: "System Error.  Code: <code>.\r\n<text>".
ESystemError SystemErrorWithText(int code, const std::string& text);

// "'<text>' is not a valid integer value".
EConvertError InvalidInteger(const std::string& text);

// The text shown in the error message box: a full stop is appended when the
// message's last character sorts after "." (letters, digits); a message that
// ends in ".", ")", "!" or a blank is shown unchanged.
std::string MessageBoxText(const std::string& message);

}  // namespace eklz
