#include "settings/Settings.h"

#include "codec/FileCalls.h"
#include "settings/IniFile.h"
#include "settings/SettingsKeys.h"

#ifndef _WIN32
#include <unistd.h>
#endif

#include <cstdlib>
#include <filesystem>

namespace eklz {

namespace {

// The session's record under its keys.
const SettingField<Settings> kSettingsFields[] = {
    {SettingKey::Win1251, &Settings::Win1251},     {SettingKey::LogTXT, &Settings::LogTXT},
    {SettingKey::LogHEX, &Settings::LogHEX},       {SettingKey::CrcOff, &Settings::CrcOff},
    {SettingKey::ComPort, &Settings::ComPort},     {SettingKey::TimeOuts, &Settings::TimeOuts},
    {SettingKey::BoundRate, &Settings::BoundRate}, {SettingKey::EKLZAbort, &Settings::EKLZAbort},
};

// The window's record under its keys.
const SettingField<WindowSettings> kWindowFields[] = {
    {SettingKey::Group0Opened, &WindowSettings::group0Opened},
    {SettingKey::Group1Opened, &WindowSettings::group1Opened},
    {SettingKey::Group2Opened, &WindowSettings::group2Opened},
    {SettingKey::NameOrg, &WindowSettings::NameOrg},
    {SettingKey::FioBoss, &WindowSettings::FioBoss},
    {SettingKey::Connected, &WindowSettings::Connected},
    {SettingKey::DumpFile, &WindowSettings::DumpFile},
    {SettingKey::DumpMaxSpeed, &WindowSettings::DumpMaxSpeed},
    {SettingKey::DumpRate, &WindowSettings::DumpRate},
    {SettingKey::LastFolder, &WindowSettings::LastFolder},
};

}  // namespace

Settings ReadSettings(const IniFile& ini) {
  Settings s;
  ReadFields(ini, s, kSettingsFields);
  return s;
}

WindowSettings ReadWindowSettings(const IniFile& ini) {
  WindowSettings w;
  ReadFields(ini, w, kWindowFields);
  return w;
}

void WriteSettings(IniFile& ini, const Settings& s) { WriteEntries(ini, FieldEntries(s, kSettingsFields)); }

void WriteSettings(IniFile& ini, const Settings& s, const WindowSettings& w) {
  std::vector<SettingEntry> entries = FieldEntries(s, kSettingsFields);
  const std::vector<SettingEntry> window = FieldEntries(w, kWindowFields);
  entries.insert(entries.end(), window.begin(), window.end());
  WriteEntries(ini, std::move(entries));
}

Settings LoadSettings(const std::string& path) { return ReadSettings(IniFile(path)); }

WindowSettings LoadWindowSettings(const std::string& path) { return ReadWindowSettings(IniFile(path)); }

void SaveSettings(const std::string& path, const Settings& settings) {
  IniFile ini(path);
  WriteSettings(ini, settings);
  ini.Save();
}

void SaveSettings(const std::string& path, const Settings& settings, const WindowSettings& window) {
  IniFile ini(path);
  WriteSettings(ini, settings, window);
  ini.Save();
}

void SaveChangedSettings(const std::string& path, const Settings& before, const Settings& after) {
  if (before == after) return;
  IniFile ini(path);
  WriteEntries(ini, FieldEntries(after, kSettingsFields, &before));
  ini.Save();
}

void RecordRaisedRate(const std::string& path, const RaisedRate& raised) {
  IniFile ini(path);
  WriteString(ini, SettingKey::RaisedRate, raised.rate);
  WriteInteger(ini, SettingKey::RaisedTimeOuts, raised.timeout);
  ini.Save();
}

void ClearRaisedRate(const std::string& path) {
  IniFile ini(path);
  if (ReadString(ini, SettingKey::RaisedRate, "").empty()) return;
  DeleteKey(ini, SettingKey::RaisedRate);
  DeleteKey(ini, SettingKey::RaisedTimeOuts);
  // A file that a raised dump made only to note its rate goes again: an
  // empty "[Options]" would hide that no settings were ever kept.
  if (ini.HoldsNothing() && RemoveFile(path)) return;
  ini.Save();
}

std::optional<RaisedRate> ReadRaisedRate(const std::string& path) {
  const IniFile ini(path);
  RaisedRate raised{ReadString(ini, SettingKey::RaisedRate, ""),
                    ReadInteger(ini, SettingKey::RaisedTimeOuts, 0)};
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
