#include "sim/StateFile.h"

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <stdexcept>

namespace eklz::sim {

namespace {
constexpr const char* kHeader = "EKLZ-SIM-STATE 1";
}

void SaveState(const Device& device, const std::string& path) {
  const std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << kHeader << '\n';
    for (const Bytes& frame : device.Journal()) {
      std::string line = BytesToHex(frame);
      line.pop_back();  // the trailing blank
      out << line << '\n';
    }
    out.flush();
    if (!out) throw std::runtime_error("не удалось записать " + temporary);
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    throw std::runtime_error("не удалось заменить " + path);
  }
}

bool LoadState(Device& device, const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (errno == ENOENT) return false;
    throw std::runtime_error("не удалось прочитать " + path);
  }
  std::string line;
  if (!std::getline(in, line) || line != kHeader) {
    throw std::runtime_error(path + " - не файл состояния имитатора");
  }
  for (int number = 2; std::getline(in, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    Bytes frame;
    try {
      frame = HexToBytes(line);
    } catch (const std::exception&) {
      throw std::runtime_error(path + ", line " + std::to_string(number) + ": не шестнадцатеричные байты");
    }
    const Response r = device.Handle(frame);
    if (r.bytes.size() < 4 || r.bytes[3] != answer::kOk) {
      throw std::runtime_error(path + ", line " + std::to_string(number) +
                               ": запрос отклонён");
    }
  }
  return true;
}

}  // namespace eklz::sim
