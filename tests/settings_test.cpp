// The settings file: defaults, reading rules, write order and write failure.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <fstream>
#include <sstream>

#include "codec/CodePage.h"
#include "codec/Errors.h"
#include "settings/IniFile.h"
#include "settings/Settings.h"
#include "support/TempDir.h"

namespace eklz {
namespace {

namespace fs = std::filesystem;

class SettingsFile : public ::testing::Test {
 protected:
  void Put(const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }
  std::string Get() {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  test::TempDir temp;
  const fs::path& dir = temp.Path();
  std::string path = temp.File("eklz.ini");
};

TEST_F(SettingsFile, AMissingFileGivesEveryDefault) {
  const Settings s = LoadSettings(path);
  const WindowSettings w = LoadWindowSettings(path);
  EXPECT_TRUE(w.group0Opened && w.group1Opened && w.group2Opened);
  EXPECT_TRUE(s.Win1251);
  EXPECT_TRUE(s.LogTXT);
  EXPECT_TRUE(s.LogHEX);
  EXPECT_EQ(s.ComPort, "COM1");
  EXPECT_EQ(w.NameOrg, "");
  EXPECT_EQ(w.FioBoss, "");
  EXPECT_EQ(s.TimeOuts, 10);
  EXPECT_EQ(s.BoundRate, "9600");
  EXPECT_TRUE(w.Connected);
  EXPECT_FALSE(s.EKLZAbort);
  EXPECT_FALSE(s.CrcOff);
  EXPECT_FALSE(fs::exists(path));
}

TEST_F(SettingsFile, ReadingRules) {
  Put("[Options]\r\n"
      "TimeOuts=0x20\r\n"
      "LogTXT=0\r\n"
      "LogHEX=7\r\n"
      "CrcOff=-1\r\n"
      "Win1251=yes\r\n"
      "BoundRate=abc\r\n"
      "comport = /dev/ttyUSB0 \r\n"
      "NameOrg=" + std::string(3000, 'x') + "\r\n"
      "[fmMainFormState]\r\n"
      "Connected=0X0\r\n"
      "EKLZAbort=99999999999\r\n"
      "[Group 1]\r\n"
      "Opened=0\r\n");
  const Settings s = LoadSettings(path);
  const WindowSettings w = LoadWindowSettings(path);
  EXPECT_EQ(s.TimeOuts, 32);           // 0x hexadecimal
  EXPECT_FALSE(s.LogTXT);
  EXPECT_TRUE(s.quiet());
  EXPECT_TRUE(s.LogHEX);               // any non-zero integer is true
  EXPECT_TRUE(s.CrcOff);
  EXPECT_TRUE(s.Win1251);              // not an integer: the default
  EXPECT_EQ(s.BoundRate, "abc");       // strings are taken as they are
  EXPECT_EQ(s.ComPort, "/dev/ttyUSB0");  // names without regard to case
  EXPECT_EQ(w.NameOrg, std::string(2047, 'x'));
  EXPECT_FALSE(w.Connected);
  EXPECT_FALSE(s.EKLZAbort);           // out of 32-bit range: the default
  EXPECT_TRUE(w.group0Opened);
  EXPECT_FALSE(w.group1Opened);
}

TEST_F(SettingsFile, ReadsWindows1251AndUtf8Files) {
  Put("[Options]\r\nNameOrg=" + Utf8ToCp1251("ООО \"Ромашка\"") + "\r\n");
  EXPECT_EQ(LoadWindowSettings(path).NameOrg, "ООО \"Ромашка\"");
  Put("[Options]\r\nNameOrg=ООО \"Ромашка\"\n");
  EXPECT_EQ(LoadWindowSettings(path).NameOrg, "ООО \"Ромашка\"");
}

// The window's save writes its record and the session's together, each key
// in its place.
TEST_F(SettingsFile, SaveWritesTheKeysInOrderInWindows1251AndRoundTrips) {
  Settings s;
  WindowSettings w;
  s.LogTXT = false;
  w.NameOrg = "ЦТО \"Касса\"";
  w.FioBoss = "Иванов И. И.";
  w.LastFolder = "/home/user/Документы";
  s.BoundRate = "abc";  // written back unchanged
  s.TimeOuts = 32;
  s.EKLZAbort = true;
  w.DumpFile = "/дампы/Dump.bin";
  w.DumpMaxSpeed = true;
  w.DumpRate = "наибольшая";
  SaveSettings(path, s, w);
  EXPECT_EQ(Get(), Utf8ToCp1251("[Group 0]\r\nOpened=1\r\n\r\n"
                                "[Group 1]\r\nOpened=1\r\n\r\n"
                                "[Group 2]\r\nOpened=1\r\n\r\n"
                                "[Options]\r\nWin1251=1\r\nLogTXT=0\r\nLogHEX=1\r\nCrcOff=0\r\n"
                                "ComPort=COM1\r\nNameOrg=ЦТО \"Касса\"\r\nFioBoss=Иванов И. И.\r\n"
                                "TimeOuts=32\r\nBoundRate=abc\r\n\r\n"
                                "[fmMainFormState]\r\nConnected=1\r\nEKLZAbort=1\r\n\r\n"
                                "[TfmMain]\r\nDumpFile=/дампы/Dump.bin\r\nDumpMaxSpeed=1\r\n"
                                "DumpRate=наибольшая\r\nLastFolder=/home/user/Документы\r\n\r\n"));
  const Settings back = LoadSettings(path);
  const WindowSettings windowBack = LoadWindowSettings(path);
  EXPECT_EQ(windowBack.NameOrg, w.NameOrg);
  EXPECT_EQ(windowBack.FioBoss, w.FioBoss);
  EXPECT_EQ(windowBack, w);
  EXPECT_EQ(back.BoundRate, "abc");
  EXPECT_EQ(back.TimeOuts, 32);
  EXPECT_FALSE(back.LogTXT);
  EXPECT_TRUE(back.EKLZAbort);
}

TEST_F(SettingsFile, SaveKeepsKeysItDoesNotOwn) {
  Put("[TfmMain]\r\nLastCmd=34\r\n[fmMainFormState]\r\nMaximized=1\r\nConnected=0\r\n");
  Settings s = LoadSettings(path);
  const WindowSettings w = LoadWindowSettings(path);
  EXPECT_FALSE(w.Connected);
  SaveSettings(path, s, w);
  IniFile ini(path);
  EXPECT_EQ(ini.ReadInteger("TfmMain", "LastCmd", 0), 34);
  EXPECT_TRUE(ini.ReadBool("fmMainFormState", "Maximized", false));
  EXPECT_FALSE(ini.ReadBool("fmMainFormState", "Connected", true));
}

#ifndef _WIN32
// Windows has no permission bits that keep a folder from taking files.
TEST_F(SettingsFile, AFailedWriteNamesTheFileAndKeepsTheOldOne) {
  Put("[Options]\r\nComPort=COM3\r\n");
  // Neither the folder nor the file can be written.
  fs::permissions(path, fs::perms::owner_read);
  fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
  Settings s;
  s.ComPort = "COM4";
  if (::access(dir.c_str(), W_OK) == 0) {
    // Root ignores directory permissions; a path under a file cannot be created by anyone.
    fs::permissions(dir, fs::perms::owner_all);
    path = (dir / "eklz.ini" / "sub.ini").string();
  }
  try {
    SaveSettings(path, s);
    FAIL();
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.what(), "Unable to write to " + path);
  }
  EXPECT_EQ(LoadSettings((dir / "eklz.ini").string()).ComPort, "COM3");
}

// Saving what a run changed: only the changed keys are written, everything
// else (comments, lines the reader does not take as keys, long values,
// spacing) stays byte for byte, and the file keeps the encoding it was read in.
#endif

TEST_F(SettingsFile, SavingChangesKeepsTheRestOfTheFileAsItWas) {
  const std::string longName(3000, 'N');
  struct Case {
    const char* what;
    std::string before;                // the file before
    std::function<void(Settings&)> change;
    std::string after;                 // the file after
  };
  const Case cases[] = {
      {"a UTF-8 file stays UTF-8, even with a character Windows-1251 lacks",
       "; проверка ✓\n[Options]\nTimeOuts=10\n", [](Settings& s) { s.TimeOuts = 20; },
       "; проверка ✓\r\n[Options]\r\nTimeOuts=20\r\n\r\n"},
      {"a Windows-1251 file stays Windows-1251",
       Utf8ToCp1251("[Options]\r\nNameOrg=Ромашка\r\n"), [](Settings& s) { s.ComPort = "COM2"; },
       Utf8ToCp1251("[Options]\r\nNameOrg=Ромашка\r\nComPort=COM2\r\n\r\n")},
      {"a Windows-1251 file with its undefined byte 0x98 still saves and keeps it",
       "; \x98\xC0\r\n[Options]\r\nTimeOuts=10\r\n", [](Settings& s) { s.TimeOuts = 20; },
       "; \x98\xC0\r\n[Options]\r\nTimeOuts=20\r\n\r\n"},
      {"a byte-order mark and blank lines stay; a new key goes before the blank line",
       "\xEF\xBB\xBF[Options]\r\n\r\nTimeOuts=10\r\n\r\n[TfmMain]\r\nLastCmd=16\r\n",
       [](Settings& s) { s.ComPort = "COM2"; },
       "\xEF\xBB\xBF[Options]\r\n\r\nTimeOuts=10\r\nComPort=COM2\r\n\r\n[TfmMain]\r\n"
       "LastCmd=16\r\n\r\n"},
      {"a line starting with = is no key and keeps its =",
       "[Options]\r\nComPort=COM3\r\n=ComPort=/dev/ttyS9\r\n",
       [](Settings& s) { s.TimeOuts = 20; },
       "[Options]\r\nComPort=COM3\r\n=ComPort=/dev/ttyS9\r\nTimeOuts=20\r\n\r\n"},
      {"values longer than 2047 characters that did not change are not cut",
       "[Options]\r\nNameOrg=" + longName + "\r\nFioBoss=" + longName + "\r\n",
       [](Settings& s) { s.BoundRate = "19200"; },
       "[Options]\r\nNameOrg=" + longName + "\r\nFioBoss=" + longName +
           "\r\nBoundRate=19200\r\n\r\n"},
      {"unchanged keys keep their spacing, changed ones are rewritten",
       "[Options]\r\n comport = COM3 \r\n timeouts = 10\r\n",
       [](Settings& s) { s.TimeOuts = 20; },
       "[Options]\r\n comport = COM3 \r\ntimeouts=20\r\n\r\n"},
      {"nothing changed: the file is not touched", "[Options]\nTimeOuts=10", [](Settings&) {},
       "[Options]\nTimeOuts=10"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Put(c.before);
    const Settings before = LoadSettings(path);
    Settings after = before;
    c.change(after);
    SaveChangedSettings(path, before, after);
    EXPECT_EQ(Get(), c.after);
    EXPECT_EQ(LoadSettings(path), after);
  }
}

// The whole-record save of the desktop program keeps a UTF-8 file UTF-8 and
// a line starting with "=" as it was.
TEST_F(SettingsFile, SavingEverythingKeepsTheEncodingAndStrayLines) {
  Put("; ✓\n[Options]\n=ComPort=/dev/ttyS9\nComPort=COM3\n");
  Settings s = LoadSettings(path);
  WindowSettings w = LoadWindowSettings(path);
  w.NameOrg = "ЦТО";
  SaveSettings(path, s, w);
  const std::string text = Get();
  EXPECT_TRUE(IsValidUtf8(text));
  EXPECT_NE(text.find("; ✓\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\n=ComPort=/dev/ttyS9\r\n"), std::string::npos);
  EXPECT_EQ(LoadSettings(path), s);
  EXPECT_EQ(LoadWindowSettings(path), w);
}

// When no temporary file can be made beside the settings file (here its
// name is taken by a folder, which holds even for root), the file is
// rewritten in place.
TEST_F(SettingsFile, AFolderThatTakesNoNewFileIsWrittenInPlace) {
  Put("[Options]\r\nComPort=COM3\r\n");
  fs::create_directory(path + ".tmp");
  Settings s = LoadSettings(path);
  s.ComPort = "COM4";
  SaveSettings(path, s);
  EXPECT_EQ(LoadSettings(path), s);
  EXPECT_TRUE(fs::is_directory(path + ".tmp"));
}

// File names are UTF-8 on every system (on Windows the program converts them
// for the wide-character calls, not through the ANSI code page).
TEST_F(SettingsFile, CyrillicFolderAndFileNamesAreCreatedReplacedAndRead) {
  const fs::path folder = dir / PathOf("Настройки тестера");
  const fs::path file = folder / PathOf("ЭКЛЗ.ini");
  const std::u8string name = file.u8string();
  const std::string utf8(name.begin(), name.end());
  Settings s;
  s.ComPort = "COM7";
  SaveSettings(utf8, s);  // creates the folder
  WindowSettings w;
  w.NameOrg = "ООО Ромашка";
  SaveSettings(utf8, s, w);  // replaces the file
  EXPECT_EQ(LoadSettings(utf8), s);
  EXPECT_EQ(LoadWindowSettings(utf8), w);
  EXPECT_TRUE(fs::is_regular_file(file));
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

TEST(SettingsPath, IsTheExecutableWithTheIniExtension) {
  EXPECT_EQ(SettingsPathForExecutable("/opt/eklz/bin/eklz"), "/opt/eklz/bin/eklz.ini");
  EXPECT_EQ(SettingsPathForExecutable("/opt/x.y/tester.exe"), "/opt/x.y/tester.ini");
}

TEST(SettingsPath, SharedFileBesideTheProgramOrInTheUsersConfigFolder) {
  test::TempDir tmp;
  const fs::path dir = tmp.Path();
  EXPECT_EQ(TesterSettingsPath((dir / "eklz").string()), (dir / "eklz-tester.ini").string());

  // A folder that cannot take the file (here: a "folder" that is a file, which
  // holds even for root) sends the settings to the configuration folder.
  const fs::path blocked = dir / "blocked";
  std::ofstream(blocked).put('x');
  const fs::path config = dir / "config";
#ifdef _WIN32
  // Windows: the user's roaming application data.
  ::_putenv_s("APPDATA", config.string().c_str());
  const std::string path = TesterSettingsPath((blocked / "eklz-tester.exe").string());
  EXPECT_EQ(path, config.string() + "\\eklz-tester\\eklz-tester.ini");
#else
  ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  const std::string path = TesterSettingsPath((blocked / "eklz-tester").string());
  ::unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(path, (config / "eklz-tester" / "eklz-tester.ini").string());
#endif

  Settings s;
  s.ComPort = "COM2";
  SaveSettings(path, s);  // creates the folder
  EXPECT_EQ(LoadSettings(path).ComPort, "COM2");

#ifndef _WIN32
  // An installed copy (help pages in ../share, none beside it) uses the
  // configuration folder even when its own folder can be written (root).
  const fs::path bin = dir / "usr" / "bin";
  fs::create_directories(bin);
  fs::create_directories(dir / "usr" / "share" / "eklz-tester" / "Docs");
  ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  const std::string installed = TesterSettingsPath((bin / "eklz-tester").string());
  fs::create_directories(bin / "Docs");  // a copy with its pages beside it is no installed one
  const std::string copied = TesterSettingsPath((bin / "eklz-tester").string());
  ::unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(installed, (config / "eklz-tester" / "eklz-tester.ini").string());
  EXPECT_EQ(copied, (bin / "eklz-tester.ini").string());
#endif
}

TEST(HelpPage, BesideTheProgramFirstThenTheSharedFolderElseTheMissingPathBeside) {
  test::TempDir tmp;
  const fs::path bin = tmp.Path() / "bin";
  const fs::path beside = bin / "Docs" / PathOf("Весь дамп.htm");
  const fs::path shared = tmp.Path() / "share" / "eklz-tester" / "Docs" / PathOf("Весь дамп.htm");
  const std::string exe = (bin / "eklz-tester").string();
  const auto put = [](const fs::path& file) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << "<html></html>";
  };
  const auto found = [&] { return PathOf(HelpPagePath(exe, "Весь дамп")); };
  put(exe);  // the program's folder exists, as "bin/.." needs it to

  // Nothing installed: the path beside the program, which does not exist.
  EXPECT_EQ(found(), beside);

  // A folder of that name is no page.
  fs::create_directories(shared);
  EXPECT_EQ(found(), beside);
  fs::remove(shared);

  put(shared);
  EXPECT_TRUE(fs::equivalent(found(), shared));

  put(beside);
  EXPECT_EQ(found(), beside);

  // A bare program name looks in the current folder.
  EXPECT_EQ(HelpPagePath("eklz-tester", "Тест"), "Docs/Тест.htm");
}

}  // namespace
}  // namespace eklz
