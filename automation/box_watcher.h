#pragma once
// Finds message boxes as they appear, records what the user would see and presses a button,
// so no test ever blocks on a box. Runs on its own thread and polls the top-level windows.

#include <windows.h>

#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <atomic>
#include <vector>

struct SeenBox {
    HWND window = nullptr;
    HWND owner = nullptr;
    DWORD processId = 0;
    std::string caption;
    std::string text;
    // Which standard icon the box shows: "error", "warning", "question", "information" or "".
    std::string icon;
    // Identifiers of the buttons it offers (IDOK, IDYES, IDNO, ...), in control order.
    std::vector<int> buttons;
    bool hasButton(int id) const;
};

class BoxWatcher {
public:
    // Returns the button to press for a box; 0 leaves the box open (the watcher asks again).
    using Answer = std::function<int(const SeenBox&)>;

    // Presses OK, or Yes, or the first button, whatever the box.
    static int PressDefault(const SeenBox& box);

    // processId 0 watches boxes of every process; otherwise only of that process.
    explicit BoxWatcher(Answer answer = PressDefault, DWORD processId = GetCurrentProcessId());
    ~BoxWatcher();
    BoxWatcher(const BoxWatcher&) = delete;
    BoxWatcher& operator=(const BoxWatcher&) = delete;

    std::vector<SeenBox> Seen() const;
    size_t Count() const;
    // Waits until at least `count` boxes have been answered; false on time-out.
    bool WaitForCount(size_t count, DWORD timeoutMs = 30000) const;
    // True once every box answered has closed: an answer is only posted, and the box closes on
    // its own thread after that.
    bool AllClosed() const;
    void SetAnswer(Answer answer);
    // Forgets every box seen so far (long runs, whose memory is measured, call it between rounds).
    void Clear();

private:
    void Run();
    bool AlreadyAnswered(HWND window);
    void Inspect(HWND window);

    Answer answer_;
    DWORD processId_;
    mutable std::mutex mutex_;
    std::vector<SeenBox> seen_;
    std::vector<HWND> answered_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Reads a box as the user sees it; false when the window is not a message box.
bool ReadMessageBox(HWND window, SeenBox& box);
