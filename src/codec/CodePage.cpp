#include "codec/CodePage.h"

#include <array>
#include <cstdint>
#include <unordered_map>

#include "codec/Errors.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace eklz {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Decodes one UTF-8 character at `pos`; returns false on a malformed sequence.
bool NextCodePoint(const std::string& s, size_t& pos, char32_t& cp) {
  const auto b0 = static_cast<unsigned char>(s[pos]);
  int extra;
  if (b0 < 0x80) {
    cp = b0;
    extra = 0;
  } else if ((b0 & 0xE0) == 0xC0) {
    cp = b0 & 0x1F;
    extra = 1;
  } else if ((b0 & 0xF0) == 0xE0) {
    cp = b0 & 0x0F;
    extra = 2;
  } else if ((b0 & 0xF8) == 0xF0) {
    cp = b0 & 0x07;
    extra = 3;
  } else {
    return false;
  }
  if (pos + extra >= s.size()) return false;
  for (int i = 1; i <= extra; ++i) {
    const auto b = static_cast<unsigned char>(s[pos + i]);
    if ((b & 0xC0) != 0x80) return false;
    cp = (cp << 6) | (b & 0x3F);
  }
  static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
  if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
  pos += extra + 1;
  return true;
}

// The characters of bytes 0x80 to 0xFF; bytes below are ASCII in both code
// pages. The tables are the program's own rather than the system's (iconv,
// the Win32 conversion calls), so that every system converts every byte the
// same way: Windows, for one, maps the undefined 0x98 of Windows-1251 to
// U+0098 where the C library refuses it.
constexpr char32_t kCp866High[128] = {
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
    0x0401, 0x0451, 0x0404, 0x0454, 0x0407, 0x0457, 0x040E, 0x045E,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x2116, 0x00A4, 0x25A0, 0x00A0,
};
constexpr char32_t kCp1251High[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

// Both directions of a single-byte code page.
struct Table {
  std::array<char32_t, 256> toUnicode{};
  std::unordered_map<char32_t, unsigned char> fromUnicode;
};

Table BuildTable(const char32_t (&high)[128]) {
  Table t;
  for (int b = 0; b < 256; ++b) {
    const char32_t cp = b < 0x80 ? static_cast<char32_t>(b) : high[b - 0x80];
    t.toUnicode[b] = cp;
    if (cp != kReplacement) t.fromUnicode.emplace(cp, static_cast<unsigned char>(b));
  }
  return t;
}

const Table& TableFor(CodePage cp) {
  static const Table cp866 = BuildTable(kCp866High);
  static const Table cp1251 = BuildTable(kCp1251High);
  return cp == CodePage::Cp866 ? cp866 : cp1251;
}

const char* CodePageName(CodePage cp) { return cp == CodePage::Cp866 ? "CP866" : "Windows-1251"; }

}  // namespace

std::string ToUtf8(const std::string& bytes, CodePage from) {
  const Table& t = TableFor(from);
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char b : bytes) AppendUtf8(out, t.toUnicode[b]);
  return out;
}

namespace {

// UTF-8 to the code page; `replace` turns what cannot be converted into "?"
// instead of failing.
std::string Encode(const std::string& utf8, CodePage to, bool replace) {
  const Table& t = TableFor(to);
  std::string out;
  out.reserve(utf8.size());
  size_t pos = 0;
  while (pos < utf8.size()) {
    const size_t start = pos;
    char32_t cp;
    if (!NextCodePoint(utf8, pos, cp)) {
      if (!replace) throw TEKLZException("Текст содержит недопустимую последовательность байтов");
      pos = start + 1;
      out += '?';
      continue;
    }
    auto it = t.fromUnicode.find(cp);
    if (it == t.fromUnicode.end()) {
      if (!replace) {
        throw TEKLZException("Символ \"" + utf8.substr(start, pos - start) +
                             "\" невозможно передать в кодировке " + CodePageName(to));
      }
      out += '?';
      continue;
    }
    out += static_cast<char>(it->second);
  }
  return out;
}

}  // namespace

std::string FromUtf8(const std::string& utf8, CodePage to) { return Encode(utf8, to, false); }

std::string FromUtf8Replacing(const std::string& utf8, CodePage to) { return Encode(utf8, to, true); }

bool IsValidUtf8(const std::string& text) {
  size_t pos = 0;
  char32_t cp;
  while (pos < text.size()) {
    if (!NextCodePoint(text, pos, cp)) return false;
  }
  return true;
}

size_t Utf8Offset(const std::string& text, size_t index) {
  size_t pos = 0;
  for (size_t i = 0; i < index && pos < text.size(); ++i) {
    ++pos;
    while (pos < text.size() && (static_cast<unsigned char>(text[pos]) & 0xC0) == 0x80) ++pos;
  }
  return pos;
}

size_t Utf8Length(const std::string& text) {
  size_t n = 0;
  for (unsigned char c : text) {
    if ((c & 0xC0) != 0x80) ++n;
  }
  return n;
}

std::string Utf8Left(const std::string& text, size_t count) {
  return text.substr(0, Utf8Offset(text, count));
}

#ifdef _WIN32
std::wstring Utf8ToWide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) {
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
  }
  return wide;
}

std::string WideToUtf8(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr,
                                    0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) {
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), n,
                        nullptr, nullptr);
  }
  return utf8;
}
#endif

}  // namespace eklz
