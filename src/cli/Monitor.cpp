#include "cli/Monitor.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "cli/GlobalOptions.h"
#include "cli/LineMonitor.h"
#include "cli/Terminal.h"
#include "codec/Errors.h"
#include "serial/Port.h"
#include "serial/ProtocolFile.h"
#include "serial/SystemErrors.h"

namespace eklz::cli {

namespace {

using Clock = LineMonitor::Clock;

// How long one read waits for a byte before it looks at the stop request
// and the rate again.
constexpr uint32_t kReadSliceMs = 50;

struct Chunk {
  LineSide side;
  Bytes bytes;
  Clock::time_point when;
  std::string failure;  // non-empty: the port failed and its reader ended
};

class ChunkQueue {
 public:
  void Push(Chunk chunk) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      chunks_.push_back(std::move(chunk));
    }
    ready_.notify_one();
  }
  // Everything queued, waiting up to `waitMs` for the first chunk.
  std::deque<Chunk> TakeAll(int waitMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    ready_.wait_for(lock, std::chrono::milliseconds(waitMs), [&] { return !chunks_.empty(); });
    std::deque<Chunk> taken;
    taken.swap(chunks_);
    return taken;
  }

 private:
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<Chunk> chunks_;
};

// A port that only receives: short reads so that a stop or a new rate is
// seen at once.
std::unique_ptr<TRSPort> OpenListeningPort(const std::string& name, uint32_t baud) {
  const TCommTimeouts timeouts{0, 0, kReadSliceMs, 2, 1000};
  return OpenSerialPort(name, baud, 8, 0, 0, timeouts, kStandardFlagWord);
}

// Reads one port on a thread of its own and queues what comes with the time
// it came.
class PortReader {
 public:
  PortReader(const std::string& name, LineSide side, uint32_t baud, ChunkQueue& queue)
      : name_(name), side_(side), queue_(queue), port_(OpenListeningPort(name, baud)), wanted_(baud) {
    thread_ = std::thread([this] { Run(); });
  }
  ~PortReader() {
    stop_ = true;
    thread_.join();
  }
  PortReader(const PortReader&) = delete;
  PortReader& operator=(const PortReader&) = delete;

  void SetRate(uint32_t baud) { wanted_ = baud; }

 private:
  void Run() {
    try {
      Bytes buffer(4096);
      while (!stop_) {
        // The new rate holds from the next byte on; what has come stays.
        if (const uint32_t want = wanted_; want != port_->BaudRate()) port_->ChangeRate(want);
        if (port_->ReadByte(buffer.data()) != 1) continue;
        const Clock::time_point when = Clock::now();
        const int more = port_->TakeBuffered(buffer.data() + 1, static_cast<int>(buffer.size() - 1));
        queue_.Push({side_, Bytes(buffer.begin(), buffer.begin() + 1 + more), when, {}});
      }
    } catch (const std::exception& e) {
      queue_.Push({side_, {}, Clock::now(), "Порт " + name_ + ": " + MessageBoxText(e.what())});
    }
  }

  std::string name_;
  LineSide side_;
  ChunkQueue& queue_;
  std::unique_ptr<TRSPort> port_;
  std::atomic<uint32_t> wanted_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

const OptionSpec kKkmPort{"kkm", "ПОРТ", "порт, на который приходит то, что передаёт ККМ", ValueKind::Text, {}};
const OptionSpec kEklzPort{"eklz", "ПОРТ", "порт, на который приходит то, что передаёт ЭКЛЗ", ValueKind::Text, {}};

void CheckMonitorPorts(const Arguments& a) {
  const bool pair = a.Has(kKkmPort) || a.Has(kEklzPort);
  if (pair && a.Has(kPort)) throw UsageError("задайте либо --kkm и --eklz, либо --port");
  if (pair && !(a.Has(kKkmPort) && a.Has(kEklzPort))) {
    throw UsageError("нужны оба порта: --kkm и --eklz");
  }
  if (!pair && !a.Has(kPort)) throw UsageError("не задан порт: --kkm и --eklz или --port");
}

void RunMonitor(Invocation& in) {
  EklzSession& s = in.session;
  const Settings& settings = s.settings;
  const uint32_t baud = static_cast<uint32_t>(ParseInt(settings.BoundRate));
  const auto show = [&](const std::string& line) { s.AppendResultLine(line, in.quiet); };
  LineMonitor monitor({show, in.logExchange ? std::function<void(const std::string&)>(
                                                  [&](const std::string& l) { s.AppendProtocolLine(l); })
                                            : nullptr},
                      2000 + settings.TimeOuts, settings.Win1251);

  ChunkQueue queue;
  std::vector<std::unique_ptr<PortReader>> readers;
  std::string ports;
  // A port that does not open is named with its device and the reason.
  const auto listen = [&](const std::string& name, LineSide side) {
    try {
      readers.push_back(std::make_unique<PortReader>(name, side, baud, queue));
    } catch (const ESystemError& e) {
      throw EInOutError(MessageBoxText(e.what()) + PortFailureContext(name, e.Code()));
    }
  };
  if (in.args.Has(kKkmPort)) {
    listen(in.args.Text(kKkmPort), LineSide::Kkm);
    listen(in.args.Text(kEklzPort), LineSide::Eklz);
    ports = "ККМ " + in.args.Text(kKkmPort) + ", ЭКЛЗ " + in.args.Text(kEklzPort);
  } else {
    listen(settings.ComPort, LineSide::Both);
    ports = settings.ComPort;
  }
  show("[" + LineMonitor::TimeText(Clock::now()) + "] Прослушивание: " + ports + ", " +
       settings.BoundRate + " бод");
  std::fflush(stdout);

  // What the readers of two ports saw is taken in the order it came.
  std::deque<Chunk> pending;
  std::string failure;
  const auto take = [&](Clock::time_point upTo) {
    while (!pending.empty() && pending.front().when <= upTo && failure.empty()) {
      Chunk chunk = std::move(pending.front());
      pending.pop_front();
      if (!chunk.failure.empty()) {
        failure = chunk.failure;
        break;
      }
      monitor.Feed(chunk.side, chunk.bytes.data(), chunk.bytes.size(), chunk.when);
      // A rate the line agreed holds from the next byte on.
      if (const uint32_t rate = monitor.TakeAgreedRate(); rate != 0) {
        for (auto& reader : readers) reader->SetRate(rate);
      }
    }
  };
  while (StopSignal() == 0 && failure.empty()) {
    for (Chunk& chunk : queue.TakeAll(10)) pending.push_back(std::move(chunk));
    std::stable_sort(pending.begin(), pending.end(),
                     [](const Chunk& a, const Chunk& b) { return a.when < b.when; });
    const Clock::time_point now = Clock::now();
    take(now);
    monitor.Tick(now);
    std::fflush(stdout);
  }
  readers.clear();
  for (Chunk& chunk : queue.TakeAll(0)) pending.push_back(std::move(chunk));
  take(Clock::time_point::max());
  monitor.Finish(Clock::now());
  for (const std::string& line : monitor.Summary()) show(line);
  std::fflush(stdout);
  if (!failure.empty()) throw EInOutError(failure);
}

void RunDecode(Invocation& in) {
  EklzSession& s = in.session;
  LineContext context;
  context.win1251 = s.settings.Win1251;
  const std::vector<RecordedExchange> exchanges = ReadProtocolFile(in.args.Positional().at(0));
  for (size_t i = 0; i < exchanges.size(); ++i) {
    for (const std::string& line :
         DecodeRecordedExchange(i + 1, exchanges[i].request, exchanges[i].reply, context)) {
      s.AppendResultLine(line, in.quiet);
    }
  }
}

}  // namespace

const SubCommand kMonitorCommand{
    "monitor", "монитор линии ККМ - ЭКЛЗ: расшифровка обменов по ходу, без передачи",
    {&kKkmPort, &kEklzPort}, RunMonitor, CheckMonitorPorts,
    "Кабель-монитор даёт два порта: на один приходит то, что передаёт ККМ (--kkm),\n"
    "на другой - то, что передаёт ЭКЛЗ (--eklz). Порт, на который приходит и то и\n"
    "другое, задаётся --port; запрос и ответ различаются по виду кадра.\n"
    "Скорость --baud (по умолчанию из файла настроек); после подтверждённой команды\n"
    "установки параметров обмена монитор переходит на новую скорость.\n"
    "Ответ ждётся 2000 мс + тайм-аут (--timeout). --protocol ФАЙЛ записывает обмен\n"
    "в формате протокола тестера (его воспроизводит eklz-sim --replay).\n"
    "Ctrl+C завершает прослушивание и выводит итог: обмены, сбои, команды\n"
    "(код завершения 0; 1 - порт не открылся или пропал).",
    true, nullptr, true};

const SubCommand kDecodeCommand{
    "decode", "расшифровка записанного протокола обмена (eklz decode ФАЙЛ)", {}, RunDecode, nullptr,
    "ФАЙЛ - протокол обмена: сохранённый вид \"Hex\" оконной программы, файл\n"
    "eklz --protocol или запись eklz monitor --protocol.",
    true, "ФАЙЛ"};

}  // namespace eklz::cli
