// What the sound natives ask of the game application.
#include "app/application/game_app.h"
#include "app/dialogs/menu_requests.h"
#include "app/dialogs/message_dialog.h"

namespace bw {

int32_t GameApp::StartSoundDevice(bool useGiven, uint8_t channels, uint32_t rateCode,
                                  uint16_t bitsPerSample) {
  // The window thread sees this record only; the script's words stay with the native.
  SoundFormatRequest request;
  request.useGiven = useGiven;
  request.channels = channels;
  request.rateCode = rateCode;
  request.bitsPerSample = bitsPerSample;
  RequestSoundFormat(request);
  return request.answer;
}

bool GameApp::ShowSoundWarning(const std::string& cp932Text, uint8_t* checkState) {
  if (!MainWindow().IsWindow()) return false;
  ShowMessageDialog(cp932Text.c_str(), kMessageOkCheck, nullptr, checkState, 0);
  return true;
}

}  // namespace bw
