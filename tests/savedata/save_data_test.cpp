#include "savedata/save_data.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/global.h"
#include "graphics/layers/canvas_layer.h"
#include "graphics/layers/fake_filter.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/surface/color_rect_object.h"
#include "graphics/surface/pixel_library.h"
#include "lib/bmp/bmp_builder.h"
#include "lib/sav/sav_text.h"
#include "resource/images/builtin_loaders.h"
#include "resource/images/image_loader_manager.h"
#include "save_rig.h"
#include "savedata/save_file.h"
#include "support/game_folder.h"

namespace bw {
namespace {

std::vector<uint8_t> SnapshotOf(SaveRig& rig) {
  return {rig.Save().Snapshot().begin(), rig.Save().Snapshot().end()};
}

TEST(SaveRings, AutomaticAndQuickRingsWrapAndAreWalkedBackward) {
  SaveRig rig;
  SaveData& save = rig.Save();
  SaveSettings& settings = rig.app.settings.settings;
  auto found = [&](int32_t page) {
    std::string name;
    const int r = save.FindSaveFileName(name, page, -1);
    return r == 0 ? name.substr(rig.app.folder.size()) : std::to_string(r);
  };
  std::vector<int> autoSlots, quickSlots;
  for (int i = 0; i < 11; ++i) {
    ASSERT_EQ(save.WriteSaveData(kAutoPage, -1), 0) << i;
    autoSlots.push_back(settings.lastAutoSlot);
  }
  EXPECT_EQ(autoSlots, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0}));
  EXPECT_EQ(settings.nextAutoSlot, 1);

  EXPECT_EQ(found(kQuickPage), std::to_string(kFindNoQuickFile));
  for (int i = 0; i < 6; ++i) {
    ASSERT_EQ(save.WriteSaveData(kQuickPage, -1), 0);
    quickSlots.push_back(settings.lastQuickSlot);
  }
  EXPECT_EQ(quickSlots, (std::vector<int>{5, 6, 7, 8, 9, 5}));
  for (int slot = 0; slot < 5; ++slot) EXPECT_FALSE(rig.Exists(kQuickPage, slot)) << slot;
  EXPECT_EQ(found(kQuickPage), "DATA0105.SAV");
  // Walking back from a slot whose file is gone finds the one before it.
  std::filesystem::remove(rig.File(kQuickPage, 5));
  EXPECT_EQ(found(kQuickPage), "DATA0109.SAV");
  EXPECT_EQ(found(kAutoPage), "DATA0000.SAV");

  // A page's own slot -1 is one more file; no counter moves.
  ASSERT_EQ(save.WriteSaveData(10, -1), 0);
  EXPECT_EQ(std::tuple(rig.Exists(10, -1), settings.nextAutoSlot), std::tuple(true, 1));
  EXPECT_EQ(found(10), "DATA10-1.SAV");
}

TEST(SaveRings, CountersOutsideTheirRingsStartAgain) {
  SaveRig rig;
  rig.app.settings.settings.nextAutoSlot = 200;
  rig.app.settings.settings.nextQuickSlot = 2;
  ASSERT_EQ(rig.Save().WriteSaveData(kAutoPage, -1), 0);
  ASSERT_EQ(rig.Save().WriteSaveData(kQuickPage, -1), 0);
  EXPECT_TRUE(rig.Exists(kAutoPage, 0) && rig.Exists(kQuickPage, 5));
  std::string name;
  rig.app.settings.settings.nextAutoSlot = 77;
  EXPECT_EQ(rig.Save().FindSaveFileName(name, kAutoPage, -1), 0);
  EXPECT_EQ(name, rig.app.folder + "DATA0000.SAV");
}

// A file that cannot take the slot's place (a folder stands there) fails the save, and the ring
// does not move past the slot.
TEST(SaveRings, ASaveThatCannotBePutInPlaceFailsAndKeepsTheCounters) {
  SaveRig rig;
  std::filesystem::create_directories(rig.File(kAutoPage, 0) / "inside");
  EXPECT_EQ(rig.Save().WriteSaveData(kAutoPage, -1), kWriteFileFailed);
  EXPECT_EQ(rig.app.settings.settings.nextAutoSlot, 0);
  EXPECT_EQ(rig.app.settings.settings.savedOnce, 0);
  std::filesystem::remove_all(rig.File(kAutoPage, 0));
  EXPECT_EQ(rig.Save().WriteSaveData(kAutoPage, -1), 0);
  EXPECT_EQ(rig.app.settings.settings.nextAutoSlot, 1);
}

TEST(SaveLoad, AStateComesBackWithItsHistoryFrameAndSnapshot) {
  SaveRig rig;
  rig.UseFrame();
  FakeFrame& frame = rig.frame;
  rig.Say("Hana", "first");
  rig.Say("", "second");
  ASSERT_EQ(rig.Save().TakeSnapshot(), 0);
  ASSERT_EQ(rig.Save().WriteSaveData(4, 2), 0);
  const std::vector<uint8_t> snapshot = SnapshotOf(rig);

  rig.SetWord(0, 99);
  rig.SetWord(1, 98, 1);
  rig.SetWord(2, 97);
  rig.Text().Reset();
  rig.Save().DropSnapshot();
  frame.state = {'x', 'y', 'z'};
  ASSERT_EQ(rig.Save().LoadSaveData(4, 2), 0);
  EXPECT_EQ(std::tuple(rig.Word(0), rig.Word(1, 1), rig.Word(2)), std::tuple(11u, 22u, 97u))
      << "class 2 is not in the save";
  EXPECT_EQ(rig.Text().HistoryCount(), 2);
  EXPECT_EQ(frame.state, (std::vector<uint8_t>{'F', '0', '1'}));
  EXPECT_EQ(SnapshotOf(rig), snapshot);
  // The snapshot holds no history, so it never nests another.
  std::vector<uint8_t> vars;
  ASSERT_EQ(rig.host->WriteVariableSet(&vars, 0, false), 0);
  ASSERT_GT(snapshot.size(), vars.size());
  EXPECT_EQ(snapshot[vars.size()], 0) << "history flag of the snapshot";

  // A save made without a frame leaves the running frame alone.
  rig.app.frame = nullptr;
  ASSERT_EQ(rig.Save().WriteSaveData(4, 3), 0);
  rig.app.frame = &frame;
  frame.state = {'k', 'e', 'p'};
  ASSERT_EQ(rig.Save().LoadSaveData(4, 3), 0);
  EXPECT_EQ(frame.state, (std::vector<uint8_t>{'k', 'e', 'p'}));

  // Without kept history a save restores none, and no snapshot either.
  rig.app.settings.settings.keepHistoryInSaves = 0;
  ASSERT_EQ(rig.Save().WriteSaveData(4, 4), 0);
  rig.app.settings.settings.keepHistoryInSaves = 1;
  ASSERT_EQ(rig.Save().LoadSaveData(4, 4), 0);
  EXPECT_EQ(rig.Text().HistoryCount(), 0);
  EXPECT_FALSE(rig.Save().HasSnapshot());
}

// A save file of the rig's layout: variables 11, 21, 22 changed to 1, 2, 3, a history of one
// entry, a kept snapshot and a frame part.
sav::StateParts Parts(SaveRig& rig) {
  sav::StateParts parts;
  const uint32_t s1 = rig.Word(0), s2a = rig.Word(1), s2b = rig.Word(1, 1);
  rig.SetWord(0, 1), rig.SetWord(1, 2), rig.SetWord(1, 3, 1);
  EXPECT_EQ(rig.host->WriteVariableSet(&parts.variables, 0, false), 0);
  rig.SetWord(0, s1), rig.SetWord(1, s2a), rig.SetWord(1, s2b, 1);
  MessageTextEngine other;
  EXPECT_TRUE(other.SetHistoryCapacity(4));
  other.SetHistoryEnabled(true);
  EXPECT_EQ(other.SetMessage(std::vector<uint8_t>{0, 1, 0, 'o', 'l', 'd', 0}), 0);
  other.SaveHistory(parts.history);
  parts.historyFlag = 1;
  parts.snapshot = {0, 1, 2};
  parts.frame = std::vector<uint8_t>{'N', 'E', 'W'};
  return parts;
}

TEST(SaveLoad, EachFaultAnswersItsCodeAndLeavesTheGameAsItWas) {
  struct Case {
    const char* what;
    sav::Faults faults;
    sav::StateFaults stateFaults;
    bool frameFails;
    int want;
  };
  const Case cases[] = {
      {"whole", {}, {}, false, 0},
      {"magic", {.magic = true}, {}, false, kLoadBadFile},
      {"reserved word", {.reservedWord = true}, {}, false, kLoadReservedWord},
      {"check byte", {.checkByte = true}, {}, false, kLoadBadFile},
      {"stored size past the end", {.storedPastEnd = true}, {}, false, kLoadBadFile},
      {"unpacked size too large", {.unpackedTooLarge = true}, {}, false, kLoadBadFile},
      {"short packed data", {.shortLzss = true}, {}, false, kLoadBadFile},
      {"truncated header", {.truncateTo = kTitleOffset + 3}, {}, false, kLoadBadFile},
      {"truncated", {.truncateTo = kSaveHeaderBytes + 4}, {}, false, kLoadBadFile},
      {"snapshot past the blob", {}, {.snapshotPastBlob = true}, false, kLoadBadFile},
      {"frame state refused", {}, {}, true, kLoadRestoreFailed},
  };
  for (const Case& c : cases) {
    SaveRig rig;
    FakeFrame& frame = rig.frame;
    rig.app.frame = &frame;
    rig.Say("", "live");
    ASSERT_EQ(rig.Save().TakeSnapshot(), 0);
    const std::vector<uint8_t> snapshot = SnapshotOf(rig);
    sav::SaveDescription d;
    d.state = sav::JoinState(Parts(rig), c.stateFaults);
    rig.dir.WriteFile("DATA0501.SAV", sav::MakeSaveFile(d, c.faults));
    frame.failRead = c.frameFails;
    EXPECT_EQ(rig.Save().LoadSaveData(5, 1), c.want) << c.what;
    if (c.want == 0) {
      EXPECT_EQ(rig.Word(0), 1u) << c.what;
      EXPECT_EQ(frame.state, (std::vector<uint8_t>{'N', 'E', 'W'})) << c.what;
      continue;
    }
    EXPECT_EQ(std::pair(rig.Word(0), rig.Word(1, 1)), std::pair(11u, 22u)) << c.what;
    ASSERT_EQ(rig.Text().HistoryCount(), 1) << c.what;
    EXPECT_EQ(*rig.Text().HistoryEntry(0)->body, std::string("live\0", 5)) << c.what;
    EXPECT_EQ(frame.state, (std::vector<uint8_t>{'F', '0', '1'})) << c.what;
    EXPECT_EQ(SnapshotOf(rig), snapshot) << c.what;
  }
  SaveRig rig;
  EXPECT_EQ(rig.Save().LoadSaveData(2, 2), kLoadNoFile);
}

// The title cut to its field is the save natives' to check.
TEST(SaveHeaderFields, CommentThumbnailAndCaptionRoundTripAndAddressesOutsideSaveAsNone) {
  SaveRig rig;
  const uint32_t title = rig.GuestText(std::string(60, 'T'));
  uint32_t wordAddress = rig.host->GetMemory().Allocate(4);
  rig.host->GetMemory().Write32(wordAddress, 1);
  rig.Save().SetSaveContext(3, title, wordAddress);
  rig.Say("Hana", std::string(300, 'c'));
  rig.app.settings.settings.thumbnailWithoutFrame = 0;
  ASSERT_EQ(rig.Save().WriteSaveData(2, 5), 0);

  std::string comment;
  ASSERT_EQ(rig.Save().ReadSaveSlotInfo(2, 5, nullptr, nullptr, &comment, nullptr, nullptr, false),
            0);
  const std::string head = "\x81\x79Hana\x81\x7A\r\n";
  EXPECT_EQ(comment, head + std::string(248 - head.size(), 'c'));
  EXPECT_EQ(rig.ThumbnailPixel(2, 5, 60, 45), 0x336699) << "the thumbnail source's layer";

  // The caption's null buffer and its title are the save natives' to check.
  std::string caption;
  EXPECT_EQ(rig.Save().GetSaveSlotCaption(&caption, 2, 6, 1), kSlotNoFile);
  ImageSurface grey;
  ASSERT_EQ(grey.Create(120, 90, 8, 0), 0);
  EXPECT_EQ(rig.Save().ReadSaveSlotInfo(2, 5, &grey, nullptr, nullptr, nullptr, nullptr, false),
            kSlotNoPixels);

  // The save runs between script steps, where a fault flag would be lost: a title or comment
  // word the script placed outside its memory saves as none, and no fault is left raised.
  GuestMemory& memory = rig.host->GetMemory();
  const uint32_t outside = memory.Top() + 64;
  rig.Save().SetSaveContext(3, outside, outside);
  ASSERT_EQ(rig.Save().WriteSaveData(2, 5), 0);
  std::string titleText = "x";
  ASSERT_EQ(
      rig.Save().ReadSaveSlotInfo(2, 5, nullptr, &titleText, &comment, nullptr, nullptr, false), 0);
  EXPECT_EQ(std::tuple(titleText, comment), std::tuple("", ""));
  EXPECT_FALSE(memory.Faulted());
}

// A prepared "SYS\_" picture is the thumbnail: copied when it is 120 x 90, stretched otherwise.
TEST(SaveHeaderFields, PreparedPicturesAreCopiedOrStretched) {
  test::GameFolder game;
  ScopedPixelLibrary library{&BuiltInPixelLibrary()};
  ImageLoaderManager images;
  RegisterBuiltinLoaders(images);
  ScopedGlobal<ImageLoaderManager> published{&images};
  SaveRig rig;
  rig.UseFrame();
  for (int32_t width : {120, 60}) {
    tools::BmpFields bmp;
    bmp.width = width;
    bmp.height = width * 3 / 4;
    for (int32_t i = 0; i < bmp.width * bmp.height; ++i)
      bmp.data.insert(bmp.data.end(), {10, 20, 30});
    const std::string name = "PIC" + std::to_string(width) + ".BMP";
    game.dir().WriteFile("SYS/_" + name, tools::BuildBmp(bmp));
    rig.frame.picture = "CG\\" + name;
    ASSERT_EQ(rig.Save().WriteSaveData(2, 0), 0) << width;
    for (int32_t y : {0, 89})
      EXPECT_EQ(rig.ThumbnailPixel(2, 0, 119, y), 0x1E140A) << width << " row " << y;
  }
  // Without a prepared picture the frame is drawn, and nothing is said about a missing one.
  rig.frame.picture = "CG\\NONE.BMP";
  testing::internal::CaptureStderr();
  EXPECT_EQ(rig.Save().WriteSaveData(2, 0), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

// The comment edit and the delete themselves are checked with the file layout and the load dialog;
// here, their refusals.
TEST(SaveSlots, CommentCopyAndDeleteAndNoCommentWithoutTheMessageSettingOrSaveWithoutALayer) {
  SaveRig rig;
  ASSERT_EQ(rig.Save().WriteSaveData(2, 0), 0);
  EXPECT_EQ(rig.Save().SetSaveSlotComment(2, 9, "x"), kSlotNoFile);
  rig.dir.WriteFile("DATA0208.SAV", std::string("DJN2\0\0\0\0short", 13));
  EXPECT_EQ(rig.Save().SetSaveSlotComment(2, 8, "x"), kCommentBadFile);

  EXPECT_EQ(rig.Save().CopySaveSlot(2, 0, 3, 4), 0);
  EXPECT_EQ(test::ReadFile(rig.File(3, 4)), test::ReadFile(rig.File(2, 0)));
  EXPECT_EQ(rig.Save().CopySaveSlot(2, 7, 3, 4), kCopyNoSource);
  EXPECT_EQ(rig.Save().DeleteSaveSlot(3, 5), kDeleteNoFile);

  // With the frame: no comment without the message setting, and no save without a layer.
  rig.UseFrame();
  std::string comment;
  EXPECT_EQ(rig.Save().GetMessageComment(comment), kCommentUnavailable);
  // The frame's own title and comment reaching the file are the save natives' to check.
  rig.app.settings.settings.commentFromMessage = 0;
  ASSERT_EQ(rig.Save().WriteSaveData(2, 1), 0);
  comment = "x";
  ASSERT_EQ(rig.Save().ReadSaveSlotInfo(2, 1, nullptr, nullptr, &comment, nullptr, nullptr, false),
            0);
  EXPECT_EQ(comment, "");
  rig.frame.layer = nullptr;
  EXPECT_EQ(rig.Save().WriteSaveData(2, 1), kWriteNoLayer);
}

// The file's fields at their absolute offsets, from bytes laid out here by hand: the engine
// reads them where they stand, writes its own there, and edits the comment in place.
TEST(SaveFileLayout, FieldsSitAtTheirOffsetsForTheReaderTheWriterAndTheEdit) {
  SaveRig rig;
  std::string file(32715 + 5, '\0');
  file.replace(0, 4, "DJN2");
  for (int y = 0; y < 90; ++y) {
    for (int x = 0; x < 120; ++x) {
      const size_t at = 8 + size_t(y) * 360 + size_t(x) * 3;
      file[at] = char(x), file[at + 1] = char(y), file[at + 2] = 0x5A;  // blue, green, red
    }
  }
  file.replace(32408, 4, "HAND");
  file.replace(32452, 9, "NOTE\r\nTWO");
  file[32705] = 1;
  file[32706] = 5;  // the stored size, then an unpacked size of 0
  file.replace(32715, 5, "ABCDE");
  file[32714] = char('A' + 'B' + 'C' + 'D' + 'E');
  rig.dir.WriteFile("DATA0203.SAV", file);

  ImageSurface thumbnail;
  ASSERT_EQ(thumbnail.Create(120, 90, 32, 0), 0);
  std::string title, comment;
  uint8_t protect = 0;
  ASSERT_EQ(
      rig.Save().ReadSaveSlotInfo(2, 3, &thumbnail, &title, &comment, &protect, nullptr, false), 0);
  EXPECT_EQ(std::tuple(title, comment, protect), std::tuple("HAND", "NOTE\r\nTWO", 1));
  const uint8_t* pixel = thumbnail.GetRowPointer(89) + 119 * 4;
  EXPECT_EQ(std::tuple(pixel[0], pixel[1], pixel[2]), std::tuple(119, 89, 0x5A));
  SaveFileContents contents;
  const std::vector<uint8_t> bytes(file.begin(), file.end());
  ASSERT_EQ(ReadSaveFile(bytes, contents), 0);
  EXPECT_EQ(std::string(contents.stored.begin(), contents.stored.end()), "ABCDE");

  ASSERT_EQ(rig.Save().SetSaveSlotComment(2, 3, "EDIT"), 0);
  const std::string edited = test::ReadFile(rig.File(2, 3));
  EXPECT_EQ(edited.substr(32452, 5), std::string("EDIT\0", 5));
  EXPECT_EQ(edited.substr(32705), file.substr(32705)) << "the rest as it was";

  const uint32_t titleText = rig.GuestText("WRITTEN");
  rig.Save().SetSaveContext(1, titleText, 0);
  ASSERT_EQ(rig.Save().WriteSaveData(2, 4), 0);
  const std::string written = test::ReadFile(rig.File(2, 4));
  EXPECT_EQ(written.substr(0, 8), std::string("DJN2\0\0\0\0", 8));
  EXPECT_EQ(written.substr(32408, 8), std::string("WRITTEN\0", 8));
  EXPECT_EQ(written[32705], 0) << "not protected";
  const uint32_t stored = uint8_t(written[32706]) | uint8_t(written[32707]) << 8 |
                          uint8_t(written[32708]) << 16 | uint32_t(uint8_t(written[32709])) << 24;
  ASSERT_EQ(written.size(), 32715 + stored);
  uint8_t sum = 0;
  for (size_t i = 32715; i < written.size(); ++i) sum = uint8_t(sum + uint8_t(written[i]));
  EXPECT_EQ(uint8_t(written[32714]), sum) << "the check byte over the stored state";
}

// A scene layer running a two-layer transition gives the thumbnail of its linked layer; any
// other filter keeps the layer's own composition, with the list above it (the frame) unless the
// player leaves the frame out.
TEST(SaveThumbnail, ATwoLayerTransitionShowsTheLinkedLayerAndTheFrameIsKeptUnlessLeftOut) {
  ScopedPixelLibrary library{&BuiltInPixelLibrary()};
  BuildBlendTables();  // the frame's colour is blended over the scene
  SaveRig rig;
  CanvasLayer shown, linked;
  ASSERT_EQ(shown.Create(240, 180, 32, kLayerComposed), kLayerDone);
  ASSERT_EQ(linked.Create(240, 180, 32, kLayerComposed), kLayerDone);
  shown.GetCompositionLayer()->SetBackgroundColor(0x336699, true);
  linked.GetCompositionLayer()->SetBackgroundColor(0x99CC00, true);
  ASSERT_EQ(shown.SetLinkedLayer(&linked), kLayerDone);
  rig.frame.layer = shown.GetCompositionLayer();
  rig.frame.holder = &shown;
  rig.app.frame = &rig.frame;
  auto saved = [&](int kind) -> int64_t {
    if (kind >= 0) {
      (void)shown.AttachSource(new testing_layers::FakeFilter(uint8_t(kind)), kAttachPlain, false,
                               false);
    }
    if (int r = rig.Save().WriteSaveData(2, 0)) return -r;
    return rig.ThumbnailPixel(2, 0, 60, 45);
  };
  EXPECT_EQ(saved(-1), 0x336699) << "no filter";
  EXPECT_EQ(saved(1), 0x99CC00);
  EXPECT_EQ(saved(2), 0x336699) << "a one-layer filter";
  EXPECT_EQ(saved(0), 0x99CC00);
  ASSERT_EQ(shown.SetLinkedLayer(nullptr), kLayerDone);
  EXPECT_EQ(saved(-1), -kWriteNoLayer) << "no linked layer to show";
  ASSERT_EQ(shown.SetLinkedLayer(&linked), kLayerDone);

  DisplayObjectList frameList;
  ColorRectObject frame;
  ASSERT_EQ(frame.Create(240, 180, 0xFFCC3300, 0, 0), 0);
  ASSERT_EQ(frameList.Add(&frame, 1, 0), 0);
  shown.GetCompositionLayer()->SetSecondList(&frameList);
  for (uint8_t withoutFrame : {1, 0}) {
    rig.app.settings.settings.thumbnailWithoutFrame = withoutFrame;
    EXPECT_EQ(saved(2), withoutFrame ? 0x336699 : 0xCC3300) << int(withoutFrame);
  }
  shown.DetachSource(false);
  shown.GetCompositionLayer()->SetSecondList(nullptr);
  ASSERT_EQ(shown.SetLinkedLayer(nullptr), kLayerDone);
}

const std::string kA = "\x82\xA0";  // a double-byte character

std::string Title(std::string_view text) {
  uint8_t field[kTitleFieldBytes];
  PutTitle(field, text);
  return FieldText(field);
}

std::string Comment(std::string_view text) {
  uint8_t field[kCommentFieldBytes] = {};
  PutComment(field, text);
  return FieldText(field);
}

TEST(SaveFileText, TitleAndCommentCopiesStopAtWholeCharacters) {
  struct Case {
    const char* what;
    std::string got, want;
  };
  const Case cases[] = {
      {"a title cut before a split character", Title(std::string(39, 't') + kA),
       std::string(39, 't')},
      {"the character that would spend the budget", Comment(std::string(247, 'c') + kA),
       std::string(247, 'c')},
      {"a double-byte character that fits", Comment(std::string(246, 'c') + kA),
       std::string(246, 'c') + kA},
      {"a lone lead byte before the NUL ends the copy", Comment(std::string("ab\x82\0zz", 6)),
       "ab"},
      {"a lone lead byte at a title's end", Title("ab\x82"), "ab"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.want) << c.what;
}

TEST(SaveFileText, FieldsFoldsDatesCaptionsAndLimitsEndAtACharacter) {
  std::vector<uint8_t> field(kTitleFieldBytes, 'x');
  EXPECT_EQ(FieldText(field), std::string(44, 'x'));
  field.back() = 0x82;  // a lead byte with its trail outside the field
  EXPECT_EQ(FieldText(field), std::string(43, 'x'));
  field[1] = 0;
  EXPECT_EQ(FieldText(field), "x");

  // The fold lays the comment out in four lines of 82 bytes (the save natives fold one of 200).
  EXPECT_EQ(FoldComment("1\n2\n3\n4\n5\n6"), "1\n2\n3\n4");
  // A double-byte character that would straddle the 82nd byte moves down whole.
  EXPECT_EQ(FoldComment(std::string(81, 'x') + kA + "y"), std::string(81, 'x') + "\n" + kA + "y");
  EXPECT_EQ(FoldComment(std::string(82 * 5, 'x')).size(), 82u * 4 + 3);

  const std::string date = FormatSaveDate({2026, 12, 7, 1, 9, 5});
  EXPECT_EQ(date, "2026/12/07(\x8C\x8E) 09:05");
  EXPECT_EQ(FormatSaveCaption("T", "D", 1),
            "\x81\x77T\x81\x78\n\x81\x79\x8B\x4C\x98\x5E\x93\xFA\x8E\x9E D\x81\x7A");
  EXPECT_NE(FormatSaveCaption("T", "D", 7).find("\x81\x78\r\n\x81\x79"), std::string::npos);
  EXPECT_EQ(FitField(std::string(10, 'a') + kA, 12), std::string(10, 'a'));
}

}  // namespace
}  // namespace bw
