#include "app/WindowSettingsFile.h"

#include <QWidget>

#include "app/Catalogue.h"
#include "app/TaskList.h"
#include "settings/IniFile.h"
#include "settings/Settings.h"
#include "settings/SettingsKeys.h"

namespace eklz::app {

namespace {

// The record's flag of the group kept under "Group `index`"; none for a
// group whose state is not kept. (Const or not, as the record is.)
template <class Record>
auto GroupFlag(Record& w, int index) -> decltype(&w.group0Opened) {
  switch (index) {
    case 0:
      return &w.group0Opened;
    case 1:
      return &w.group1Opened;
    case 2:
      return &w.group2Opened;
    default:
      return nullptr;
  }
}

}  // namespace

void WindowSettingsFile::Load(Settings& session) {
  const IniFile ini(path_.toStdString());
  session = ReadSettings(ini);
  record_ = ReadWindowSettings(ini);
}

void WindowSettingsFile::Save(const Settings& session) const { SaveSettings(path_.toStdString(), session, record_); }

void WindowSettingsFile::ApplyGroupStates(TaskList& list) const {
  for (size_t i = 0; i < list.GroupCount(); ++i) {
    if (const bool* opened = GroupFlag(record_, TaskGroups()[i].settingsIndex)) list.SetGroupExpanded(i, *opened);
  }
}

void WindowSettingsFile::KeepGroupStates(const TaskList& list) {
  for (size_t i = 0; i < list.GroupCount(); ++i) {
    if (bool* opened = GroupFlag(record_, TaskGroups()[i].settingsIndex)) *opened = list.GroupExpanded(i);
  }
}

void WindowSettingsFile::WriteLastCmd(uint8_t code) const {
  IniFile ini(path_.toStdString());
  WriteInteger(ini, SettingKey::LastCmd, code);
  ini.Save();
}

void WindowSettingsFile::KeepLastFolder(const QString& folder) {
  IniFile ini(path_.toStdString());
  WriteString(ini, SettingKey::LastFolder, folder.toStdString());
  // A name the file's encoding cannot hold is not kept: it would fail every
  // later save of the settings.
  (void)ini.Encoded();
  // A file that cannot be written still leaves the folder for this session.
  record_.LastFolder = folder.toStdString();
  ini.Save();
}

bool WindowSettingsFile::RestorePlacement(QWidget& window) const {
  const IniFile ini(path_.toStdString());
  if (!ReadBool(ini, SettingKey::PlacementSaved, false)) return false;
  const QRect now = window.geometry();
  const QRect stored(ReadInteger(ini, SettingKey::PlacementLeft, now.left()),
                     ReadInteger(ini, SettingKey::PlacementTop, now.top()),
                     ReadInteger(ini, SettingKey::PlacementWidth, now.width()),
                     ReadInteger(ini, SettingKey::PlacementHeight, now.height()));
  window.setGeometry(stored);
  if (ReadBool(ini, SettingKey::PlacementMaximized, false)) window.showMaximized();
  return true;
}

void WindowSettingsFile::SavePlacement(const QWidget& window) const {
  IniFile ini(path_.toStdString());
  const bool maximized = window.isMaximized();
  const QRect normal = maximized || window.isMinimized() ? window.normalGeometry() : window.geometry();
  WriteBool(ini, SettingKey::PlacementMaximized, maximized);
  WriteInteger(ini, SettingKey::PlacementLeft, normal.left());
  WriteInteger(ini, SettingKey::PlacementTop, normal.top());
  WriteInteger(ini, SettingKey::PlacementWidth, normal.width());
  WriteInteger(ini, SettingKey::PlacementHeight, normal.height());
  WriteBool(ini, SettingKey::PlacementSaved, true);
  ini.Save();
}

}  // namespace eklz::app
