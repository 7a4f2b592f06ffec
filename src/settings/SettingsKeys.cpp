#include "settings/SettingsKeys.h"

#include <algorithm>
#include <iterator>

#include "settings/IniFile.h"

namespace eklz {

namespace {

constexpr const char* kOptions = "Options";
constexpr const char* kFormState = "fmMainFormState";

// The one table of keys, in the order of SettingKey.
constexpr SettingKeyName kKeys[] = {
    {"Group 0", "Opened"},     // Group0Opened
    {"Group 1", "Opened"},     // Group1Opened
    {"Group 2", "Opened"},     // Group2Opened
    {kOptions, "Win1251"},     // Win1251
    {kOptions, "LogTXT"},      // LogTXT
    {kOptions, "LogHEX"},      // LogHEX
    {kOptions, "CrcOff"},      // CrcOff
    {kOptions, "ComPort"},     // ComPort
    {kOptions, "NameOrg"},     // NameOrg
    {kOptions, "FioBoss"},     // FioBoss
    {kOptions, "TimeOuts"},    // TimeOuts
    {kOptions, "BoundRate"},   // BoundRate
    {kFormState, "Connected"},  // Connected
    {kFormState, "EKLZAbort"},  // EKLZAbort
    {"TfmMain", "DumpFile"},      // DumpFile
    {"TfmMain", "DumpMaxSpeed"},  // DumpMaxSpeed
    {"TfmMain", "DumpRate"},      // DumpRate
    {kOptions, "RaisedRate"},      // RaisedRate
    {kOptions, "RaisedTimeOuts"},  // RaisedTimeOuts
    {"TfmMain", "LastCmd"},     // LastCmd
    {"TfmMain", "LastFolder"},  // LastFolder
    {kFormState, "Maximized"},  // PlacementMaximized
    {kFormState, "Left"},       // PlacementLeft
    {kFormState, "Top"},        // PlacementTop
    {kFormState, "Width"},      // PlacementWidth
    {kFormState, "Height"},     // PlacementHeight
    {kFormState, "Saved"},      // PlacementSaved
};
static_assert(std::size(kKeys) == static_cast<size_t>(SettingKey::PlacementSaved) + 1,
              "one table row per key");

}  // namespace

const SettingKeyName& KeyName(SettingKey key) { return kKeys[static_cast<int>(key)]; }

bool ReadBool(const IniFile& ini, SettingKey key, bool def) {
  return ini.ReadBool(KeyName(key).section, KeyName(key).name, def);
}

int ReadInteger(const IniFile& ini, SettingKey key, int def) {
  return ini.ReadInteger(KeyName(key).section, KeyName(key).name, def);
}

std::string ReadString(const IniFile& ini, SettingKey key, const std::string& def) {
  return ini.ReadString(KeyName(key).section, KeyName(key).name, def);
}

void WriteBool(IniFile& ini, SettingKey key, bool value) {
  ini.WriteBool(KeyName(key).section, KeyName(key).name, value);
}

void WriteInteger(IniFile& ini, SettingKey key, int value) {
  ini.WriteInteger(KeyName(key).section, KeyName(key).name, value);
}

void WriteString(IniFile& ini, SettingKey key, const std::string& value) {
  ini.WriteString(KeyName(key).section, KeyName(key).name, value);
}

void DeleteKey(IniFile& ini, SettingKey key) { ini.DeleteKey(KeyName(key).section, KeyName(key).name); }

void WriteEntries(IniFile& ini, std::vector<SettingEntry> entries) {
  std::stable_sort(entries.begin(), entries.end(),
                   [](const SettingEntry& a, const SettingEntry& b) { return a.key < b.key; });
  for (const SettingEntry& e : entries) {
    if (const bool* b = std::get_if<bool>(&e.value)) {
      WriteBool(ini, e.key, *b);
    } else if (const int* i = std::get_if<int>(&e.value)) {
      WriteInteger(ini, e.key, *i);
    } else {
      WriteString(ini, e.key, std::get<std::string>(e.value));
    }
  }
}

}  // namespace eklz
