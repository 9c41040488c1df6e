#include "natives/script_object_list.h"

#include <gtest/gtest.h>

#include "common/gone_notice.h"
#include "resource/files/file.h"

namespace bw {
namespace {

// An object that other holders may keep alive, and that counts its destructions.
struct Shared {
  explicit Shared(int* gone) : gone(gone) {}
  ~Shared() {
    NotifyGone(this);
    ++*gone;
  }
  uint32_t& ExtraReferences() { return extra; }
  int* gone;
  uint32_t extra = 0;
};

TEST(ScriptObjectList, ReleaseUnlinksOnceAndFreesTheHandleAtOnce) {
  ScriptHandles handles;
  ScriptObjectList<File> files(handles, ScriptObjectType::kFile);
  uint32_t a = 0, b = 0;
  ASSERT_EQ(files.Create(a, NoSetup{}), kObjectListCreated);
  ASSERT_EQ(files.Create(b, NoSetup{}), kObjectListCreated);
  File* first = files.Find(a);
  ASSERT_NE(first, nullptr);

  EXPECT_EQ(files.Release(first), kObjectListReleased);
  EXPECT_EQ(files.Find(a), nullptr) << "the handle reads null once the file is gone";
  EXPECT_EQ(handles.Get(a, ScriptObjectType::kFile), nullptr);
  EXPECT_EQ(files.ReleaseHandle(a), kObjectListNotListed) << "a second release";
  EXPECT_EQ(files.ReleaseHandle(0), kObjectListNullObject);

  // A file of the right type that the list never made is not the list's to release.
  File outsider;
  uint32_t o = handles.HandleOf(ScriptObjectType::kFile, &outsider);
  EXPECT_EQ(files.Find(o), nullptr);
  EXPECT_EQ(files.ReleaseHandle(o), kObjectListNotListed);
  EXPECT_EQ(handles.Get(o, ScriptObjectType::kFile), &outsider);

  files.ReleaseAll();
  EXPECT_EQ(files.Count(), 0u);
  files.ReleaseAll();  // on an empty list: nothing
  EXPECT_EQ(handles.LiveCount(), 1u) << "only the outsider's handle is left";
}

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
    EXPECT_EQ(list.Release(held), kObjectListNotListed);
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

}  // namespace
}  // namespace bw
