#include "app/launcher_app.h"

#include "app/app_dir_dll_check.h"
#include "app/named_mutex_lock.h"
#include "framework/afx_exception.h"
#include "launcher/launcher_dlg.h"
#include "res/resource.h"
#include "support/windows_facts.h"
#include "support/system_libraries.h"
#include "support/publisher_roots.h"
#include "support/system_log.h"
#include "update/manifest_serial_store.h"
#include "update/manifest_signing.h"
#include "velora_endpoints.h"
#include "velora_version.h"

#include <commctrl.h>

#include <memory>

namespace {

const wchar_t kDllDirectoryBanner[] =
    L"\nvvvvvvvvvvvvvvvvvvvvvvvvvvvvv SetDefaultDllDirectories LOAD_LIBRARY_SEARCH_SYSTEM32 "
    L"vvvvvvvvvvvvvvvvvvvvvvvvvvvvv\n\n";
const wchar_t kForeignDllBanner[] =
    L"\n!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!! Find Unknwon DLL in App directory "
    L"!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!\n\n";
// Imitates the system loader's own refusal.
const wchar_t kForeignDllText[] =
    L"The application was unable to start correctly (0xc000007b). Click OK to close the "
    L"application.";
const wchar_t kForeignDllCaption[] = L"vl6Launcher.exe - Application Error";

const wchar_t kStartLine[] =
    L"========================== begin install launcher ==========================";
const char kLockFailureLine[] = "error: instance lock failure 0x%x";
const char kExceptionLine[] = "error: exception in %s: %s";

// Where the workflows ask for the manifest: the build setting, which a
// packaged launcher carries with it.
const wchar_t kUpdateServer[] = VELORA_UPDATE_SERVER;
// The signer every installer must carry to start (empty: not checked).
const wchar_t kInstallerPublisher[] = VELORA_PUBLISHER;

// Whether the manifest must be signed: a build setting, like the publisher.
constexpr bool kSignedManifest = VELORA_SIGNED_MANIFEST != 0;

// The manifest's checks as this build asks for them: signed by the
// installers' publisher through the same pinned CA certificates, the serial
// kept per user, the installer no older than this launcher.
manifest_signing build_manifest_signing(const std::wstring& publisher) {
  manifest_signing signing;
  if (!kSignedManifest) return signing;
  signing.required = true;
  signing.publisher = publisher;
  signing.roots = build_publisher_roots();
  signing.serials = std::make_shared<registry_serial_store>();
  signing.launcher_version = VELORA_VERSION_TEXT;
  return signing;
}

const wchar_t kInstanceMutexName[] = L"Local\\Velora CONSUMER 6.0 LAUNCHER";
const wchar_t kWindowClassName[] = LAUNCHER_WINDOW_CLASS_W;

using set_default_dll_directories_function = BOOL(WINAPI*)(DWORD);

// Later DLL loads search only the system folder; systems without the call
// keep the default order.
void restrict_dll_search_path() {
  const HMODULE kernel = ::GetModuleHandleW(L"kernel32");
  const auto set_directories = reinterpret_cast<set_default_dll_directories_function>(
      ::GetProcAddress(kernel, "SetDefaultDllDirectories"));
  if (set_directories) set_directories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

bool register_dialog_class() {
  WNDCLASSW dialog_class{};
  dialog_class.style = CS_DBLCLKS;
  dialog_class.lpfnWndProc = ::DefDlgProcW;
  dialog_class.cbClsExtra = 0;
  dialog_class.cbWndExtra = DLGWINDOWEXTRA;
  dialog_class.hInstance = AfxGetInstanceHandle();
  dialog_class.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  dialog_class.lpszClassName = kWindowClassName;
  return AfxRegisterClass(&dialog_class) != FALSE;
}

// An exception caught at a window or thread boundary becomes a log line.
void log_exception(const char* where, const char* what) {
  g_system_log.write_a(my_system_log::level_result, kExceptionLine, where, what);
}

void init_common_controls() {
  if (const comctl32_functions* comctl32 = comctl32_library()) {
    INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
    comctl32->InitCommonControlsEx(&classes);
  }
}

}  // namespace

CLauncherApp::CLauncherApp() = default;

CLauncherApp::~CLauncherApp() = default;

BOOL CLauncherApp::InitInstance() {
  restrict_dll_search_path();
  ::OutputDebugStringW(kDllDirectoryBanner);

  if (IsExistAppDirDllVulnerability()) {
    ::MessageBoxW(nullptr, kForeignDllText, kForeignDllCaption, MB_ICONERROR);
    ::OutputDebugStringW(kForeignDllBanner);
    return FALSE;
  }

  g_system_log.init(launcher_directory().c_str());
  g_system_log.write_w(my_system_log::level_milestone, kStartLine);
  AfxSetExceptionReporter(&log_exception);

  std::wstring command_line = m_lpCmdLine ? m_lpCmdLine : L"";
  ParseLauncherCommandLine(command_line);

  // Held until this function returns, that is until the dialog has closed.
  named_mutex_lock instance_lock(kInstanceMutexName);
  if (!instance_lock.lock()) {
    g_system_log.write_a(my_system_log::level_result, kLockFailureLine,
                         static_cast<unsigned int>(instance_lock.last_error));
    return TRUE;
  }

  if (!register_dialog_class()) return FALSE;
  init_common_controls();
  CWinApp::InitInstance();

  if (!AfxSocketInit()) {
    AfxMessageBox(IDS_SOCKETS_INIT_FAILED, MB_OK, IDS_SOCKETS_INIT_FAILED);
    return FALSE;
  }

  {
    const std::wstring update_server(kUpdateServer);
    const std::wstring publisher(kInstallerPublisher);
    CLauncherDlg dialog(m_dataControl, update_server, m_strInstallerOptions, publisher,
                        build_manifest_signing(publisher), m_bQuietMode, nullptr);
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
  }
  return FALSE;
}
