#include "network/dnssd_process.h"

#include <cstdio>
#include <vector>

#include "network/dnssd_binding.h"
#include "platform/net/udp_service.h"

DNSServiceErrorType dt_dns_sd_process_result(int socket, DNSServiceRef ref) {
  const DnsSdBinding& dnssd = DnsSd();
  if (dnssd.RefSockFD == nullptr || dnssd.ProcessResult == nullptr) return kDNSServiceErr_NotInitialized;
  const int own = dnssd.RefSockFD(ref);
  if (socket != own) {
    std::fprintf(stderr, "%s: Mismatch between passed socket (%d) and service ref fd (%d)\n", __func__, socket,
                 own);
    return kDNSServiceErr_BadParam;
  }
  // A look without waiting: the descriptor need not be a socket.
  int error = 0;
  std::vector<int> readable;
  const int ready = platform::Use<platform::UdpService>().WaitReadable({socket}, 0, readable, &error);
  if (ready == 0) {
    std::fprintf(stderr, "%s: Got nothing to read ..conmon blocks here\n", __func__);
    return kDNSServiceErr_BadState;
  }
  if (ready < 0) return kDNSServiceErr_Unknown;
  return dnssd.ProcessResult(ref);
}
