#include "SimLine.h"

#include <QFile>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include <stdexcept>

#ifdef _WIN32
#include <windows.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QStringList>
#else
#include "sim/Demo.h"
#include "sim/Device.h"
#include "sim/Options.h"
#include "sim/PtyServer.h"
#endif

namespace eklz::test {

#ifdef _WIN32
namespace {

QString Env(const char* name) {
  const QString value = qEnvironmentVariable(name);
  if (value.isEmpty()) {
    throw std::runtime_error(std::string(name) + " is not set: run the window suites through scripts/test-windows");
  }
  return value;
}

// A word for the host's shell.
QString Quoted(const QString& word) {
  QString q = word;
  q.replace('\'', "'\\''");
  return '\'' + q + '\'';
}

// The link that COMn is mapped to. A file named like a device ("COM2",
// "COM2.pid") would stand for the device in a Windows path.
QString LinkPath(const QString& dir, const QString& port) { return dir + "/line-" + port; }

QString ReadText(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

}  // namespace

QString HostPath(const QString& windowsPath) {
  // Wine's own conversion, the one its file functions use.
  using Convert = char*(CDECL*)(LPCWSTR);
  static const auto convert = reinterpret_cast<Convert>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (!convert) throw std::runtime_error("not running under wine");
  char* unix = convert(reinterpret_cast<LPCWSTR>(windowsPath.utf16()));
  if (!unix) return {};
  const QString path = QString::fromUtf8(unix);
  HeapFree(GetProcessHeap(), 0, unix);
  return path;
}

QString WindowsPath(const QString& hostPath) {
  using Convert = WCHAR*(CDECL*)(LPCSTR);
  static const auto convert = reinterpret_cast<Convert>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
  if (!convert) throw std::runtime_error("not running under wine");
  WCHAR* dos = convert(hostPath.toUtf8().constData());
  if (!dos) return {};
  const QString path = QString::fromUtf16(reinterpret_cast<const char16_t*>(dos));
  HeapFree(GetProcessHeap(), 0, dos);
  return path;
}

// A Linux program started from here (wine would start one like a Windows
// program) shares this process's descriptors and leaves it unstable under
// wine 8; scripts/test-windows runs a loop on the host instead that runs
// each script left in the folder and leaves its exit status beside it.
int HostShell(const QString& command, int ms) {
  static int counter = 0;
  const QString dir = Env("EKLZ_TEST_LINES");
  const QString base = dir + QString("/run-%1-%2").arg(GetCurrentProcessId()).arg(++counter);
  const QString script = base + ".sh", done = base + ".done";
  {
    // Written under another name first: the loop takes only whole scripts.
    QFile f(WindowsPath(base + ".part"));
    if (!f.open(QIODevice::WriteOnly)) throw std::runtime_error("cannot write " + script.toStdString());
    f.write((command + "\n").toUtf8());
    f.close();
    if (!f.rename(WindowsPath(script))) throw std::runtime_error("cannot write " + script.toStdString());
  }
  const QString doneHere = WindowsPath(done);
  QDeadlineTimer deadline(ms);
  while (!QFileInfo::exists(doneHere)) {
    if (deadline.hasExpired()) return -1;
    QThread::msleep(10);
  }
  const int status = ReadText(doneHere).trimmed().toInt();
  QFile::remove(doneHere);
  return status;
}

SimLine::SimLine(const std::vector<std::string>& options) {
  // One line per COM port, taken in turn; a port is free once the pid file of
  // its simulator is gone.
  static int next = 0;
  lineDir_ = Env("EKLZ_TEST_LINES");
  const QString sim = Env("EKLZ_TEST_SIM");
  for (int tried = 0; tried < 8 && name_.isEmpty(); ++tried) {
    const QString name = QString("COM%1").arg(2 + next);
    next = (next + 1) % 8;
    if (!QFileInfo::exists(WindowsPath(LinkPath(lineDir_, name) + ".pid"))) name_ = name;
  }
  if (name_.isEmpty()) throw std::runtime_error("all of COM2 to COM9 are taken");
  port_ = name_.toStdString();
  const QString link = LinkPath(lineDir_, name_);
  QStringList words{Quoted(sim), "--link", Quoted(link), "--trace"};
  for (const std::string& o : options) words << Quoted(QString::fromStdString(o));
  const QString command = words.join(' ') + " >" + Quoted(link + ".out") + " 2>" + Quoted(link + ".trace") +
                          " & echo $! >" + Quoted(link + ".pid");
  if (HostShell(command) != 0) throw std::runtime_error("the simulator did not start");
  // It names its pseudo-terminal once the link is made. (Wine reads no
  // attributes of a link to a terminal: the link itself cannot be watched.)
  const QString out = WindowsPath(link + ".out");
  QDeadlineTimer deadline(5000);
  while (ReadText(out).isEmpty()) {
    if (deadline.hasExpired()) throw std::runtime_error("the simulator made no line " + link.toStdString());
    QThread::msleep(10);
  }
}

SimLine::~SimLine() {
  const QString link = Quoted(LinkPath(lineDir_, name_));
  // The pid file goes last: the port counts as free once it is gone.
  try {
    HostShell("pid=$(cat " + link + ".pid); kill $pid; while kill -0 $pid 2>/dev/null; do sleep 0.02; done; rm -f " +
              link + " " + link + ".out " + link + ".trace " + link + ".pid");
  } catch (const std::exception& e) {
    ADD_FAILURE() << "the simulator on " << port_ << " was not ended: " << e.what();
  }
}

uint64_t SimLine::Requests() const {
  uint64_t n = 0;
  for (const QString& line : ReadText(WindowsPath(LinkPath(lineDir_, name_) + ".trace")).split('\n')) {
    if (line.startsWith("==> ")) ++n;
  }
  return n;
}

QString PdfText(const QString& path) {
  const QString text = path + ".txt";
  EXPECT_EQ(HostShell("pdftotext -layout " + Quoted(HostPath(path)) + " " + Quoted(HostPath(text)), 20000), 0);
  return ReadText(text);
}

#else

SimLine::SimLine(const std::vector<std::string>& options) {
  const sim::SimOptions o = sim::ParseOptions(options);
  device_ = std::make_unique<sim::Device>(o.identity);
  if (o.demo) sim::BuildDemo(*device_);
  device_->SetRateCode(sim::Device::CodeOfRate(o.rate));
  sim::ServerOptions server;
  server.rateCheck = o.rateCheck;
  server.faults = o.faults;
  server_ = std::make_unique<sim::PtyServer>(*device_, server);
  server_->Start();
  port_ = server_->SlavePath();
}

SimLine::~SimLine() { server_.reset(); }

uint64_t SimLine::Requests() const { return server_->Requests(); }

QString PdfText(const QString& path) {
  QProcess pdftotext;
  pdftotext.start("pdftotext", {"-layout", path, "-"});
  EXPECT_TRUE(pdftotext.waitForFinished(20000));
  return QString::fromUtf8(pdftotext.readAllStandardOutput());
}

#endif

}  // namespace eklz::test
