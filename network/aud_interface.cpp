#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "network/aud_types.h"
#include "platform/net/interfaces.h"

namespace {

std::string& SysfsRoot() {
  static std::string root = "/sys/class/net";
  return root;
}

void CopyText(char* out, size_t size, const std::string& text) {
  std::strncpy(out, text.c_str(), size - 1);
  out[size - 1] = '\0';
}

}  // namespace

void aud_interface_set_sysfs_root(const char* path) { SysfsRoot() = path ? path : "/sys/class/net"; }

aud_error aud_interface_list_with_env(aud_env env, aud_interface** list, unsigned* count) {
  if (!list || !count) return AUD_ERR_INVALIDPARAMETER;
  *list = nullptr;
  *count = 0;
  std::vector<platform::net::InterfaceInfo> found;
  int error = 0;
  if (platform::net::ListInterfaces(found, SysfsRoot(), &error) != 0) return aud_error_from_system_error(error);
  if (found.empty()) return AUD_SUCCESS;
  auto* entries = static_cast<aud_interface*>(std::calloc(found.size(), sizeof(aud_interface)));
  if (!entries) return AUD_ERR_NOMEMORY;
  for (size_t i = 0; i < found.size(); ++i) {
    const platform::net::InterfaceInfo& in = found[i];
    aud_interface& out = entries[i];
    CopyText(out.friendly_name, sizeof out.friendly_name, in.name);
    CopyText(out.adapter_name, sizeof out.adapter_name, in.name);
    out.index = in.index;
    out.pktinfo_index = static_cast<uint16_t>(in.index & 0xFFFF);
    if (out.pktinfo_index != in.index) {
      aud_log_printf(aud_env_get_log(env), AUD_LOG_WARNING,
                     "%s: Possible windows interface index corruption: interface %s claims to have index "
                     "%d.Setting pktinfo_index to %d.\n",
                     "aud_interface_list_with_env", out.adapter_name, static_cast<int>(in.index),
                     static_cast<int>(out.pktinfo_index));
    }
    out.kind = in.kind;
    std::memcpy(out.physical_address, in.hardwareAddress, sizeof out.physical_address);
    out.address = in.address;
    out.netmask = in.netmask;
    out.up = in.up;
    out.loopback = in.loopback;
    out.multicast = in.multicast;
    out.link_speed = in.speedMbps;
  }
  *list = entries;
  *count = static_cast<unsigned>(found.size());
  return AUD_SUCCESS;
}

void aud_interface_list_free(aud_interface* list) { std::free(list); }

aud_error aud_interface_find_loopback(aud_interface* out) {
  if (!out) return AUD_ERR_INVALIDPARAMETER;
  aud_interface* list = nullptr;
  unsigned count = 0;
  aud_error error = aud_interface_list_with_env(nullptr, &list, &count);
  if (error != AUD_SUCCESS) return error;
  error = AUD_ERR_NOTFOUND;
  for (unsigned i = 0; i < count; ++i) {
    if (list[i].loopback) {
      *out = list[i];
      error = AUD_SUCCESS;
      break;
    }
  }
  aud_interface_list_free(list);
  return error;
}
