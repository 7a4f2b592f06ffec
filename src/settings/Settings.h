// The settings file: reading and writing the settings record by the file's
// rules, and where the file lies.
#pragma once

#include <optional>
#include <string>

#include "codec/FileCalls.h"
#include "settings/SettingsRecord.h"

namespace eklz {

class IniFile;

// Reads the session's record; anything missing or malformed gives the default.
Settings ReadSettings(const IniFile& ini);
// Reads the window's record the same way.
WindowSettings ReadWindowSettings(const IniFile& ini);

// Writes the session's record: Win1251, LogTXT, LogHEX, CrcOff, ComPort,
// TimeOuts, BoundRate, EKLZAbort.
void WriteSettings(IniFile& ini, const Settings& settings);
// Writes both records as the window does at shutdown, in the order of the
// keys (settings/SettingsKeys.h): the three group states, Win1251, LogTXT,
// LogHEX, CrcOff, ComPort, NameOrg, FioBoss, TimeOuts, BoundRate, Connected,
// EKLZAbort.
void WriteSettings(IniFile& ini, const Settings& settings, const WindowSettings& window);

// Loads the records from the settings file `path` (missing file: all defaults).
Settings LoadSettings(const std::string& path);
WindowSettings LoadWindowSettings(const std::string& path);

// Writes the records into the file `path`, keeping its other keys; raises
// EInOutError "Unable to write to <path>" on failure.
void SaveSettings(const std::string& path, const Settings& settings);
void SaveSettings(const std::string& path, const Settings& settings, const WindowSettings& window);

// Writes into the file `path` only the keys whose value in `after` differs
// from `before` (what a run changed), keeping everything else in the file as
// it is; with nothing changed the file is not touched. Raises as SaveSettings.
void SaveChangedSettings(const std::string& path, const Settings& before, const Settings& after);

// The line rate and time-out a run has switched the device to and not yet
// set back (a full dump at 19200). Kept in the settings file from just before
// the device is switched until it is set back, so that a program ended
// without its clean-up (kill -9, power loss) still finds the device.
struct RaisedRate {
  std::string rate;
  int timeout = 0;
};
// Raise as SaveSettings.
void RecordRaisedRate(const std::string& path, const RaisedRate& raised);
void ClearRaisedRate(const std::string& path);
// The record, when the file holds one.
std::optional<RaisedRate> ReadRaisedRate(const std::string& path);

// The name of the settings file that the desktop program and the command
// line share.
inline constexpr const char* kTesterSettingsName = "eklz-tester.ini";

// The settings file of an executable: its path with the extension replaced by ".ini".
std::string SettingsPathForExecutable(const std::string& executablePath);

// The settings file that the desktop program and the command line share:
// "eklz-tester.ini" in the folder of `executablePath` when a file there can be
// read (written or not) or, without a file, the folder can be written. An
// installed copy (help pages in ../share/eklz-tester/Docs and none beside it),
// or a program whose folder takes no file, keeps the file in the user's
// configuration folder instead: $XDG_CONFIG_HOME/eklz-tester/eklz-tester.ini,
// or ~/.config/eklz-tester/eklz-tester.ini without XDG_CONFIG_HOME (the folder
// is created on demand by the first save). On Windows the other place is
// %APPDATA%\eklz-tester\eklz-tester.ini.
std::string TesterSettingsPath(const std::string& executablePath);

// The help page `page` (a task-list item's page name, without folder and
// extension) of the program at `executablePath`: "Docs/<page>.htm" beside the
// executable, or, for an installed copy, "../share/eklz-tester/Docs/<page>.htm"
// relative to the executable's folder, whichever exists first as a file. When
// neither exists the path beside the executable is returned, and the help pane
// shows nothing.
std::string HelpPagePath(const std::string& executablePath, const std::string& page);

}  // namespace eklz
