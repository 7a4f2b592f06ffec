#include "commands/ArchiveDump.h"

#include <cerrno>
#include <memory>

#include "commands/Common.h"
#include "codec/Errors.h"
#include "codec/FileCalls.h"
#include "serial/SystemErrors.h"

namespace eklz {

namespace {

// The dump file: created and truncated on open, closed on every way out.
class DumpFile {
 public:
  explicit DumpFile(const std::string& name) : name_(name) {
    fd_ = OpenFile(name, O_WRONLY | O_CREAT | O_TRUNC);
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
      if (n <= 0) Fail(n < 0 ? errno : ENOSPC);
      done += static_cast<size_t>(n);
    }
  }

  void Close() {
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) Fail(errno);
  }

 private:
  [[noreturn]] void Fail(int err) {
    throw EInOutError("Ошибка записи в файл дампа \"" + name_ + "\": " + SystemErrorMessage(err));
  }

  std::string name_;
  int fd_ = -1;
};

}  // namespace

std::string AskArchiveDump(EklzSession& s, bool toFile, const std::string& fileName,
                           int fromPage, int toPage, bool onePage, bool quiet, bool logExchange) {
  if (onePage) toPage = fromPage;
  // A page number travels as two bytes.
  RequireRange(fromPage, 0, 65535, "Номер страницы должен быть в пределах от 0 до 65535");
  if (fromPage <= toPage) {
    RequireRange(toPage, 0, 65535, "Номер страницы должен быть в пределах от 0 до 65535");
  }

  std::unique_ptr<DumpProgress> progress = s.Output().CreateDumpProgress();
  std::unique_ptr<DumpFile> file;
  if (toFile) file = std::make_unique<DumpFile>(fileName);

  progress->Show();
  const long double total = static_cast<long double>(toPage) - fromPage + 1;
  const int pages = toPage >= fromPage ? toPage - fromPage + 1 : 0;
  progress->SetPages(0, pages);
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
    progress->SetPages(done, pages);
    // Closing the progress display or a cancel request stop the dump after
    // this page; the pages written so far stay in the file.
    if (progress->Visible() && !s.CancelRequested()) {
      progress->SetPercent(static_cast<int>(RoundHalfEven(done * 100 / total)));
    } else {
      n = toPage + 1;
    }
    ++done;
  }
  if (file) file->Close();
  return pageData;
}

std::string PagesWrittenText(int done, int total) {
  return "записано " + std::to_string(done) + " страниц из " + std::to_string(total);
}

}  // namespace eklz
