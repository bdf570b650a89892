#pragma once
// The launcher's messages by the numbers users and the tables know them by.
#include "res/resource.h"

#include <windows.h>

namespace message_numbers {

constexpr UINT k104 = IDS_DOWNLOAD_FAILED_USE_LOCAL;
constexpr UINT k105 = IDS_DOWNLOAD_FAILED_CANNOT_INSTALL;
constexpr UINT k106 = IDS_NEW_MAJOR_RELEASED_VERSION;
constexpr UINT k107 = IDS_NEW_MAJOR_RELEASED_INSTALL_OLD;
constexpr UINT k111 = IDS_READER_REQUIRED;
constexpr UINT k112 = IDS_LATEST_MANUAL_PAGE;
constexpr UINT k113 = IDS_CHECKING_LATEST_INSTALLER;
constexpr UINT k114 = IDS_DOWNLOADING_LATEST_INSTALLER;
constexpr UINT k115 = IDS_INSTALLER_INFO_FAILED;
constexpr UINT k116 = IDS_INSTALLER_PUBLISHER_UNVERIFIED;

}  // namespace message_numbers
