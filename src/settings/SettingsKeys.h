// Every key of the settings file, spelled once: its section and its name.
// The session's record, the window's record, the window's own keys (last
// command, placement) and the raised-rate record all read and write through
// this table.
#pragma once

#include <string>
#include <type_traits>
#include <variant>
#include <vector>

namespace eklz {

class IniFile;

// The keys in the order a whole save writes them (a new file gets its
// sections and keys in this order).
enum class SettingKey : int {
  // The open states of the task-list groups "Документы", "Сервис", "Отчёты".
  Group0Opened,
  Group1Opened,
  Group2Opened,
  Win1251,
  LogTXT,
  LogHEX,
  CrcOff,
  ComPort,
  NameOrg,
  FioBoss,
  TimeOuts,
  BoundRate,
  Connected,
  EKLZAbort,
  // The full dump's panel: its file, whether it raises the rate, the rate.
  DumpFile,
  DumpMaxSpeed,
  DumpRate,
  // A raised line rate not yet set back (settings/Settings.h, RaisedRate).
  RaisedRate,
  RaisedTimeOuts,
  // The window's last command, the folder its file dialogs used last, and
  // its placement.
  LastCmd,
  LastFolder,
  PlacementMaximized,
  PlacementLeft,
  PlacementTop,
  PlacementWidth,
  PlacementHeight,
  PlacementSaved,
};

struct SettingKeyName {
  const char* section;
  const char* name;
};

// The section and name of `key`.
const SettingKeyName& KeyName(SettingKey key);

// Reading and writing one key by the file's rules (IniFile).
bool ReadBool(const IniFile& ini, SettingKey key, bool def);
int ReadInteger(const IniFile& ini, SettingKey key, int def);
std::string ReadString(const IniFile& ini, SettingKey key, const std::string& def);
void WriteBool(IniFile& ini, SettingKey key, bool value);
void WriteInteger(IniFile& ini, SettingKey key, int value);
void WriteString(IniFile& ini, SettingKey key, const std::string& value);
void DeleteKey(IniFile& ini, SettingKey key);

// A value to be written under its key.
using SettingValue = std::variant<bool, int, std::string>;
struct SettingEntry {
  SettingKey key;
  SettingValue value;
};

// Writes `entries` in the order of the keys, whatever record each came from.
void WriteEntries(IniFile& ini, std::vector<SettingEntry> entries);

// A record's field under its key: the record's reader and writer go over a
// list of these, so each field is named once.
template <class Record>
struct SettingField {
  SettingKey key;
  std::variant<bool Record::*, int Record::*, std::string Record::*> member;
};

// Reads every field of `fields` into `record`; a missing or malformed key
// leaves the field at the value it has (its default).
template <class Record, class Fields>
void ReadFields(const IniFile& ini, Record& record, const Fields& fields) {
  for (const SettingField<Record>& f : fields) {
    std::visit(
        [&](auto member) {
          using T = std::remove_reference_t<decltype(record.*member)>;
          if constexpr (std::is_same_v<T, bool>) {
            record.*member = ReadBool(ini, f.key, record.*member);
          } else if constexpr (std::is_same_v<T, int>) {
            record.*member = ReadInteger(ini, f.key, record.*member);
          } else {
            record.*member = ReadString(ini, f.key, record.*member);
          }
        },
        f.member);
  }
}

// The entries of `record`; with `before`, only those whose value differs.
template <class Record, class Fields>
std::vector<SettingEntry> FieldEntries(const Record& record, const Fields& fields,
                                       const Record* before = nullptr) {
  std::vector<SettingEntry> entries;
  for (const SettingField<Record>& f : fields) {
    std::visit(
        [&](auto member) {
          if (!before || before->*member != record.*member) entries.push_back({f.key, record.*member});
        },
        f.member);
  }
  return entries;
}

}  // namespace eklz
