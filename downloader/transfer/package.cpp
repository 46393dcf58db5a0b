#include "downloader/transfer/package.h"

#include <limits>
#include <new>

#include "downloader/resources/string_table.h"
#include "downloader/transfer/package_limits.h"

namespace dravik {
namespace {

PackageStatus Fault(PackageFault fault, uint64_t offset = 0, uint32_t block = 0,
                    int64_t value = 0) {
  return {fault, offset, block, value};
}

int32_t LittleEndian32(const uint8_t* bytes) {
  uint32_t value = uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
                   uint32_t{bytes[3]} << 24;
  return static_cast<int32_t>(value);
}

}  // namespace

uint16_t PackageStatus::MessageId() const {
  switch (fault) {
    case PackageFault::None:
      return 0;
    case PackageFault::NotFound:
      return IDS_PACKAGE_NOT_FOUND;
    case PackageFault::TooFewBlocks:
    case PackageFault::BlockTooLarge:
      return IDS_PACKAGE_BROKEN;
    default:
      return IDS_PACKAGE_OPEN_FAILED;
  }
}

std::string PackagePathBeside(std::string_view modulePath) {
  size_t slash = modulePath.rfind('/');
  std::string path(slash == std::string_view::npos ? std::string_view{}
                                                   : modulePath.substr(0, slash + 1));
  return path + kPackageFileName;
}

PackageStatus TransferPackage::OpenPackage(const std::string& path) {
  PackageStatus status = Open(path);
  if (status.ok()) status = CheckSendable();
  if (!status.ok()) Close();
  return status;
}

PackageStatus TransferPackage::Open(const std::string& path) {
  Close();
  switch (file_.Open(path)) {
    case FileOpenError::None:
      break;
    case FileOpenError::NotFound:
      return Fault(PackageFault::NotFound);
    case FileOpenError::CannotOpen:
      return Fault(PackageFault::CannotOpen);
  }
  PackageStatus status = ReadHeaderAndTrailer();
  if (status.ok()) status = WalkChain();
  if (!status.ok()) {
    Close();
    return status;
  }
  nextOffset_ = kPackageHeaderBytes;
  return status;
}

PackageStatus TransferPackage::CheckSendable() const {
  if (!IsOpen()) return Fault(PackageFault::NotOpen);
  if (blockCount_ < kTextBlockCount) {
    return Fault(PackageFault::TooFewBlocks, kPackageHeaderBytes, 0, blockCount_);
  }
  return oversizeBlock_;
}

void TransferPackage::Close() {
  file_.Close();
  header_ = {};
  blockCount_ = 0;
  oversizeBlock_ = {};
  nextOffset_ = 0;
  blocksRead_ = 0;
  chainEnded_ = false;
}

bool TransferPackage::ReadValue(uint64_t offset, int32_t& value) const {
  uint8_t bytes[4];
  if (offset + 4 > file_.Size() || !file_.ReadAt(offset, bytes, sizeof bytes)) return false;
  value = LittleEndian32(bytes);
  return true;
}

// A file too short to hold a value fails the test of that value; one that holds
// the first two but not the header and the chain's end is too short as a whole.
PackageStatus TransferPackage::ReadHeaderAndTrailer() {
  if (!ReadValue(0, header_.magic)) return Fault(PackageFault::TooShort, 0, 0, 0);
  if (header_.magic != kPackageMagic) {
    return Fault(PackageFault::BadMagic, 0, 0, header_.magic);
  }
  if (!ReadValue(4, header_.version)) return Fault(PackageFault::TooShort, 4);
  if (header_.version != kPackageVersion) {
    return Fault(PackageFault::BadVersion, 4, 0, header_.version);
  }
  const uint64_t size = file_.Size();
  int32_t machine = 0;
  int32_t unused = 0;
  if (size < kPackageMinimumBytes || !ReadValue(8, machine) || !ReadValue(12, unused)) {
    return Fault(PackageFault::TooShort, 8, 0, static_cast<int64_t>(size));
  }
  header_.machineField = static_cast<uint32_t>(machine);
  header_.unused = static_cast<uint32_t>(unused);
  int32_t trailer = 0;
  if (!ReadValue(size - 4, trailer)) return Fault(PackageFault::ReadFailed, size - 4);
  if (trailer != 0) return Fault(PackageFault::BadTrailer, size - 4, 0, trailer);
  return {};
}

// Counts the blocks. Every step moves forward by at least 5 bytes and must leave
// room for the next length, so the walk ends within the file whatever the lengths
// say; it must end on the zero in the last 4 bytes.
PackageStatus TransferPackage::WalkChain() {
  const uint64_t size = file_.Size();
  uint64_t offset = kPackageHeaderBytes;
  uint32_t count = 0;
  for (;;) {
    const uint32_t block = count + 1;
    int32_t length = 0;
    if (!ReadValue(offset, length)) return Fault(PackageFault::ReadFailed, offset, block);
    if (length == 0) {
      if (offset + 4 != size) {
        return Fault(PackageFault::ChainEndsEarly, offset, block,
                     static_cast<int64_t>(size - offset - 4));
      }
      break;
    }
    if (length < 0) return Fault(PackageFault::NegativeLength, offset, block, length);
    const uint64_t next = offset + 4 + static_cast<uint64_t>(length);
    if (next + 4 > size) return Fault(PackageFault::LengthPastEnd, offset, block, length);
    if (count == std::numeric_limits<uint32_t>::max() - kTextBlockCount) {
      return Fault(PackageFault::TooManyBlocks, offset, block);
    }
    if (block > kTextBlockCount && oversizeBlock_.ok() &&
        static_cast<uint64_t>(length) > kMaxBinaryBlockBytes) {
      oversizeBlock_ = Fault(PackageFault::BlockTooLarge, offset, block, length);
    }
    count = block;
    offset = next;
  }
  blockCount_ = count;
  return {};
}

PackageStatus TransferPackage::ReadNextBlock(std::vector<uint8_t>& data, uint32_t& length) {
  data.clear();
  length = 0;
  if (!IsOpen()) return Fault(PackageFault::NotOpen);
  if (chainEnded_) return {};
  const uint32_t block = blocksRead_ + 1;
  int32_t stored = 0;
  if (!ReadValue(nextOffset_, stored)) {
    return Fault(PackageFault::ReadFailed, nextOffset_, block);
  }
  // The chain was checked at open; a different one now means the file changed
  // under us, and sending on would send something no one checked.
  if (blocksRead_ == blockCount_) {
    if (stored != 0) return Fault(PackageFault::ChangedSinceCheck, nextOffset_, block, stored);
    chainEnded_ = true;
    return {};
  }
  if (stored <= 0 || nextOffset_ + 8 + static_cast<uint64_t>(stored) > file_.Size()) {
    return Fault(PackageFault::ChangedSinceCheck, nextOffset_, block, stored);
  }
  // A length is bounded by the file, but a huge file must not end the program.
  try {
    data.resize(static_cast<size_t>(stored));
  } catch (const std::bad_alloc&) {
    return Fault(PackageFault::ReadFailed, nextOffset_ + 4, block, stored);
  }
  if (!file_.ReadAt(nextOffset_ + 4, data.data(), data.size())) {
    data.clear();
    return Fault(PackageFault::ReadFailed, nextOffset_ + 4, block);
  }
  length = static_cast<uint32_t>(stored);
  nextOffset_ += 4 + length;
  blocksRead_ = block;
  return {};
}

}  // namespace dravik
