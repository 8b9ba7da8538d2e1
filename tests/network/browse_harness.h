#pragma once
// Runs a browse object against our DNS-SD client for the browse tests: the
// binding loaded from our own library, the log lines and callbacks
// recorded, and a loop that processes the browse's readable sockets while
// a responder answers.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "network/browse/db_browse.h"
#include "network/dnssd_binding.h"
#include "platform/core/non_copyable.h"
#include "tests/network/test_responder.h"

namespace test_support {

class BrowseHarness : platform::NonCopyable {
 public:
  BrowseHarness() {
    setenv("REFLASH_DNSSD_LIBRARY", REFLASH_TEST_OWN_DNSSD, 1);
    if (LoadDnsSdBinding() && aud_env_acquire(&env_) == AUD_SUCCESS) {
      aud_log_set_threshold(aud_env_get_log(env_), AUD_LOG_DEBUG);
      aud_log_set_callback(aud_env_get_log(env_), OnLog, this);
    }
  }
  ~BrowseHarness() {
    db_browse_delete(browse_);
    if (env_ != nullptr) {
      aud_log_set_callback(aud_env_get_log(env_), nullptr, nullptr);
      aud_log_set_threshold(aud_env_get_log(env_), AUD_LOG_NONE);
      aud_env_release(env_);
    }
    UnloadDnsSdBinding();
    unsetenv("REFLASH_DNSSD_LIBRARY");
  }

  bool Ready() const { return env_ != nullptr && DnsSd().Browse != nullptr; }
  db_browse* browse() const { return browse_; }

  // A new browse object with the callbacks set and the manufacturer id
  // given by its text ("Zelk"; empty for none).
  db_browse* Make(unsigned mask, const std::string& manufacturer = "") {
    db_browse_delete(browse_);
    browse_ = nullptr;
    events.clear();
    EXPECT_EQ(db_browse_new(env_, mask, &browse_), AUD_SUCCESS);
    aud_id id{};
    bool named = manufacturer.empty() || aud_id_from_text(&id, manufacturer.c_str());
    EXPECT_TRUE(named) << manufacturer;
    db_browse_set_manufacturer(browse_, manufacturer.empty() ? nullptr : &id);
    db_browse_set_node_changed_callback(browse_, [](db_browse* b, const db_node* node, db_node_change change) {
      Of(b)->events.push_back(std::string(db_device_get_name(node->device)) + ":" + std::to_string(change));
    });
    db_browse_set_tree_changed_callback(browse_, [](db_browse* b) { ++Of(b)->treeChanges; });
    db_browse_set_sockets_changed_callback(browse_, [](db_browse* b) { ++Of(b)->socketChanges; });
    db_browse_set_context(browse_, this);
    return browse_;
  }
  // Make() and start with `config` (the defaults when null).
  db_browse* Start(unsigned mask, const std::string& manufacturer = "", const db_browse_config* config = nullptr) {
    Make(mask, manufacturer);
    db_browse_config defaults;
    db_browse_config_init(&defaults);
    EXPECT_EQ(db_browse_start_config(browse_, config ? config : &defaults), AUD_SUCCESS);
    return browse_;
  }

  // Processes the browse's readable sockets (serving `responder` when
  // given) until `done` holds or `ms` pass.
  bool Pump(const std::function<bool()>& done, int ms, TestResponder* responder = nullptr) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
      if (std::chrono::steady_clock::now() >= end) return false;
      if (responder != nullptr) responder->Serve();
      aud_socket_set set;
      aud_socket_set_clear(&set);
      if (db_browse_get_sockets(browse_, &set) != AUD_SUCCESS) return false;
      aud_time next{};
      aud_error step = aud_socket_set_wait(&set, 10) > 0 ? db_browse_process(browse_, &set, &next) : AUD_SUCCESS;
      EXPECT_EQ(step, AUD_SUCCESS);
    }
    return true;
  }

  std::vector<std::string> events;  // "name:change" per node-changed call
  int treeChanges = 0;
  int socketChanges = 0;
  std::vector<std::string> logLines;

 private:
  static BrowseHarness* Of(db_browse* b) { return static_cast<BrowseHarness*>(db_browse_get_context(b)); }
  static void OnLog(void* context, unsigned, const char* line) {
    static_cast<BrowseHarness*>(context)->logLines.push_back(line);
  }
  aud_env env_ = nullptr;
  db_browse* browse_ = nullptr;
};

}  // namespace test_support
