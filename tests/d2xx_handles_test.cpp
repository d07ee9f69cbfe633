// The handles a D2XX port gives out: found while open, invalid once closed,
// and never handed out again.
#include "link/d2xx_handles.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace snimac {
namespace {

struct TNamedPort {
  std::string name;
};

TEST(D2xxHandles, OpenHandlesAreFoundAndClosedOnesNeverComeBack) {
  TD2xxHandles<TNamedPort> handles;
  const FT_HANDLE first = handles.Add(std::make_shared<TNamedPort>(TNamedPort{"COM5"}));
  const FT_HANDLE second = handles.Add(std::make_shared<TNamedPort>(TNamedPort{"COM6"}));
  ASSERT_NE(first, nullptr);
  ASSERT_NE(first, second);
  ASSERT_NE(handles.Find(first), nullptr);
  EXPECT_EQ(handles.Find(first)->name, "COM5");
  EXPECT_TRUE(handles.Any([](const TNamedPort& p) { return p.name == "COM6"; }));

  const std::shared_ptr<TNamedPort> held = handles.Find(second);
  const std::shared_ptr<TNamedPort> removed = handles.Remove(second);
  ASSERT_NE(removed, nullptr);
  EXPECT_EQ(held->name, "COM6");  // a caller inside a call keeps its port
  EXPECT_EQ(handles.Find(second), nullptr);
  EXPECT_EQ(handles.Remove(second), nullptr);
  EXPECT_FALSE(handles.Any([](const TNamedPort& p) { return p.name == "COM6"; }));

  const FT_HANDLE third = handles.Add(std::make_shared<TNamedPort>(TNamedPort{"COM6"}));
  EXPECT_NE(third, second);
  EXPECT_NE(third, first);
  EXPECT_EQ(handles.Find(second), nullptr);

  EXPECT_EQ(handles.Find(nullptr), nullptr);
  EXPECT_EQ(handles.Remove(nullptr), nullptr);
  EXPECT_EQ(handles.Find(reinterpret_cast<FT_HANDLE>(uintptr_t{999})), nullptr);
}

}  // namespace
}  // namespace snimac
