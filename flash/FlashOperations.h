// The dialog-level flash operations the burn and erase workflows call: identification of the flash
// family (DetectFlashType), write protection off and on, and the chip erase with its SFType
// registration. They show their messages through the sink the caller hands in, never themselves.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "camera/CameraLink.h"
#include "flash/FlashTables.h"
#include "flash/SerialFlash.h"
#include "platform/MessageSink.h"
#include "rom/FlashLayout.h"

namespace torvane::flash {

// The flash family and part found by the last DetectFlashType; owned by the caller (the dialog, the
// command line, a test), cleared and set again by every chip erase.
struct FlashSelection {
  std::uint8_t SFType = 0;   // 0 not identified, 1-8 and 10 families, 0xFF unknown answer of the JEDEC form
  std::uint8_t SfModel = 0;  // part within the family, 0 when not decided
};

// Families DetectFlashType produces.
constexpr std::uint8_t kSfTypeNone = 0;
constexpr std::uint8_t kSfTypeStatusEnable = 3;  // takes 0x50 before a status write
constexpr std::uint8_t kSfTypeHeldErase = 4;     // erases with 0x62 held under chip select
constexpr std::uint8_t kSfTypePageOrganised = 6;
constexpr std::uint8_t kSfTypeUnknownJedec = 0xFF;

// Sends the identification commands (0x9F, again 0x9F, 0x15, 0xD7, 0x90, 0xAB) until one answer
// decides the family, stores SFType and SfModel, and configures the flash port for the family. Opens
// the port and leaves it closed.
void DetectFlashType(SerialFlash& flash, FlashSelection& selection);

// Where the controller firmware expects SFType. Only row 0 is known; it applies whenever no other row
// fits, and in particular to the zero-filled tag the workflows hand in (no source of the firmware
// tag has been found on the controller).
extern const std::span<const SfTypeRegisterRow> SfTypeRegisterTable;

// The row of `table` that applies to `tag` (0 when none fits).
std::size_t FindSfTypeRegisterRow(const RomTag& tag, std::span<const SfTypeRegisterRow> table);

// Address of the pin-configuration byte in the flash, by chip id (rom/FlashLayout.h).
using rom::PinConfigAddress;

// Open the back end, read the chip id over the dialog's binding (stored in link.ChipId), read the
// pin-configuration byte and switch protection off or on. 1 on success, 0 after a message. The back end
// stays open on success and is closed only when the chip id cannot be read.
int DisableWriteProtect(camera::CameraLink& link, SerialFlash& flash, platform::MessageSink& messages);
int EnableWriteProtect(camera::CameraLink& link, SerialFlash& flash, platform::MessageSink& messages);

// Identifies the flash, hands SFType to the controller firmware and erases the whole chip with the
// family's command sequence. Expects the back end open (as DisableWriteProtect leaves it). Whether the
// flash is blank afterwards is for the caller's blank check to find out.
void EraseFlashChip(const RomTag& tag, SerialFlash& flash, FlashSelection& selection,
                    platform::MessageSink& messages);

}  // namespace torvane::flash
