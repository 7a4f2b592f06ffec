// The window's own keys in the settings file: its record (the task-list
// group states, the organisation, the link at start-up) beside the session's,
// the last command chosen and the window's placement.
#pragma once

#include <QString>

#include <cstdint>

#include "settings/SettingsRecord.h"

class QWidget;

namespace eklz::app {

class TaskList;

class WindowSettingsFile {
 public:
  explicit WindowSettingsFile(QString path) : path_(std::move(path)) {}

  const QString& Path() const { return path_; }
  WindowSettings& Record() { return record_; }

  // Reads the session's record into `session` and the window's own.
  void Load(Settings& session);
  // Writes both records; raises EInOutError when the file cannot be written.
  void Save(const Settings& session) const;

  // The task list opens and closes its groups as the record says, and the
  // record takes them back from it.
  void ApplyGroupStates(TaskList& list) const;
  void KeepGroupStates(const TaskList& list);

  // The command chosen last; raises when the file cannot be written.
  void WriteLastCmd(uint8_t code) const;
  // The folder of the file chosen last in a file dialog, into the record and
  // the file at once. Raises TEKLZException, keeping the record as it was,
  // when the file's encoding cannot hold the name, and EInOutError when the
  // file cannot be written (the record keeps the folder then).
  void KeepLastFolder(const QString& folder);

  // The window's stored placement, when one was saved (true then); and
  // saving it.
  bool RestorePlacement(QWidget& window) const;
  void SavePlacement(const QWidget& window) const;

 private:
  QString path_;
  WindowSettings record_;
};

}  // namespace eklz::app
