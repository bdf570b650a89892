#pragma once
// The rule for the addresses a manifest names for the user to read (a newer
// generation's page, the newest manual's page): the launcher hands them to
// the shell, which opens whatever a scheme or a path names, programs and
// shares included. So only web pages are opened.
#include <string>

// True for an http:// or https:// URL (the scheme in any case) with a host:
// the host a name, an address or a bracketed IPv6 literal with an optional
// port, and nothing in the whole text that a URL never holds as it is
// (control characters, spaces, quotes, "<", ">", backslashes, "^", "`", "{",
// "|", "}"), so that a browser's command line takes it as one argument. A
// user name ("user@host") is not taken either: a page never needs one, and
// it makes one host read as another.
bool is_web_address(const std::wstring& address);

// is_web_address; a refusal is logged with the address.
bool accept_web_address(const std::wstring& address);
