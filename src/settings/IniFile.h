// An INI profile file: section header lines in square brackets, each followed
// by "key=value" lines. Names are matched without regard to case. The file is
// read as UTF-8 when it is valid UTF-8, otherwise as Windows-1251, and written
// back in the encoding it was read in (a new or plain-ASCII file in
// Windows-1251) with CR LF line ends. Lines the reader does not take as
// "key=value" (comments, blank lines, a line starting with "=", stray text)
// and keys that were not changed are written back exactly as they were.
#pragma once

#include <string>
#include <vector>

namespace eklz {

class IniFile {
 public:
  // Loads the file when it exists; a missing or unreadable file is empty.
  explicit IniFile(std::string path);
  // The file `path` as if it held `bytes` (nothing is read from disk).
  IniFile(std::string path, const std::string& bytes);

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
  // Removes the key (every line of it) from the section; the section stays.
  void DeleteKey(const std::string& section, const std::string& key);
  // True when the file holds nothing but section headers and blank lines.
  bool HoldsNothing() const;

  // The bytes Save writes. Raises TEKLZException for a value that the file's
  // encoding (Windows-1251) cannot hold.
  std::string Encoded() const;

  // Writes the whole file to a temporary file beside it and renames that over
  // the old one, so a failed write never leaves a half-written file. When the
  // folder takes no new file (the temporary file cannot be created or renamed)
  // the file is rewritten in place, flushed and synced. Raises EInOutError
  // "Unable to write to <path>" on failure, and TEKLZException for a value
  // that the file's encoding cannot hold.
  void Save() const;

 private:
  struct Line {
    std::string key;    // empty for a line that is not "key=value"
    std::string value;  // the value
    std::string raw;    // the line as read; written back while unchanged
  };
  void Parse(std::string content);
  static bool IsBlank(const Line& line) {
    return line.key.empty() && line.raw.find_first_not_of(" \t") == std::string::npos;
  }

  struct Section {
    std::string name;
    std::vector<Line> lines;
  };

  const Line* Find(const std::string& section, const std::string& key) const;

  std::string path_;
  std::vector<std::string> preamble_;  // lines before the first section
  std::vector<Section> sections_;
  bool utf8_ = false;  // read as UTF-8 with characters beyond ASCII or a byte-order mark
  bool bom_ = false;   // began with the UTF-8 byte-order mark
};

}  // namespace eklz
