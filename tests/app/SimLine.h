// The simulated EKLZ on a serial line of its own, set up with the options of
// eklz-sim. On Linux the device is served in this process on a real
// pseudo-terminal. Under wine, eklz-sim of the Linux host serves it on a
// pseudo-terminal that wine maps to a COM port: scripts/test-windows maps
// COMn (COM2 to COM9) to the link line-COMn in $EKLZ_TEST_LINES and names
// the simulator in $EKLZ_TEST_SIM.
#pragma once

#include <QString>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace eklz::sim {
class Device;
class PtyServer;
}  // namespace eklz::sim

namespace eklz::test {

class SimLine {
 public:
  // `options` as eklz-sim takes them, without --link.
  explicit SimLine(const std::vector<std::string>& options = {"--start", "demo"});
  ~SimLine();
  SimLine(const SimLine&) = delete;
  SimLine& operator=(const SimLine&) = delete;

  // What the tester opens: the pty's path, or the COM port.
  const std::string& Port() const { return port_; }
  // Requests the simulator has received so far, answered or not.
  uint64_t Requests() const;

 private:
  std::string port_;
#ifdef _WIN32
  QString lineDir_;  // the host's folder of the links, as the host names it
  QString name_;     // COMn, also the link's name
#else
  std::unique_ptr<sim::Device> device_;
  std::unique_ptr<sim::PtyServer> server_;
#endif
};

#ifdef _WIN32
// The Linux host under wine: its names for files, and its programs.
QString HostPath(const QString& windowsPath);
QString WindowsPath(const QString& hostPath);
// Runs `command` in the host's shell and waits up to `ms` for its end; its
// exit status, or -1 when it did not end in time.
int HostShell(const QString& command, int ms = 30000);
#endif

// The text pdftotext reads from a PDF, laid out as printed.
QString PdfText(const QString& path);

}  // namespace eklz::test
