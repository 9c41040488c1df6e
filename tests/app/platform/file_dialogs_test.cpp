#include "app/platform/file_dialogs.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "host/dialog/scripted_dialog_host.h"
#include "host/host_path.h"
#include "resource/packs/app_paths.h"
#include "support/temp_dir.h"

namespace bw {
namespace {

// "テキスト" and "表" in CP932; 表's trail byte is '\'.
const std::string kText = "\x83\x65\x83\x4c\x83\x58\x83\x67";
const std::string kHyo = "\x95\x5C";

std::string Repeat(const std::string& text, size_t count) {
  std::string out;
  for (size_t i = 0; i < count; ++i) out += text;
  return out;
}

host::FileChoice Chosen(std::string path, uint32_t filterIndex = 1) {
  return {true, std::move(path), filterIndex};
}

// A temporary application folder and a scripted dialog host.
class FileDialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(host::LinuxPathToEnginePath(dir_.path().string() + "/", folder_), host::kPathOk);
    ASSERT_EQ(RebaseAppFolder(folder_), 0);
  }

  std::vector<std::pair<std::string, std::string>> Filters(size_t request) const {
    std::vector<std::pair<std::string, std::string>> out;
    const std::vector<host::FileChooserRequest> requests = host_.FileRequests();
    for (const host::FileFilter& f : requests.at(request).filters) {
      out.emplace_back(f.description, f.pattern);
    }
    return out;
  }

  test::TempDir dir_;
  std::string folder_;
  host::ScriptedDialogHost host_;
  host::ScopedDialogHost use_{&host_};
  FileDialogs dialogs_;
  char path_[kDialogPathSize] = "old.dat";
  char title_[kDialogFileTitleSize] = "old title";
};

TEST_F(FileDialogsTest, OpenAndSaveAskTheHostWithTheirWholeRequest) {
  const std::string filter = kText + "\t*.txt;*.log\tAll\t*.*\t";
  host_.QueueFileChoice(Chosen("Z:\\games\\" + kHyo + "\\save01.dat", 2));
  ASSERT_TRUE(dialogs_.OpenFile({}, "Open", path_, title_, "saves\\", filter.c_str(), false));
  EXPECT_EQ(std::string(path_), "Z:\\games\\" + kHyo + "\\save01.dat");
  EXPECT_STREQ(title_, "save01.dat") << "the name after the last separator, not after 0x5C in a character";
  EXPECT_EQ(dialogs_.GetFilterIndex(), 2u);

  host::FileChooserRequest open = host_.FileRequests().at(0);
  EXPECT_FALSE(open.save);
  EXPECT_EQ(open.title, "Open");
  EXPECT_EQ(open.folder, folder_ + "saves");
  EXPECT_EQ(open.fileName, "old.dat") << "the path's text is the name proposed";
  EXPECT_EQ(open.defaultExtension, "");
  using Pairs = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(Filters(0), (Pairs{{kText, "*.txt;*.log"}, {"All", "*.*"}}));

  // Cleared path, no title buffer, no filter, a folder that cannot be made absolute.
  host_.QueueFileChoice(Chosen("Z:\\a.txt"));
  ASSERT_TRUE(dialogs_.OpenFile({}, nullptr, path_, nullptr, "..\\..\\..\\..\\..\\..\\..\\..\\..\\..\\..\\x",
                                nullptr, true));
  open = host_.FileRequests().at(1);
  EXPECT_EQ(open.fileName, "");
  EXPECT_EQ(open.title, "");
  EXPECT_EQ(open.folder, "") << "the working folder";
  EXPECT_TRUE(open.filters.empty());
  EXPECT_EQ(dialogs_.GetFilterIndex(), 1u);

  std::strcpy(path_, "Z:\\keep.txt");
  host_.QueueFileChoice(Chosen("Z:\\saved\\" + kText + ".txt", 1));
  ASSERT_TRUE(dialogs_.SaveFile({}, "Save", path_, title_, "Z:\\", "Text\t*.txt", "txt"));
  const host::FileChooserRequest save = host_.FileRequests().at(2);
  EXPECT_TRUE(save.save);
  EXPECT_EQ(save.fileName, "Z:\\keep.txt");
  EXPECT_EQ(save.folder, "Z:\\");
  EXPECT_EQ(save.defaultExtension, "txt");
  EXPECT_EQ(Filters(2), (Pairs{{"Text", "*.txt"}}));
  EXPECT_EQ(std::string(title_), kText + ".txt");
}

TEST_F(FileDialogsTest, CancelledOrUnfittingChoicesLeaveThePathAndFilterIndex) {
  host_.QueueFileChoice(Chosen("Z:\\a.txt", 3));
  ASSERT_TRUE(dialogs_.OpenFile({}, "Open", path_, title_, nullptr, nullptr, false));
  std::strcpy(path_, "old.dat");

  // Nothing queued: the host cancels.
  EXPECT_FALSE(dialogs_.SaveFile({}, "Save", path_, title_, nullptr, nullptr, nullptr));
  EXPECT_STREQ(path_, "old.dat");
  EXPECT_STREQ(title_, "") << "the title is emptied whatever the answer";
  EXPECT_EQ(dialogs_.GetFilterIndex(), 3u);

  // A cut path would name another file, so one too long for the buffer is refused, as is none.
  host_.QueueFileChoice(Chosen("Z:\\" + std::string(kDialogPathSize - 3, 'a'), 1));
  EXPECT_FALSE(dialogs_.OpenFile({}, "Open", path_, title_, nullptr, nullptr, false));
  EXPECT_STREQ(path_, "old.dat");
  host_.QueueFileChoice(Chosen("", 1));
  EXPECT_FALSE(dialogs_.OpenFile({}, "Open", path_, title_, nullptr, nullptr, false));
  EXPECT_EQ(dialogs_.GetFilterIndex(), 3u);

  // A 256-byte name fits the path but not the title, which is cut before the split character.
  const std::string leaf = Repeat(kHyo, 128);
  host_.QueueFileChoice(Chosen("Z:\\" + leaf, 1));
  ASSERT_TRUE(dialogs_.OpenFile({}, "Open", path_, title_, nullptr, nullptr, false));
  EXPECT_EQ(std::string(path_), "Z:\\" + leaf);
  EXPECT_EQ(std::string(title_), Repeat(kHyo, 127));

  std::strcpy(path_, "old.dat");
  host::ScopedDialogHost none(nullptr);
  EXPECT_FALSE(dialogs_.OpenFile({}, "Open", path_, title_, nullptr, nullptr, false));
  EXPECT_STREQ(path_, "old.dat");
  EXPECT_FALSE(dialogs_.OpenFile({}, "Open", nullptr, title_, nullptr, nullptr, false));
}

TEST_F(FileDialogsTest, FiltersBecomePairsUpToTheFirstEmptyText) {
  EXPECT_EQ(BuildDialogFilter(kText + "\t*.txt\tAll\t*.*\t"),
            kText + std::string("\0*.txt\0All\0*.*\0\0", 16));
  EXPECT_EQ(BuildDialogFilter("a\tb"), std::string("a\0b\0", 4));

  using Pairs = std::vector<std::pair<std::string, std::string>>;
  const char* filters[] = {"a\tb\tlonely", "a\t\tb\tc\t", "\x95\t\tb"};
  const Pairs want[] = {{{"a", "b"}}, {}, {{"\x95\t", "b"}}};
  for (size_t i = 0; i < std::size(filters); ++i) {
    EXPECT_FALSE(dialogs_.OpenFile({}, "Open", path_, nullptr, nullptr, filters[i], false));
    EXPECT_EQ(Filters(i), want[i]) << "filter " << i;
  }
}

TEST_F(FileDialogsTest, BrowseForFolderStartsInTheGivenFolderAndWritesTheChoice) {
  EXPECT_EQ(BrowseStartFolder("Z:\\"), "Z:\\");
  EXPECT_EQ(BrowseStartFolder("Z:"), "Z:\\");
  EXPECT_EQ(BrowseStartFolder("Z:\\games\\"), "Z:\\games");
  EXPECT_EQ(BrowseStartFolder("saves\\"), folder_ + "saves");
  EXPECT_EQ(BrowseStartFolder(nullptr), "");

  char chosen[kDialogPathSize] = "Z:\\old";
  host_.QueueFolderChoice({true, "Z:\\games\\" + kHyo});
  BrowseForFolder({}, "Choose", "saves\\", chosen);
  EXPECT_EQ(std::string(chosen), "Z:\\games\\" + kHyo);
  ASSERT_EQ(host_.FolderRequests().size(), 1u);
  EXPECT_EQ(host_.FolderRequests()[0].title, "Choose");
  EXPECT_EQ(host_.FolderRequests()[0].folder, folder_ + "saves");

  BrowseForFolder({}, "Choose", "Z:\\", chosen);
  EXPECT_STREQ(chosen, "") << "cancelled";

  std::strcpy(chosen, "Z:\\old");
  host_.QueueFolderChoice({true, "Z:\\" + std::string(kDialogPathSize, 'a')});
  BrowseForFolder({}, "Choose", "Z:\\", chosen);
  EXPECT_STREQ(chosen, "") << "a folder too long for the buffer is not cut";

  std::strcpy(chosen, "Z:\\old");
  host::ScopedDialogHost none(nullptr);
  BrowseForFolder({}, "Choose", "Z:\\", chosen);
  EXPECT_STREQ(chosen, "");
}

}  // namespace
}  // namespace bw
