#include "settings/Settings.h"

#include "settings/IniFile.h"

#ifndef _WIN32
#include <unistd.h>
#endif

#include <cstdlib>
#include <filesystem>

namespace eklz {

namespace {
const char* const kOptions = "Options";
const char* const kFormState = "fmMainFormState";
const char* const kGroups[] = {"Group 0", "Group 1", "Group 2"};
}  // namespace

Settings ReadSettings(const IniFile& ini) {
  Settings s;
  const Settings d;
  s.group0Opened = ini.ReadBool(kGroups[0], "Opened", d.group0Opened);
  s.group1Opened = ini.ReadBool(kGroups[1], "Opened", d.group1Opened);
  s.group2Opened = ini.ReadBool(kGroups[2], "Opened", d.group2Opened);
  s.Win1251 = ini.ReadBool(kOptions, "Win1251", d.Win1251);
  s.LogTXT = ini.ReadBool(kOptions, "LogTXT", d.LogTXT);
  s.LogHEX = ini.ReadBool(kOptions, "LogHEX", d.LogHEX);
  s.ComPort = ini.ReadString(kOptions, "ComPort", d.ComPort);
  s.NameOrg = ini.ReadString(kOptions, "NameOrg", d.NameOrg);
  s.FioBoss = ini.ReadString(kOptions, "FioBoss", d.FioBoss);
  s.TimeOuts = ini.ReadInteger(kOptions, "TimeOuts", d.TimeOuts);
  s.BoundRate = ini.ReadString(kOptions, "BoundRate", d.BoundRate);
  s.Connected = ini.ReadBool(kFormState, "Connected", d.Connected);
  s.EKLZAbort = ini.ReadBool(kFormState, "EKLZAbort", d.EKLZAbort);
  s.CrcOff = ini.ReadBool(kOptions, "CrcOff", d.CrcOff);
  return s;
}

namespace {

// Writes the keys in shutdown order; with `before`, only those whose value
// differs from it.
void WriteKeys(IniFile& ini, const Settings& s, const Settings* before) {
  auto flag = [&](const char* section, const char* key, bool Settings::*m) {
    if (!before || before->*m != s.*m) ini.WriteBool(section, key, s.*m);
  };
  auto text = [&](const char* key, std::string Settings::*m) {
    if (!before || before->*m != s.*m) ini.WriteString(kOptions, key, s.*m);
  };
  flag(kGroups[0], "Opened", &Settings::group0Opened);
  flag(kGroups[1], "Opened", &Settings::group1Opened);
  flag(kGroups[2], "Opened", &Settings::group2Opened);
  flag(kOptions, "Win1251", &Settings::Win1251);
  flag(kOptions, "LogTXT", &Settings::LogTXT);
  flag(kOptions, "LogHEX", &Settings::LogHEX);
  flag(kOptions, "CrcOff", &Settings::CrcOff);
  text("ComPort", &Settings::ComPort);
  text("NameOrg", &Settings::NameOrg);
  text("FioBoss", &Settings::FioBoss);
  if (!before || before->TimeOuts != s.TimeOuts) ini.WriteInteger(kOptions, "TimeOuts", s.TimeOuts);
  text("BoundRate", &Settings::BoundRate);
  flag(kFormState, "Connected", &Settings::Connected);
  flag(kFormState, "EKLZAbort", &Settings::EKLZAbort);
}

}  // namespace

void WriteSettings(IniFile& ini, const Settings& s) { WriteKeys(ini, s, nullptr); }

Settings LoadSettings(const std::string& path) { return ReadSettings(IniFile(path)); }

void SaveSettings(const std::string& path, const Settings& settings) {
  IniFile ini(path);
  WriteSettings(ini, settings);
  ini.Save();
}

void SaveChangedSettings(const std::string& path, const Settings& before, const Settings& after) {
  if (before == after) return;
  IniFile ini(path);
  WriteKeys(ini, after, &before);
  ini.Save();
}

void RecordRaisedRate(const std::string& path, const RaisedRate& raised) {
  IniFile ini(path);
  ini.WriteString(kOptions, "RaisedRate", raised.rate);
  ini.WriteInteger(kOptions, "RaisedTimeOuts", raised.timeout);
  ini.Save();
}

void ClearRaisedRate(const std::string& path) {
  IniFile ini(path);
  if (ini.ReadString(kOptions, "RaisedRate", "").empty()) return;
  ini.DeleteKey(kOptions, "RaisedRate");
  ini.DeleteKey(kOptions, "RaisedTimeOuts");
  ini.Save();
}

std::optional<RaisedRate> ReadRaisedRate(const std::string& path) {
  const IniFile ini(path);
  RaisedRate raised{ini.ReadString(kOptions, "RaisedRate", ""),
                    ini.ReadInteger(kOptions, "RaisedTimeOuts", 0)};
  if (raised.rate.empty()) return std::nullopt;
  return raised;
}

std::string SettingsPathForExecutable(const std::string& executablePath) {
  const size_t slash = executablePath.find_last_of(kPathSeparators);
  const size_t dot = executablePath.find_last_of('.');
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  return (hasExtension ? executablePath.substr(0, dot) : executablePath) + ".ini";
}

#ifndef _WIN32
std::string TesterSettingsPath(const std::string& executablePath) {
  const size_t slash = executablePath.find_last_of('/');
  const std::string dir = slash == std::string::npos ? "." : executablePath.substr(0, slash + 1);
  const std::string beside = (slash == std::string::npos ? "" : dir) + kTesterSettingsName;
  // An installed copy (its help pages in ../share, none beside it) keeps the
  // settings of each user in that user's configuration folder, also when run
  // by root, who could write into the program's folder.
  std::error_code ignored;
  const bool installed = !std::filesystem::is_directory(dir + "Docs", ignored) &&
                         std::filesystem::is_directory(dir + "../share/eklz-tester/Docs", ignored);
  // A file beside the program that can be read is the program's settings,
  // even when it cannot be written (the front ends say so when they save);
  // without a file, a writable folder takes a new one.
  if (!installed && (access(beside.c_str(), R_OK) == 0 ||
                     (access(beside.c_str(), F_OK) != 0 && access(dir.c_str(), W_OK) == 0))) {
    return beside;
  }
  std::string config;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/') {
    config = xdg;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
    config = std::string(home) + "/.config";
  } else {
    return beside;
  }
  return config + "/eklz-tester/" + kTesterSettingsName;
}
#endif

std::string HelpPagePath(const std::string& executablePath, const std::string& page) {
  const size_t slash = executablePath.find_last_of(kPathSeparators);
  const std::string dir = slash == std::string::npos ? "" : executablePath.substr(0, slash + 1);
  const std::string file = page + ".htm";
  const std::string beside = dir + "Docs/" + file;
  const std::string installed = dir + "../share/eklz-tester/Docs/" + file;
  for (const std::string& candidate : {beside, installed}) {
    std::error_code ignored;
    if (std::filesystem::is_regular_file(PathOf(candidate), ignored)) return candidate;
  }
  return beside;
}

}  // namespace eklz
