// The application's own dialogs: the message dialogs, the version dialog, the data-input dialog
// and the file and folder choosers. The window thread shows them; another thread asks for them
// through the main window and waits for the answer.
#pragma once

#include <cstdint>
#include <string>

#include "app/config/app_info.h"
#include "app/config/user_config.h"
#include "app/dialogs/data_input_dialog.h"
#include "app/dialogs/dialog_context.h"
#include "app/dialogs/menu_requests.h"
#include "app/dialogs/message_dialog.h"
#include "host/messages.h"
#include "platform/file_dialogs.h"
#include "script/script_host.h"

namespace bw {

// What the dialogs ask of the running application.
class SystemDialogsHost {
 public:
  virtual ~SystemDialogsHost() = default;
  // The main window; null before it exists.
  virtual host::HWND DialogOwner() = 0;
  // The frame thread of the threaded mode asks the window thread instead of showing a dialog.
  [[nodiscard]] virtual bool OffWindowThread() = 0;
  // The modal bracket around every dialog and box, and whether one is open.
  virtual void BeginModalBracket() = 0;
  virtual void EndModalBracket() = 0;
  [[nodiscard]] virtual bool InModalBracket() = 0;
  // Message boxes for a message dialog nothing can draw.
  [[nodiscard]] virtual bool AskInBox(const std::string& textCp932) = 0;
  virtual void TellInBox(const std::string& textCp932) = 0;
  [[nodiscard]] virtual bool InFullScreen() = 0;
  // The version dialog's system report.
  virtual std::string Report(bool longForm) = 0;
  // Sends WM_COMMAND with the record to the main window and waits until it was served; false
  // without a main window.
  [[nodiscard]] virtual bool SendToWindow(int command, void* record) = 0;
};

class SystemDialogs {
 public:
  // info and user: the application's, read when a dialog opens.
  SystemDialogs(SystemDialogsHost& app, const AppInfo& info, const UserConfig& user)
      : app_(app), info_(info), user_(user) {}
  SystemDialogs(const SystemDialogs&) = delete;
  SystemDialogs& operator=(const SystemDialogs&) = delete;

  // Kinds 0 to 3 as the message dialogs 112 to 115; 1 for "はい". From the frame thread the
  // window thread shows it. Without a dialog host a message box asks instead (its check box reads
  // unticked).
  [[nodiscard]] uint32_t ShowMessage(const char* text, uint8_t kind, const char* title,
                                     uint8_t* checkState, uint8_t layout);
  [[nodiscard]] uint32_t ShowMessageRequest(MessageDialogRequest* request);
  // From any thread; 0 without a main window.
  uint8_t RequestMessage(uint8_t kind, const char* text, const char* title, uint8_t* checkState,
                         uint8_t layout);
  void ShowVersion();
  // Dialog 116 with the record's inputs; true when OK ended it.
  [[nodiscard]] bool ShowDataInput(DataInputDialog& dialog);
  // The scripts' record of dialog 116.
  DataInputDialog& DataInput() { return dataInput_; }

  // The window thread serves another thread's record (kCmdDataInput to kCmdBrowseFolder).
  void Serve(int command, host::LPARAM record);
  // From any thread: the window thread serves the record; false without a main window.
  [[nodiscard]] bool RequestDataInput(DataInputRequest& request);
  [[nodiscard]] bool RequestFile(FileDialogRequest& request, bool save);
  [[nodiscard]] bool RequestFolder(FolderDialogRequest& request);
  // The scripts' requests, their texts copied into the records the window thread serves.
  void RequestFileDialog(ScriptApplication::FileDialogRecord& record);
  void RequestFolderDialog(ScriptApplication::FolderDialogRecord& record);

  // Dialogs put the pointer on their default button. The desktop has no such setting here: off
  // until the settings sheet turns it on for the run.
  void SetPointerToDefaultButton(bool on) { pointerToDefault_ = on; }
  bool PointerToDefaultButton() const { return pointerToDefault_; }

 private:
  DialogContext MakeContext();
  void ServeDataInput(DataInputRequest* request);
  void ServeFile(FileDialogRequest* request, bool save);
  void ServeFolder(FolderDialogRequest* request);

  SystemDialogsHost& app_;
  const AppInfo& info_;
  const UserConfig& user_;
  DataInputDialog dataInput_;
  FileDialogs fileDialogs_;
  bool versionDetailed_ = false;
  bool pointerToDefault_ = false;
};

}  // namespace bw
