#pragma once

#include <string_view>

// Starts the user's default browser on the URL and returns without waiting: the browser chosen
// for the URL's scheme when its command is usable, otherwise the one registered for HTML
// documents. When neither is registered it says so in an ownerless message box; a browser that
// cannot be started, or a command line that memory cannot be had for, is not reported.
void OpenUrlInDefaultBrowser(std::string_view url);
