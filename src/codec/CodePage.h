// Text at the edges: the program keeps UTF-8 inside and converts to and from
// the two single-byte code pages of the device and of stored files. Nothing
// else in the program converts text.
#pragma once

#include <string>

namespace eklz {

enum class CodePage { Cp866, Cp1251 };

// Bytes of the code page to UTF-8. Never fails: a byte the code page leaves
// undefined (0x98 in Windows-1251) becomes U+FFFD.
std::string ToUtf8(const std::string& bytes, CodePage from);

// UTF-8 to bytes of the code page. A character the code page cannot hold, or
// a malformed UTF-8 sequence, raises TEKLZException with a Russian message
// naming the character; nothing is converted partially.
std::string FromUtf8(const std::string& utf8, CodePage to);

// The same for a record of what was seen (saved views): a character the code
// page cannot hold, or a malformed sequence, becomes "?"; never fails.
std::string FromUtf8Replacing(const std::string& utf8, CodePage to);

inline std::string Cp866ToUtf8(const std::string& b) { return ToUtf8(b, CodePage::Cp866); }
inline std::string Cp1251ToUtf8(const std::string& b) { return ToUtf8(b, CodePage::Cp1251); }
inline std::string Utf8ToCp866(const std::string& s) { return FromUtf8(s, CodePage::Cp866); }
inline std::string Utf8ToCp1251(const std::string& s) { return FromUtf8(s, CodePage::Cp1251); }

bool IsValidUtf8(const std::string& text);

// Number of characters (code points) of a valid UTF-8 text.
size_t Utf8Length(const std::string& text);

// The first `count` characters of a UTF-8 text (the whole text when shorter).
std::string Utf8Left(const std::string& text, size_t count);

// Byte offset of character number `index` (0-based); text.size() past the end.
size_t Utf8Offset(const std::string& text, size_t index);

#ifdef _WIN32
// UTF-8 to and from the UTF-16 of the Win32 wide-character calls (file and
// port names, registry values, system messages, the console).
std::wstring Utf8ToWide(const std::string& utf8);
std::string WideToUtf8(const std::wstring& wide);
#endif

}  // namespace eklz
