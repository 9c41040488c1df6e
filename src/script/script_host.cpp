#include "script/script_host.h"

#include <cstdio>
#include <new>

#include "common/global.h"
#include "host/cp932.h"
#include "script/native_names.h"
#include "sound/sound_channel_manager.h"

namespace bw {

namespace {

// Slots the registration order keeps, since compiled scripts name natives by position, but whose
// one shared function does nothing and answers 0.
constexpr uint32_t kNoOperationNatives[] = {
    37,   // closes the script-variable and state-file group with no operation of its own
    55,   // sits between the save natives and belongs to none of them
    56,   // likewise
    795,  // opens the message-box, shell and desktop group with no operation of its own
    800,  // a gap in that group
    801,  // likewise
};

int32_t NoOperation(GuestMemory&, uint32_t) {
  return 0;
}

}  // namespace

ScriptHost::ScriptHost(ScriptFileSource* files, uint32_t seed, uint32_t arenaBytes,
                       std::span<const NativeFamily> families)
    : ScriptEngine(files, arenaBytes), built_(kNativeCount, false), reported_(kNativeCount, false) {
  RegisterNatives(families);
  random_.Seed(static_cast<int32_t>(seed));
  Global<ScriptHost>::Set(this);
}

void ScriptHost::SetSoundChannels(std::unique_ptr<SoundChannelManager> channels) {
  soundChannels_ = std::move(channels);
  if (soundChannels_) soundChannels_->SetVoiceTable(&GetVoices());
}

ScriptHost::~ScriptHost() {
  extensions_.clear();
  if (Global<ScriptHost>::Get() == this) Global<ScriptHost>::Clear();
}

int ScriptHost::SavePersistentData() {
  for (auto& [key, extension] : extensions_) extension->SavePersistentData();
  return SavePersistentState();
}

void ScriptHost::OnUnloadScript() {
  if (messageText_) messageText_->StorePendingChoices();
}

void ScriptHost::OnUnloadAll() {
  if (messageText_) messageText_->StorePendingChoices();
}

void ScriptHost::Register(uint32_t number, NativeFunction function) {
  built_[number] = function != nullptr;
  if (!function) function = [this, number](GuestMemory&, uint32_t) { return NotBuilt(number); };
  RegisterNative(std::move(function));
}

void ScriptHost::RegisterNatives(std::span<const NativeFamily> families) {
  // The engine registered the three requests.
  for (uint32_t n = 0; n < 3; ++n) built_[n] = true;
  std::vector<NativeRoutine> placed(kNativeCount, nullptr);
  for (const NativeFamily& family : families) {
    for (const NativeEntry& e : family.entries) {
      if (e.number < 3 || e.number >= kNativeCount || placed[e.number] || !e.routine) {
        ++rejected_;
      } else {
        placed[e.number] = e.routine;
      }
    }
  }
  for (uint32_t n = 3; n < kNativeCount; ++n) {
    NativeFunction f;
    if (NativeRoutine routine = placed[n]) {
      f = [this, routine](GuestMemory& m, uint32_t args) {
        NativeArgs a(*this, m, args);
        return routine(a);
      };
    }
    for (uint32_t noop : kNoOperationNatives) {
      if (n == noop) f = NoOperation;
    }
    if (n == Native::kSetAppOption) {
      f = [this](GuestMemory& m, uint32_t args) {
        uint32_t words[2] = {};  // index, value
        if (app_ && m.Read(args, words, sizeof words)) app_->SetAppOption(words[0], words[1]);
        return 0;
      };
    } else if (n == Native::kGetAppOption) {
      f = [this](GuestMemory& m, uint32_t args) {
        uint32_t index = 0;
        return app_ && m.Read32(args, index) ? static_cast<int32_t>(app_->GetAppOption(index)) : 0;
      };
    } else if (n == Native::kRandom) {
      f = [this](GuestMemory& m, uint32_t args) {
        uint32_t range = 0;
        return m.Read32(args, range) ? random_.Draw(range) : 0;
      };
    } else if (n == Native::kSeedRandom) {
      f = [this](GuestMemory& m, uint32_t args) {
        uint32_t seed = 0;
        if (m.Read32(args, seed)) random_.Seed(static_cast<int32_t>(seed));
        return 0;
      };
    }
    Register(n, std::move(f));
  }
}

int32_t ScriptHost::NotBuilt(uint32_t number) {
  if (!reported_[number]) {
    reported_[number] = true;
    std::fprintf(stderr, "native %u not built\n", number);
  }
  return kNativeNotBuilt;
}

uint32_t ScriptHost::BuiltNativeCount() const {
  uint32_t count = 0;
  for (bool b : built_) count += b;
  return count;
}

int ScriptHost::ServeInterrupt(uint8_t requestByte) {
  int32_t flag =
      requestByte == 1 ? static_cast<int32_t>(0u - static_cast<uint32_t>(bootValue_)) : bootValue_;
  return Interrupt(static_cast<uint32_t>(flag));
}

std::string InterruptFailureMessage() {
  return host::Cp932Literal("スクリプト割り込みに失敗しました");
}

int StartScriptHost(ScriptApplication& app, std::unique_ptr<ScriptHost>& host) {
  host.reset();
  try {
    host = std::make_unique<ScriptHost>(app.ScriptFiles(), app.Clock(), GuestMemory::kDefaultArena,
                                        app.NativeFamilies());
  } catch (const std::bad_alloc&) {
    host.reset();
  }
  // Without its arena the host has no stack.
  if (!host || host->Interpreter().StackBottom() == 0) {
    host.reset();
    app.ShowMessage(host::Cp932Literal("スクリプトを実行するためのメモリを確保出来ません"));
    return kStartNoMemory;
  }
  host->SetApplication(&app);
  host->SetMessageText(app.CreateMessageText(*host));
  host->SetFolderPrefix(app.SaveFolder());
  // Where code cannot be translated the interpreter runs it.
  if (app.TranslationOption()) (void)host->Interpreter().EnableJit(true);
  int r = host->Start();
  switch (r) {
    case 0:
      break;
    case kStartInitFailed:
      app.ShowMessage(host::Cp932Literal("スクリプト初期化ファイルのロードに失敗"));
      break;
    case kStartInitFailed + kLoadNotFound:
      app.ShowMessage(host::Cp932Literal("メインスクリプトを開けません"));
      break;
    case kStartInitFailed + kLoadBadScript:
      app.ShowMessage(host::Cp932Literal("メインスクリプトが不正です"));
      break;
    default:
      app.ShowMessage(host::Cp932Literal("デバッグモード用のスクリプトです"));
      break;
  }
  return r;
}

bool ScriptHost::ApplyTextSettings(const TextSettingsRequest& request) {
  uint8_t* flag = app_ ? app_->TextSettingsChangedFlag() : nullptr;
  const bool changed = flag != nullptr && *flag != 0;
  if (request.changedOnly && !changed) return changed;
  if (textTarget_) textTarget_->ApplyTextSettings(request);
  if (request.clearFlag && flag) *flag = 0;
  return changed;
}

}  // namespace bw
