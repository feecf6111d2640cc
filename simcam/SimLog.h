// What the simulated camera records, for tests to check exact wire behaviour: every property request
// as it arrived and as it was answered, and every SPI transaction on the flash's bus.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/Guid.h"
#include "platform/Result.h"

namespace torvane::simcam {

using Bytes = std::vector<std::uint8_t>;

enum class RequestKind {
  KsProperty,      // a node-scoped property request
  PropertySetSet,  // the property-set interface (chip-id fallback)
  PropertySetGet,
};

struct RequestRecord {
  std::uint64_t number = 0;  // counted from 1 over the simulator's life; faults refer to it
  std::size_t device = 0;    // enumeration index of the device it was sent to
  RequestKind kind = RequestKind::KsProperty;
  platform::Guid set;
  std::uint32_t id = 0;  // the property id: the selector
  std::uint32_t flags = 0;
  std::uint32_t node = 0;
  Bytes sent;      // the payload as handed in (for the property-set interface: the data block)
  Bytes answered;  // the payload as handed back
  platform::HResult result = platform::kS_OK;
  std::uint64_t timeMs = 0;  // virtual time when it arrived
};

// One byte clocked on the SPI bus: what went out to the flash and what came back.
struct SpiByte {
  std::uint8_t out = 0;
  std::uint8_t in = 0;
  bool receive = false;  // clocked by a receive (SfTransferControl 2) rather than a transmit
  friend bool operator==(const SpiByte&, const SpiByte&) = default;
};

enum class SpiSource {
  Host,        // the tool, through the flash port registers
  Controller,  // the controller itself, for a flash window write
};

enum class FrameEnd {
  Deselect,    // SfChipSelect written 1
  PortClosed,  // SfPortEnable written 0, which releases chip select
  Selected,    // a run of unselected bytes ended because chip select was asserted
  Open,        // still running
};

// The bytes between chip-select assert and release. Bytes shifted while chip select is released
// (no flash listens) are kept as a transaction of their own with `selected` false.
struct SpiTransaction {
  std::size_t device = 0;  // enumeration index of the camera
  SpiSource source = SpiSource::Host;
  bool selected = true;
  std::vector<SpiByte> bytes;
  FrameEnd end = FrameEnd::Open;
  std::uint64_t startMs = 0;
  std::uint64_t endMs = 0;

  // The bytes transmitted (SfTransferControl 1), in order.
  Bytes Sent() const;
  // The bytes received (SfTransferControl 2), in order.
  Bytes Received() const;
  // Every byte that went out, transmits and receives alike (a receive clocks out 0xFF).
  Bytes Out() const;
  Bytes In() const;
};

// A register access as seen through selector 1: a write, or the get that answered a read.
struct RegisterAccess {
  enum class Kind { Write, Read };
  Kind kind = Kind::Write;
  std::uint16_t address = 0;
  std::uint8_t value = 0;
  friend bool operator==(const RegisterAccess&, const RegisterAccess&) = default;
};

}  // namespace torvane::simcam
