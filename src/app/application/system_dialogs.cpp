#include "app/application/system_dialogs.h"

#include <algorithm>
#include <cstring>

#include "app/dialogs/main_menu.h"
#include "app/dialogs/version_dialog.h"
#include "host/dialog/dialog_host.h"
#include "platform/app_paths.h"

namespace bw {

namespace {

// A text into a buffer of size bytes, cut to fit with its terminator.
void Put(char* buffer, size_t size, const std::string& text) {
  size_t n = std::min(text.size(), size - 1);
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
}

}  // namespace

DialogContext SystemDialogs::MakeContext() {
  DialogContext context;
  context.owner = app_.DialogOwner();
  context.appTitle = info_.appName;
  context.cursorToDefault = pointerToDefault_;
  context.isModal = [this] { return app_.InModalBracket(); };
  context.beginModal = [this] { app_.BeginModalBracket(); };
  context.endModal = [this] { app_.EndModalBracket(); };
  return context;
}

uint32_t SystemDialogs::ShowMessage(const char* text, uint8_t kind, const char* title,
                                    uint8_t* checkState, uint8_t layout) {
  if (text == nullptr || kind > kMessageYesNoCheck) return 0;
  if (app_.OffWindowThread()) return RequestMessage(kind, text, title, checkState, layout);
  if (host::CurrentDialogHost() == nullptr) {
    // Nothing draws the dialogs: the player still gets the message, as a message box.
    if (checkState != nullptr) *checkState = 0;
    if (kind == kMessageYesNo || kind == kMessageYesNoCheck) return app_.AskInBox(text) ? 1 : 0;
    app_.TellInBox(text);
    return 0;
  }
  return ShowMessageDialog(MakeContext(), text, kind, title, checkState, layout);
}

uint32_t SystemDialogs::ShowMessageRequest(MessageDialogRequest* request) {
  if (request == nullptr || request->text == nullptr) return 1;
  request->answer = static_cast<uint8_t>(ShowMessage(request->text, request->kind, request->title,
                                                     request->checkState, request->layout));
  return request->answer;
}

uint8_t SystemDialogs::RequestMessage(uint8_t kind, const char* text, const char* title,
                                      uint8_t* checkState, uint8_t layout) {
  MessageDialogRequest request;
  request.kind = kind;
  request.text = text;
  request.title = title;
  request.checkState = checkState;
  request.layout = layout;
  return RequestMessageDialog(app_.DialogOwner(), request);
}

void SystemDialogs::ShowVersion() {
  VersionDialogInputs inputs;
  inputs.major = info_.majorVersion;
  inputs.minor = info_.minorVersion;
  inputs.revision = info_.revision;
  inputs.gameTitle = info_.productTitle;
  inputs.detailed = versionDetailed_;
  inputs.buildReport = [this](bool longForm) { return app_.Report(longForm); };
  inputs.webAddress = info_.webAddress;
  inputs.confirmWebPage = user_.confirmWebPage != 0;
  inputs.fullScreen = app_.InFullScreen();
  ShowVersionDialog(MakeContext(), inputs);
  versionDetailed_ = inputs.detailed;
}

bool SystemDialogs::ShowDataInput(DataInputDialog& dialog) {
  return dialog.Show(MakeContext());
}

void SystemDialogs::Serve(int command, host::LPARAM record) {
  switch (command) {
    case kCmdDataInput:
      ServeDataInput(reinterpret_cast<DataInputRequest*>(record));
      return;
    case kCmdOpenFile:
    case kCmdSaveFile:
      ServeFile(reinterpret_cast<FileDialogRequest*>(record), command == kCmdSaveFile);
      return;
    case kCmdBrowseFolder:
      ServeFolder(reinterpret_cast<FolderDialogRequest*>(record));
      return;
    default:
      return;
  }
}

void SystemDialogs::ServeDataInput(DataInputRequest* request) {
  DataInputDialog& dialog =
      request != nullptr && request->dialog != nullptr ? *request->dialog : dataInput_;
  bool ok = ShowDataInput(dialog);
  if (request != nullptr) request->answer = ok ? 1 : 0;
}

void SystemDialogs::ServeFile(FileDialogRequest* request, bool save) {
  if (request == nullptr) return;
  const char* folder =
      request->initialFolder != nullptr ? request->initialFolder : GetAppFolder().c_str();
  host::HWND owner = app_.DialogOwner();
  app_.BeginModalBracket();
  bool chosen =
      save ? fileDialogs_.SaveFile(owner, request->title, request->path, request->fileTitle, folder,
                                   request->filter, request->defaultExtension)
           : fileDialogs_.OpenFile(owner, request->title, request->path, request->fileTitle, folder,
                                   request->filter, true);
  app_.EndModalBracket();
  if (!chosen) {
    request->answer = 0;
  } else {
    request->answer = save ? 1 + static_cast<int32_t>(fileDialogs_.GetFilterIndex()) : 1;
  }
}

void SystemDialogs::ServeFolder(FolderDialogRequest* request) {
  if (request == nullptr) return;
  request->answer = 0;
  if (request->path == nullptr) return;
  const char* folder =
      request->initialFolder != nullptr ? request->initialFolder : GetAppFolder().c_str();
  app_.BeginModalBracket();
  BrowseForFolder(app_.DialogOwner(), request->title, folder, request->path);
  app_.EndModalBracket();
  size_t length = strnlen(request->path, kDialogPathSize);
  if (length == 0) return;
  // A root keeps its one separator; a folder with no room left for one is refused whole.
  if (!EndsWithSeparator(std::string_view(request->path, length))) {
    if (length + 1 >= kDialogPathSize) {
      request->path[0] = '\0';
      return;
    }
    request->path[length] = '\\';
    request->path[length + 1] = '\0';
  }
  request->answer = 1;
}

bool SystemDialogs::RequestDataInput(DataInputRequest& request) {
  return app_.SendToWindow(kCmdDataInput, &request);
}

bool SystemDialogs::RequestFile(FileDialogRequest& request, bool save) {
  return app_.SendToWindow(save ? kCmdSaveFile : kCmdOpenFile, &request);
}

bool SystemDialogs::RequestFolder(FolderDialogRequest& request) {
  return app_.SendToWindow(kCmdBrowseFolder, &request);
}

void SystemDialogs::RequestFileDialog(ScriptApplication::FileDialogRecord& record) {
  char path[kDialogPathSize];
  char fileTitle[kDialogFileTitleSize];
  Put(path, sizeof(path), record.path);
  fileTitle[0] = '\0';
  FileDialogRequest request;
  request.title = record.title.c_str();
  request.path = path;
  request.fileTitle = fileTitle;
  request.initialFolder = record.initialFolder.c_str();
  request.filter = record.filter.c_str();
  request.defaultExtension = record.save ? record.defaultExtension.c_str() : nullptr;
  bool served = RequestFile(request, record.save);
  record.answer = served ? request.answer : 0;
  if (!served) return;
  record.path = path;
  record.fileTitle = fileTitle;
}

void SystemDialogs::RequestFolderDialog(ScriptApplication::FolderDialogRecord& record) {
  char path[kDialogPathSize] = {};
  FolderDialogRequest request;
  request.title = record.title.c_str();
  request.initialFolder = record.initialFolder.c_str();
  request.path = path;
  bool served = RequestFolder(request);
  record.answer = served ? request.answer : 0;
  record.path = served ? path : "";
}

}  // namespace bw
