#pragma once

// Hands a web address to the user's default browser; the result is never looked at.

#include <memory>
#include <string>

class UrlOpener {
  public:
    virtual ~UrlOpener() = default;
    virtual void Open(const std::string& url) = 0;
};

// The desktop's default browser.
std::unique_ptr<UrlOpener> MakeDesktopUrlOpener();
