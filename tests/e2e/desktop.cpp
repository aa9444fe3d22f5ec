#include "desktop.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace tarvik::e2e {
namespace {

constexpr UINT kSendTimeoutMs = 5000;

struct WindowQuery {
  DWORD processId;
  const wchar_t* className;
  HWND owner;
  bool anyOwner;
  HWND found;
  bool hiddenToo = false;
};

BOOL CALLBACK MatchTopLevel(HWND window, LPARAM param) {
  auto& query = *reinterpret_cast<WindowQuery*>(param);
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  if (processId != query.processId || (!query.hiddenToo && !IsWindowVisible(window))) return TRUE;
  if (ClassName(window) != query.className) return TRUE;
  if (!query.anyOwner && GetWindow(window, GW_OWNER) != query.owner) return TRUE;
  query.found = window;
  return FALSE;
}

void SendKeys(std::vector<INPUT>& inputs) {
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

INPUT KeyInput(WORD virtualKey, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = virtualKey;
  input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC));
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  return input;
}

}  // namespace

Program::~Program() {
  if (!info_.hProcess) return;
  if (Running()) {
    TerminateProcess(info_.hProcess, 1);
    WaitForSingleObject(info_.hProcess, 5000);
  }
  CloseHandle(info_.hThread);
  CloseHandle(info_.hProcess);
}

bool Program::Start(const std::wstring& path, DWORD timeoutMs, int showCommand) {
  std::wstring commandLine = L"\"" + path + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  if (showCommand >= 0) {
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(showCommand);
  }
  const double start = NowMs();
  if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &info_)) {
    info_ = {};
    return false;
  }
  const DWORD idle = WaitForInputIdle(info_.hProcess, timeoutMs);
  startupMs_ = NowMs() - start;
  return idle == 0;
}

bool Program::Running() const {
  return info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

bool Program::WaitForExit(DWORD timeoutMs, DWORD& exitCode) {
  if (WaitForSingleObject(info_.hProcess, timeoutMs) != WAIT_OBJECT_0) return false;
  GetExitCodeProcess(info_.hProcess, &exitCode);
  return true;
}

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs) {
  const double deadline = NowMs() + timeoutMs;
  for (;;) {
    if (condition()) return true;
    if (NowMs() > deadline) return condition();
    Sleep(20);
  }
}

bool WaitFor(const std::function<bool()>& condition, DWORD stallMs, const std::function<long long()>& progress) {
  long long last = progress();
  double deadline = NowMs() + stallMs;
  for (;;) {
    if (condition()) return true;
    const long long now = progress();
    if (now != last) last = now, deadline = NowMs() + stallMs;
    if (NowMs() > deadline) return condition();
    Sleep(20);
  }
}

HWND FindAnyOwnedWindow(DWORD processId, const wchar_t* className, HWND owner) {
  WindowQuery query{processId, className, owner, false, nullptr, true};
  EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&query));
  return query.found;
}

std::optional<DWORD_PTR> Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD timeoutMs, UINT flags) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(window, message, wParam, lParam, flags, timeoutMs, &result)) return std::nullopt;
  return result;
}

bool RoundTrip(HWND window, DWORD timeoutMs) { return Send(window, WM_NULL, 0, 0, timeoutMs, SMTO_NORMAL).has_value(); }

namespace {

struct WindowCount {
  DWORD processId;
  long count;
};

BOOL CALLBACK CountWindow(HWND window, LPARAM param) {
  auto& windows = *reinterpret_cast<WindowCount*>(param);
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  if (processId == windows.processId) ++windows.count;
  return TRUE;
}

BOOL CALLBACK CountWindowAndChildren(HWND window, LPARAM param) {
  CountWindow(window, param);
  EnumChildWindows(window, CountWindow, param);
  return TRUE;
}

// Under Wine, where GetGuiResources counts nothing: the entries in use in the process's
// GDI handle table, which its PEB points to (GdiSharedHandleTable, at 0x94 in a 32-bit
// PEB). This Wine lays out its 65536 entries in 24 bytes each, the type in byte 14, 0
// for a free entry; its stock objects are in the count, which stays the same.
long GdiTableEntries(HANDLE process) {
  using QueryFn = LONG(NTAPI*)(HANDLE, int, void*, ULONG, ULONG*);
  const auto query = reinterpret_cast<QueryFn>(
      reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
  struct {
    LONG exitStatus;
    void* peb;
    ULONG_PTR rest[4];
  } basic{};
  uint32_t table = 0;
  if (sizeof(void*) != 4 || !query || query(process, 0 /* ProcessBasicInformation */, &basic, sizeof basic, nullptr) != 0 ||
      !ReadProcessMemory(process, static_cast<char*>(basic.peb) + 0x94, &table, sizeof table, nullptr) || !table) {
    return -1;
  }
  constexpr size_t kEntries = 0x10000, kEntryBytes = 24, kTypeAt = 14;
  std::vector<uint8_t> entries(kEntries * kEntryBytes);
  SIZE_T read = 0;
  if (!ReadProcessMemory(process, reinterpret_cast<void*>(static_cast<uintptr_t>(table)), entries.data(), entries.size(),
                         &read) || read != entries.size()) {
    return -1;
  }
  long used = 0;
  for (size_t i = 0; i < kEntries; ++i) used += entries[i * kEntryBytes + kTypeAt] != 0;
  return used;
}

}  // namespace

GuiObjects CountGuiObjects(HANDLE process, DWORD processId) {
  GuiObjects objects;
  SetLastError(0);
  const DWORD gdi = GetGuiResources(process, GR_GDIOBJECTS), user = GetGuiResources(process, GR_USEROBJECTS);
  const DWORD error = GetLastError();
  if (gdi && user) {
    objects.gdi = static_cast<long>(gdi), objects.user = static_cast<long>(user);
    objects.how = "GetGuiResources";
    return objects;
  }
  // This Wine answers 0 (error 120, not implemented). Of the USER objects, windows are
  // the ones another process can count: every window of the process, hidden or shown,
  // top-level, child or message-only. Menus, cursors and icons are not seen this way;
  // the bitmaps an icon or a cursor holds are in the GDI count.
  objects.gdi = GdiTableEntries(process);
  WindowCount windows{processId, 0};
  EnumWindows(CountWindowAndChildren, reinterpret_cast<LPARAM>(&windows));
  for (HWND only = FindWindowExW(HWND_MESSAGE, nullptr, nullptr, nullptr); only;
       only = FindWindowExW(HWND_MESSAGE, only, nullptr, nullptr)) {
    CountWindowAndChildren(only, reinterpret_cast<LPARAM>(&windows));
  }
  objects.user = windows.count;
  objects.how = "the GDI handle table and the process's windows (GetGuiResources: 0, error " +
                std::to_string(error) + ")";
  return objects;
}

HWND FindTopLevel(DWORD processId, const wchar_t* className) {
  WindowQuery query{processId, className, nullptr, true, nullptr};
  EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&query));
  return query.found;
}

HWND FindOwnedWindow(DWORD processId, const wchar_t* className, HWND owner) {
  WindowQuery query{processId, className, owner, false, nullptr};
  EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&query));
  return query.found;
}

std::wstring ClassName(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

std::wstring WindowText(HWND window) {
  const auto length = Send(window, WM_GETTEXTLENGTH, 0, 0, kSendTimeoutMs);
  if (!length) return L"<no answer to WM_GETTEXTLENGTH>";
  std::wstring text(*length + 1, L'\0');
  const auto copied = Send(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), kSendTimeoutMs);
  if (!copied) return L"<no answer to WM_GETTEXT>";
  text.resize(*copied);
  return text;
}

RECT RectInClient(HWND window, HWND parent) {
  RECT rect{};
  GetWindowRect(window, &rect);
  MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

RECT ClientOnScreen(HWND window) {
  RECT rect{};
  GetClientRect(window, &rect);
  MapWindowPoints(window, HWND_DESKTOP, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

POINT Centre(const RECT& rect) { return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2}; }

HWND FocusOf(HWND anyWindowOfThread) {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(anyWindowOfThread, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

void PressKey(WORD virtualKey) {
  std::vector<INPUT> inputs = {KeyInput(virtualKey, false), KeyInput(virtualKey, true)};
  SendKeys(inputs);
}

void PressChord(WORD modifier, WORD virtualKey) {
  std::vector<INPUT> inputs = {KeyInput(modifier, false), KeyInput(virtualKey, false),
                               KeyInput(virtualKey, true), KeyInput(modifier, true)};
  SendKeys(inputs);
}

void TypeText(const std::wstring& text) {
  // One character at a time, as a typist would, rather than one batch the program
  // might see as a paste.
  for (wchar_t unit : text) {
    std::vector<INPUT> inputs(2);
    for (int i = 0; i < 2; ++i) {
      inputs[i].type = INPUT_KEYBOARD;
      inputs[i].ki.wScan = unit;
      inputs[i].ki.dwFlags = KEYEVENTF_UNICODE | (i ? KEYEVENTF_KEYUP : 0);
    }
    SendKeys(inputs);
    Sleep(10);
  }
}

namespace {

std::wstring xPointer;

INPUT MouseInput(POINT screen, DWORD buttons) {
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int height = GetSystemMetrics(SM_CYSCREEN);
  INPUT input{};
  input.type = INPUT_MOUSE;
  // Absolute coordinates run from 0 to 65535 across the screen; rounding up lands on
  // the intended pixel whichever way the system rounds back.
  input.mi.dx = static_cast<LONG>((static_cast<int64_t>(screen.x) * 65536 + width - 1) / width);
  input.mi.dy = static_cast<LONG>((static_cast<int64_t>(screen.y) * 65536 + height - 1) / height);
  input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | buttons;
  return input;
}

bool PointerAt(POINT screen) {
  return WaitFor([&] {
    POINT at{};
    GetCursorPos(&at);
    return at.x == screen.x && at.y == screen.y;
  }, 2000);
}

}  // namespace

void UseXPointer(const std::wstring& helper) { xPointer = helper; }
bool HasXPointer() { return !xPointer.empty(); }

std::string AskXPointer(const std::wstring& arguments) {
  wchar_t directory[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, directory);
  const std::wstring answer = std::wstring(directory) + L"tarvik-e2e-pointer.txt";
  DeleteFileW(answer.c_str());
  std::wstring commandLine = L"\"" + xPointer + L"\" " + arguments + L" \"" + answer + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
    return {};
  }
  // A Unix program started from Wine gives no process to wait for; its file is the
  // answer. This Wine then leaves stack contents in the rest of `info`: closing that
  // "thread" closed whatever handle had the number, once the driver's own stdout.
  if (info.hProcess) {
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
  }
  std::string line;
  WaitFor([&] {
    PumpMessages(0);
    FILE* file = _wfopen(answer.c_str(), L"r");
    if (!file) return false;
    char text[128] = {};
    if (std::fgets(text, sizeof text, file)) line = text;
    std::fclose(file);
    return !line.empty();
  }, 20000);
  DeleteFileW(answer.c_str());
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  return line;
}

void PumpMessages(DWORD ms) {
  const double end = NowMs() + ms;
  do {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    if (ms) Sleep(10);
  } while (NowMs() < end);
}

bool MoveMouse(POINT screen) {
  if (HasXPointer()) {
    AskXPointer(L"move " + std::to_wstring(screen.x) + L" " + std::to_wstring(screen.y));
  } else {
    INPUT input = MouseInput(screen, 0);
    SendInput(1, &input, sizeof(input));
  }
  return PointerAt(screen);
}

bool Click(POINT screen) {
  if (!MoveMouse(screen)) return false;
  INPUT inputs[2] = {MouseInput(screen, MOUSEEVENTF_LEFTDOWN), MouseInput(screen, MOUSEEVENTF_LEFTUP)};
  // The pointer is there already; the position in the events only guards against a
  // move from elsewhere slipping in between.
  SendInput(2, inputs, sizeof(INPUT));
  return true;
}

void MouseButtons(POINT screen, std::initializer_list<DWORD> buttons, DWORD time) {
  std::vector<INPUT> inputs;
  for (DWORD button : buttons) {
    inputs.push_back(MouseInput(screen, button));
    inputs.back().mi.time = time;
  }
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

bool PutOnClipboard(const std::wstring& text) {
  const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (!memory) return false;
  std::memcpy(GlobalLock(memory), text.c_str(), bytes);
  GlobalUnlock(memory);
  if (!WaitFor([] { return OpenClipboard(nullptr) != FALSE; }, 2000)) {
    GlobalFree(memory);
    return false;
  }
  EmptyClipboard();
  const bool placed = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
  if (!placed) GlobalFree(memory);
  CloseClipboard();
  return placed;
}

double NowMs() {
  static const double frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) * 1000.0 / frequency;
}

}  // namespace tarvik::e2e
