#include "tools/dvx/package_image.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string_view>

#include "downloader/platform/atomic_file.h"
#include "downloader/resources/string_table.h"
#include "downloader/transfer/package_limits.h"

namespace dvx {
namespace {

void AppendLe32(std::vector<uint8_t>& bytes, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<uint8_t>(value >> shift));
}

std::string Where(const dravik::PackageStatus& status) {
  std::string where = "offset " + Hex(status.offset);
  if (status.block != 0) where += ", block " + std::to_string(status.block);
  return where + ": ";
}

std::string FaultText(const dravik::PackageStatus& s) {
  using dravik::PackageFault;
  const std::string value = std::to_string(s.value);
  switch (s.fault) {
    case PackageFault::None:
      return "no fault";
    case PackageFault::NotFound:
      return "no such file";
    case PackageFault::CannotOpen:
      return "cannot be opened for reading, or is not a regular file";
    case PackageFault::TooShort:
      return "too short for the 16-byte header and the zero length that ends the chain";
    case PackageFault::BadMagic:
      return Where(s) + "first header value is " + value + ", must be -1 (FF FF FF FF)";
    case PackageFault::BadVersion:
      return Where(s) + "second header value is " + value + ", must be 2";
    case PackageFault::BadTrailer:
      return Where(s) + "the last 4 bytes hold " + Hex(static_cast<uint32_t>(s.value), 8) +
             ", must be 0 (the end of the chain)";
    case PackageFault::NegativeLength:
      return Where(s) + "negative block length " + value;
    case PackageFault::LengthPastEnd:
      return Where(s) + "block length " + value +
             " runs past the end of the file or over its closing zero length";
    case PackageFault::ChainEndsEarly:
      return Where(s) + "the chain ends here with a zero length, but " + value +
             " more bytes follow before the end of the file";
    case PackageFault::TooManyBlocks:
      return Where(s) + "more blocks than can be counted";
    case PackageFault::TooFewBlocks:
      return "the package has " + value + " block(s); a download needs the two text blocks";
    case PackageFault::BlockTooLarge:
      return Where(s) + "binary block of " + value + " bytes needs " +
             std::to_string(dravik::BinaryPacketCount(static_cast<uint64_t>(s.value))) +
             " packets; at most 65535 (" + std::to_string(dravik::kMaxBinaryBlockBytes) +
             " bytes) can be numbered";
    case PackageFault::NotOpen:
      return "not open";
    case PackageFault::ReadFailed:
      return Where(s) + "cannot read the file";
    case PackageFault::ChangedSinceCheck:
      return Where(s) + "the file changed while it was read";
  }
  return "unknown fault";
}

}  // namespace

std::vector<uint8_t> PackageImage(uint8_t machineType,
                                  const std::vector<std::vector<uint8_t>>& blocks) {
  std::vector<uint8_t> bytes;
  AppendLe32(bytes, static_cast<uint32_t>(dravik::kPackageMagic));
  AppendLe32(bytes, static_cast<uint32_t>(dravik::kPackageVersion));
  AppendLe32(bytes, machineType);
  AppendLe32(bytes, 0);
  for (const std::vector<uint8_t>& block : blocks) {
    AppendLe32(bytes, static_cast<uint32_t>(block.size()));
    bytes.insert(bytes.end(), block.begin(), block.end());
  }
  AppendLe32(bytes, 0);
  return bytes;
}

bool WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes,
                         std::string& error) {
  std::filesystem::path folder = std::filesystem::path(path).parent_path();
  std::error_code ignored;
  if (!folder.empty() && !std::filesystem::is_directory(folder, ignored)) {
    error = path + ": cannot write: folder " + folder.string() + " does not exist";
    return false;
  }
  std::string_view content(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  errno = 0;
  if (!dravik::ReplaceFileAtomically(path, content, 0666)) {
    error = path + ": cannot write" + (errno != 0 ? std::string(": ") + std::strerror(errno) : "");
    return false;
  }
  return true;
}

ReadResult ReadWholeFile(const std::string& path, uint64_t limit, std::vector<uint8_t>& bytes,
                         std::string& error) {
  std::error_code code;
  if (!std::filesystem::is_regular_file(path, code)) {
    error = path + ": cannot read: " + (code ? code.message() : "not a regular file");
    return ReadResult::CannotRead;
  }
  uint64_t size = std::filesystem::file_size(path, code);
  if (code) {
    error = path + ": cannot read: " + code.message();
    return ReadResult::CannotRead;
  }
  if (size > limit) {
    error = path + ": " + std::to_string(size) + " bytes, more than the " + std::to_string(limit) +
            " a block can hold";
    return ReadResult::TooLarge;
  }
  std::ifstream in(path, std::ios::binary);
  bytes.resize(static_cast<size_t>(size));
  if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size))) {
    error = path + ": cannot read";
    return ReadResult::CannotRead;
  }
  return ReadResult::Ok;
}

std::string DescribePackageStatus(const dravik::PackageStatus& status) {
  return FaultText(status) + "; the downloader shows " + DownloaderMessage(status.MessageId());
}

std::string Hex(uint64_t value, int digits) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%0*llX", digits, static_cast<unsigned long long>(value));
  return text;
}

std::string DownloaderMessage(uint16_t id) {
  return std::to_string(id) + " \"" + dravik::LoadString(id) + "\"";
}

std::string Counted(uint64_t count, std::string_view noun) {
  return std::to_string(count) + " " + std::string(noun) + (count == 1 ? "" : "s");
}

}  // namespace dvx
