#include "commands/ArchiveDump.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "codec/Regional.h"
#include "commands/Common.h"
#include "codec/Errors.h"
#include "codec/FileCalls.h"
#include "serial/SystemErrors.h"

namespace eklz {

namespace {

// The dump file, closed on every way out. It only ever grows by whole pages:
// a page whose write fails is cut off again, so a file left by any failure
// can be continued.
class DumpFile {
 public:
  // A new dump truncates the file; a continued one appends to what it holds.
  enum class Mode { Create, Append };

  DumpFile(const std::string& name, Mode mode) : name_(name) {
    const bool append = mode == Mode::Append;
    if (append) {
      std::error_code ec;
      const auto size = std::filesystem::file_size(PathOf(name), ec);
      size_ = ec ? 0 : static_cast<uintmax_t>(size);
    }
    fd_ = OpenFile(name, O_WRONLY | O_CREAT | (append ? O_APPEND : O_TRUNC));
    if (fd_ < 0) {
      throw EInOutError("Невозможно создать файл дампа \"" + name + "\": " + SystemErrorMessage(errno));
    }
  }
  ~DumpFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  DumpFile(const DumpFile&) = delete;
  DumpFile& operator=(const DumpFile&) = delete;

  void Append(const Bytes& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        const int err = n < 0 ? errno : ENOSPC;
        if (done > 0) CutBackToWholePages();
        Fail(err);
      }
      done += static_cast<size_t>(n);
    }
    size_ += bytes.size();
  }

  // The whole pages the file holds.
  int Pages() const { return static_cast<int>(size_ / kArchivePageSize); }

  void Close() {
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) Fail(errno);
  }

 private:
  [[noreturn]] void Fail(int err) {
    throw EInOutError("Ошибка записи в файл дампа \"" + name_ + "\": " + SystemErrorMessage(err));
  }

  // Takes a partly written page off the end of the file (a full disk).
  void CutBackToWholePages() {
    std::error_code ec;
    std::filesystem::resize_file(PathOf(name_), size_, ec);
  }

  std::string name_;
  int fd_ = -1;
  uintmax_t size_ = 0;  // bytes of the whole pages in the file
};

// The page loop of a dump: requests fromPage..toPage, shows every page and
// appends it to `file` when there is one. Returns the last page's data as
// hexadecimal digits, or an empty text when no page came.
std::string DumpPages(EklzSession& s, DumpProgress& progress, DumpFile* file,
                      int fromPage, int toPage, bool quiet, bool logExchange) {
  progress.Show();
  if (s.LinkOpen()) progress.SetLineRate(s.Port().BaudRate());
  if (file) progress.SetPagesHeld(file->Pages());
  const long double total = static_cast<long double>(toPage) - fromPage + 1;
  const int pages = toPage >= fromPage ? toPage - fromPage + 1 : 0;
  progress.SetPages(0, pages);
  int done = 1;
  std::string pageData;
  ReplyShape shape;
  shape.count = ReplyShape::DataCount::DumpPage;
  shape.resultLabel = kResultLabel;

  for (int n = fromPage; n <= toPage;) {
    s.AppendResultLine("Запрос дампа архива:", quiet);
    s.AppendResultLine("    Страница №" + std::to_string(n), quiet);
    SendFrame(s, BuildRequest(code::kDump, WordField(static_cast<unsigned>(n))), logExchange);
    s.AppendResultLine(kRequestSent, quiet);
    const Reply reply = ReadReply(s, shape, quiet, logExchange);
    RequireGoodAnswer(s);

    pageData = RemoveBlanks(reply.dataText);
    s.AppendResultLine("Дамп:", quiet);
    if (file) file->Append(reply.data);
    s.AppendResultLine(pageData, quiet);

    ++n;
    progress.SetPages(done, pages);
    // Closing the progress display or a cancel request stop the dump after
    // this page; the pages written so far stay in the file.
    if (progress.Visible() && !s.CancelRequested()) {
      progress.SetPercent(static_cast<int>(RoundHalfEven(done * 100 / total)));
    } else {
      n = toPage + 1;
    }
    ++done;
  }
  if (file) file->Close();
  return pageData;
}

void RequirePageRange(int fromPage, int toPage) {
  // A page number travels as two bytes.
  RequireRange(fromPage, 0, 65535, "Номер страницы должен быть в пределах от 0 до 65535");
  if (fromPage <= toPage) {
    RequireRange(toPage, 0, 65535, "Номер страницы должен быть в пределах от 0 до 65535");
  }
}

}  // namespace

std::string AskArchiveDump(EklzSession& s, bool toFile, const std::string& fileName,
                           int fromPage, int toPage, bool onePage, bool quiet, bool logExchange) {
  if (onePage) toPage = fromPage;
  RequirePageRange(fromPage, toPage);
  std::unique_ptr<DumpProgress> progress = s.Output().CreateDumpProgress();
  std::unique_ptr<DumpFile> file;
  if (toFile) file = std::make_unique<DumpFile>(fileName, DumpFile::Mode::Create);
  return DumpPages(s, *progress, file.get(), fromPage, toPage, quiet, logExchange);
}

void AppendArchiveDump(EklzSession& s, const std::string& fileName, int fromPage, int toPage,
                       bool quiet, bool logExchange) {
  RequirePageRange(fromPage, toPage);
  std::unique_ptr<DumpProgress> progress = s.Output().CreateDumpProgress();
  DumpFile file(fileName, DumpFile::Mode::Append);
  DumpPages(s, *progress, &file, fromPage, toPage, quiet, logExchange);
}

int DumpFilePages(const std::string& fileName) {
  std::error_code ec;
  const std::filesystem::path path = PathOf(fileName);
  if (!std::filesystem::exists(path, ec)) return 0;
  const uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec) {
    throw TEKLZException("Невозможно прочитать размер файла дампа \"" + fileName + "\": " +
                         SystemErrorMessage(ec.value()));
  }
  if (size % kArchivePageSize != 0) {
    throw TEKLZException("Файл \"" + fileName + "\" не является дампом архива: его размер " +
                         Counted(static_cast<long long>(size), "байт", "байта", "байт") + " не кратен размеру страницы (" +
                         std::to_string(kArchivePageSize) + " байт). Файл не изменён");
  }
  if (size / kArchivePageSize > static_cast<uintmax_t>(kArchivePages)) {
    throw TEKLZException("Файл \"" + fileName + "\" не является дампом архива: в нём " +
                         Counted(static_cast<long long>(size / kArchivePageSize), "страница", "страницы", "страниц") + ", а в архиве ЭКЛЗ " +
                         std::to_string(kArchivePages) + ". Файл не изменён");
  }
  return static_cast<int>(size / kArchivePageSize);
}

std::string PagesWrittenText(int held, int done, int total) {
  std::string text = "записано " + Counted(held + done, "страницу", "страницы", "страниц") + " из " +
                     std::to_string(held + total);
  if (held > 0) text += " (в этом запуске " + std::to_string(done) + ")";
  return text;
}

long long DumpSecondsLeft(int done, int total, double elapsedSeconds, uint32_t baud) {
  const int left = total - done;
  if (left <= 0) return 0;
  if (done > 0 && elapsedSeconds > 0) {
    return static_cast<long long>(left * elapsedSeconds / done + 0.5);
  }
  if (baud == 0) return -1;
  // A request of 6 bytes and a reply of ACK, STX, length, answer, 512 data
  // bytes and the checksum; 10 bits a byte on the line.
  constexpr double kBitsPerPage = (6 + 517) * 10.0;
  return static_cast<long long>(left * kBitsPerPage / baud + 0.5);
}

std::string DurationText(long long seconds) {
  char text[32];
  if (seconds >= 3600) {
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60,
                  seconds % 60);
  } else {
    std::snprintf(text, sizeof text, "%lld:%02lld", seconds / 60, seconds % 60);
  }
  return text;
}

}  // namespace eklz
