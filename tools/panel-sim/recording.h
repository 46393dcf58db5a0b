#pragma once
// What the panel received in one download, and where it goes as each block ends.
// Blocks are numbered as in the transfer package: 1 and 2 are the text blocks,
// 3 and up the binary blocks in the order they arrived.

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace panelsim {

inline constexpr int kFirstBinaryBlock = 3;

struct Recording {
  std::array<std::vector<std::string>, 2> text;  // accepted records of blocks 1 and 2
  std::vector<std::vector<uint8_t>> binary;      // complete binary blocks, block 3 first

  bool Empty() const { return text[0].empty() && text[1].empty() && binary.empty(); }
};

class RecordSink {
 public:
  virtual ~RecordSink() = default;
  // A text block (1 or 2) has ended; records as received, without carriage returns.
  // False when it could not be kept.
  virtual bool TextBlock(int block, const std::vector<std::string>& records) = 0;
  // Binary block `block` (3 and up) is complete. False when it could not be kept.
  virtual bool BinaryBlock(int block, std::span<const uint8_t> data) = 0;
  // Update mode was entered again after blocks had arrived: a new download begins and
  // what the sink holds of the previous one is withdrawn.
  virtual void NewDownload() = 0;
};

// "block-1.srec", "block-3.bin".
std::string RecordFileName(int block);

// Writes each block into a folder as it ends: a text block as its records, each
// followed by a line feed; a binary block as its bytes. Each file is written under a
// temporary name and renamed, so a reader never sees half a block.
class FolderRecorder final : public RecordSink {
 public:
  // Creates the folder when missing; null with a message when that fails.
  static std::unique_ptr<FolderRecorder> Create(const std::filesystem::path& folder,
                                                std::string* error);

  bool TextBlock(int block, const std::vector<std::string>& records) override;
  bool BinaryBlock(int block, std::span<const uint8_t> data) override;
  void NewDownload() override;

 private:
  explicit FolderRecorder(std::filesystem::path folder) : folder_(std::move(folder)) {}
  bool WriteFile(int block, std::span<const char> bytes);

  std::filesystem::path folder_;
  std::vector<std::filesystem::path> written_;
};

}  // namespace panelsim
