#pragma once

#include <string_view>

// Starts the browser registered for HTML documents on the URL and returns without waiting.
// When no browser is registered it says so in an ownerless message box; a browser that
// cannot be started, or a command line that memory cannot be had for, is not reported.
void OpenUrlInDefaultBrowser(std::string_view url);
