// Scenes of scripts/screenshots: every subsystem shows its windows over
// sample state and saves pictures of them, from a source file of its own,
// registered with
//
//   QUZ_SCREENSHOT_SCENE(history, 30) {
//     quz::CRirekiDlg history(quz::ExePath("Rireki.txt"));
//     studio.ShowAndCapture(history, "history");
//   }
//
// and listed in tools/screenshots/CMakeLists.txt.
// Scenes run in the order of their number (then their name), all in one
// process, in a Wine virtual desktop; each leaves no window behind.
#pragma once

#include <cstdint>
#include <string>

#include "app/main_wnd.h"
#include "platform/window.h"

namespace quzshot {

class Studio {
 public:
  // The program folder with the sample state every scene shares: quz.ini
  // with a save folder below it, FileList.txt and Rireki.txt.  Scenes may
  // add their own files.
  virtual const std::string& ProgramFolder() const = 0;
  // The hidden main window with its tray icon, made on first use.
  virtual quz::CMainWnd& MainWindow() = 0;
  // Opens the main window's command menu and saves it as name.png.
  virtual void CaptureCommandMenu(const std::string& name) = 0;

  // Lets the windows draw for a while.
  virtual void Pump(uint32_t ms) = 0;
  // Saves the screen inside `area` as name.png.
  virtual void Capture(const std::string& name, RECT area) = 0;
  // A window's rectangle widened by a margin, within the screen.
  virtual RECT Around(HWND window, int margin = 12) const = 0;
  virtual RECT WholeScreen() const = 0;
  // Creates `dialog` modeless, shows it, saves it as name.png and destroys
  // it.
  virtual void ShowAndCapture(plat::Dialog& dialog, const std::string& name) = 0;
  // Counts a picture that could not be made (the program then fails).
  virtual void Fail(const std::string& what) = 0;

 protected:
  ~Studio() = default;
};

using SceneFunction = void (*)(Studio& studio);
// Registers a scene at start-up.
struct SceneRegistration {
  SceneRegistration(const char* name, int order, SceneFunction run);
};

}  // namespace quzshot

#define QUZ_SCREENSHOT_SCENE(name, order)                                              \
  static void QuzScene_##name(quzshot::Studio& studio);                                \
  static const quzshot::SceneRegistration quzSceneRegistration_##name(#name, order,    \
                                                                      QuzScene_##name); \
  static void QuzScene_##name([[maybe_unused]] quzshot::Studio& studio)
