#pragma once
// The application side of the framework: the one application object, the
// program entry that drives it, and the few global services start-up uses.
#include <windows.h>
#include <winsock2.h>

#include <string>

class CWnd;

class CWinApp {
public:
  // app_name null: the application is titled with the executable's base name.
  explicit CWinApp(const wchar_t* app_name = nullptr);
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;
  virtual ~CWinApp();

  // Called once on the main thread. FALSE ends the process at once; TRUE runs
  // the message loop, which ends at once when there is no main window.
  virtual BOOL InitInstance();
  virtual int ExitInstance();

  // Runs the message loop until WM_QUIT; returns ExitInstance().
  int Run();

  // Title of message boxes.
  const std::wstring& AppName() const { return m_strAppName; }

  HINSTANCE m_hInstance = nullptr;
  LPWSTR m_lpCmdLine = nullptr;  // the text after the program name
  int m_nCmdShow = SW_SHOWNORMAL;
  CWnd* m_pMainWnd = nullptr;

private:
  std::wstring m_strAppName;
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();

// String `id` of the string table; empty when there is none.
std::wstring AfxLoadString(UINT id);

// String `id` used as a format: its first "%s" is replaced by `insert` and
// "%%" becomes "%". The text is inserted as it is, never read as a format.
std::wstring AfxFormatString(UINT id, const std::wstring& insert);

// Registers a window class unless one of that name is registered for the module.
BOOL AfxRegisterClass(WNDCLASSW* wnd_class);

// Starts Windows Sockets 1.1 once for the process (WSACleanup at exit).
// data, when given, receives the start-up record.
BOOL AfxSocketInit(WSADATA* data = nullptr);

// Message box owned by the main window's last active popup, titled with the
// application name. The id form loads its text from the string table.
int AfxMessageBox(LPCWSTR text, UINT type = MB_OK, UINT help_id = 0);
int AfxMessageBox(UINT prompt_id, UINT type = MB_OK, UINT help_id = static_cast<UINT>(-1));

// The framework's program entry, called by wWinMain.
int AfxWinMain(HINSTANCE instance, LPWSTR command_line, int show);
