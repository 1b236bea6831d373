#pragma once

#include <string>

// Starts the browser registered for HTML documents on the URL and returns without waiting.
// When no browser is registered it says so in an ownerless message box; a browser that
// cannot be started is not reported.
void OpenUrlInDefaultBrowser(const std::string& url);
