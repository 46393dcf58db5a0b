#pragma once
// The transfer engine against a scripted panel in virtual time, with a package in a
// scratch folder, and the words to script a panel's side of a download: its
// identification, command replies, record replies and packet replies.

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "downloader/link/testing/link_rig.h"
#include "downloader/platform/scratch_dir.h"
#include "downloader/transfer/download_controls.h"
#include "downloader/transfer/download_engine.h"
#include "downloader/transfer/package_text.h"
#include "downloader/transfer/packet_plan.h"

namespace dravik {

// Boxes in failure messages as they read on the screen.
inline void PrintTo(const BoxRecord& box, std::ostream* out) {
  *out << '"' << box.text << '"' << (box.icon == BoxIcon::Information ? " (information)" : "");
}

// One S1 record line: count, 16-bit address, data, checksum.
inline std::string SRecord(int type, uint16_t address, const Bytes& data) {
  Bytes fields = {static_cast<uint8_t>(data.size() + 3), static_cast<uint8_t>(address >> 8),
                  static_cast<uint8_t>(address)};
  fields.insert(fields.end(), data.begin(), data.end());
  unsigned sum = 0;
  for (uint8_t byte : fields) sum += byte;
  fields.push_back(static_cast<uint8_t>(~sum));
  std::string line = "S" + std::to_string(type);
  for (uint8_t byte : fields) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    line += kDigits[byte >> 4];
    line += kDigits[byte & 0x0F];
  }
  return line;
}

inline Bytes TextBytes(std::string_view text) {
  return Bytes(text.begin(), text.end());
}

// Lines joined with CR LF.
inline Bytes TextBlock(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return TextBytes(text);
}

inline Bytes PatternBytes(size_t count, uint8_t seed = 1) {
  Bytes bytes(count);
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(seed + i * 13 + i / 251);
  return bytes;
}

inline Bytes IdentifyReply(uint8_t type, uint8_t version) {
  Bytes data(version < 2 ? 11 : 13, 0x00);
  data[0] = type;
  data[1] = version;
  return ReplyBytes(0x12, 0, data);
}

inline Bytes DataPacketBytes(uint16_t number, bool first, std::span<const uint8_t> data) {
  Bytes frame(kMaxFrameLength);
  frame.resize(static_cast<size_t>(BuildDataPacket(
      std::span<uint8_t, kMaxFrameLength>(frame.data(), kMaxFrameLength), number, first, data)));
  return frame;
}

// The panel's side of a download, step by step.
class PanelScript {
 public:
  explicit PanelScript(ScriptedPort& port) : port_(port) {}

  ScriptStep& Identify(uint8_t type = 0x05, uint8_t version = 12) {
    return port_.Expect(RequestBytes(0x12)).Reply(IdentifyReply(type, version));
  }
  // The command, answered with this status.
  ScriptStep& Command(uint8_t code, uint8_t status = 0) {
    return port_.Expect(RequestBytes(code)).Reply(ReplyBytes(code, status));
  }
  // The command, never answered: every attempt of it.
  ScriptStep& Silent(uint8_t code) { return port_.Expect(RequestBytes(code)); }
  ScriptStep& Record(std::string_view line, bool answered = true) {
    Bytes request = TextBytes(line);
    request.push_back('\r');
    ScriptStep& step = port_.Expect(std::move(request));
    if (answered) step.Reply(ReplyBytes(0x61));
    return step;
  }
  ScriptStep& Packet(uint16_t number, bool first, std::span<const uint8_t> data,
                     uint8_t status = 0) {
    return port_.Expect(DataPacketBytes(number, first, data))
        .Reply(ReplyBytes(0x00, status, {}, number));
  }

  // The unlock step of a panel whose code is the one character `code`, after the
  // request it answered with status 0x60.
  void UnlockWithCode(char code) {
    port_.Expect(RequestBytes(0x10, {0x01})).Reply(ReplyBytes(0x10));
    port_.Expect(RequestBytes(0x14, Hex("00 EE 00 00"))).Reply(ReplyBytes(0x14, 0, {0x01}));
    Bytes data(26, 0x00);  // reply bytes 8 to 33: k = 0, the code's last byte at 32
    data[32 - 8] = static_cast<uint8_t>(code);
    port_.Expect(RequestBytes(0x01, Hex("00 EE 00 00 00 01"))).Reply(ReplyBytes(0x01, 0, data));
  }

  // Every record of a text block, answered (block 1's end record of a restart-group
  // package is not).
  void Records(const Bytes& block, TextBlockKind kind, uint8_t packageType = 0x05) {
    for (std::string_view record : SplitTextBlock(block, kind).Records()) {
      const bool quiet = kind == TextBlockKind::Block1 && IsRestartGroup(packageType) &&
                         TextRecordType(record) == 7;
      Record(record, !quiet);
    }
  }
  // Every packet of a binary block, answered.
  void Packets(const Bytes& block) {
    const std::vector<uint16_t> plan = MakePacketPlan(static_cast<uint32_t>(block.size()));
    auto number = static_cast<uint16_t>(plan.size());
    size_t at = 0;
    for (uint16_t size : plan) {
      Packet(number--, at == 0, std::span<const uint8_t>(block).subspan(at, size));
      at += size;
    }
  }

  // Block 2's phase up to its restart request: preparation, opening, records, close.
  void TextPhase2(const Bytes& block2) {
    Command(0x09);
    Command(0x60);
    Records(block2, TextBlockKind::Block2);
    Command(0x62);
  }

  // A whole download that goes to plan, for a panel of the package's type.
  void WholeDownload(uint8_t type, const std::vector<Bytes>& blocks) {
    Identify(type);
    Command(0x63);
    Records(blocks[0], TextBlockKind::Block1, type);
    Identify(type);
    TextPhase2(blocks[1]);
    Command(0x20);
    Identify(type);
    for (size_t i = 2; i < blocks.size(); ++i) Packets(blocks[i]);
    Command(0x20);
  }

 private:
  ScriptedPort& port_;
};

// Little-endian 32-bit values and the package layout around the blocks.
inline Bytes PackageBytes(uint8_t type, const std::vector<Bytes>& blocks) {
  Bytes all;
  const auto put = [&all](uint32_t value) {
    for (int i = 0; i < 4; ++i) all.push_back(static_cast<uint8_t>(value >> (8 * i)));
  };
  put(0xFFFFFFFF);
  put(2);
  put(type);
  put(0);
  for (const Bytes& block : blocks) {
    put(static_cast<uint32_t>(block.size()));
    all.insert(all.end(), block.begin(), block.end());
  }
  put(0);
  return all;
}

struct EngineRig : LinkRig<DownloadEngine> {
  ScratchDir dir;
  PanelScript panel{port};

  EngineRig() { link.SetPackageFolder(dir.path()); }

  void WritePackage(uint8_t type, const std::vector<Bytes>& blocks) {
    const Bytes bytes = PackageBytes(type, blocks);
    dir.Write("data.dvx",
              std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  }
  // The state a block sender finds: a panel of this type accepted, the port open.
  void Connected(uint8_t type = 0x05) {
    link.m_nPackageModel = type;
    link.m_nMachineType = type;
    ASSERT_EQ(Open(), 0);
  }

  // The texts a control was given, in order.
  std::vector<std::string> TextsOf(int controlId) const {
    std::vector<std::string> texts;
    for (const WindowEvent& e : window.Events()) {
      if (e.kind == WindowEvent::Kind::ItemText && e.controlId == controlId) {
        texts.push_back(e.text);
      }
    }
    return texts;
  }
  std::vector<int> EndResults() const {
    std::vector<int> results;
    for (const WindowEvent& e : window.Events()) {
      if (e.kind == WindowEvent::Kind::EndDialog) results.push_back(e.result);
    }
    return results;
  }
  // The first mismatch, cut to a readable length (a packet is 2048 bytes).
  std::string FirstProblem() const {
    return port.Problems().empty() ? std::string() : port.Problems().front().substr(0, 160);
  }
};

}  // namespace dravik
