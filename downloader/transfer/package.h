#pragma once
// The transfer package data.dvx: a 16-byte header naming the machine type, then a
// chain of blocks, each a 32-bit little-endian length and that many bytes, ended
// by a zero length that must be the last 4 bytes of the file. Blocks 1 and 2 are
// text records (package_text.h); the blocks after them are binary.
//
// How the download dialog wraps this class (its members keep their own names):
//
//   OpenPackage()      m_package.OpenPackage(PackagePathBeside(module file name));
//                      on failure show LoadString(status.MessageId()) and return
//                      false (no module file name: return false without a box);
//                      on success m_nPackageModel = m_package.PackageModel() and
//                      N = m_package.BlockCount().
//   ReadNextBlock(d,l) m_package.ReadNextBlock(d, l); l == 0 ends the chain. A
//                      failure (the file changed or cannot be read since the
//                      check) carries 57346: show it and end as cancelled.
//
// Messages by fault (PackageStatus::MessageId):
//   57345 "Cannot find transfered data (data.dvx)"   NotFound
//   57346 "Cannot open transfered data (data.dvx)"   CannotOpen, TooShort, BadMagic,
//         BadVersion, BadTrailer, NegativeLength, LengthPastEnd, ChainEndsEarly,
//         TooManyBlocks, NotOpen, ReadFailed, ChangedSinceCheck
//   57347 "Transfered data (data.dvx) is broken"     TooFewBlocks, BlockTooLarge

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "downloader/transfer/package_file.h"

namespace dravik {

enum class PackageFault : uint8_t {
  None,
  NotFound,           // no file of that name
  CannotOpen,         // exists but cannot be opened for reading (or is not a file)
  TooShort,           // shorter than the header and the zero length at the end
  BadMagic,           // the first value is not -1
  BadVersion,         // the second value is not 2
  BadTrailer,         // the last 4 bytes are not 0
  NegativeLength,     // a block length below 0
  LengthPastEnd,      // a block runs past the end of the file (or over its last 4 bytes)
  ChainEndsEarly,     // a zero length before the last 4 bytes of the file
  TooManyBlocks,      // more blocks than a 32-bit count holds
  TooFewBlocks,       // the download needs both text blocks
  BlockTooLarge,      // a binary block of more than 65535 packets
  NotOpen,            // ReadNextBlock without an open package
  ReadFailed,         // the file could not be read
  ChangedSinceCheck,  // the chain read now differs from the one checked at open
};

// The outcome of a package operation. Where the fault lies, for a tool's report:
// offset in the file, the 1-based block concerned (0 for none) and the value found
// there (a header value, a length, the block count).
struct PackageStatus {
  PackageFault fault = PackageFault::None;
  uint64_t offset = 0;
  uint32_t block = 0;
  int64_t value = 0;

  bool ok() const { return fault == PackageFault::None; }
  // The string-table id of the box the dialog shows; 0 when there is none.
  uint16_t MessageId() const;
};

// The four values of the header as stored.
struct PackageHeader {
  int32_t magic = 0;
  int32_t version = 0;
  uint32_t machineField = 0;  // only the low byte is used
  uint32_t unused = 0;
};

// The package path for a program at modulePath: its directory followed by
// "data.dvx". The current directory plays no part.
std::string PackagePathBeside(std::string_view modulePath);

// One package, open read-only from a successful check until Close or destruction.
class TransferPackage {
 public:
  // The dialog's check: Open, then CheckSendable. Nothing has been sent yet, so a
  // package the download could only fail on half-way is refused here.
  PackageStatus OpenPackage(const std::string& path);

  // The file checks alone: the file exists and opens, header -1 and 2, the last 4
  // bytes 0, and a chain walk that stays inside the file and ends exactly on that
  // zero. Any failure leaves nothing open.
  PackageStatus Open(const std::string& path);

  // Fitness for a download: at least the two text blocks, and every binary block
  // within 65535 packets. Needs a successful Open.
  PackageStatus CheckSendable() const;

  // The next block whole into data (resized to it), its length in length. The
  // first call reads the length at offset 16; each later call continues after the
  // previous block. length 0 means the chain has ended (and stays so).
  PackageStatus ReadNextBlock(std::vector<uint8_t>& data, uint32_t& length);

  void Close();
  bool IsOpen() const { return file_.IsOpen(); }

  // m_nPackageModel: the low byte of the header's machine-type value.
  uint8_t PackageModel() const { return static_cast<uint8_t>(header_.machineField); }
  // N: the number of nonzero lengths in the chain.
  uint32_t BlockCount() const { return blockCount_; }
  const PackageHeader& Header() const { return header_; }
  uint64_t FileSize() const { return file_.Size(); }
  // Where ReadNextBlock reads the next length, and how many blocks it has read.
  uint64_t NextBlockOffset() const { return nextOffset_; }
  uint32_t BlocksRead() const { return blocksRead_; }

 private:
  PackageStatus ReadHeaderAndTrailer();
  PackageStatus WalkChain();
  bool ReadValue(uint64_t offset, int32_t& value) const;

  ReadOnlyFile file_;
  PackageHeader header_;
  uint32_t blockCount_ = 0;
  // The first binary block too large for its packets to be numbered, if any.
  PackageStatus oversizeBlock_;
  uint64_t nextOffset_ = 0;
  uint32_t blocksRead_ = 0;
  bool chainEnded_ = false;
};

}  // namespace dravik
