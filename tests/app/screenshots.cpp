// Opens each window of the resident program over sample state and saves a
// PNG picture of what the screen shows into the folder given as argument.
// scripts/screenshots runs it in a Wine virtual desktop, where the tray
// icon sits in the taskbar.
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "app/dialogs.h"
#include "app/main_wnd.h"
#include "app/paths.h"
#include "app/settings.h"
#include "catalogue/file_list_file.h"
#include "platform/platform.h"
#include "resources/resource.h"

namespace {

std::string outFolder;
int failures = 0;

// ---- PNG writing: RGB rows in stored (uncompressed) deflate blocks.

uint32_t Crc(const unsigned char* data, size_t n, uint32_t crc = 0) {
  static uint32_t table[256];
  static bool made = false;
  if (!made) {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[i] = c;
    }
    made = true;
  }
  crc = ~crc;
  for (size_t i = 0; i < n; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

void PutBig32(std::string& out, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) out += static_cast<char>((v >> s) & 0xFF);
}

void Chunk(std::string& png, const char* type, const std::string& data) {
  PutBig32(png, static_cast<uint32_t>(data.size()));
  std::string body = std::string(type, 4) + data;
  png += body;
  PutBig32(png, Crc(reinterpret_cast<const unsigned char*>(body.data()), body.size()));
}

std::string EncodePng(int w, int h, const std::vector<unsigned char>& rgb) {
  std::string raw;
  for (int y = 0; y < h; ++y) {
    raw += '\0';  // no filter
    raw.append(reinterpret_cast<const char*>(&rgb[static_cast<size_t>(y) * w * 3]), static_cast<size_t>(w) * 3);
  }
  std::string z = "\x78\x01";
  for (size_t at = 0; at < raw.size() || at == 0;) {
    size_t n = std::min<size_t>(65535, raw.size() - at);
    bool last = at + n == raw.size();
    z += static_cast<char>(last ? 1 : 0);
    z += static_cast<char>(n & 0xFF);
    z += static_cast<char>(n >> 8);
    z += static_cast<char>(~n & 0xFF);
    z += static_cast<char>((~n >> 8) & 0xFF);
    z.append(raw, at, n);
    at += n;
    if (last) break;
  }
  uint32_t a = 1, b = 0;
  for (unsigned char c : raw) {
    a = (a + c) % 65521;
    b = (b + a) % 65521;
  }
  PutBig32(z, (b << 16) | a);
  std::string header;
  PutBig32(header, static_cast<uint32_t>(w));
  PutBig32(header, static_cast<uint32_t>(h));
  header += std::string("\x08\x02\x00\x00\x00", 5);
  std::string png = "\x89PNG\r\n\x1a\n";
  Chunk(png, "IHDR", header);
  Chunk(png, "IDAT", z);
  Chunk(png, "IEND", "");
  return png;
}

// ---- capturing

void Pump(uint32_t forMs) {
  uint32_t start = plat::TickCount();
  do {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) continue;
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    plat::Sleep(10);
  } while (plat::TickCount() - start < forMs);
}

// Saves the screen inside `area` as name.png.
void Capture(const std::string& name, RECT area) {
  int w = area.right - area.left, h = area.bottom - area.top;
  if (w <= 0 || h <= 0) {
    std::fprintf(stderr, "%s: nothing to capture\n", name.c_str());
    ++failures;
    return;
  }
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, w, h, screen, area.left, area.top, SRCCOPY);
  GdiFlush();
  std::vector<unsigned char> rgb(static_cast<size_t>(w) * h * 3);
  const auto* bgra = static_cast<const unsigned char*>(bits);
  for (size_t i = 0; i < static_cast<size_t>(w) * h; ++i) {
    rgb[i * 3] = bgra[i * 4 + 2];
    rgb[i * 3 + 1] = bgra[i * 4 + 1];
    rgb[i * 3 + 2] = bgra[i * 4];
  }
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  std::string path = outFolder + name + ".png";
  if (!plat::WriteWholeFile(path, EncodePng(w, h, rgb))) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    ++failures;
    return;
  }
  std::printf("%s.png %dx%d\n", name.c_str(), w, h);
}

RECT Around(HWND window, int margin) {
  RECT r{};
  GetWindowRect(window, &r);
  RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  r.left = std::max(r.left - margin, screen.left);
  r.top = std::max(r.top - margin, screen.top);
  r.right = std::min(r.right + margin, screen.right);
  r.bottom = std::min(r.bottom + margin, screen.bottom);
  return r;
}

RECT WholeScreen() { return RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

void ShowAndCapture(plat::Dialog& dialog, const std::string& name) {
  if (!dialog.CreateModeless(nullptr)) {
    std::fprintf(stderr, "%s: the window was not created\n", name.c_str());
    ++failures;
    return;
  }
  ShowWindow(dialog.Handle(), SW_SHOW);
  SetForegroundWindow(dialog.Handle());
  Pump(600);
  Capture(name, Around(dialog.Handle(), 12));
  dialog.Destroy();
  Pump(200);
}

// The main window, showing its command menu on request at a given point
// and capturing it while it is open.
class ShotMainWnd : public quz::CMainWnd {
 public:
  ShotMainWnd() { SetQuitOnDestroy(false); }
  POINT menuAt{};

 protected:
  void TrackCommandMenu(HMENU menu, POINT) override {
    // The menu's own loop dispatches this window's timers.
    SetTimer(Handle(), kShotTimer, 700, nullptr);
    TrackPopupMenu(menu, TPM_RIGHTBUTTON | TPM_BOTTOMALIGN | TPM_RIGHTALIGN, menuAt.x, menuAt.y, 0, Handle(),
                   nullptr);
  }
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_TIMER && wParam == kShotTimer) {
      KillTimer(Handle(), kShotTimer);
      RECT area = WholeScreen();
      area.left = std::max<LONG>(0, menuAt.x - 360);
      area.top = std::max<LONG>(0, menuAt.y - 330);
      Capture("menu", area);
      EndMenu();
      return 0;
    }
    return quz::CMainWnd::OnMessage(message, wParam, lParam);
  }

 private:
  static constexpr UINT_PTR kShotTimer = 901;
};

void WriteSampleState(const std::string& folder) {
  plat::CreateFolder(folder);
  quz::OverrideProgramFolder(folder);
  plat::DeleteFile(folder + "quz.ini");
  quz::WriteSetting(quz::kSettingsFile, folder + "Save\\", "quz保存先フォルダ");
  quz::WriteIntSetting(quz::kSettingsFile, 300, "チェック間隔");
  const char* files[] = {"C:\\Users\\quz\\Documents\\見積書.xlsx", "C:\\Users\\quz\\Documents\\議事録 12月.docx",
                         "C:\\Users\\quz\\Mail\\Inbox.mbx", "D:\\写真\\2026\\IMG_0042.jpg",
                         "C:\\Users\\quz\\Desktop\\memo.txt"};
  const int sizes[][2] = {{48213, 48213}, {20480, 20480}, {7340032, 81920}, {2359296, 2359296}, {900, 900}};
  std::string history;
  plat::Time32 now = plat::Now();
  for (int i = 0; i < 5; ++i) {
    char line[400];
    std::snprintf(line, sizeof line, "%d %d %d %s\r\n", static_cast<int>(now - 3600 * (5 - i)), sizes[i][0],
                  sizes[i][1], files[i]);
    history += line;
  }
  plat::WriteWholeFile(folder + "Rireki.txt", history);
  plat::WriteWholeFile(folder + quz::kFileListName, "C:\\Users\\quz\\Documents\\<0<13<0\r\n");
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  if (__argc != 2) {
    std::fprintf(stderr, "usage: quz_screenshots OUTFOLDER\n");
    return 2;
  }
  outFolder = __argv[1];
  if (!outFolder.empty() && outFolder.back() != '\\') outFolder += '\\';
  WriteSampleState(plat::TempFolder() + "quz-screenshots\\");

  {
    quz::CSetupDlg setup;
    setup.saveFolder = "C:\\QUZ_BACKUP";
    ShowAndCapture(setup, "setup");
  }

  ShotMainWnd window;
  window.Create();
  Pump(1500);
  // The taskbar with the tray icon, idle.
  RECT screen = WholeScreen();
  Capture("tray", screen);
  window.menuAt = POINT{screen.right - 40, screen.bottom - 40};
  PostMessageA(window.Handle(), WM_RBUTTONUP, 0, 0);
  Pump(1500);

  {
    quz::CRirekiDlg history(quz::ExePath("Rireki.txt"));
    ShowAndCapture(history, "history");
  }
  {
    quz::CVersionDlg version;
    ShowAndCapture(version, "version");
  }
  {
    quz::CProgressDlg progress;
    progress.Open(nullptr);
    Pump(300);
    progress.SetProgress(40, "処理中(2/5)");
    Pump(300);
    Capture("progress", Around(progress.Handle(), 12));
    progress.Destroy();
  }
  window.Destroy();
  Pump(200);
  return failures ? 1 : 0;
}
