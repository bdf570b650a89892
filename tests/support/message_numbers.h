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

// The buttons and icon each message box shows, as the message tables give
// them; 0 for a number that is no message box.
constexpr UINT box_style(UINT message) {
  switch (message) {
    case k104: return 0x34;  // Yes/No, exclamation
    case k105: return 0x10;  // OK, error
    case k106: return 0x44;  // Yes/No, information
    case k107: return 0x24;  // Yes/No, question
    case IDS_ADMIN_RIGHTS_REQUIRED: return 0x30;  // OK, exclamation
    case k111: return 0x40;  // OK, information
    case k112: return 0x44;  // Yes/No, information
    case k115: return 0x10;  // OK, error
    case k116: return 0x10;  // OK, error
    default: return 0;
  }
}

}  // namespace message_numbers
