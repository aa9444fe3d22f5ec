#include "desktop.h"

#include <winternl.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "file_util.h"
#include "ui/system_function.h"

namespace tarvik::e2e {
namespace {

// Every top-level window, or every descendant of `parent`, to `visit` until it says stop.
using Visit = std::function<bool(HWND)>;
BOOL CALLBACK VisitWindow(HWND window, LPARAM visit) { return (*reinterpret_cast<const Visit*>(visit))(window); }
void EachWindow(const Visit& visit, HWND parent = nullptr) {
  const auto param = reinterpret_cast<LPARAM>(&visit);
  parent ? EnumChildWindows(parent, VisitWindow, param) : EnumWindows(VisitWindow, param);
}

// A top-level window of the process with that class, owned by `owner` unless that is
// none, shown unless `hiddenToo`.
HWND FindWindowOf(DWORD processId, const wchar_t* className, std::optional<HWND> owner, bool hiddenToo) {
  HWND found = nullptr;
  EachWindow([&](HWND window) {
    if (ProcessOf(window) != processId || (!hiddenToo && !IsWindowVisible(window))) return true;
    if (ClassName(window) != className || (owner && GetWindow(window, GW_OWNER) != *owner)) return true;
    found = window;
    return false;
  });
  return found;
}

// Starts the command line; a show command other than -1 goes in STARTUPINFO.
bool StartProcess(std::wstring commandLine, PROCESS_INFORMATION& info, int showCommand = -1) {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  if (showCommand >= 0) {
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(showCommand);
  }
  return CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info);
}

void SendInputs(std::vector<INPUT> inputs) {
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

// A key by its virtual-key code, or a UTF-16 unit typed as such when `unit` is given.
INPUT KeyInput(WORD virtualKey, DWORD flags, wchar_t unit = 0) {
  INPUT input{INPUT_KEYBOARD, {}};
  const WORD scan = unit ? unit : static_cast<WORD>(MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC));
  input.ki = {virtualKey, scan, flags | (unit ? KEYEVENTF_UNICODE : 0), 0, 0};
  return input;
}

// The keys pressed in order and released in reverse, as a hand plays a chord.
void PressKeys(std::initializer_list<WORD> keys) {
  std::vector<INPUT> inputs;
  for (WORD key : keys) inputs.push_back(KeyInput(key, 0));
  for (auto key = std::rbegin(keys); key != std::rend(keys); ++key) inputs.push_back(KeyInput(*key, KEYEVENTF_KEYUP));
  SendInputs(inputs);
}

INPUT MouseInput(POINT screen, DWORD buttons, DWORD time = 0) {
  // Absolute coordinates run from 0 to 65535 across the screen; rounding up lands on
  // the intended pixel whichever way the system rounds back.
  const auto absolute = [](LONG at, int metric) {
    const int size = GetSystemMetrics(metric);
    return static_cast<LONG>((static_cast<int64_t>(at) * 65536 + size - 1) / size);
  };
  const DWORD flags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | buttons;
  return {INPUT_MOUSE, {{absolute(screen.x, SM_CXSCREEN), absolute(screen.y, SM_CYSCREEN), 0, flags, time, 0}}};
}

// Under Wine, where GetGuiResources counts nothing: the entries in use in the process's
// GDI handle table, which its PEB points to (GdiSharedHandleTable, at 0x94 in a 32-bit
// PEB). This Wine lays out its 65536 entries in 24 bytes each, the type in byte 14, 0
// for a free entry; its stock objects are in the count, which stays the same.
long GdiTableEntries(HANDLE process) {
  const auto query =
      ui::SystemFunction<decltype(&NtQueryInformationProcess)>(L"ntdll.dll", "NtQueryInformationProcess");
  const auto read = [&](const void* at, void* into, size_t bytes) {
    SIZE_T got = 0;
    return ReadProcessMemory(process, at, into, bytes, &got) && got == bytes;
  };
  constexpr size_t kEntries = 0x10000, kEntryBytes = 24, kTypeAt = 14;
  PROCESS_BASIC_INFORMATION basic{};
  uint32_t table = 0;
  std::vector<uint8_t> entries(kEntries * kEntryBytes);
  if (sizeof(void*) != 4 || !query || query(process, ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0 ||
      !read(reinterpret_cast<char*>(basic.PebBaseAddress) + 0x94, &table, sizeof table) || !table ||
      !read(reinterpret_cast<void*>(static_cast<uintptr_t>(table)), entries.data(), entries.size())) {
    return -1;
  }
  long used = 0;
  for (size_t i = 0; i < kEntries; ++i) used += entries[i * kEntryBytes + kTypeAt] != 0;
  return used;
}

std::wstring xPointer;

}  // namespace

DWORD ProcessOf(HWND window) {
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  return processId;
}

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
  const double start = NowMs();
  if (!StartProcess(L"\"" + path + L"\"", info_, showCommand)) return false;
  const DWORD idle = WaitForInputIdle(info_.hProcess, timeoutMs);
  startupMs_ = NowMs() - start;
  return idle == 0;
}

bool Program::WaitForExit(DWORD timeoutMs, DWORD& exitCode) {
  if (WaitForSingleObject(info_.hProcess, timeoutMs) != WAIT_OBJECT_0) return false;
  GetExitCodeProcess(info_.hProcess, &exitCode);
  return true;
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

std::optional<DWORD_PTR> Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD timeoutMs, UINT flags) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(window, message, wParam, lParam, flags, timeoutMs, &result)) return std::nullopt;
  return result;
}

GuiObjects CountGuiObjects(HANDLE process, DWORD processId) {
  SetLastError(0);
  const DWORD gdi = GetGuiResources(process, GR_GDIOBJECTS), user = GetGuiResources(process, GR_USEROBJECTS);
  const DWORD error = GetLastError();
  if (gdi && user) return {static_cast<long>(gdi), static_cast<long>(user), "GetGuiResources"};
  // This Wine answers 0 (error 120, not implemented). Of the USER objects, windows are
  // the ones another process can count: every window of the process, hidden or shown,
  // top-level, child or message-only. Menus, cursors and icons are not seen this way;
  // the bitmaps an icon or a cursor holds are in the GDI count.
  long windows = 0;
  const Visit count = [&](HWND window) {
    windows += ProcessOf(window) == processId;
    return true;
  };
  const Visit countWithChildren = [&](HWND window) {
    EachWindow(count, window);
    return count(window);
  };
  EachWindow(countWithChildren);
  for (HWND only = nullptr; (only = FindWindowExW(HWND_MESSAGE, only, nullptr, nullptr));) countWithChildren(only);
  return {GdiTableEntries(process), windows,
          "the GDI handle table and the process's windows (GetGuiResources: 0, error " + std::to_string(error) + ")"};
}

HWND FindTopLevel(DWORD processId, const wchar_t* className) { return FindWindowOf(processId, className, {}, false); }

HWND FindOwnedWindow(DWORD processId, const wchar_t* className, HWND owner) {
  return FindWindowOf(processId, className, owner, false);
}

HWND FindAnyOwnedWindow(DWORD processId, const wchar_t* className, HWND owner) {
  return FindWindowOf(processId, className, owner, true);
}

std::wstring ClassName(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

std::wstring WindowText(HWND window) {
  const auto length = Send(window, WM_GETTEXTLENGTH);
  if (!length) return L"<no answer to WM_GETTEXTLENGTH>";
  std::wstring text(*length + 1, L'\0');
  const auto copied = Send(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  if (!copied) return L"<no answer to WM_GETTEXT>";
  text.resize(*copied);
  return text;
}

RECT ScreenRect(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  return rect;
}

RECT RectInClient(HWND window, HWND parent) {
  RECT rect = ScreenRect(window);
  MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

RECT ClientOnScreen(HWND window) {
  RECT rect{};
  GetClientRect(window, &rect);
  MapWindowPoints(window, HWND_DESKTOP, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

GUITHREADINFO InputOf(HWND anyWindowOfThread) {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  GetGUIThreadInfo(GetWindowThreadProcessId(anyWindowOfThread, nullptr), &info);
  return info;
}

HWND FocusOf(HWND anyWindowOfThread) { return InputOf(anyWindowOfThread).hwndFocus; }

void PressKey(WORD virtualKey) { PressKeys({virtualKey}); }
void PressChord(WORD modifier, WORD virtualKey) { PressKeys({modifier, virtualKey}); }

void TypeText(const std::wstring& text) {
  // One character at a time, as a typist would, rather than one batch the program
  // might see as a paste.
  for (wchar_t unit : text) {
    SendInputs({KeyInput(0, 0, unit), KeyInput(0, KEYEVENTF_KEYUP, unit)});
    Sleep(10);
  }
}

void UseXPointer(const std::wstring& helper) { xPointer = helper; }
bool HasXPointer() { return !xPointer.empty(); }

std::string AskXPointer(const std::wstring& arguments) {
  char directory[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, directory);
  const std::string answer = std::string(directory) + "tarvik-e2e-pointer.txt";
  DeleteFileA(answer.c_str());
  PROCESS_INFORMATION info{};
  if (!StartProcess(L"\"" + xPointer + L"\" " + arguments + L" \"" + test::Widen(answer) + L"\"", info)) return {};
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
    return !(line = test::FileBytes(answer)).empty();
  }, 20000);
  DeleteFileA(answer.c_str());
  line.erase(line.find_last_not_of("\r\n") + 1);
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
    SendInputs({MouseInput(screen, 0)});
  }
  return WaitFor([&] {
    POINT at{};
    GetCursorPos(&at);
    return at.x == screen.x && at.y == screen.y;
  }, 2000);
}

bool Click(POINT screen) {
  if (!MoveMouse(screen)) return false;
  // The pointer is there already; the position in the events only guards against a
  // move from elsewhere slipping in between.
  MouseButtons(screen, {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP});
  return true;
}

void MouseButtons(POINT screen, std::initializer_list<DWORD> buttons, DWORD time) {
  std::vector<INPUT> inputs;
  for (DWORD button : buttons) inputs.push_back(MouseInput(screen, button, time));
  SendInputs(inputs);
}

bool PutOnClipboard(const std::wstring& text) {
  const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (!memory) return false;
  std::memcpy(GlobalLock(memory), text.c_str(), bytes);
  GlobalUnlock(memory);
  const bool placed = WaitFor([] { return OpenClipboard(nullptr) != FALSE; }, 2000) && EmptyClipboard() &&
                      SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
  if (!placed) GlobalFree(memory);
  CloseClipboard();
  return placed;
}

double NowMs() {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace tarvik::e2e
