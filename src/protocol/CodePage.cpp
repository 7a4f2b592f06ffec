#include "protocol/CodePage.h"

#include <iconv.h>

#include <array>
#include <cstdint>
#include <mutex>
#include <unordered_map>

#include "protocol/Errors.h"

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

// The 256 characters of a single-byte code page, read once through iconv.
struct Table {
  std::array<char32_t, 256> toUnicode{};
  std::unordered_map<char32_t, unsigned char> fromUnicode;
};

Table BuildTable(const char* name) {
  Table t;
  iconv_t cd = iconv_open("UTF-32LE", name);
  for (int b = 0; b < 256; ++b) {
    char32_t cp = kReplacement;
    if (cd != reinterpret_cast<iconv_t>(-1)) {
      char in = static_cast<char>(b);
      uint8_t outBuf[8] = {};
      char* inPtr = &in;
      size_t inLeft = 1;
      char* outPtr = reinterpret_cast<char*>(outBuf);
      size_t outLeft = sizeof outBuf;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
      if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1) &&
          outLeft == sizeof outBuf - 4) {
        cp = static_cast<char32_t>(outBuf[0] | (outBuf[1] << 8) | (outBuf[2] << 16) |
                                   (static_cast<uint32_t>(outBuf[3]) << 24));
      }
    }
    t.toUnicode[b] = cp;
    if (cp != kReplacement) t.fromUnicode.emplace(cp, static_cast<unsigned char>(b));
  }
  if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
  return t;
}

const Table& TableFor(CodePage cp) {
  static const Table cp866 = BuildTable("CP866");
  static const Table cp1251 = BuildTable("CP1251");
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

std::string FromUtf8(const std::string& utf8, CodePage to) {
  const Table& t = TableFor(to);
  std::string out;
  out.reserve(utf8.size());
  size_t pos = 0;
  while (pos < utf8.size()) {
    const size_t start = pos;
    char32_t cp;
    if (!NextCodePoint(utf8, pos, cp)) {
      throw TEKLZException("Текст содержит недопустимую последовательность байтов");
    }
    auto it = t.fromUnicode.find(cp);
    if (it == t.fromUnicode.end()) {
      throw TEKLZException("Символ \"" + utf8.substr(start, pos - start) +
                           "\" невозможно передать в кодировке " + CodePageName(to));
    }
    out += static_cast<char>(it->second);
  }
  return out;
}

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

}  // namespace eklz
