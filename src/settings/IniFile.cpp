#include "settings/IniFile.h"


#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <strings.h>

#include "codec/CodePage.h"
#include "codec/Errors.h"
#include "codec/FileCalls.h"
#include "codec/HexFrame.h"
#include "codec/Regional.h"

namespace eklz {

namespace {

constexpr size_t kMaxStringLength = 2047;

std::string Trim(const std::string& s) {
  const size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return {};
  const size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

// Creates the folders above `path` that do not exist yet (a settings file in
// the user's configuration folder may be the first file there).
void MakeParentFolders(const std::string& path) {
  for (size_t slash = path.find_first_of(kPathSeparators, 1); slash != std::string::npos;
       slash = path.find_first_of(kPathSeparators, slash + 1)) {
    MakeFolder(path.substr(0, slash));
  }
}

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && ::strncasecmp(a.c_str(), b.c_str(), a.size()) == 0;
}

bool ParseInt32(const std::string& text, int& out) {
  const std::string s = Trim(text);
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    const std::string digits = s.substr(2);
    if (digits.size() > 8) return false;
    uint32_t v = 0;
    for (char c : digits) {
      const int d = HexDigitValue(c);
      if (d < 0) return false;
      v = v * 16 + static_cast<uint32_t>(d);
    }
    out = static_cast<int>(v);
    return true;
  }
  try {
    out = ParseInt(s);
    return true;
  } catch (const EConvertError&) {
    return false;
  }
}

// Windows-1251 leaves the byte 0x98 undefined; the code-page converter
// reads it as U+FFFD, which has no way back. A settings file holding it
// (stray bytes in a comment) must still save, so the file's own conversion
// keeps it as U+0098 and writes that back as the byte.
const std::string kUndefinedByte = "\x98";
const std::string kUndefinedChar = "\xC2\x98";

// Converts the pieces of `text` between the occurrences of `from` with
// `convert` and puts `to` in place of each occurrence.
std::string ConvertAround(const std::string& text, const std::string& from, const std::string& to,
                          std::string (*convert)(const std::string&)) {
  std::string out;
  size_t start = 0;
  for (size_t at; (at = text.find(from, start)) != std::string::npos; start = at + from.size()) {
    out += convert(text.substr(start, at - start)) + to;
  }
  return out + convert(text.substr(start));
}

std::string FileCp1251ToUtf8(const std::string& bytes) {
  return ConvertAround(bytes, kUndefinedByte, kUndefinedChar, Cp1251ToUtf8);
}

std::string FileUtf8ToCp1251(const std::string& text) {
  return ConvertAround(text, kUndefinedChar, kUndefinedByte, Utf8ToCp1251);
}

}  // namespace

IniFile::IniFile(std::string path) : path_(std::move(path)) {
  FILE* in = OpenStream(path_, "r");
  if (!in) return;
  std::string bytes;
  char block[8192];
  for (size_t n; (n = std::fread(block, 1, sizeof block, in)) > 0;) bytes.append(block, n);
  std::fclose(in);
  Parse(bytes);
}

IniFile::IniFile(std::string path, const std::string& bytes) : path_(std::move(path)) {
  Parse(bytes);
}

void IniFile::Parse(std::string content) {
  if (content.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    content.erase(0, 3);
    bom_ = true;
  }
  if (IsValidUtf8(content)) {
    utf8_ = bom_;
    for (unsigned char c : content) utf8_ = utf8_ || c >= 0x80;
  } else {
    content = FileCp1251ToUtf8(content);
  }

  std::istringstream lines(content);
  std::string raw;
  while (std::getline(lines, raw)) {
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    const std::string t = Trim(raw);
    if (t.size() >= 2 && t.front() == '[' && t.back() == ']') {
      sections_.push_back({Trim(t.substr(1, t.size() - 2)), {}});
      continue;
    }
    Line line;
    line.raw = raw;
    const size_t eq = raw.find('=');
    if (eq != std::string::npos && !t.empty() && t[0] != ';') {
      line.key = Trim(raw.substr(0, eq));
      if (!line.key.empty()) line.value = Trim(raw.substr(eq + 1));
    }
    if (sections_.empty()) {
      preamble_.push_back(raw);
    } else {
      sections_.back().lines.push_back(line);
    }
  }
}

const IniFile::Line* IniFile::Find(const std::string& section, const std::string& key) const {
  for (const Section& s : sections_) {
    if (!SameName(s.name, section)) continue;
    for (const Line& l : s.lines) {
      if (!l.key.empty() && SameName(l.key, key)) return &l;
    }
  }
  return nullptr;
}

std::string IniFile::ReadString(const std::string& section, const std::string& key,
                                const std::string& def) const {
  const Line* l = Find(section, key);
  if (!l) return def;
  return Utf8Left(l->value, kMaxStringLength);
}

int IniFile::ReadInteger(const std::string& section, const std::string& key, int def) const {
  const Line* l = Find(section, key);
  int v;
  if (l && ParseInt32(l->value, v)) return v;
  return def;
}

bool IniFile::ReadBool(const std::string& section, const std::string& key, bool def) const {
  return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void IniFile::WriteString(const std::string& section, const std::string& key,
                          const std::string& value) {
  Section* target = nullptr;
  for (Section& s : sections_) {
    if (SameName(s.name, section)) {
      target = &s;
      for (Line& l : s.lines) {
        if (!l.key.empty() && SameName(l.key, key)) {
          if (l.value != value) l.raw.clear();
          l.value = value;
          return;
        }
      }
      break;
    }
  }
  if (!target) {
    sections_.push_back({section, {}});
    target = &sections_.back();
  }
  // A new key goes after the section's last line that is not blank.
  auto at = target->lines.end();
  while (at != target->lines.begin() && IsBlank(*std::prev(at))) --at;
  target->lines.insert(at, {key, value, {}});
}

void IniFile::DeleteKey(const std::string& section, const std::string& key) {
  for (Section& s : sections_) {
    if (!SameName(s.name, section)) continue;
    std::erase_if(s.lines, [&](const Line& l) { return !l.key.empty() && SameName(l.key, key); });
  }
}

bool IniFile::HoldsNothing() const {
  for (const std::string& raw : preamble_) {
    if (raw.find_first_not_of(" \t") != std::string::npos) return false;
  }
  for (const Section& s : sections_) {
    for (const Line& l : s.lines) {
      if (!IsBlank(l)) return false;
    }
  }
  return true;
}

void IniFile::WriteInteger(const std::string& section, const std::string& key, int value) {
  WriteString(section, key, std::to_string(value));
}

void IniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

std::string IniFile::Encoded() const {
  std::string text;
  for (const std::string& raw : preamble_) text += raw + "\r\n";
  for (const Section& s : sections_) {
    text += "[" + s.name + "]\r\n";
    for (const Line& l : s.lines) {
      text += !l.key.empty() && l.raw.empty() ? l.key + "=" + l.value : l.raw;
      text += "\r\n";
    }
    // A blank line between sections, unless the file has one there already.
    if (s.lines.empty() || !IsBlank(s.lines.back())) {
      text += "\r\n";
    }
  }
  return (bom_ ? "\xEF\xBB\xBF" : "") + (utf8_ ? text : FileUtf8ToCp1251(text));
}

namespace {

// Writes all of `bytes` to `fd`, then syncs and closes it. False on any failure.
bool WriteAllAndClose(int fd, const std::string& bytes) {
  size_t done = 0;
  bool ok = true;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;
      break;
    }
    done += static_cast<size_t>(n);
  }
  if (ok && SyncFile(fd) != 0) ok = false;
  if (::close(fd) != 0) ok = false;
  return ok;
}

}  // namespace

void IniFile::Save() const {
  const std::string bytes = Encoded();

  const EInOutError failure("Unable to write to " + path_);
  // A file made read-only stays as it is (a rename would replace it).
  if (::access(path_.c_str(), F_OK) == 0 && ::access(path_.c_str(), W_OK) != 0) throw failure;
  MakeParentFolders(path_);
  const std::string temp = path_ + ".tmp";
  const int fd = OpenFile(temp, O_WRONLY | O_CREAT | O_TRUNC);
  if (fd >= 0) {
    const bool written = WriteAllAndClose(fd, bytes);
    if (written && MoveFileOver(temp, path_)) return;
    RemoveFile(temp);
    // A write that failed on the way (a full disk) would fail in place too,
    // and there it would cut the old file short.
    if (!written) throw failure;
  }
  // The folder takes no new file, but the file itself may be writable:
  // rewrite it in place.
  const int in = OpenFile(path_, O_WRONLY | O_TRUNC);
  if (in < 0 || !WriteAllAndClose(in, bytes)) throw failure;
}

}  // namespace eklz
