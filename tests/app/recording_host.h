#pragma once
// A UI host that records ownerless message boxes and answers OK; enough for
// the start-up checks, which show messages before any window exists.
#include <memory>
#include <vector>

#include "platform/ui/ui_host.h"

class RecordingHost final : public platform::ui::Host {
 public:
  std::unique_ptr<platform::ui::DialogWindow> CreateDialog(const platform::ui::DialogTemplate&,
                                                           platform::ui::DialogEvents&,
                                                           platform::ui::DialogWindow*) override {
    return nullptr;
  }
  platform::ui::Answer MessageBox(const platform::ui::MessageBoxRequest& request) override {
    messages.push_back(request);
    return platform::ui::Answer::Ok;
  }
  void SetWaitCursor(bool) override {}

  std::vector<platform::ui::MessageBoxRequest> messages;
};
