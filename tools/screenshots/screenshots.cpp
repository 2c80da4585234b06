// scripts/screenshots: runs every registered scene (screenshot_studio.h),
// each opening windows of the resident program over sample state and saving
// PNG pictures of what the screen shows into the folder given as argument.
// The script runs it in a Wine virtual desktop, where the tray icon sits in
// the taskbar.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "app/main_wnd.h"
#include "app/paths.h"
#include "app/settings.h"
#include "catalogue/file_list_file.h"
#include "platform/platform.h"
#include "tools/screenshots/screenshot_studio.h"

namespace quzshot {

namespace {

struct Scene {
  std::string name;
  int order;
  SceneFunction run;
};
std::vector<Scene>& Scenes() {
  static std::vector<Scene> scenes;
  return scenes;
}

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

// ---- the studio

// The main window, showing its command menu on request at a given point
// and capturing it while it is open.
class ShotMainWnd : public quz::CMainWnd {
 public:
  ShotMainWnd(Studio& studio) : studio_(studio) { SetQuitOnDestroy(false); }
  ~ShotMainWnd() override { Destroy(); }
  POINT menuAt{};
  std::string menuName;

 protected:
  void TrackCommandMenu(HMENU menu, POINT) override {
    // The menu's own loop dispatches this window's timers.
    StartTimer(kShotTimer, 700);
    TrackPopupMenu(menu, TPM_RIGHTBUTTON | TPM_BOTTOMALIGN | TPM_RIGHTALIGN, menuAt.x, menuAt.y, 0, Handle(),
                   nullptr);
  }
  void OnTimer(UINT_PTR id) override {
    if (id != kShotTimer) return quz::CMainWnd::OnTimer(id);
    StopTimer(kShotTimer);
    RECT area = studio_.WholeScreen();
    area.left = std::max<LONG>(0, menuAt.x - 360);
    area.top = std::max<LONG>(0, menuAt.y - 330);
    studio_.Capture(menuName, area);
    EndMenu();
  }

 private:
  static constexpr UINT_PTR kShotTimer = 901;
  Studio& studio_;
};

class StudioImpl final : public Studio {
 public:
  StudioImpl(std::string outFolder, std::string programFolder)
      : outFolder_(std::move(outFolder)), programFolder_(std::move(programFolder)) {}
  ~StudioImpl() {
    mainWindow_.reset();
    Pump(200);
  }
  int Failures() const { return failures_; }

  const std::string& ProgramFolder() const override { return programFolder_; }

  quz::CMainWnd& MainWindow() override {
    if (!mainWindow_) {
      mainWindow_ = std::make_unique<ShotMainWnd>(*this);
      if (!mainWindow_->Create()) Fail("the main window was not created");
    }
    return *mainWindow_;
  }

  void CaptureCommandMenu(const std::string& name) override {
    MainWindow();
    RECT screen = WholeScreen();
    mainWindow_->menuAt = POINT{screen.right - 40, screen.bottom - 40};
    mainWindow_->menuName = name;
    PostMessageA(mainWindow_->Handle(), WM_RBUTTONUP, 0, 0);
    Pump(1500);
  }

  void Pump(uint32_t forMs) override {
    uint32_t start = plat::TickCount();
    do {
      plat::PumpWaitingMessages();
      plat::Sleep(10);
    } while (plat::TickCount() - start < forMs);
  }

  void Capture(const std::string& name, RECT area) override {
    int w = area.right - area.left, h = area.bottom - area.top;
    if (w <= 0 || h <= 0) return Fail(name + ": nothing to capture");
    plat::WindowDC screen(nullptr);
    plat::UniqueMemoryDC memory(CreateCompatibleDC(screen.Get()));
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    plat::UniqueGdiObject bitmap(CreateDIBSection(screen.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    HGDIOBJ old = SelectObject(memory.Get(), bitmap.Get());
    BitBlt(memory.Get(), 0, 0, w, h, screen.Get(), area.left, area.top, SRCCOPY);
    GdiFlush();
    std::vector<unsigned char> rgb(static_cast<size_t>(w) * h * 3);
    const auto* bgra = static_cast<const unsigned char*>(bits);
    for (size_t i = 0; i < static_cast<size_t>(w) * h; ++i) {
      rgb[i * 3] = bgra[i * 4 + 2];
      rgb[i * 3 + 1] = bgra[i * 4 + 1];
      rgb[i * 3 + 2] = bgra[i * 4];
    }
    SelectObject(memory.Get(), old);
    std::string path = outFolder_ + name + ".png";
    if (!plat::WriteWholeFile(path, EncodePng(w, h, rgb))) return Fail("cannot write " + path);
    std::printf("%s.png %dx%d\n", name.c_str(), w, h);
  }

  RECT Around(HWND window, int margin) const override {
    RECT r{};
    GetWindowRect(window, &r);
    RECT screen = WholeScreen();
    r.left = std::max(r.left - margin, screen.left);
    r.top = std::max(r.top - margin, screen.top);
    r.right = std::min(r.right + margin, screen.right);
    r.bottom = std::min(r.bottom + margin, screen.bottom);
    return r;
  }

  RECT WholeScreen() const override {
    return RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  }

  void ShowAndCapture(plat::Dialog& dialog, const std::string& name) override {
    if (!dialog.CreateModeless(nullptr)) return Fail(name + ": the window was not created");
    ShowWindow(dialog.Handle(), SW_SHOW);
    SetForegroundWindow(dialog.Handle());
    Pump(600);
    Capture(name, Around(dialog.Handle(), 12));
    dialog.Destroy();
    Pump(200);
  }

  void Fail(const std::string& what) override {
    std::fprintf(stderr, "%s\n", what.c_str());
    ++failures_;
  }

 private:
  std::string outFolder_, programFolder_;
  std::unique_ptr<ShotMainWnd> mainWindow_;
  int failures_ = 0;
};

void WriteSampleState(const std::string& folder) {
  plat::CreateFolder(folder);
  quz::OverrideProgramFolder(folder);
  plat::WriteWholeFile(folder + "quz.ini", "");
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

SceneRegistration::SceneRegistration(const char* name, int order, SceneFunction run) {
  Scenes().push_back(Scene{name, order, run});
}

}  // namespace quzshot

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  if (__argc != 2) {
    std::fprintf(stderr, "usage: quz_screenshots OUTFOLDER\n");
    return 2;
  }
  std::string outFolder = __argv[1];
  if (!outFolder.empty() && outFolder.back() != '\\') outFolder += '\\';
  std::string programFolder = plat::TempFolder() + "quz-screenshots\\";
  quzshot::WriteSampleState(programFolder);

  auto scenes = quzshot::Scenes();
  std::sort(scenes.begin(), scenes.end(),
            [](const auto& a, const auto& b) { return std::tie(a.order, a.name) < std::tie(b.order, b.name); });
  int failures;
  {
    quzshot::StudioImpl studio(outFolder, programFolder);
    for (const auto& scene : scenes) scene.run(studio);
    failures = studio.Failures();
  }
  return failures ? 1 : 0;
}
