// The API's TXT record readers.
#include "network/dnssd/dns_sd.h"
#include "network/dnssd/txt_reader.h"

extern "C" {

int TXTRecordContainsKey(uint16_t txtLen, const void* txtRecord, const char* key) {
  return mdns::TxtContainsKey(txtLen, txtRecord, key);
}

const void* TXTRecordGetValuePtr(uint16_t txtLen, const void* txtRecord, const char* key, uint8_t* valueLen) {
  return mdns::TxtValue(txtLen, txtRecord, key, valueLen);
}

}  // extern "C"
