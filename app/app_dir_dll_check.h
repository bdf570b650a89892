#pragma once
// True when a DLL was loaded into this process from the launcher's own folder
// (or from any path that contains the folder's text). Runs before the log is
// started and reports only through debug output.
bool IsExistAppDirDllVulnerability();
