// Label: threads
#include "host/dialog/imgui_dialog_host.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <thread>
#include <tuple>
#include <vector>

#include "host/cp932.h"
#include "host/host_path.h"
#include "host/input/joystick.h"
#include "host/input/text_input.h"
#include "host/message_box.h"
#include "host/message_queue.h"
#include "host/sdl_window_fixture.h"
#include "support/temp_dir.h"

// SDL events name only the fields they set; the rest stay zero.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace bw::host {
namespace {

constexpr uint32_t kPing = WM_USER + 7;

LRESULT PingProc(HWND hwnd, uint32_t message, WPARAM wParam, LPARAM lParam) {
  if (message == kPing) return 1234;
  return DefWindowProc(hwnd, message, wParam, lParam);
}

void PushKey(uint32_t type, SDL_Scancode scancode) {
  SDL_Event e{.key = {.type = type,
                      .state = uint8_t(type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED),
                      .keysym = {.scancode = scancode, .sym = SDL_GetKeyFromScancode(scancode)}}};
  SDL_PushEvent(&e);
}

// What the window shows, drawn again from its last frame: its top rows (all when rows is 0), and
// its width through width.
std::vector<uint32_t> Shown(SdlBackend& backend, HWND window, int rows = 0, int* width = nullptr) {
  backend.SdlSinkOf(window)->Redraw();
  SDL_Renderer* renderer = backend.SdlRendererOf(window);
  int w = 0, h = 0;
  EXPECT_EQ(SDL_GetRendererOutputSize(renderer, &w, &h), 0);
  if (rows > 0) h = std::min(h, rows);
  std::vector<uint32_t> shown(size_t(w) * h);
  const SDL_Rect area{0, 0, w, h};
  EXPECT_EQ(SDL_RenderReadPixels(renderer, &area, SDL_PIXELFORMAT_ARGB8888, shown.data(), w * 4),
            0);
  if (width) *width = w;
  return shown;
}

class ImGuiDialogHostTest : public SdlWindowFixture {
 protected:
  ImGuiDialogHostTest() : SdlWindowFixture(PingProc, "dialogs") {}
  void SetUp() override {
    SdlWindowFixture::SetUp();
    host_ = std::make_unique<ImGuiDialogHost>(backend_.get());
  }
  void TearDown() override {
    host_.reset();
    SdlWindowFixture::TearDown();
  }

  static Dialog TwoButtons() {
    Dialog dialog;
    dialog.templateId = 114;
    dialog.title = Utf8ToCp932Lenient("確認");
    dialog.texts = {{1012, Utf8ToCp932Lenient("よろしいですか？")}};
    dialog.buttons = {{1, Utf8ToCp932Lenient("はい")}, {2, Utf8ToCp932Lenient("いいえ")}};
    dialog.textWidth = 200;
    dialog.textHeight = 30;
    dialog.growToText = true;
    return dialog;
  }

  std::unique_ptr<ImGuiDialogHost> host_;
};

// Ends a loop that the input did not end, so a failure cannot hang the run.
constexpr int kGiveUpFrame = 30;
constexpr int kGaveUp = 77;

TEST_F(ImGuiDialogHostTest, KeysAndTypedTextReachTheDialogNotTheGameAndTheEndedDialogGoes) {
  Dialog dialog = TwoButtons();
  dialog.closeAnswer = 9;
  dialog.buttons.push_back({kGaveUp, "-"});
  host_->SetFrameHook([&](int frame) {
    if (frame == 3) PushKey(SDL_KEYDOWN, SDL_SCANCODE_ESCAPE);
    if (frame == kGiveUpFrame) host_->EndDialog(kGaveUp);
  });
  EXPECT_EQ(host_->RunDialog(window_, dialog), 9) << "Escape closes";

  // Typed text is held to the field's limit in CP932 bytes: two of three characters fit.
  dialog.edit = DialogEdit{1012, "", 4};
  host_->SetFrameHook([&](int frame) {
    // Escape goes up at once: held on, it would repeat into this dialog after a quarter second
    // of wall time, which a loaded machine reaches.
    if (frame == 0) PushKey(SDL_KEYUP, SDL_SCANCODE_ESCAPE);
    if (frame == 3) {
      SDL_Event e{.text = {.type = SDL_TEXTINPUT,
                           .text = "\xE3\x81\x82\xE3\x81\x84\xE3\x81\x86"}};  // あいう
      SDL_PushEvent(&e);
    }
    if (frame == 6) host_->EndDialog(1);
  });
  EXPECT_EQ(host_->RunDialog(window_, dialog), 1);
  EXPECT_EQ(dialog.edit->text, Utf8ToCp932Lenient("あい"));
  for (const MSG& m : Drain()) {
    EXPECT_NE(m.message, WM_KEYDOWN) << "a key of the dialog reached the game";
    EXPECT_NE(m.message, WM_CHAR);
  }
  // Drawn again after the dialog ended, the window shows the game's frame alone (none was
  // presented here: all black), nothing of the dialog.
  const std::vector<uint32_t> shown = Shown(*backend_, window_);
  EXPECT_EQ(std::count(shown.begin(), shown.end(), 0xFF000000u), ptrdiff_t(shown.size()))
      << "an ended dialog is still drawn over the game";
}

// A real keyboard's quick tap sends its press and its release together, between two frames.
TEST_F(ImGuiDialogHostTest, AKeyTappedBetweenTwoFramesIsStillAPress) {
  const struct {
    SDL_Scancode key;
    int answer;
    const char* what;
  } kTaps[] = {{SDL_SCANCODE_ESCAPE, 9, "Escape closes"},
               {SDL_SCANCODE_RETURN, 1, "Enter takes the default button"}};
  for (const auto& tap : kTaps) {
    Dialog dialog = TwoButtons();
    dialog.closeAnswer = 9;
    host_->SetFrameHook([&](int frame) {
      if (frame == 3) {
        PushKey(SDL_KEYDOWN, tap.key);
        PushKey(SDL_KEYUP, tap.key);
      }
      if (frame == kGiveUpFrame) host_->EndDialog(kGaveUp);
    });
    EXPECT_EQ(host_->RunDialog(window_, dialog), tap.answer) << tap.what;
  }
}

// The game saw none of the pointer's moves while a dialog was drawn over it: once the dialog
// ends, it hears where the pointer stands, or what it lit before would stay lit.
TEST_F(ImGuiDialogHostTest, TheGameHearsWhereThePointerStandsOnceADialogEnds) {
  constexpr int kX = 40, kY = 30;
  Dialog dialog = TwoButtons();
  host_->SetFrameHook([&](int frame) {
    if (frame == 1) {
      SDL_Event e{.motion = {.type = SDL_MOUSEMOTION,
                             .windowID = SDL_GetWindowID(backend_->SdlWindowOf(window_)),
                             .x = kX,
                             .y = kY}};
      SDL_PushEvent(&e);
    }
    if (frame == 3) host_->EndDialog(1);
  });
  ASSERT_EQ(host_->RunDialog(window_, dialog), 1);
  int moves = 0;
  for (const MSG& m : Drain()) {
    if (m.message != WM_MOUSEMOVE) continue;
    ++moves;
    EXPECT_EQ(GetXParam(m.lParam), kX);
    EXPECT_EQ(GetYParam(m.lParam), kY);
  }
  EXPECT_EQ(moves, 1) << "the game hears the pointer once, after the dialog";
}

// A dialog it cannot show, or whose window goes, ends with its close answer.
TEST_F(ImGuiDialogHostTest, RefusesWhatItCannotShowAndServesSendsWhileItRuns) {
  Dialog dialog = TwoButtons();
  dialog.closeAnswer = 5;
  EXPECT_EQ(host_->RunDialog(HWND{}, dialog), 5) << "no window";
  int answer = 0;
  std::thread other([&] { answer = host_->RunDialog(window_, dialog); });
  other.join();
  EXPECT_EQ(answer, 5) << "only the window thread runs dialogs";

  // A shown dialog keeps serving sends to its window.
  std::atomic<LRESULT> reply{0};
  std::thread sender;
  host_->SetFrameHook([&](int frame) {
    if (frame == 0) sender = std::thread([&] { reply = SendMessage(window_, kPing, 0, 0); });
    if (reply.load() != 0) host_->EndDialog(1);
  });
  EXPECT_EQ(host_->RunDialog(window_, dialog), 1);
  sender.join();
  EXPECT_EQ(reply.load(), 1234) << "a send was not served while the dialog ran";

  host_->SetFrameHook([&](int frame) {
    if (frame == 2) {
      EXPECT_TRUE(DestroyWindow(window_));
    }
    if (frame == kGiveUpFrame) host_->EndDialog(kGaveUp);
  });
  EXPECT_EQ(host_->RunDialog(window_, dialog), 5) << "the window went";
}

// A box of fixed width wraps its text and grows down to it: no line is cut off.
TEST_F(ImGuiDialogHostTest, AFixedWidthBoxShowsEveryWrappedLine) {
  auto shownHeight = [&](const char* text) {
    Dialog dialog = TwoButtons();
    dialog.growToText = false;
    dialog.texts = {{1012, Utf8ToCp932Lenient(text)}};
    int top = -1, bottom = -1;
    host_->SetFrameHook([&](int frame) {
      if (frame != 3) return;
      int w = 0;
      const std::vector<uint32_t> shown = Shown(*backend_, window_, 0, &w);
      for (int y = 0; w > 0 && y < int(shown.size()) / w; ++y) {
        const auto row = shown.begin() + ptrdiff_t(y) * w;
        if (std::any_of(row, row + w, [](uint32_t p) { return p != 0xFF000000u; })) {
          if (top < 0) top = y;
          bottom = y;
        }
      }
      host_->EndDialog(1);
    });
    EXPECT_EQ(host_->RunDialog(window_, dialog), 1);
    return bottom - top;
  };
  const int one = shownHeight("一行");
  const int three = shownHeight(
      "この文章は箱の幅より長いので、三行以上に折り返されて、最後の行まで見えなければならない。");
  ASSERT_GT(one, 0);
  EXPECT_GT(three, one + 20) << "the wrapped lines were cut off at the box";
}

constexpr int kBarRows = 16;  // the menu bar

Menu OneEntryMenu(HWND owner) {
  MenuItem popup{0, Utf8ToCp932Lenient("システム(&M)"), false, true, false, {}};
  popup.items = {MenuItem{40003, Utf8ToCp932Lenient("終了(&Q)"), false, true, false, {}}};
  return Menu(owner, {popup});
}

// The game greys its menu items from its own thread, with no input to bring a new frame.
TEST_F(ImGuiDialogHostTest, AnItemGreyedByTheGameShowsGreyAtTheNextPump) {
  Menu menu(window_, {MenuItem{40007, Utf8ToCp932Lenient("セーブ(&S)"), false, true, false, {}}});
  host_->AttachMenu(window_, &menu);
  const std::vector<uint32_t> enabled = Shown(*backend_, window_, kBarRows);
  std::thread([&] { EXPECT_TRUE(menu.EnableItem(40007, false)); }).join();
  backend_->PumpEvents();
  const std::vector<uint32_t> greyed = Shown(*backend_, window_, kBarRows);
  EXPECT_NE(greyed, enabled);
  std::thread([&] { EXPECT_TRUE(menu.EnableItem(40007, true)); }).join();
  backend_->PumpEvents();
  EXPECT_EQ(Shown(*backend_, window_, kBarRows), enabled);
  host_->AttachMenu(window_, nullptr);
}

// Every character a CP932 text can hold in the system's Japanese face (its symbols, both kanji
// levels) has its glyph: none is drawn as "?".
TEST_F(ImGuiDialogHostTest, TheFaceDrawsEveryCharacterOfTheEnginesTexts) {
  std::string every;
  for (int lead : {0x81, 0x82, 0x83, 0x84, 0x88, 0x89, 0x90, 0x98, 0x99, 0x9F, 0xE0, 0xEA}) {
    for (int trail = 0x40; trail <= 0xFC; ++trail) {
      const char pair[2] = {char(lead), char(trail)};
      if (Cp932ToUtf8(std::string_view(pair, 2)).ok) every.append(pair, 2);
    }
  }
  std::string missing = "?";
  host_->SetFrameHook([&](int frame) {
    missing = host_->MissingGlyphs(every);
    if (frame == 1) host_->EndDialog(1);
  });
  Dialog dialog = TwoButtons();
  EXPECT_EQ(host_->RunDialog(window_, dialog), 1);
  EXPECT_TRUE(missing.empty()) << missing.size() << " bytes of characters without a glyph, from "
                               << missing.substr(0, 30);
  EXPECT_EQ(host_->MissingGlyphs(Utf8ToCp932Lenient("ホイール↓回転 ※次回")), "");
}

TEST_F(ImGuiDialogHostTest, AltAloneOpensTheMenuAndADestroyedWindowLetsGo) {
  Menu menu = OneEntryMenu(window_);
  host_->AttachMenu(window_, &menu);
  auto press = [&](std::initializer_list<std::pair<uint32_t, SDL_Scancode>> keys) {
    for (auto [type, scancode] : keys) {
      PushKey(type, scancode);
      backend_->PumpEvents();
    }
  };
  // Alt+Enter leaving it closed is the windowed demo's, which switches screens with it.
  press({{SDL_KEYDOWN, SDL_SCANCODE_LALT}, {SDL_KEYUP, SDL_SCANCODE_LALT}});
  EXPECT_TRUE(host_->IsMenuOpen());

  // The host lets go of a window destroyed under its open menu, whose owner lets go after the
  // window: nothing of the window may be drawn into now.
  ASSERT_TRUE(DestroyWindow(window_));
  host_->AttachMenu(window_, nullptr);
  host_->RefreshMenu();
  EXPECT_FALSE(host_->IsMenuOpen());
}

TEST_F(ImGuiDialogHostTest, ChoosersOpenWhenTheWorkingFolderWasRemoved) {
  // The process stands in a folder that no longer exists; it goes back where it was at the end.
  bw::test::TempDir temp;
  const std::filesystem::path previous = std::filesystem::current_path(),
                              gone = temp.path() / "gone";
  std::filesystem::create_directory(gone);
  std::filesystem::current_path(gone);
  std::filesystem::remove(gone);
  struct Back {
    std::filesystem::path to;
    ~Back() { std::filesystem::current_path(to); }
  } back{previous};
  std::string kept;
  ASSERT_EQ(LinuxPathToEnginePath(temp.path().string(), kept), kPathOk);
  host_->SetFrameHook([&](int frame) {
    if (frame == 0) host_->EndDialog(1);
  });
  FolderChoice folder = host_->ChooseFolder(window_, {"", kept});
  EXPECT_TRUE(folder.chosen) << "an absolute start folder needs no working folder";
  EXPECT_EQ(folder.path, kept);

  // A relative folder, or none, has nothing to start from: the list is empty and OK chooses
  // nothing.
  EXPECT_FALSE(host_->ChooseFolder(window_, {"", "sub"}).chosen);
  FileChooserRequest request;
  request.fileName = "save.dat";
  EXPECT_FALSE(host_->ChooseFile(window_, request).chosen);
  request.folder = kept;
  FileChoice file = host_->ChooseFile(window_, request);
  EXPECT_TRUE(file.chosen);
  EXPECT_EQ(file.path, kept + "\\save.dat");
}

// A box before the game's window exists is the windowed demo's refused start.
// Clicks need a pointer the dummy driver cannot give ImGui; the windowed end-to-end test plays
// them under an X server.
TEST_F(ImGuiDialogHostTest, BoxesTakePlayedKeysAndShowInTheOwnersWindowOrIfHiddenTheirOwn) {
  host_->DrawBoxesWithoutDisplay(true);
  ScopedGlobal<DialogHost> use(host_.get());
  std::vector<InputStep> steps;
  ASSERT_TRUE(ParseInputScript("wait:3,key:Return", &steps, nullptr));
  host_->PlayInput(std::move(steps));
  host_->SetFrameHook([&](int frame) {
    if (frame == kGiveUpFrame) host_->EndDialog(kGaveUp);
  });
  EXPECT_EQ(MessageBox(window_, "?", "?", MB_YESNOCANCEL | MB_DEFBUTTON2), IDNO);
  EXPECT_TRUE(host_->InputDone());

  // Shows a box and ends it with `end` at frame 3; drawnIn tells where it was drawn.
  HWND drawnIn;
  auto box = [&](uint32_t style, int end) {
    host_->SetFrameHook([&, end](int frame) {
      drawnIn = host_->DrawnIn();
      if (frame == 3) host_->EndDialog(end);
      if (frame == kGiveUpFrame) host_->EndDialog(kGaveUp);
    });
    return MessageBox(window_, Utf8ToCp932Lenient("続けますか？"), Utf8ToCp932Lenient("確認"),
                      style);
  };
  EXPECT_EQ(box(MB_YESNO | MB_ICONQUESTION, IDNO), IDNO);
  EXPECT_EQ(drawnIn, window_);

  Menu menu = OneEntryMenu(window_);
  host_->AttachMenu(window_, &menu);
  EXPECT_TRUE(ShowWindow(window_, false));
  EXPECT_EQ(box(MB_OKCANCEL | MB_ICONERROR, IDOK), IDOK);
  EXPECT_TRUE(drawnIn && drawnIn != window_) << "a hidden owner cannot show it";
  EXPECT_FALSE(IsWindow(drawnIn)) << "the box's window goes with the box";
  host_->OpenMenu(window_);
  EXPECT_TRUE(host_->IsMenuOpen()) << "the owner's menu came back";
  host_->AttachMenu(window_, nullptr);
  host_->SetFrameHook({});
}

// Sliders, combos, radios, list boxes and actions beside the buttons are drawn by the settings
// sheet's test; here what only the save dialog has, and a picture that changes.
TEST_F(ImGuiDialogHostTest, DrawsTheLargerDialogsAndFeedsKeyFieldsAndTicks) {
  Dialog dialog = TwoButtons();
  dialog.tabs = DialogTabs{{"Auto", "Quick"}, 1, nullptr};
  dialog.list = DialogList{
      .id = 1201, .columns = {{"", 28}, {"T", 60, true}}, .rows = {{" F1", "x"}, {"", "y"}}};
  dialog.list->selected = 1;
  dialog.list->scrollToSelected = true;
  DialogControl picture{.id = 1084, .kind = DialogControlKind::kImage};
  picture.image = {120, 90, std::vector<uint8_t>(120 * 90 * 4, 0x80), 1};
  DialogControl notes{
      .id = 1056, .kind = DialogControlKind::kEdit, .enabled = false, .multiLine = true};
  DialogControl key{.id = 1060, .kind = DialogControlKind::kKeyField};
  int keyCode = 0;
  key.onKey = [&](Dialog&, DialogControl&, int code) { keyCode = code; };
  dialog.controls = {picture, notes, key};
  dialog.focusedId = 1060;
  dialog.tickMs = 16;
  int ticks = 0;
  dialog.onTick = [&](Dialog& d) {
    if (++ticks >= 3 && keyCode != 0) d.endAnswer = 4;
  };
  // Every tick ends a frame loop, and the next one counts its frames from 0 again: on a slow
  // machine each loop may end at its first frame, so the frames are counted here.
  int frames = 0;
  host_->SetFrameHook([&](int) {
    if (++frames == 2) {
      PushKey(SDL_KEYDOWN, SDL_SCANCODE_Z);
      dialog.controls[0].image.changes++;  // taken again on the next frame
    }
    if (frames == 3) PushKey(SDL_KEYUP, SDL_SCANCODE_Z);
    if (frames == 300) host_->EndDialog(kGaveUp);
  });
  EXPECT_EQ(host_->RunDialog(window_, dialog), 4) << "a tick from the third on ends it";
  EXPECT_GE(ticks, 3);
  EXPECT_EQ(keyCode, 0x2C) << "Z as its DirectInput code";
}

class SdlEvents : public SdlWindowFixture {
 protected:
  SdlEvents() : SdlWindowFixture(DefWindowProc, "Test \x83\x65") {}

  void Push(SDL_Event event) { ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError(); }

  SDL_Event KeyEvent(uint32_t type, SDL_Scancode scancode, bool repeat, uint16_t mod = 0) {
    return {.key = {.type = type,
                    .windowID = backend_->SdlWindowId(window_),
                    .state = uint8_t(type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED),
                    .repeat = uint8_t(repeat),
                    .keysym = {.scancode = scancode, .mod = mod}}};
  }
};

TEST_F(SdlEvents, KeysCarryTheVirtualKeyScanCodeAndRepeatBit) {
  struct Case {
    uint32_t type;
    SDL_Scancode scancode;
    bool repeat;
    uint16_t mod;
    uint32_t message;
    WPARAM key;
    uint32_t lParam;
    const char* name;
  };
  const Case cases[] = {
      {SDL_KEYDOWN, SDL_SCANCODE_Z, false, 0, WM_KEYDOWN, 'Z', 0x002C0001u, "press"},
      {SDL_KEYDOWN, SDL_SCANCODE_Z, true, 0, WM_KEYDOWN, 'Z', 0x402C0001u, "repeat is bit 30"},
      {SDL_KEYUP, SDL_SCANCODE_Z, false, 0, WM_KEYUP, 'Z', 0xC02C0001u, "release"},
      {SDL_KEYDOWN, SDL_SCANCODE_UP, false, 0, WM_KEYDOWN, 0x26, 0x01480001u, "extended key"},
      {SDL_KEYDOWN, SDL_SCANCODE_RETURN, false, KMOD_LALT, WM_SYSKEYDOWN, 0x0D, 0x201C0001u,
       "Alt held"},
      {SDL_KEYDOWN, SDL_SCANCODE_SEMICOLON, false, 0, WM_KEYDOWN, 0xBB, 0x00270001u,
       "the key right of L on the Japanese layout"},
  };
  for (const Case& c : cases) Push(KeyEvent(c.type, c.scancode, c.repeat, c.mod));
  std::vector<MSG> got = Drain();
  ASSERT_EQ(got.size(), std::size(cases));
  for (size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(std::tuple(got[i].hwnd, got[i].message, got[i].wParam, uint32_t(got[i].lParam)),
              std::tuple(window_, cases[i].message, cases[i].key, cases[i].lParam))
        << cases[i].name;
  }
}

TEST_F(SdlEvents, TypedTextArrivesAsCp932AndEndsTheComposition) {
  ResetTextInput();
  const uint32_t id = backend_->SdlWindowId(window_);
  Push({.editExt = {.type = SDL_TEXTEDITING_EXT,
                    .windowID = id,
                    .text = SDL_strdup("\xE3\x81\xAB")}});  // に
  Drain();
  EXPECT_EQ(Composition(), "\x82\xC9");

  // 日, an emoji.
  Push({.text = {.type = SDL_TEXTINPUT, .windowID = id, .text = "\xE6\x97\xA5\xF0\x9F\x98\x80"}});
  std::vector<MSG> got = Drain();
  EXPECT_EQ(Composition(), "") << "committing ends the composition";
  ASSERT_EQ(got.size(), 2u) << "the emoji has no CP932 form and is dropped whole";
  EXPECT_EQ(std::tuple(got[0].wParam, got[1].wParam), std::tuple(0x93u, 0xFAu));
  ResetTextInput();
}

// SDL's signed axes on the engine's 0..65535 range, read through the backend's joysticks.
TEST_F(SdlEvents, JoystickAxesAreOffsetToTheEnginesRange) {
  // The dummy driver's window never has the focus, and SDL drops joystick input without it.
  SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
  JoystickSource& joysticks = backend_->Joysticks();
  ASSERT_EQ(joysticks.Count(), 0);  // starts SDL's joystick part
  int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 2, 6, 0);
  ASSERT_GE(index, 0) << SDL_GetError();
  JoystickCaps caps;
  ASSERT_TRUE(joysticks.Caps(index, &caps));
  EXPECT_EQ(std::tuple(caps.buttonCount, caps.axisCount), std::tuple(6u, 2u));
  int32_t handle = joysticks.Open(index);
  ASSERT_GT(handle, 0);
  SDL_Joystick* stick = SDL_JoystickFromInstanceID(SDL_JoystickGetDeviceInstanceID(index));
  ASSERT_NE(stick, nullptr);
  SDL_JoystickSetVirtualAxis(stick, 0, -32768);
  SDL_JoystickSetVirtualAxis(stick, 1, 32767);
  SDL_JoystickSetVirtualButton(stick, 5, SDL_PRESSED);
  SDL_JoystickUpdate();
  JoystickReading reading;
  ASSERT_TRUE(joysticks.Read(handle, &reading));
  EXPECT_EQ(std::tuple(reading.x, reading.y), std::tuple(kJoystickAxisMin, kJoystickAxisMax));
  EXPECT_EQ(reading.buttons, 1u << 5);
  SDL_JoystickDetachVirtual(index);
  EXPECT_FALSE(joysticks.Read(handle, &reading)) << "unplugged";
  joysticks.Close(handle);
  SDL_ResetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS);
}

// A user of a window hears of its end while the sink still lives; a surface that kept the sink
// afterwards presents into nothing instead of into freed SDL objects.
TEST_F(SdlEvents, AWindowsEndIsToldBeforeItsSinkGoes) {
  PresentationSink* kept = GetPresentationSink(window_);
  ASSERT_NE(kept, nullptr);
  HWND told;
  bool sinkAlive = false;
  backend_->SetWindowClosing([&](HWND hwnd) {
    told = hwnd;
    sinkAlive = backend_->SdlSinkOf(hwnd) != nullptr;
  });
  ASSERT_TRUE(DestroyWindow(window_));
  backend_->SetWindowClosing({});
  EXPECT_EQ(told, window_);
  EXPECT_TRUE(sinkAlive);
  std::vector<uint8_t> pixels(4 * 4 * 4, 0x80);
  EXPECT_TRUE(kept->Present(pixels.data(), 4, 4, 16, ScaleFilter::kNearest));
  EXPECT_TRUE(kept->HandOver(pixels.data(), 4, 4, 16, ScaleFilter::kNearest));
  EXPECT_TRUE(kept->PresentPending());
}

// The maximise box makes the window one its player may size (where the driver can): the
// platform's maximise is the window's system command, and a size dragged by the player springs
// back to the engine's.
TEST_F(SdlEvents, AMaximisableWindowMaximisesByCommandAndKeepsItsSize) {
  SDL_Window* window = backend_->SdlWindowOf(window_);
  ASSERT_TRUE(SetWindowMaximizable(window_, true));
  const uint32_t id = backend_->SdlWindowId(window_);
  Push(SDL_Event{
      .window = {.type = SDL_WINDOWEVENT, .windowID = id, .event = SDL_WINDOWEVENT_MAXIMIZED}});
  SDL_SetWindowSize(window, 400, 300);
  Push(SDL_Event{.window = {.type = SDL_WINDOWEVENT,
                            .windowID = id,
                            .event = SDL_WINDOWEVENT_RESIZED,
                            .data1 = 400,
                            .data2 = 300}});
  std::vector<MSG> commands;
  for (const MSG& msg : Drain()) {
    if (msg.message != WM_PAINT) commands.push_back(msg);
  }
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(std::tuple(commands[0].message, commands[0].wParam),
            std::tuple(WM_SYSCOMMAND, WPARAM{SC_MAXIMIZE}));
  int w = 0, h = 0;
  SDL_GetWindowSize(window, &w, &h);
  EXPECT_EQ(std::tuple(w, h), std::tuple(320, 240));
}

class SdlEventsThread : public SdlEvents {};

TEST_F(SdlEventsThread, AnSdlEventPushedByAnotherThreadWakesGetMessage) {
  std::thread pusher(
      [e = KeyEvent(SDL_KEYDOWN, SDL_SCANCODE_A, false)]() mutable { SDL_PushEvent(&e); });
  MSG msg;
  ASSERT_EQ(GetMessage(&msg, HWND{}, WM_KEYDOWN, WM_KEYDOWN), 1);
  pusher.join();
  EXPECT_EQ(msg.wParam, WPARAM{'A'});
}

}  // namespace
}  // namespace bw::host
