#include "tools/dvx/sample.h"

#include <cstdio>

namespace dvx {
namespace {

constexpr size_t kText1RecordBytes = 32;
constexpr size_t kText2RecordBytes = 16;
constexpr uint32_t kText1Base = 0x00010000;
constexpr uint32_t kText2Base = 0x00F000;

// xorshift32: cheap, deterministic, and never stuck at zero for a nonzero state.
class Bytes {
 public:
  explicit Bytes(uint32_t seed) : state_(seed * 2654435761u | 1) {}
  uint8_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return static_cast<uint8_t>(state_ >> 24);
  }
  std::vector<uint8_t> Take(size_t count) {
    std::vector<uint8_t> bytes(count);
    for (uint8_t& byte : bytes) byte = Next();
    return bytes;
  }

 private:
  uint32_t state_;
};

std::vector<uint8_t> Ascii(const char* text) {
  std::string s(text);
  return {s.begin(), s.end()};
}

void AddLine(std::string& text, const std::string& line) {
  text += line + "\r\n";
}

}  // namespace

std::string MakeSRecord(int type, uint32_t address, int addressBytes,
                        const std::vector<uint8_t>& data) {
  std::vector<uint8_t> bytes;
  bytes.push_back(static_cast<uint8_t>(addressBytes + data.size() + 1));
  for (int i = addressBytes - 1; i >= 0; --i)
    bytes.push_back(static_cast<uint8_t>(address >> (8 * i)));
  bytes.insert(bytes.end(), data.begin(), data.end());
  unsigned sum = 0;
  for (uint8_t byte : bytes) sum += byte;
  bytes.push_back(static_cast<uint8_t>(~sum));

  std::string line = "S" + std::to_string(type);
  char hex[3];
  for (uint8_t byte : bytes) {
    std::snprintf(hex, sizeof hex, "%02X", byte);
    line += hex;
  }
  return line;
}

std::string SampleText1(const SampleOptions& options) {
  Bytes random(options.seed);
  std::string text;
  AddLine(text, MakeSRecord(0, 0, 2, Ascii("SAMPLE1")));
  for (uint32_t i = 0; i < options.text1Records; ++i) {
    uint32_t address = kText1Base + i * static_cast<uint32_t>(kText1RecordBytes);
    AddLine(text, MakeSRecord(3, address, 4, random.Take(kText1RecordBytes)));
  }
  AddLine(text, MakeSRecord(7, kText1Base, 4, {}));
  return text;
}

std::string SampleText2(const SampleOptions& options) {
  Bytes random(options.seed + 1);
  std::string text;
  AddLine(text, "; sample settings block");
  char comment[48];
  std::snprintf(comment, sizeof comment, "; machine type 0x%02X", options.machineType);
  AddLine(text, comment);
  AddLine(text, MakeSRecord(0, 0, 2, Ascii("SAMPLE2")));
  for (uint32_t i = 0; i < options.text2Records; ++i) {
    uint32_t address = kText2Base + i * static_cast<uint32_t>(kText2RecordBytes);
    AddLine(text, MakeSRecord(2, address, 3, random.Take(kText2RecordBytes)));
  }
  // S8, not S9: a 16-bit end record has only 10 characters and fails the record test.
  AddLine(text, MakeSRecord(8, kText2Base, 3, {}));
  AddLine(text, "*****");
  return text;
}

std::vector<uint8_t> SampleBinary(const SampleOptions& options, size_t index) {
  Bytes random(options.seed + 2 + static_cast<uint32_t>(index));
  return random.Take(static_cast<size_t>(options.binarySizes.at(index)));
}

std::vector<std::vector<uint8_t>> SampleBlocks(const SampleOptions& options) {
  std::string text1 = SampleText1(options);
  std::string text2 = SampleText2(options);
  std::vector<std::vector<uint8_t>> blocks = {{text1.begin(), text1.end()},
                                              {text2.begin(), text2.end()}};
  for (size_t i = 0; i < options.binarySizes.size(); ++i) {
    blocks.push_back(SampleBinary(options, i));
  }
  return blocks;
}

}  // namespace dvx
