// The export, split-size and import windows, driven through their real
// controls: every field written to the settings as it changes, byte for
// byte (Japanese folder names whose second byte is "\" included), the pack,
// split and details states, the archiver's absence, the split-size modes
// and reference sizes, the import list following every keystroke, and a
// save folder exported packed and split for floppy disks, lost and rebuilt
// from the import window byte for byte.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/main_wnd.h"
#include "app/settings.h"
#include "app/text.h"
#include "platform/platform.h"
#include "resources/resource.h"
#include "tests/restore/save_fixture.h"
#include "tests/support/test_support.h"
#include "tests/support/window_test_support.h"
#include "tests/transfer/transfer_fixture.h"
#include "transfer/kakidashi_dlg.h"
#include "transfer/kumikomi_dlg.h"
#include "transfer/pieces.h"

namespace {

namespace t = quz::transfer;
using quztest::Enabled;
using quztest::ReadFile;
using quztest::WhileModal;
using quztest::WindowText;
using quztest::WriteFile;
using transfertest::Beside;

const char kPlaceholder[] = "現在のフォルダに対象となるファイルはありません";

std::string Text(HWND dialog, int id) { return WindowText(GetDlgItem(dialog, id)); }
bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
// Which of the export window's work folder, split box and details button
// are enabled, as "1" and "0".
std::string Live(HWND w) {
  std::string live;
  for (int id : {IDC_EXPORT_WORK_FOLDER, IDC_EXPORT_SPLIT, IDC_EXPORT_DETAILS}) live += Enabled(w, id) ? '1' : '0';
  return live;
}
// A click on a button, check box or radio button, as the mouse gives it:
// nothing happens to a disabled one.
void Press(HWND dialog, int id) { SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

// Keys typed into an edit control, one character at a time.  A double-byte
// character is committed the way an input method commits its result, as
// text replacing the selection (Wine's ANSI edit control reads a WM_CHAR
// byte by byte and would split it).  `after` runs after every character.
void Type(HWND edit, const std::string& text, const std::function<void()>& after = nullptr) {
  for (size_t i = 0, length; i < text.size(); i += length) {
    length = quz::CharLength(text, i);
    if (length == 2)
      SendMessageA(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.substr(i, 2).c_str()));
    else
      SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(text[i]), 1);
    if (after) after();
  }
}

// A line of a drop-down list picked by the user.
void Pick(HWND dialog, int id, int line) {
  HWND combo = GetDlgItem(dialog, id);
  SendMessageA(combo, CB_SETCURSEL, line, 0);
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

class TransferWindows : public quztest::MainWindowTest {
 protected:
  static std::string Setting(const char* key) { return quz::ReadSetting(quz::kSettingsFile, key); }

  // Runs `drive` inside the window that `open` shows modally and closes the
  // window afterwards, whatever `drive` left.
  void Run(const std::function<void()>& open, const std::function<void(HWND)>& drive) {
    WhileModal modal([&] {
      HWND handle = plat::Dialog::Current()->Handle();
      drive(handle);
      if (IsWindow(handle)) Press(handle, IDCANCEL);
    });
    open();
    EXPECT_TRUE(modal.Ran());
  }
  void Run(plat::Dialog& window, const std::function<void(HWND)>& drive) {
    Run([&] { window.DoModal(nullptr); }, drive);
  }

  // Opens the split-size window from the export window's details button,
  // with `drive` acting in it.
  static void Details(HWND exportWindow, const std::function<void(HWND)>& drive) {
    WhileModal modal([&] { drive(plat::Dialog::Current()->Handle()); });
    Press(exportWindow, IDC_EXPORT_DETAILS);
    EXPECT_TRUE(modal.Ran());
  }
};

TEST_F(TransferWindows, ExportAndSplitSizeWindowsKeepEveryFieldAsTypedAndTheBoxesEnableTheirControls) {
  ASSERT_TRUE(quz::WriteSetting(quz::kSettingsFile, "1796639400", "最終書き出し日時"));
  ASSERT_TRUE(quz::WriteSetting(quz::kSettingsFile, "2.5", "分割詳細設定2"));
  t::CKakidashiDlg window(SaveFolder());
  Run(window, [&](HWND w) {
    EXPECT_EQ(WindowText(w), "更新ファイル書き出し");
    // Opening: the fields from the settings; a missing work folder is the
    // temporary folder, written back at once.
    EXPECT_EQ(Text(w, IDC_EXPORT_DESTINATION), "");
    EXPECT_EQ(Text(w, IDC_EXPORT_WORK_FOLDER), plat::TempFolder());
    EXPECT_EQ(Text(w, IDC_EXPORT_LAST_TIME), t::LastExportTimeText(1796639400));
    EXPECT_FALSE(Checked(w, IDC_EXPORT_PACK) || Checked(w, IDC_EXPORT_SPLIT));
    EXPECT_TRUE(Enabled(w, IDC_EXPORT_BROWSE_WORK));
    EXPECT_EQ(Live(w), "000");

    // Typed key by key: the setting holds the field after every key, byte
    // for byte, also a name ending in a second byte "\" (表).
    const std::string typed = dir / "書き出しソフト表";
    Type(GetDlgItem(w, IDC_EXPORT_DESTINATION), typed,
         [&] { ASSERT_EQ(Setting("書き出し先フォルダ"), Text(w, IDC_EXPORT_DESTINATION)); });
    EXPECT_EQ(Text(w, IDC_EXPORT_DESTINATION), typed);

    // The folder browser: a choice replaces the field, a cancel leaves it.
    ui.QueueFolder(dir / "選んだ表");
    Press(w, IDC_EXPORT_BROWSE_DESTINATION);
    EXPECT_EQ(Text(w, IDC_EXPORT_DESTINATION), dir / "選んだ表");
    EXPECT_EQ(Setting("書き出し先フォルダ"), dir / "選んだ表");
    Press(w, IDC_EXPORT_BROWSE_DESTINATION);
    EXPECT_EQ(ui.FoldersAsked(), 2);
    EXPECT_EQ(Setting("書き出し先フォルダ"), dir / "選んだ表");

    // The reset: time 0 is shown like any other, and stored as "0".
    Press(w, IDC_EXPORT_RESET);
    EXPECT_EQ(Text(w, IDC_EXPORT_LAST_TIME), t::LastExportTimeText(0));
    EXPECT_EQ(Setting("最終書き出し日時"), "0");

    // The pack box without the archiver: the load failure as the archiver
    // tells it (its texts are the archiver's test), and nothing comes alive.
    {
      transfertest::LibraryReplaced away;
      Press(w, IDC_EXPORT_PACK);
      ASSERT_EQ(ui.Boxes().size(), 1u);
      EXPECT_TRUE(ui.Boxes()[0].text.starts_with("UNLHA32.DLLがロードできません。")) << ui.Boxes()[0].text;
      EXPECT_TRUE(Checked(w, IDC_EXPORT_PACK));
      EXPECT_EQ(Live(w), "000");
      Press(w, IDC_EXPORT_PACK);
    }

    // With the archiver beside the program the work folder and the split
    // box come alive, the split box the details button.
    const std::pair<int, const char*> presses[] = {
        {IDC_EXPORT_PACK, "110"}, {IDC_EXPORT_SPLIT, "111"}, {IDC_EXPORT_SPLIT, "110"}, {IDC_EXPORT_SPLIT, "111"}};
    for (const auto& [box, live] : presses) {
      Press(w, box);
      EXPECT_EQ(Live(w), live);
    }

    // The split-size window: its mode, the size as typed ("abc" is no
    // number: 0), a reference size picked; cancel keeps both.
    Details(w, [&](HWND d) {
      EXPECT_EQ(WindowText(d), "詳細設定");
      EXPECT_TRUE(Checked(d, IDC_SPLIT_UNTIL_FULL));
      EXPECT_EQ(Text(d, IDC_SPLIT_SIZE), "2.50");
      plat::ComboBox references(GetDlgItem(d, IDC_SPLIT_REFERENCE));
      std::vector<std::string> lines;
      for (int i = 0; i < references.Count(); ++i) lines.push_back(references.Text(i));
      EXPECT_EQ(lines, (std::vector<std::string>{"01:フロッピーディスク(1.44MB)", "02:フロッピーディスク(1.2MB)",
                                                 "03:CD-R/RW(650MB)", "04:CD-R/RW(700MB)"}));
      Press(d, IDC_SPLIT_FIXED);
      SetDlgItemTextA(d, IDC_SPLIT_SIZE, "abc");
      Press(d, IDOK);
    });
    EXPECT_EQ(window.SplitMode(), 1);
    EXPECT_EQ(window.PieceSize(), 0.0);
    EXPECT_EQ(Setting("分割詳細設定1"), "1");
    EXPECT_EQ(Setting("分割詳細設定2"), "0.00");

    Details(w, [&](HWND d) {
      EXPECT_TRUE(Checked(d, IDC_SPLIT_FIXED));
      EXPECT_EQ(Text(d, IDC_SPLIT_SIZE), "0.00");
      Pick(d, IDC_SPLIT_REFERENCE, 1);
      EXPECT_EQ(Text(d, IDC_SPLIT_SIZE), "1.20");
      Press(d, IDC_SPLIT_UNTIL_FULL);
      Press(d, IDOK);
    });
    EXPECT_EQ(window.SplitMode(), 0);
    EXPECT_DOUBLE_EQ(window.PieceSize(), 1.2);
    EXPECT_EQ(Setting("分割詳細設定1"), "0");
    EXPECT_EQ(Setting("分割詳細設定2"), "1.20");

    Details(w, [&](HWND d) {
      Press(d, IDC_SPLIT_FIXED);
      SetDlgItemTextA(d, IDC_SPLIT_SIZE, "9.5");
      Press(d, IDCANCEL);
    });
    EXPECT_EQ(window.SplitMode(), 0);
    EXPECT_EQ(Setting("分割詳細設定2"), "1.20");

    // A drop on the work folder: the first path dropped.
    SendMessageA(GetDlgItem(w, IDC_EXPORT_WORK_FOLDER), WM_DROPFILES,
                 reinterpret_cast<WPARAM>(quztest::MakeDrop({dir / "落とした表", dir / "二つ目"})), 0);
    EXPECT_EQ(Text(w, IDC_EXPORT_WORK_FOLDER), dir / "落とした表");
    EXPECT_EQ(Setting("作業フォルダ"), dir / "落とした表");

    // Unchecked: the work folder and the split box go quiet; the details
    // button keeps its state.
    Press(w, IDC_EXPORT_PACK);
    EXPECT_EQ(Live(w), "001");

    Press(w, IDC_EXPORT_HELP);
    ASSERT_EQ(ui.Opened().size(), 1u);
    EXPECT_EQ(ui.Opened()[0].first, Beside("help\\kakidashi.htm"));
    EXPECT_EQ(ui.Boxes().size(), 1u);
  });
}

TEST_F(TransferWindows, PlainExportFromTheWindowGoesBelowTheFolderAsTypedAndMovesTheLastExportTime) {
  transfertest::WriteTree(SaveFolder(), "2026-12-7\\a.txt", "alpha");
  transfertest::WriteTree(SaveFolder(), "2026-12-7\\quzFileList.txt", "list");
  t::CKakidashiDlg window(SaveFolder());
  Run(window, [&](HWND w) {
    // No destination: the export is refused, since its folder would land
    // wherever the program happens to run.
    Press(w, IDC_EXPORT_START);
    ASSERT_EQ(ui.Boxes().size(), 1u);
    EXPECT_EQ(ui.Boxes()[0].text, "書き出し先フォルダを指定してください");

    // A destination whose last byte is the second byte of 表: the export
    // gives it its own "\".  A saved file that cannot be read fails the
    // export: the result says so, counts it and names it in the error log.
    const std::string typed = dir / "外付け表";
    Type(GetDlgItem(w, IDC_EXPORT_DESTINATION), typed);
    {
      quztest::Unreadable held(SaveFolder() + "2026-12-7\\a.txt");
      Press(w, IDC_EXPORT_START);
    }
    EXPECT_EQ(window.LastResult().ok, 0);
    ASSERT_EQ(ui.Boxes().size(), 2u);
    EXPECT_EQ(ui.Boxes()[1].caption, "quz - 書き出し結果");
    EXPECT_EQ(ui.Boxes()[1].style, plat::kButtonsOk | plat::kIconWarning);
    EXPECT_NE(ui.Boxes()[1].text.find("書き出しは最後まで終わりませんでした。"), std::string::npos);
    EXPECT_NE(ui.Boxes()[1].text.find("\r\n書き出せなかったファイルとフォルダが1個あります（lasterror.txtに記録しました）"),
              std::string::npos);
    EXPECT_NE(ReadFile(dir / "lasterror.txt").find(SaveFolder() + "2026-12-7\\a.txt"), std::string::npos);
    EXPECT_EQ(Setting("最終書き出し日時"), "");

    Press(w, IDC_EXPORT_START);
    const t::ExportResult& result = window.LastResult();
    ASSERT_EQ(result.ok, 1);
    EXPECT_EQ(Text(w, IDC_EXPORT_DESTINATION), typed + "\\");
    EXPECT_EQ(Setting("書き出し先フォルダ"), typed + "\\");
    EXPECT_EQ(result.exportFolder, typed + "\\" + result.stamp + "\\");
    EXPECT_EQ(ReadFile(result.exportFolder + "2026-12-7\\a.txt"), "alpha");
    EXPECT_EQ(result.files, 2);

    ASSERT_EQ(ui.Boxes().size(), 3u);
    EXPECT_EQ(ui.Boxes()[2].text, "2個0.00MBのファイルを" + result.exportFolder + "に書き出しました");
    EXPECT_EQ(ui.Boxes()[2].style, plat::kButtonsOk | plat::kIconInformation);
    EXPECT_GT(window.LastExportTime(), 0);
    EXPECT_EQ(Setting("最終書き出し日時"), std::to_string(window.LastExportTime()));
    EXPECT_EQ(Text(w, IDC_EXPORT_LAST_TIME), t::LastExportTimeText(window.LastExportTime()));
  });
}

TEST_F(TransferWindows, ImportListFollowsEveryKeystrokeOfTheFolderField) {
  const std::string media = dir / "メディア表";
  ASSERT_TRUE(plat::CreateFolder(media));
  ASSERT_TRUE(plat::CreateFolder(media + "\\2612071030"));
  WriteFile(media + "\\b001_2612071031.lzh", "x");
  WriteFile(media + "\\notes.txt", "x");
  const std::vector<std::string> items{media + "\\2612071030", media + "\\b001_2612071031.lzh"};
  ASSERT_TRUE(quz::WriteSetting(quz::kSettingsFile, dir / "どこにもない", "書き出し先フォルダ"));
  t::CKumikomiDlg window(SaveFolder());
  Run(window, [&](HWND w) {
    EXPECT_EQ(WindowText(w), "quz - 書き出し済みファイル組込");
    EXPECT_EQ(Text(w, IDC_IMPORT_FOLDER), dir / "どこにもない");
    EXPECT_EQ(window.Lines(), std::vector<std::string>{kPlaceholder});

    // Typed key by key: after every key the setting holds the field and the
    // list shows what that folder holds.
    HWND field = GetDlgItem(w, IDC_IMPORT_FOLDER);
    SetWindowTextA(field, "");
    int keys = 0;
    Type(field, media, [&] {
      ++keys;
      const std::string shown = Text(w, IDC_IMPORT_FOLDER);
      ASSERT_EQ(Setting("書き出し先フォルダ"), shown);
      ASSERT_EQ(window.Lines(), shown == media ? items : std::vector<std::string>{kPlaceholder}) << shown;
    });
    EXPECT_EQ(Text(w, IDC_IMPORT_FOLDER), media);
    EXPECT_GT(keys, 10);

    // A medium changed: the list follows on "リストを更新".
    WriteFile(media + "\\2612071040.lzh", "x");
    EXPECT_EQ(window.Lines().size(), 2u);
    Press(w, IDC_IMPORT_REFRESH);
    EXPECT_EQ(window.Lines().size(), 3u);

    // The browser and a drop replace the field and list again.
    ui.QueueFolder(dir.path());
    Press(w, IDC_IMPORT_BROWSE);
    EXPECT_EQ(Setting("書き出し先フォルダ"), dir.path());
    EXPECT_EQ(window.Lines(), std::vector<std::string>{kPlaceholder});
    SendMessageA(field, WM_DROPFILES, reinterpret_cast<WPARAM>(quztest::MakeDrop({media})), 0);
    EXPECT_EQ(Setting("書き出し先フォルダ"), media);
    EXPECT_EQ(window.Lines().size(), 3u);

    Press(w, IDC_IMPORT_HELP);
    ASSERT_EQ(ui.Opened().size(), 1u);
    EXPECT_EQ(ui.Opened()[0].first, Beside("help\\kumikomi.htm"));
  });
}

// A save folder exported from the menu's window, packed and split at the
// floppy disk's reference size with the medium questions answered, lost
// with the work folder, and rebuilt from the import window.
TEST_F(TransferWindows, ASaveFolderExportedPackedAndSplitForFloppiesIsRebuiltFromTheImportWindow) {
  restoretest::SaveFolder save(SaveFolder(), 0);
  const int64_t day = restoretest::Seconds(2026, 12, 7);
  std::map<std::string, std::string> saved;
  for (const std::string& path : {save.SaveCopy("C:\\元データ\\大きい.bin", quztest::Pattern(3000000, 21), day),
                                  save.SaveCopy("C:\\元データ\\ソフト表\\メモ.txt", "メモ", day),
                                  save.SaveFragment("C:\\元データ\\mail.mbx", quztest::Pattern(100000, 22), day)})
    saved[path] = ReadFile(path);
  const std::string floppy = dir / "フロッピー表";
  const std::string work = dir / "作業ソ表";  // made by the export when it needs it
  ASSERT_TRUE(plat::CreateFolder(floppy));
  ASSERT_TRUE(quz::WriteSetting(quz::kSettingsFile, floppy, "書き出し先フォルダ"));
  ASSERT_TRUE(quz::WriteSetting(quz::kSettingsFile, work, "作業フォルダ"));
  Start();

  t::ExportResult exported;
  Run([&] { main->Command(ID_EXPORT); }, [&](HWND w) {
    EXPECT_EQ(main->ModalState(), quz::kModalExport);
    EXPECT_EQ(Text(w, IDC_EXPORT_DESTINATION), floppy);
    Press(w, IDC_EXPORT_PACK);
    Press(w, IDC_EXPORT_SPLIT);
    Details(w, [&](HWND d) {
      Press(d, IDC_SPLIT_FIXED);
      Pick(d, IDC_SPLIT_REFERENCE, 0);
      Press(d, IDOK);
    });
    Press(w, IDC_EXPORT_START);
    exported = dynamic_cast<t::CKakidashiDlg&>(*plat::Dialog::Current()).LastResult();
  });
  ASSERT_EQ(exported.ok, 1);
  ASSERT_EQ(exported.pieces, 3);
  const std::vector<std::string> pieces{floppy + "\\b001_" + exported.stamp + ".lzh",
                                        floppy + "\\b002_" + exported.stamp + ".lzh",
                                        floppy + "\\e003_" + exported.stamp + ".lzh"};
  for (int i : {0, 1}) EXPECT_EQ(quztest::SizeOf(pieces[i]), 1440000);
  EXPECT_EQ(quztest::TextsOf(ui.Boxes()),
            (std::vector<std::string>{t::kNextMediumText, t::kNextMediumText, exported.text}));

  // Reopened, the window starts with the pack box unchecked again.
  Run([&] { main->Command(ID_EXPORT); }, [&](HWND w) {
    EXPECT_FALSE(Checked(w, IDC_EXPORT_PACK));
    EXPECT_EQ(Live(w), "000");
  });

  quztest::RemoveTree(SaveFolder());
  quztest::RemoveTree(work);
  Run([&] { main->Command(ID_IMPORT); }, [&](HWND w) {
    EXPECT_EQ(main->ModalState(), quz::kModalImport);
    auto& window = dynamic_cast<t::CKumikomiDlg&>(*plat::Dialog::Current());
    EXPECT_EQ(window.Lines(), pieces);
    Press(w, IDC_IMPORT_RUN);
    EXPECT_EQ(window.LastResult().archivesUnpacked, 1);
  });
  EXPECT_EQ(main->ModalState(), quz::kModalNone);
  // Two pieces gathered, the set joined, the import done.
  EXPECT_EQ(ui.Boxes().size(), 7u);
  EXPECT_EQ(ui.Boxes()[5].text, "この分割ファイルは正常に結合・復元されました");
  for (const auto& [path, bytes] : saved) EXPECT_TRUE(ReadFile(path) == bytes) << path;
}

}  // namespace
