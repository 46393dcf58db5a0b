#pragma once
// Making transfer packages and reading the files they are made from.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "downloader/transfer/package.h"

namespace dvx {

// The bytes of a package: header with the machine type, each block after its
// length, the closing zero. Lengths are not checked here (tests build broken ones).
std::vector<uint8_t> PackageImage(uint8_t machineType,
                                  const std::vector<std::vector<uint8_t>>& blocks);

// Writes bytes to path through a temporary file in the same folder and a rename,
// so a failure leaves no partial file and the old one, if any, as it was.
bool WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes,
                         std::string& error);

enum class ReadResult { Ok, CannotRead, TooLarge };

// The whole file into bytes when it holds at most limit bytes.
ReadResult ReadWholeFile(const std::string& path, uint64_t limit, std::vector<uint8_t>& bytes,
                         std::string& error);

// A package fault in words, with where it lies and the box the downloader shows.
std::string DescribePackageStatus(const dravik::PackageStatus& status);
// A machine type as 0x05, an offset as 0x1A.
std::string Hex(uint64_t value, int digits = 1);
// A count with its noun, singular for one: "1 record", "3 records".
std::string Counted(uint64_t count, std::string_view noun);
// The downloader's message as `id "text"`.
std::string DownloaderMessage(uint16_t id);

}  // namespace dvx
