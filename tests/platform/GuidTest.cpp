#include <gtest/gtest.h>

#include "platform/CameraPlatform.h"
#include "platform/Guid.h"

using torvane::platform::Guid;
using torvane::platform::KsNodeProperty;

TEST(Guid, VendorUnitStringAndWireForms) {
  const Guid g = Guid::FromString("{28F03370-6311-4A2E-BA2C-6890EB334016}");
  const std::array<std::uint8_t, 16> wire = {0x70, 0x33, 0xF0, 0x28, 0x11, 0x63, 0x2E, 0x4A,
                                             0xBA, 0x2C, 0x68, 0x90, 0xEB, 0x33, 0x40, 0x16};
  EXPECT_EQ(g.ToWire(), wire);
  EXPECT_EQ(Guid::FromWire(wire), g);
  EXPECT_EQ(g.ToString(), "{28F03370-6311-4A2E-BA2C-6890EB334016}");
  EXPECT_EQ(Guid::Parse("28f03370-6311-4a2e-ba2c-6890eb334016"), g);
}

TEST(Guid, MalformedTextIsRefused) {
  for (const char* text : {"", "{28F03370-6311-4A2E-BA2C-6890EB33401}", "{28F03370-6311-4A2E-BA2C-6890EB33401G}",
                           "{28F03370+6311-4A2E-BA2C-6890EB334016}", "(28F03370-6311-4A2E-BA2C-6890EB334016)"}) {
    EXPECT_FALSE(Guid::Parse(text).has_value()) << text;
  }
}

TEST(KsNodeProperty, ThirtyTwoByteWireForm) {
  KsNodeProperty p{Guid::FromString("{28F03370-6311-4A2E-BA2C-6890EB334016}"), 3, 0x10000002, 2, 0};
  const auto w = p.ToWire();
  EXPECT_EQ(w[0], 0x70);
  EXPECT_EQ(w[16], 3);
  EXPECT_EQ(w[20], 0x02);
  EXPECT_EQ(w[23], 0x10);
  EXPECT_EQ(w[24], 2);
  EXPECT_EQ(w[28], 0);
}
