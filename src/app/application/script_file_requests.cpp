// The scripts' drops and file dialogs: the frame thread's copies of the texts go to the window
// thread in the application's own request records, and the answers come back the same way.
#include <algorithm>
#include <cstring>
#include <string>

#include "app/application/game_app.h"

namespace bw {
namespace {

// A text into a buffer of size bytes, cut to fit with its terminator.
void Put(char* buffer, size_t size, const std::string& text) {
  size_t n = std::min(text.size(), size - 1);
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
}

}  // namespace

void GameApp::EnableFileDrops(bool on) {
  dropTarget_.SetEnabled(MainWindow().GetHandle(), on);
}

void GameApp::RequestFileDialog(FileDialogRecord& record) {
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
  bool served = record.save ? RequestSaveFile(request) : RequestOpenFile(request);
  record.answer = served ? request.answer : 0;
  if (!served) return;
  record.path = path;
  record.fileTitle = fileTitle;
}

void GameApp::RequestFolderDialog(FolderDialogRecord& record) {
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
