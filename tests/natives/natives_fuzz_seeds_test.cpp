#include <gtest/gtest.h>

#include <initializer_list>

#include "support/fuzz_seeds.h"

namespace bw {
namespace {

// One call of the natives fuzz target: family, entry, then six palette picks (see the target).
std::vector<uint8_t> Calls(std::initializer_list<std::initializer_list<uint8_t>> calls) {
  std::vector<uint8_t> bytes;
  for (auto call : calls) bytes.insert(bytes.end(), call.begin(), call.end());
  return bytes;
}

TEST(NativesFuzzSeeds, MatchTheCommittedCorpus) {
  test::FuzzSeeds seeds;
  // Strings into the buffer from the text, then a format with a %s of the text.
  seeds["strings"] = Calls({{0, 0, 7, 8, 0, 0, 0, 0}, {0, 8, 7, 8, 8, 1, 4, 5}});
  // Blocks, fills and copies with sizes at the palette's edges.
  seeds["memory"] =
      Calls({{0, 13, 4, 0, 0, 0, 0, 0}, {0, 16, 9, 5, 6, 0, 0, 0}, {0, 18, 7, 9, 3, 0, 0, 0}});
  // Past-the-end addresses and handles where texts belong.
  seeds["bad_words"] = Calls({{0, 3, 10, 11, 12, 13, 10, 10}, {0, 21, 5, 6, 4, 4, 10, 7}});
  // The application natives: clipboard, input text, stopwatches, a box, a command, a voice
  // query, then the wall clock into outs of which the last lies past the arena.
  seeds["application"] = Calls({{0, 66, 8, 0, 0, 0, 0, 0},
                                {0, 67, 7, 0, 0, 0, 0, 0},
                                {0, 73, 2, 0, 0, 0, 0, 0},
                                {0, 75, 1, 4, 0, 0, 0, 0},
                                {0, 126, 8, 8, 2, 0, 0, 0},
                                {0, 62, 2, 1, 0, 0, 0, 0},
                                {0, 50, 1, 3, 0, 0, 0, 0},
                                {0, 72, 7, 9, 0, 9, 10, 0}});
  // Render natives on a live image, a destroyed one and a render item.
  seeds["render"] = Calls({{1, 65, 14, 15, 16, 4, 1, 0},
                           {1, 90, 16, 14, 5, 4, 10, 7},
                           {1, 20, 15, 14, 11, 16, 0, 0},
                           {1, 76, 16, 9, 9, 9, 9, 0}});
  // Display objects: place a sprite, draw a rectangle into the image, a path on a gone sprite.
  seeds["display_objects"] =
      Calls({{2, 0, 14, 2, 3, 0, 0, 0}, {2, 6, 16, 15, 0, 0, 0, 0}, {2, 7, 17, 3, 8, 0, 0, 4}});
  // Sound buffers: made from the text, played, duplicated, faded and measured with the live,
  // deleted and channel-owned handles.
  seeds["sound_buffers"] = Calls({{3, 7, 8, 0, 0, 0, 0, 0},
                                  {3, 12, 11, 0, 0, 0, 0, 0},
                                  {3, 8, 13, 0, 0, 0, 0, 0},
                                  {3, 17, 12, 3, 1, 0, 0, 0},
                                  {3, 34, 11, 3, 2, 0, 0, 0},
                                  {3, 11, 7, 0, 0, 0, 0, 0}});
  // Channels and music: a huge count, a load and a looped play, a voice with a huge id count, a
  // duck and a cross-fade with the 65535 switches.
  seeds["sound_channels"] = Calls({{4, 16, 6, 0, 0, 0, 0, 0},
                                   {4, 20, 1, 8, 0, 0, 0, 0},
                                   {4, 23, 1, 1, 0, 0, 0, 0},
                                   {4, 31, 0, 8, 6, 0, 0, 0},
                                   {4, 32, 1, 0, 0, 0, 0, 0},
                                   {4, 12, 3, 8, 4, 8, 4, 4}});
  // Images: inverted and huge rectangles, a stretch to a huge size, a rule transfer with an
  // 8-bit rule, a fill of an image without pixels, a turn, a sprite added to a canvas at
  // priority -1 and an empty variable destroyed.
  seeds["images"] = Calls({{6, 16, 11, 14, 5, 5, 3, 6},
                           {6, 17, 14, 11, 0, 0, 6, 6},
                           {6, 52, 11, 11, 12, 3, 3, 4},
                           {6, 6, 13, 6, 4, 0, 0, 0},
                           {6, 59, 11, 14, 4, 6, 6, 3},
                           {6, 85, 11, 4, 0, 0, 0, 0},
                           {6, 92, 15, 16, 5, 0, 1, 0},
                           {6, 91, 9, 0, 0, 0, 0, 0}});
  // Save data: an automatic save, its caption into the buffer and past the arena, the slot's
  // information, a load, a snapshot taken and restored, a size pulse on the sprite, and 58's
  // sub-commands.
  seeds["save_data"] = Calls({{8, 4, 0, 5, 0, 0, 0, 0},
                              {8, 6, 7, 0, 0, 1, 0, 0},
                              {8, 6, 10, 0, 0, 1, 0, 0},
                              {8, 7, 0, 0, 0, 7, 7, 1},
                              {8, 5, 0, 5, 0, 0, 0, 0},
                              {8, 11, 0, 0, 0, 0, 0, 0},
                              {8, 12, 0, 0, 0, 0, 0, 0},
                              {8, 15, 17, 0, 3, 8, 0, 0},
                              {8, 17, 2, 7, 0, 0, 0, 0}});
  // GUI parts: an id and neighbours (one deleted) on the registered box, a box with switched-off
  // and huge words, the box focused then hidden, a tooltip on the hit area, pointer steps and
  // the pending event, a deletion through a buffer word, every other group deleted, then the
  // box's gone handle moved and made the current list.
  seeds["gui_parts"] = Calls({{10, 34, 23, 2, 0, 0, 0, 0},
                              {10, 36, 23, 25, 24, 0, 0, 0},
                              {10, 5, 4, 5, 6, 6, 4, 5},
                              {10, 19, 23, 0, 0, 0, 0, 0},
                              {10, 40, 23, 0, 0, 0, 0, 0},
                              {10, 35, 24, 8, 0, 0, 0, 0},
                              {10, 17, 0, 0, 0, 0, 0, 0},
                              {10, 18, 0, 0, 0, 0, 0, 0},
                              {10, 26, 7, 0, 0, 0, 0, 0},
                              {10, 25, 0, 1, 0, 0, 0, 0},
                              {10, 42, 23, 3, 3, 0, 0, 0},
                              {10, 89, 23, 0, 0, 0, 0, 0}});
  // Message text: a message from the text with history on, the output on the picture with the
  // sprite as owner, everything drawn, a draw with the GDI renderer and one with the destroyed
  // renderer, choices from the buffer, their texts copied past the arena, the plain text into
  // the buffer and a history move that refreshes the choice list.
  seeds["message_text"] = Calls({{11, 1, 1, 0, 0, 0, 0, 0},
                                 {11, 2, 8, 0, 0, 0, 0, 0},
                                 {11, 4, 11, 14, 1, 1, 12, 1},
                                 {11, 8, 0, 0, 0, 0, 0, 0},
                                 {11, 6, 1, 1, 0, 11, 0, 13},
                                 {11, 6, 1, 1, 0, 11, 0, 16},
                                 {11, 31, 7, 0, 0, 0, 0, 0},
                                 {11, 39, 0, 10, 6, 0, 0, 0},
                                 {11, 16, 7, 0, 0, 0, 0, 0},
                                 {11, 19, 0, 0, 0, 0, 0, 0}});
  test::CheckOrWriteFuzzSeeds("natives", seeds);
}

}  // namespace
}  // namespace bw
