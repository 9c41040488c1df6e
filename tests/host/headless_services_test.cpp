// Label: threads
// What the headless backend stands in for besides windows: the cursor, the text-input switch,
// scripted joysticks and captured sound.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "common/global.h"
#include "host/audio/sound_test_rig.h"
#include "host/headless/headless_backend.h"
#include "host/input/cursor.h"
#include "host/input/joystick.h"
#include "host/input/text_input.h"
#include "host/message_queue.h"
#include "host/take_messages.h"

namespace bw::host {
namespace {

class HeadlessServices : public testing::Test {
 protected:
  ~HeadlessServices() override {
    SetCursorShape(0);
    SetKeyboardGrab(false);
  }
  HeadlessBackend backend_;
  ScopedGlobal<Backend> use_{&backend_};
};

TEST_F(HeadlessServices, CursorChangesReachTheBackendOnTheEventThread) {
  ASSERT_TRUE(SetCursorShape(3));
  EXPECT_EQ(backend_.AppliedCursor().shape, 3) << "the event thread applies at once";
  EXPECT_FALSE(SetCursorShape(kCursorShapeCount));
  EXPECT_EQ(backend_.AppliedCursor().shape, 3);

  std::thread other([] {
    SetCursorShape(7);
    SetKeyboardGrab(true);
  });
  other.join();
  EXPECT_EQ(backend_.AppliedCursor().shape, 3) << "another thread's change waits for the pump";
  test::TakeMessages();
  EXPECT_EQ(backend_.AppliedCursor(), (CursorState{7, true, true}));
}

TEST_F(HeadlessServices, ScriptedJoysticksOpenReadAndUnplug) {
  EXPECT_EQ(JoystickCount(), 0);
  JoystickCaps caps;
  EXPECT_FALSE(GetJoystickCaps(0, &caps));
  EXPECT_EQ(OpenJoystick(0), 0) << "nothing attached";

  const JoystickCaps pad{.buttonCount = 4, .axisCount = 2, .name = "pad"};
  ASSERT_EQ(backend_.Joysticks().Attach(pad), 0);
  ASSERT_EQ(backend_.Joysticks().Attach(pad), 1);
  EXPECT_EQ(JoystickCount(), 2);
  ASSERT_TRUE(GetJoystickCaps(1, &caps));

  int32_t handle = OpenJoystick(1);
  ASSERT_GT(handle, 0);
  JoystickReading reading;
  backend_.Joysticks().Set(1, JoystickReading{0, kJoystickAxisMax, 0x5});
  ASSERT_TRUE(ReadJoystick(handle, &reading));
  EXPECT_EQ(reading.x, 0);
  EXPECT_EQ(reading.y, kJoystickAxisMax);
  EXPECT_EQ(reading.buttons, 0x5u);

  backend_.Joysticks().Detach(1);
  EXPECT_FALSE(ReadJoystick(handle, &reading)) << "an unplugged joystick reads nothing";
  EXPECT_EQ(JoystickCount(), 1);
  CloseJoystick(handle);
  EXPECT_FALSE(ReadJoystick(handle, &reading));
}

TEST(JoysticksWithoutBackend, NoneAttached) {
  ASSERT_EQ(CurrentBackend(), nullptr);
  EXPECT_EQ(JoystickCount(), 0);
  EXPECT_EQ(OpenJoystick(0), 0);
  JoystickReading reading;
  EXPECT_FALSE(ReadJoystick(1, &reading));
}

TEST(CapturedAudio, AnOutputMayOutliveItsBackend) {
  SoundRig rig;
  std::unique_ptr<AudioOutput> output;
  {
    HeadlessBackend backend;
    output = backend.MakeAudioOutput(rig.device);
    ASSERT_EQ(output->Open(), kSoundOk);
  }
  output->Close();
  EXPECT_FALSE(output->IsOpen());
}

}  // namespace
}  // namespace bw::host
