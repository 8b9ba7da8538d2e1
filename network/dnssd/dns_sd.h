#ifndef REFLASH_DNS_SD_H
#define REFLASH_DNS_SD_H
/* The DNS-SD client C API (DNS-Based Service Discovery, RFC 6763, over
 * multicast DNS, RFC 6762): the subset the discovery library uses, with the
 * standard types, flags and error codes, so that any library offering this
 * API can stand in for ours.
 *
 * Threads: the library starts none and holds no locks. All operations of a
 * process share one record cache, so every call must come from one thread
 * at a time (the caller serialises; one thread is simplest). A process may
 * exit without deallocating its operations. On Windows the system's wait
 * threads make the descriptors readable (see below); they touch nothing
 * else.
 *
 * Descriptors: DNSServiceRefSockFD gives a descriptor to poll or select on
 * (on Linux an epoll descriptor, not a socket; on Windows a loopback UDP
 * socket, which select, WSAPoll and a peek accept). It becomes readable
 * when a datagram arrives, when the operation has a question or an expiry
 * due, and while replies wait; DNSServiceProcessResult then does that work
 * without waiting. Called when nothing is ready, it waits, as a blocking
 * call does.
 *
 * 64-bit Windows has one calling convention, so the system's own DNS-SD
 * library binds through these declarations as ours does. */
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#ifdef _WIN32
#define DNSSD_EXPORT __declspec(dllexport)
#else
#define DNSSD_EXPORT __attribute__((visibility("default")))
#endif

typedef struct _DNSServiceRef_t* DNSServiceRef;
typedef uint32_t DNSServiceFlags;
typedef int32_t DNSServiceErrorType;

enum {
  kDNSServiceFlagsMoreComing = 0x1,
  kDNSServiceFlagsAdd = 0x2,
  kDNSServiceFlagsDefault = 0x4,
  kDNSServiceFlagsNoAutoRename = 0x8,
  kDNSServiceFlagsShared = 0x10,
  kDNSServiceFlagsUnique = 0x20,
  kDNSServiceFlagsBrowseDomains = 0x40,
  kDNSServiceFlagsRegistrationDomains = 0x80,
  kDNSServiceFlagsLongLivedQuery = 0x100,
  kDNSServiceFlagsAllowRemoteQuery = 0x200,
  kDNSServiceFlagsForceMulticast = 0x400,
  kDNSServiceFlagsForce = 0x800,
  kDNSServiceFlagsReturnIntermediates = 0x1000,
  kDNSServiceFlagsNonBrowsable = 0x2000,
  kDNSServiceFlagsShareConnection = 0x4000,
  kDNSServiceFlagsSuppressUnusable = 0x8000
};

enum {
  kDNSServiceErr_NoError = 0,
  kDNSServiceErr_Unknown = -65537,
  kDNSServiceErr_NoSuchName = -65538,
  kDNSServiceErr_NoMemory = -65539,
  kDNSServiceErr_BadParam = -65540,
  kDNSServiceErr_BadReference = -65541,
  kDNSServiceErr_BadState = -65542,
  kDNSServiceErr_BadFlags = -65543,
  kDNSServiceErr_Unsupported = -65544,
  kDNSServiceErr_NotInitialized = -65545,
  kDNSServiceErr_AlreadyRegistered = -65547,
  kDNSServiceErr_NameConflict = -65548,
  kDNSServiceErr_Invalid = -65549,
  kDNSServiceErr_Firewall = -65550,
  kDNSServiceErr_Incompatible = -65551,
  kDNSServiceErr_BadInterfaceIndex = -65552,
  kDNSServiceErr_Refused = -65553,
  kDNSServiceErr_NoSuchRecord = -65554,
  kDNSServiceErr_NoAuth = -65555,
  kDNSServiceErr_NoSuchKey = -65556,
  kDNSServiceErr_Transient = -65562,
  kDNSServiceErr_ServiceNotRunning = -65563
};

enum {
  kDNSServiceType_A = 1,
  kDNSServiceType_PTR = 12,
  kDNSServiceType_TXT = 16,
  kDNSServiceType_AAAA = 28,
  kDNSServiceType_SRV = 33,
  kDNSServiceType_ANY = 255
};
enum { kDNSServiceClass_IN = 1 };

#define kDNSServiceMaxServiceName 64
#define kDNSServiceMaxDomainName 1009
#define kDNSServiceInterfaceIndexAny 0

typedef void (*DNSServiceBrowseReply)(DNSServiceRef sdRef, DNSServiceFlags flags, uint32_t interfaceIndex,
                                      DNSServiceErrorType errorCode, const char* serviceName, const char* regtype,
                                      const char* replyDomain, void* context);

/* port is in network byte order; txtRecord holds txtLen bytes. */
typedef void (*DNSServiceResolveReply)(DNSServiceRef sdRef, DNSServiceFlags flags, uint32_t interfaceIndex,
                                       DNSServiceErrorType errorCode, const char* fullname, const char* hosttarget,
                                       uint16_t port, uint16_t txtLen, const unsigned char* txtRecord, void* context);

typedef void (*DNSServiceQueryRecordReply)(DNSServiceRef sdRef, DNSServiceFlags flags, uint32_t interfaceIndex,
                                           DNSServiceErrorType errorCode, const char* fullname, uint16_t rrtype,
                                           uint16_t rrclass, uint16_t rdlen, const void* rdata, uint32_t ttl,
                                           void* context);

/* The socket that becomes readable when DNSServiceProcessResult has work. */
DNSSD_EXPORT int DNSServiceRefSockFD(DNSServiceRef sdRef);
/* Reads one message and calls the operation's reply function on the
 * calling thread; waits when nothing is there yet. */
DNSSD_EXPORT DNSServiceErrorType DNSServiceProcessResult(DNSServiceRef sdRef);
/* Ends the operation; no more replies. */
DNSSD_EXPORT void DNSServiceRefDeallocate(DNSServiceRef sdRef);

/* regtype is "_app._udp" with an optional ",subtype" after it. The subtype
 * label is asked for as given: ",_Sub" asks for "_Sub._sub._app._udp". A
 * label without a leading underscore (",Sub") is asked for in both forms,
 * "Sub._sub..." and "_Sub._sub...", since peers use either; an instance
 * listed under both is reported once. */
DNSSD_EXPORT DNSServiceErrorType DNSServiceBrowse(DNSServiceRef* sdRef, DNSServiceFlags flags,
                                                  uint32_t interfaceIndex, const char* regtype, const char* domain,
                                                  DNSServiceBrowseReply callBack, void* context);
DNSSD_EXPORT DNSServiceErrorType DNSServiceResolve(DNSServiceRef* sdRef, DNSServiceFlags flags,
                                                   uint32_t interfaceIndex, const char* name, const char* regtype,
                                                   const char* domain, DNSServiceResolveReply callBack,
                                                   void* context);
DNSSD_EXPORT DNSServiceErrorType DNSServiceQueryRecord(DNSServiceRef* sdRef, DNSServiceFlags flags,
                                                       uint32_t interfaceIndex, const char* fullname,
                                                       uint16_t rrtype, uint16_t rrclass,
                                                       DNSServiceQueryRecordReply callBack, void* context);
/* Tells the library that a record seems gone: it forgets it and asks again. */
DNSSD_EXPORT DNSServiceErrorType DNSServiceReconfirmRecord(DNSServiceFlags flags, uint32_t interfaceIndex,
                                                           const char* fullname, uint16_t rrtype,
                                                           uint16_t rrclass, uint16_t rdlen, const void* rdata);
DNSSD_EXPORT DNSServiceErrorType DNSServiceCreateConnection(DNSServiceRef* sdRef);
/* fullName must hold kDNSServiceMaxDomainName bytes; service may be null. */
DNSSD_EXPORT DNSServiceErrorType DNSServiceConstructFullName(char* fullName, const char* service,
                                                             const char* regtype, const char* domain);

DNSSD_EXPORT int TXTRecordContainsKey(uint16_t txtLen, const void* txtRecord, const char* key);
DNSSD_EXPORT const void* TXTRecordGetValuePtr(uint16_t txtLen, const void* txtRecord, const char* key,
                                              uint8_t* valueLen);

#ifdef __cplusplus
}
#endif

#endif /* REFLASH_DNS_SD_H */
