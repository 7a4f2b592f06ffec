#include "sim/Replay.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "codec/Regional.h"
#include "codec/CodePage.h"
#include "serial/SystemErrors.h"

namespace eklz::sim {

namespace {

constexpr const char* kRequestMark = "==>";
constexpr const char* kReplyMark = "<==";
constexpr size_t kQuoted = 40;  // characters of a bad line or token shown in a message

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

// A piece of the file as readable text: the file is UTF-8 or Windows-1251.
std::string Quote(const std::string& bytes) {
  const std::string text = IsValidUtf8(bytes) ? bytes : Cp1251ToUtf8(bytes);
  const std::string cut = Utf8Left(text, kQuoted);
  return "\"" + cut + (cut.size() < text.size() ? "..." : "") + "\"";
}

ProtocolFileError AtLine(int line, const std::string& what) {
  return ProtocolFileError("строка " + std::to_string(line) + ": " + what);
}

// The bytes after a line's mark: pairs of hexadecimal digits separated by
// blanks.
Bytes ReadPairs(const std::string& text, size_t from, int line) {
  Bytes bytes;
  size_t i = from;
  for (;;) {
    while (i < text.size() && IsBlank(text[i])) ++i;
    if (i >= text.size()) return bytes;
    size_t end = i;
    while (end < text.size() && !IsBlank(text[end])) ++end;
    const int hi = HexDigitValue(text[i]);
    const int lo = end - i == 2 ? HexDigitValue(text[i + 1]) : -1;
    if (hi < 0 || lo < 0) {
      throw AtLine(line, Quote(text.substr(i, end - i)) +
                             " - не байт: нужны две шестнадцатеричные цифры");
    }
    bytes.push_back(static_cast<uint8_t>(hi * 16 + lo));
    i = end;
  }
}

}  // namespace

std::vector<RecordedExchange> ParseProtocol(const std::string& text) {
  std::vector<RecordedExchange> exchanges;
  size_t start = 0;
  // A byte order mark of a UTF-8 file.
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) start = 3;
  for (int line = 1; start < text.size(); ++line) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    size_t first = start;
    while (first < end && IsBlank(text[first])) ++first;
    size_t last = end;
    while (last > first && IsBlank(text[last - 1])) --last;
    const std::string content = text.substr(first, last - first);
    start = end + 1;
    if (content.empty()) continue;

    if (content.compare(0, 3, kRequestMark) == 0) {
      RecordedExchange exchange;
      exchange.request = ReadPairs(content, 3, line);
      exchange.line = line;
      if (exchange.request.empty()) throw AtLine(line, "в строке запроса нет ни одного байта");
      exchanges.push_back(std::move(exchange));
    } else if (content.compare(0, 3, kReplyMark) == 0) {
      const Bytes piece = ReadPairs(content, 3, line);
      if (exchanges.empty()) throw AtLine(line, "ответ раньше первого запроса");
      Bytes& reply = exchanges.back().reply;
      reply.insert(reply.end(), piece.begin(), piece.end());
    } else {
      throw AtLine(line, "нужна строка запроса \"==> \" или ответа \"<== \", а не " +
                             Quote(content));
    }
  }
  if (exchanges.empty()) {
    throw ProtocolFileError("в файле нет ни одного запроса (строки \"==> \")");
  }
  return exchanges;
}

std::vector<RecordedExchange> ReadProtocolFile(const std::string& path) {
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) {
    throw ProtocolFileError(path + " - папка, а не файл протокола");
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    throw ProtocolFileError("не удалось открыть файл протокола " + path + ": " +
                            SystemErrorMessage(errno));
  }
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) {
    throw ProtocolFileError("не удалось прочитать файл протокола " + path);
  }
  try {
    return ParseProtocol(text.str());
  } catch (const ProtocolFileError& e) {
    throw ProtocolFileError(path + ", " + e.what());
  }
}

bool Replay::CouldMatch(const Bytes& received) const {
  const RecordedExchange* next = Next();
  return next && received.size() <= next->request.size() &&
         std::equal(received.begin(), received.end(), next->request.begin());
}

Replay::Step Replay::Take(const Bytes& request) {
  Step step;
  step.number = taken_ + beyond_ + 1;
  if (taken_ >= exchanges_.size()) {
    ++beyond_;
    return step;
  }
  step.recorded = &exchanges_[taken_++];
  step.matched = step.recorded->request == request;
  ++(step.matched ? matched_ : differed_);
  return step;
}

std::string Replay::Summary() const {
  std::string text = "совпало " + Counted(matched_, "обмен", "обмена", "обменов") + " из " +
                     std::to_string(exchanges_.size()) + " записанных";
  if (differed_ > 0) text += "; не совпало: " + std::to_string(differed_);
  if (taken_ < exchanges_.size()) text += "; не запрошено: " + std::to_string(exchanges_.size() - taken_);
  if (beyond_ > 0) text += "; запросов сверх записи: " + std::to_string(beyond_);
  return text;
}

}  // namespace eklz::sim
