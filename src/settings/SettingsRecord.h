// The settings records: every value the tester keeps in its settings file,
// with its default. Plain data: the session holds its record without the INI
// reader; settings/Settings.h reads and writes them.
#pragma once

#include <string>

namespace eklz {

// What the link and the exchange need; the session holds it, and both
// programs read and write it.
struct Settings {
  bool Win1251 = true;     // texts exchanged with the device in Windows-1251 (else CP866)
  bool LogTXT = true;      // write the result view; commands get quiet = !LogTXT
  bool LogHEX = true;      // write the protocol view (logExchange)
  std::string ComPort = "COM1";
  int TimeOuts = 10;       // serial time-out T in milliseconds
  std::string BoundRate = "9600";
  bool EKLZAbort = false;  // send the abort command right after the link is opened
  bool CrcOff = false;     // accept replies whose checksum does not match

  bool quiet() const { return !LogTXT; }
  bool operator==(const Settings&) const = default;
  bool logExchange() const { return LogHEX; }
};

// What only the desktop program's window keeps: the open states of its
// task-list groups "Документы", "Сервис", "Отчёты", the organisation's
// particulars that the options dialog edits and the repair request's form
// prints, whether the window opens the link at start-up, and the folder its
// file dialogs used last (empty: none yet). The command
// line leaves these keys in the file as they are.
struct WindowSettings {
  bool group0Opened = true;
  bool group1Opened = true;
  bool group2Opened = true;
  std::string NameOrg;
  std::string FioBoss;
  bool Connected = true;  // open the link at start-up
  // The full dump's panel, kept for a dump resumed after a restart: the
  // file (an absolute path; empty: the panel's default), whether the rate
  // is raised, and the rate chosen (the list's text).
  std::string DumpFile;
  bool DumpMaxSpeed = false;
  std::string DumpRate = "19200";
  std::string LastFolder;

  bool operator==(const WindowSettings&) const = default;
};

}  // namespace eklz
