// The settings record: every value the tester keeps in its settings file,
// with its default. Plain data: the session holds it without the INI reader;
// settings/Settings.h reads and writes it.
#pragma once

#include <string>

namespace eklz {

struct Settings {
  // Open states of the task-list groups "Документы", "Сервис", "Отчёты".
  bool group0Opened = true;
  bool group1Opened = true;
  bool group2Opened = true;
  bool Win1251 = true;     // texts exchanged with the device in Windows-1251 (else CP866)
  bool LogTXT = true;      // write the result view; commands get quiet = !LogTXT
  bool LogHEX = true;      // write the protocol view (logExchange)
  std::string ComPort = "COM1";
  std::string NameOrg;
  std::string FioBoss;
  int TimeOuts = 10;       // serial time-out T in milliseconds
  std::string BoundRate = "9600";
  bool Connected = true;   // open the link at start-up
  bool EKLZAbort = false;  // send the abort command right after the link is opened
  bool CrcOff = false;     // accept replies whose checksum does not match

  bool quiet() const { return !LogTXT; }
  bool logExchange() const { return LogHEX; }
};

}  // namespace eklz
