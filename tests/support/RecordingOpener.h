#pragma once

// Keeps the addresses handed to the browser, in order, instead of opening them.

#include "platform/UrlOpener.h"

#include <string>
#include <vector>

class RecordingOpener final : public UrlOpener {
  public:
    void Open(const std::string& url) override { opened.push_back(url); }

    std::vector<std::string> opened;
};
