#include "framework/afx_app.h"

#include "framework/afx_wnd.h"

#include <vector>

namespace {

CWinApp* g_app = nullptr;

// Base name of this executable without its extension.
std::wstring executable_title() {
  std::vector<wchar_t> path(MAX_PATH + 1, L'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return L"";
    if (n < path.size()) break;
    path.assign(path.size() * 2, L'\0');
  }
  std::wstring name(path.data());
  const auto slash = name.find_last_of(L"\\/");
  if (slash != std::wstring::npos) name.erase(0, slash + 1);
  const auto dot = name.rfind(L'.');
  if (dot != std::wstring::npos && dot != 0) name.erase(dot);
  return name;
}

// Owns the process's Winsock start so that it is cleaned up at exit.
class socket_start {
public:
  bool start(WSADATA* data) {
    if (!started_) {
      WSADATA local{};
      if (::WSAStartup(MAKEWORD(1, 1), &local) != 0) return false;
      started_ = true;
      data_ = local;
    }
    if (data) *data = data_;
    return true;
  }
  ~socket_start() {
    if (started_) ::WSACleanup();
  }

private:
  bool started_ = false;
  WSADATA data_{};
};

socket_start& process_sockets() {
  static socket_start sockets;
  return sockets;
}

HWND message_box_owner() {
  CWinApp* app = AfxGetApp();
  HWND owner = (app && app->m_pMainWnd) ? app->m_pMainWnd->GetSafeHwnd() : nullptr;
  if (!owner || !::IsWindow(owner)) return nullptr;
  // A child window cannot own a popup: climb to its top-level window first.
  while (::GetWindowLongW(owner, GWL_STYLE) & WS_CHILD) {
    HWND parent = ::GetParent(owner);
    if (!parent) break;
    owner = parent;
  }
  return ::GetLastActivePopup(owner);
}

}  // namespace

CWinApp::CWinApp(const wchar_t* app_name) {
  if (!g_app) g_app = this;
  m_strAppName = app_name ? std::wstring(app_name) : executable_title();
}

CWinApp::~CWinApp() {
  if (g_app == this) g_app = nullptr;
}

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::ExitInstance() { return 0; }

int CWinApp::Run() {
  // Nothing to run: a start-up that made no main window ends here.
  if (!m_pMainWnd) ::PostQuitMessage(0);
  MSG msg{};
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return ExitInstance();
}

CWinApp* AfxGetApp() { return g_app; }

HINSTANCE AfxGetInstanceHandle() {
  CWinApp* app = AfxGetApp();
  return (app && app->m_hInstance) ? app->m_hInstance : ::GetModuleHandleW(nullptr);
}

HINSTANCE AfxGetResourceHandle() { return AfxGetInstanceHandle(); }

BOOL AfxRegisterClass(WNDCLASSW* wnd_class) {
  WNDCLASSW existing{};
  if (::GetClassInfoW(wnd_class->hInstance, wnd_class->lpszClassName, &existing)) return TRUE;
  return ::RegisterClassW(wnd_class) != 0;
}

BOOL AfxSocketInit(WSADATA* data) { return process_sockets().start(data) ? TRUE : FALSE; }

int AfxMessageBox(LPCWSTR text, UINT type, UINT /*help_id*/) {
  CWinApp* app = AfxGetApp();
  const std::wstring caption = app ? app->AppName() : executable_title();
  return ::MessageBoxW(message_box_owner(), text, caption.c_str(), type);
}

int AfxMessageBox(UINT prompt_id, UINT type, UINT help_id) {
  return AfxMessageBox(AfxLoadString(prompt_id).c_str(), type,
                       help_id == static_cast<UINT>(-1) ? prompt_id : help_id);
}

std::wstring AfxLoadString(UINT id) {
  // A zero length asks for a read-only pointer into the resource itself.
  const wchar_t* resource = nullptr;
  const int length =
      ::LoadStringW(AfxGetResourceHandle(), id, reinterpret_cast<LPWSTR>(&resource), 0);
  return length > 0 ? std::wstring(resource, length) : std::wstring();
}

std::wstring AfxFormatString(UINT id, const std::wstring& insert) {
  const std::wstring format = AfxLoadString(id);
  std::wstring text;
  bool inserted = false;
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] == L'%' && i + 1 < format.size()) {
      if (format[i + 1] == L'%') {
        text += L'%';
        ++i;
        continue;
      }
      if (format[i + 1] == L's' && !inserted) {
        text += insert;
        inserted = true;
        ++i;
        continue;
      }
    }
    text += format[i];
  }
  return text;
}

int AfxWinMain(HINSTANCE instance, LPWSTR command_line, int show) {
  CWinApp* app = AfxGetApp();
  if (!app) return -1;
  app->m_hInstance = instance;
  app->m_lpCmdLine = command_line;
  app->m_nCmdShow = show;
  if (!app->InitInstance()) return app->ExitInstance();
  return app->Run();
}
