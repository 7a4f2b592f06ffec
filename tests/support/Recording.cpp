#include "support/Recording.h"

namespace eklz::test {

Bytes DeviceReply(uint8_t answer, const Bytes& data) {
  Bytes out{0x06};
  const Bytes frame = FrameBytes(answer, data);
  out.insert(out.end(), frame.begin(), frame.end());
  return out;
}

Bytes B(const std::string& hex) { return HexToBytes(hex); }

namespace {
class RecordingProgress : public DumpProgress {
 public:
  explicit RecordingProgress(RecordingSink& sink) : sink_(sink) {}
  void Show() override { ++sink_.progressShown; }
  void SetPercent(int percent) override { sink_.percents.push_back(percent); }
  void SetLineRate(uint32_t baud) override { sink_.lineRates.push_back(baud); }
  bool Visible() const override {
    return sink_.closeAfterUpdates < 0 ||
           static_cast<int>(sink_.percents.size()) < sink_.closeAfterUpdates;
  }

 private:
  RecordingSink& sink_;
};
}  // namespace

std::unique_ptr<DumpProgress> RecordingSink::CreateDumpProgress() {
  return std::make_unique<RecordingProgress>(*this);
}

}  // namespace eklz::test
