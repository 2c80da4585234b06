#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <set>

#include "platform/exceptions.h"
#include "platform/win32/win32_ui_internal.h"
#include "platform/window.h"

namespace plat {

namespace {

// A RunUiTask caller waiting for its task.
struct Waiter {
  std::mutex mutex;
  std::condition_variable changed;
  bool finished = false;
  bool ran = false;
};

struct Task {
  HWND window;
  std::function<void()> run;
  std::shared_ptr<Waiter> waiter;  // none for a posted task
};

// The tasks of one thread and the message-only window that runs them.
struct TaskQueue {
  HWND receiver = nullptr;
  std::deque<Task> tasks;
  bool posted = false;
};

constexpr UINT kRunTasks = WM_APP;
const char kReceiverClass[] = "quzUiTasks";

// One lock for the queues, the windows being destroyed and the waiters:
// tasks are few and short to hand over.
std::mutex registryMutex;
std::map<DWORD, TaskQueue*> queues;  // by thread id
std::set<HWND> closing;
std::multimap<HWND, std::shared_ptr<Waiter>> waiters;

void Finish(const std::shared_ptr<Waiter>& waiter, bool ran) {
  {
    std::lock_guard<std::mutex> lock(waiter->mutex);
    if (waiter->finished) return;
    waiter->finished = true;
    waiter->ran = ran;
  }
  waiter->changed.notify_all();
}

// Under registryMutex.
void ForgetWaiter(HWND window, const std::shared_ptr<Waiter>& waiter) {
  auto [first, last] = waiters.equal_range(window);
  for (auto it = first; it != last; ++it)
    if (it->second == waiter) {
      waiters.erase(it);
      return;
    }
}

void RunQueued(TaskQueue& queue) {
  std::deque<Task> batch;
  {
    std::lock_guard<std::mutex> lock(registryMutex);
    batch.swap(queue.tasks);
    queue.posted = false;
  }
  for (Task& task : batch) {
    bool alive;
    {
      std::lock_guard<std::mutex> lock(registryMutex);
      alive = IsWindow(task.window) && !closing.count(task.window);
    }
    if (alive) {
      try {
        task.run();
      } catch (...) {
        ReportCurrentException("UI task");
      }
    }
    if (task.waiter) {
      {
        std::lock_guard<std::mutex> lock(registryMutex);
        ForgetWaiter(task.window, task.waiter);
      }
      Finish(task.waiter, alive);
    }
  }
}

LRESULT CALLBACK ReceiverProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kRunTasks) {
    if (auto* queue = reinterpret_cast<TaskQueue*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA))) RunQueued(*queue);
    return 0;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

// The queue of the thread that owns it; it goes with the thread, dropping
// what is left and releasing those who wait for it.
class ThreadQueue {
 public:
  ThreadQueue() {
    static std::once_flag registered;
    std::call_once(registered, [] {
      WNDCLASSA wc{};
      wc.lpfnWndProc = ReceiverProcedure;
      wc.hInstance = ResourceInstance();
      wc.lpszClassName = kReceiverClass;
      RegisterClassA(&wc);
    });
    queue_.receiver = CreateWindowExA(0, kReceiverClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      ResourceInstance(), nullptr);
    if (!queue_.receiver) return;
    SetWindowLongPtrA(queue_.receiver, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&queue_));
    std::lock_guard<std::mutex> lock(registryMutex);
    queues[GetCurrentThreadId()] = &queue_;
  }
  ~ThreadQueue() {
    std::deque<Task> left;
    {
      std::lock_guard<std::mutex> lock(registryMutex);
      queues.erase(GetCurrentThreadId());
      left.swap(queue_.tasks);
      for (Task& task : left)
        if (task.waiter) ForgetWaiter(task.window, task.waiter);
    }
    for (Task& task : left)
      if (task.waiter) Finish(task.waiter, false);
    if (queue_.receiver) {
      SetWindowLongPtrA(queue_.receiver, GWLP_USERDATA, 0);
      DestroyWindow(queue_.receiver);
    }
  }

 private:
  TaskQueue queue_;
};

bool Enqueue(HWND window, std::function<void()> run, const std::shared_ptr<Waiter>& waiter) {
  DWORD thread = GetWindowThreadProcessId(window, nullptr);
  if (!thread) return false;
  std::lock_guard<std::mutex> lock(registryMutex);
  if (closing.count(window)) return false;
  auto it = queues.find(thread);
  if (it == queues.end()) return false;
  TaskQueue& queue = *it->second;
  queue.tasks.push_back(Task{window, std::move(run), waiter});
  if (!queue.posted) {
    if (!PostMessageA(queue.receiver, kRunTasks, 0, 0)) {
      queue.tasks.pop_back();
      return false;
    }
    queue.posted = true;
  }
  if (waiter) waiters.emplace(window, waiter);
  return true;
}

}  // namespace

namespace ui_internal {

void WindowClosing(HWND window) {
  std::vector<std::shared_ptr<Waiter>> released;
  {
    std::lock_guard<std::mutex> lock(registryMutex);
    closing.insert(window);
    auto [first, last] = waiters.equal_range(window);
    for (auto it = first; it != last; ++it) released.push_back(it->second);
    waiters.erase(first, last);
  }
  for (auto& waiter : released) Finish(waiter, false);
}

void WindowGone(HWND window) {
  std::lock_guard<std::mutex> lock(registryMutex);
  closing.erase(window);
}

}  // namespace ui_internal

void PrepareUiThread() { thread_local ThreadQueue queue; }

bool PostUiTask(HWND window, std::function<void()> task) { return Enqueue(window, std::move(task), nullptr); }

bool RunUiTask(HWND window, std::function<void()> task) {
  DWORD thread = GetWindowThreadProcessId(window, nullptr);
  if (!thread) return false;
  if (thread == GetCurrentThreadId()) {
    {
      std::lock_guard<std::mutex> lock(registryMutex);
      if (closing.count(window)) return false;
    }
    try {
      task();
    } catch (...) {
      ReportCurrentException("UI task");
    }
    return true;
  }
  auto waiter = std::make_shared<Waiter>();
  if (!Enqueue(window, std::move(task), waiter)) return false;
  std::unique_lock<std::mutex> lock(waiter->mutex);
  waiter->changed.wait(lock, [&] { return waiter->finished; });
  return waiter->ran;
}

// ---- the engine's questions

namespace {
// The answer of a box closed without a choice: cancel where it has one, no
// for a yes/no question, abort for abort/retry/ignore, else OK.
int DismissedAnswer(unsigned style) {
  switch (style & kButtonsMask) {
    case kButtonsOkCancel:
    case kButtonsYesNoCancel:
    case kButtonsRetryCancel:
      return kAnswerCancel;
    case kButtonsYesNo:
      return kAnswerNo;
    case kButtonsAbortRetryIgnore:
      return kAnswerAbort;
  }
  return kAnswerOk;
}
}  // namespace

int WindowInteraction::Message(const std::string& text, const std::string& caption, unsigned style) {
  HWND owner = owner_;
  if (!owner) return ShowMessage(nullptr, text, caption, style);
  std::optional<int> answer = CallUiTask<int>(
      owner, [owner, text, caption, style] { return ShowMessage(owner, text, caption, style); });
  return answer ? *answer : DismissedAnswer(style);
}

OverwriteAnswer WindowInteraction::AskOverwrite(const OverwriteQuestion& question) {
  // The overwrite dialog belongs to the restore window; until it exists the
  // question is asked as a plain box.
  int answer = Message(question.path + "\r\nを上書きしますか？", "ファイルの上書きの確認",
                       kButtonsYesNo | kIconQuestion);
  return answer == kAnswerYes ? OverwriteAnswer::Yes : OverwriteAnswer::No;
}

}  // namespace plat
