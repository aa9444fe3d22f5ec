#include "ui/link_accessible.h"

#include <oleacc.h>

#include <cstddef>

#include "ui/system_function.h"

namespace tarvik::ui {
namespace {

// What the wrapper needs of oleacc and oleaut32. The DLLs stay loaded once loaded, so
// a later call finds them at once; nothing is kept in writable memory of our own.
struct Accessibility {
  decltype(&CreateStdAccessibleObject) createStandard;
  decltype(&LresultFromObject) lresultFromObject;
  decltype(&SysAllocString) allocString;
};

bool LoadAccessibility(Accessibility& functions) {
  if (!LoadSystemLibrary(L"oleacc.dll") || !LoadSystemLibrary(L"oleaut32.dll") || !LoadSystemLibrary(L"ole32.dll")) {
    return false;
  }
  // The answer is marshalled through COM, which this thread has not needed until now;
  // a second call only counts.
  using CoInitializeExFn = HRESULT(WINAPI*)(void*, DWORD);
  const auto initialize = SystemFunction<CoInitializeExFn>(L"ole32.dll", "CoInitializeEx");
  functions = {SystemFunction<decltype(&CreateStdAccessibleObject)>(L"oleacc.dll", "CreateStdAccessibleObject"),
               SystemFunction<decltype(&LresultFromObject)>(L"oleacc.dll", "LresultFromObject"),
               SystemFunction<decltype(&SysAllocString)>(L"oleaut32.dll", "SysAllocString")};
  return initialize && SUCCEEDED(initialize(nullptr, COINIT_APARTMENTTHREADED)) && functions.createStandard &&
         functions.lresultFromObject && functions.allocString;
}

bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

// The standard proxy of the static control, with the link's role, state and shortcut.
// Everything else is the proxy's own answer, so the name stays the label's text. COM
// by hand: the object starts with its table of methods, and the methods it does not
// answer itself go straight to the proxy (see the forwarders below).
struct LinkAccessible {
  const void* methods;
  IAccessible* standard;  // at offset 4, where the forwarders read it
  ULONG references;
  decltype(&SysAllocString) allocString;
};
static_assert(offsetof(LinkAccessible, standard) == 4);

HRESULT STDMETHODCALLTYPE QueryInterface(LinkAccessible* self, REFIID iid, void** object) {
  if (!object) return E_POINTER;
  const bool ours = IsEqualIID(iid, __uuidof(IUnknown)) || IsEqualIID(iid, __uuidof(IDispatch)) ||
                    IsEqualIID(iid, __uuidof(IAccessible));
  *object = ours ? self : nullptr;
  if (!ours) return E_NOINTERFACE;
  ++self->references;
  return S_OK;
}

ULONG STDMETHODCALLTYPE AddRef(LinkAccessible* self) { return ++self->references; }

ULONG STDMETHODCALLTYPE Release(LinkAccessible* self) {
  const ULONG left = --self->references;
  if (!left) {
    self->standard->Release();
    HeapFree(GetProcessHeap(), 0, self);
  }
  return left;
}

HRESULT STDMETHODCALLTYPE GetRole(LinkAccessible* self, VARIANT child, VARIANT* role) {
  if (!IsSelf(child) || !role) return self->standard->get_accRole(child, role);
  role->vt = VT_I4;
  role->lVal = ROLE_SYSTEM_LINK;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE GetState(LinkAccessible* self, VARIANT child, VARIANT* state) {
  const HRESULT result = self->standard->get_accState(child, state);
  if (SUCCEEDED(result) && IsSelf(child) && state->vt == VT_I4) state->lVal |= STATE_SYSTEM_LINKED;
  return result;
}

HRESULT STDMETHODCALLTYPE GetKeyboardShortcut(LinkAccessible* self, VARIANT child, BSTR* shortcut) {
  if (!IsSelf(child) || !shortcut) return self->standard->get_accKeyboardShortcut(child, shortcut);
  *shortcut = self->allocString(L"F1");
  return *shortcut ? S_OK : E_OUTOFMEMORY;
}

}  // namespace
}  // namespace tarvik::ui

// A forwarder hands a call to the method in the same slot of the standard proxy: with
// stdcall, `this` is the first argument on the stack and the callee pops them all, so
// putting the proxy in its place and jumping to the proxy's method passes the call on
// whole. A dozen bytes each, where one written out in C++ copies its VARIANTs again.
#define TARVIK_FORWARDED_SLOTS 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 15, 16, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27
#define TARVIK_STRINGIFY(...) #__VA_ARGS__
#define TARVIK_SLOTS_TEXT(...) TARVIK_STRINGIFY(__VA_ARGS__)
asm(".text\n"
    "\t.p2align 2\n"
    "_TarvikForwardToStandard:\n"
    "\tmovl 4(%esp), %ecx\n"    // this
    "\tmovl 4(%ecx), %ecx\n"    // this->standard
    "\tmovl %ecx, 4(%esp)\n"    // in place of this
    "\tmovl (%ecx), %ecx\n"     // the proxy's methods
    "\tjmp *(%ecx,%eax,4)\n"
    "\t.irp slot, " TARVIK_SLOTS_TEXT(TARVIK_FORWARDED_SLOTS) "\n"
    "_TarvikForward\\slot:\n"
    "\tmovl $\\slot, %eax\n"
    "\tjmp _TarvikForwardToStandard\n"
    "\t.endr\n");

extern "C" {
void TarvikForward3(), TarvikForward4(), TarvikForward5(), TarvikForward6(), TarvikForward7(), TarvikForward8(),
    TarvikForward9(), TarvikForward10(), TarvikForward11(), TarvikForward12(), TarvikForward15(), TarvikForward16(),
    TarvikForward18(), TarvikForward19(), TarvikForward20(), TarvikForward21(), TarvikForward22(), TarvikForward23(),
    TarvikForward24(), TarvikForward25(), TarvikForward26(), TarvikForward27();
}

namespace tarvik::ui {
namespace {

using Forwarder = void (*)();

// IAccessible's slots: IUnknown's three, IDispatch's four, then IAccessible's own in
// the order of oleacc.idl (get_accRole is 13, get_accState 14, get_accKeyboardShortcut 17).
struct LinkMethods {
  decltype(&QueryInterface) queryInterface;
  decltype(&AddRef) addRef;
  decltype(&Release) release;
  Forwarder slots3To12[10];
  decltype(&GetRole) getRole;
  decltype(&GetState) getState;
  Forwarder slots15And16[2];
  decltype(&GetKeyboardShortcut) getKeyboardShortcut;
  Forwarder slots18To27[10];
};
static_assert(sizeof(LinkMethods) == 28 * sizeof(void*));

constexpr LinkMethods kLinkMethods{
    QueryInterface,
    AddRef,
    Release,
    {TarvikForward3, TarvikForward4, TarvikForward5, TarvikForward6, TarvikForward7, TarvikForward8, TarvikForward9,
     TarvikForward10, TarvikForward11, TarvikForward12},
    GetRole,
    GetState,
    {TarvikForward15, TarvikForward16},
    GetKeyboardShortcut,
    {TarvikForward18, TarvikForward19, TarvikForward20, TarvikForward21, TarvikForward22, TarvikForward23,
     TarvikForward24, TarvikForward25, TarvikForward26, TarvikForward27},
};

}  // namespace

LRESULT AccessibleLink(HWND label, WPARAM flags) {
  Accessibility functions;
  IAccessible* standard = nullptr;
  if (!LoadAccessibility(functions) ||
      FAILED(functions.createStandard(label, OBJID_CLIENT, __uuidof(IAccessible), reinterpret_cast<void**>(&standard)))) {
    return 0;
  }
  auto* link = static_cast<LinkAccessible*>(HeapAlloc(GetProcessHeap(), 0, sizeof(LinkAccessible)));
  if (!link) {
    standard->Release();
    return 0;
  }
  *link = {&kLinkMethods, standard, 1, functions.allocString};
  auto* object = reinterpret_cast<IAccessible*>(link);
  // The result holds a reference of its own for the client; ours goes.
  const LRESULT result = functions.lresultFromObject(__uuidof(IAccessible), flags, object);
  object->Release();
  return result > 0 ? result : 0;
}

}  // namespace tarvik::ui
