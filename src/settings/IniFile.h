// An INI profile file: section header lines in square brackets, each followed
// by "key=value" lines. Names are matched without regard to case. The file is
// read as UTF-8 when it is valid UTF-8, otherwise as Windows-1251, and written
// in Windows-1251 with CR LF line ends.
#pragma once

#include <string>
#include <vector>

namespace eklz {

class IniFile {
 public:
  // Loads the file when it exists; a missing or unreadable file is empty.
  explicit IniFile(std::string path);

  const std::string& Path() const { return path_; }

  // A missing section or key gives the default. Strings are read up to 2047
  // characters. Integers: decimal, or hexadecimal after "0x"/"0X"; anything
  // that does not parse as a 32-bit integer gives the default. Booleans: any
  // integer other than 0 is true.
  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& def) const;
  int ReadInteger(const std::string& section, const std::string& key, int def) const;
  bool ReadBool(const std::string& section, const std::string& key, bool def) const;

  // Changes the value in memory; a new key goes to the end of its section, a
  // new section to the end of the file. Booleans are written as 1 and 0.
  void WriteString(const std::string& section, const std::string& key, const std::string& value);
  void WriteInteger(const std::string& section, const std::string& key, int value);
  void WriteBool(const std::string& section, const std::string& key, bool value);

  // Writes the whole file to a temporary file beside it and renames that over
  // the old one, so a failed write never leaves a half-written file. Raises
  // EInOutError "Unable to write to <path>" on failure, and TEKLZException for
  // a value that Windows-1251 cannot hold.
  void Save() const;

 private:
  struct Line {
    std::string key;    // empty for a line that is not "key=value"
    std::string value;  // the value, or the whole raw line
  };
  struct Section {
    std::string name;
    std::vector<Line> lines;
  };

  const Line* Find(const std::string& section, const std::string& key) const;

  std::string path_;
  std::vector<std::string> preamble_;  // lines before the first section
  std::vector<Section> sections_;
};

}  // namespace eklz
