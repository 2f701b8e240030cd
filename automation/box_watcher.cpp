#include "automation/box_watcher.h"

#include <algorithm>
#include <chrono>

namespace {

// Controls of the system's message box: the text static and the icon static.
constexpr int kBoxTextId = 0xFFFF;
constexpr int kBoxIconId = 0x0440;
// Controls that only the plug-in's own dialogs have (drive box, About link).
constexpr int kOwnDialogControls[] = {1013, 1020};

std::string ClassName(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

std::string Text(HWND window) {
    int length = GetWindowTextLengthA(window);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    // A window going away meanwhile copies less than it announced.
    const int copied = GetWindowTextA(window, &text[0], length + 1);
    text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
    return text;
}

std::string IconName(HWND iconControl) {
    if (iconControl == nullptr) return "";
    HICON icon = reinterpret_cast<HICON>(SendMessageA(iconControl, STM_GETICON, 0, 0));
    if (icon == nullptr) return "";
    struct Known { LPCSTR id; const char* name; };
    const Known known[] = {{IDI_HAND, "error"}, {IDI_EXCLAMATION, "warning"},
                           {IDI_QUESTION, "question"}, {IDI_ASTERISK, "information"}};
    for (const Known& k : known) {
        if (LoadIconA(nullptr, k.id) == icon) return k.name;
    }
    return "other";
}

BOOL CALLBACK CollectButton(HWND child, LPARAM param) {
    auto* box = reinterpret_cast<SeenBox*>(param);
    if (ClassName(child) == "Button") box->buttons.push_back(GetDlgCtrlID(child));
    return TRUE;
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM param) {
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
    return TRUE;
}

}  // namespace

bool SeenBox::hasButton(int id) const {
    return std::find(buttons.begin(), buttons.end(), id) != buttons.end();
}

bool ReadMessageBox(HWND window, SeenBox& box) {
    if (!IsWindowVisible(window) || ClassName(window) != "#32770") return false;
    HWND textControl = GetDlgItem(window, kBoxTextId);
    if (textControl == nullptr) return false;
    for (int id : kOwnDialogControls) {
        if (GetDlgItem(window, id) != nullptr) return false;
    }
    box = SeenBox();
    box.window = window;
    box.owner = GetWindow(window, GW_OWNER);
    GetWindowThreadProcessId(window, &box.processId);
    box.caption = Text(window);
    box.text = Text(textControl);
    box.icon = IconName(GetDlgItem(window, kBoxIconId));
    EnumChildWindows(window, CollectButton, reinterpret_cast<LPARAM>(&box));
    // A box torn down or ended (hidden first) while it was read gives cut texts: only a box still
    // shown afterwards, its text control still there, was read whole.
    return IsWindowVisible(window) && IsWindow(textControl);
}

int BoxWatcher::PressDefault(const SeenBox& box) {
    if (box.hasButton(IDOK)) return IDOK;
    if (box.hasButton(IDYES)) return IDYES;
    return box.buttons.empty() ? IDOK : box.buttons.front();
}

BoxWatcher::BoxWatcher(Answer answer, DWORD processId)
    : answer_(std::move(answer)), processId_(processId), thread_([this] { Run(); }) {}

BoxWatcher::~BoxWatcher() {
    stop_ = true;
    thread_.join();
}

std::vector<SeenBox> BoxWatcher::Seen() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return seen_;
}

size_t BoxWatcher::Count() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return seen_.size();
}

bool BoxWatcher::WaitForCount(size_t count, DWORD timeoutMs) const {
    DWORD start = GetTickCount();
    while (Count() < count) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(20);
    }
    return true;
}

bool BoxWatcher::AllClosed() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::none_of(answered_.begin(), answered_.end(), [](HWND window) { return IsWindow(window) != FALSE; });
}

void BoxWatcher::SetAnswer(Answer answer) {
    std::lock_guard<std::mutex> lock(mutex_);
    answer_ = std::move(answer);
}

void BoxWatcher::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    seen_ = std::vector<SeenBox>();
    // Boxes still open keep their entry, so a box answered but not yet closed is not answered twice.
    std::vector<HWND> open;
    for (HWND window : answered_)
        if (IsWindow(window)) open.push_back(window);
    answered_ = std::move(open);
}

void BoxWatcher::Run() {
    while (!stop_) {
        std::vector<HWND> windows;
        EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&windows));
        for (HWND window : windows) Inspect(window);
        Sleep(20);
    }
}

bool BoxWatcher::AlreadyAnswered(HWND window) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = std::find(answered_.begin(), answered_.end(), window);
    if (found == answered_.end()) return false;
    // Still open after an answer (closing takes a moment); once gone, a new box may reuse the handle.
    if (IsWindow(window)) return true;
    answered_.erase(found);
    return false;
}

void BoxWatcher::Inspect(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (processId_ != 0 && pid != processId_) return;
    if (AlreadyAnswered(window)) return;
    SeenBox box;
    if (!ReadMessageBox(window, box)) return;

    Answer answer;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        answer = answer_;
    }
    int button = answer(box);
    if (button == 0) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        answered_.push_back(window);
        seen_.push_back(box);
    }
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(window, button)));
}
