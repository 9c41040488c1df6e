#include "app/dialogs/version_dialog.h"

#include "app/dialogs/message_dialog.h"
#include "app/sysinfo/report_text.h"
#include "host/cp932.h"
#include "host/dialog/dialog_host.h"
#include "host/message_box.h"
#include "host/process/process.h"
#include "resource/files/file.h"

namespace bw {

namespace {

void Tell(const DialogContext& context, const char* utf8, uint32_t icon) {
  host::MessageBox(context.owner, host::Cp932Literal(utf8), context.appTitle, host::MB_OK | icon);
}

std::string Report(const VersionDialogInputs& inputs, bool longForm) {
  return inputs.buildReport ? inputs.buildReport(longForm) : std::string();
}

void CopyReport(const DialogContext& context, const host::Dialog& dialog) {
  if (host::SetClipboardText(dialog.report->text)) {
    Tell(context, "クリップボードにシステム情報をコピーしました。", host::MB_ICONINFORMATION);
  } else {
    Tell(context, "メモリの確保に失敗しました。", host::MB_ICONERROR);
  }
}

void SaveReportAs(const DialogContext& context, const VersionDialogInputs& inputs,
                  const host::Dialog& dialog) {
  host::FileChooserRequest request;
  request.save = true;
  request.title = host::Cp932Literal("ログを保存");
  request.fileName = ReportFileName(inputs.gameTitle);
  request.filters = {{host::Cp932Literal("システム情報ファイル(*.TXT)"), "*.TXT"}};
  request.defaultExtension = "txt";
  host::FileChoice choice = host::ChooseFile(context.owner, request);
  if (!choice.chosen) return;
  if (SaveReport(choice.path, dialog.report->text) == kReportSaved) {
    Tell(context, "システム情報をファイルに保存しました。", host::MB_ICONINFORMATION);
  } else {
    Tell(context, "システム情報ファイルの作成に失敗しました。", host::MB_ICONERROR);
  }
}

// An opener still running after this long has started the browser.
constexpr uint32_t kOpenerWaitMs = 3000;

// True when the page was opened.
bool OpenWebPage(const DialogContext& context, const VersionDialogInputs& inputs) {
  if (inputs.confirmWebPage) {
    const std::string question =
        host::Cp932Literal("「Velmora」のWebページを表示します。\nよろしいですか？");
    if (ShowMessageDialog(context, question.c_str(), kMessageYesNo, nullptr, nullptr, 0) == 0)
      return false;
  }
  const auto open = inputs.openPage ? inputs.openPage : OpenInDesktopBrowser;
  if (inputs.webAddress.empty() || !open(inputs.webAddress)) {
    Tell(context, "Webページを表示できませんでした。", host::MB_ICONERROR);
    return false;
  }
  return true;
}

}  // namespace

bool OpenInDesktopBrowser(const std::string& addressCp932) {
  host::Cp932Conversion address = host::Cp932ToUtf8(addressCp932);
  if (!address.ok) return false;
  // Through env, so that only PATH is searched: never a program of that name in the game's folder.
  host::Process opener;
  if (!opener.Spawn("/usr/bin/env", {"env", "xdg-open", address.text})) return false;
  if (opener.Wait(kOpenerWaitMs) == host::kWaitTimeout) return true;
  // Ended already: 0 is done, anything else (127: no opener on PATH) a failure.
  return opener.ExitStatus() == 0;
}

std::string VersionLine(uint8_t major, uint8_t minor, uint8_t revision) {
  return "Version " + VersionText(major, minor, revision) + (revision != 0 ? " " : "");
}

std::string ReportFileName(std::string_view gameTitle) {
  std::string name;
  AppendFormat(&name, "「%s」システム情報.txt", std::string(gameTitle).c_str());
  return name;
}

uint32_t SaveReport(const std::string& path, std::string_view report) {
  File file;
  if (file.Create(path.c_str(), true) != kFileOk) return kReportCannotCreate;
  size_t start = 0;
  while (start < report.size()) {
    size_t end = report.find('\n', start);
    size_t next = end == std::string_view::npos ? report.size() : end + 1;
    if (end == std::string_view::npos) end = report.size();
    if (end > start && report[end - 1] == '\r') --end;
    std::string line(report.substr(start, end - start));
    line += "\r\n";
    if (file.Write(line.data(), static_cast<uint32_t>(line.size())) != line.size())
      return kReportWriteFailed;
    start = next;
  }
  return kReportSaved;
}

host::Dialog MakeVersionDialog(const DialogContext& context, VersionDialogInputs& inputs) {
  host::Dialog dialog;
  dialog.templateId = 111;
  dialog.title = host::Cp932Literal("バージョン情報");
  dialog.texts.push_back(
      {kIdVersionText, VersionLine(inputs.major, inputs.minor, inputs.revision), true});
  dialog.report = host::DialogReport{kIdReport, host::Cp932Literal("システム情報"),
                                     Report(inputs, inputs.detailed)};
  VersionDialogInputs* in = &inputs;
  dialog.checkBoxes.push_back({kIdDetailed, host::Cp932Literal("詳細な情報を取得する"),
                               inputs.detailed, [in](host::Dialog& d) {
                                 in->detailed = d.CheckBox(kIdDetailed)->checked;
                                 d.report->text = Report(*in, in->detailed);
                               }});
  DialogContext ctx = context;
  dialog.actions.push_back({kIdCopyReport, host::Cp932Literal("クリップボードにコピー"),
                            [ctx](host::Dialog& d) { CopyReport(ctx, d); }});
  dialog.actions.push_back({kIdSaveReport, host::Cp932Literal("ファイルに保存"),
                            [ctx, in](host::Dialog& d) { SaveReportAs(ctx, *in, d); }});
  // The banner: the game's page in the browser.
  if (!inputs.webAddress.empty()) {
    dialog.actions.push_back({kIdBanner, inputs.webAddress, [ctx, in](host::Dialog& d) {
                                if (OpenWebPage(ctx, *in) && in->fullScreen) d.endAnswer = kIdOk;
                              }});
  }
  dialog.buttons = {{kIdOk, "OK"}};
  dialog.closeAnswer = kIdOk;
  dialog.cursorToDefault = context.cursorToDefault;
  return dialog;
}

void ShowVersionDialog(const DialogContext& context, VersionDialogInputs& inputs) {
  host::Dialog dialog = MakeVersionDialog(context, inputs);
  InModal(context, [&] { return host::RunDialog(context.owner, dialog); });
}

}  // namespace bw
