#include "support/publisher_check_warm_up.h"

#include "support/certificate_owners.h"
#include "support/system_libraries.h"

#include <atomic>

namespace {

const HCERTCHAINENGINE kEngines[] = {HCCE_LOCAL_MACHINE, HCCE_CURRENT_USER};

std::atomic<bool> g_warm{false};

// Any certificate the machine's Root store holds: its chain, built by each
// engine the check uses, makes the engine and Wine's list of trusted roots.
// WinVerifyTrust builds its chain with the current user's engine, the
// launcher's own judgement with the machine's; each engine costs about as
// much to make as the list of roots.
void build_one_chain(const crypt32_functions& crypt32) {
  const certificate_store store = machine_root_store(crypt32);
  if (!store.get()) return;
  certificate_context root(crypt32);
  root.reset(crypt32.CertEnumCertificatesInStore(store.get(), nullptr));
  if (!root.get()) return;
  CERT_CHAIN_PARA parameters{};
  parameters.cbSize = sizeof(parameters);
  for (const HCERTCHAINENGINE engine : kEngines) {
    certificate_chain chain(crypt32);
    crypt32.CertGetCertificateChain(engine, root.get(), nullptr, nullptr, &parameters,
                                    CERT_CHAIN_CACHE_ONLY_URL_RETRIEVAL, nullptr, chain.out());
  }
}

// WinVerifyTrust's first call loads its providers and the digest code: asked
// of this program's own file, whatever its verdict (the launcher itself may
// be unsigned), and kept no state of.
void verify_own_file(const wintrust_functions& wintrust) {
  wchar_t own_path[MAX_PATH + 1] = {};
  const DWORD length = ::GetModuleFileNameW(nullptr, own_path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  WINTRUST_FILE_INFO file{};
  file.cbStruct = sizeof(file);
  file.pcwszFilePath = own_path;
  WINTRUST_DATA data{};
  data.cbStruct = sizeof(data);
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &file;
  data.dwStateAction = WTD_STATEACTION_IGNORE;
  data.dwProvFlags = WTD_REVOCATION_CHECK_NONE | WTD_CACHE_ONLY_URL_RETRIEVAL;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  wintrust.WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
}

DWORD WINAPI warm_up(void*) {
  // wintrust brings crypt32 along.
  const wintrust_functions* wintrust = wintrust_library();
  if (!wintrust) return 0;
  if (const crypt32_functions* crypt32 = crypt32_library()) build_one_chain(*crypt32);
  verify_own_file(*wintrust);
  g_warm = true;
  return 0;
}

}  // namespace

publisher_check_warm_up::publisher_check_warm_up() {
  if (g_warm) return;
  // Without a thread the check warms itself up when it runs, as before.
  thread_.Reset(::CreateThread(nullptr, 0, warm_up, nullptr, 0, nullptr));
}

void publisher_check_warm_up::Wait() {
  if (!thread_.IsValid()) return;
  ::WaitForSingleObject(thread_.Get(), INFINITE);
  thread_.Close();
}
