#include "network/dnssd_process.h"

#include <cerrno>
#include <cstdio>

#include "network/dnssd_binding.h"
#include "platform/net/udp_socket.h"

DNSServiceErrorType dt_dns_sd_process_result(int socket, DNSServiceRef ref) {
  const DnsSdBinding& dnssd = DnsSd();
  if (dnssd.RefSockFD == nullptr || dnssd.ProcessResult == nullptr) return kDNSServiceErr_NotInitialized;
  const int own = dnssd.RefSockFD(ref);
  if (socket != own) {
    std::fprintf(stderr, "%s: Mismatch between passed socket (%d) and service ref fd (%d)\n", __func__, socket,
                 own);
    return kDNSServiceErr_BadParam;
  }
  int error = 0;
  if (platform::net::UdpPeek(socket, &error) < 0) {
    if (error == EAGAIN || error == EWOULDBLOCK) {
      std::fprintf(stderr, "%s: Got nothing to read ..conmon blocks here\n", __func__);
      return kDNSServiceErr_BadState;
    }
    return kDNSServiceErr_Unknown;
  }
  return dnssd.ProcessResult(ref);
}
