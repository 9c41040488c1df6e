// What the sound natives ask of the game application.
#include <utility>

#include "app/application/game_app.h"
#include "app/dialogs/menu_requests.h"

namespace bw {

int32_t GameApp::StartSoundDevice(bool useGiven, uint8_t channels, uint32_t rateCode,
                                  uint16_t bitsPerSample) {
  // The window thread sees this record only; the script's words stay with the native.
  SoundFormatRequest request;
  request.useGiven = useGiven;
  request.channels = channels;
  request.rateCode = rateCode;
  request.bitsPerSample = bitsPerSample;
  // Unserved, the answer stays kRequestNotServed, which the native reports as a failure.
  (void)RequestSoundFormat(request);
  return request.answer;
}

// A game without sound goes on silent: the player is told once a run, without a box to answer
// (whose "don't show again" box is left unticked).
void GameApp::TellNoSound(const std::string& cp932Text) {
  if (std::exchange(noSoundTold_, true)) return;
  Note(cp932Text);
}

bool GameApp::ShowSoundWarning(const std::string& cp932Text, uint8_t* checkState) {
  if (!MainWindow().IsWindow()) return false;
  if (checkState != nullptr) *checkState = 0;
  TellNoSound(cp932Text);
  return true;
}

}  // namespace bw
