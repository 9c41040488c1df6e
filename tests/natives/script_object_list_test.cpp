#include "natives/script_object_list.h"

#include <gtest/gtest.h>

#include <tuple>

#include "common/gone_notice.h"
#include "resource/files/file.h"

namespace bw {
namespace {

// An object that other holders may keep alive, and that counts its destructions.
struct Shared {
  explicit Shared(int* counter) : gone(counter) {}
  ~Shared() {
    NotifyGone(this);
    ++*gone;
  }
  uint32_t& ExtraReferences() { return extra; }
  int* gone;
  uint32_t extra = 0;
};

TEST(ScriptObjectList, ObjectsHeldElsewhereOutliveTheirRelease) {
  ScriptHandles handles;
  int gone = 0;
  uint32_t h = 0, kept = 0;
  {
    ScriptObjectList<Shared> list(handles, ScriptObjectType::kSurface);
    ASSERT_EQ(list.Create(h, NoSetup{}, &gone), kObjectListCreated);
    ASSERT_EQ(list.Create(kept, NoSetup{}, &gone), kObjectListCreated);
    Shared* held = list.Find(h);
    held->extra = 1;  // a second holder
    EXPECT_EQ(list.Release(held), kObjectListReleased);
    EXPECT_EQ(gone, 0);
    EXPECT_EQ(list.Find(h), nullptr) << "the script's handle went with its reference";
    delete held;  // the other holder lets go
    EXPECT_EQ(gone, 1);
  }
  EXPECT_EQ(gone, 2) << "the list's destructor releases what is left";
  EXPECT_EQ(handles.LiveCount(), 0u);
}

TEST(ScriptObjectList, AFailedSetUpAppendsNothing) {
  ScriptHandles handles;
  ScriptObjectList<File> files(handles, ScriptObjectType::kFile);
  uint32_t h = 7;
  EXPECT_EQ(files.Create(h, [](File&) { return 3; }), 3);
  EXPECT_EQ(h, 0u);
  EXPECT_EQ(files.Count(), 0u);
  EXPECT_EQ(handles.LiveCount(), 0u);
}

// A full handle table is the list's out of memory, told apart from every set-up's own codes,
// and the object made for it goes again.
TEST(ScriptObjectList, AFullHandleTableIsOutOfMemory) {
  ScriptHandles handles;
  for (uintptr_t i = 1; handles.HandleOf(ScriptObjectType::kFile, reinterpret_cast<void*>(i * 8));)
    ++i;
  int gone = 0;
  ScriptObjectList<Shared> list(handles, ScriptObjectType::kSurface);
  uint32_t h = 7;
  EXPECT_EQ(list.Create(h, NoSetup{}, &gone), -1) << "no loader answers it";
  EXPECT_EQ(std::tuple(h, gone, list.Count()), std::tuple(0u, 1, size_t{0}));
}

}  // namespace
}  // namespace bw
