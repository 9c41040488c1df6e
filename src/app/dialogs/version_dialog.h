// The version and system-information dialog (111): the version line, the system report in its
// short or long form, and buttons that copy the report or save it to a file.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "app/dialogs/dialog_context.h"
#include "host/dialog/dialog.h"

namespace bw {

constexpr int kIdBanner = 1001;
constexpr int kIdVersionText = 1002;
constexpr int kIdReport = 1003;
constexpr int kIdDetailed = 1004;
constexpr int kIdCopyReport = 1005;
constexpr int kIdSaveReport = 1006;

// Outcomes of saving the report.
constexpr uint32_t kReportSaved = 0;
constexpr uint32_t kReportCannotCreate = 1;
constexpr uint32_t kReportWriteFailed = 2;

struct VersionDialogInputs {
  uint8_t major = 0;
  uint8_t minor = 0;
  uint8_t revision = 0;
  std::string gameTitle;  // CP932
  bool detailed = false;  // the stored setting; the dialog writes the box's state back
  // The report (BuildSystemReport's text) in the long or short form.
  std::function<std::string(bool longForm)> buildReport;
  std::string webAddress;      // CP932: the game's page, opened from the banner
  bool confirmWebPage = true;  // ask before opening it
  // Opens the page in the desktop's browser; false when that could not be done. Unset:
  // OpenInDesktopBrowser.
  std::function<bool(const std::string& addressCp932)> openPage;
  bool fullScreen = false;  // the page, once opened, ends the dialog so the browser can be seen
};

// Hands the address to the desktop's opener (xdg-open, found on PATH); false when the address
// has no UTF-8 form, the opener cannot be started, or it ends at once with a failure.
[[nodiscard]] bool OpenInDesktopBrowser(const std::string& addressCp932);

// "Version %d.%02d", then "%x " of a revision that is not 0.
std::string VersionLine(uint8_t major, uint8_t minor, uint8_t revision);
// "「%s」システム情報.txt" with the game's title.
std::string ReportFileName(std::string_view gameTitle);
// Writes every line of the report followed by CR LF (a report whose last line ends needs no
// further line); the path is an engine path.
[[nodiscard]] uint32_t SaveReport(const std::string& path, std::string_view report);

host::Dialog MakeVersionDialog(const DialogContext& context, VersionDialogInputs& inputs);
// Shows dialog 111 inside the modal bracket.
void ShowVersionDialog(const DialogContext& context, VersionDialogInputs& inputs);

}  // namespace bw
